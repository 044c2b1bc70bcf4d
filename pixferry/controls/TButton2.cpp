#include "TButton2.h"

#include <QPainter>

#include "SkinArt.h"

TButton2::TButton2(QWidget* parent) : TSkinButton(parent), strip_(skin::Bitmap("BUTTON2")) {
    QFont f = font();
    f.setBold(true);
    setFont(f);
}

void TButton2::SetCaption(const QString& caption) {
    setText(caption);
    const int w = QFontMetrics(font()).horizontalAdvance(caption) + 10;
    const int parentWidth = parentWidget() ? parentWidget()->width() : w + 10;
    setGeometry(parentWidth - 10 - w, y(), w, height());
}

void TButton2::paintEvent(QPaintEvent*) {
    QPainter p(this);
    skin::DrawThreeSlice(p, strip_, isDown() ? 1 : 0, 16, 5, rect());
    p.setPen(Qt::white);
    p.drawText(rect().translated(isDown() ? 1 : 0, isDown() ? 1 : 0), Qt::AlignCenter | Qt::TextSingleLine, text());
}
