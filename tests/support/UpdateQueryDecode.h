// The update service's side of the query encoding, for the tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "UpdateCheck.h"

inline std::optional<std::string> DecodeUpdateQuery(std::string_view hex) {
    if (hex.size() % 2) return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>((hi << 4 | lo) ^ UpdateKey[(i / 2) % UpdateKey.size()]);
    }
    return out;
}
