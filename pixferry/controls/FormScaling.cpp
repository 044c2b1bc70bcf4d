#include "FormScaling.h"

#include <cmath>

#include <QScreen>
#include <QWidget>

#include "SkinArt.h"

namespace skin {

namespace {
int Scale(int v, int num, int den) { return static_cast<int>(std::lround(static_cast<double>(v) * num / den)); }

void ScaleFont(QWidget* w, int num, int den) {
    if (!w->testAttribute(Qt::WA_SetFont)) return;  // inherited fonts follow their parent
    QFont f = w->font();
    if (f.pixelSize() > 0) f.setPixelSize(Scale(f.pixelSize(), num, den));
    else if (f.pointSizeF() > 0) return;  // point sizes scale by themselves
    w->setFont(f);
}
}  // namespace

void ScaleForm(QWidget* form, int screenDpi, int designDpi) {
    if (screenDpi <= 0 || designDpi <= 0 || screenDpi == designDpi) return;
    for (QWidget* child : form->findChildren<QWidget*>())
        if (!child->isWindow()) {  // popups size themselves
            ScaleControl(child, screenDpi, designDpi);
            ScaleFont(child, screenDpi, designDpi);
        }
    ScaleFont(form, screenDpi, designDpi);
    const QSize s(Scale(form->width(), screenDpi, designDpi), Scale(form->height(), screenDpi, designDpi));
    if (form->minimumSize() == form->maximumSize()) form->setFixedSize(s);
    else form->resize(s);
}

void ScaleControl(QWidget* control, int screenDpi, int designDpi) {
    if (screenDpi <= 0 || designDpi <= 0 || screenDpi == designDpi) return;
    const QRect g = control->geometry();
    control->setGeometry(Scale(g.x(), screenDpi, designDpi), Scale(g.y(), screenDpi, designDpi),
                         Scale(g.width(), screenDpi, designDpi), Scale(g.height(), screenDpi, designDpi));
    SetPixelScale(control, PixelScale(control) * screenDpi / designDpi);
}

int ScreenDpi(const QWidget* widget) {
    const QScreen* screen = widget->screen();
    return screen ? static_cast<int>(std::lround(screen->logicalDotsPerInch())) : DesignDpi;
}

}  // namespace skin
