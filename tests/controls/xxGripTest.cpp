#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include "ControlTestSupport.h"
#include "controls/grip/xxGrip.h"

using namespace controls;

namespace {

struct Frame {
    int x0, x1, y0, y1;
    bool operator==(const Frame&) const = default;
};

// A window with a 100 x 50 panel at (20, 30) and a grip around it that records its events.
struct Board {
    QWidget host;
    QWidget* panel = new QWidget(&host);
    TxxGrip grip{&host};
    std::vector<std::pair<char, Frame>> events;
    Board()
    {
        host.resize(300, 200);
        panel->setGeometry(20, 30, 100, 50);
        for (auto [kind, event] : {std::pair{'d', &grip.OnMouseDown}, {'m', &grip.OnMouseMove},
                                   {'u', &grip.OnMouseUp}})
            *event = [this, kind](QObject* sender, int x0, int x1, int y0, int y1) {
                EXPECT_EQ(sender, &grip);
                events.push_back({kind, {x0, x1, y0, y1}});
            };
        grip.SetAttach(panel);
    }
    QPoint at(int i) const { return grip.Handles(i)->pos(); }
};

void send(QWidget* w, QEvent::Type type, QPoint windowPoint, Qt::MouseButtons buttons)
{
    const QPointF local = w->mapFrom(w->parentWidget(), windowPoint);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, local, w->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Presses handle i at its centre, moves the mouse by each step in turn (in window
// coordinates, wherever the handle has gone by then) and releases it there.
void drag(Board& b, int i, std::vector<QPoint> steps)
{
    TxxHSpot* spot = b.grip.Handles(i);
    QPoint p = spot->geometry().center();
    send(spot, QEvent::MouseButtonPress, p, Qt::LeftButton);
    for (QPoint step : steps)
        send(spot, QEvent::MouseMove, p += step, Qt::LeftButton);
    send(spot, QEvent::MouseButtonRelease, p, Qt::NoButton);
}

}  // namespace

TEST(xxGrip, HandlesSurroundTheControlWithTheirDefaults)
{
    Board b;
    EXPECT_EQ(b.grip.GripSize(), 7);
    EXPECT_TRUE(b.grip.GripMove());
    EXPECT_EQ(b.grip.Color(), gfx::clBlack);
    EXPECT_FALSE(b.grip.GripView());
    EXPECT_EQ(b.at(4), QPoint(117, 77));
    EXPECT_EQ(b.at(7), QPoint(17, 52));
    const std::vector<QPoint> all = {{17, 27}, {67, 27}, {117, 27}, {117, 52},
                                     {117, 77}, {67, 77}, {17, 77}, {17, 52}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(b.at(i), all[size_t(i)]) << i;
        EXPECT_EQ(b.grip.Handles(i)->size(), QSize(7, 7));
        EXPECT_EQ(b.grip.Handles(i)->parentWidget(), &b.host);
        EXPECT_TRUE(b.grip.Handles(i)->isHidden());
    }

    b.grip.SetGripView(true);
    EXPECT_TRUE(b.grip.GripView());
    QPalette white;
    white.setColor(QPalette::Window, Qt::white);
    b.panel->setPalette(white);
    b.panel->setAutoFillBackground(true);
    b.host.show();
    const QImage look = controltest::snapshot(b.host);
    EXPECT_EQ(controltest::pixel(look, 120, 80), gfx::clBlack);
    controltest::saveShot(look, "xxGrip", 2);

    // A new size and colour show at the next placement and attach; attaching hides them.
    b.grip.SetGripSize(9);
    b.grip.SetColor(gfx::clRed);
    EXPECT_EQ(b.grip.Handles(0)->Color(), gfx::clBlack);
    b.grip.SetAttach(b.panel);
    EXPECT_FALSE(b.grip.GripView());
    EXPECT_EQ(b.grip.Handles(0)->Color(), gfx::clRed);
    EXPECT_EQ(b.grip.Handles(4)->geometry(), QRect(116, 76, 9, 9));
    b.panel->move(40, 40);
    b.grip.SetGripDraw(true);
    EXPECT_EQ(b.at(0), QPoint(36, 36));
}

TEST(xxGrip, DraggingResizesTheControlAndTurnsItOver)
{
    Board b;
    // The top edge moved sideways changes nothing and tells nothing of a move.
    drag(b, 1, {{25, 0}});
    EXPECT_EQ(b.panel->geometry(), QRect(20, 30, 100, 50));
    ASSERT_EQ(b.events.size(), 2u);
    EXPECT_EQ(b.events[0], (std::pair{'d', Frame{17, 117, 27, 77}}));
    EXPECT_EQ(b.events[1].first, 'u');

    // The right edge dragged left past the left side: the control turns over, its left at the
    // dragged handle (plus half a handle), as wide as the handles lie apart.
    b.events.clear();
    TxxHSpot* right = b.grip.Handles(3);
    QPoint p = right->geometry().center();
    send(right, QEvent::MouseButtonPress, p, Qt::LeftButton);
    send(right, QEvent::MouseMove, p + QPoint(-150, 9), Qt::LeftButton);
    EXPECT_EQ(b.panel->geometry(), QRect(-30, 30, 50, 50));
    EXPECT_EQ(b.at(2), QPoint(-33, 27));  // the corners of the dragged side stay
    EXPECT_EQ(b.at(4), QPoint(-33, 77));
    EXPECT_EQ(b.at(3), QPoint(17, 52));   // the edge handles surround the control
    EXPECT_EQ(b.at(1), QPoint(-8, 27));
    ASSERT_EQ(b.events.size(), 2u);
    EXPECT_EQ(b.events[1], (std::pair{'m', Frame{17, -33, 27, 77}}));
    send(right, QEvent::MouseButtonRelease, p + QPoint(-150, 9), Qt::NoButton);
    EXPECT_EQ(b.at(0), QPoint(-33, 27));  // the release re-places all eight
    EXPECT_EQ(b.at(4), QPoint(17, 77));
    EXPECT_EQ(b.events.back(), (std::pair{'u', Frame{-33, 17, 27, 77}}));

    // A corner pulls its neighbours: the bottom-right one out by (10, 5) from a fresh start.
    b.panel->setGeometry(20, 30, 100, 50);
    b.grip.SetGripDraw(true);
    drag(b, 4, {{4, 0}, {6, 5}});
    EXPECT_EQ(b.panel->geometry(), QRect(20, 30, 110, 55));
    EXPECT_EQ(b.at(5), QPoint(72, 82));
    // Upward past the top as well: never a negative height.
    drag(b, 5, {{0, -80}});
    EXPECT_EQ(b.panel->geometry(), QRect(20, 5, 110, 25));
}

TEST(xxGrip, MoveOffIgnoresTheMouse)
{
    Board b;
    b.grip.SetGripMove(false);
    drag(b, 4, {{30, 30}});
    drag(b, 7, {{-10, 0}});
    EXPECT_EQ(b.panel->geometry(), QRect(20, 30, 100, 50));
    EXPECT_TRUE(b.events.empty());
    EXPECT_EQ(b.at(4), QPoint(117, 77));
}

TEST(xxGrip, TwoGripsKeepTheirOwnHandlesAndADestroyedControlDetaches)
{
    Board b;
    QWidget* other = new QWidget(&b.host);
    other->setGeometry(200, 100, 40, 40);
    {
        TxxGrip second(&b.host);
        second.SetGripSize(5);
        second.SetAttach(other);
        EXPECT_EQ(second.Handles(0)->pos(), QPoint(198, 98));
        EXPECT_NE(second.Handles(0), b.grip.Handles(0));
        EXPECT_EQ(b.at(0), QPoint(17, 27));  // the first grip's handles stay put
    }
    // The second grip is gone with its handles; the first one still drags its control.
    drag(b, 0, {{-7, -7}});
    EXPECT_EQ(b.panel->geometry(), QRect(13, 23, 107, 57));
    EXPECT_EQ(other->geometry(), QRect(200, 100, 40, 40));

    b.grip.SetGripView(true);
    delete b.panel;
    b.panel = nullptr;
    EXPECT_EQ(b.grip.Attach(), nullptr);
    EXPECT_FALSE(b.grip.GripView());
    EXPECT_TRUE(b.grip.Handles(0)->isHidden());
    b.events.clear();
    drag(b, 4, {{10, 10}});  // a handle of nothing does nothing
    EXPECT_TRUE(b.events.empty());
    b.grip.SetGripDraw(true);
    b.grip.SetAttach(other);
    EXPECT_EQ(b.at(4), QPoint(237, 137));
}
