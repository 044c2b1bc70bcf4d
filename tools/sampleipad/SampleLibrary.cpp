#include "SampleLibrary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

#include <unistd.h>

#include <jpeglib.h>

namespace sampleipad {

namespace {

// Little-endian record bytes with fields patched in once lengths are known.
class Record {
public:
    Record(std::string_view tag, std::size_t headerLength) {
        Bytes_.append(tag.substr(0, 4));
        Bytes_.resize(headerLength, '\0');
        Put32(4, static_cast<std::int32_t>(headerLength));
    }
    void Put32(std::size_t at, std::int32_t v) {
        for (int k = 0; k < 4; ++k) Bytes_[at + k] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * k)) & 0xFF);
    }
    void Put16(std::size_t at, std::uint16_t v) {
        Bytes_[at] = static_cast<char>(v & 0xFF);
        Bytes_[at + 1] = static_cast<char>(v >> 8);
    }
    void Append(std::string_view child) { Bytes_.append(child); }
    // Sets the total length at offset 8 and gives the bytes.
    std::string Done() {
        Put32(8, static_cast<std::int32_t>(Bytes_.size()));
        return std::move(Bytes_);
    }
    std::string Raw() { return std::move(Bytes_); }

private:
    std::string Bytes_;
};

void Append32(std::string& out, std::int32_t v) {
    for (int k = 0; k < 4; ++k) out += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * k)) & 0xFF);
}

std::u16string Utf8ToUtf16(std::string_view in) {
    std::u16string out;
    for (std::size_t i = 0; i < in.size();) {
        const auto b0 = static_cast<unsigned char>(in[i]);
        char32_t c = b0;
        int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : 0;
        if (extra) c = b0 & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < in.size(); ++k) c = (c << 6) | (static_cast<unsigned char>(in[i + k]) & 0x3F);
        i += 1 + extra;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

// A data object holding a string: album names in UTF-8, file names in UTF-16LE.
std::string StringObject(std::uint16_t type, std::string_view utf8, bool utf16) {
    Record r("dstr", 24);
    r.Put16(12, type);
    std::string body;
    if (utf16) {
        for (char16_t u : Utf8ToUtf16(utf8)) {
            body += static_cast<char>(u & 0xFF);
            body += static_cast<char>(u >> 8);
        }
    } else {
        body.assign(utf8);
    }
    std::string tail;
    Append32(tail, static_cast<std::int32_t>(body.size()));
    Append32(tail, utf16 ? 2 : 1);  // encoding
    Append32(tail, 0);
    tail += body;
    tail.resize((tail.size() + 3) / 4 * 4, '\0');
    r.Append(tail);
    return r.Done();
}

std::string NameRecord(const Entry& e, bool fullSizeMarker) {
    Record r("inam", 76);
    r.Put32(12, 1);  // one child: the file name
    r.Put32(16, e.ResolutionCode == 987 ? 1 : 3003 + e.ResolutionCode);
    r.Put32(20, e.Offset);
    r.Put32(24, e.Size);
    r.Put16(28, e.VertPad);
    r.Put16(30, e.HorzPad);
    r.Put16(32, e.Height);
    r.Put16(34, e.Width);
    r.Put32(40, e.Size);
    r.Put16(44, fullSizeMarker ? 1 : 0);
    r.Append(StringObject(3, e.StoredName, true));
    return r.Done();
}

std::string Container(std::uint16_t type, const std::string& nameRecord) {
    Record r("ctnr", 24);
    r.Put16(12, type);
    r.Append(nameRecord);
    return r.Done();
}

std::string ListHeader(std::string_view tag, std::int32_t count) {
    Record r(tag, 92);
    r.Put32(8, count);  // a list header's third field is its count, not a total length
    return r.Raw();
}

std::string Section(std::int32_t type, const std::string& list) {
    Record r("dsec", 96);
    r.Put32(12, type);
    r.Append(list);
    return r.Done();
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + path.string());
}

bool IsThumbSize(std::size_t size) {
    static constexpr std::size_t Sizes[] = {691200, 153600, 80000, 77440, 46464, 39200, 22880, 20000, 6272,
                                            4100,   3528,   3108,  2520,  6160,  12640, 38400, 614400};
    return std::find(std::begin(Sizes), std::end(Sizes), size) != std::end(Sizes);
}

}  // namespace

