#include "TSunPopupMenu.h"

#include <QActionEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int kPad = 2, kTextIndent = 18, kColumnGap = 7;
const QColor kBack(244, 244, 248), kFrame(96, 100, 124), kHot(58, 62, 84), kHotText(245, 255, 91);
const char* const kBreakProperty = "beginsColumn";
}  // namespace

TSunPopupMenu::TSunPopupMenu(QWidget* parent) : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint) {
    // A popup is a window of its own and would not take its owner's font.
    if (parent) setFont(parent->font());
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    hide();
}

QAction* TSunPopupMenu::AddItem(const char* name, bool enabled, bool beginsColumn) {
    auto* item = new QAction(this);
    item->setObjectName(QString::fromLatin1(name));
    item->setEnabled(enabled);
    item->setProperty(kBreakProperty, beginsColumn);
    addAction(item);
    return item;
}

bool TSunPopupMenu::BeginsColumn(const QAction* item) { return item->property(kBreakProperty).toBool(); }

void TSunPopupMenu::Layout() {
    slots_.clear();
    bars_.clear();
    const QFontMetrics fm(font());
    // Items grouped by column first, to know each column's width.
    std::vector<std::vector<QAction*>> columns(1);
    for (QAction* item : actions()) {
        if (!item->isVisible()) continue;
        if (BeginsColumn(item) && !columns.back().empty()) columns.emplace_back();
        columns.back().push_back(item);
    }
    int x = kPad, height = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (c > 0) {
            bars_.push_back(x + kColumnGap / 2);
            x += kColumnGap;
        }
        int width = 60;
        for (QAction* item : columns[c]) width = std::max(width, fm.horizontalAdvance(item->text()) + 2 * kTextIndent);
        int y = kPad;
        for (QAction* item : columns[c]) {
            slots_.push_back({item, QRect(x, y, width, ItemHeight), static_cast<int>(c)});
            y += ItemHeight;
        }
        height = std::max(height, y);
        x += width;
    }
    resize(x + kPad, height + kPad);
}

QRect TSunPopupMenu::ItemRect(const QAction* item) const {
    for (const Slot& s : slots_)
        if (s.item == item) return s.rect;
    return {};
}

int TSunPopupMenu::ColumnOf(const QAction* item) const {
    for (const Slot& s : slots_)
        if (s.item == item) return s.column;
    return -1;
}

void TSunPopupMenu::popup(const QPoint& screenPoint) {
    Layout();
    hot_ = -1;
    move(screenPoint);
    show();
    setFocus();
}

void TSunPopupMenu::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBack);
    p.setPen(kFrame);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    for (int x : bars_) p.drawLine(x, kPad + 2, x, height() - kPad - 3);
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const Slot& s = slots_[i];
        const bool hot = static_cast<int>(i) == hot_ && s.item->isEnabled();
        if (hot) p.fillRect(s.rect.adjusted(1, 1, -1, -1), kHot);
        p.setPen(!s.item->isEnabled() ? QColor(150, 150, 158) : hot ? kHotText : QColor(20, 20, 28));
        p.drawText(s.rect.adjusted(kTextIndent, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   s.item->text());
    }
}

int TSunPopupMenu::SlotAt(const QPoint& at) const {
    for (std::size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].rect.contains(at)) return static_cast<int>(i);
    return -1;
}

void TSunPopupMenu::mouseMoveEvent(QMouseEvent* e) {
    const int at = SlotAt(e->position().toPoint());
    if (at != hot_) {
        hot_ = at;
        update();
    }
}

void TSunPopupMenu::leaveEvent(QEvent*) {
    hot_ = -1;
    update();
}

void TSunPopupMenu::mouseReleaseEvent(QMouseEvent* e) {
    if (!rect().contains(e->position().toPoint())) {
        hide();
        return;
    }
    const int at = SlotAt(e->position().toPoint());
    if (at < 0 || !slots_[at].item->isEnabled()) return;
    hide();
    slots_[at].item->trigger();
}

void TSunPopupMenu::Step(int direction) {
    const int n = static_cast<int>(slots_.size());
    for (int k = 1; k <= n; ++k) {
        const int i = ((hot_ < 0 ? (direction > 0 ? -1 : 0) : hot_) + direction * k + n * 2) % n;
        if (slots_[i].item->isEnabled()) {
            hot_ = i;
            update();
            return;
        }
    }
}

void TSunPopupMenu::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Down: Step(1); break;
        case Qt::Key_Up: Step(-1); break;
        case Qt::Key_Escape: hide(); break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (hot_ >= 0 && slots_[hot_].item->isEnabled()) {
                hide();
                slots_[hot_].item->trigger();
            }
            break;
        default: QWidget::keyPressEvent(e);
    }
}

void TSunPopupMenu::actionEvent(QActionEvent* e) {
    QWidget::actionEvent(e);
    if (isVisible()) {
        Layout();
        update();
    }
}
