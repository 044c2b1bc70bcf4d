#include "TSunListBox.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {
class FixedHeight : public QStyledItemDelegate {
public:
    FixedHeight(QObject* parent, const int* height) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), *height_};
    }

private:
    const int* height_;
};
}  // namespace

TSunListBox::TSunListBox(QWidget* parent) : QListWidget(parent) {
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setItemDelegate(new FixedHeight(this, &itemHeight_));
}

void TSunListBox::SetColors(const QColor& color, const QColor& border) {
    QPalette pal = palette();
    pal.setColor(QPalette::Base, color);
    pal.setColor(QPalette::Window, color);
    // A plain box frame is drawn in the window-text colour.
    pal.setColor(QPalette::WindowText, border);
    pal.setColor(QPalette::Text, Qt::black);
    // The selection in the tones of the window's chrome.
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Highlight, QColor(74, 79, 104));
        pal.setColor(group, QPalette::HighlightedText, QColor(245, 255, 91));
    }
    setPalette(pal);
}

void TSunListBox::SetItemHeight(int height) {
    itemHeight_ = height;
    doItemsLayout();
}

void TSunListBox::mouseReleaseEvent(QMouseEvent* e) {
    QListWidget::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && OnClick) OnClick();
}

void TSunListBox::wheelEvent(QWheelEvent* e) {
    // One item per notch, whatever the desktop's wheel setting.
    const int notches = e->angleDelta().y() / 120;
    if (notches == 0) return QListWidget::wheelEvent(e);
    verticalScrollBar()->setValue(verticalScrollBar()->value() - notches);
    e->accept();
}
