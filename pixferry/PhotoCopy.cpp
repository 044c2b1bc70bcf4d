#include "PhotoCopy.h"

#include <cstdio>

#include <sys/stat.h>

#include "FileUtil.h"
#include "InterfaceTexts.h"
#include "JpegCodec.h"

namespace photocopy {

namespace {

void PutLE(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

std::int32_t ResolutionCode(int backupResolution) {
    switch (backupResolution) {
        case 2: return TiPad::Code160;
        case 3: return TiPad::Code76;
        case 4: return TiPad::Code55;
        default: return TiPad::CodeFullSize;
    }
}

std::string ProgressText(int index, std::size_t count, bool library) {
    return GetInterfaceText(itext::Copying) + " " + std::to_string(index) + " " + GetInterfaceText(itext::Of) + " " +
           std::to_string(count) + " " + GetInterfaceText(library ? itext::FilesLibrary : itext::FilesSaved);
}

CameraPaths CameraCommandPaths(std::string_view backupPath, std::string_view entry) {
    CameraPaths paths;
    paths.Local = std::string(backupPath);
    if (paths.Local.empty() || paths.Local.back() != '/') paths.Local += '/';
    paths.Local += entry;
    const std::size_t img = entry.find("IMG");
    const std::size_t split = img == std::string_view::npos ? 0 : img;
    paths.Device = "/DCIM/" + std::string(entry.substr(0, split)) + "/" + std::string(entry.substr(split));
    return paths;
}

TBitmap24 ThumbnailPicture(std::string_view stored, int vertPadding, int horzPadding) {
    TBitmap24 picture;
    std::int32_t height = 0, width = 0, format = 0;
    TiPad::GetThumbFormat(static_cast<std::int32_t>(std::min<std::size_t>(stored.size(), INT32_MAX)), height, width, format);
    const int stride = TiPad::StoredRowStride(format);
    const int w = width - 2 * horzPadding, h = height - 2 * vertPadding;
    if (stride == 0 || w <= 0 || h <= 0) return picture;
    picture.Resize(w, h);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stored.data());
    for (int y = 0; y < h; ++y)
        TiPad::ConvertRow(bytes + static_cast<std::size_t>(y + vertPadding) * stride + 2 * horzPadding, w,
                          picture.ScanLine(y));
    return picture;
}

std::string BmpFile(const TBitmap24& bitmap) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(bitmap.Width) * 3 + 3) & ~3u;
    const std::uint32_t image = stride * static_cast<std::uint32_t>(bitmap.Height);
    std::string out;
    out.reserve(54 + image);
    out += "BM";
    PutLE(out, 54 + image, 4);
    PutLE(out, 0, 4);
    PutLE(out, 54, 4);
    PutLE(out, 40, 4);  // the info header
    PutLE(out, static_cast<std::uint32_t>(bitmap.Width), 4);
    PutLE(out, static_cast<std::uint32_t>(bitmap.Height), 4);  // positive: bottom-up
    PutLE(out, 1, 2);
    PutLE(out, 24, 2);
    PutLE(out, 0, 4);  // no compression
    PutLE(out, image, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0, 4);
    const std::string padding(stride - static_cast<std::uint32_t>(bitmap.Width) * 3, '\0');
    for (int y = bitmap.Height; y-- > 0;) {
        out.append(reinterpret_cast<const char*>(bitmap.ScanLine(y)), static_cast<std::size_t>(bitmap.Width) * 3);
        out += padding;
    }
    return out;
}

std::string MakeOutputPhoto(const std::string& workingFile, const std::string& backupFolder, const FetchedPhoto& photo,
                            int backupFormat) {
    // A fetch that failed leaves no working file or a short one; stale bytes
    // of another photo never get here because the file goes before each fetch.
    struct stat st;
    if (::stat(workingFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "no fetched file for photo " + photo.Entry;
    if (photo.Size <= 0 || st.st_size != photo.Size)
        return "photo " + photo.Entry + ": fetched " + std::to_string(st.st_size) + " bytes of " + std::to_string(photo.Size);
    const std::string folder = px::WithOneTrailingSlash(backupFolder);
    if (photo.FullSize) {
        // Moved into place when both folders share a file system, so the
        // bytes are written once; the connector makes a new working file
        // for the next photo anyway.
        const std::string target = folder + photo.Entry + photo.FullSizeExt;
        if (::rename(workingFile.c_str(), target.c_str()) == 0) return {};
        return px::CopyFileAtomically(workingFile, target);
    }

    const auto stored = px::ReadFileBounded(workingFile, 1u << 20);
    if (!stored) return "cannot read the fetched file for photo " + photo.Entry;
    const TBitmap24 picture = ThumbnailPicture(*stored, photo.VertPadding, photo.HorzPadding);
    if (picture.Empty()) return "photo " + photo.Entry + ": no picture in " + std::to_string(stored->size()) + " bytes";
    std::string name, bytes;
    if (backupFormat == 2) {
        auto jpeg = EncodeJpeg(picture);
        if (!jpeg) return "photo " + photo.Entry + ": the JPEG encoder failed";
        name = photo.Entry + ".jpg";
        bytes = std::move(*jpeg);
    } else if (backupFormat == 1) {
        name = photo.Entry + ".bmp";
        bytes = BmpFile(picture);
    } else {
        return {};
    }
    return px::WriteFileAtomically(folder + name, bytes);
}

}  // namespace photocopy
