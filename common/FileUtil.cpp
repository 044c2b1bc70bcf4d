#include "FileUtil.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace px {

std::optional<std::string> ReadFileBounded(const std::string& path, std::size_t maxBytes) {
    // Non-blocking open, so a FIFO in the way cannot hang the caller; it is refused below.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st;
    std::optional<std::string> out;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) <= maxBytes) {
        std::string data;
        char buf[65536];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0 && data.size() + static_cast<std::size_t>(n) <= maxBytes)
            data.append(buf, static_cast<std::size_t>(n));
        if (n == 0) out = std::move(data);
    }
    ::close(fd);
    return out;
}

namespace {

// A new file of a name of its own beside `path` (its folders made); -1 on failure.
int TemporaryBeside(const std::string& path, std::string& temp) {
    std::error_code ec;
    std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    temp = path + ".XXXXXX";
    return ::mkstemp(temp.data());
}

}  // namespace

std::string WriteFileAtomically(const std::string& path, std::string_view content) {
    std::string temp;
    int fd = TemporaryBeside(path, temp);
    if (fd < 0) return "Cannot create " + temp + ": " + std::strerror(errno);
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            std::string err = "Cannot write " + temp + ": " + std::strerror(errno);
            ::close(fd);
            ::unlink(temp.c_str());
            return err;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    ::fchmod(fd, 0644);
    if (::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        std::string err = "Cannot replace " + path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return err;
    }
    return {};
}

std::string CopyFileAtomically(const std::string& from, const std::string& path) {
    std::string temp;
    const int fd = TemporaryBeside(path, temp);
    if (fd < 0) return "Cannot create " + temp + ": " + std::strerror(errno);
    ::fchmod(fd, 0644);
    ::close(fd);
    std::error_code ec;
    std::filesystem::copy_file(from, temp, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec || ::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string err = "Cannot copy " + from + " to " + path + ": " + (ec ? ec.message() : std::strerror(errno));
        ::unlink(temp.c_str());
        return err;
    }
    return {};
}

bool ProcessRunning(long long pid) {
    if (pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) != 0) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t paren = line.rfind(')');
    return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] != 'Z';
}

std::string WithOneTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder != "/") folder += '/';
    return folder;
}

}  // namespace px
