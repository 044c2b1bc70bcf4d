// USB devices. Until the USB side is written no device ever attaches, so the
// connector waits quietly as it would with nothing plugged in.
#include "Backend.h"

namespace md {

namespace {

class UsbBackend : public Backend {
public:
    void Start(Notify) override {}
};

}  // namespace

std::unique_ptr<Backend> MakeUsbBackend() { return std::make_unique<UsbBackend>(); }

}  // namespace md
