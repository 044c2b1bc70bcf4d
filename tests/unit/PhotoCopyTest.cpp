#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <jpeglib.h>

#include "InterfaceTexts.h"
#include "JpegCodec.h"
#include "PhotoCopy.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

// A stored block of a slot: every word tells its column and row, so a wrong
// offset, stride or padding shows in the picture.
std::string StoredBlock(int stride, int rows) {
    std::string block(static_cast<std::size_t>(stride) * rows, '\0');
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < stride / 2; ++x) {
            const std::uint16_t word = static_cast<std::uint16_t>((x & 0x1F) | (y & 0x3F) << 5 | ((x + y) & 0x1F) << 11);
            block[static_cast<std::size_t>(y) * stride + 2 * x] = static_cast<char>(word & 0xFF);
            block[static_cast<std::size_t>(y) * stride + 2 * x + 1] = static_cast<char>(word >> 8);
        }
    return block;
}

std::array<std::uint8_t, 3> Pixel(const std::string& block, int stride, int x, int y) {
    const std::size_t at = static_cast<std::size_t>(y) * stride + 2 * x;
    std::array<std::uint8_t, 3> bgr;
    TiPad::ConvertPixel(static_cast<std::uint16_t>(static_cast<std::uint8_t>(block[at]) |
                                                   static_cast<std::uint8_t>(block[at + 1]) << 8),
                        bgr.data());
    return bgr;
}

std::array<std::uint8_t, 3> At(const TBitmap24& b, int x, int y) {
    const std::uint8_t* p = b.ScanLine(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

std::uint32_t LE(const std::string& s, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes; i-- > 0;) v = v << 8 | static_cast<std::uint8_t>(s[at + i]);
    return v;
}

TBitmap24 Gradient(int w, int h) {
    TBitmap24 b;
    b.Resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = b.ScanLine(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x * 4);
            p[1] = static_cast<std::uint8_t>(y * 4);
            p[2] = static_cast<std::uint8_t>(128 + x - y);
        }
    return b;
}

}  // namespace

TEST(PhotoCopy, ResolutionCodes) {
    const std::pair<int, std::int32_t> cases[] = {{1, 987}, {2, 3}, {3, 2}, {4, 1}, {0, 987}, {5, 987}, {-3, 987}};
    for (auto [setting, code] : cases) EXPECT_EQ(photocopy::ResolutionCode(setting), code) << setting;
}

TEST(PhotoCopy, ProgressTexts) {
    EXPECT_EQ(photocopy::ProgressText(3, 12, true), "Copying 3 of 12 files");
    EXPECT_EQ(photocopy::ProgressText(1, 1, false), "Copying 1 of 1 files.");
}

TEST(PhotoCopy, CameraCommandPaths) {
    struct Case {
        const char* backup;
        const char* entry;
        const char* device;
        const char* local;
    } cases[] = {
        {"/home/u/Photos/", "100APPLEIMG_0001", "/DCIM/100APPLE/IMG_0001", "/home/u/Photos/100APPLEIMG_0001"},
        {"/home/u/Photos", "100APPLEIMG_0001", "/DCIM/100APPLE/IMG_0001", "/home/u/Photos/100APPLEIMG_0001"},
        {"//server/share/", "101APPLEIMG_0005", "/DCIM/101APPLE/IMG_0005", "//server/share/101APPLEIMG_0005"},
        {"/b/", "100APPLEPIC_0001", "/DCIM//100APPLEPIC_0001", "/b/100APPLEPIC_0001"},
        {"/b/", "IMG_0007", "/DCIM//IMG_0007", "/b/IMG_0007"},
        {"/b/", "100IMGAIMG_0001", "/DCIM/100/IMGAIMG_0001", "/b/100IMGAIMG_0001"},  // the first "IMG"
    };
    for (const Case& c : cases) {
        const auto paths = photocopy::CameraCommandPaths(c.backup, c.entry);
        EXPECT_EQ(paths.Device, c.device) << c.entry;
        EXPECT_EQ(paths.Local, c.local) << c.backup;
    }
}

