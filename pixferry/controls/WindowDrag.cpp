#include "WindowDrag.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace skin {

namespace {

std::function<void(QWidget*)>& MoveAction() {
    static std::function<void(QWidget*)> action;
    return action;
}

class MoveFilter : public QObject {
public:
    MoveFilter(QWidget* surface, std::function<void(Qt::MouseButtons)> onMove)
        : QObject(surface), surface_(surface), onMove_(std::move(onMove)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched != surface_ || e->type() != QEvent::MouseMove) return false;
        auto* me = static_cast<QMouseEvent*>(e);
        // Qt hands a move that a child ignored on to its parent; such a move
        // belongs to the child.
        if (surface_->childAt(me->position().toPoint())) return false;
        onMove_(me->buttons());
        return false;
    }

private:
    QWidget* surface_;
    std::function<void(Qt::MouseButtons)> onMove_;
};

}  // namespace

void BindMouseMove(QWidget* surface, std::function<void(Qt::MouseButtons)> onMove) {
    surface->setMouseTracking(true);
    surface->installEventFilter(new MoveFilter(surface, std::move(onMove)));
}

void SystemMove(QWidget* window) {
    if (MoveAction()) {
        MoveAction()(window);
        return;
    }
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    if (QWindow* handle = window->windowHandle()) handle->startSystemMove();
}

void SetSystemMoveAction(std::function<void(QWidget*)> action) { MoveAction() = std::move(action); }

}  // namespace skin
