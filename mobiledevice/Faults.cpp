#include "Faults.h"

#include <charconv>

namespace md {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// The first word of s, s keeping the rest.
std::string_view TakeWord(std::string_view& s) {
    s = Trim(s);
    const std::size_t end = s.find_first_of(" \t");
    std::string_view word = s.substr(0, end);
    s = end == std::string_view::npos ? std::string_view() : Trim(s.substr(end));
    return word;
}

std::optional<std::uint64_t> Number(std::string_view s) {
    std::uint64_t v = 0;
    if (s.empty() || s.size() > 18) return std::nullopt;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
    return v;
}

std::optional<Fault::Kind> KindOf(std::string_view word) {
    if (word == "read-error") return Fault::Kind::ReadError;
    if (word == "unplug") return Fault::Kind::Unplug;
    if (word == "slow-read") return Fault::Kind::SlowRead;
    if (word == "max-read") return Fault::Kind::MaxRead;
    if (word == "dir-entry") return Fault::Kind::DirEntry;
    return std::nullopt;
}

}  // namespace

std::optional<std::string> NormalizeDevicePath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        std::string_view part = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (parts.empty()) return std::nullopt;
            parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    if (parts.empty()) return std::string("/");
    std::size_t size = 0;
    for (auto p : parts) size += p.size() + 1;
    std::string out(size, '/');
    std::size_t at = 0;
    for (auto p : parts) {
        p.copy(out.data() + at + 1, p.size());
        at += p.size() + 1;
    }
    return out;
}

std::vector<Fault> ParseFaults(std::string_view text) {
    std::vector<Fault> faults;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view line = Trim(text.substr(0, eol));
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        if (line.empty() || line.front() == '#') continue;
        auto kind = KindOf(TakeWord(line));
        if (!kind) continue;
        Fault f;
        f.kind = *kind;
        if (f.kind == Fault::Kind::DirEntry) {
            f.name = std::string(TakeWord(line));
            if (f.name.empty()) continue;
        } else {
            auto n = Number(TakeWord(line));
            if (!n) continue;
            f.number = *n;
        }
        if (line.empty()) continue;
        if (line == "*" && (f.kind == Fault::Kind::SlowRead || f.kind == Fault::Kind::MaxRead)) {
            f.path = std::string(1, '*');
        } else {
            auto path = NormalizeDevicePath(line);
            if (!path) continue;
            f.path = *path;
        }
        faults.push_back(std::move(f));
    }
    return faults;
}

}  // namespace md
