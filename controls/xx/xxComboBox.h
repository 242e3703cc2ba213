// `TxxComboBox`: the program's combo box. It reports the mouse wheel (`OnMouseWheel` with +1
// for a turn toward the user, -1 away) and lets the wheel move the choice only while the
// list is open or `WheelActive` is on; it reports the mouse entering and leaving with the
// shift state and the cursor's position, and the mouse buttons and moves over it. The
// name dialog's and the tag dialogs' pickers are of this kind. UI thread only.
#pragma once
#include "controls/std/ComboBox.h"
#include "controls/std/StdTypes.h"
#include "controls/xx/xxEvents.h"

namespace controls {

class TxxComboBox : public TComboBox {
public:
    explicit TxxComboBox(QWidget* parent = nullptr);

    bool WheelActive() const { return wheelActive_; }
    void SetWheelActive(bool on) { wheelActive_ = on; }

    TOnMouseWheel OnMouseWheel;
    forms::TMouseMoveEvent OnMouseEnter, OnMouseLeave, OnMouseMove;
    forms::TMouseEvent OnMouseDown, OnMouseUp;

protected:
    void wheelEvent(QWheelEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    bool wheelActive_ = true;
};

}  // namespace controls
