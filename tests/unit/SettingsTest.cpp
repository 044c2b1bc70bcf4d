#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "LogClass.h"
#include "Registry.h"
#include "Settings.h"
#include "TestSupport.h"

namespace {

std::string RegFile(const std::string& values) {
    return std::string("Windows Registry Editor Version 5.00\n\n[") + std::string(SettingsKey) + "]\n" + values;
}

// Entries of the access log (the lines after the section header).
std::vector<std::string> LogEntries(const std::string& folder) {
    std::vector<std::string> out;
    std::string text = pxtest::ReadFile(folder + std::string(AccessLogFile));
    std::size_t at = text.find("[Access Log]\n");
    if (at == std::string::npos) return out;
    text = text.substr(at + 13);
    for (std::size_t nl; (nl = text.find('\n')) != std::string::npos; text = text.substr(nl + 1))
        out.push_back(text.substr(text.find('=') + 1, nl - text.find('=') - 1));
    return out;
}

}  // namespace

TEST(Settings, ReadingTable) {
    struct Case {
        const char* name;
        std::string values;  // registry lines, or "none" for no file
        bool documents;
        std::string language, site;
        std::string backup;  // "<default>", "<kept>", or a literal
        std::int32_t rs, ff;
        std::string logged;
    };
    const std::string kept = pxtest::MakeTempFolder("kept") + "/";
    const Case cases[] = {
        {"no file", "none", true, "en", "http://www.velmora-pixferry.example/", "<default>", 1, 2, ""},
        {"no LA", "\"RS\"=dword:00000003\n", true, "en", "http://www.velmora-pixferry.example/", "<default>", 3, 2, ""},
        {"empty LA", "\"LA\"=\"\"\n", true, "en", "http://www.velmora-pixferry.example/", "<default>", 1, 2, ""},
        {"de", "\"LA\"=\"de\"\n", true, "de", "http://de.velmora-pixferry.example/", "<default>", 1, 2, ""},
        {"EN is not en", "\"LA\"=\"EN\"\n", true, "EN", "http://EN.velmora-pixferry.example/", "<default>", 1, 2, ""},
        {"SP kept", "\"SP\"=\"" + kept + "\"\n", true, "en", "http://www.velmora-pixferry.example/", kept, 1, 2, ""},
        {"SP names a missing folder", "\"SP\"=\"/nonexistent/photos/\"\n", true, "en",
         "http://www.velmora-pixferry.example/", "<default>", 1, 2, ""},
        {"RS 7 and FF 0 without range checks", "\"RS\"=dword:00000007\n\"FF\"=dword:00000000\n", true, "en",
         "http://www.velmora-pixferry.example/", "<default>", 7, 0, ""},
        {"RS stored as a string", "\"LA\"=\"de\"\n\"SP\"=\"" + kept + "\"\n\"RS\"=\"1\"\n\"FF\"=dword:00000001\n", true,
         "de", "http://de.velmora-pixferry.example/", kept, 0, 0, "ReadRegistry:Invalid data type for 'RS'"},
        {"no SP and no Documents", "\"LA\"=\"de\"\n", false, "de", "http://de.velmora-pixferry.example/", "", 0, 0,
         "ReadRegistry:Unable to create directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string home = pxtest::MakeTempFolder("home");
        const std::string registry = home + "/config/velmora/registry.reg";
        if (c.values != "none") pxtest::WriteFile(registry, RegFile(c.values));
        const std::string documents = c.documents ? home + "/Documents" : "";

        Settings s;
        s.ProgramFolder = pxtest::MakeTempFolder("prog") + "/";
        s.SiteAddress = SiteAddressFor("en");
        LoadSettings(s, registry, documents);

        EXPECT_EQ(s.LanguageCode, c.language);
        EXPECT_EQ(s.SiteAddress, c.site);
        const std::string expectedBackup = c.backup == "<default>" ? home + "/Documents/Velmora/Velmora Pixferry/" : c.backup;
        EXPECT_EQ(s.BackupPath, expectedBackup);
        if (!expectedBackup.empty()) {
            EXPECT_TRUE(std::filesystem::is_directory(expectedBackup));
        }
        EXPECT_EQ(s.BackupResolution, c.rs);
        EXPECT_EQ(s.BackupFormat, c.ff);
        auto log = LogEntries(s.ProgramFolder);
        if (c.logged.empty()) {
            EXPECT_TRUE(log.empty());
        } else {
            EXPECT_EQ(log, std::vector<std::string>{c.logged});
        }
    }
}

TEST(Settings, WrittenBackAsReadInOrder) {
    const std::string home = pxtest::MakeTempFolder("home");
    const std::string registry = home + "/registry.reg";
    pxtest::WriteFile(registry, RegFile("\"RS\"=dword:00000007\n"));
    Settings s;
    s.ProgramFolder = home + "/";
    LoadSettings(s, registry, home + "/Documents");
    SaveSettings(s, registry);
    EXPECT_EQ(pxtest::ReadFile(registry),
              RegFile("\"RS\"=dword:00000007\n\"LA\"=\"en\"\n\"SP\"=\"" + home +
                      "/Documents/Velmora/Velmora Pixferry/\"\n\"FF\"=dword:00000002\n"));

    // The key is not created when writing: a vanished file is logged, not recreated.
    std::filesystem::remove(registry);
    SaveSettings(s, registry);
    EXPECT_FALSE(pxtest::FileExists(registry));
    EXPECT_EQ(LogEntries(s.ProgramFolder).size(), 1u);
    EXPECT_TRUE(LogEntries(s.ProgramFolder)[0].starts_with("WriteRegistry:"));
}

TEST(Settings, SiteAddressCanBeReplacedFromTheEnvironment) {
    ::setenv("PIXFERRY_SITE_ADDRESS", "http://127.0.0.1:8123/", 1);
    EXPECT_EQ(SiteAddressFor("de"), "http://127.0.0.1:8123/");
    ::unsetenv("PIXFERRY_SITE_ADDRESS");
    EXPECT_EQ(SiteAddressFor("de"), "http://de.velmora-pixferry.example/");
}

TEST(Settings, UserRegistryFollowsXdgConfigHome) {
    EXPECT_EQ(UserRegistryPath(), pxtest::TempRoot() + "/config/velmora/registry.reg");
    const std::string saved = std::getenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(UserRegistryPath(), pxtest::TempRoot() + "/home/.config/velmora/registry.reg");
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}
