#include "iPadcomponent.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Bounds-checked little-endian reads. Positions are 64-bit so that a start
// plus a hostile 32-bit length cannot wrap.
class Reader {
public:
    Reader(std::string_view data, std::int64_t begin, std::int64_t end) : Data_(data), Begin_(begin), End_(end) {}
    explicit Reader(std::string_view data) : Reader(data, 0, static_cast<std::int64_t>(data.size())) {}

    bool Contains(std::int64_t pos, std::int64_t count) const {
        return pos >= Begin_ && count >= 0 && pos <= End_ && count <= End_ - pos;
    }
    bool I32(std::int64_t pos, std::int32_t& value) const {
        if (!Contains(pos, 4)) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(Data_.data() + pos);
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                          static_cast<std::uint32_t>(p[2]) << 16 |
                                          static_cast<std::uint32_t>(p[3]) << 24);
        return true;
    }
    bool U16(std::int64_t pos, std::uint16_t& value) const {
        if (!Contains(pos, 2)) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(Data_.data() + pos);
        value = static_cast<std::uint16_t>(p[0] | p[1] << 8);
        return true;
    }
    bool Bytes(std::int64_t pos, std::int64_t count, std::string_view& out) const {
        if (!Contains(pos, count)) return false;
        out = Data_.substr(static_cast<std::size_t>(pos), static_cast<std::size_t>(count));
        return true;
    }
    // A record [pos, pos + length) that lies inside this range and is long
    // enough to hold the fields read from it.
    bool Record(std::int64_t pos, std::int32_t length, std::int32_t minLength, Reader& out) const {
        if (length < minLength || !Contains(pos, length)) return false;
        out = Reader(Data_, pos, pos + length);
        return true;
    }
    std::int64_t End() const { return End_; }

private:
    std::string_view Data_;
    std::int64_t Begin_;
    std::int64_t End_;
};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

constexpr char32_t Replacement = 0xFFFD;

// Album names are UTF-8 already; a broken sequence becomes U+FFFD so that the
// list box never gets invalid text.
std::string CleanUtf8(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        const auto b0 = static_cast<unsigned char>(in[i]);
        if (b0 < 0x80) {
            out += static_cast<char>(b0);
            ++i;
            continue;
        }
        int extra = 0;
        char32_t c = 0;
        char32_t min = 0;
        if ((b0 & 0xE0) == 0xC0) {
            extra = 1, c = b0 & 0x1F, min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2, c = b0 & 0x0F, min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3, c = b0 & 0x07, min = 0x10000;
        } else {
            AppendUtf8(out, Replacement);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        for (; j < in.size() && j <= i + static_cast<std::size_t>(extra); ++j) {
            const auto b = static_cast<unsigned char>(in[j]);
            if ((b & 0xC0) != 0x80) break;
            c = (c << 6) | (b & 0x3F);
        }
        if (j != i + 1 + static_cast<std::size_t>(extra) || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            AppendUtf8(out, Replacement);
            i = j > i + 1 ? j : i + 1;
            continue;
        }
        out.append(in.substr(i, j - i));
        i = j;
    }
    return out;
}

// File names are UTF-16 little-endian. The name ends at a NUL: what follows
// could not travel in a command text anyway.
std::string Utf16LeToUtf8(std::string_view in) {
    std::string out;
    const std::size_t units = in.size() / 2;
    auto unit = [&](std::size_t k) {
        return static_cast<char16_t>(static_cast<unsigned char>(in[2 * k]) |
                                     static_cast<unsigned char>(in[2 * k + 1]) << 8);
    };
    for (std::size_t k = 0; k < units; ++k) {
        const char16_t u = unit(k);
        if (u == 0) break;
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
            const char16_t v = unit(k + 1);
            if (v >= 0xDC00 && v <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (v - 0xDC00));
                ++k;
                continue;
            }
        }
        AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? Replacement : static_cast<char32_t>(u));
    }
    return out;
}

// Extension of the last path component, from its last '.', the dot included.
std::string ExtensionOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

