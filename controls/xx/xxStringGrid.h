// `TxxStringGrid`: the program's string grid. The mouse wheel does not move it; it reports
// the turn instead (`OnMouseWheel`: +1 toward the user, -1 away), and the horizontal scroll
// bar's arrows, after scrolling, report -2 (left) and +2 (right) the same way, so a window
// can step through its own content. Entering and leaving report the shift state and the
// cursor's position. The CD player's track grid is of this kind. UI thread only.
#pragma once
#include "controls/std/StringGrid.h"
#include "controls/xx/xxEvents.h"

namespace controls {

class TxxStringGrid : public TStringGrid {
public:
    using TStringGrid::TStringGrid;

    TOnMouseWheel OnMouseWheel;
    // These take the mouse-move shape: (Sender, Shift, X, Y).
    forms::TMouseMoveEvent OnMouseEnter, OnMouseLeave;

protected:
    void DoMouseWheel(int step) override;
    void HorzScrollArrow(int direction) override;
    void MouseEnter() override;
    void MouseLeave() override;
};

}  // namespace controls
