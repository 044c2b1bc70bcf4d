// libFuzzer target: the input is a photo database. It is parsed as
// LoadPhotoDatabase parses the file (straight from memory: writing the file
// for every input would make the run mostly disk work), then the sources and
// thumbnails of its first images are asked for, against a fixed thumbnail store.
//   reader_fuzz [corpus folders] [-max_total_time=600] ...
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "iPadcomponent.h"

namespace {

std::string Folder;

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void Setup() {
    std::string templ = (std::filesystem::temp_directory_path() / "reader-fuzz-XXXXXX").string();
    if (!::mkdtemp(templ.data())) std::abort();
    Folder = templ + "/";
    // Enough store for pictures at small offsets; larger offsets meet its end.
    std::string store(64 * 1024, '\0');
    for (std::size_t k = 0; k < store.size(); ++k) store[k] = static_cast<char>(k * 131 + 7);
    WriteFile(Folder + "adap.ant", store);
    std::atexit([] { std::filesystem::remove_all(Folder); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (Folder.empty()) Setup();
    TiPad iPad;
    iPad.SetLocalFolder(Folder);
    iPad.LoadPhotoDatabaseFrom(std::string(reinterpret_cast<const char*>(data), size));
    if (iPad.AlbumNames.size() != iPad.AlbumMembers.size() || iPad.ImageIds.size() != iPad.ImagePositions.size())
        std::abort();

    std::int32_t ids[17] = {INT_MIN};
    std::size_t n = 1;
    for (std::size_t k = 0; k < iPad.ImageIds.size() && n < 17; ++k) ids[n++] = std::atoi(iPad.ImageIds[k].c_str());
    for (std::size_t k = 0; k < n; ++k) {
        for (std::int32_t code : {1, 2, 3, 987, 0, INT_MAX}) {
            std::string path;
            std::int32_t offset = 0, bytes = 0;
            std::uint16_t v = 0, h = 0;
            iPad.GetImageSource(ids[k], code, path, offset, bytes, v, h);
            if (!path.empty() && (offset < 0 || bytes <= 0)) std::abort();
        }
        for (std::int32_t code : {1, 2, 3}) {
            TBitmap24 bitmap;
            iPad.ReadThumbnail(ids[k], code, bitmap);
            if (!bitmap.Empty() && bitmap.Pixels.size() != static_cast<std::size_t>(bitmap.Width) * bitmap.Height * 3)
                std::abort();
        }
    }
    return 0;
}
