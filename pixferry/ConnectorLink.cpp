#include "ConnectorLink.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "FileUtil.h"
#include "Registry.h"
#include "Settings.h"

std::string ProgramFolderOf(std::string_view programPath) {
    std::string path(programPath);
    const std::size_t slash = path.rfind('/');
    return px::WithOneTrailingSlash(slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1));
}

std::string MobileDeviceLibraryPath(std::string_view commonFilesDir, bool commonFilesDirExists) {
    std::string path(commonFilesDir);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (commonFilesDirExists) path += "/Apple/Mobile Device Support/bin";
    return path + "/iTunesMobileDevice.dll";
}

std::optional<std::uint32_t> FileVersionMSFromBytes(std::string_view bytes) {
    // VS_VERSIONINFO: wLength, wValueLength, wType, then the UTF-16 key
    // "VS_VERSION_INFO" and its NUL, padding to 32 bits, then VS_FIXEDFILEINFO
    // (signature 0xFEEF04BD, struct version, file version MS, LS, ...).
    static const std::string key = [] {
        std::string k;
        for (char c : std::string_view("VS_VERSION_INFO")) {
            k += c;
            k += '\0';
        }
        return k + std::string(2, '\0');
    }();
    constexpr std::uint32_t signature = 0xFEEF04BD;
    for (std::size_t at = bytes.find(key); at != std::string_view::npos; at = bytes.find(key, at + 1)) {
        for (std::size_t pad : {0u, 2u}) {
            std::size_t fixed = at + key.size() + pad;
            if (fixed + 12 > bytes.size()) break;
            std::uint32_t sig, ms;
            std::memcpy(&sig, bytes.data() + fixed, 4);
            if (sig != signature) continue;
            std::memcpy(&ms, bytes.data() + fixed + 8, 4);
            return ms;
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ReadFileVersionMS(const std::string& path) {
    auto bytes = px::ReadFileBounded(path, 256u << 20);
    if (!bytes) return std::nullopt;
    return FileVersionMSFromBytes(*bytes);
}

std::string ConnectorFolderFor(std::optional<std::uint32_t> fileVersionMS) {
    if (fileVersionMS && (*fileVersionMS >> 16) < 238) return "dlla/";
    return "dllb/";
}

std::string ChooseConnectorFolder(const std::string& machineRegistryPath) {
    std::string commonFiles;
    try {
        TRegistry reg(machineRegistryPath);
        if (reg.OpenKey(MachineKey, false) && reg.ValueExists("CommonFilesDir"))
            commonFiles = reg.ReadString("CommonFilesDir");
    } catch (const ERegistryException&) {
        commonFiles.clear();
    }
    std::error_code ec;
    const bool exists = !commonFiles.empty() && std::filesystem::is_directory(commonFiles, ec);
    return ConnectorFolderFor(ReadFileVersionMS(MobileDeviceLibraryPath(commonFiles, exists)));
}

bool IsCameraWorkingFile(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    const std::string_view ext = name.substr(dot);
    return ext == ".JPG" || ext == ".THM";
}

void CleanCameraFolder(const std::string& cameraFolder) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(cameraFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (IsCameraWorkingFile(name) && !it->is_directory(ec)) std::filesystem::remove(it->path(), ec);
    }
}
