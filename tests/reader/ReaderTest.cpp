// The reader against the hand-made database: layout, lookups, pictures and bad data.
#include <climits>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HandMadeDatabase.h"
#include "TestSupport.h"
#include "iPadcomponent.h"

namespace {

using Lists = std::vector<std::string>;
using Members = std::vector<Lists>;

constexpr std::uint16_t Green = 0x03E0, Blue = 0x001F, Red = 0x7C00;

void Put16(std::string& data, std::size_t at, std::uint16_t w) {
    data[at] = static_cast<char>(w & 0xFF);
    data[at + 1] = static_cast<char>(w >> 8);
}

// adap.ant for the hand-made database: the 55x55 picture at 100 has green in
// column 0, blue elsewhere and red in the unshown 56th pixel of every row.
std::string ThumbStore() {
    std::string store(57300, '\0');
    for (int y = 0; y < 55; ++y)
        for (int x = 0; x < 56; ++x) Put16(store, 100 + y * 112 + x * 2, x == 0 ? Green : x == 55 ? Red : Blue);
    // The 76x76 picture at 44660: rows of 80 pixels, 79 rows; column 0 green, the rest red.
    for (int y = 0; y < 79; ++y)
        for (int x = 0; x < 80; ++x) Put16(store, 44660 + y * 160 + x * 2, x == 0 ? Green : x < 76 ? Red : Blue);
    return store;
}

class Reader : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = pxtest::MakeTempFolder("reader") + "/";
        iPad.SetLocalFolder(Folder);
    }
    void Load(const std::string& database, const std::string& thumbs = ThumbStore()) {
        pxtest::WriteFile(Folder + "adbp.ant", database);
        pxtest::WriteFile(Folder + "adap.ant", thumbs);
        iPad.LoadPhotoDatabase();
    }
    std::string Folder;
    TiPad iPad;
};

TEST_F(Reader, ReadsTheHandMadeLayout) {
    Load(handmade::Database());
    EXPECT_EQ(iPad.AlbumNames, (Lists{"H\xC3\xA9", "Empty"}));
    // The first album has 2 data objects and is still read as one name and its members.
    EXPECT_EQ(iPad.AlbumMembers, (Members{{"0", "7", "9"}, {"1"}}));
    EXPECT_EQ(iPad.ImageIds, (Lists{"7", "9", "-3"}));
    EXPECT_EQ(iPad.ImagePositions, (Lists{"224", "728", "888"}));
    // Sections are found by walking and kept under their type, whatever their order.
    EXPECT_EQ(iPad.Sections[0].Start, 196);
    EXPECT_EQ(iPad.Sections[0].TotalLength, 712);
    EXPECT_EQ(iPad.Sections[1].Start, 12);
    EXPECT_EQ(iPad.Sections[1].HeaderLength, 16);
    EXPECT_EQ(iPad.Sections[2].Start, 908);
    EXPECT_EQ(iPad.Database, handmade::Database());
}

TEST_F(Reader, MissingDatabaseKeepsThePreviousLoad) {
    Load(handmade::Database());
    std::filesystem::remove(Folder + "adbp.ant");
    iPad.LoadPhotoDatabase();
    EXPECT_EQ(iPad.AlbumNames, (Lists{"H\xC3\xA9", "Empty"}));
    EXPECT_EQ(iPad.ImageIds.size(), 3u);

    TiPad fresh;
    fresh.SetLocalFolder(Folder);
    fresh.LoadPhotoDatabase();
    EXPECT_TRUE(fresh.AlbumNames.empty());
    EXPECT_TRUE(fresh.ImageIds.empty());
}

TEST_F(Reader, ANewLoadReplacesTheOldOne) {
    Load(handmade::Database());
    std::string db = handmade::Database();
    handmade::Put32(db, handmade::ImageCount, 1);
    handmade::Put32(db, 28 + 8, 1);  // one album
    Load(db);
    EXPECT_EQ(iPad.AlbumNames, (Lists{"H\xC3\xA9"}));
    EXPECT_EQ(iPad.AlbumMembers.size(), 1u);
    EXPECT_EQ(iPad.ImageIds, (Lists{"7"}));
}

