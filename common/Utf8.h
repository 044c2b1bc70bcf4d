#pragma once

#include <cstddef>
#include <string_view>

namespace px {

// Number of characters of a UTF-8 text (a stray continuation byte belongs to
// the character before it).
std::size_t Utf8Length(std::string_view text);

// The first `count` characters of a UTF-8 text, never cut inside a sequence.
std::string_view Utf8Prefix(std::string_view text, std::size_t count);

// The longest prefix of at most `bytes` bytes that ends at a character boundary.
std::string_view Utf8PrefixBytes(std::string_view text, std::size_t bytes);

// Equal but for the case of ASCII letters.
bool AsciiCaseEqual(std::string_view a, std::string_view b);

}  // namespace px
