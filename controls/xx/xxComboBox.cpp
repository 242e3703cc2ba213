#include "controls/xx/xxComboBox.h"

#include <QCursor>
#include <QMouseEvent>
#include <QWheelEvent>

#include "controls/xx/xxSpeedButton.h"
#include "platform/forms/Application.h"

namespace controls {

void FireAtCursor(const forms::TMouseMoveEvent& event, QWidget* w)
{
    if (!event)
        return;
    const QPoint p = w->mapFromGlobal(QCursor::pos());
    forms::RunGuarded([&] { event(w, CurrentShiftState(), p.x(), p.y()); });
}

void FireMouseButton(const forms::TMouseEvent& event, QWidget* w, const QMouseEvent* e)
{
    if (!event)
        return;
    forms::TMouseButton b;
    switch (e->button()) {
    case Qt::LeftButton: b = forms::mbLeft; break;
    case Qt::RightButton: b = forms::mbRight; break;
    case Qt::MiddleButton: b = forms::mbMiddle; break;
    default: return;
    }
    const QPoint p = e->position().toPoint();
    forms::RunGuarded(
        [&] { event(w, b, forms::ShiftState(e->modifiers(), e->buttons()), p.x(), p.y()); });
}

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
