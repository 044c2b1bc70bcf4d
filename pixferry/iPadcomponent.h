// The photo-library reader: works on the local copies of the device's photo
// database ("adbp.ant") and thumbnail store ("adap.ant").
#pragma once

#include <string>
#include <vector>

class TiPad {
public:
    void SetLocalFolder(std::string folder);
    const std::string& LocalFolder() const { return LocalFolder_; }

    // Parses LocalFolder + "adbp.ant" into the lists below.
    void LoadPhotoDatabase();

    std::vector<std::string> AlbumNames;
    std::vector<std::string> SelectedPhotos;

private:
    std::string LocalFolder_;
};
