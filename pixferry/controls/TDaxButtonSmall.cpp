#include "TDaxButtonSmall.h"

TDaxButtonSmall::TDaxButtonSmall(QWidget* parent) : TDaxButtonSmall(parent, "DAXBUTTONSMALL", 25) {}

TDaxButtonSmall::TDaxButtonSmall(QWidget* parent, const char* bitmap, int frameWidth)
    : TDaxButton(parent, bitmap, frameWidth) {
    PicPos = TPicPos::pTop;
}
