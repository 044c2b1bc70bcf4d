// A tiny photo database written field by field with literal offsets and
// lengths, independent of the sample-iPad builder: if the builder and the
// reader shared a mistake about the layout, this file would still catch it.
//
// Layout (byte offsets in the file):
//     0  file header, first section at 12, 924 bytes in all
//    12  section type 2 (albums), header 16, total 184
//    28    list header, header 12, 2 albums
//    40    album "Hé": header 24, total 100, 2 data objects, 2 members
//    64      name object: header 16, total 32, string length 3 at 80, text at 92
//    96      member id 7, header 20, total 24
//   120      member id 9, header 20, total 20
//   140    album "Empty": header 20, total 56, 0 members
//   160      name object: header 16, total 36, string length 5 at 176, text at 188
//   196  section type 1 (images), header 16, total 712
//   212    list header, header 12, 3 images
//   224    image 7: header 20, total 504, 4 children
//   244      container type 5 (passed over), total 96: a full-size decoy
//            (marker 1, offset 0, size 6160) named "X"
//   340      container type 2, total 136: 55x55 at 100, size 6160, paddings 1/2,
//            name record at 356, file name ":Thumbs:F3004_1.ithmb" at 432
//   476      container type 2, total 136: 160x120 at 6260, size 38400, paddings 0/20
//   612      container type 6, total 116: full size, marker 1, offset 0, size 1234,
//            paddings 5/6, name record at 628, file name ":Full:A.JPG" at 704
//   728    image 9: header 24, total 160, 1 child
//   752      container type 2, total 136: 76x76 at 44660, size 12640, paddings 3/4
//   888    image -3: header 20, total 20, no children
//   908  section type 3, header 16, total 16
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace handmade {

class Bytes {
public:
    Bytes& Tag(std::string_view t) {
        Data.append(t.substr(0, 4));
        return *this;
    }
    Bytes& I32(std::int32_t v) {
        for (int k = 0; k < 4; ++k) Data += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * k)) & 0xFF);
        return *this;
    }
    Bytes& U16(std::uint16_t v) {
        Data += static_cast<char>(v & 0xFF);
        Data += static_cast<char>(v >> 8);
        return *this;
    }
    Bytes& Zeros(std::size_t n) {
        Data.append(n, '\0');
        return *this;
    }
    Bytes& Raw(std::string_view s) {
        Data.append(s);
        return *this;
    }
    Bytes& Utf16(std::string_view ascii) {
        for (char c : ascii) U16(static_cast<unsigned char>(c));
        return *this;
    }
    // The hand-made layout says the next field starts here.
    Bytes& At(std::size_t offset) {
        if (Data.size() != offset)
            throw std::logic_error("layout at " + std::to_string(Data.size()) + ", expected " + std::to_string(offset));
        return *this;
    }
    std::string Data;
};

// An image name record (48-byte header) and its file-name object.
inline void NameRecord(Bytes& b, std::int32_t offset, std::int32_t size, std::uint16_t vert, std::uint16_t horz,
                       std::uint16_t marker, std::string_view name, std::int32_t nameObjectTotal) {
    b.Tag("inam").I32(48).I32(48 + nameObjectTotal).Zeros(8).I32(offset).I32(size);
    b.U16(vert).U16(horz).U16(0).U16(0).I32(0).I32(0).U16(marker).Zeros(2);
    b.Tag("nobj").I32(16).I32(nameObjectTotal).U16(3).Zeros(2);
    b.I32(static_cast<std::int32_t>(name.size() * 2)).Zeros(8).Utf16(name);
}

inline std::string Database() {
    Bytes b;
    b.At(0).Tag("fhdr").I32(12).I32(924);
    b.At(12).Tag("sect").I32(16).I32(184).I32(2);
    b.At(28).Tag("alst").I32(12).I32(2);
    b.At(40).Tag("albm").I32(24).I32(100).I32(2).I32(2).Zeros(4);
    b.At(64).Tag("nobj").I32(16).I32(32).U16(1).Zeros(2);
    b.At(80).I32(3).Zeros(8).Raw("H\xC3\xA9").Zeros(1);
    b.At(96).Tag("mmbr").I32(20).I32(24).I32(0).I32(7).Zeros(4);
    b.At(120).Tag("mmbr").I32(20).I32(20).I32(1).I32(9);
    b.At(140).Tag("albm").I32(20).I32(56).I32(1).I32(0);
    b.At(160).Tag("nobj").I32(16).I32(36).U16(1).Zeros(2);
    b.At(176).I32(5).Zeros(8).Raw("Empty").Zeros(3);

    b.At(196).Tag("sect").I32(16).I32(712).I32(1);
    b.At(212).Tag("ilst").I32(12).I32(3);
    b.At(224).Tag("imag").I32(20).I32(504).I32(4).I32(7);
    b.At(244).Tag("cont").I32(16).I32(96).U16(5).U16(0);
    NameRecord(b.At(260), 0, 6160, 0, 0, 1, "X", 32);
    b.Zeros(2);
    b.At(340).Tag("cont").I32(16).I32(136).U16(2).U16(0);
    NameRecord(b.At(356), 100, 6160, 1, 2, 0, ":Thumbs:F3004_1.ithmb", 72);
    b.Zeros(2);
    b.At(476).Tag("cont").I32(16).I32(136).U16(2).U16(0);
    NameRecord(b.At(492), 6260, 38400, 0, 20, 0, ":Thumbs:F3004_1.ithmb", 72);
    b.Zeros(2);
    b.At(612).Tag("cont").I32(16).I32(116).U16(6).U16(0);
    NameRecord(b.At(628), 0, 1234, 5, 6, 1, ":Full:A.JPG", 52);
    b.Zeros(2);
    b.At(728).Tag("imag").I32(24).I32(160).I32(1).I32(9).Zeros(4);
    b.At(752).Tag("cont").I32(16).I32(136).U16(2).U16(0);
    NameRecord(b.At(768), 44660, 12640, 3, 4, 0, ":Thumbs:F3004_1.ithmb", 72);
    b.Zeros(2);
    b.At(888).Tag("imag").I32(20).I32(20).I32(0).I32(-3);

    b.At(908).Tag("sect").I32(16).I32(16).I32(3);
    b.At(924);
    return b.Data;
}

// Field positions that the tests below corrupt.
inline constexpr std::size_t FirstSectionField = 4;
inline constexpr std::size_t AlbumSectionType = 24;
inline constexpr std::size_t ImageSectionType = 208;
inline constexpr std::size_t AlbumNameText = 92;
inline constexpr std::size_t AlbumNameLength = 80;
inline constexpr std::size_t Album0MemberCount = 56;
inline constexpr std::size_t Album1Total = 148;
inline constexpr std::size_t ImageCount = 220;
inline constexpr std::size_t Image7ChildCount = 236;
inline constexpr std::size_t Image9Total = 736;
inline constexpr std::size_t Container55Total = 348;
inline constexpr std::size_t Decoy55Type2Bytes = 258;  // the two bytes after the decoy's type
inline constexpr std::size_t FullNameLength = 692;
inline constexpr std::size_t FullNameText = 704;

inline void Put32(std::string& data, std::size_t at, std::int32_t v) {
    for (int k = 0; k < 4; ++k) data[at + k] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * k)) & 0xFF);
}

}  // namespace handmade
