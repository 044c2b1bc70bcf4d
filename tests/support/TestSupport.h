// Shared pieces of the test programs.
#pragma once

#include <string>

namespace pxtest {

// The temporary folder this test process runs in (HOME, XDG folders inside it).
const std::string& TempRoot();
// A new empty folder under TempRoot().
std::string MakeTempFolder(const std::string& stem);
// The program folder of the build: bin/ with pixferry, dlla/ and dllb/.
inline std::string BinDir() { return PIXFERRY_BIN_DIR "/"; }
inline std::string SourceDir() { return PIXFERRY_SOURCE_DIR "/"; }

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// Whether a process has ended (gone, or a zombie nobody reaped).
bool ProcessEnded(int pid);

}  // namespace pxtest
