#include "controls/xx/xxStringGrid.h"

namespace controls {

void TxxStringGrid::DoMouseWheel(int step)
{
    if (OnMouseWheel)
        OnMouseWheel(this, step);
}

void TxxStringGrid::HorzScrollArrow(int direction)
{
    if (OnMouseWheel)
        OnMouseWheel(this, 2 * direction);
}

void TxxStringGrid::MouseEnter()
{
    FireAtCursor(OnMouseEnter, this);
}

void TxxStringGrid::MouseLeave()
{
    FireAtCursor(OnMouseLeave, this);
}

}  // namespace controls
