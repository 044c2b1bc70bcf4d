#include "SkinButton.h"

#include <QKeyEvent>

TSkinButton::TSkinButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

TSkinButton::Look TSkinButton::CurrentLook() const {
    if (!isEnabled()) return Disabled;
    if (isDown()) return Pressed;
    if (over_) return MouseOver;
    if (hasFocus()) return Focused;
    return Normal;
}

namespace {
bool IsEnter(const QKeyEvent* e) { return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter; }

// Enter acts as Space does: the base class presses on the key and clicks on
// its release.
QKeyEvent AsSpace(const QKeyEvent* e) {
    return QKeyEvent(e->type(), Qt::Key_Space, e->modifiers(), QStringLiteral(" "), e->isAutoRepeat());
}
}  // namespace

void TSkinButton::keyPressEvent(QKeyEvent* e) {
    if (!IsEnter(e)) return QAbstractButton::keyPressEvent(e);
    QKeyEvent space = AsSpace(e);
    QAbstractButton::keyPressEvent(&space);
    e->setAccepted(space.isAccepted());
}

void TSkinButton::keyReleaseEvent(QKeyEvent* e) {
    if (!IsEnter(e)) return QAbstractButton::keyReleaseEvent(e);
    QKeyEvent space = AsSpace(e);
    QAbstractButton::keyReleaseEvent(&space);
    e->setAccepted(space.isAccepted());
}

void TSkinButton::enterEvent(QEnterEvent* e) {
    over_ = true;
    update();
    QAbstractButton::enterEvent(e);
}

void TSkinButton::leaveEvent(QEvent* e) {
    over_ = false;
    update();
    QAbstractButton::leaveEvent(e);
}