TEST(PhotoCopy, ThumbnailPicturesLoseTheirPaddings) {
    struct Case {
        int stride, rows, vert, horz;
        int width, height;  // 0: no picture
    } cases[] = {
        {112, 55, 0, 0, 55, 55},  {160, 79, 0, 0, 76, 76},  {320, 120, 0, 0, 160, 120},
        {320, 120, 0, 20, 120, 120}, {320, 120, 13, 0, 160, 94}, {112, 55, 7, 9, 37, 41},
        {112, 55, 28, 0, 0, 0},   // nothing left inside
        {112, 55, 0, 40, 0, 0},
        {100, 10, 0, 0, 0, 0},    // no size the system decodes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.stride) + " " + std::to_string(c.vert) + " " + std::to_string(c.horz));
        const std::string block = StoredBlock(c.stride, c.rows);
        const TBitmap24 p = photocopy::ThumbnailPicture(block, c.vert, c.horz);
        EXPECT_EQ(p.Width, c.width);
        EXPECT_EQ(p.Height, c.height);
        if (p.Empty()) continue;
        EXPECT_EQ(At(p, 0, 0), Pixel(block, c.stride, c.horz, c.vert));
        EXPECT_EQ(At(p, p.Width - 1, p.Height - 1), Pixel(block, c.stride, c.horz + p.Width - 1, c.vert + p.Height - 1));
        EXPECT_EQ(At(p, 5, 3), Pixel(block, c.stride, c.horz + 5, c.vert + 3));
    }
}

TEST(PhotoCopy, BmpIsUncompressed24BitBottomUpWithPaddedRows) {
    const TBitmap24 picture = Gradient(55, 3);
    const std::string bmp = photocopy::BmpFile(picture);
    const std::size_t stride = 168;  // 165 bytes padded to 4
    ASSERT_EQ(bmp.size(), 54 + stride * 3);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(LE(bmp, 2, 4), bmp.size());
    EXPECT_EQ(LE(bmp, 10, 4), 54u);
    EXPECT_EQ(LE(bmp, 14, 4), 40u);
    EXPECT_EQ(LE(bmp, 18, 4), 55u);
    EXPECT_EQ(LE(bmp, 22, 4), 3u);
    EXPECT_EQ(LE(bmp, 26, 2), 1u);
    EXPECT_EQ(LE(bmp, 28, 2), 24u);
    EXPECT_EQ(LE(bmp, 30, 4), 0u);
    // The first stored row is the picture's last, bytes blue, green, red, then zeros.
    EXPECT_EQ(std::memcmp(bmp.data() + 54, picture.ScanLine(2), 165), 0);
    EXPECT_EQ(bmp.substr(54 + 165, 3), std::string(3, '\0'));
    EXPECT_EQ(std::memcmp(bmp.data() + 54 + 2 * stride, picture.ScanLine(0), 165), 0);
}

