// One application for the whole window test program, ended before the process ends.
#include <memory>

#include <QApplication>
#include <gtest/gtest.h>

namespace {

class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[32] = "pixferry_window_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] auto* const appEnvironment = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

}  // namespace
