#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "FileUtil.h"

namespace pxtest {

std::string MakeTempFolder(const std::string& stem) {
    static int counter = 0;
    std::string path = TempRoot() + "/" + stem + "-" + std::to_string(++counter);
    std::filesystem::create_directories(path);
    return path;
}

void WriteFile(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

bool ProcessEnded(int pid) { return !px::ProcessRunning(pid); }

}  // namespace pxtest
