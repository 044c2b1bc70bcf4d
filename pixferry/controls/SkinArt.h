// The skin bitmaps shipped in the program's resources, and the ways the
// controls cut and stretch them.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QRect>

class QPainter;
class QWidget;

namespace skin {

// How much larger than drawn the widget's form is laid out (1 at 96 pixels
// per inch); art drawn at its own size is drawn this much larger.
double PixelScale(const QWidget* widget);
void SetPixelScale(QWidget* widget, double scale);

// A bitmap by its resource name ("DAXBUTTON"); an empty pixmap if there is none.
QPixmap Bitmap(const char* name);

// Draws frame `index` of a strip of frames `frameWidth` wide so that its left
// and right halves stay at the ends of `target`, its centre column fills the
// width between them, and the same vertically with its top and bottom halves
// and its centre row. A target smaller than the frame gets each half cut to
// half the target.
void DrawNineSlice(QPainter& p, const QPixmap& strip, int index, int frameWidth, const QRect& target);

// Draws frame `index` with its `end` left and right columns kept and the middle stretched.
void DrawThreeSlice(QPainter& p, const QPixmap& strip, int index, int frameWidth, int end, const QRect& target);

// The pixmap with every pixel of `color` made transparent.
QPixmap WithTransparentColor(const QPixmap& pixmap, const QColor& color);

// The pixmap in light grey tones, as disabled glyphs are drawn.
QPixmap Greyed(const QPixmap& pixmap);

}  // namespace skin
