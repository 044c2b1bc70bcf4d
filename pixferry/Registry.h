// A typed key/value store kept in one text file in the format of registry
// export files:
//   [HKEY_CURRENT_USER\Software\Velmora Pixferry]
//   "LA"="en"
//   "RS"=dword:00000001
// Lines it does not understand are kept as they stand. Every write saves the
// whole file atomically.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TRegistry {
public:
    explicit TRegistry(std::string filePath);

    // Opens a key by its full name; with canCreate a missing key is made (and saved).
    // Throws when the file exists but cannot be read.
    bool OpenKey(std::string_view key, bool canCreate);
    void CloseKey();

    bool ValueExists(std::string_view name) const;
    // A missing value reads as empty / 0; a value of another type throws.
    std::string ReadString(std::string_view name) const;
    std::int32_t ReadInteger(std::string_view name) const;
    void WriteString(std::string_view name, std::string_view value);
    void WriteInteger(std::string_view name, std::int32_t value);

    static constexpr std::size_t MaxFileSize = 4u << 20;

private:
    struct Found {
        std::size_t line = 0;   // first physical line of the value
        std::size_t count = 0;  // physical lines it spans
    };
    bool FindKey(std::string_view key, std::size_t& header, std::size_t& end) const;
    bool FindValue(std::string_view name, Found& found) const;
    void Write(std::string_view name, std::string valueText);
    void Save();

    std::string path_;
    std::vector<std::string> lines_;
    std::string key_;
    bool open_ = false;
};
