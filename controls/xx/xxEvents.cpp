#include "controls/xx/xxEvents.h"

#include <QCursor>
#include <QGuiApplication>

#include "platform/forms/Application.h"

namespace controls {

forms::TShiftState CurrentShiftState()
{
    return forms::ShiftState(QGuiApplication::queryKeyboardModifiers(),
                             QGuiApplication::mouseButtons());
}

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

}  // namespace controls
