// A popup menu whose items stand in columns: an item marked as a column
// break begins a new column, with a vertical bar before it.
#pragma once

#include <QAction>
#include <QWidget>

class TSunPopupMenu : public QWidget {
    Q_OBJECT

public:
    explicit TSunPopupMenu(QWidget* parent);

    QAction* AddItem(const char* name, bool enabled = true, bool beginsColumn = false);
    static bool BeginsColumn(const QAction* item);
    QList<QAction*> Items() const { return actions(); }

    // Shows the menu with its top-left corner at `screenPoint`.
    void popup(const QPoint& screenPoint);
    // Where an item stands in the menu, and its column.
    QRect ItemRect(const QAction* item) const;
    int ColumnOf(const QAction* item) const;

    static constexpr int ItemHeight = 20;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void actionEvent(QActionEvent* e) override;
    void leaveEvent(QEvent*) override;

private:
    struct Slot {
        QAction* item;
        QRect rect;
        int column;
    };
    void Layout();
    int SlotAt(const QPoint& p) const;
    void Step(int direction);

    std::vector<Slot> slots_;
    std::vector<int> bars_;  // x of the bar before each later column
    int hot_ = -1;
};
