#include "TDaxButton.h"

#include <QPainter>

#include "SkinArt.h"

TDaxButton::TDaxButton(QWidget* parent) : TDaxButton(parent, "DAXBUTTON", 16) {}

TDaxButton::TDaxButton(QWidget* parent, const char* bitmap, int frameWidth)
    : TSkinButton(parent), strip_(skin::Bitmap(bitmap)), frameWidth_(frameWidth) {}

void TDaxButton::SetGlyph(const QPixmap& glyph) {
    Glyph = glyph;
    update();
}

QSize TDaxButton::sizeHint() const { return {strip_.isNull() ? 16 : frameWidth_, strip_.isNull() ? 16 : strip_.height()}; }

void TDaxButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const Look look = CurrentLook();
    skin::DrawNineSlice(p, strip_, look, frameWidth_, rect());

    QPixmap glyph = Glyph;
    if (!glyph.isNull() && PicTrans) glyph = skin::WithTransparentColor(glyph, PicTransColor);
    if (!glyph.isNull() && look == Disabled) glyph = skin::Greyed(glyph);

    const QString caption = text();
    const QFontMetrics fm(font());
    const QSize textSize = caption.isEmpty() ? QSize() : QSize(fm.horizontalAdvance(caption), fm.height());
    const double scale = skin::PixelScale(this);
    const QSize glyphSize = glyph.isNull() ? QSize() : (QSizeF(glyph.size()) * scale).toSize();
    const int gap = (!glyph.isNull() && !caption.isEmpty()) ? static_cast<int>(PicOffSet * scale) : 0;
    const int shift = look == Pressed ? 1 : 0;  // the face moves with the press

    // The glyph and the caption as one block, centred.
    QSize block;
    if (PicPos == TPicPos::pTop)
        block = QSize(std::max(textSize.width(), glyphSize.width()), glyphSize.height() + gap + textSize.height());
    else
        block = QSize(glyphSize.width() + gap + textSize.width(), std::max(textSize.height(), glyphSize.height()));
    const QPoint origin((width() - block.width()) / 2 + shift, (height() - block.height()) / 2 + shift);

    QRect textRect;
    if (PicPos == TPicPos::pTop) {
        if (!glyph.isNull())
            p.drawPixmap(QRect(QPoint(origin.x() + (block.width() - glyphSize.width()) / 2, origin.y()), glyphSize), glyph);
        textRect = QRect(origin.x(), origin.y() + glyphSize.height() + gap, block.width(), textSize.height());
    } else {
        if (!glyph.isNull())
            p.drawPixmap(QRect(QPoint(origin.x(), origin.y() + (block.height() - glyphSize.height()) / 2), glyphSize), glyph);
        textRect = QRect(origin.x() + glyphSize.width() + gap, origin.y(), textSize.width(), block.height());
    }
    if (!caption.isEmpty()) {
        p.setPen(look == Disabled ? QColor(128, 128, 128) : CaptionColor);
        p.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, caption);
    }
}
