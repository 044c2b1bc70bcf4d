#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "UpdateCheck.h"
#include "UpdateQueryDecode.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// RFC 1321 test digests.
const std::string kMd5Empty = "d41d8cd98f00b204e9800998ecf8427e";
const std::string kMd5Abc = "900150983cd24fb0d6963f7d28e17f72";
const std::string kMd5MessageDigest = "f96b697d7cb7938d525a2f31aaf161d0";

struct Entry {
    std::string name;
    enum Kind { File, Program, Folder, Pipe, BrokenLink } kind;
    std::string content;
};

std::string MakeFolder(const std::vector<Entry>& entries) {
    const std::string dir = pxtest::MakeTempFolder("program") + "/";
    for (const Entry& e : entries) {
        const std::string path = dir + e.name;
        switch (e.kind) {
            case Entry::File:
            case Entry::Program:
                pxtest::WriteFile(path, e.content);
                fs::permissions(path, e.kind == Entry::Program ? fs::perms(0750) : fs::perms(0640));
                break;
            case Entry::Folder: fs::create_directory(path); break;
            case Entry::Pipe: ::mkfifo(path.c_str(), 0755); break;
            case Entry::BrokenLink: fs::create_symlink(dir + "nowhere", path); break;
        }
    }
    return dir;
}

}  // namespace

TEST(UpdateFileList, ProgramsAndLibrariesOfTheFolder) {
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        std::string list;
    } cases[] = {
        {"the program and one library, in byte order of their names",
         {{"pixferry", Entry::Program, "abc"}, {"libpx.so", Entry::File, "message digest"}},
         "libpx.so*" + kMd5MessageDigest + "?pixferry*" + kMd5Abc + "?"},
        {"no program and no library",
         {{"notes.txt", Entry::File, "abc"}, {"dllb", Entry::Folder, ""}},
         ""},
        {"only exact lower-case .so names and executable regular files",
         {{"LIBPX.SO", Entry::File, "abc"}, {"libz.so.1", Entry::File, "abc"}, {"plugins.so", Entry::Folder, ""},
          {"dlla", Entry::Folder, ""}, {"en.lng", Entry::File, "abc"}, {"tool", Entry::Program, "abc"}},
         "tool*" + kMd5Abc + "?"},
        {"an empty program has the digest of nothing",
         {{"empty", Entry::Program, ""}},
         "empty*" + kMd5Empty + "?"},
        // A pipe would block the reader for ever; a link to nothing is no file.
        {"pipes and broken links are left out",
         {{"pipe.so", Entry::Pipe, ""}, {"gone.so", Entry::BrokenLink, ""}},
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ProgramFileList(MakeFolder(c.entries)), c.list);
    }
    EXPECT_EQ(ProgramFileList(pxtest::TempRoot() + "/no-such-folder/"), "");
}

TEST(UpdateFileList, UnreadableContentHasTheDigestOfNothing) {
    const std::string dir = MakeFolder({{"abc", Entry::File, "abc"}, {"sub", Entry::Folder, ""}});
    EXPECT_EQ(FileMd5Hex(dir + "abc"), kMd5Abc);
    EXPECT_EQ(FileMd5Hex(dir + "missing"), kMd5Empty);
    EXPECT_EQ(FileMd5Hex(dir + "sub"), kMd5Empty);  // opens, but every read fails

    // A file larger than one read.
    std::string big(200 * 1024 + 7, 'x');
    pxtest::WriteFile(dir + "big", big);
    EXPECT_EQ(FileMd5Hex(dir + "big"), "21077514a66ebe7b8d1ad69cf511d04d");
}

TEST(UpdateFileList, StopsWhenAsked) {
    const std::string dir = MakeFolder({{"a", Entry::Program, "abc"}, {"b", Entry::Program, "abc"}});
    int asked = 0;
    EXPECT_EQ(ProgramFileList(dir, [&] { return ++asked > 0; }), "");
    EXPECT_GT(asked, 0);
}

TEST(UpdateQuery, FieldsInOrder) {
    EXPECT_EQ(UpdateQuery(UpdateMode::Background, "", "en"), "a1=a&a2=t&a3=10&a4=&a7=r&a8=en");
    EXPECT_EQ(UpdateQuery(UpdateMode::Browser, "pixferry*" + kMd5Abc + "?", "de"),
              "a1=a&a2=w&a3=10&a4=pixferry*" + kMd5Abc + "?&a7=r&a8=de");
    EXPECT_EQ(UpdateRequestAddress("http://127.0.0.1:8123/", "3B0A"), "http://127.0.0.1:8123/update.php\?\?=3B0A");
}

