// The parts of a copy run that need no window: the commands for one photo,
// the progress text, and making the output file from the fetched bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "iPadcomponent.h"

namespace photocopy {

// The reader's resolution code for a stored BackupResolution. A value
// outside 1 to 4 (only an edited setting has one) counts as 1.
std::int32_t ResolutionCode(int backupResolution);

// The thumbnail codes a photo without a full-size picture falls back to, largest first.
inline constexpr std::int32_t FallbackCodes[] = {TiPad::Code160, TiPad::Code76, TiPad::Code55};

// "Copying 3 of 12 files" (Photo Library) or "... files." (Saved Photos).
std::string ProgressText(int index, std::size_t count, bool library);

// Where a camera photo comes from and goes to, both without extension: the
// entry "100APPLEIMG_0001" is "/DCIM/100APPLE/IMG_0001" on the device and
// the folder + "/" + entry here.
struct CameraPaths {
    std::string Device;
    std::string Local;
};
CameraPaths CameraCommandPaths(std::string_view backupPath, std::string_view entry);

// A stored thumbnail with the entry's paddings cut off, through the pixel
// rule. Empty when the bytes are no thumbnail format the system decodes or
// nothing is left inside the paddings.
TBitmap24 ThumbnailPicture(std::string_view stored, int vertPadding, int horzPadding);

// An uncompressed 24-bit Windows bitmap file, rows bottom-up, each padded to 4 bytes.
std::string BmpFile(const TBitmap24& bitmap);

// What is known of the photo whose bytes were fetched into the working file.
struct FetchedPhoto {
    std::string Entry;            // the image id as text
    std::int32_t Size = 0;        // bytes asked for
    bool FullSize = false;        // a full-size file, copied as it is
    std::string FullSizeExt;      // its extension with the dot
    int VertPadding = 0;
    int HorzPadding = 0;
};

// Makes the output file in `backupFolder` from `workingFile`: the full-size
// file unchanged (moved there when it can be, which uses the working file
// up), else the thumbnail as JPEG (format 2) or BMP (format 1). The file
// appears under its name only when it is complete.
// Returns what went wrong, empty on success.
std::string MakeOutputPhoto(const std::string& workingFile, const std::string& backupFolder, const FetchedPhoto& photo,
                            int backupFormat);

}  // namespace photocopy
