// The small dark button of title bars, drawn from "DAXBUTTONSMALL" (five
// frames of 25 by 22).
#pragma once

#include "TDaxButton.h"

class TDaxButtonSmall : public TDaxButton {
    Q_OBJECT

public:
    explicit TDaxButtonSmall(QWidget* parent);

protected:
    TDaxButtonSmall(QWidget* parent, const char* bitmap, int frameWidth);
};
