#include "SkinArt.h"

#include <algorithm>

#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <QVariant>
#include <QWidget>

namespace skin {

double PixelScale(const QWidget* widget) {
    const QVariant v = widget->property("pixelScale");
    return v.isValid() ? v.toDouble() : 1.0;
}

void SetPixelScale(QWidget* widget, double scale) { widget->setProperty("pixelScale", scale); }

QPixmap Bitmap(const char* name) { return QPixmap(QStringLiteral(":/skin/%1.png").arg(QLatin1String(name))); }

namespace {

// One axis: the source spans [0, size) with halves of size/2 and a centre
// line at size/2; returns {kept start, kept end} in target pixels.
struct Cut {
    int head, tail, centre;
};

Cut CutAxis(int size, int target) {
    int half = size / 2;
    const int head = std::min(half, target / 2);
    const int tail = std::min(half, target - head);
    return {head, tail, std::min(size / 2, size - 1)};
}

}  // namespace

void DrawNineSlice(QPainter& p, const QPixmap& strip, int index, int frameWidth, const QRect& target) {
    if (strip.isNull() || target.isEmpty()) return;
    const int fx = index * frameWidth, fh = strip.height();
    const Cut x = CutAxis(frameWidth, target.width()), y = CutAxis(fh, target.height());
    // Source and target intervals for the three bands of each axis.
    const int sx[3][2] = {{0, x.head}, {x.centre, 1}, {frameWidth - x.tail, x.tail}};
    const int tx[3][2] = {{0, x.head}, {x.head, target.width() - x.head - x.tail}, {target.width() - x.tail, x.tail}};
    const int sy[3][2] = {{0, y.head}, {y.centre, 1}, {fh - y.tail, y.tail}};
    const int ty[3][2] = {{0, y.head}, {y.head, target.height() - y.head - y.tail}, {target.height() - y.tail, y.tail}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            if (tx[c][1] <= 0 || ty[r][1] <= 0) continue;
            p.drawPixmap(QRect(target.x() + tx[c][0], target.y() + ty[r][0], tx[c][1], ty[r][1]), strip,
                         QRect(fx + sx[c][0], sy[r][0], sx[c][1], sy[r][1]));
        }
}

void DrawThreeSlice(QPainter& p, const QPixmap& strip, int index, int frameWidth, int end, const QRect& target) {
    if (strip.isNull() || target.isEmpty()) return;
    const int fx = index * frameWidth, h = strip.height();
    const int e = std::min(end, target.width() / 2);
    p.drawPixmap(QRect(target.x(), target.y(), e, target.height()), strip, QRect(fx, 0, e, h));
    p.drawPixmap(QRect(target.x() + e, target.y(), target.width() - 2 * e, target.height()), strip,
                 QRect(fx + end, 0, frameWidth - 2 * end, h));
    p.drawPixmap(QRect(target.right() + 1 - e, target.y(), e, target.height()), strip,
                 QRect(fx + frameWidth - e, 0, e, h));
}

QPixmap WithTransparentColor(const QPixmap& pixmap, const QColor& color) {
    QPixmap out = pixmap;
    out.setMask(pixmap.createMaskFromColor(color, Qt::MaskInColor));
    return out;
}

QPixmap Greyed(const QPixmap& pixmap) {
    QImage img = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int g = 128 + qGray(row[x]) / 3;
            row[x] = qRgba(g, g, g, qAlpha(row[x]));
        }
    }
    return QPixmap::fromImage(img);
}

}  // namespace skin