// Bad data stops the parse at the fault and keeps what was read before it.
TEST_F(Reader, BadDatabaseStopsAndKeepsWhatWasRead) {
    struct Case {
        const char* what;
        std::function<void(std::string&)> corrupt;
        Lists names;
        std::size_t albumsWithMembers;
        Lists ids;
    };
    using handmade::Put32;
    const Lists both{"H\xC3\xA9", "Empty"};
    const Lists first{"H\xC3\xA9"};
    const Lists allIds{"7", "9", "-3"};
    const Case cases[] = {
        {"section type 4", [](std::string& d) { Put32(d, handmade::AlbumSectionType, 4); }, {}, 0, {}},
        {"section type 0", [](std::string& d) { Put32(d, handmade::AlbumSectionType, 0); }, {}, 0, {}},
        {"no image list", [](std::string& d) { Put32(d, handmade::ImageSectionType, 3); }, {}, 0, {}},
        {"no album list", [](std::string& d) { Put32(d, handmade::AlbumSectionType, 1); }, {}, 0, {}},
        {"first section past the end", [](std::string& d) { Put32(d, handmade::FirstSectionField, 924); }, {}, 0, {}},
        {"negative first section", [](std::string& d) { Put32(d, handmade::FirstSectionField, -8); }, {}, 0, {}},
        {"section longer than the file", [](std::string& d) { Put32(d, 908 + 8, 17); }, {}, 0, {}},
        {"truncated file", [](std::string& d) { d.resize(500); }, {}, 0, {}},
        {"empty file", [](std::string& d) { d.clear(); }, {}, 0, {}},
        {"album that does not advance", [](std::string& d) { Put32(d, handmade::Album1Total, 0); }, first, 1, {}},
        {"album longer than its section", [](std::string& d) { Put32(d, handmade::Album1Total, 57); }, first, 1, {}},
        {"member count past the album", [](std::string& d) { Put32(d, handmade::Album0MemberCount, 1000000); }, first, 1, {}},
        {"negative member count", [](std::string& d) { Put32(d, handmade::Album0MemberCount, -1); }, {}, 0, {}},
        {"name longer than its object", [](std::string& d) { Put32(d, handmade::AlbumNameLength, 1000); }, {}, 0, {}},
        {"negative name length", [](std::string& d) { Put32(d, handmade::AlbumNameLength, -1); }, {}, 0, {}},
        {"image count past the list", [](std::string& d) { Put32(d, handmade::ImageCount, INT_MAX); }, both, 2, allIds},
        {"negative image count", [](std::string& d) { Put32(d, handmade::ImageCount, -5); }, both, 2, {}},
        {"image longer than its section", [](std::string& d) { Put32(d, handmade::Image9Total, INT_MAX); }, both, 2, {"7"}},
        {"image that does not advance", [](std::string& d) { Put32(d, handmade::Image9Total, 0); }, both, 2, {"7"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string db = handmade::Database();
        c.corrupt(db);
        TiPad reader;
        reader.SetLocalFolder(Folder);
        pxtest::WriteFile(Folder + "adbp.ant", db);
        reader.LoadPhotoDatabase();
        EXPECT_EQ(reader.AlbumNames, c.names);
        EXPECT_EQ(reader.AlbumMembers.size(), c.albumsWithMembers);
        EXPECT_EQ(reader.ImageIds, c.ids);
        EXPECT_EQ(reader.ImagePositions.size(), reader.ImageIds.size());
    }
}

TEST_F(Reader, AlbumNamesStayValidUtf8) {
    struct Case {
        std::string bytes;
        std::string name;
    };
    const Case cases[] = {
        {"H\xC3\xA9", "H\xC3\xA9"},
        {"H\xFF\xA9", "H\xEF\xBF\xBD\xEF\xBF\xBD"},    // stray bytes become U+FFFD
        {"\xE6\x97\xA5", "\xE6\x97\xA5"},              // a three-byte character
        {"a\xE6\x97", "a\xEF\xBF\xBD"},                // cut sequence
        {"\xED\xA0\x80", "\xEF\xBF\xBD"},              // an encoded surrogate
    };
    for (const Case& c : cases) {
        std::string db = handmade::Database();
        db.replace(handmade::AlbumNameText, 3, c.bytes);
        Load(db);
        ASSERT_FALSE(iPad.AlbumNames.empty());
        EXPECT_EQ(iPad.AlbumNames[0], c.name);
    }
}

TEST(ThumbFormat, WholeTable) {
    struct Row {
        std::int32_t size, width, height, index;
    };
    const Row rows[] = {
        {691200, 720, 480, 1}, {153600, 320, 240, 2}, {80000, 200, 200, 3}, {77440, 220, 176, 4},
        {46464, 176, 132, 5},  {39200, 140, 140, 6},  {22880, 130, 88, 7},  {20000, 100, 100, 8},
        {6272, 56, 56, 9},     {4100, 50, 41, 10},    {3528, 42, 42, 11},   {3108, 42, 37, 12},
        {2520, 42, 30, 13},    {6160, 55, 55, 14},    {12640, 76, 76, 15},  {38400, 160, 120, 16},
        {614400, 640, 480, 17}, {0, 0, 0, 0},         {6161, 0, 0, 0},      {-6160, 0, 0, 0},
        {INT_MAX, 0, 0, 0},
    };
    for (const Row& r : rows) {
        std::int32_t h = -1, w = -1, x = -1;
        TiPad::GetThumbFormat(r.size, h, w, x);
        EXPECT_EQ(w, r.width) << r.size;
        EXPECT_EQ(h, r.height) << r.size;
        EXPECT_EQ(x, r.index) << r.size;
    }
}

TEST(PixelRule, Words) {
    struct Row {
        std::uint16_t word;
        std::uint8_t blue, green, red;
    };
    const Row rows[] = {
        {0xFFFF, 0xF8, 0xF8, 0xF0}, {0x8000, 0, 0, 0},    {0x0400, 0, 0, 0},       {0x7C00, 0, 0, 0xF0},
        {0x03E0, 0, 0xF8, 0},       {0x001F, 0xF8, 0, 0}, {0x0000, 0, 0, 0},       {0x0801, 0x08, 0, 0x10},
        {0x0020, 0, 0x08, 0},
    };
    for (const Row& r : rows) {
        std::uint8_t bgr[3] = {1, 1, 1};
        TiPad::ConvertPixel(r.word, bgr);
        EXPECT_EQ(bgr[0], r.blue) << std::hex << r.word;
        EXPECT_EQ(bgr[1], r.green) << std::hex << r.word;
        EXPECT_EQ(bgr[2], r.red) << std::hex << r.word;
    }
}

struct Source {
    Source() = default;
    Source(std::string p, std::int32_t o, std::int32_t s, std::uint16_t v, std::uint16_t h, bool f = false,
           std::string e = "")
        : path(std::move(p)), offset(o), size(s), vert(v), horz(h), found(f), ext(std::move(e)) {}
    std::string path = "unchanged";
    std::int32_t offset = -77, size = -77;
    std::uint16_t vert = 99, horz = 99;
    bool found = false;
    std::string ext;
    bool operator==(const Source&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Source& s) {
    return os << s.path << " " << s.offset << " " << s.size << " pad " << s.vert << "/" << s.horz
              << (s.found ? " full " : " ") << s.ext;
}

Source Ask(TiPad& iPad, std::int32_t id, std::int32_t code) {
    Source s;
    iPad.GetImageSource(id, code, s.path, s.offset, s.size, s.vert, s.horz);
    s.found = iPad.FullResolutionFound;
    s.ext = s.found ? iPad.FullResolutionExt : "";
    return s;
}

const char* const Thumbs = "/Photos/Thumbs/F3004_1.ithmb";

TEST_F(Reader, ImageSources) {
    Load(handmade::Database());
    struct Case {
        std::int32_t id, code;
        Source want;
    };
    const Case cases[] = {
        {7, 1, {Thumbs, 100, 6160, 1, 2}},
        {7, 3, {Thumbs, 6260, 38400, 0, 20}},
        // The decoy in the type-5 container is marked full-size too and is passed over.
        {7, 987, {"/Photos/Full/A.JPG", 0, 1234, 5, 6, true, ".JPG"}},
        // No entry: the outputs stay, the paddings are those of the last entry examined.
        {7, 2, {"unchanged", -77, -77, 5, 6}},
        {9, 2, {Thumbs, 44660, 12640, 3, 4}},
        {9, 987, {"unchanged", -77, -77, 3, 4}},
        {9, 1, {"unchanged", -77, -77, 3, 4}},
        // An id that is not there is served from the first image record.
        {12345, 1, {Thumbs, 100, 6160, 1, 2}},
        {-3, 1, {}},
        {7, 0, {"unchanged", -77, -77, 5, 6}},
        {7, INT_MAX, {"unchanged", -77, -77, 5, 6}},
        {7, INT_MIN, {"unchanged", -77, -77, 5, 6}},
    };
    for (const Case& c : cases) EXPECT_EQ(Ask(iPad, c.id, c.code), c.want) << c.id << " code " << c.code;
}

TEST_F(Reader, FullResolutionFlagFollowsEachCall) {
    Load(handmade::Database());
    Ask(iPad, 7, 987);
    EXPECT_TRUE(iPad.FullResolutionFound);
    Ask(iPad, 7, 1);
    EXPECT_FALSE(iPad.FullResolutionFound);
}

TEST_F(Reader, NothingLoadedGivesNoSource) {
    EXPECT_EQ(Ask(iPad, 7, 1), Source{});
    TBitmap24 bitmap;
    iPad.ReadThumbnail(7, 1, bitmap);
    EXPECT_TRUE(bitmap.Empty());
}

TEST_F(Reader, BadImageEntriesGiveNoSource) {
    struct Case {
        const char* what;
        std::function<void(std::string&)> corrupt;
        std::int32_t code;
        Source want;
    };
    using handmade::Put32;
    const Case cases[] = {
        {"child walk that does not advance", [](std::string& d) { Put32(d, handmade::Container55Total, 0); }, 1, {}},
        {"child past its image record", [](std::string& d) { Put32(d, handmade::Container55Total, 100000); }, 1, {}},
        // The children after the last one lie outside the record: the walk stops there.
        {"child count past the record, entry found",
         [](std::string& d) { Put32(d, handmade::Image7ChildCount, INT_MAX); }, 987,
         {"/Photos/Full/A.JPG", 0, 1234, 5, 6, true, ".JPG"}},
        {"child count past the record, nothing found",
         [](std::string& d) { Put32(d, handmade::Image7ChildCount, INT_MAX); }, 2, {"unchanged", -77, -77, 5, 6}},
        {"file name longer than its container", [](std::string& d) { Put32(d, handmade::FullNameLength, 10000); }, 987,
         {"unchanged", -77, -77, 5, 6}},
        {"negative file name length", [](std::string& d) { Put32(d, handmade::FullNameLength, -2); }, 987,
         {"unchanged", -77, -77, 5, 6}},
        {"negative picture offset", [](std::string& d) { Put32(d, 628 + 20, -1); }, 987, {"unchanged", -77, -77, 5, 6}},
        {"odd file name length", [](std::string& d) { Put32(d, handmade::FullNameLength, 21); }, 987,
         {"/Photos/Full/A.JP", 0, 1234, 5, 6, true, ".JP"}},
        // The name ends at a NUL, which a command text could not carry.
        {"NUL in the file name", [](std::string& d) { d[handmade::FullNameText + 2 * 6] = 0; }, 987,
         {"/Photos/Full/", 0, 1234, 5, 6, true, ""}},
        // The extension is taken from the file name only, never from a folder.
        {"dot in a folder name", [](std::string& d) {
             const char name[] = ":Fu.l:AJPEG";
             for (int k = 0; k < 11; ++k) d[handmade::FullNameText + 2 * k] = name[k];
         }, 987, {"/Photos/Fu.l/AJPEG", 0, 1234, 5, 6, true, ""}},
        // A type-5 container is passed over on its 16-bit type, whatever follows it.
        {"bytes after the type of a type-5 container",
         [](std::string& d) { d[handmade::Decoy55Type2Bytes] = 1; }, 987,
         {"/Photos/Full/A.JPG", 0, 1234, 5, 6, true, ".JPG"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string db = handmade::Database();
        c.corrupt(db);
        Load(db);
        ASSERT_EQ(iPad.ImageIds.size(), 3u);
        EXPECT_EQ(Ask(iPad, 7, c.code), c.want);
    }
}

TEST_F(Reader, SurrogatePairsInFileNames) {
    std::string db = handmade::Database();
    // ":Full:A.JPG" -> ":Full:" U+1F600 "JPG": the pair takes the places of "A" and ".".
    const std::size_t a = handmade::FullNameText + 2 * 6;
    Put16(db, a, 0xD83D);
    Put16(db, a + 2, 0xDE00);
    Load(db);
    EXPECT_EQ(Ask(iPad, 7, 987).path, "/Photos/Full/\xF0\x9F\x98\x80JPG");
    Put16(db, a + 2, 'x');  // a lone high surrogate
    Load(db);
    EXPECT_EQ(Ask(iPad, 7, 987).path, "/Photos/Full/\xEF\xBF\xBDxJPG");
}

TEST_F(Reader, BrokenImagePositionsGiveNothing) {
    Load(handmade::Database());
    for (const char* position : {"", "abc", "-1", "12x", "923", "99999999999", "737"}) {
        iPad.ImagePositions[0] = position;
        EXPECT_EQ(Ask(iPad, 7, 1), Source{}) << position;
        TBitmap24 bitmap;
        iPad.ReadThumbnail(7, 1, bitmap);
        EXPECT_TRUE(bitmap.Empty()) << position;
    }
}

// The lists stay the truth even if someone reorders them behind the lookup.
TEST_F(Reader, LookupFollowsTheLists) {
    Load(handmade::Database());
    iPad.ImageIds = {"9", "7", "-3"};
    iPad.ImagePositions = {"728", "224", "888"};
    EXPECT_EQ(Ask(iPad, 7, 1).offset, 100);
    EXPECT_EQ(Ask(iPad, 9, 2).offset, 44660);
}

void ExpectColour(const TBitmap24& b, int x, int y, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    const std::uint8_t* p = b.ScanLine(y) + 3 * x;
    EXPECT_EQ(p[0], blue) << x << "," << y;
    EXPECT_EQ(p[1], green) << x << "," << y;
    EXPECT_EQ(p[2], red) << x << "," << y;
}

TEST_F(Reader, ThumbnailShows55Of56PixelsPerRow) {
    Load(handmade::Database());
    TBitmap24 bitmap;
    iPad.ReadThumbnail(7, 1, bitmap);
    ASSERT_EQ(bitmap.Width, 55);
    ASSERT_EQ(bitmap.Height, 55);
    ASSERT_EQ(bitmap.Pixels.size(), 55u * 55 * 3);
    int red = 0;
    for (int y = 0; y < 55; ++y) {
        ExpectColour(bitmap, 0, y, 0, 0xF8, 0);  // every row starts at its own first pixel
        ExpectColour(bitmap, 54, y, 0xF8, 0, 0);
        for (int x = 0; x < 55; ++x) red += bitmap.ScanLine(y)[3 * x + 2] != 0;
    }
    EXPECT_EQ(red, 0) << "the 56th pixel of a row was shown";

    // An unknown id shows the first image's picture; an image without one shows nothing.
    iPad.ReadThumbnail(555, 1, bitmap);
    EXPECT_EQ(bitmap.Width, 55);
    iPad.ReadThumbnail(9, 1, bitmap);
    EXPECT_TRUE(bitmap.Empty());
    iPad.ReadThumbnail(-3, 1, bitmap);
    EXPECT_TRUE(bitmap.Empty());
}

TEST_F(Reader, Thumbnail76UsesItsOwnStride) {
    Load(handmade::Database());
    TBitmap24 bitmap;
    iPad.ReadThumbnail(9, 2, bitmap);
    ASSERT_EQ(bitmap.Width, 76);
    ASSERT_EQ(bitmap.Height, 76);
    for (int y = 0; y < 76; ++y) {
        ExpectColour(bitmap, 0, y, 0, 0xF8, 0);
        ExpectColour(bitmap, 75, y, 0, 0, 0xF0);
    }
}

TEST_F(Reader, ThumbnailStoreProblemsGiveNoPicture) {
    const std::string db = handmade::Database();
    struct Case {
        const char* what;
        std::function<void(const std::string& folder)> prepare;
    };
    const Case cases[] = {
        {"missing store", [](const std::string& f) { std::filesystem::remove(f + "adap.ant"); }},
        {"store ends inside the picture", [](const std::string& f) { std::filesystem::resize_file(f + "adap.ant", 6259); }},
        {"store ends before the picture", [](const std::string& f) { std::filesystem::resize_file(f + "adap.ant", 50); }},
        {"store is a folder", [](const std::string& f) {
             std::filesystem::remove(f + "adap.ant");
             std::filesystem::create_directory(f + "adap.ant");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Folder + "adap.ant");
        Load(db);
        c.prepare(Folder);
        TBitmap24 bitmap;
        bitmap.Resize(3, 3);
        iPad.ReadThumbnail(7, 1, bitmap);
        EXPECT_TRUE(bitmap.Empty());
    }
}

// The grid and the copy agree on which containers to pass over: the type is
// the 16-bit field, whatever the two bytes after it hold.
TEST_F(Reader, ThumbnailPassesOverType5Containers) {
    std::string db = handmade::Database();
    db[handmade::Decoy55Type2Bytes] = 1;
    Load(db);
    TBitmap24 bitmap;
    iPad.ReadThumbnail(7, 1, bitmap);
    ASSERT_EQ(bitmap.Width, 55);
    ExpectColour(bitmap, 0, 0, 0, 0xF8, 0);  // the entry's picture at 100, not the decoy's at 0
}

TEST_F(Reader, ThumbnailWithNegativeOffset) {
    std::string db = handmade::Database();
    handmade::Put32(db, 356 + 20, -1);
    Load(db);
    TBitmap24 bitmap;
    iPad.ReadThumbnail(7, 1, bitmap);
    EXPECT_TRUE(bitmap.Empty());
}

}  // namespace