std::uint16_t StoredWord(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<std::uint16_t>((b >> 3) | (g >> 3) << 5 | (r >> 3) << 10);
}

Picture Fit(const Picture& picture, int width, int height, std::uint16_t& vertPad, std::uint16_t& horzPad) {
    const double scale = std::min(static_cast<double>(width) / picture.Width, static_cast<double>(height) / picture.Height);
    const int w = std::clamp(static_cast<int>(std::lround(picture.Width * scale)), 1, width);
    const int h = std::clamp(static_cast<int>(std::lround(picture.Height * scale)), 1, height);
    horzPad = static_cast<std::uint16_t>((width - w) / 2);
    vertPad = static_cast<std::uint16_t>((height - h) / 2);
    Picture out;
    out.Width = width - 2 * horzPad;
    out.Height = height - 2 * vertPad;
    out.Rgb.resize(static_cast<std::size_t>(out.Width) * out.Height * 3);
    // Box filter: each output pixel averages the source pixels it covers.
    for (int y = 0; y < out.Height; ++y) {
        const int y0 = y * picture.Height / out.Height;
        const int y1 = std::max(y0 + 1, (y + 1) * picture.Height / out.Height);
        for (int x = 0; x < out.Width; ++x) {
            const int x0 = x * picture.Width / out.Width;
            const int x1 = std::max(x0 + 1, (x + 1) * picture.Width / out.Width);
            unsigned sum[3] = {0, 0, 0};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < 3; ++c) sum[c] += picture.At(sx, sy)[c];
            const unsigned n = static_cast<unsigned>((y1 - y0) * (x1 - x0));
            for (int c = 0; c < 3; ++c) out.At(x, y)[c] = static_cast<std::uint8_t>(sum[c] / n);
        }
    }
    return out;
}

std::string StoredBlock(const Picture& fitted, const Slot& slot, std::uint16_t vertPad, std::uint16_t horzPad) {
    std::string block(static_cast<std::size_t>(slot.Bytes), '\0');
    auto put = [&](int x, int y, std::uint16_t word) {
        const std::size_t at = static_cast<std::size_t>(y) * slot.Stride + static_cast<std::size_t>(x) * 2;
        block[at] = static_cast<char>(word & 0xFF);
        block[at + 1] = static_cast<char>(word >> 8);
    };
    const int rowPixels = slot.Stride / 2;
    for (int y = 0; y < slot.Rows; ++y) {
        for (int x = 0; x < rowPixels; ++x) {
            if (x >= slot.Width || y >= slot.Height) {
                put(x, y, UnusedWord);
                continue;
            }
            const int fx = x - horzPad, fy = y - vertPad;
            if (fx < 0 || fy < 0 || fx >= fitted.Width || fy >= fitted.Height) continue;  // padding stays black
            const std::uint8_t* p = fitted.At(fx, fy);
            put(x, y, StoredWord(p[0], p[1], p[2]));
        }
    }
    return block;
}

