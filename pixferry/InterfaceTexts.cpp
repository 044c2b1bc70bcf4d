#include "InterfaceTexts.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "FileUtil.h"
#include "Utf8.h"

std::vector<std::string> SplitLanguageLines(std::string_view content) {
    content = content.substr(0, content.find('\0'));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (content[i] != '\r' && content[i] != '\n') continue;
        lines.emplace_back(content.substr(start, i - start));
        if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < content.size()) lines.emplace_back(content.substr(start));
    return lines;
}

std::string InterfaceText(const std::vector<std::string>& lines, int id, std::string_view defaultText) {
    if (id >= 0 && static_cast<std::size_t>(id) < lines.size() && !lines[static_cast<std::size_t>(id)].empty())
        return lines[static_cast<std::size_t>(id)];
    return std::string(defaultText);
}

namespace {
const std::vector<std::string>* source = nullptr;
}

void SetInterfaceTextSource(const std::vector<std::string>* lines) { source = lines; }

std::string GetInterfaceText(int id, std::string_view defaultText) {
    static const std::vector<std::string> none;
    return InterfaceText(source ? *source : none, id, defaultText);
}

std::string StatusText(std::string_view text) {
    if (px::Utf8Length(text) <= StatusTextLimit) return std::string(text);
    return std::string(px::Utf8Prefix(text, StatusTextLimit)) + "...";
}

std::string LanguageFilePath(std::string_view programFolder, std::string_view languageCode) {
    return std::string(programFolder) + std::string(languageCode) + "." + "lng";
}

std::vector<std::string> LoadLanguageFile(std::string_view programFolder, std::string_view languageCode) {
    const std::string file = LanguageFilePath(programFolder, languageCode);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return {};
    auto content = px::ReadFileBounded(file, MaxLanguageFileSize);
    if (!content) throw std::runtime_error("Cannot open file \"" + file + "\"");
    return SplitLanguageLines(*content);
}