TEST(PhotoCopy, JpegMarkersAndTables) {
    const TBitmap24 picture = Gradient(160, 120);
    const auto jpeg = EncodeJpeg(picture);
    ASSERT_TRUE(jpeg);
    const std::string& j = *jpeg;
    ASSERT_GE(j.size(), 4u);
    EXPECT_EQ(j.substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(j.substr(j.size() - 2), "\xFF\xD9");

    // Walk the segments up to the scan.
    std::vector<int> markers;
    std::string app0, sof;
    std::vector<std::string> dqt, dht;
    std::size_t at = 2;
    while (at + 4 <= j.size()) {
        ASSERT_EQ(static_cast<std::uint8_t>(j[at]), 0xFF);
        const int marker = static_cast<std::uint8_t>(j[at + 1]);
        const std::size_t length = static_cast<std::uint8_t>(j[at + 2]) << 8 | static_cast<std::uint8_t>(j[at + 3]);
        const std::string body = j.substr(at + 4, length - 2);
        markers.push_back(marker);
        if (marker == 0xE0) app0 = body;
        if (marker == 0xDB) dqt.push_back(body);
        if (marker == 0xC4) dht.push_back(body);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4) sof = body;
        at += 2 + length;
        if (marker == 0xDA) break;
    }
    EXPECT_EQ(std::count(markers.begin(), markers.end(), 0xC0), 1);  // baseline, sequential
    EXPECT_EQ(std::count(markers.begin(), markers.end(), 0xDA), 1);  // one scan
    EXPECT_EQ(std::count(markers.begin(), markers.end(), 0xDD), 0);  // no restart interval
    EXPECT_EQ(std::count(markers.begin(), markers.end(), 0xC2), 0);
    // JFIF, density unit 0 at 1:1.
    ASSERT_GE(app0.size(), 12u);
    EXPECT_EQ(app0.substr(0, 5), std::string("JFIF\0", 5));
    EXPECT_EQ(app0[7], 0);
    EXPECT_EQ(LE(std::string{app0[9], app0[8]}, 0, 2), 1u);
    EXPECT_EQ(LE(std::string{app0[11], app0[10]}, 0, 2), 1u);
    // 8-bit, 120 x 160, three components: Y at 2x2, Cb and Cr at 1x1.
    ASSERT_EQ(sof.size(), 15u);
    EXPECT_EQ(sof[0], 8);
    EXPECT_EQ(LE(std::string{sof[2], sof[1]}, 0, 2), 120u);
    EXPECT_EQ(LE(std::string{sof[4], sof[3]}, 0, 2), 160u);
    EXPECT_EQ(sof[5], 3);
    EXPECT_EQ(static_cast<std::uint8_t>(sof[7]), 0x22);
    EXPECT_EQ(static_cast<std::uint8_t>(sof[10]), 0x11);
    EXPECT_EQ(static_cast<std::uint8_t>(sof[13]), 0x11);

    // The standard tables at quality 90: each value v * 20 / 100, rounded, at least 1.
    // Table K.1, the first row in natural order, and the first of K.2.
    std::string tables;
    for (const auto& d : dqt) tables += d;
    ASSERT_EQ(tables.size(), 2 * 65u);
    EXPECT_EQ(tables[0], 0);   // table 0, 8-bit
    EXPECT_EQ(tables[65], 1);  // table 1
    const int k1[] = {16, 11, 12, 14, 12, 10, 16, 14};  // the first eight in zigzag order
    const int k2[] = {17, 18, 18, 24, 21, 24, 47, 26};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(static_cast<std::uint8_t>(tables[1 + i]), std::max(1, (k1[i] * 20 + 50) / 100)) << i;
        EXPECT_EQ(static_cast<std::uint8_t>(tables[66 + i]), std::max(1, (k2[i] * 20 + 50) / 100)) << i;
    }
    // The four standard Huffman tables (not optimised): their code counts.
    std::string huff;
    for (const auto& d : dht) huff += d;
    const std::string dcLuminanceCounts("\x00\x00\x01\x05\x01\x01\x01\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00", 17);
    EXPECT_EQ(huff.substr(0, 17), dcLuminanceCounts);
    EXPECT_EQ(huff.size(), (1 + 16 + 12) * 2 + (1 + 16 + 162) * 2u);

    // The floating-point DCT: the same encoding as the library gives with it, and not the default one.
    auto reference = [&](J_DCT_METHOD method) {
        jpeg_compress_struct c;
        jpeg_error_mgr e;
        c.err = jpeg_std_error(&e);
        jpeg_create_compress(&c);
        unsigned char* out = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&c, &out, &size);
        c.image_width = 160;
        c.image_height = 120;
        c.input_components = 3;
        c.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 90, TRUE);
        c.dct_method = method;
        jpeg_start_compress(&c, TRUE);
        for (int y = 0; y < 120; ++y) {
            JSAMPROW row = const_cast<JSAMPROW>(picture.ScanLine(y));
            jpeg_write_scanlines(&c, &row, 1);
        }
        jpeg_finish_compress(&c);
        std::string bytes(reinterpret_cast<char*>(out), size);
        jpeg_destroy_compress(&c);
        std::free(out);
        return bytes;
    };
    EXPECT_EQ(j, reference(JDCT_FLOAT));
    EXPECT_NE(j, reference(JDCT_ISLOW));

    TBitmap24 back;
    ASSERT_TRUE(DecodeJpegCorner(j, 160, 120, back));
    EXPECT_NEAR(At(back, 80, 60)[0], At(picture, 80, 60)[0], 6);
    EXPECT_FALSE(EncodeJpeg(TBitmap24{}));
}

