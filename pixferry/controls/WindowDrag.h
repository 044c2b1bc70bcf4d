// Dragging a frameless window by its surfaces, and the mouse-move events of
// surfaces that are not our own classes.
#pragma once

#include <functional>

#include <Qt>

class QWidget;

namespace skin {

// Calls onMove with the held buttons for every mouse move that reaches
// `surface` itself; moves that only pass through from a child do not count,
// so a group box or a grid on a draggable panel stays a group box or a grid.
void BindMouseMove(QWidget* surface, std::function<void(Qt::MouseButtons)> onMove);

// Hands `window` to the window system to be moved with the mouse until the
// button is let go. Tests replace the action to watch it; nullptr restores it.
void SystemMove(QWidget* window);
void SetSystemMoveAction(std::function<void(QWidget*)> action);

}  // namespace skin
