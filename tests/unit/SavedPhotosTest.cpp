#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "JpegCodec.h"
#include "SampleLibrary.h"
#include "SavedPhotos.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

sampleipad::Picture Gradient(int w, int h) {
    sampleipad::Picture p{w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h * 3)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            auto* px = p.At(x, y);
            px[0] = static_cast<std::uint8_t>(x * 255 / w);
            px[1] = static_cast<std::uint8_t>(y * 255 / h);
            px[2] = 90;
        }
    return p;
}

}  // namespace

TEST(SavedPhotos, CameraFolderEntries) {
    const std::string folder = pxtest::MakeTempFolder("camera") + "/";
    const std::string jpeg = sampleipad::JpegBytes(Gradient(16, 16), 90);
    for (const char* name : {"100APPLEIMG_0002.THM", "100APPLEIMG_0001.JPG", "100APPLEIMG_0003.thm",
                             "100APPLEIMG_0004.jpg", "100APPLEIMG_0005.MOV", "NOEXTENSION", "101APPLEIMG_0009.THM",
                             "101APPLEIMG_0009.JPG"})
        pxtest::WriteFile(folder + name, jpeg);
    fs::create_directory(folder + "FOLDER.JPG");

    const auto photos = PrepareSavedPhotos(folder);
    ASSERT_TRUE(photos);
    std::vector<std::string> keys, files;
    for (const auto& p : *photos) {
        keys.push_back(p.Key);
        files.push_back(fs::path(p.File).filename().string());
    }
    // Byte order of the names; lower-case extensions, other files and folders passed over;
    // a thumbnail whose ".JPG" name is taken keeps its name and gets no entry of its own.
    EXPECT_EQ(keys, (std::vector<std::string>{"100APPLEIMG_0001", "100APPLEIMG_0002", "101APPLEIMG_0009"}));
    EXPECT_EQ(files, (std::vector<std::string>{"100APPLEIMG_0001.JPG", "100APPLEIMG_0002.JPG", "101APPLEIMG_0009.JPG"}));
    EXPECT_EQ(Names(folder),
              (std::vector<std::string>{"100APPLEIMG_0001.JPG", "100APPLEIMG_0002.JPG", "100APPLEIMG_0003.thm",
                                        "100APPLEIMG_0004.jpg", "100APPLEIMG_0005.MOV", "101APPLEIMG_0009.JPG",
                                        "101APPLEIMG_0009.THM", "FOLDER.JPG", "NOEXTENSION"}));

    // A second showing finds them renamed already.
    const auto again = PrepareSavedPhotos(folder);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->size(), 3u);
    EXPECT_EQ((*again)[1].Key, "100APPLEIMG_0002");
}

TEST(SavedPhotos, EmptyAndMissingFolders) {
    const std::string empty = pxtest::MakeTempFolder("camera-empty") + "/";
    const auto none = PrepareSavedPhotos(empty);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
    EXPECT_FALSE(PrepareSavedPhotos(empty + "missing/"));
}

TEST(SavedPhotos, PictureIsTheTopLeftCornerOfTheJpeg) {
    const std::string folder = pxtest::MakeTempFolder("camera-pic") + "/";
    const auto source = Gradient(160, 120);
    pxtest::WriteFile(folder + "A.JPG", sampleipad::JpegBytes(source, 95));
    TBitmap24 cell;
    ASSERT_TRUE(LoadSavedPhotoPicture(folder + "A.JPG", 61, cell));
    EXPECT_EQ(cell.Width, 61);
    EXPECT_EQ(cell.Height, 61);
    // Bytes blue, green, red; JPEG loses a little.
    for (auto [x, y] : {std::pair{0, 0}, {30, 20}, {60, 60}}) {
        const std::uint8_t* want = source.At(x, y);
        const std::uint8_t* got = cell.ScanLine(y) + x * 3;
        EXPECT_NEAR(got[2], want[0], 8) << x << "," << y;
        EXPECT_NEAR(got[1], want[1], 8) << x << "," << y;
        EXPECT_NEAR(got[0], want[2], 8) << x << "," << y;
    }
    // Smaller than a cell: its own size.
    pxtest::WriteFile(folder + "B.JPG", sampleipad::JpegBytes(Gradient(20, 10), 95));
    ASSERT_TRUE(LoadSavedPhotoPicture(folder + "B.JPG", 61, cell));
    EXPECT_EQ(cell.Width, 20);
    EXPECT_EQ(cell.Height, 10);
}

TEST(SavedPhotos, BadPicturesGiveAnEmptyPicture) {
    const std::string folder = pxtest::MakeTempFolder("camera-bad") + "/";
    const std::string good = sampleipad::JpegBytes(Gradient(160, 120), 90);
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"not a JPEG", "GIF89a not a jpeg at all"},
        {"only the start marker", "\xFF\xD8"},
        {"header cut short", good.substr(0, 20)},
        {"a huge declared size", [&] {
             std::string s = good;
             // The frame header's height and width: FF C0, length, precision, then 2+2 bytes.
             const auto at = s.find("\xFF\xC0");
             s[at + 5] = s[at + 6] = s[at + 7] = s[at + 8] = '\xFF';
             return s;
         }()},
    };
    for (const Case& c : cases) {
        pxtest::WriteFile(folder + "X.JPG", c.bytes);
        TBitmap24 cell;
        cell.Resize(3, 3);
        EXPECT_FALSE(LoadSavedPhotoPicture(folder + "X.JPG", 61, cell)) << c.what;
        EXPECT_TRUE(cell.Empty()) << c.what;
    }
    TBitmap24 cell;
    EXPECT_FALSE(LoadSavedPhotoPicture(folder + "missing.JPG", 61, cell));
    // Data cut off after the header still decodes: the library fills in what is missing.
    EXPECT_TRUE(DecodeJpegCorner(good.substr(0, good.size() * 3 / 4), 61, 61, cell));
    EXPECT_EQ(cell.Width, 61);
}
