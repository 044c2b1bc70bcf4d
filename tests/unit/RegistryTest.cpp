#include <gtest/gtest.h>

#include "Registry.h"
#include "TestSupport.h"

namespace {
constexpr const char* Key = "HKEY_CURRENT_USER\\Software\\Velmora Pixferry";
}

TEST(Registry, WritesAndReadsTypedValuesAndKeepsForeignLines) {
    const std::string file = pxtest::MakeTempFolder("reg") + "/velmora/registry.reg";
    pxtest::WriteFile(file,
                      "Windows Registry Editor Version 5.00\r\n\r\n"
                      "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                      "\"Bin\"=hex:01,02,\\\r\n  03,04\r\n"
                      "; a comment\r\n\r\n"
                      "[HKEY_CURRENT_USER\\Software\\Velmora Pixferry]\r\n"
                      "\"Keep\"=hex(2):41,00\r\n");
    TRegistry reg(file);
    ASSERT_TRUE(reg.OpenKey(Key, false));
    reg.WriteString("SP", "C:\\Users\\a \"quoted\" path");
    reg.WriteInteger("RS", -1);
    reg.WriteInteger("FF", 2);
    reg.WriteString("LA", "de");
    reg.WriteString("LA", "fr");  // replaced, not added

    TRegistry again(file);
    ASSERT_TRUE(again.OpenKey("hkey_current_user\\software\\velmora pixferry", false));
    EXPECT_EQ(again.ReadString("SP"), "C:\\Users\\a \"quoted\" path");
    EXPECT_EQ(again.ReadInteger("RS"), -1);
    EXPECT_EQ(again.ReadInteger("ff"), 2);
    EXPECT_EQ(again.ReadString("LA"), "fr");
    EXPECT_FALSE(again.ValueExists("XX"));
    EXPECT_EQ(again.ReadString("XX"), "");

    const std::string text = pxtest::ReadFile(file);
    EXPECT_NE(text.find("\"Bin\"=hex:01,02,\\\n  03,04\n"), std::string::npos);
    EXPECT_NE(text.find("; a comment"), std::string::npos);
    EXPECT_NE(text.find("\"Keep\"=hex(2):41,00"), std::string::npos);
    EXPECT_NE(text.find("\"RS\"=dword:ffffffff"), std::string::npos);
    EXPECT_EQ(text.find("\"LA\"=\"de\""), std::string::npos);
    EXPECT_NE(text.find("\"SP\"=\"C:\\\\Users\\\\a \\\"quoted\\\" path\""), std::string::npos);
}

TEST(Registry, WrongTypesAndMissingKeys) {
    const std::string file = pxtest::MakeTempFolder("reg") + "/registry.reg";
    pxtest::WriteFile(file, std::string("[") + Key + "]\n\"S\"=\"text\"\n\"D\"=dword:0000000a\n\"H\"=hex:00\n\"Bad\"=dword:12x45678\n\"Open\"=\"no end\n");
    TRegistry reg(file);
    EXPECT_FALSE(reg.OpenKey("HKEY_CURRENT_USER\\Software\\Missing", false));
    ASSERT_TRUE(reg.OpenKey(Key, false));
    EXPECT_EQ(reg.ReadInteger("D"), 10);
    EXPECT_THROW(reg.ReadInteger("S"), ERegistryException);
    EXPECT_THROW(reg.ReadString("D"), ERegistryException);
    EXPECT_THROW(reg.ReadString("H"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("Bad"), ERegistryException);
    EXPECT_THROW(reg.ReadString("Open"), ERegistryException);
    try {
        reg.ReadInteger("S");
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'S'");
    }
}

TEST(Registry, CreatesTheFileAndKeyOnlyWhenAskedTo) {
    const std::string file = pxtest::MakeTempFolder("reg") + "/sub/registry.reg";
    TRegistry reg(file);
    EXPECT_FALSE(reg.OpenKey(Key, false));
    EXPECT_FALSE(pxtest::FileExists(file));
    EXPECT_THROW(reg.WriteString("LA", "en"), ERegistryException);
    ASSERT_TRUE(reg.OpenKey(Key, true));
    EXPECT_EQ(pxtest::ReadFile(file), std::string("Windows Registry Editor Version 5.00\n\n[") + Key + "]\n");
}

TEST(Registry, UnreadableFileThrowsAndIsLeftAlone) {
    const std::string file = pxtest::MakeTempFolder("reg") + "/registry.reg";
    pxtest::WriteFile(file, std::string(TRegistry::MaxFileSize + 1, 'x'));
    TRegistry reg(file);
    EXPECT_THROW(reg.OpenKey(Key, true), ERegistryException);
    EXPECT_EQ(pxtest::ReadFile(file).size(), TRegistry::MaxFileSize + 1);
}
