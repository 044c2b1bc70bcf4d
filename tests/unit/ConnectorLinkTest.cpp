#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "ConnectorLink.h"
#include "Settings.h"
#include "TestSupport.h"

namespace {

// A version resource as it sits in a library file: VS_VERSIONINFO with its
// fixed file information, somewhere inside other bytes.
std::string VersionResource(std::uint16_t major, std::uint16_t minor, std::size_t at = 4096) {
    std::string r(6, '\0');
    for (char c : std::string_view("VS_VERSION_INFO")) r += std::string{c, '\0'};
    r += std::string(2, '\0');  // key's NUL
    r += std::string(2, '\0');  // padding to 32 bits
    std::uint32_t fixed[4] = {0xFEEF04BD, 0x00010000, (std::uint32_t{major} << 16) | minor, 0};
    r.append(reinterpret_cast<const char*>(fixed), sizeof fixed);
    return std::string(at, 'M') + r + std::string(64, 'Z');
}

}  // namespace

TEST(ConnectorFolder, ChosenByTheLibraryVersion) {
    struct Case {
        const char* name;
        std::optional<std::uint32_t> ms;
        const char* folder;
    } cases[] = {
        {"237.x", (237u << 16) | 9, "dlla/"},
        {"1.0", 1u << 16, "dlla/"},
        {"238.0", 238u << 16, "dllb/"},
        {"400.1", (400u << 16) | 1, "dllb/"},
        {"no library or no version", std::nullopt, "dllb/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ConnectorFolderFor(c.ms), c.folder);
    }
}

TEST(ConnectorFolder, VersionReadFromTheLibraryFile) {
    EXPECT_EQ(FileVersionMSFromBytes(VersionResource(237, 4)), (237u << 16) | 4);
    EXPECT_EQ(FileVersionMSFromBytes(VersionResource(238, 0, 3)), 238u << 16);
    EXPECT_FALSE(FileVersionMSFromBytes("MZ no resources here"));
    std::string cut = VersionResource(237, 4);
    EXPECT_FALSE(FileVersionMSFromBytes(cut.substr(0, 4096 + 40 + 6)));  // ends inside the fixed information
    std::string wrongSignature = VersionResource(237, 4);
    wrongSignature[4096 + 40] = 'x';
    EXPECT_FALSE(FileVersionMSFromBytes(wrongSignature));
}

TEST(ConnectorFolder, WholeChoiceFromTheMachineRegistry) {
    const std::string root = pxtest::MakeTempFolder("machine");
    const std::string reg = root + "/registry.reg";
    EXPECT_EQ(ChooseConnectorFolder(reg), "dllb/");  // no registry file

    const std::string common = root + "/Common Files";
    pxtest::WriteFile(reg, "[" + std::string(MachineKey) + "]\n\"CommonFilesDir\"=\"" + common + "\"\n");
    EXPECT_EQ(ChooseConnectorFolder(reg), "dllb/");  // folder missing

    pxtest::WriteFile(common + "/Apple/Mobile Device Support/bin/iTunesMobileDevice.dll", VersionResource(237, 1));
    EXPECT_EQ(ChooseConnectorFolder(reg), "dlla/");
    pxtest::WriteFile(common + "/Apple/Mobile Device Support/bin/iTunesMobileDevice.dll", VersionResource(238, 0));
    EXPECT_EQ(ChooseConnectorFolder(reg), "dllb/");

    pxtest::WriteFile(reg, "[" + std::string(MachineKey) + "]\n\"CommonFilesDir\"=dword:00000001\n");
    EXPECT_EQ(ChooseConnectorFolder(reg), "dllb/");  // wrong type reads as no value

    EXPECT_EQ(MobileDeviceLibraryPath("C:\\Program Files\\Common Files", true),
              "C:/Program Files/Common Files/Apple/Mobile Device Support/bin/iTunesMobileDevice.dll");
    EXPECT_EQ(MobileDeviceLibraryPath("", false), "/iTunesMobileDevice.dll");
}

TEST(ProgramFolder, EndsInOneSlash) {
    EXPECT_EQ(ProgramFolderOf("/opt/velmora/bin/pixferry"), "/opt/velmora/bin/");
    EXPECT_EQ(ProgramFolderOf("/pixferry"), "/");
    EXPECT_EQ(ProgramFolderOf("//srv//pixferry"), "//srv/");
}

TEST(CameraFolder, OnlyUpperCaseJpgAndThmAreRemoved) {
    const std::string folder = pxtest::MakeTempFolder("camera") + "/";
    const std::pair<const char*, bool> files[] = {
        {"100APPLEIMG_0001.THM", false}, {"100APPLEIMG_0001.JPG", false}, {"a.jpg", true},
        {"b.thm", true},  {"c.PNG", true},  {"JPG", true},  {"d.JPG.txt", true}, {"e.txt.THM", false},
    };
    for (auto [name, stays] : files) pxtest::WriteFile(folder + name, "x");
    std::filesystem::create_directories(folder + "dir.JPG");
    CleanCameraFolder(folder);
    for (auto [name, stays] : files) {
        SCOPED_TRACE(name);
        EXPECT_EQ(pxtest::FileExists(folder + name), stays);
    }
    EXPECT_TRUE(pxtest::FileExists(folder + "dir.JPG"));
    CleanCameraFolder(folder + "missing/");  // nothing to do, no error
}
