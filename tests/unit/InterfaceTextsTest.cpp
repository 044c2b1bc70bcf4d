#include <gtest/gtest.h>

#include "InterfaceTexts.h"
#include "TestSupport.h"

using Lines = std::vector<std::string>;

TEST(LanguageFile, LinesTable) {
    struct Case {
        const char* name;
        std::string content;
        Lines lines;
    } cases[] = {
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"CR only gives the same", "a\rb\r", {"a", "b"}},
        {"LF only", "a\nb", {"a", "b"}},
        {"last line without an end", "a\r\nb", {"a", "b"}},
        {"empty lines count", "a\r\n\r\n\r\nd\r\n", {"a", "", "", "d"}},
        {"mixed ends", "a\r\rb\n\r\nc", {"a", "", "b", "", "c"}},
        {"byte-order mark is text", "\xEF\xBB\xBF" "File\r\n", {"\xEF\xBB\xBF" "File"}},
        {"NUL ends the content", std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
        {"nothing", "", {}},
        {"blanks kept", "  x  \t\r\n", {"  x  \t"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SplitLanguageLines(c.content), c.lines);
    }
}

TEST(LanguageFile, FiveLinesWithAnEmptyOne) {
    const std::string folder = pxtest::MakeTempFolder("prog") + "/";
    pxtest::WriteFile(folder + "de.lng", "Datei\r\nKopieren\r\nzwei\r\n\r\nHalt\r\n");
    const Lines lines = LoadLanguageFile(folder, "de");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(InterfaceText(lines, 0, "File"), "Datei");
    EXPECT_EQ(InterfaceText(lines, 3, "Waiting For iPad"), "Waiting For iPad");
    EXPECT_EQ(InterfaceText(lines, 4, "Stop"), "Halt");
    EXPECT_EQ(InterfaceText(lines, 5, "Select All"), "Select All");
    EXPECT_EQ(InterfaceText(lines, -1, "x"), "x");
    EXPECT_TRUE(LoadLanguageFile(folder, "en").empty());
    EXPECT_TRUE(LoadLanguageFile(folder, "DE").empty());  // the code names the file exactly
    EXPECT_EQ(LanguageFilePath(folder, "EN"), folder + "EN.lng");

    pxtest::WriteFile(folder + "xx.lng", std::string(MaxLanguageFileSize + 1, 'a'));
    EXPECT_THROW(LoadLanguageFile(folder, "xx"), std::runtime_error);
}

TEST(InterfaceTexts, FreeLookupFollowsTheActiveList) {
    EXPECT_EQ(GetInterfaceText(itext::Connected), "iPad connected, reading data...");
    const Lines lines = {"", "Kopieren"};
    SetInterfaceTextSource(&lines);
    EXPECT_EQ(GetInterfaceText(itext::Copy), "Kopieren");
    EXPECT_EQ(GetInterfaceText(itext::File), "File");
    SetInterfaceTextSource(nullptr);
    EXPECT_EQ(GetInterfaceText(itext::Copy), "Copy");
}

TEST(StatusText, CutAtFortySixCharacters) {
    const std::string s46(46, 'x');
    const std::string e = "\xC3\xA9";  // é, two bytes
    struct Case {
        const char* name;
        std::string text, shown;
    } cases[] = {
        {"46 unchanged", s46, s46},
        {"47 cut", s46 + "y", s46 + "..."},
        {"empty", "", ""},
        {"46 two-byte characters unchanged", [&] { std::string t; for (int i = 0; i < 46; ++i) t += e; return t; }(),
         [&] { std::string t; for (int i = 0; i < 46; ++i) t += e; return t; }()},
        {"multi-byte character at the cut", std::string(45, 'x') + e + "\xE2\x82\xAC" "z",
         std::string(45, 'x') + e + "..."},
        {"four-byte character right after the cut", s46 + "\xF0\x9F\x98\x80", s46 + "..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StatusText(c.text), c.shown);
    }
}
