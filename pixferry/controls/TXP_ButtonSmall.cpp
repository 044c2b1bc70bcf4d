#include "TXP_ButtonSmall.h"

TXP_ButtonSmall::TXP_ButtonSmall(QWidget* parent) : TDaxButtonSmall(parent, "XPBUTTONSMALL", 16) {
    PicOffSet = 2;
}
