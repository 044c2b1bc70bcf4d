// The texts the two programs exchange: the replies, the command markers, how
// the main program joins a command and how the connector cuts one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace px {

inline constexpr std::string_view MainWindowClass = "TFormMain";
inline constexpr std::string_view MainWindowTitle = "velmorapixferry";
inline constexpr std::string_view ConnectorClass = "pixferryconnecter";
inline constexpr std::string_view ConnectorTitle = "pixferryconnecter";

// Replies, connector to main program.
inline constexpr std::string_view ReplyDeviceAccepted = "4";
inline constexpr std::string_view ReplyDataReady = "1";
inline constexpr std::string_view ReplyCommandDone = "2";
inline constexpr std::string_view ReplyDeviceGone = "3";

// Command kinds and their markers.
inline constexpr std::string_view KindByteRange = "5";
inline constexpr std::string_view KindCameraPhoto = "6";
inline constexpr std::string_view CameraMarker = "&^###$$";
inline constexpr std::string_view LocalMarker = "!@#$%^&";
inline constexpr std::string_view OffsetMarker = "&^%()*&%%";
inline constexpr std::string_view SizeMarker = "@^%**@!**";

// Command + marker + local path for kind "5" or "6"; nothing for another kind.
std::optional<std::string> JoinCommand(std::string_view kind, std::string_view command, std::string_view localPath);

// The first part of a byte-range command.
std::string ByteRangeCommand(std::string_view deviceFile, std::int32_t offset, std::int32_t size);

struct ConnectorCommand {
    enum class Kind {
        Ignored,    // neither marker where a command has it: no reply
        Malformed,  // looks like a command but a field is unusable: copies nothing
        CameraPhoto,
        ByteRange,
    };
    Kind kind = Kind::Ignored;
    std::string devicePath;  // camera: base path without extension; byte range: the file
    std::string localPath;   // backslashes turned into '/'
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// Cuts a received text into its fields. Markers are found by their first
// occurrence; numbers and the local file by the last character of the marker
// before them. Numbers must be decimal digits below 2^31.
ConnectorCommand CutCommand(std::string_view text);

// Decimal digits only, not empty, below 2^31.
std::optional<std::uint32_t> strtoint(std::string_view digits);

}  // namespace px
