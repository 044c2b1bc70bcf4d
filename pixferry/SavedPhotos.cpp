#include "SavedPhotos.h"

#include <algorithm>
#include <cstdio>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "FileUtil.h"
#include "JpegCodec.h"

namespace {

std::string ReplaceAll(std::string s, std::string_view from, std::string_view to) {
    for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
    return s;
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A camera thumbnail is a few kilobytes; anything far larger is no thumbnail.
constexpr std::size_t MaxPictureBytes = 16u << 20;

}  // namespace

std::optional<std::vector<TSavedPhoto>> PrepareSavedPhotos(const std::string& cameraFolder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(cameraFolder.c_str());
    if (!dir) return std::nullopt;
    while (const dirent* e = ::readdir(dir)) names.emplace_back(e->d_name);
    ::closedir(dir);
    // The whole listing first: renaming while listing could show a file twice.
    std::sort(names.begin(), names.end());

    std::vector<TSavedPhoto> photos;
    for (const std::string& name : names) {
        const std::size_t dot = name.rfind('.');
        if (dot == std::string::npos) continue;
        const std::string_view ext = std::string_view(name).substr(dot);
        const std::string path = cameraFolder + name;
        if ((ext != ".THM" && ext != ".JPG") || !IsRegularFile(path)) continue;
        if (ext == ".JPG") {
            photos.push_back({ReplaceAll(name, ".JPG", ""), path});
            continue;
        }
        const std::string renamed = cameraFolder + ReplaceAll(name, ".THM", ".JPG");
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, renamed.c_str(), RENAME_NOREPLACE) != 0) continue;
        photos.push_back({ReplaceAll(name, ".THM", ""), renamed});
    }
    return photos;
}

bool LoadSavedPhotoPicture(const std::string& file, int size, TBitmap24& bitmap) {
    const auto bytes = px::ReadFileBounded(file, MaxPictureBytes);
    if (!bytes) {
        bitmap.Clear();
        return false;
    }
    return DecodeJpegCorner(*bytes, size, size, bitmap);
}
