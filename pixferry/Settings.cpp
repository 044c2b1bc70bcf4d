#include "Settings.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "LogClass.h"
#include "Registry.h"

std::string UserRegistryPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && *config) {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.config";
    }
    return base + "/velmora/registry.reg";
}

std::string SiteAddressFor(std::string_view languageCode) {
    if (const char* site = std::getenv("PIXFERRY_SITE_ADDRESS"); site && *site) return site;
    std::string label = languageCode == "en" ? std::string("www") : std::string(languageCode);
    return "http://" + label + "." + std::string(MakerDomain) + "/";
}

std::string DefaultBackupPath(std::string_view documentsFolder) {
    if (documentsFolder.empty()) return {};
    std::string path(documentsFolder);
    if (path.back() != '/') path += '/';
    return path + "Velmora/" + std::string(ProductName) + "/";
}

namespace {

void CreateFolder(const std::string& path) {
    if (path.empty()) throw std::runtime_error("Unable to create directory");
    std::error_code ec;  // a folder that cannot be made is left to the copy, which asks for one
    std::filesystem::create_directories(path, ec);
}

bool FolderExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

}  // namespace

void ReadSettings(TRegistry& reg, Settings& s, std::string_view documentsFolder) {
    reg.OpenKey(SettingsKey, true);

    s.LanguageCode = reg.ValueExists("LA") ? reg.ReadString("LA") : std::string();
    if (s.LanguageCode.empty()) s.LanguageCode = "en";
    if (s.LanguageCode != "en") s.SiteAddress = SiteAddressFor(s.LanguageCode);

    const std::string fallback = DefaultBackupPath(documentsFolder);
    if (reg.ValueExists("SP")) {
        s.BackupPath = reg.ReadString("SP");
        if (!FolderExists(s.BackupPath)) {
            if (!fallback.empty()) s.BackupPath = fallback;
            CreateFolder(s.BackupPath);
        }
    } else {
        if (!fallback.empty()) s.BackupPath = fallback;
        CreateFolder(s.BackupPath);
    }

    s.BackupResolution = reg.ValueExists("RS") ? reg.ReadInteger("RS") : 1;
    s.BackupFormat = reg.ValueExists("FF") ? reg.ReadInteger("FF") : 2;
    reg.CloseKey();
}

void WriteSettings(TRegistry& reg, const Settings& s) {
    if (!reg.OpenKey(SettingsKey, false)) throw ERegistryException("Failed to open key " + std::string(SettingsKey));
    reg.WriteString("LA", s.LanguageCode);
    reg.WriteString("SP", s.BackupPath);
    reg.WriteInteger("RS", s.BackupResolution);
    reg.WriteInteger("FF", s.BackupFormat);
    reg.CloseKey();
}

void LoadSettings(Settings& s, const std::string& registryPath, std::string_view documentsFolder) {
    try {
        TRegistry reg(registryPath);
        ReadSettings(reg, s, documentsFolder);
    } catch (const std::exception& e) {
        TLogClass::WriteLog(s.ProgramFolder, std::string("ReadRegistry:") + e.what());
    }
}

void SaveSettings(const Settings& s, const std::string& registryPath) {
    try {
        TRegistry reg(registryPath);
        WriteSettings(reg, s);
    } catch (const std::exception& e) {
        TLogClass::WriteLog(s.ProgramFolder, std::string("WriteRegistry:") + e.what());
    }
}
