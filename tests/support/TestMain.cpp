// main() of every test program: a private temporary home for the process.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {
std::string root;
}

const std::string& pxtest::TempRoot() { return root; }

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::string templ = (std::filesystem::temp_directory_path() / "pxtest-XXXXXX").string();
    if (!::mkdtemp(templ.data())) return 2;
    root = templ;
    for (const char* sub : {"/run", "/config", "/home/Documents"}) std::filesystem::create_directories(root + sub);
    std::filesystem::permissions(root + "/run", std::filesystem::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    ::setenv("HOME", (root + "/home").c_str(), 1);
    ::unsetenv("PIXFERRY_SITE_ADDRESS");
    const int rc = RUN_ALL_TESTS();
    std::error_code ec;
    if (!std::getenv("PXTEST_KEEP")) std::filesystem::remove_all(root, ec);
    return rc;
}
