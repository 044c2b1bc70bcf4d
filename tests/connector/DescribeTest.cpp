// The diagnostic text of describe255: always valid UTF-8, at most 255 bytes.
#include <gtest/gtest.h>

#include "Connector.h"

namespace {

TEST(Describe255, PrintableTextTable) {
    const std::string a300(300, 'a');
    const std::string euro = "\xe2\x82\xac";  // three bytes
    std::string euros;
    while (euros.size() < 300) euros += euro;
    struct Row {
        const char* name;
        std::string in, out;
    };
    const std::vector<Row> rows{
        {"short text", "<device>", "<device>"},
        {"cut to 255 bytes", a300, std::string(255, 'a')},
        {"cut before a character that would not fit", euros, euros.substr(0, 255)},
        {"cut inside a character at byte 255", std::string(254, 'a') + euro, std::string(254, 'a')},
        {"stray continuation byte", "a\x80z", "a?z"},
        {"truncated sequence at the end", "ab\xe2\x82", "ab??"},
        {"overlong form", "\xc0\xaf", "??"},
        {"surrogate half", "\xed\xa0\x80", "???"},
        {"NUL inside", std::string("a\0b", 3), "a?b"},
        {"four-byte character kept", "\xf0\x9f\x93\xb7", "\xf0\x9f\x93\xb7"},
    };
    for (const auto& row : rows) EXPECT_EQ(Printable255(row.in), row.out) << row.name;
}

}  // namespace
