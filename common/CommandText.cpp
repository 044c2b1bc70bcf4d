#include "CommandText.h"

#include <algorithm>

namespace px {

namespace {

// "Lies at a position greater than 0": a marker at the very start, or none, does not count.
bool AfterStart(std::size_t pos) { return pos != std::string_view::npos && pos > 0; }

std::string Slashes(std::string_view path) {
    std::string out(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

}  // namespace

std::optional<std::string> JoinCommand(std::string_view kind, std::string_view command, std::string_view localPath) {
    std::string_view marker;
    if (kind == KindByteRange)
        marker = LocalMarker;
    else if (kind == KindCameraPhoto)
        marker = CameraMarker;
    else
        return std::nullopt;
    std::string text(command);
    text += marker;
    text += localPath;
    return text;
}

std::string ByteRangeCommand(std::string_view deviceFile, std::int32_t offset, std::int32_t size) {
    std::string text(deviceFile);
    text += OffsetMarker;
    text += std::to_string(offset);
    text += SizeMarker;
    text += std::to_string(size);
    return text;
}

std::optional<std::uint32_t> strtoint(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value >= (std::uint64_t{1} << 31)) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

ConnectorCommand CutCommand(std::string_view m) {
    ConnectorCommand cmd;
    const std::size_t b = m.find(CameraMarker);
    const std::size_t a = m.find(LocalMarker);

    if (AfterStart(b)) {
        cmd.devicePath = std::string(m.substr(0, b));
        cmd.localPath = Slashes(m.substr(b + CameraMarker.size()));
        cmd.kind = cmd.localPath.empty() ? ConnectorCommand::Kind::Malformed : ConnectorCommand::Kind::CameraPhoto;
        return cmd;
    }
    if (!AfterStart(a)) return cmd;

    cmd.kind = ConnectorCommand::Kind::Malformed;
    const std::string_view h = m.substr(0, a);
    const std::size_t sizeAt = h.find(SizeMarker);
    const std::string_view q = h.substr(0, sizeAt);
    const std::size_t offsetAt = q.find(OffsetMarker);
    const std::string_view local = m.substr(m.rfind('&') + 1);
    cmd.devicePath = std::string(q.substr(0, offsetAt));
    cmd.localPath = Slashes(local);
    // The last '%' of Q and the last '*' of H must be the ends of their
    // markers, and the last '&' the end of the local marker: otherwise a
    // field holds a stray marker character and the cut would be wrong.
    if (sizeAt == std::string_view::npos || offsetAt == std::string_view::npos || cmd.devicePath.empty())
        return cmd;
    const std::string_view offsetText = q.substr(q.rfind('%') + 1);
    const std::string_view sizeText = h.substr(h.rfind('*') + 1);
    if (offsetText != q.substr(offsetAt + OffsetMarker.size()) || sizeText != h.substr(sizeAt + SizeMarker.size()) ||
        local != m.substr(a + LocalMarker.size()) || local.empty())
        return cmd;
    auto offset = strtoint(offsetText);
    auto size = strtoint(sizeText);
    if (!offset || !size) return cmd;
    cmd.offset = *offset;
    cmd.size = *size;
    cmd.kind = ConnectorCommand::Kind::ByteRange;
    return cmd;
}

}  // namespace px
