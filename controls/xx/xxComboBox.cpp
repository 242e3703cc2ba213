#include "controls/xx/xxComboBox.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include "platform/forms/Application.h"

namespace controls {

TxxComboBox::TxxComboBox(QWidget* parent) : TComboBox(parent)
{
    setMouseTracking(true);
}

void TxxComboBox::wheelEvent(QWheelEvent* e)
{
    const int step = WheelStep(e);
    if (step == 0) {
        TComboBox::wheelEvent(e);
        return;
    }
    if (DroppedDown() || wheelActive_)
        TComboBox::wheelEvent(e);
    e->accept();
    if (OnMouseWheel)
        forms::RunGuarded([&] { OnMouseWheel(this, step); });
}

void TxxComboBox::enterEvent(QEnterEvent* e)
{
    TComboBox::enterEvent(e);
    FireAtCursor(OnMouseEnter, this);
}

void TxxComboBox::leaveEvent(QEvent* e)
{
    TComboBox::leaveEvent(e);
    FireAtCursor(OnMouseLeave, this);
}

void TxxComboBox::mousePressEvent(QMouseEvent* e)
{
    FireMouseButton(OnMouseDown, this, e);
    TComboBox::mousePressEvent(e);
}

void TxxComboBox::mouseReleaseEvent(QMouseEvent* e)
{
    TComboBox::mouseReleaseEvent(e);
    FireMouseButton(OnMouseUp, this, e);
}

void TxxComboBox::mouseMoveEvent(QMouseEvent* e)
{
    TComboBox::mouseMoveEvent(e);
    if (!OnMouseMove)
        return;
    const QPoint p = e->position().toPoint();
    forms::RunGuarded(
        [&] { OnMouseMove(this, forms::ShiftState(e->modifiers(), e->buttons()), p.x(), p.y()); });
}

}  // namespace controls
