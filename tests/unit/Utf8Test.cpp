#include <gtest/gtest.h>

#include "Utf8.h"

TEST(Utf8, PrefixesEndAtCharacterBoundaries) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
    EXPECT_EQ(px::Utf8Length(text), 5u);
    EXPECT_EQ(px::Utf8Prefix(text, 0), "");
    EXPECT_EQ(px::Utf8Prefix(text, 2), "a\xC3\xA9");
    EXPECT_EQ(px::Utf8Prefix(text, 4), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(px::Utf8Prefix(text, 9), text);
    EXPECT_EQ(px::Utf8PrefixBytes(text, 2), "a");
    EXPECT_EQ(px::Utf8PrefixBytes(text, 3), "a\xC3\xA9");
    EXPECT_EQ(px::Utf8PrefixBytes(text, 8), "a\xC3\xA9\xE2\x82\xAC");
    // Stray continuation bytes stay with the character before them.
    EXPECT_EQ(px::Utf8Length("\x80\x80x"), 2u);
}

#include <sys/stat.h>

#include "FileUtil.h"
#include "TestSupport.h"

TEST(ReadFileBounded, OnlyRegularFilesWithinTheLimit) {
    const std::string folder = pxtest::MakeTempFolder("files");
    pxtest::WriteFile(folder + "/small", "abc");
    EXPECT_EQ(px::ReadFileBounded(folder + "/small", 3), "abc");
    EXPECT_FALSE(px::ReadFileBounded(folder + "/small", 2));
    EXPECT_FALSE(px::ReadFileBounded(folder + "/missing", 10));
    EXPECT_FALSE(px::ReadFileBounded(folder, 10));
    ASSERT_EQ(::mkfifo((folder + "/fifo").c_str(), 0600), 0);
    EXPECT_FALSE(px::ReadFileBounded(folder + "/fifo", 10));  // refused, not waited on
}
