// The settings that survive between runs, and the addresses built from them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TRegistry;

inline constexpr std::string_view SettingsKey = "HKEY_CURRENT_USER\\Software\\Velmora Pixferry";
inline constexpr std::string_view MachineKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
inline constexpr std::string_view ProductName = "Velmora Pixferry";
inline constexpr std::string_view MakerDomain = "velmora-pixferry.example";
inline constexpr std::string_view HowToPage = "how-to-transfer-photo-from-ipad-to-computer.html";

struct Settings {
    std::string LanguageCode;
    std::string BackupPath;
    std::int32_t BackupResolution = 0;  // 1 full size, 2 "120*160", 3 "76*76", 4 "55*55"
    std::int32_t BackupFormat = 0;      // 1 BMP, 2 JPEG
    std::string ProgramFolder;          // ends in one '/'
    std::string SiteAddress;            // ends in '/'
};

// $XDG_CONFIG_HOME/velmora/registry.reg, ~/.config when unset.
std::string UserRegistryPath();
inline constexpr std::string_view MachineRegistryPath = "/etc/velmora/registry.reg";

// The site in the user's language: "www" for exactly "en", else the code as
// first host label. $PIXFERRY_SITE_ADDRESS replaces it as a whole.
std::string SiteAddressFor(std::string_view languageCode);

// Documents + "/Velmora/Velmora Pixferry/", or empty when Documents is unknown.
std::string DefaultBackupPath(std::string_view documentsFolder);

// Reads LA, SP, RS and FF in that order into `s`. An error throws at the
// step where it happens; what was read before it stays in `s`.
void ReadSettings(TRegistry& reg, Settings& s, std::string_view documentsFolder);

// Writes LA, SP, RS and FF in that order; an error throws and the values
// after it are not written.
void WriteSettings(TRegistry& reg, const Settings& s);

// The two above on the registry file, with an error logged in
// s.ProgramFolder under "ReadRegistry:" or "WriteRegistry:".
void LoadSettings(Settings& s, const std::string& registryPath, std::string_view documentsFolder);
void SaveSettings(const Settings& s, const std::string& registryPath);
