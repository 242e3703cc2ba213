// Keeping windows usable on small screens: a window never opens larger than the work area of
// the screen it opens on (as far as its minimum size allows) and its title bar stays where it
// can be grabbed. The main window keeps a position the user gave it while its title bar can be
// grabbed; a window the program places (every dialog) opens wholly inside the work area.
//
// Rectangles are frames (the window with the window manager's decoration); FrameExtra is what
// the decoration adds to the client size. UI thread only.
#pragma once

#include <vector>

#include <QPoint>
#include <QRect>
#include <QShowEvent>
#include <QSize>

class QWidget;

namespace forms {

// The work areas of every screen, in the order the platform lists them.
std::vector<QRect> AvailableScreenAreas();

// Where a frame at Frame's position goes so that its title bar can be grabbed on one of
// Screens: where it was, or onto the nearest screen just far enough.
QPoint TitleBarOnScreen(const QRect& Frame, const std::vector<QRect>& Screens);

// The frame a window gets whose frame is larger than Screen's work area: shrunk to it (the
// client never below Minimum) and moved wholly onto it. A frame that fits stays.
QRect FitOnScreen(const QRect& Frame, const QSize& FrameExtra, const QRect& Screen, const QSize& Minimum);

// A frame that fits Screen moved wholly onto it; a larger one keeps its top-left on it.
QRect MoveInside(const QRect& Frame, const QRect& Screen);

enum class TScreenFit {
    KeepPlace,  // shrink when too large; a frame that fits stays where it is
    Inside,     // shrink when too large, then move wholly inside the work area
};

// Frame after the title-bar rule, fitted to the work area of Screens that shows most of it.
QRect FitFrame(const QRect& Frame, const QSize& FrameExtra, const QSize& Minimum,
               const std::vector<QRect>& Screens, TScreenFit Fit);

// Fits a top-level window by FitFrame onto the screens' work areas, resizing and moving it
// when needed; answers the frame it has now. Before the window manager has framed it, the
// frame of the window it belongs to stands in for its own.
QRect FitWindowOnScreen(QWidget& Window, TScreenFit Fit);

// A toolkit dialog that fits itself inside its screen's work area once it has its place.
template <class Dialog>
class TFittedOnShow : public Dialog {
public:
    using Dialog::Dialog;

protected:
    void showEvent(QShowEvent* e) override
    {
        Dialog::showEvent(e);
        if (!e->spontaneous())
            FitWindowOnScreen(*this, TScreenFit::Inside);
    }
};

}  // namespace forms
