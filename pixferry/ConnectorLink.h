// The main program's side of the connector's placement: which connector
// folder to use, where the program lives, which working files to clean.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The folder of the program file, ending in one '/'.
std::string ProgramFolderOf(std::string_view programPath);

// Where the mobile-device library lies under the common files folder.
std::string MobileDeviceLibraryPath(std::string_view commonFilesDir, bool commonFilesDirExists);

// The most significant file-version word of a version resource found in the
// bytes (its VS_FIXEDFILEINFO), or nothing.
std::optional<std::uint32_t> FileVersionMSFromBytes(std::string_view bytes);
std::optional<std::uint32_t> ReadFileVersionMS(const std::string& path);

// "dlla/" for a library whose major file version is below 238; "dllb/" for
// 238 or higher, no version and no library.
std::string ConnectorFolderFor(std::optional<std::uint32_t> fileVersionMS);

// The whole choice, from the machine registry file at the given path.
std::string ChooseConnectorFolder(const std::string& machineRegistryPath);

// Camera working files that the main program removes at close: extension
// exactly ".JPG" or ".THM".
bool IsCameraWorkingFile(std::string_view name);
void CleanCameraFolder(const std::string& cameraFolder);

inline constexpr std::string_view ConnectorProgram = "velmorapx";