TEST(UpdateQuery, EncodedShape) {
    const std::string queries[] = {
        UpdateQuery(UpdateMode::Background, "", "en"),
        UpdateQuery(UpdateMode::Browser, "libpx.so*" + kMd5Abc + "?pixferry*" + kMd5Empty + "?", "zh-TW"),
        UpdateQuery(UpdateMode::Background, "b\xC3\xA4ume*" + kMd5Abc + "?", "\xFF\x80"),
    };
    for (const std::string& q : queries) {
        SCOPED_TRACE(q);
        const std::string e = EncodeUpdateQuery(q);
        EXPECT_EQ(e.size(), 2 * q.size());
        EXPECT_EQ(e.find_first_not_of("0123456789ABCDEF"), std::string::npos);
        EXPECT_EQ(e.substr(0, 2), "3B");  // 'a' XOR the first key byte
        EXPECT_EQ(DecodeUpdateQuery(e), q);
    }
    // The key repeats every eight bytes.
    const std::string same = EncodeUpdateQuery("aaaaaaaaaa");
    EXPECT_EQ(same.substr(16, 4), same.substr(0, 4));
    EXPECT_NE(same.substr(2, 2), same.substr(0, 2));
    EXPECT_EQ(EncodeUpdateQuery(""), "");
}

TEST(UpdateAnswer, LinesAndWhatTheyMean) {
    struct Case {
        const char* name;
        std::string body;
        bool used;
        UpdateAnswer a;
    } cases[] = {
        {"label only", "0\r\n0\r\nSite\r\nhttp://s.example/\r\nText\r\nhttp://d.example/\r\n", true,
         {false, false, "Site", "http://s.example/", "Text", "http://d.example/"}},
        {"new version", "1\n0\nSite\nhttps://s.example/\nText\nhttps://d.example/x.tgz", true,
         {true, false, "Site", "https://s.example/", "Text", "https://d.example/x.tgz"}},
        {"mandatory, CR only, lines after the sixth ignored", "1\r1\rSite\rhttp://s/\rText\rhttp://d/\rmore\rlines\r",
         true, {true, true, "Site", "http://s/", "Text", "http://d/"}},
        {"only exactly \"1\" says yes", " 1\n1 \nSite\nhttp://s/\n\nhttp://d/\n", true,
         {false, false, "Site", "http://s/", "", "http://d/"}},
        {"empty lines count", "\n\n\n\n\n\n", true, {}},
        {"five lines", "1\n1\nSite\nhttp://s/\nText\n", false, {}},
        {"a NUL ends the text", "1\n1\nSite\n\0http://s/\nText\nhttp://d/\n"s, false, {}},
        {"empty", "", false, {}},
        {"addresses that are no web pages are dropped", "1\n0\nSite\nfile:///etc/passwd\nText\njavascript:alert(1)\n",
         true, {true, false, "Site", "", "Text", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<UpdateAnswer> a = ParseUpdateAnswer(c.body);
        ASSERT_EQ(a.has_value(), c.used);
        if (!a) continue;
        EXPECT_EQ(a->NewVersion, c.a.NewVersion);
        EXPECT_EQ(a->Mandatory, c.a.Mandatory);
        EXPECT_EQ(a->SiteCaption, c.a.SiteCaption);
        EXPECT_EQ(a->SiteTarget, c.a.SiteTarget);
        EXPECT_EQ(a->PanelText, c.a.PanelText);
        EXPECT_EQ(a->Download, c.a.Download);
    }
}

TEST(UpdateAnswer, WebAddresses) {
    const std::pair<const char*, bool> cases[] = {
        {"http://www.velmora-pixferry.example/", true},
        {"https://d.example/new.tar.gz?x=1", true},
        {"HTTPS://d.example/", true},
        {"http://", false},
        {"http:///etc/passwd", false},
        {"http:d.example", false},
        {"ftp://d.example/", false},
        {"file:///etc/passwd", false},
        {"javascript://%0Aalert(1)", false},
        {" http://d.example/", false},
        {"d.example/new", false},
        {"", false},
    };
    for (auto [address, web] : cases) {
        SCOPED_TRACE(address);
        EXPECT_EQ(IsWebAddress(address), web);
    }
}
