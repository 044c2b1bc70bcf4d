// The push button of the update panel, drawn from "BUTTON2" (two frames of 16
// by 24, normal and pressed) in three slices, with a white bold caption.
#pragma once

#include <QPixmap>

#include "SkinButton.h"

class TButton2 : public TSkinButton {
    Q_OBJECT

public:
    explicit TButton2(QWidget* parent);
    // Sizes the button to the caption and puts it 10 pixels from the parent's right edge.
    void SetCaption(const QString& caption);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPixmap strip_;
};
