// The light button of the settings column, drawn from "XPBUTTONSMALL" (five
// frames of 16 by 19).
#pragma once

#include "TDaxButtonSmall.h"

class TXP_ButtonSmall : public TDaxButtonSmall {
    Q_OBJECT

public:
    explicit TXP_ButtonSmall(QWidget* parent);
};
