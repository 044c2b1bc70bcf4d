// The camera thumbnails the connector pulled into the local camera folder,
// made ready for the grid.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct TSavedPhoto {
    std::string Key;   // the file's name without ".THM" / ".JPG"
    std::string File;  // the ".JPG" file to show
};

// Lists the folder in byte order of the names and renames every "*.THM" to
// "*.JPG" on the way (the thumbnails are JPEG images). Exact, case-sensitive
// extensions: lower-case ones are passed over, as are entries that are no
// regular files. A rename that fails, or would replace an existing file,
// leaves that thumbnail out. Nothing when the folder cannot be listed.
std::optional<std::vector<TSavedPhoto>> PrepareSavedPhotos(const std::string& cameraFolder);

// The picture of a saved photo's cell: the top-left `size` x `size` pixels.
struct TBitmap24;
bool LoadSavedPhotoPicture(const std::string& file, int size, TBitmap24& bitmap);
