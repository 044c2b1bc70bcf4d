// Copies from the device's file service into local files, and the two
// commands of the main program.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "CommandText.h"
#include "Connector.h"

namespace {

constexpr int MaxListPairs = 65536;
// Longer entry names are not walked: no file system here takes them.
constexpr std::size_t MaxEntryName = 1024;

class LocalFile {
public:
    explicit LocalFile(int fd) : fd_(fd) {}
    ~LocalFile() { Close(); }
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;
    explicit operator bool() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // False when the bytes could not all be written.
    bool Write(const std::byte* data, std::size_t size) {
        while (size > 0) {
            ssize_t n = ::write(fd_, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    bool Close() {
        if (fd_ < 0) return true;
        const bool ok = ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

private:
    int fd_;
};

struct FreeDeleter {
    void operator()(std::byte* p) const { std::free(p); }
};

// A hidden name beside the target, unique to this process and call.
std::string TemporaryNameFor(const std::string& target) {
    static unsigned long counter = 0;
    const std::size_t slash = target.rfind('/');
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    // Kept short enough that a long target name still leaves room for the suffix.
    const std::string name = target.substr(nameAt, 200);
    return target.substr(0, nameAt) + "." + name + "." + std::to_string(::getpid()) + "-" +
           std::to_string(++counter) + ".part";
}

// Lets a shutdown request sent during a long copy be answered between
// chunks; everything else stays queued for the message loop.
void LetShutdownThrough() {
    wm::MSG head;
    while (wm::PeekMessageA(head, wm::PM_NOREMOVE) && head.message == wm::WM_DESTROY) {
        wm::MSG msg;
        if (!wm::PeekMessageA(msg, wm::PM_REMOVE)) break;
        wm::DispatchMessageA(msg);
    }
}

// "%u" without its faults: leading digits, a size too big for 32 bits kept
// at the largest value rather than wrapped (a wrap could land on 0).
unsigned int SizeValue(const char* text) {
    std::uint64_t v = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + static_cast<std::uint64_t>(*p - '0');
        if (v > UINT32_MAX) return UINT32_MAX;
    }
    return static_cast<unsigned int>(v);
}

// The first occurrence of text in name lies at a position greater than 0.
bool AfterStart(std::string_view name, std::string_view text) {
    const std::size_t at = name.find(text);
    return at != std::string_view::npos && at > 0;
}

// "." and ".." would walk the folder itself or its parent, and a name with
// '/' would lead the local file name out of the output folder.
bool Walkable(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

// Calls visit for each entry name of a device folder; a folder that cannot
// be opened is skipped. Names are copied before visit may open another folder.
template <class Visit>
void ForEachEntry(afc_connection* hAFC, const std::string& path, Visit visit) {
    afc_directory* dir = nullptr;
    if (AFCDirectoryOpen(hAFC, path.c_str(), &dir) != 0 || !dir) return;
    for (;;) {
        const char* name = nullptr;
        if (AFCDirectoryRead(hAFC, dir, &name) != 0 || !name) break;
        const std::size_t len = ::strnlen(name, MaxEntryName + 1);
        if (len > MaxEntryName) continue;
        const std::string entry(name, len);
        if (Walkable(entry)) visit(entry);
    }
    AFCDirectoryClose(hAFC, dir);
}

}  // namespace

unsigned int get_file_size(afc_connection* hAFC, const std::string& path) {
    afc_dictionary* info = nullptr;
    if (AFCFileInfoOpen(hAFC, path.c_str(), &info) != 0) return 0;
    unsigned int size = 0;
    for (int i = 0; i < MaxListPairs; ++i) {
        const char* key = nullptr;
        const char* value = nullptr;
        AFCKeyValueRead(info, &key, &value);
        if (!key || !value) break;
        if (std::strcmp(key, "st_size") == 0) {
            size = SizeValue(value);
            break;
        }
    }
    AFCKeyValueClose(info);
    return size;
}

bool FileWriteToDisk(afc_connection* hAFC, const std::string& inputpath, const std::string& outputpath) {
    const unsigned int size = get_file_size(hAFC, inputpath);
    if (size == 0) return false;
    afc_file_ref ref = 0;
    if (AFCFileRefOpen(hAFC, inputpath.c_str(), AFC_FILE_READ, &ref) != 0) return false;

    // Written under a temporary name and renamed into place only when the
    // whole file arrived: a reader never sees part of a file.
    const std::string temporary = TemporaryNameFor(outputpath);
    LocalFile local(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!local) {
        AFCFileRefClose(hAFC, ref);
        return true;  // found and opened; there is just nowhere to put it
    }

    // Room for a large file up front, in as few pieces as the disk can give;
    // for a file of one chunk it costs more than it saves.
    if (size > WholeFileChunk) ::fallocate(local.Fd(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
    thread_local std::vector<std::byte> buffer(WholeFileChunk);
    bool readFailed = false;
    bool writeFailed = false;
    off_t written = 0;
    for (;;) {
        LetShutdownThrough();
        unsigned int len = WholeFileChunk;
        const int rc = AFCFileRefRead(hAFC, ref, buffer.data(), &len);
        if (rc != 0) {
            readFailed = true;
            break;
        }
        if (len == 0) break;
        const std::size_t count = std::min<std::size_t>(len, buffer.size());
        if (!local.Write(buffer.data(), count)) {
            writeFailed = true;
            break;
        }
        written += static_cast<off_t>(count);
    }
    // A file shorter than its size said gives back the room kept past its end.
    if (!readFailed && !writeFailed && written < static_cast<off_t>(size)) ::ftruncate(local.Fd(), written);
    if (!local.Close()) writeFailed = true;
    AFCFileRefClose(hAFC, ref);

    if (readFailed || writeFailed || std::rename(temporary.c_str(), outputpath.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return !readFailed;
    }
    return true;
}

bool FileWriteToDiskPhoto(afc_connection* hAFC, const std::string& inputpath, const std::string& outputpath,
                          std::uint32_t offset, std::uint32_t imagesize) {
    afc_file_ref ref = 0;
    if (AFCFileRefOpen(hAFC, inputpath.c_str(), AFC_FILE_READ, &ref) != 0) return false;
    LocalFile local(::open(outputpath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!local) {
        AFCFileRefClose(hAFC, ref);
        return false;
    }
    AFCFileRefSeek(hAFC, ref, static_cast<std::int64_t>(std::uint64_t{offset}), 0);
    bool whole = false;
    if (imagesize > 0) {
        // A size that cannot be had leaves the local file empty.
        std::unique_ptr<std::byte, FreeDeleter> buffer(static_cast<std::byte*>(std::malloc(imagesize)));
        if (buffer) {
            unsigned int len = imagesize;
            if (AFCFileRefRead(hAFC, ref, buffer.get(), &len) == 0)
                whole = local.Write(buffer.get(), std::min(len, imagesize)) && len >= imagesize;
        }
    }
    local.Close();
    AFCFileRefClose(hAFC, ref);
    return whole;
}

namespace {

// A command that failed may have failed because the device has gone: then
// its detach notice is on its way to this thread, and it is handed on before
// the command is answered, so the main program learns of the loss first and
// never takes the failed copy for a made one.
void ReportDeviceGoneFirst() {
    afc_dictionary* info = nullptr;
    if (GhAFC && AFCDeviceInfoOpen(GhAFC, &info) == 0) {
        AFCKeyValueClose(info);
        return;  // still there: the file was just not to be had
    }
    const auto deadline = std::chrono::steady_clock::now() + DeviceGoneWait;
    do {
        wm::MSG msg;
        if (wm::PeekMessageA(msg, wm::PM_REMOVE, WM_DEVICE_NOTIFICATION, WM_DEVICE_NOTIFICATION)) {
            wm::DispatchMessageA(msg);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
}

}  // namespace

void FileWritesInDCIM(afc_connection* hAFC, const std::string& outputpath) {
    ForEachEntry(hAFC, "/DCIM/", [&](const std::string& folder) {
        if (AfterStart(folder, "MISC") || AfterStart(folder, ".")) return;
        const std::string folderPath = "/DCIM/" + folder;
        ForEachEntry(hAFC, folderPath, [&](const std::string& name) {
            if (AfterStart(name, "MISC")) {
                const std::string miscPath = folderPath + "/" + name;
                ForEachEntry(hAFC, miscPath, [&](const std::string& thumb) {
                    if (AfterStart(thumb, "THM"))
                        FileWriteToDisk(hAFC, miscPath + "/" + thumb, outputpath + folder + thumb);
                });
            }
            if (AfterStart(name, "THM")) FileWriteToDisk(hAFC, folderPath + "/" + name, outputpath + folder + name);
        });
    });
}

void dealwith_mainform_msg(std::string_view msg) {
    const px::ConnectorCommand cmd = px::CutCommand(msg);
    switch (cmd.kind) {
    case px::ConnectorCommand::Kind::Ignored:
        return;
    case px::ConnectorCommand::Kind::Malformed:
        // Carried out as nothing, but answered, so a copy run never waits for ever.
        std::fprintf(stderr, "velmorapx: malformed command, nothing copied\n");
        break;
    case px::ConnectorCommand::Kind::CameraPhoto: {
        bool found = false;
        for (const char* extension : {".JPG", ".PNG", ".WTH", ".MOV"})
            if ((found = FileWriteToDisk(GhAFC, cmd.devicePath + extension, cmd.localPath + extension))) break;
        if (!found) ReportDeviceGoneFirst();
        break;
    }
    case px::ConnectorCommand::Kind::ByteRange:
        if (!FileWriteToDiskPhoto(GhAFC, cmd.devicePath, cmd.localPath, cmd.offset, cmd.size)) ReportDeviceGoneFirst();
        break;
    }
    SendReply(px::ReplyCommandDone);
}
