// The sample-iPad builder's device folders read back by the reader: every
// album, member, image and source the builder says it wrote.
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SampleManifest.h"
#include "TestSupport.h"
#include "iPadcomponent.h"

namespace fs = std::filesystem;

namespace {

int RunBuilder(const std::string& args) {
    const std::string command = "'" + pxtest::BinDir() + "sampleipad' " + args + " >/dev/null 2>&1";
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

using Expected = pxtest::SampleManifest;

class SampleIpad : public ::testing::Test {
protected:
    void SetUp() override { Root = pxtest::MakeTempFolder("sampleipad"); }

    // Builds a device and puts its two files where the connector would.
    Expected Build(const std::string& options, std::string& device, std::string& local) {
        fs::create_directories(Root + "/devices");
        device = Root + "/devices/ipad" + std::to_string(++Count);
        local = pxtest::MakeTempFolder("connector") + "/";
        const std::string manifest = Root + "/manifest" + std::to_string(Count);
        EXPECT_EQ(RunBuilder("--out '" + device + "' --attach --manifest '" + manifest + "' " + options), 0);
        fs::copy_file(device + "/files/Photos/Photo Database", local + "adbp.ant");
        fs::copy_file(device + "/files/Photos/Thumbs/F3004_1.ithmb", local + "adap.ant");
        return pxtest::ParseSampleManifest(pxtest::ReadFile(manifest));
    }
    std::string Root;
    int Count = 0;
};

void ExpectReadBack(const Expected& want, const std::string& device, const std::string& local) {
    TiPad iPad;
    iPad.SetLocalFolder(local);
    iPad.LoadPhotoDatabase();
    EXPECT_EQ(iPad.AlbumNames, want.albums);
    EXPECT_EQ(iPad.AlbumMembers, want.members);
    EXPECT_EQ(iPad.ImageIds, want.images);
    ASSERT_EQ(iPad.ImagePositions.size(), want.images.size());

    int decoded = 0, noFullSize = 0;
    for (const Expected::Source& s : want.sources) {
        SCOPED_TRACE("image " + std::to_string(s.id) + " code " + std::to_string(s.code));
        std::string path = "none";
        std::int32_t offset = -1, size = -1;
        std::uint16_t vert = 999, horz = 999;
        iPad.GetImageSource(s.id, s.code, path, offset, size, vert, horz);
        EXPECT_EQ(iPad.FullResolutionFound, s.present && s.code == TiPad::CodeFullSize);
        if (!s.present) {
            EXPECT_EQ(path, "none");
            EXPECT_EQ(offset, -1);
            ++noFullSize;
            continue;
        }
        EXPECT_EQ(path, s.path);
        EXPECT_EQ(offset, s.offset);
        EXPECT_EQ(size, s.size);
        EXPECT_EQ(vert, s.vert);
        EXPECT_EQ(horz, s.horz);
        // The bytes named are there on the device.
        const std::string file = device + "/files" + s.path;
        ASSERT_TRUE(fs::exists(file)) << file;
        EXPECT_GE(fs::file_size(file), static_cast<std::uintmax_t>(offset) + static_cast<std::uintmax_t>(size));
        if (s.code == TiPad::CodeFullSize) {
            EXPECT_EQ(fs::file_size(file), static_cast<std::uintmax_t>(size));
            EXPECT_EQ(iPad.FullResolutionExt, s.path.substr(s.path.rfind('.')));
        }
        if (s.code != TiPad::Code55) continue;

        TBitmap24 bitmap;
        iPad.ReadThumbnail(s.id, TiPad::Code55, bitmap);
        ASSERT_EQ(bitmap.Width, 55);
        ASSERT_EQ(bitmap.Height, 55);
        // The paddings are black, the picture between them is not.
        long inside = 0;
        for (int y = 0; y < 55; ++y) {
            for (int x = 0; x < 55; ++x) {
                const std::uint8_t* p = bitmap.ScanLine(y) + 3 * x;
                const bool padding = y < s.vert || y >= 55 - s.vert || x < s.horz || x >= 55 - s.horz;
                if (padding) {
                    EXPECT_EQ(p[0] | p[1] | p[2], 0) << x << "," << y;
                } else {
                    inside += p[0] + p[1] + p[2];
                }
            }
        }
        EXPECT_GT(inside, 0);
        ++decoded;
    }
    EXPECT_GT(decoded, 0);
    EXPECT_GT(noFullSize, 0) << "the library should hold an image without a full-size file";
}

TEST_F(SampleIpad, BuiltLibrariesReadBackExactly) {
    for (const char* options : {"", "--synthetic 300 --albums 7"}) {
        SCOPED_TRACE(options);
        std::string device, local;
        const Expected want = Build(options, device, local);
        ASSERT_FALSE(want.images.empty());
        ExpectReadBack(want, device, local);
    }
}

TEST_F(SampleIpad, PictureLibraryHasTheDocumentedShape) {
    std::string device, local;
    const Expected want = Build("", device, local);
    EXPECT_EQ(want.images.size(), 6u);
    ASSERT_EQ(want.albums.size(), 4u);
    EXPECT_EQ(want.albums[2], "Caf\xC3\xA9 \xC3\x98rsted \xE2\x80\x93 \xE5\xA4\x8F\xE3\x81\xAE\xE5\x86\x99\xE7\x9C\x9F");
    EXPECT_EQ(want.members[3], std::vector<std::string>{"3"});
    // Paddings for pictures that do not fill their slot: portrait, panorama.
    bool vertical = false, horizontal = false;
    for (const auto& s : want.sources) vertical |= s.present && s.vert > 0, horizontal |= s.present && s.horz > 0;
    EXPECT_TRUE(vertical && horizontal);

    EXPECT_EQ(pxtest::ReadFile(device + "/afc-info").substr(0, 14), "Model=iPad1,1\n");
    for (const char* file : {"/DCIM/100APPLE/IMG_0001.JPG", "/DCIM/100APPLE/IMG_0001.THM", "/DCIM/100APPLE/IMG_0002.PNG",
                             "/DCIM/100APPLE/IMG_0003.MOV", "/DCIM/100APPLE/.MISC/IMG_0004.THM",
                             "/DCIM/100APPLE/IMG_0004.JPG", "/DCIM/.MISC/Info.plist"})
        EXPECT_TRUE(fs::exists(device + "/files" + file)) << file;
    const std::string thm = pxtest::ReadFile(device + "/files/DCIM/100APPLE/IMG_0001.THM");
    EXPECT_EQ(thm.substr(0, 3), "\xFF\xD8\xFF");
}

TEST_F(SampleIpad, AttachLeavesOnlyTheFinishedDevice) {
    const std::string devices = pxtest::MakeTempFolder("watched");
    ASSERT_EQ(RunBuilder("--out '" + devices + "/pad' --attach --model 'iPad2,5' --pairing unpaired"), 0);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(devices)) names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"pad"});
    EXPECT_EQ(pxtest::ReadFile(devices + "/pad/afc-info").substr(0, 14), "Model=iPad2,5\n");
    EXPECT_EQ(pxtest::ReadFile(devices + "/pad/pairing"), "unpaired\n");

    // An existing device is never built over.
    EXPECT_NE(RunBuilder("--out '" + devices + "/pad' --attach"), 0);
    EXPECT_NE(RunBuilder("--synthetic 5"), 0);  // no --out
}

}  // namespace
