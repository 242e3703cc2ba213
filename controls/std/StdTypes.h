// What the standard controls of this folder add to the toolkit's shared types: the vertical
// layout of text and the step of a mouse-wheel turn as the controls report it. Plain values.
#pragma once
#include <QWheelEvent>

#include "controls/common/ControlTypes.h"

namespace controls {

enum TTextLayout { tlTop, tlCenter, tlBottom };

// +1 for a wheel turned toward the user, -1 away, 0 for no vertical turn.
inline int WheelStep(const QWheelEvent* e)
{
    const int delta = e->angleDelta().y();
    return delta < 0 ? 1 : delta > 0 ? -1 : 0;
}

}  // namespace controls
