// The event shapes and helpers that the program's own controls share: the wheel event
// (Sender, Wheel), the shift state of the keyboard and mouse at this moment, and firing
// mouse-move-shaped events at the cursor's position. UI thread only.
#pragma once
#include <functional>

#include <QMouseEvent>

#include "platform/forms/Control.h"

namespace controls {

// Wheel: +1 for a turn toward the user, -1 away (and +-2 for a grid's scroll arrows).
using TOnMouseWheel = std::function<void(QObject* sender, int wheel)>;

// The shift state of the keyboard and mouse buttons at this moment.
forms::TShiftState CurrentShiftState();
// Fires a mouse-move-shaped event with the shift state now and the cursor's position in `w`.
void FireAtCursor(const forms::TMouseMoveEvent& event, QWidget* w);
// Fires a mouse-button event for a Qt mouse event (buttons other than the three are ignored).
void FireMouseButton(const forms::TMouseEvent& event, QWidget* w, const QMouseEvent* e);

}  // namespace controls