TEST(PhotoCopy, OutputFiles) {
    const std::string block = StoredBlock(320, 120);
    struct Case {
        const char* what;
        std::string fetched;  // "" leaves no working file
        photocopy::FetchedPhoto photo;
        int format;
        const char* file;  // nullptr: nothing written
        bool error;
    } cases[] = {
        {"JPEG", block, {"1234", 38400, false, {}, 0, 0}, 2, "1234.jpg", false},
        {"BMP", block, {"1234", 38400, false, {}, 0, 20}, 1, "1234.bmp", false},
        {"full size", "full-size file bytes", {"1234", 20, true, ".JPG", 0, 0}, 2, "1234.JPG", false},
        {"another format value", block, {"1234", 38400, false, {}, 0, 0}, 3, nullptr, false},
        {"no working file", "", {"77", 38400, false, {}, 0, 0}, 2, nullptr, true},
        {"a short fetch", block.substr(0, 1000), {"77", 38400, false, {}, 0, 0}, 2, nullptr, true},
        {"a short full-size fetch", "cut", {"77", 20, true, ".JPG", 0, 0}, 2, nullptr, true},
        {"an entry with no bytes", "", {"77", 0, false, {}, 0, 0}, 2, nullptr, true},
        {"a size no format has", std::string(5000, 'x'), {"77", 5000, false, {}, 0, 0}, 2, nullptr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string work = pxtest::MakeTempFolder("work") + "/adbb.ant";
        const std::string out = pxtest::MakeTempFolder("out");
        if (!c.fetched.empty()) pxtest::WriteFile(work, c.fetched);
        const std::string error = photocopy::MakeOutputPhoto(work, out, c.photo, c.format);
        EXPECT_EQ(!error.empty(), c.error) << error;
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(out)) names.push_back(e.path().filename().string());
        EXPECT_EQ(names, c.file ? std::vector<std::string>{c.file} : std::vector<std::string>{});
    }

    // A second copy replaces the first; the full-size file keeps its bytes.
    const std::string work = pxtest::MakeTempFolder("again") + "/adbb.ant";
    const std::string out = pxtest::MakeTempFolder("again-out") + "/";
    pxtest::WriteFile(out + "9.JPG", "older and longer content");
    pxtest::WriteFile(work, "new bytes");
    EXPECT_EQ(photocopy::MakeOutputPhoto(work, out, {"9", 9, true, ".JPG", 0, 0}, 1), "");
    EXPECT_EQ(pxtest::ReadFile(out + "9.JPG"), "new bytes");
    pxtest::WriteFile(work, block);
    EXPECT_EQ(photocopy::MakeOutputPhoto(work, out, {"9", 38400, false, {}, 0, 0}, 1), "");
    const std::string bmp = pxtest::ReadFile(out + "9.bmp");
    EXPECT_EQ(photocopy::MakeOutputPhoto(work, out, {"9", 38400, false, {}, 0, 0}, 1), "");
    EXPECT_EQ(pxtest::ReadFile(out + "9.bmp"), bmp);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);
}

TEST(PhotoCopy, FullSizeFilesArriveFromAnotherFileSystem) {
    // A program folder on one disk and a backup folder on another: the
    // working file cannot just be moved there.
    std::string shm = "/dev/shm/pxtest.XXXXXX";
    if (!::mkdtemp(shm.data())) GTEST_SKIP() << "no /dev/shm here";
    const std::string out = pxtest::MakeTempFolder("other-fs");
    struct stat a{}, b{};
    if (::stat(shm.c_str(), &a) != 0 || ::stat(out.c_str(), &b) != 0 || a.st_dev == b.st_dev) {
        fs::remove_all(shm);
        GTEST_SKIP() << "/dev/shm shares the test folder's file system";
    }
    pxtest::WriteFile(shm + "/adbb.ant", "full-size file bytes");
    EXPECT_EQ(photocopy::MakeOutputPhoto(shm + "/adbb.ant", out, {"5", 20, true, ".PNG", 0, 0}, 2), "");
    EXPECT_EQ(pxtest::ReadFile(out + "/5.PNG"), "full-size file bytes");
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
    fs::remove_all(shm);
}
