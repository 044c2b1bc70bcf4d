#include <gtest/gtest.h>

#include "LogClass.h"
#include "TestSupport.h"

TEST(IniWithValue, KeepsEveryOtherLine) {
    struct Case {
        const char* name;
        std::string before, key, value, after;
    } cases[] = {
        {"new file", "", "k", "v", "[Access Log]\nk=v\n"},
        {"replace a key, any case", "[access log]\r\nK=old\r\nx=1\r\n", "k", "new", "[access log]\r\nk=new\nx=1\r\n"},
        {"add after the last entry of the section", "[Access Log]\na=1\n\n[Other]\nb=2\n", "c", "3",
         "[Access Log]\na=1\nc=3\n\n[Other]\nb=2\n"},
        {"same key in another section untouched", "[Other]\nk=1\n", "k", "2", "[Other]\nk=1\n[Access Log]\nk=2\n"},
        {"no line end at the end", "[Other]\nb=2", "k", "v", "[Other]\nb=2\n[Access Log]\nk=v\n"},
        {"comments and junk stay", "; note\ngarbage\n[Access Log]\n;c\n", "k", "v", "; note\ngarbage\n[Access Log]\nk=v\n;c\n"},
        {"line ends in a message become blanks", "", "k", "a\r\nb", "[Access Log]\nk=a  b\n"},
        {"value with '='", "", "k", "x=y", "[Access Log]\nk=x=y\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IniWithValue(c.before, "Access Log", c.key, c.value), c.after);
    }
}

TEST(WriteLog, OneLinePerSecondTheLaterMessageWins) {
    const std::string folder = pxtest::MakeTempFolder("prog") + "/";
    pxtest::WriteFile(folder + "Bpcesp.cnt", "[Other]\nkeep=me\n");
    const std::string key = LogKeyNow();
    TLogClass::WriteLog(folder, "FormShow:first");
    TLogClass::WriteLog(folder, "FormShow:second");
    const std::string text = pxtest::ReadFile(folder + "Bpcesp.cnt");
    if (LogKeyNow() == key) {  // both writes fell into the same second
        EXPECT_EQ(text, "[Other]\nkeep=me\n[Access Log]\n" + key + "=FormShow:second\n");
    }
    EXPECT_NE(text.find("keep=me"), std::string::npos);
    EXPECT_NE(text.find("=FormShow:second\n"), std::string::npos);
    EXPECT_NE(key.find(':'), std::string::npos);  // the time, with seconds

    // A folder that cannot be written is ignored.
    TLogClass::WriteLog("/proc/no-such-folder/", "x");
}
