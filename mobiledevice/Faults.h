// Faults a simulated device can be told to show, from the optional file
// "faults" in its folder (see README.md).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace md {

struct Fault {
    enum class Kind { ReadError, Unplug, SlowRead, MaxRead, DirEntry };
    Kind kind = Kind::ReadError;
    std::uint64_t number = 0;  // byte position, milliseconds or byte count
    std::string path;          // normalised device path, or "*" for every file
    std::string name;          // dir-entry: the extra name
};

// One fault per line; lines that do not parse are skipped.
std::vector<Fault> ParseFaults(std::string_view text);

// "/a/b" for an absolute or relative device path: empty and "." parts
// dropped, ".." taking one part back. Nothing when ".." would leave the root.
std::optional<std::string> NormalizeDevicePath(std::string_view path);

}  // namespace md
