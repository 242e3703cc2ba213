#include "platform/forms/ScreenFit.h"

#include <algorithm>

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

namespace forms {

std::vector<QRect> AvailableScreenAreas()
{
    std::vector<QRect> areas;
    for (const QScreen* s : QGuiApplication::screens())
        areas.push_back(s->availableGeometry());
    return areas;
}

// A title bar that can be grabbed: wholly inside one screen from top to bottom, with at least
// TitleGrab pixels of its width on it.
QPoint TitleBarOnScreen(const QRect& Frame, const std::vector<QRect>& Screens)
{
    constexpr int TitleBand = 24, TitleGrab = 64;
    const int grab = std::min(TitleGrab, Frame.width());
    const QRect title(Frame.topLeft(), QSize(Frame.width(), TitleBand));
    const QRect* nearest = nullptr;
    long long nearestDistance = 0;
    for (const QRect& screen : Screens) {
        const QRect shown = title & screen;
        if (shown.height() == TitleBand && shown.width() >= grab)
            return Frame.topLeft();
        const QPoint c = title.center();
        const long long dx = std::max({screen.left() - c.x(), 0, c.x() - screen.right()});
        const long long dy = std::max({screen.top() - c.y(), 0, c.y() - screen.bottom()});
        if (!nearest || dx * dx + dy * dy < nearestDistance) {
            nearest = &screen;
            nearestDistance = dx * dx + dy * dy;
        }
    }
    if (!nearest)
        return Frame.topLeft();
    const QRect& s = *nearest;
    return QPoint(std::clamp(Frame.x(), s.left() - Frame.width() + grab, s.right() + 1 - grab),
                  std::clamp(Frame.y(), s.top(), std::max(s.top(), s.bottom() + 1 - TitleBand)));
}

QRect FitOnScreen(const QRect& Frame, const QSize& FrameExtra, const QRect& Screen, const QSize& Minimum)
{
    const QSize room = Screen.size().expandedTo(Minimum + FrameExtra);
    if (Frame.width() <= room.width() && Frame.height() <= room.height())
        return Frame;
    const QSize size = Frame.size().boundedTo(room);
    return QRect(QPoint(std::clamp(Frame.x(), Screen.left(), Screen.left() + room.width() - size.width()),
                        std::clamp(Frame.y(), Screen.top(), Screen.top() + room.height() - size.height())),
                 size);
}

QRect MoveInside(const QRect& Frame, const QRect& Screen)
{
    const int x = std::clamp(Frame.x(), Screen.left(), std::max(Screen.left(), Screen.left() + Screen.width() - Frame.width()));
    const int y = std::clamp(Frame.y(), Screen.top(), std::max(Screen.top(), Screen.top() + Screen.height() - Frame.height()));
    return QRect(QPoint(x, y), Frame.size());
}

QRect FitFrame(const QRect& Frame, const QSize& FrameExtra, const QSize& Minimum,
               const std::vector<QRect>& Screens, TScreenFit Fit)
{
    const QRect placed(TitleBarOnScreen(Frame, Screens), Frame.size());
    // The screen that shows most of the frame once its title bar is on one.
    QRect area;
    long long shown = -1;
    for (const QRect& candidate : Screens) {
        const QRect common = placed & candidate;
        const long long a = common.isEmpty() ? 0 : 1LL * common.width() * common.height();
        if (a > shown) {
            shown = a;
            area = candidate;
        }
    }
    if (area.isEmpty())
        return Frame;
    const QRect fitted = FitOnScreen(placed, FrameExtra, area, Minimum);
    return Fit == TScreenFit::Inside ? MoveInside(fitted, area) : fitted;
}

namespace {

// What the window manager's decoration adds to the client; before a window is framed, the
// decoration of the window it belongs to, which the same window manager drew.
QSize FrameExtraOf(const QWidget& Window)
{
    const QSize own = Window.frameGeometry().size() - Window.size();
    if (own.width() > 0 || own.height() > 0 || Window.windowFlags().testFlag(Qt::FramelessWindowHint))
        return own;
    if (const QWidget* parent = Window.parentWidget()) {
        const QWidget* owner = parent->window();
        return owner->frameGeometry().size() - owner->size();
    }
    return own;
}

// The smallest client the window can take: its own minimum, or its layout's.
QSize MinimumOf(const QWidget& Window)
{
    const QSize own = Window.minimumSize();
    return Window.layout() ? own.expandedTo(Window.minimumSizeHint()) : own;
}

}  // namespace

QRect FitWindowOnScreen(QWidget& Window, TScreenFit Fit)
{
    const QSize extra = FrameExtraOf(Window);
    const QRect frame(Window.pos(), Window.size() + extra);
    const QRect fitted = FitFrame(frame, extra, MinimumOf(Window), AvailableScreenAreas(), Fit);
    // A window the user placed moves only when it had to shrink.
    if (fitted == frame || (Fit == TScreenFit::KeepPlace && fitted.size() == frame.size()))
        return frame;
    if (fitted.size() != frame.size())
        Window.resize(fitted.size() - extra);
    Window.move(fitted.topLeft());
    return fitted;
}

}  // namespace forms
