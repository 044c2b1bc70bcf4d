#include "Utf8.h"

namespace px {

namespace {
bool Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
}  // namespace

std::size_t Utf8Length(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (i == 0 || !Continuation(text[i])) ++n;
    return n;
}

std::string_view Utf8Prefix(std::string_view text, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 0 || !Continuation(text[i])) {
            if (seen == count) return text.substr(0, i);
            ++seen;
        }
    }
    return text;
}

std::string_view Utf8PrefixBytes(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && Continuation(text[end])) --end;
    return text.substr(0, end);
}

bool AsciiCaseEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

}  // namespace px
