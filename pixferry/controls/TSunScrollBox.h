// The scroll box of the thumbnail grid: no horizontal bar, a smooth vertical
// one that tracks its thumb, a soft raised bevel, and a vertical-scroll event
// with the position after each scroll.
#pragma once

#include <functional>

#include <QColor>
#include <QScrollArea>

class TSunScrollBox : public QScrollArea {
    Q_OBJECT

public:
    explicit TSunScrollBox(QWidget* parent);

    QColor BorderColor = QColor(141, 141, 141);
    void SetColor(const QColor& color);
    // The surface the cells are placed on.
    QWidget* Content() const { return widget(); }
    std::function<void(int position)> OnVScroll;
    std::function<void(QMouseEvent*)> OnMouseDown, OnMouseUp;

protected:
    bool event(QEvent* e) override;
    bool viewportEvent(QEvent* e) override;
};
