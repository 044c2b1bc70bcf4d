// skinart DIR: draws every bitmap of the window skin as PNG files into DIR.
// Sizes and frame layouts are fixed by the controls that cut the frames; the
// palette follows the window: dark chrome RGB(41,43,55), light panels
// RGB(219,219,229), yellow captions.
#include <cmath>
#include <cstdio>
#include <functional>

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

QString outDir;
int failures = 0;

const QColor kChrome(41, 43, 55);
const QColor kChromeHigh(78, 82, 104);
const QColor kChromeDeep(24, 25, 33);
const QColor kPanel(219, 219, 229);
const QColor kEdge(141, 141, 141);
const QColor kYellow(245, 255, 91);

QImage Blank(int w, int h, QColor fill = Qt::transparent) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(fill);
    return img;
}

void Save(const QImage& img, const char* name) {
    const QString path = outDir + "/" + name + ".png";
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "skinart: cannot write %s\n", qPrintable(path));
        ++failures;
    }
}

QLinearGradient Vertical(int top, int bottom, QColor a, QColor b) {
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

// A strip of `count` frames of w by h, each drawn by draw(painter, index).
QImage Strip(int count, int w, int h, const std::function<void(QPainter&, int)>& draw) {
    QImage img = Blank(count * w, h);
    for (int i = 0; i < count; ++i) {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(i * w, 0);
        p.setClipRect(0, 0, w, h);
        draw(p, i);
    }
    return img;
}

enum State { Normal, Pressed, Disabled, Over, Focused };

// The dark push button: rounded, glossy, a yellow ring when it has the focus.
void DarkButton(QPainter& p, int state, int w, int h, double radius) {
    QColor top = kChromeHigh, bottom = kChromeDeep, border(14, 15, 20);
    if (state == Pressed) std::swap(top, bottom);
    if (state == Over) top = QColor(104, 110, 140), bottom = QColor(40, 42, 56);
    if (state == Disabled) top = QColor(92, 94, 104), bottom = QColor(70, 72, 80), border = QColor(60, 62, 70);
    const QRectF r(0.5, 0.5, w - 1, h - 1);
    p.setPen(border);
    p.setBrush(Vertical(0, h, top, bottom));
    p.drawRoundedRect(r, radius, radius);
    if (state != Pressed && state != Disabled) {
        p.setPen(QColor(255, 255, 255, 50));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
    }
    if (state == Focused) {
        p.setPen(QPen(kYellow, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1.5, radius - 1.5);
    }
}

// The light button of the settings column.
void LightButton(QPainter& p, int state, int w, int h) {
    QColor top(255, 255, 255), bottom(214, 216, 228), border(122, 126, 146);
    if (state == Pressed) top = QColor(200, 203, 218), bottom = QColor(236, 237, 244);
    if (state == Over) top = QColor(255, 255, 255), bottom = QColor(232, 226, 190), border = QColor(196, 150, 40);
    if (state == Disabled) top = bottom = QColor(236, 236, 240), border = QColor(180, 180, 188);
    if (state == Focused) border = QColor(70, 90, 170);
    p.setPen(border);
    p.setBrush(Vertical(0, h, top, bottom));
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 3, 3);
}

QImage RadioMark(int frame) {
    const bool checked = frame % 2 == 1, disabled = frame == 2 || frame == 3, over = frame >= 4;
    QImage mark = Blank(13, 13);
    {
        QPainter p(&mark);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor border = disabled ? QColor(170, 170, 178) : over ? QColor(196, 150, 40) : QColor(80, 86, 120);
        p.setPen(QPen(border, 1));
        p.setBrush(disabled ? QBrush(QColor(236, 236, 240))
                            : QBrush(Vertical(0, 13, QColor(220, 222, 232), Qt::white)));
        p.drawEllipse(QRectF(0.5, 0.5, 12, 12));
        if (checked) {
            p.setPen(Qt::NoPen);
            p.setBrush(disabled ? QColor(160, 160, 168) : QColor(40, 150, 60));
            p.drawEllipse(QRectF(3.5, 3.5, 6, 6));
        }
    }
    // Magenta is cut out by the control, so it may stand only where the mark
    // leaves nothing; its soft edge is laid on the panel colour instead.
    QImage out = Blank(13, 13, QColor(255, 0, 255));
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 13; ++x) {
            const QColor c = mark.pixelColor(x, y);
            if (c.alpha() == 0) continue;
            const double a = c.alphaF();
            out.setPixelColor(x, y, QColor::fromRgbF(c.redF() * a + kPanel.redF() * (1 - a),
                                                     c.greenF() * a + kPanel.greenF() * (1 - a),
                                                     c.blueF() * a + kPanel.blueF() * (1 - a)));
        }
    return out;
}

