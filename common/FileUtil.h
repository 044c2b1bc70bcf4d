#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace px {

// The whole file when it is a readable regular file of at most maxBytes.
std::optional<std::string> ReadFileBounded(const std::string& path, std::size_t maxBytes);

// Writes to a temporary file beside `path`, then renames it into place, so a
// reader sees the old or the new content and never a part. Makes the parent
// folders. Returns an error text, empty on success.
std::string WriteFileAtomically(const std::string& path, std::string_view content);

// The same for a copy of the file `from`, which is not read into memory.
std::string CopyFileAtomically(const std::string& from, const std::string& path);

// Whether a process is still running (a zombie nobody reaped has ended).
bool ProcessRunning(long long pid);

// `folder` ending in exactly one '/'.
std::string WithOneTrailingSlash(std::string folder);

}  // namespace px
