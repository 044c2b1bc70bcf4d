#include "LogClass.h"

#include <ctime>
#include <vector>

#include "FileUtil.h"
#include "Utf8.h"

namespace {

constexpr std::size_t MaxLogSize = 64u << 20;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

// One line per entry: a line end inside a text would split it.
std::string OneLine(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

}  // namespace

std::string IniWithValue(std::string_view content, std::string_view section, std::string_view key,
                         std::string_view value) {
    // Lines with their own line ends, so untouched lines come back byte for byte.
    std::vector<std::string_view> lines;
    for (std::string_view rest = content; !rest.empty();) {
        std::size_t nl = rest.find('\n');
        std::size_t len = nl == std::string_view::npos ? rest.size() : nl + 1;
        lines.push_back(rest.substr(0, len));
        rest.remove_prefix(len);
    }
    const std::string entry = OneLine(key) + "=" + OneLine(value) + "\n";

    std::size_t header = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view t = Trim(lines[i]);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']' && px::AsciiCaseEqual(Trim(t.substr(1, t.size() - 2)), section)) {
            header = i;
            break;
        }
    }

    std::string out;
    auto emit = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) out += lines[i];
    };
    if (header == lines.size()) {
        out = std::string(content);
        if (!out.empty() && out.back() != '\n') out += "\n";
        out += "[" + std::string(section) + "]\n" + entry;
        return out;
    }
    std::size_t end = header + 1;
    std::size_t lastEntry = header;
    std::size_t match = lines.size();
    for (; end < lines.size(); ++end) {
        std::string_view t = Trim(lines[end]);
        if (t.starts_with("[")) break;
        if (t.empty() || t.starts_with(";")) continue;
        lastEntry = end;
        std::size_t eq = t.find('=');
        if (match == lines.size() && eq != std::string_view::npos && px::AsciiCaseEqual(Trim(t.substr(0, eq)), key)) match = end;
    }
    if (match != lines.size()) {
        emit(0, match);
        out += entry;
        emit(match + 1, lines.size());
    } else {
        emit(0, lastEntry + 1);
        if (!out.empty() && out.back() != '\n') out += "\n";
        out += entry;
        emit(lastEntry + 1, lines.size());
    }
    return out;
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& path) {
    std::string content;
    if (auto old = px::ReadFileBounded(path, MaxLogSize))
        content = std::move(*old);
    else if (FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);  // there but unreadable or too large: leave it alone
        return false;
    }
    return px::WriteFileAtomically(path, IniWithValue(content, section, key, value)).empty();
}

std::string LogKeyNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[128];
    std::size_t n = std::strftime(text, sizeof text, "%x %X", &local);
    return std::string(text, n);
}

void TLogClass::WriteLog(std::string_view folder, std::string_view message) noexcept {
    try {
        std::string path = std::string(folder) + std::string(AccessLogFile);
        WritePrivateProfileString(AccessLogSection, LogKeyNow(), message, path);
    } catch (...) {
    }
}
