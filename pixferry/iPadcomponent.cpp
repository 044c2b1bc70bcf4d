#include "iPadcomponent.h"

void TiPad::SetLocalFolder(std::string folder) { LocalFolder_ = std::move(folder); }

void TiPad::LoadPhotoDatabase() { AlbumNames.clear(); }
