#include "TSunScrollBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

TSunScrollBox::TSunScrollBox(QWidget* parent) : QScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    // The bevel is one pixel inside the edges.
    setViewportMargins(1, 1, 1, 1);
    verticalScrollBar()->setTracking(true);
    verticalScrollBar()->setSingleStep(8);
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    setWidget(content);
    setWidgetResizable(false);
    content->resize(viewport()->width(), 0);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int position) {
        if (OnVScroll) OnVScroll(position);
    });
}

void TSunScrollBox::SetColor(const QColor& color) {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, color);
    pal.setColor(QPalette::Base, color);
    setPalette(pal);
    setAutoFillBackground(true);
    viewport()->setPalette(pal);
    viewport()->setAutoFillBackground(true);
}

bool TSunScrollBox::event(QEvent* e) {
    // paintEvent() paints the viewport; the bevel lies around it, on the box itself.
    const bool done = QScrollArea::event(e);
    if (e->type() != QEvent::Paint) return done;
    // A soft raised bevel: light top and left, the border colour bottom and right.
    QPainter p(this);
    p.setPen(QColor(245, 245, 250));
    p.drawLine(0, 0, width() - 1, 0);
    p.drawLine(0, 0, 0, height() - 1);
    p.setPen(BorderColor);
    p.drawLine(0, height() - 1, width() - 1, height() - 1);
    p.drawLine(width() - 1, 0, width() - 1, height() - 1);
    return done;
}

bool TSunScrollBox::viewportEvent(QEvent* e) {
    switch (e->type()) {
        case QEvent::MouseButtonPress:
            if (OnMouseDown) OnMouseDown(static_cast<QMouseEvent*>(e));
            e->accept();
            return true;
        case QEvent::MouseButtonRelease:
            if (OnMouseUp) OnMouseUp(static_cast<QMouseEvent*>(e));
            e->accept();
            return true;
        case QEvent::MouseMove:
            // The grid is no drag surface of the window.
            e->accept();
            return true;
        default:
            return QScrollArea::viewportEvent(e);
    }
}
