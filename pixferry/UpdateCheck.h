// The update check's texts: the list of program files with their digests,
// the query and its encoding, the request address, and what an answer means.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Shared with the update service.
inline constexpr std::array<std::uint8_t, 8> UpdateKey = {0x5A, 0x3C, 0x91, 0x17, 0xE4, 0x6B, 0x28, 0xD3};

inline constexpr int UpdateTimeoutMs = 15000;
inline constexpr int MaxUpdateRedirects = 5;
inline constexpr std::size_t MaxUpdateAnswerSize = 64 * 1024;

// The programs (executable regular files) and libraries (regular ".so" files)
// of `folder`, each as name "*" lower-case MD5 "?", in byte order of their
// names so that the list does not depend on the file system. A file that
// cannot be read gets the digest of nothing. `stop` is asked between reads;
// once it says yes the list is left unfinished.
std::string ProgramFileList(const std::string& folder, const std::function<bool()>& stop = {});

// The digest of the file's content, or of nothing when it cannot be read.
std::string FileMd5Hex(const std::string& path, const std::function<bool()>& stop = {});

// a2 "t" for the check in the background, "w" for the one through the browser.
enum class UpdateMode { Background, Browser };
std::string UpdateQuery(UpdateMode mode, std::string_view fileList, std::string_view languageCode);

// Each byte XOR the key byte of its index mod 8, as two upper-case hex digits.
std::string EncodeUpdateQuery(std::string_view query);

// siteAddress + "update.php" + "??=" + encoded: one query parameter named "?".
std::string UpdateRequestAddress(std::string_view siteAddress, std::string_view encodedQuery);

// A "http://" or "https://" address with a host (the scheme in any case).
bool IsWebAddress(std::string_view address);

struct UpdateAnswer {
    bool NewVersion = false;  // line 0 "1": show the update panel
    bool Mandatory = false;   // line 1 "1": the update must be made now
    std::string SiteCaption;  // line 2
    std::string SiteTarget;   // line 3, empty unless a web address
    std::string PanelText;    // line 4
    std::string Download;     // line 5, empty unless a web address
};

// The answer's lines split as a language file is; nothing for fewer than six.
std::optional<UpdateAnswer> ParseUpdateAnswer(std::string_view body);