std::string JpegBytes(const Picture& picture, int quality) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(picture.Width);
    cinfo.image_height = static_cast<JDIMENSION>(picture.Height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.Rgb.data() + static_cast<std::size_t>(cinfo.next_scanline) * picture.Width * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

std::string PhotoDatabase(const std::vector<Image>& images, const std::vector<Album>& albums) {
    std::string imageList = ListHeader("ilst", static_cast<std::int32_t>(images.size()));
    for (const Image& image : images) {
        Record r("imgr", 152);
        std::int32_t children = 0;
        if (image.SkippedContainer) {
            Entry decoy;
            decoy.ResolutionCode = 987;
            decoy.StoredName = std::string(ThumbStoreName);
            decoy.Size = Slot55.Bytes;
            r.Append(Container(5, NameRecord(decoy, true)));
            ++children;
        }
        for (const Entry& e : image.Entries) {
            r.Append(Container(2, NameRecord(e, e.ResolutionCode == 987)));
            ++children;
        }
        r.Put32(12, children);
        r.Put32(16, image.Id);
        r.Put32(20, image.Id * 7919 + 1);  // unique id, low half
        std::string bytes = r.Done();
        imageList += bytes;
    }

    std::string albumList = ListHeader("alst", static_cast<std::int32_t>(albums.size()));
    for (std::size_t i = 0; i < albums.size(); ++i) {
        Record r("albr", 148);
        r.Put32(12, 1);  // data objects: the name
        r.Put32(16, static_cast<std::int32_t>(albums[i].Members.size()));
        r.Put32(20, static_cast<std::int32_t>(100 + i));  // album id
        r.Put16(30, i == 0 ? 1 : 2);                       // the first album is the whole library
        r.Append(StringObject(1, albums[i].Name, false));
        std::int32_t order = 0;
        for (std::int32_t id : albums[i].Members) {
            Record m("ambr", 40);
            m.Put32(12, order++);
            m.Put32(16, id);
            r.Append(m.Done());
        }
        albumList += r.Done();
    }

    std::string fileList = ListHeader("flst", 1);
    {
        Record f("fent", 124);
        f.Put32(16, 3004);
        f.Put32(20, Slot55.Bytes);
        fileList += f.Done();
    }

    Record header("dbhd", 132);
    header.Put32(16, 1);
    header.Put32(20, 3);  // sections
    header.Append(Section(1, imageList));
    header.Append(Section(2, albumList));
    header.Append(Section(3, fileList));
    return header.Done();
}

std::string DevicePath(std::string_view storedName) {
    std::string path = "/Photos";
    for (char c : storedName) path += c == ':' ? '/' : c;
    return path;
}

std::string Manifest(const std::vector<Image>& images, const std::vector<Album>& albums) {
    std::string out;
    for (std::size_t i = 0; i < albums.size(); ++i) {
        out += "album " + std::to_string(i) + " " + albums[i].Name + "\n";
        for (std::int32_t id : albums[i].Members) out += "member " + std::to_string(i) + " " + std::to_string(id) + "\n";
    }
    for (const Image& image : images) {
        out += "image " + std::to_string(image.Id) + "\n";
        for (std::int32_t code : {1, 2, 3, 987}) {
            const auto e = std::find_if(image.Entries.begin(), image.Entries.end(),
                                        [&](const Entry& x) { return x.ResolutionCode == code; });
            if (e == image.Entries.end()) {
                out += "nosource " + std::to_string(image.Id) + " " + std::to_string(code) + "\n";
                continue;
            }
            out += "source " + std::to_string(image.Id) + " " + std::to_string(code) + " " + std::to_string(e->Offset) +
                   " " + std::to_string(e->Size) + " " + std::to_string(e->VertPad) + " " +
                   std::to_string(e->HorzPad) + " " + DevicePath(e->StoredName) + "\n";
        }
    }
    return out;
}

namespace {

Entry StoreThumb(Library& library, const Picture& picture, const Slot& slot) {
    Entry e;
    e.ResolutionCode = slot.ResolutionCode;
    e.StoredName = std::string(ThumbStoreName);
    const Picture fitted = Fit(picture, slot.Width, slot.Height, e.VertPad, e.HorzPad);
    e.Width = static_cast<std::uint16_t>(fitted.Width);
    e.Height = static_cast<std::uint16_t>(fitted.Height);
    e.Offset = static_cast<std::int32_t>(library.ThumbStore.size());
    e.Size = slot.Bytes;
    library.ThumbStore += StoredBlock(fitted, slot, e.VertPad, e.HorzPad);
    return e;
}

Entry FullSizeEntry(Library& library, const std::string& fullName, std::string bytes, int width, int height) {
    // A size that names a stored picture format would make the file look like a thumbnail.
    if (IsThumbSize(bytes.size())) bytes += '\0';
    Entry e;
    e.ResolutionCode = 987;
    e.StoredName = fullName;
    e.Size = static_cast<std::int32_t>(bytes.size());
    e.Width = static_cast<std::uint16_t>(width);
    e.Height = static_cast<std::uint16_t>(height);
    library.Files.emplace_back(DevicePath(fullName), std::move(bytes));
    return e;
}

}  // namespace

void AddImage(Library& library, std::int32_t id, const Picture& picture, const std::string& fullName,
              const std::string& fullSize) {
    Image image;
    image.Id = id;
    for (const Slot* slot : {&Slot55, &Slot76, &Slot160}) image.Entries.push_back(StoreThumb(library, picture, *slot));
    if (!fullSize.empty()) image.Entries.push_back(FullSizeEntry(library, fullName, fullSize, picture.Width, picture.Height));
    library.Images.push_back(std::move(image));
}

Picture PatternPicture(int width, int height, std::uint32_t seed) {
    Picture p;
    p.Width = width;
    p.Height = height;
    p.Rgb.resize(static_cast<std::size_t>(width) * height * 3);
    std::uint32_t h = seed * 2654435761u + 12345u;
    const int r0 = static_cast<int>(h & 0xFF), g0 = static_cast<int>((h >> 8) & 0xFF), b0 = static_cast<int>((h >> 16) & 0xFF);
    const double cx = width * (0.3 + 0.4 * ((h >> 24) & 0xF) / 15.0), cy = height * 0.5;
    const double radius = std::min(width, height) * 0.3;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* px = p.At(x, y);
            const bool inside = std::hypot(x - cx, y - cy) < radius;
            px[0] = static_cast<std::uint8_t>(inside ? 255 - r0 : (r0 + x * 128 / width) & 0xFF);
            px[1] = static_cast<std::uint8_t>(inside ? 255 - g0 : (g0 + y * 128 / height) & 0xFF);
            px[2] = static_cast<std::uint8_t>(inside ? 255 - b0 : b0);
        }
    }
    return p;
}

