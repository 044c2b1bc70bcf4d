#include "TSunImage.h"

#include <QPainter>

#include "SkinArt.h"

TSunImage::TSunImage(QWidget* parent) : QWidget(parent) {}

void TSunImage::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void TSunImage::SetStretch(bool stretch) {
    stretch_ = stretch;
    update();
}

void TSunImage::SetSelected(bool selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    update();
}

void TSunImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!picture_.isNull()) {
        if (stretch_)
            p.drawPixmap(rect(), picture_);
        else
            p.drawPixmap(QRectF(QPointF(0, 0), QSizeF(picture_.size()) * skin::PixelScale(this)), picture_,
                         QRectF(picture_.rect()));
    }
    if (selected_) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::red);
        const int w = width(), h = height();
        p.drawRect(0, 0, w, 2);
        p.drawRect(0, h - 2, w, 2);
        p.drawRect(0, 2, 2, h - 4);
        p.drawRect(w - 2, 2, 2, h - 4);
    }
}
