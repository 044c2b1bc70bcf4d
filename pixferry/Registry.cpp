#include "Registry.h"

#include <cstdio>

#include "FileUtil.h"
#include "Utf8.h"

namespace {

constexpr std::string_view FileHeader = "Windows Registry Editor Version 5.00";

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// A quoted text with \\ and \" escapes at the start of s; sets `rest` after the closing quote.
bool ParseQuoted(std::string_view s, std::string& out, std::string_view& rest) {
    if (s.empty() || s[0] != '"') return false;
    out.clear();
    for (std::size_t i = 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\' && i + 1 < s.size()) {
            out += s[++i];
        } else if (c == '"') {
            rest = s.substr(i + 1);
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

struct ValueLine {
    std::string name;
    std::string_view data;  // text after '='
};

bool ParseValueLine(std::string_view line, ValueLine& v) {
    std::string_view rest;
    if (line.starts_with("@=")) {
        v.name.clear();
        v.data = line.substr(2);
        return true;
    }
    if (!ParseQuoted(line, v.name, rest) || !rest.starts_with("=")) return false;
    v.data = TrimRight(rest.substr(1));
    return true;
}

bool IsHeaderLine(std::string_view line) { return line.starts_with("["); }

std::string InvalidType(std::string_view name) { return "Invalid data type for '" + std::string(name) + "'"; }

}  // namespace

TRegistry::TRegistry(std::string filePath) : path_(std::move(filePath)) {}

bool TRegistry::FindKey(std::string_view key, std::size_t& header, std::size_t& end) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string_view l = TrimRight(lines_[i]);
        if (!IsHeaderLine(l) || !l.ends_with("]")) continue;
        if (!px::AsciiCaseEqual(l.substr(1, l.size() - 2), key)) continue;
        header = i;
        end = i + 1;
        while (end < lines_.size() && !IsHeaderLine(lines_[end])) ++end;
        return true;
    }
    return false;
}

bool TRegistry::OpenKey(std::string_view key, bool canCreate) {
    CloseKey();
    lines_.clear();
    if (auto content = px::ReadFileBounded(path_, MaxFileSize)) {
        std::string_view text = *content;
        while (!text.empty()) {
            std::size_t nl = text.find('\n');
            std::string_view line = text.substr(0, nl);
            if (line.ends_with('\r')) line.remove_suffix(1);
            lines_.emplace_back(line);
            if (nl == std::string_view::npos) break;
            text.remove_prefix(nl + 1);
        }
    } else if (FILE* f = std::fopen(path_.c_str(), "rb")) {
        std::fclose(f);
        throw ERegistryException("Cannot read registry file " + path_);
    }
    std::size_t header, end;
    if (!FindKey(key, header, end)) {
        if (!canCreate) return false;
        if (lines_.empty()) lines_.emplace_back(FileHeader);
        if (!lines_.back().empty()) lines_.emplace_back();
        lines_.push_back("[" + std::string(key) + "]");
        Save();
    }
    key_ = key;
    open_ = true;
    return true;
}

void TRegistry::CloseKey() {
    open_ = false;
    key_.clear();
}

bool TRegistry::FindValue(std::string_view name, Found& found) const {
    std::size_t header, end;
    if (!open_ || !FindKey(key_, header, end)) return false;
    for (std::size_t i = header + 1; i < end; ++i) {
        ValueLine v;
        if (!ParseValueLine(lines_[i], v)) continue;
        std::size_t count = 1;
        while (i + count < end && TrimRight(lines_[i + count - 1]).ends_with('\\')) ++count;
        if (px::AsciiCaseEqual(v.name, name)) {
            found = {i, count};
            return true;
        }
        i += count - 1;
    }
    return false;
}

bool TRegistry::ValueExists(std::string_view name) const {
    Found f;
    return FindValue(name, f);
}

std::string TRegistry::ReadString(std::string_view name) const {
    Found f;
    if (!FindValue(name, f)) return {};
    ValueLine v;
    ParseValueLine(lines_[f.line], v);
    std::string out;
    std::string_view rest;
    if (!ParseQuoted(v.data, out, rest) || !TrimRight(rest).empty()) throw ERegistryException(InvalidType(name));
    return out;
}

std::int32_t TRegistry::ReadInteger(std::string_view name) const {
    Found f;
    if (!FindValue(name, f)) throw ERegistryException(InvalidType(name));
    ValueLine v;
    ParseValueLine(lines_[f.line], v);
    std::string_view d = v.data;
    if (!d.starts_with("dword:") || d.size() != 6 + 8) throw ERegistryException(InvalidType(name));
    std::uint32_t value = 0;
    for (char c : d.substr(6)) {
        int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (digit < 0) throw ERegistryException(InvalidType(name));
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return static_cast<std::int32_t>(value);
}

void TRegistry::Write(std::string_view name, std::string valueText) {
    std::size_t header, end;
    if (!open_ || !FindKey(key_, header, end)) throw ERegistryException("Failed to set data for '" + std::string(name) + "'");
    std::string line = Quote(name) + "=" + valueText;
    Found f;
    if (FindValue(name, f)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(f.line),
                     lines_.begin() + static_cast<std::ptrdiff_t>(f.line + f.count));
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(f.line), line);
    } else {
        std::size_t at = end;
        while (at > header + 1 && TrimRight(lines_[at - 1]).empty()) --at;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
    }
    Save();
}

void TRegistry::WriteString(std::string_view name, std::string_view value) { Write(name, Quote(value)); }

void TRegistry::WriteInteger(std::string_view name, std::int32_t value) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<std::uint32_t>(value));
    Write(name, std::string("dword:") + hex);
}

void TRegistry::Save() {
    std::string content;
    for (const auto& l : lines_) content += l + "\n";
    std::string error = px::WriteFileAtomically(path_, content);
    if (!error.empty()) throw ERegistryException(error);
}
