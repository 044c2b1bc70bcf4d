// What the skinned push buttons share: the five looks, pressed while the left
// button, Enter or Space is held, a click on release over the button.
#pragma once

#include <QAbstractButton>

class TSkinButton : public QAbstractButton {
    Q_OBJECT

public:
    // Frame order in the button bitmaps.
    enum Look { Normal = 0, Pressed = 1, Disabled = 2, MouseOver = 3, Focused = 4 };

    explicit TSkinButton(QWidget* parent);
    Look CurrentLook() const;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    bool over_ = false;
};
