// Writes simulated iPad photo libraries: the photo database, the thumbnail
// store and the files of a simulated device folder. No Qt here, so that the
// benchmark and the tests can make libraries in-process.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sampleipad {

// An 8-bit RGB picture, rows top first.
struct Picture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Rgb;

    std::uint8_t* At(int x, int y) { return Rgb.data() + (static_cast<std::size_t>(y) * Width + x) * 3; }
    const std::uint8_t* At(int x, int y) const { return Rgb.data() + (static_cast<std::size_t>(y) * Width + x) * 3; }
};

// A picture slot of the thumbnail store.
struct Slot {
    std::int32_t ResolutionCode;  // as the reader is asked for it
    int Width, Height;            // shown pixels
    int Stride;                   // bytes per stored row
    int Rows;                     // stored rows
    std::int32_t Bytes;           // stored block size
};
inline constexpr Slot Slot55{1, 55, 55, 112, 55, 6160};
inline constexpr Slot Slot76{2, 76, 76, 160, 79, 12640};
inline constexpr Slot Slot160{3, 160, 120, 320, 120, 38400};

// Stored word: blue in bits 0-4, green in 5-9, red in 10-14.
std::uint16_t StoredWord(std::uint8_t r, std::uint8_t g, std::uint8_t b);
// The word written into row pixels and rows that are stored but never shown.
inline constexpr std::uint16_t UnusedWord = 0x7C1F;

// `picture` scaled to fit `width` x `height`, keeping its shape; the free
// space is split evenly, so the result is width - 2*h by height - 2*v.
Picture Fit(const Picture& picture, int width, int height, std::uint16_t& vertPad, std::uint16_t& horzPad);
// A fitted picture centred in the slot's stored block (paddings black).
std::string StoredBlock(const Picture& fitted, const Slot& slot, std::uint16_t vertPad, std::uint16_t horzPad);

// Baseline JPEG of a picture.
std::string JpegBytes(const Picture& picture, int quality);

// One stored picture of an image, as its image name record says.
struct Entry {
    std::int32_t ResolutionCode = 0;  // 1, 2, 3 or 987 (full size)
    std::string StoredName;           // ':'-separated, e.g. ":Thumbs:F3004_1.ithmb"
    std::int32_t Offset = 0;
    std::int32_t Size = 0;
    std::uint16_t VertPad = 0, HorzPad = 0, Height = 0, Width = 0;
};

struct Image {
    std::int32_t Id = 0;
    std::vector<Entry> Entries;
    // A container of the kind the reader passes over, written before the
    // entries. It holds a plausible full-size entry so that a reader that
    // does not pass over it returns a wrong source.
    bool SkippedContainer = true;
};

struct Album {
    std::string Name;  // UTF-8
    std::vector<std::int32_t> Members;
};

inline constexpr std::string_view ThumbStoreName = ":Thumbs:F3004_1.ithmb";

std::string PhotoDatabase(const std::vector<Image>& images, const std::vector<Album>& albums);

// The device path that a stored name stands for.
std::string DevicePath(std::string_view storedName);

// What the builder wrote, one fact a line, for tests that read it back:
//   album <index> <name>
//   member <album index> <image id>
//   image <image id>
//   source <image id> <code> <offset> <size> <vert pad> <horz pad> <device path>
//   nosource <image id> <code>
std::string Manifest(const std::vector<Image>& images, const std::vector<Album>& albums);

// A photo library with its files.
struct Library {
    std::vector<Image> Images;
    std::vector<Album> Albums;
    std::string ThumbStore;
    std::vector<std::pair<std::string, std::string>> Files;  // device path -> bytes (full-size files)
};

// Adds an image made from `picture` with all three stored pictures; with
// `fullSize` non-empty also a full-size entry for the file `fullName`
// (':'-separated) holding those bytes.
void AddImage(Library& library, std::int32_t id, const Picture& picture, const std::string& fullName,
              const std::string& fullSize);

// `images` generated pictures in `albums` albums (album 0 holds every image).
Library SyntheticLibrary(int images, int albums);

// A generated picture, different for every seed.
Picture PatternPicture(int width, int height, std::uint32_t seed);

// Writes a simulated device folder: afc-info, pairing, files/...
// With `attach`, builds it under a dot-name beside `out` and renames it into
// place, so a watcher of the parent sees it appear whole. Returns an error text.
struct DeviceFolder {
    std::vector<std::pair<std::string, std::string>> Info;  // afc-info keys in order
    std::string Pairing;                                     // empty: no pairing file
    std::vector<std::pair<std::string, std::string>> Files;  // device path -> bytes
};
std::string WriteDeviceFolder(const std::string& out, const DeviceFolder& device, bool attach);

}  // namespace sampleipad
