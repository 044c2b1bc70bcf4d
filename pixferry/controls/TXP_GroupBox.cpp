#include "TXP_GroupBox.h"

#include <QMouseEvent>
#include <QPainter>

TXP_GroupBox::TXP_GroupBox(QWidget* parent) : QWidget(parent) {}

void TXP_GroupBox::setTitle(const QString& title) {
    title_ = title;
    update();
}

void TXP_GroupBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Color);
    const QFontMetrics fm(font());
    const int lineY = fm.height() / 2;
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(BorderColor);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.5, lineY + 0.5, width() - 1, height() - lineY - 1), 3, 3);
    if (title_.isEmpty()) return;
    const QRect caption(8, 0, fm.horizontalAdvance(title_) + 4, fm.height());
    p.fillRect(caption, Color);
    p.setPen(CaptionColor);
    p.drawText(caption, Qt::AlignCenter | Qt::TextSingleLine, title_);
}

void TXP_GroupBox::mousePressEvent(QMouseEvent* e) { e->accept(); }
void TXP_GroupBox::mouseMoveEvent(QMouseEvent* e) { e->accept(); }
void TXP_GroupBox::mouseReleaseEvent(QMouseEvent* e) { e->accept(); }
