// One application for the whole window test program, ended before the process ends.
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <gtest/gtest.h>

#include "GuiSupport.h"

namespace {

class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ::setenv("PIXFERRY_SITE_ADDRESS", kRefusedSite, 1);
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[32] = "pixferry_window_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] auto* const appEnvironment = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

}  // namespace