Library SyntheticLibrary(int images, int albums) {
    Library library;
    constexpr int Classes = 64;
    // The larger pictures are shared by images of one class, so that a large
    // library stays small on disk; every 55x55 picture is the image's own.
    std::map<int, std::pair<Entry, Entry>> shared;
    std::map<int, Entry> fullSize;
    for (int k = 0; k < images; ++k) {
        Image image;
        image.Id = 200 + k;
        const int cls = k % Classes;
        image.Entries.push_back(StoreThumb(library, PatternPicture(55, 55, static_cast<std::uint32_t>(image.Id)), Slot55));
        if (!shared.count(cls)) {
            const Picture big = PatternPicture(160, 120, 100000u + static_cast<std::uint32_t>(cls));
            shared[cls] = {StoreThumb(library, big, Slot76), StoreThumb(library, big, Slot160)};
        }
        image.Entries.push_back(shared[cls].first);
        image.Entries.push_back(shared[cls].second);
        if (k % 97 != 96) {
            if (!fullSize.count(cls)) {
                char name[64];
                std::snprintf(name, sizeof name, ":Full Resolution:Synthetic:S%02d.JPG", cls);
                const Picture full = PatternPicture(320, 240, 100000u + static_cast<std::uint32_t>(cls));
                fullSize[cls] = FullSizeEntry(library, name, JpegBytes(full, 85), full.Width, full.Height);
            }
            image.Entries.push_back(fullSize[cls]);
        }
        library.Images.push_back(std::move(image));
    }
    Album all{"Photo Library", {}};
    for (const Image& image : library.Images) all.Members.push_back(image.Id);
    library.Albums.push_back(std::move(all));
    for (int j = 1; j < albums; ++j) {
        Album a;
        a.Name = (j % 5 == 0 ? "Été " : "Album ") + std::to_string(j);
        for (int k = j - 1; k < images; k += albums - 1) a.Members.push_back(library.Images[static_cast<std::size_t>(k)].Id);
        library.Albums.push_back(std::move(a));
    }
    return library;
}

std::string WriteDeviceFolder(const std::string& out, const DeviceFolder& device, bool attach) {
    namespace fs = std::filesystem;
    const fs::path target = fs::absolute(fs::path(out).lexically_normal());
    const fs::path name = target.filename().empty() ? target.parent_path().filename() : target.filename();
    const fs::path parent = target.filename().empty() ? target.parent_path().parent_path() : target.parent_path();
    std::error_code ec;
    if (fs::exists(parent / name, ec)) return (parent / name).string() + " exists already";
    const fs::path build = attach ? parent / ("." + name.string() + ".building-" + std::to_string(::getpid())) : parent / name;
    try {
        fs::create_directories(build / "files");
        std::string info;
        for (const auto& [key, value] : device.Info) info += key + "=" + value + "\n";
        WriteFile(build / "afc-info", info);
        if (!device.Pairing.empty()) WriteFile(build / "pairing", device.Pairing + "\n");
        for (const auto& [path, bytes] : device.Files) {
            if (path.empty() || path[0] != '/' || path.find("/../") != std::string::npos) throw std::runtime_error("bad device path " + path);
            WriteFile(build / "files" / path.substr(1), bytes);
        }
        if (attach) fs::rename(build, parent / name);
    } catch (const std::exception& e) {
        fs::remove_all(build, ec);
        return e.what();
    }
    return {};
}

}  // namespace sampleipad
