// A flat list box with a 1-pixel border in its border colour, fixed item
// height, a click event, and wheel scrolling.
#pragma once

#include <functional>

#include <QColor>
#include <QListWidget>

class TSunListBox : public QListWidget {
    Q_OBJECT

public:
    explicit TSunListBox(QWidget* parent);

    void SetColors(const QColor& color, const QColor& border);
    void SetItemHeight(int height);
    int ItemHeight() const { return itemHeight_; }
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    int itemHeight_ = 16;
};
