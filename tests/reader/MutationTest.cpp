// Thousands of corrupted copies of a real photo database and thumbnail store.
// Under the sanitizers any read past the data, overflow or leak fails the run;
// the checks below catch lists that fall out of step or pictures of a wrong size.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HandMadeDatabase.h"
#include "TestSupport.h"
#include "iPadcomponent.h"

namespace fs = std::filesystem;

namespace {

struct Originals {
    std::string database, thumbs;
};

// The sample iPad of the builder, made once for this test program.
const Originals& Real() {
    static const Originals originals = [] {
        const std::string out = pxtest::MakeTempFolder("mutation") + "/ipad";
        const std::string command = "'" + pxtest::BinDir() + "sampleipad' --out '" + out + "' >/dev/null";
        Originals o;
        if (std::system(command.c_str()) != 0) return o;
        o.database = pxtest::ReadFile(out + "/files/Photos/Photo Database");
        o.thumbs = pxtest::ReadFile(out + "/files/Photos/Thumbs/F3004_1.ithmb");
        return o;
    }();
    return originals;
}

// Values that break lengths, counts and positions in interesting ways.
std::int32_t NastyValue(std::mt19937& rng, std::size_t size) {
    const std::int32_t values[] = {0,       1,       -1,      4,  12,  16, 20, INT_MAX, INT_MIN, INT_MAX - 8,
                                   static_cast<std::int32_t>(size), static_cast<std::int32_t>(size) - 1,
                                   static_cast<std::int32_t>(size) + 1, 5, 987, 6160, 38400, 0x10000};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(values));
    const std::size_t k = pick(rng);
    return k < std::size(values) ? values[k] : static_cast<std::int32_t>(rng());
}

std::string Mutate(std::string data, std::mt19937& rng) {
    if (data.empty()) return data;
    std::uniform_int_distribution<int> kind(0, 5);
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !data.empty(); ++e) {
        std::uniform_int_distribution<std::size_t> at(0, data.size() - 1);
        switch (kind(rng)) {
        case 0:  // a length, count or position field (fields are 4-byte aligned)
        case 1: {
            const std::size_t pos = at(rng) & ~std::size_t{3};
            if (pos + 4 <= data.size()) handmade::Put32(data, pos, NastyValue(rng, data.size()));
            break;
        }
        case 2:
            data[at(rng)] ^= static_cast<char>(1 << (rng() % 8));
            break;
        case 3:
            data.resize(at(rng));
            break;
        case 4: {  // a stretch of zeros or 0xFF
            const std::size_t pos = at(rng);
            const std::size_t n = std::min<std::size_t>(data.size() - pos, 1 + rng() % 64);
            data.replace(pos, n, n, (rng() & 1) ? '\0' : '\xFF');
            break;
        }
        case 5: {  // a chunk moved elsewhere
            const std::size_t from = at(rng), to = at(rng);
            const std::size_t n = std::min<std::size_t>(data.size() - from, 1 + rng() % 200);
            data.insert(to, data.substr(from, n));
            break;
        }
        }
    }
    return data;
}

// Whatever the data, the reader's results keep their shape.
void Exercise(TiPad& iPad) {
    ASSERT_EQ(iPad.AlbumNames.size(), iPad.AlbumMembers.size());
    ASSERT_EQ(iPad.ImageIds.size(), iPad.ImagePositions.size());
    for (std::size_t i = 0; i < iPad.AlbumMembers.size(); ++i) {
        ASSERT_FALSE(iPad.AlbumMembers[i].empty());
        ASSERT_EQ(iPad.AlbumMembers[i][0], std::to_string(i));
    }
    std::vector<std::int32_t> ids{123456789};
    for (std::size_t k = 0; k < iPad.ImageIds.size() && k < 12; ++k) ids.push_back(std::atoi(iPad.ImageIds[k].c_str()));
    for (std::int32_t id : ids) {
        for (std::int32_t code : {1, 2, 3, 987, 0, -13, INT_MAX, INT_MIN}) {
            std::string path = "unset";
            std::int32_t offset = -5, size = -5;
            std::uint16_t v = 0, h = 0;
            iPad.GetImageSource(id, code, path, offset, size, v, h);
            if (path != "unset") {
                ASSERT_EQ(path.rfind("/Photos", 0), 0u);
                ASSERT_GE(offset, 0);
                ASSERT_GT(size, 0);
            } else {
                ASSERT_EQ(offset, -5);
                ASSERT_FALSE(iPad.FullResolutionFound);
            }
            if (iPad.FullResolutionFound) {
                ASSERT_EQ(iPad.FullResolutionExt.find('/'), std::string::npos);
            }
        }
        for (std::int32_t code : {1, 2, 3, 4, 987}) {
            TBitmap24 bitmap;
            iPad.ReadThumbnail(id, code, bitmap);
            if (bitmap.Empty()) continue;
            const int want[][2] = {{55, 55}, {76, 76}, {160, 120}};
            ASSERT_GE(code, 1);
            ASSERT_LE(code, 3);
            ASSERT_EQ(bitmap.Width, want[code - 1][0]);
            ASSERT_EQ(bitmap.Height, want[code - 1][1]);
            ASSERT_EQ(bitmap.Pixels.size(), static_cast<std::size_t>(bitmap.Width) * bitmap.Height * 3);
        }
    }
}

TEST(Mutation, CorruptedDatabasesLoadSafely) {
    const Originals& real = Real();
    ASSERT_FALSE(real.database.empty());
    const std::string folder = pxtest::MakeTempFolder("mutated") + "/";
    pxtest::WriteFile(folder + "adap.ant", real.thumbs);
    std::mt19937 rng(20261211);
    std::size_t parsedSomething = 0;
    const std::string sources[] = {real.database, handmade::Database()};
    for (int n = 0; n < 5000; ++n) {
        const std::string variant = Mutate(sources[n % 5 == 4 ? 1 : 0], rng);
        pxtest::WriteFile(folder + "adbp.ant", variant);
        TiPad iPad;
        iPad.SetLocalFolder(folder);
        iPad.LoadPhotoDatabase();
        SCOPED_TRACE("variant " + std::to_string(n));
        Exercise(iPad);
        if (HasFatalFailure()) return;
        parsedSomething += iPad.ImageIds.empty() ? 0 : 1;
    }
    // The mutations must leave many variants readable, or they test nothing past the header.
    EXPECT_GT(parsedSomething, 1000u);
}

TEST(Mutation, CorruptedThumbnailStores) {
    const Originals& real = Real();
    ASSERT_FALSE(real.thumbs.empty());
    const std::string folder = pxtest::MakeTempFolder("mutated-store") + "/";
    pxtest::WriteFile(folder + "adbp.ant", real.database);
    TiPad iPad;
    iPad.SetLocalFolder(folder);
    iPad.LoadPhotoDatabase();
    ASSERT_FALSE(iPad.ImageIds.empty());
    std::mt19937 rng(7);
    for (int n = 0; n < 300; ++n) {
        std::string store = real.thumbs;
        store.resize(rng() % (store.size() + 1));
        pxtest::WriteFile(folder + "adap.ant", store);
        SCOPED_TRACE("store of " + std::to_string(store.size()) + " bytes");
        Exercise(iPad);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
