// The shaped hints: sizes, window regions and pixels of the four shapes, and the
// application's hint timing as the event filter runs it (timers fired by hand).
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QToolTip>

#include "ControlTestSupport.h"
#include "controls/hint/NewHint.h"

using namespace controls;
using controltest::colourBox;
using controltest::pixel;

namespace {

constexpr gfx::TColor TextColour = 0x0000FF, PenColour = 0xFF0000, Shadow = gfx::clSilver;

forms::TApplicationHints& hints() { return forms::TApplicationHints::Instance(); }

// Puts the application's hints back as a program starts: Qt's tool tips, default timings.
struct HintReset {
    ~HintReset()
    {
        hints().SetHintWindowClass({});
        hints().SetHintPause(500);
        hints().SetHintShortPause(50);
        hints().SetHintHidePause(2500);
        hints().OnHint = nullptr;
        hints().OnShowHint = nullptr;
    }
};

struct Shaped : HintReset {
    TAppHint app;
    Shaped(THintStyle style)
    {
        app.SetHintStyle(style);
        app.Font().SetColor(TextColour);
        app.Pen().SetColor(PenColour);
    }
    // Shows text in a fresh hint window at (100, 100) and answers its picture; rect gets the
    // standard hint's rectangle for the same text.
    QImage show(THintEx& w, const std::string& text, gfx::TRect& rect)
    {
        rect = w.CalcHintRect(800, text);
        w.ActivateHint(gfx::OffsetRect(rect, 100, 100), text);
        return w.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    }
};

int alpha(const QImage& img, int x, int y) { return qAlpha(img.pixel(x, y)); }

// A widget with a hint, shown, and the mouse moved over it as the window system would.
struct Hovered : HintReset {
    QWidget host;
    QWidget* target = new QWidget(&host);
    QWidget* other = new QWidget(&host);
    Hovered()
    {
        host.resize(200, 100);
        target->setGeometry(10, 10, 80, 30);
        target->setToolTip(QStringLiteral("ヒント"));
        other->setGeometry(100, 10, 80, 30);
        other->setToolTip(QStringLiteral("隣"));
        host.show();
        QApplication::processEvents();
    }
    void move(QWidget* w, QPoint p)
    {
        QMouseEvent e(QEvent::MouseMove, QPointF(p), QPointF(w->mapToGlobal(p)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    bool hintShown() const { return hints().HintWindow() && hints().HintWindow()->isVisible(); }
};

}  // namespace

TEST(Hint, BalloonGrowsAndHoldsItsTail)
{
    Shaped s(hsFukidashi);
    THintEx w;
    gfx::TRect r;
    const QImage img = s.show(w, "一行目\n二行目", r);
    const int W = r.Right - r.Left + 14, H = r.Bottom - r.Top + 30;
    ASSERT_EQ(w.size(), QSize(W, H));
    EXPECT_TRUE(w.HintRegion().contains(QPoint(16, 15)));  // the tail
    EXPECT_FALSE(w.HintRegion().contains(QPoint(0, 0)));
    EXPECT_FALSE(w.HintRegion().contains(QPoint(30, 10)));  // beside the tail
    EXPECT_EQ(w.mask(), w.HintRegion());
    // Outside the shape nothing is painted; inside, the info colour, the outline and the
    // tail's edge in the pen's colour.
    EXPECT_EQ(alpha(img, 0, 0), 0);
    EXPECT_EQ(alpha(img, 30, 10), 0);
    EXPECT_EQ(pixel(img, 16, 16), gfx::ColorToRGB(gfx::clInfoBk));
    EXPECT_EQ(pixel(img, 1, 40), PenColour);
    EXPECT_EQ(pixel(img, 14, 12), PenColour);
    EXPECT_EQ(pixel(img, W - 1, 40), PenColour);
    // Text at (11, 25) with its shadow a pixel further.
    const QRect text = colourBox(img, TextColour), shade = colourBox(img, Shadow);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_GE(text.left(), 11);
    EXPECT_GE(text.top(), 25);
    EXPECT_EQ(shade.bottomRight(), text.bottomRight() + QPoint(1, 1));
    controltest::saveShot(img, "HintBalloon", 2);
}

TEST(Hint, RoundRectAndOwnerDraw)
{
    {
        Shaped s(hsRoundRect);
        THintEx w;
        gfx::TRect r;
        const QImage img = s.show(w, "角丸", r);
        const int W = r.Right - r.Left + 12, H = r.Bottom - r.Top + 10;
        ASSERT_EQ(w.size(), QSize(W, H));
        EXPECT_EQ(w.pos(), QPoint(100, 108));
        EXPECT_FALSE(w.HintRegion().contains(QPoint(0, 0)));
        EXPECT_TRUE(w.HintRegion().contains(QPoint(W / 2, 0)));
        EXPECT_EQ(alpha(img, 0, 0), 0);
        EXPECT_EQ(pixel(img, W / 2, 0), PenColour);
        EXPECT_GE(colourBox(img, TextColour).left(), 9);
        controltest::saveShot(img, "HintRoundRect", 2);
        // A hatched brush lays its lines over BGColor.
        s.app.Brush().SetColor(gfx::clLime);
        s.app.Brush().SetStyle(gfx::bsCross);
        s.app.SetBGColor(gfx::clTeal);
        const QImage hatched = s.show(w, "角丸", r);
        const QRect inside(2, 2, W - 4, H - 4);
        EXPECT_GT(controltest::countColour(hatched, gfx::clLime, 0, inside), 0);
        EXPECT_GT(controltest::countColour(hatched, gfx::clTeal, 0, inside), 0);
    }
    Shaped s(hsOwnerDraw);
    std::string seen;
    int seenW = 0, seenH = 0;
    s.app.OnPaint = [&](const std::string& text, gfx::TCanvas& c, int w, int h) {
        seen = text;
        seenW = w;
        seenH = h;
        c.Brush().SetColor(gfx::clLime);
        c.FillRect({0, 0, w, h});
    };
    THintEx w;
    gfx::TRect r;
    const QImage img = s.show(w, "自前", r);
    EXPECT_EQ(seen, "自前");
    EXPECT_EQ(QSize(seenW, seenH), w.size());
    EXPECT_EQ(w.size(), QSize(r.Right - r.Left, r.Bottom - r.Top));
    EXPECT_EQ(pixel(img, 0, 0), gfx::clLime);
    controltest::saveShot(img, "HintOwnerDraw", 2);
}

TEST(Hint, LineStringHaloAndLeaderOverNothing)
{
    Shaped s(hsLineString);
    THintEx w;
    gfx::TRect r;
    const QImage img = s.show(w, "線", r);
    const int W = r.Right - r.Left + 21, H = r.Bottom - r.Top + 12;
    ASSERT_EQ(w.size(), QSize(W, H));
    EXPECT_FALSE(w.HintRegion().contains(QPoint(0, 0)));
    EXPECT_TRUE(w.HintRegion().contains(QPoint(1, 1)));
    // Nothing erased: between the letters and the line, the window is clear.
    EXPECT_EQ(alpha(img, W - 3, 2), 0);
    EXPECT_EQ(pixel(img, 1, 1), PenColour);           // the leader's start
    EXPECT_EQ(pixel(img, W - 2, H - 2), PenColour);   // and its end along the bottom
    // The halo: the shadow colour one pixel round the text on all four sides.
    const QRect text = colourBox(img, TextColour), halo = colourBox(img, Shadow);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_GE(text.left(), 19);
    EXPECT_GE(text.top(), 11);
    EXPECT_EQ(halo, text.adjusted(-1, -1, 1, 1));
    controltest::saveShot(img, "HintLineString", 3);

    s.app.SetShadowVisible(false);
    const QImage plain = s.show(w, "線", r);
    EXPECT_TRUE(colourBox(plain, Shadow).isEmpty());
}

TEST(Hint, InstancesAndTheStandardHintAfterTheLastOne)
{
    HintReset reset;
    auto* first = new TAppHint;
    {
        TAppHint second;
        EXPECT_EQ(TAppHint::Current(), &second);
        delete first;  // not the current one: nothing changes
        EXPECT_EQ(TAppHint::Current(), &second);
    }
    EXPECT_EQ(TAppHint::Current(), nullptr);
    // A hint window left behind paints the standard hint: unshaped, framed, info colour.
    THintEx w;
    const gfx::TRect r = w.CalcHintRect(800, "標準");
    w.ActivateHint(gfx::OffsetRect(r, 50, 50), "標準");
    EXPECT_TRUE(w.HintRegion().isEmpty());
    EXPECT_EQ(w.size(), QSize(r.Right - r.Left, r.Bottom - r.Top));
    const QImage img = w.grab().toImage();
    EXPECT_EQ(pixel(img, 0, 0), gfx::clBlack);
    EXPECT_EQ(pixel(img, 1, 1), gfx::ColorToRGB(gfx::clInfoBk));
}

TEST(Hint, PausesAndHidingAsTheFilterRunsThem)
{
    Hovered h;
    TAppHint app;
    EXPECT_EQ(app.HintPause(), 500);
    std::vector<std::string> hinted;
    app.OnHint = [&](QObject*) { hinted.push_back(hints().Hint()); };
    h.move(h.target, {5, 5});
    EXPECT_FALSE(h.hintShown());
    ASSERT_TRUE(hints().ShowTimerActive());
    EXPECT_EQ(hints().ShowTimerInterval(), 500);
    hints().FireShowTimer();
    ASSERT_TRUE(h.hintShown());
    EXPECT_EQ(hints().HintWindow()->Caption(), "ヒント");
    EXPECT_EQ(hinted, std::vector<std::string>{"ヒント"});  // the hint event
    ASSERT_TRUE(hints().HideTimerActive());
    EXPECT_EQ(hints().HideTimerInterval(), 2500);
    h.move(h.target, {7, 6});  // moving within the control keeps it
    EXPECT_TRUE(h.hintShown());
    h.move(h.other, {5, 5});  // from one hint to the next: the short pause
    EXPECT_EQ(hints().ShowTimerInterval(), 50);
    hints().FireShowTimer();
    EXPECT_EQ(hints().HintWindow()->Caption(), "隣");
    hints().FireHideTimer();
    EXPECT_FALSE(h.hintShown());
    h.move(h.other, {8, 6});  // and it stays hidden until the mouse reaches another control
    EXPECT_FALSE(h.hintShown());
    EXPECT_FALSE(hints().ShowTimerActive());

    // Off the control and back: with HintPause 0 it shows on the first move, for
    // HintHidePause.
    h.move(&h.host, {150, 80});
    EXPECT_EQ(hinted.back(), "");
    app.SetHintPause(0);
    app.SetHintHidePause(15000);
    h.move(h.target, {5, 5});
    EXPECT_TRUE(h.hintShown());
    EXPECT_EQ(hints().HideTimerInterval(), 15000);
    // A press hides it.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(h.target->mapToGlobal(QPoint(5, 5))),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.target, &press);
    EXPECT_FALSE(h.hintShown());
}

TEST(Hint, StyleChangeShowsWithTheNextHintAndShowHintMayRefuse)
{
    Hovered h;
    TAppHint app;
    app.SetHintPause(0);
    h.move(h.target, {5, 5});
    auto* shown = dynamic_cast<THintEx*>(hints().HintWindow());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->ShownStyle(), hsFukidashi);
    app.SetHintStyle(hsRoundRect);
    EXPECT_EQ(hints().HintWindow(), nullptr);  // dropped; the next hint makes a new one
    h.move(&h.host, {150, 80});
    h.move(h.target, {5, 5});
    shown = dynamic_cast<THintEx*>(hints().HintWindow());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->ShownStyle(), hsRoundRect);
    app.Font().SetColor(gfx::clNavy);  // a new font makes a new window too
    EXPECT_EQ(hints().HintWindow(), nullptr);

