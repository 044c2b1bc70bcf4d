// The dark push button drawn from "DAXBUTTON" (five frames of 16 by 29), with
// an optional glyph beside or above its caption.
#pragma once

#include <QColor>
#include <QPixmap>

#include "SkinButton.h"

enum class TPicPos { pLeft, pTop };

class TDaxButton : public TSkinButton {
    Q_OBJECT

public:
    explicit TDaxButton(QWidget* parent);

    QPixmap Glyph;
    TPicPos PicPos = TPicPos::pLeft;
    bool PicTrans = false;
    QColor PicTransColor = Qt::black;
    int PicOffSet = 0;  // pixels between glyph and caption
    QColor CaptionColor = Qt::black;

    void SetGlyph(const QPixmap& glyph);

protected:
    TDaxButton(QWidget* parent, const char* bitmap, int frameWidth);
    void paintEvent(QPaintEvent*) override;
    QSize sizeHint() const override;

private:
    QPixmap strip_;
    int frameWidth_;
};
