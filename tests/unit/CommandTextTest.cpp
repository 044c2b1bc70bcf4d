#include <gtest/gtest.h>

#include "CommandText.h"

using px::ConnectorCommand;
using Kind = ConnectorCommand::Kind;

TEST(JoinCommand, MarkersByKind) {
    EXPECT_EQ(px::JoinCommand("6", "/DCIM/100APPLE/IMG_0001", "C:\\Photos\\100APPLEIMG_0001"),
              "/DCIM/100APPLE/IMG_0001&^###$$C:\\Photos\\100APPLEIMG_0001");
    EXPECT_EQ(px::JoinCommand("5", px::ByteRangeCommand("/Photos/Thumbs/F3004_1.ithmb", 307200, 153600),
                              "C:\\App\\adbb.ant"),
              "/Photos/Thumbs/F3004_1.ithmb&^%()*&%%307200@^%**@!**153600!@#$%^&C:\\App\\adbb.ant");
    EXPECT_FALSE(px::JoinCommand("7", "a", "b"));
    EXPECT_FALSE(px::JoinCommand("", "a", "b"));
}

TEST(CutCommand, WorkedExamples) {
    const std::string camera = "/DCIM/100APPLE/IMG_0001&^###$$C:\\Photos\\100APPLEIMG_0001";
    ASSERT_EQ(camera.size(), 56u);
    ConnectorCommand c = px::CutCommand(camera);
    EXPECT_EQ(c.kind, Kind::CameraPhoto);
    EXPECT_EQ(c.devicePath, "/DCIM/100APPLE/IMG_0001");
    EXPECT_EQ(c.localPath, "C:/Photos/100APPLEIMG_0001");

    const std::string range = "/Photos/Thumbs/F3004_1.ithmb&^%()*&%%307200@^%**@!**153600!@#$%^&C:\\App\\adbb.ant";
    ASSERT_EQ(range.size(), 80u);
    ConnectorCommand r = px::CutCommand(range);
    EXPECT_EQ(r.kind, Kind::ByteRange);
    EXPECT_EQ(r.devicePath, "/Photos/Thumbs/F3004_1.ithmb");
    EXPECT_EQ(r.offset, 307200u);
    EXPECT_EQ(r.size, 153600u);
    EXPECT_EQ(r.localPath, "C:/App/adbb.ant");
}

struct CutCase {
    const char* name;
    std::string text;
    Kind kind;
    std::string device;
    std::string local;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

TEST(CutCommand, EdgeCases) {
    const std::string range = "/P/F.ithmb&^%()*&%%10@^%**@!**20";
    const CutCase cases[] = {
        {"no marker at all", "hello", Kind::Ignored, "", ""},
        {"empty text", "", Kind::Ignored, "", ""},
        {"camera marker wins over local marker", "/D/I&^###$$/out/a!@#$%^&b", Kind::CameraPhoto, "/D/I", "/out/a!@#$%^&b"},
        {"camera marker at 0 is not a camera command", "&^###$$/x", Kind::Ignored, "", ""},
        {"camera marker at 0, byte range after it", "&^###$$/F&^%()*&%%1@^%**@!**2!@#$%^&/o", Kind::ByteRange,
         "&^###$$/F", "/o", 1, 2},
        {"local marker at 0", "!@#$%^&/o", Kind::Ignored, "", ""},
        {"backslashes in local path only", "C:\\dev\\f&^%()*&%%0@^%**@!**1!@#$%^&C:\\a\\b", Kind::ByteRange,
         "C:\\dev\\f", "C:/a/b", 0, 1},
        {"camera with empty local path", "/D/I&^###$$", Kind::Malformed, "/D/I", ""},
        {"largest offset", "/f&^%()*&%%2147483647@^%**@!**0!@#$%^&/o", Kind::ByteRange, "/f", "/o", 2147483647u, 0},
        {"offset of 2^31", "/f&^%()*&%%2147483648@^%**@!**1!@#$%^&/o", Kind::Malformed, "/f", "/o"},
        {"offset with a sign", "/f&^%()*&%%-5@^%**@!**1!@#$%^&/o", Kind::Malformed, "/f", "/o"},
        {"empty size", "/f&^%()*&%%5@^%**@!**!@#$%^&/o", Kind::Malformed, "/f", "/o"},
        {"size with a letter", "/f&^%()*&%%5@^%**@!**1x!@#$%^&/o", Kind::Malformed, "/f", "/o"},
        {"size with a stray '*'", "/f&^%()*&%%5@^%**@!**1*2!@#$%^&/o", Kind::Malformed, "/f", "/o"},
        {"no size marker", "/f&^%()*&%%5!@#$%^&/o", Kind::Malformed, "/f", "/o"},
        {"no offset marker", "/f@^%**@!**5!@#$%^&/o", Kind::Malformed, "/f", "/o"},
        {"empty device file", "&^%()*&%%5@^%**@!**6!@#$%^&/o", Kind::Malformed, "", "/o"},
        {"local path with '&'", range + "!@#$%^&/a&b", Kind::Malformed, "/P/F.ithmb", "b"},
        {"empty local path", range + "!@#$%^&", Kind::Malformed, "/P/F.ithmb", ""},
        {"leading zeros", "/f&^%()*&%%007@^%**@!**010!@#$%^&/o", Kind::ByteRange, "/f", "/o", 7, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectorCommand cmd = px::CutCommand(c.text);
        EXPECT_EQ(cmd.kind, c.kind);
        if (c.kind == Kind::Ignored) continue;
        EXPECT_EQ(cmd.devicePath, c.device);
        EXPECT_EQ(cmd.localPath, c.local);
        if (c.kind == Kind::ByteRange) {
            EXPECT_EQ(cmd.offset, c.offset);
            EXPECT_EQ(cmd.size, c.size);
        }
    }
}

TEST(CutCommand, JoinedCommandsCutBackToTheirFields) {
    const std::string text = *px::JoinCommand("5", px::ByteRangeCommand("/Photos/F01/a b.ithmb", 0, 2147483647), "/tmp/x y/adbb.ant");
    ConnectorCommand cmd = px::CutCommand(text);
    EXPECT_EQ(cmd.kind, Kind::ByteRange);
    EXPECT_EQ(cmd.devicePath, "/Photos/F01/a b.ithmb");
    EXPECT_EQ(cmd.offset, 0u);
    EXPECT_EQ(cmd.size, 2147483647u);
    EXPECT_EQ(cmd.localPath, "/tmp/x y/adbb.ant");
}
