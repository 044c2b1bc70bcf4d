#include "TsPanel.h"

#include <QPainter>

#include "SkinArt.h"

TsPanel::TsPanel(QWidget* parent) : QWidget(parent) {}

void TsPanel::setText(const QString& text) {
    text_ = text;
    update();
}

void TsPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), PaintingColor);
    if (!Background.isNull()) {
        p.setOpacity(BackgroundPercent / 100.0);
        // Ends kept, the middle stretched, so a framed picture fits any width.
        skin::DrawNineSlice(p, Background, 0, Background.width(), rect());
        p.setOpacity(1);
    }
    if (Bevel) {
        p.setPen(QColor(255, 255, 255, 90));
        p.drawLine(0, 0, width() - 1, 0);
        p.drawLine(0, 0, 0, height() - 1);
        p.setPen(QColor(0, 0, 0, 90));
        p.drawLine(0, height() - 1, width() - 1, height() - 1);
        p.drawLine(width() - 1, 0, width() - 1, height() - 1);
    }
    p.setPen(CaptionColor);
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text_);
}
