// The access log: an INI file "Bpcesp.cnt" whose section "Access Log" holds
// one line per second, keyed by the local date and time.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::string_view AccessLogFile = "Bpcesp.cnt";
inline constexpr std::string_view AccessLogSection = "Access Log";

// The INI text with `key` of `section` set to `value`: an existing key (names
// compared without case) has its line replaced, a new key goes after the
// section's last entry, a missing section is appended. Every other line stays.
std::string IniWithValue(std::string_view content, std::string_view section, std::string_view key,
                         std::string_view value);

// Sets one key of an INI file, written atomically. False on any error.
bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& path);

// The key of an entry made now: the locale's date and its time with seconds.
std::string LogKeyNow();

class TLogClass {
public:
    // Never raises; a log that cannot be written is skipped.
    static void WriteLog(std::string_view folder, std::string_view message) noexcept;
};