// A descriptor that is closed on every path.
class FileHandle {
public:
    explicit FileHandle(const std::string& path) {
        // O_NONBLOCK so that a FIFO in the working folder cannot hang the open.
        Fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat st;
        if (Fd_ >= 0 && (::fstat(Fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(Fd_);
            Fd_ = -1;
        }
        if (Fd_ >= 0) Size_ = st.st_size;
    }
    ~FileHandle() {
        if (Fd_ >= 0) ::close(Fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool Ok() const { return Fd_ >= 0; }
    std::int64_t Size() const { return Size_; }
    // Exactly `count` bytes at `offset`, or false.
    bool ReadAt(std::int64_t offset, void* out, std::size_t count) const {
        auto* p = static_cast<char*>(out);
        while (count > 0) {
            const ssize_t n = ::pread(Fd_, p, count, offset);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            p += n;
            offset += n;
            count -= static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    int Fd_ = -1;
    std::int64_t Size_ = 0;
};

struct ThumbFormat {
    std::int32_t Size, Width, Height, Index;
};

constexpr ThumbFormat Formats[] = {
    {691200, 720, 480, 1}, {153600, 320, 240, 2}, {80000, 200, 200, 3}, {77440, 220, 176, 4},
    {46464, 176, 132, 5},  {39200, 140, 140, 6},  {22880, 130, 88, 7},  {20000, 100, 100, 8},
    {6272, 56, 56, 9},     {4100, 50, 41, 10},    {3528, 42, 42, 11},   {3108, 42, 37, 12},
    {2520, 42, 30, 13},    {6160, 55, 55, 14},    {12640, 76, 76, 15},  {38400, 160, 120, 16},
    {614400, 640, 480, 17},
};

constexpr std::int32_t ContainerSkipped = 5;
constexpr std::int64_t FullSizeIndex = 1000;
// The image name record's fields end at byte 46 (the full-size marker).
constexpr std::int64_t NameRecordFields = 46;

}  // namespace

void TiPad::SetLocalFolder(std::string folder) { LocalFolder_ = std::move(folder); }

void TiPad::ClearLists() {
    AlbumNames.clear();
    AlbumMembers.clear();
    ImageIds.clear();
    ImagePositions.clear();
    ImageIndex_.clear();
    Sections = {};
}

void TiPad::LoadPhotoDatabase() {
    const std::string path = LocalFolder_ + "adbp.ant";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return;
    std::string content;
    bool read = false;
    {
        FileHandle file(path);
        if (file.Ok() && file.Size() >= 0 && static_cast<std::uint64_t>(file.Size()) <= MaxDatabaseBytes) {
            content.resize(static_cast<std::size_t>(file.Size()));
            read = file.ReadAt(0, content.data(), content.size());
        }
    }
    if (!read) {
        // The lists are emptied as by a load that failed at once.
        ClearLists();
        Database.clear();
        return;
    }
    LoadPhotoDatabaseFrom(std::move(content));
}

void TiPad::LoadPhotoDatabaseFrom(std::string content) {
    ClearLists();
    Database = std::move(content);
    try {
        const Reader file(Database);

        // Sections: exactly three, one after another, each kept under its type.
        std::int32_t firstSection = 0;
        if (!file.I32(4, firstSection) || firstSection < 12) return;
        std::int64_t p = firstSection;
        for (int k = 0; k < 3; ++k) {
            std::int32_t headerLength = 0, totalLength = 0, type = 0;
            Reader section(Database);
            if (!file.I32(p + 4, headerLength) || !file.I32(p + 8, totalLength) || !file.I32(p + 12, type)) return;
            if (type < 1 || type > 3 || !file.Record(p, totalLength, 16, section)) return;
            Sections[type - 1] = {totalLength, headerLength, static_cast<std::int32_t>(p), true};
            p += totalLength;
        }
        if (!Sections[0].Found || !Sections[1].Found) return;

        // The list header of a section: the first record's start and the record count.
        auto listOf = [&](const TSectionEntry& s, Reader& section, std::int64_t& first, std::int32_t& count) {
            if (!file.Record(s.Start, s.TotalLength, 16, section)) return false;
            const std::int64_t b = static_cast<std::int64_t>(s.Start) + s.HeaderLength;
            std::int32_t headerLength = 0;
            if (!section.I32(b + 4, headerLength) || !section.I32(b + 8, count)) return false;
            if (s.HeaderLength < 16 || headerLength < 12 || count < 0 || !section.Contains(b, headerLength)) return false;
            first = b + headerLength;
            return true;
        };

        // Albums.
        Reader albums(Database);
        std::int64_t a = 0;
        std::int32_t albumCount = 0;
        if (!listOf(Sections[1], albums, a, albumCount)) return;
        for (std::int32_t i = 0; i < albumCount; ++i) {
            std::int32_t headerLength = 0, totalLength = 0, memberCount = 0;
            Reader album(Database);
            if (!albums.I32(a + 4, headerLength) || !albums.I32(a + 8, totalLength) ||
                !albums.I32(a + 16, memberCount))
                return;
            if (!albums.Record(a, totalLength, 20, album) || headerLength < 20 || memberCount < 0) return;

            const std::int64_t q = a + headerLength;
            std::int32_t h = 0, t = 0, length = 0;
            Reader name(Database);
            if (!album.I32(q + 4, h) || !album.I32(q + 8, t) || !album.Record(q, t, 12, name)) return;
            std::string_view text;
            if (h < 12 || !name.I32(q + h, length) || !name.Bytes(q + h + 12, length, text)) return;
            AlbumNames.push_back(CleanUtf8(text));
            AlbumMembers.push_back({std::to_string(i)});

            std::int64_t r = q + t;
            for (std::int32_t m = 0; m < memberCount; ++m) {
                std::int32_t memberLength = 0, imageId = 0;
                if (!album.I32(r + 8, memberLength) || !album.I32(r + 16, imageId)) return;
                if (memberLength < 20 || !album.Contains(r, memberLength)) return;
                AlbumMembers.back().push_back(std::to_string(imageId));
                r += memberLength;
            }
            a += totalLength;
        }

        // Images.
        Reader images(Database);
        std::int32_t imageCount = 0;
        if (!listOf(Sections[0], images, p, imageCount)) return;
        for (std::int32_t n = 0; n < imageCount; ++n) {
            std::int32_t totalLength = 0, imageId = 0;
            if (!images.I32(p + 8, totalLength) || !images.I32(p + 16, imageId)) return;
            if (totalLength < 20 || !images.Contains(p, totalLength)) return;
            ImageIds.push_back(std::to_string(imageId));
            ImagePositions.push_back(std::to_string(p));
            ImageIndex_.emplace(ImageIds.back(), ImageIds.size() - 1);  // the first record of an id wins
            p += totalLength;
        }
    } catch (const std::bad_alloc&) {
        // Keep what was read.
    }
}

void TiPad::GetThumbFormat(std::int32_t size, std::int32_t& height, std::int32_t& width,
                           std::int32_t& formatIndex) {
    for (const ThumbFormat& f : Formats) {
        if (f.Size == size) {
            height = f.Height;
            width = f.Width;
            formatIndex = f.Index;
            return;
        }
    }
    height = width = formatIndex = 0;
}

int TiPad::StoredRowStride(std::int32_t formatIndex) {
    switch (formatIndex) {
    case 14: return 112;
    case 15: return 160;
    case 16: return 320;
    default: return 0;
    }
}

void TiPad::ConvertRow(const std::uint8_t* words, int count, std::uint8_t* bgr) {
    for (int x = 0; x < count; ++x, words += 2, bgr += 3)
        ConvertPixel(static_cast<std::uint16_t>(words[0] | words[1] << 8), bgr);
}

bool TiPad::FindImageRecord(std::int32_t imageId, Span& record) const {
    if (ImagePositions.empty()) return false;
    const std::string key = std::to_string(imageId);
    std::size_t index = 0;
    const auto hit = ImageIndex_.find(key);
    if (hit != ImageIndex_.end() && hit->second < ImageIds.size() && ImageIds[hit->second] == key) {
        index = hit->second;
    } else {
        // The lists are public; if they were changed behind the index, search them as they are.
        for (std::size_t k = 0; k < ImageIds.size(); ++k) {
            if (ImageIds[k] == key) {
                index = k;
                break;
            }
        }
    }
    if (index >= ImagePositions.size()) return false;

    const std::string& text = ImagePositions[index];
    std::int64_t pos = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), pos);
    if (ec != std::errc() || end != text.data() + text.size() || pos < 0) return false;
    std::int32_t totalLength = 0;
    const Reader db(Database);
    Reader rec(Database);
    if (!db.I32(pos + 8, totalLength) || !db.Record(pos, totalLength, 20, rec)) return false;
    record = {static_cast<std::size_t>(pos), static_cast<std::size_t>(pos) + static_cast<std::size_t>(totalLength)};
    return true;
}

template <class Visit>
void TiPad::WalkContainers(std::int32_t imageId, Visit visit) const {
    // The image record's children in order, type-5 containers passed over.
    // The visitor gets each other container with its start and header length
    // and returns true to end the walk.
    Span span;
    if (!FindImageRecord(imageId, span)) return;
    const Reader rec(Database, static_cast<std::int64_t>(span.Begin), static_cast<std::int64_t>(span.End));
    const auto start = static_cast<std::int64_t>(span.Begin);
    std::int32_t headerLength = 0, childCount = 0;
    if (!rec.I32(start + 4, headerLength) || !rec.I32(start + 12, childCount) || headerLength < 20) return;

    std::int64_t s = start + headerLength;
    for (std::int32_t c = 0; c < childCount; ++c) {
        std::int32_t ch = 0, ct = 0;
        std::uint16_t type = 0;
        Reader container(Database);
        if (!rec.I32(s + 4, ch) || !rec.I32(s + 8, ct) || !rec.U16(s + 12, type)) return;
        if (!rec.Record(s, ct, 14, container)) return;
        if (type != ContainerSkipped && visit(container, s, ch)) return;
        s += ct;
    }
}

void TiPad::ReadThumbnail(std::int32_t imageId, std::int32_t resolutionCode, TBitmap24& bitmap) {
    bitmap.Clear();
    const std::int64_t sought = static_cast<std::int64_t>(resolutionCode) + 13;
    WalkContainers(imageId, [&](const Reader& container, std::int64_t s, std::int32_t ch) {
        std::int32_t offset = 0, size = 0, width = 0, height = 0, index = 0;
        if (!container.I32(s + ch + 20, offset) || !container.I32(s + ch + 24, size)) return true;
        GetThumbFormat(size, height, width, index);
        if (index == sought) {
            const int stride = StoredRowStride(index);
            if (stride == 0 || offset < 0) return true;
            FileHandle store(LocalFolder_ + "adap.ant");
            ThumbBuffer_.resize(static_cast<std::size_t>(size));
            if (!store.Ok() || !store.ReadAt(offset, ThumbBuffer_.data(), ThumbBuffer_.size())) return true;
            bitmap.Resize(width, height);
            for (int y = 0; y < height; ++y)
                ConvertRow(ThumbBuffer_.data() + static_cast<std::size_t>(y) * stride, width, bitmap.ScanLine(y));
            return true;
        }
        return false;
    });
}

void TiPad::GetImageSource(std::int32_t imageId, std::int32_t resolutionCode, std::string& devicePath,
                           std::int32_t& offset, std::int32_t& size, std::uint16_t& vertPadding,
                           std::uint16_t& horzPadding) {
    FullResolutionFound = false;
    const std::int64_t sought = static_cast<std::int64_t>(resolutionCode) + 13;
    WalkContainers(imageId, [&](const Reader& container, std::int64_t s, std::int32_t ch) {
        const std::int64_t n = s + ch;
        std::int32_t nh = 0, entryOffset = 0, entrySize = 0, width = 0, height = 0, index = 0;
        std::uint16_t vert = 0, horz = 0, marker = 0;
        if (!container.Contains(n, NameRecordFields) || !container.I32(n + 4, nh) ||
            !container.I32(n + 20, entryOffset) || !container.I32(n + 24, entrySize) ||
            !container.U16(n + 28, vert) || !container.U16(n + 30, horz) || !container.U16(n + 44, marker))
            return true;
        vertPadding = vert;
        horzPadding = horz;
        GetThumbFormat(entrySize, height, width, index);
        const bool taken = sought == FullSizeIndex ? marker == 1 : index == sought;
        if (taken) {
            // A byte range that cannot exist is no source.
            if (entryOffset < 0 || entrySize <= 0) return true;
            const std::int64_t q = n + nh;
            std::int32_t h = 0, length = 0;
            std::string_view name;
            if (!container.I32(q + 4, h) || h < 12 || !container.I32(q + h, length) ||
                !container.Bytes(q + h + 12, length, name))
                return true;
            std::string path = Utf16LeToUtf8(name.substr(0, name.size() / 2 * 2));
            for (char& ch8 : path)
                if (ch8 == ':') ch8 = '/';
            path.insert(0, "/Photos");
            if (sought == FullSizeIndex) {
                FullResolutionFound = true;
                FullResolutionExt = ExtensionOf(path);
            }
            devicePath = std::move(path);
            offset = entryOffset;
            size = entrySize;
            return true;
        }
        return false;
    });
}