// The title bar: a dark gloss that ends in the window colour.
QImage TitleBar(int w, int h) {
    QImage img = Blank(w, h);
    QPainter p(&img);
    p.fillRect(0, 0, w, h, Vertical(0, h, QColor(72, 76, 96), kChrome));
    p.fillRect(0, 0, w, 1, QColor(110, 116, 146));
    p.fillRect(0, h - 1, w, 1, QColor(30, 31, 40));
    return img;
}

// A corner of the frame: the title-bar gloss, cut by a quarter circle and
// edged by a light line (flip for the right side).
QImage TitleCorner(int w, int h, bool right) {
    QImage img = Blank(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // The arc follows the window's rounded shape (corners of 25 by 25).
    QPainterPath edge;
    edge.moveTo(0.5, h);
    edge.lineTo(0.5, 12.5);
    edge.arcTo(QRectF(0.5, 0.5, 24, 24), 180, -90);
    QPainterPath body = edge;
    body.lineTo(w, 0.5);
    body.lineTo(w, h);
    body.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Vertical(0, 37, QColor(72, 76, 96), kChrome));
    p.drawPath(body);
    p.setPen(QPen(QColor(110, 116, 146), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(edge);
    p.end();
    return right ? img.mirrored(true, false) : img;
}

// A bottom corner, rounded as the window is, edged like the side lines.
QImage RoundedBottomCorner(QColor top, QColor bottom, QColor line, bool right) {
    QImage img = Blank(13, 18);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath edge;
    edge.moveTo(0.5, 0);
    edge.lineTo(0.5, 5);
    edge.arcTo(QRectF(0.5, -7.5, 24, 25), 180, 90);
    edge.lineTo(13, 17.5);
    QPainterPath body = edge;
    body.lineTo(13, 0);
    body.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Vertical(0, 18, top, bottom));
    p.drawPath(body);
    p.setPen(QPen(line, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(edge);
    p.end();
    return right ? img.mirrored(true, false) : img;
}

QImage BottomCorner(bool right) { return RoundedBottomCorner(kChrome, kChromeDeep, QColor(70, 74, 92), right); }

QImage Fill(int w, int h, QColor c) { return Blank(w, h, c); }

// The status display hanging from the title bar: dark inset with rounded ends.
QImage StatusEnd(bool right) {
    QImage img = Blank(13, 24);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.moveTo(13, 1.5);
    path.lineTo(10, 1.5);
    path.quadTo(1.5, 1.5, 1.5, 12);
    path.quadTo(1.5, 22.5, 10, 22.5);
    path.lineTo(13, 22.5);
    p.setPen(QPen(QColor(96, 102, 132), 1));
    p.setBrush(QColor(18, 19, 26));
    p.drawPath(path);
    p.end();
    return right ? img.mirrored(true, false) : img;
}

QImage StatusCentre() {
    QImage img = Blank(4, 20);
    QPainter p(&img);
    p.fillRect(0, 0, 4, 20, QColor(18, 19, 26));
    p.fillRect(0, 0, 4, 1, QColor(96, 102, 132));
    p.fillRect(0, 19, 4, 1, QColor(96, 102, 132));
    return img;
}

// Behind the status display: a slightly deeper band of the title bar.
QImage StatusBand() {
    QImage img = Blank(8, 37);
    QPainter p(&img);
    p.fillRect(0, 0, 8, 37, Vertical(0, 37, QColor(50, 53, 68), kChrome));
    p.fillRect(0, 36, 8, 1, QColor(30, 31, 40));
    return img;
}

// The shoulders that join the status band to the title bar.
QImage StatusShoulder(bool right) {
    QImage img = TitleBar(32, 37).copy(0, 0, 32, 32);  // the title bar's upper part, without its foot line
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.moveTo(32, 0);
    path.lineTo(32, 32);
    path.cubicTo(18, 32, 18, 0, 0, 0);
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Vertical(0, 37, QColor(50, 53, 68), kChrome));
    p.drawPath(path);
    p.end();
    return right ? img.mirrored(true, false) : img;
}

// Rounded corner of a light panel on the dark window.
QImage PanelCorner(int w, int h, int corner) {  // 0 tl, 1 tr, 2 bl, 3 br
    QImage img = Blank(w, h, kChrome);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kPanel);
    const double rw = w * 2, rh = h * 2;
    const double x = (corner == 0 || corner == 2) ? 0 : -w, y = corner < 2 ? 0 : -h;
    p.drawRoundedRect(QRectF(x, y, rw + 4, rh + 4).translated(corner % 2 ? -4 : 0, corner >= 2 ? -4 : 0), w, h);
    return img;
}

// The caps at the two ends of the Copy button.
QImage StripEnd(bool right) {
    QImage img = Blank(13, 29);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.moveTo(13, 3.5);
    path.lineTo(9, 3.5);
    path.quadTo(2.5, 3.5, 2.5, 14.5);
    path.quadTo(2.5, 25.5, 9, 25.5);
    path.lineTo(13, 25.5);
    p.setPen(QPen(QColor(96, 102, 132), 1));
    p.setBrush(Vertical(0, 29, QColor(30, 31, 41), QColor(52, 55, 70)));
    p.drawPath(path);
    p.end();
    return right ? img.mirrored(true, false) : img;
}

// Glyphs on red, which the buttons make transparent.
QImage Glyph(const std::function<void(QPainter&)>& draw) {
    QImage img = Blank(10, 10, QColor(255, 0, 0));
    QPainter p(&img);
    p.setPen(QPen(QColor(236, 238, 246), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    draw(p);
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skinart DIR\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    outDir = QString::fromLocal8Bit(argv[1]);

    Save(Strip(5, 16, 29, [](QPainter& p, int i) { DarkButton(p, i, 16, 29, 6); }), "DAXBUTTON");
    Save(Strip(5, 25, 22, [](QPainter& p, int i) { DarkButton(p, i, 25, 22, 5); }), "DAXBUTTONSMALL");
    Save(Strip(5, 16, 19, [](QPainter& p, int i) { LightButton(p, i, 16, 19); }), "XPBUTTONSMALL");
    Save(Strip(6, 13, 13, [](QPainter& p, int i) { p.drawImage(0, 0, RadioMark(i)); }), "XPRADIOBOX");
    Save(Strip(2, 16, 24,
               [](QPainter& p, int i) {
                   p.setPen(QColor(40, 60, 110));
                   p.setBrush(i == 0 ? Vertical(0, 24, QColor(110, 140, 205), QColor(50, 80, 150))
                                     : Vertical(0, 24, QColor(50, 80, 150), QColor(90, 120, 190)));
                   p.drawRoundedRect(QRectF(0.5, 0.5, 15, 23), 4, 4);
               }),
         "BUTTON2");

    // Main window frame.
    Save(TitleCorner(9, 31, false), "FRAME_TL");
    Save(TitleCorner(9, 31, true), "FRAME_TR");
    Save(TitleBar(8, 37), "FRAME_TITLE");
    Save(StatusBand(), "STATUS_BAND");
    Save(StatusEnd(false), "STATUS_LEFT");
    Save(StatusEnd(true), "STATUS_RIGHT");
    Save(StatusCentre(), "STATUS_CENTRE");
    Save(StatusShoulder(false), "STATUS_SHOULDER_L");
    Save(StatusShoulder(true), "STATUS_SHOULDER_R");
    Save(Fill(1, 8, QColor(70, 74, 92)), "FRAME_SIDE");
    Save(BottomCorner(false), "FRAME_BL");
    Save(BottomCorner(true), "FRAME_BR");
    {
        QImage img = Blank(8, 18);
        QPainter p(&img);
        p.fillRect(0, 0, 8, 18, Vertical(0, 18, kChrome, kChromeDeep));
        p.fillRect(0, 17, 8, 1, QColor(70, 74, 92));
        Save(img, "FRAME_BOTTOM");
    }
    Save(PanelCorner(3, 3, 0), "PANEL_TL");
    Save(PanelCorner(3, 3, 1), "PANEL_TR");
    Save(PanelCorner(5, 4, 2), "PANEL_BL");
    Save(PanelCorner(5, 4, 3), "PANEL_BR");
    Save(Fill(1, 1, QColor(188, 190, 204)), "TAB_LINE");
    Save(StripEnd(false), "STRIP_LEFT");
    Save(StripEnd(true), "STRIP_RIGHT");
    {
        QImage img = Blank(8, 36);
        QPainter p(&img);
        p.fillRect(0, 0, 8, 36, Vertical(0, 36, QColor(160, 168, 184), QColor(120, 128, 146)));
        p.fillRect(0, 0, 8, 1, QColor(220, 224, 234));
        Save(img, "INFO_BAR");
    }

    // Title-bar glyphs: minimise, help, close, link.
    Save(Glyph([](QPainter& p) { p.drawLine(2, 7, 7, 7); }), "GLYPH_MIN");
    Save(Glyph([](QPainter& p) {
             const QColor c(236, 238, 246);
             p.fillRect(3, 1, 4, 1, c);
             p.fillRect(2, 2, 2, 1, c);
             p.fillRect(6, 2, 2, 2, c);
             p.fillRect(5, 4, 2, 1, c);
             p.fillRect(4, 5, 2, 1, c);
             p.fillRect(4, 8, 2, 2, c);
         }),
         "GLYPH_HELP");
    Save(Glyph([](QPainter& p) {
             p.drawLine(2, 2, 7, 7);
             p.drawLine(7, 2, 2, 7);
         }),
         "GLYPH_CLOSE");
    Save(Glyph([](QPainter& p) {
             p.setPen(QPen(QColor(236, 238, 246), 1));
             p.drawEllipse(1, 1, 7, 7);
             p.drawLine(1, 5, 8, 5);
             p.drawLine(4, 1, 4, 8);
         }),
         "GLYPH_LINK");

    // Report dialog frame.
    Save(TitleBar(8, 25), "REPORT_TITLE");
    Save(TitleCorner(9, 22, false), "REPORT_TL");
    Save(TitleCorner(9, 22, true), "REPORT_TR");
    Save(Fill(8, 1, QColor(110, 116, 146)), "REPORT_TOPLINE");
    {
        QImage img = Blank(8, 5);
        QPainter p(&img);
        p.fillRect(0, 0, 8, 5, Vertical(0, 5, QColor(160, 162, 178), kPanel));
        Save(img, "REPORT_BAND");
    }
    Save(Fill(1, 8, QColor(120, 124, 140)), "REPORT_SIDE");
    {
        auto corner = [](bool right) {
            return RoundedBottomCorner(QColor(200, 201, 214), QColor(168, 170, 186), QColor(120, 124, 140), right);
        };
        Save(corner(false), "REPORT_BL");
        Save(corner(true), "REPORT_BR");
        QImage img = Blank(8, 18);
        QPainter p(&img);
        p.fillRect(0, 0, 8, 18, Vertical(0, 18, QColor(200, 201, 214), QColor(168, 170, 186)));
        p.fillRect(0, 17, 8, 1, QColor(120, 124, 140));
        Save(img, "REPORT_BOTTOM");
    }
    return failures == 0 ? 0 : 1;
}
