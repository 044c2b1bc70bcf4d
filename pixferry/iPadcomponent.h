// The photo-library reader: works on the local copies of the device's photo
// database ("adbp.ant") and thumbnail store ("adap.ant").
//
// The files come from the device and are not trusted: every read is checked
// against the end of the data, and a record that does not fit ends the parse
// with what was read so far.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A picture of 24-bit pixels, bytes blue, green, red; rows top first, no row padding.
struct TBitmap24 {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;

    bool Empty() const { return Width <= 0 || Height <= 0; }
    std::uint8_t* ScanLine(int y) { return Pixels.data() + static_cast<std::size_t>(y) * Width * 3; }
    const std::uint8_t* ScanLine(int y) const { return Pixels.data() + static_cast<std::size_t>(y) * Width * 3; }
    void Clear() {
        Width = Height = 0;
        Pixels.clear();
    }
    void Resize(int width, int height) {
        Width = width;
        Height = height;
        Pixels.assign(static_cast<std::size_t>(width) * height * 3, 0);
    }
};

// One section header as found in the database.
struct TSectionEntry {
    std::int32_t TotalLength = 0;
    std::int32_t HeaderLength = 0;
    std::int32_t Start = 0;
    bool Found = false;
};

class TiPad {
public:
    // Resolution codes of GetImageSource and ReadThumbnail; the format index sought is the code + 13.
    static constexpr std::int32_t Code55 = 1;
    static constexpr std::int32_t Code76 = 2;
    static constexpr std::int32_t Code160 = 3;
    static constexpr std::int32_t CodeFullSize = 987;

    // Larger photo databases are refused rather than read into memory.
    static constexpr std::size_t MaxDatabaseBytes = 512u << 20;

    // --- the database (adbp.ant) ---

    void SetLocalFolder(std::string folder);
    const std::string& LocalFolder() const { return LocalFolder_; }

    // Parses LocalFolder + "adbp.ant". A missing file changes nothing.
    void LoadPhotoDatabase();
    // The parse itself, on bytes already in memory (the load and the fuzzer use it).
    void LoadPhotoDatabaseFrom(std::string content);

    // Index 0, 1, 2 hold section types 1 (images), 2 (albums), 3.
    std::array<TSectionEntry, 3> Sections{};
    std::string Database;
    std::vector<std::string> ImageIds;
    std::vector<std::string> ImagePositions;  // parallel to ImageIds
    std::vector<std::vector<std::string>> AlbumMembers;  // [i][0] is i, then the member image ids
    std::vector<std::string> AlbumNames;  // UTF-8
    std::vector<std::string> SelectedPhotos;
    bool FullResolutionFound = false;
    std::string FullResolutionExt;

    // --- the stored pictures ---

    // Size in bytes of a stored picture -> its width, height and format index (0, 0, 0 if unknown).
    static void GetThumbFormat(std::int32_t size, std::int32_t& height, std::int32_t& width,
                               std::int32_t& formatIndex);
    // Bytes per stored row of a format the system decodes (14, 15, 16), else 0.
    static int StoredRowStride(std::int32_t formatIndex);
    // The pixel rule: one stored 16-bit word to blue, green, red.
    static void ConvertPixel(std::uint16_t word, std::uint8_t* bgr) {
        bgr[0] = static_cast<std::uint8_t>((word & 0x001F) << 3);
        bgr[1] = static_cast<std::uint8_t>((word & 0x07E0) >> 2);
        bgr[2] = static_cast<std::uint8_t>((word & 0xF800) >> 7);
    }
    // Converts `count` little-endian words at `words` into `count` pixels at `bgr`.
    static void ConvertRow(const std::uint8_t* words, int count, std::uint8_t* bgr);

    // Decodes the image's stored picture of that resolution from LocalFolder + "adap.ant".
    // Leaves `bitmap` empty when there is none or it cannot be read.
    void ReadThumbnail(std::int32_t imageId, std::int32_t resolutionCode, TBitmap24& bitmap);

    // Where the image's picture of that resolution lies on the device. The outputs are
    // written only when an entry was taken, except the paddings, which hold those of the
    // last entry examined. Sets FullResolutionFound (and FullResolutionExt when found).
    void GetImageSource(std::int32_t imageId, std::int32_t resolutionCode, std::string& devicePath,
                        std::int32_t& offset, std::int32_t& size, std::uint16_t& vertPadding,
                        std::uint16_t& horzPadding);

private:
    struct Span {
        std::size_t Begin = 0;
        std::size_t End = 0;
    };
    bool FindImageRecord(std::int32_t imageId, Span& record) const;
    template <class Visit>
    void WalkContainers(std::int32_t imageId, Visit visit) const;
    void ClearLists();

    std::string LocalFolder_;
    // Image id text -> first index in ImageIds, so a large library is not searched per cell.
    std::unordered_map<std::string, std::size_t> ImageIndex_;
    std::vector<std::uint8_t> ThumbBuffer_;
};
