#include "TXP_RadioBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "SkinArt.h"

TXP_RadioBox::TXP_RadioBox(QWidget* parent)
    : QWidget(parent), strip_(skin::WithTransparentColor(skin::Bitmap("XPRADIOBOX"), QColor(255, 0, 255))) {
    setFocusPolicy(Qt::StrongFocus);
}

void TXP_RadioBox::setText(const QString& text) {
    text_ = text;
    update();
}

void TXP_RadioBox::setChecked(bool checked) {
    if (checked_ == checked) return;
    checked_ = checked;
    update();
    if (!checked) return;
    if (QWidget* parent = parentWidget())
        for (auto* sibling : parent->findChildren<TXP_RadioBox*>(Qt::FindDirectChildrenOnly))
            if (sibling != this && sibling->GroupIndex == GroupIndex) sibling->setChecked(false);
    if (OnClick) OnClick();
}

int TXP_RadioBox::CurrentFrame() const {
    if (!isEnabled()) return checked_ ? 3 : 2;
    if (over_) return checked_ ? 5 : 4;
    return checked_ ? 1 : 0;
}

void TXP_RadioBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Color);
    const int mark = static_cast<int>(13 * skin::PixelScale(this) + 0.5);
    const int textLeft = mark + static_cast<int>(4 * skin::PixelScale(this) + 0.5);
    p.drawPixmap(QRect(0, (height() - mark) / 2, mark, mark), strip_, QRect(CurrentFrame() * 13, 0, 13, 13));
    p.setPen(isEnabled() ? palette().color(QPalette::WindowText) : QColor(128, 128, 128));
    const QRect caption(textLeft, 0, width() - textLeft, height());
    p.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
    if (hasFocus()) {
        p.setPen(QPen(QColor(128, 128, 128), 1, Qt::DotLine));
        const int w = std::min(caption.width(), QFontMetrics(font()).horizontalAdvance(text_) + 2);
        p.drawRect(QRect(textLeft - 1, 1, w, height() - 3));
    }
}

void TXP_RadioBox::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) pressed_ = true;
    e->accept();
}

void TXP_RadioBox::mouseMoveEvent(QMouseEvent* e) { e->accept(); }

void TXP_RadioBox::mouseReleaseEvent(QMouseEvent* e) {
    const bool click = pressed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
    pressed_ = false;
    e->accept();
    if (click) setChecked(true);
}

void TXP_RadioBox::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Space) {
        setChecked(true);
        return;
    }
    QWidget::keyPressEvent(e);
}

void TXP_RadioBox::enterEvent(QEnterEvent*) {
    over_ = true;
    update();
}

void TXP_RadioBox::leaveEvent(QEvent*) {
    over_ = false;
    update();
}