    app.OnShowHint = [](std::string& text, bool& canShow, forms::THintInfo& info) {
        canShow = info.HintStr != "内緒";
        text += "!";
    };
    h.move(&h.host, {150, 80});
    h.move(h.target, {5, 5});
    EXPECT_EQ(hints().HintWindow()->Caption(), "ヒント!");
    h.target->setToolTip(QStringLiteral("内緒"));
    h.move(&h.host, {150, 80});
    h.move(h.target, {5, 5});
    EXPECT_FALSE(h.hintShown());
}

TEST(Hint, WithoutAHintWindowClassQtShowsItsOwnToolTip)
{
    Hovered h;
    auto askForTip = [&] {
        QHelpEvent e(QEvent::ToolTip, QPoint(5, 5), h.target->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(h.target, &e);
    };
    {
        TAppHint app;
        askForTip();  // taken over: Qt's tip never shows
        EXPECT_FALSE(QToolTip::isVisible());
        // A menu action's tip is no widget's hint: it stays Qt's.
        QMenu menu;
        menu.setToolTipsVisible(true);
        QAction* a = menu.addAction(QStringLiteral("何がでるかお楽しみ"));
        a->setToolTip(QStringLiteral("一曲ごとに効果が変化します"));
        menu.popup(QPoint(300, 300));
        QApplication::processEvents();
        const QPoint at = menu.actionGeometry(a).center();
        QHelpEvent e(QEvent::ToolTip, at, menu.mapToGlobal(at));
        QApplication::sendEvent(&menu, &e);
        EXPECT_TRUE(QToolTip::isVisible());
        EXPECT_EQ(QToolTip::text(), a->toolTip());
        QToolTip::hideText();
        menu.close();
    }
    hints().SetHintWindowClass({});
    askForTip();
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), QStringLiteral("ヒント"));
    QToolTip::hideText();
    h.move(h.target, {5, 5});
    EXPECT_FALSE(hints().ShowTimerActive());
}
