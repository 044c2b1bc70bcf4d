#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <signal.h>

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

bool ProcessEnded(int pid) {
    if (pid <= 0) return true;
    if (::kill(pid, 0) != 0) return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto paren = line.rfind(')');
    return paren == std::string::npos || paren + 2 >= line.size() || line[paren + 2] == 'Z';
}

}  // namespace pxtest
