#include "CoreFoundation.h"

#include <map>
#include <memory>
#include <mutex>

CFStringRef CFStringMakeConstant(std::string_view text) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<CFObject>, std::less<>> strings;
    std::lock_guard lock(mutex);
    auto it = strings.find(text);
    if (it == strings.end()) {
        auto object = std::make_unique<CFObject>();
        object->typeName = "CFString";
        object->text = std::string(text);
        it = strings.emplace(std::string(text), std::move(object)).first;
    }
    return it->second.get();
}

CFStringRef AFCServiceName() {
    static const CFStringRef name = CFStringMakeConstant("com.apple.afc");
    return name;
}

std::string CFCopyDescriptionText(CFTypeRef object) {
    if (!object) return "(null)";
    return object->text;
}
