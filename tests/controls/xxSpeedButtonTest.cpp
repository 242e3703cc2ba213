#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QTest>

#include "ControlTestSupport.h"
#include "controls/xx/xxSpeedButton.h"

using namespace controls;

namespace {

void enter(QWidget& w, QPoint p = {5, 5})
{
    const QPointF local(p);
    QEnterEvent e{local, local, w.mapToGlobal(local)};
    QApplication::sendEvent(&w, &e);
}

void leave(QWidget& w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(&w, &e);
}

struct Group {
    QWidget host;
    std::vector<TxxSpeedButton*> buttons;
    std::vector<int> clicks;
    explicit Group(int n, int groupIndex, bool allowAllUp)
    {
        host.resize(40 * n + 10, 40);
        clicks.assign(n, 0);
        for (int i = 0; i < n; ++i) {
            auto* b = new TxxSpeedButton(&host);
            b->SetBounds(5 + 40 * i, 5, 30, 25);
            b->SetGroupIndex(groupIndex);
            b->SetAllowAllUp(allowAllUp);
            b->OnClick = [this, i](QObject*) { ++clicks[i]; };
            buttons.push_back(b);
        }
        host.show();
    }
    void click(int i) { QTest::mouseClick(buttons[i], Qt::LeftButton, {}, QPoint(10, 10)); }
};

int countColour(const QImage& img, gfx::TColor c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += controltest::pixel(img, x, y) == gfx::ColorToRGB(c);
    return n;
}

}  // namespace

TEST(xxSpeedButton, ToggleLatchesDownAndUpWhenAllUpIsAllowed)
{
    Group g(1, 1, true);
    g.click(0);
    EXPECT_TRUE(g.buttons[0]->Down());
    EXPECT_EQ(g.buttons[0]->State(), bsExclusive);
    g.click(0);
    EXPECT_FALSE(g.buttons[0]->Down());
    EXPECT_EQ(g.buttons[0]->State(), bsUp);
    EXPECT_EQ(g.clicks[0], 2);
}

TEST(xxSpeedButton, GroupKeepsOneDownAndRaisesTheOthers)
{
    Group g(3, 2, false);
    g.click(0);
    g.click(1);
    EXPECT_FALSE(g.buttons[0]->Down());
    EXPECT_TRUE(g.buttons[1]->Down());
    // Without AllowAllUp the only button down stays down.
    g.click(1);
    EXPECT_TRUE(g.buttons[1]->Down());
    g.buttons[1]->SetDown(false);
    EXPECT_TRUE(g.buttons[1]->Down());
    // A plain button never latches.
    g.buttons[2]->SetGroupIndex(0);
    g.buttons[2]->SetDown(true);
    EXPECT_FALSE(g.buttons[2]->Down());
}

TEST(xxSpeedButton, PressReleasedOutsideDoesNotClick)
{
    Group g(1, 0, false);
    TxxSpeedButton* b = g.buttons[0];
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(b->State(), bsDown);
    QTest::mouseMove(b, QPoint(100, 100));
    QMouseEvent move(QEvent::MouseMove, QPointF(100, 100), b->mapToGlobal(QPointF(100, 100)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(b, &move);
    EXPECT_EQ(b->State(), bsUp);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(g.clicks[0], 0);
    EXPECT_EQ(b->State(), bsUp);
}

TEST(xxSpeedButton, EnterAndLeaveReportPositionAndHoverOnlyWhenEnabled)
{
    Group g(1, 0, false);
    TxxSpeedButton* b = g.buttons[0];
    std::vector<std::string> seen;
    QCursor::setPos(b->mapToGlobal(QPoint(7, 9)));
    b->OnMouseEnter = [&](QObject* s, forms::TShiftState, int x, int y) {
        EXPECT_EQ(s, b);
        seen.push_back("enter " + std::to_string(x) + "," + std::to_string(y));
    };
    b->OnMouseLeave = [&](QObject*, forms::TShiftState, int, int) { seen.push_back("leave"); };
    enter(*b);
    EXPECT_TRUE(b->MouseInside());
    EXPECT_TRUE(b->WatchActive());
    leave(*b);
    EXPECT_FALSE(b->MouseInside());
    EXPECT_FALSE(b->WatchActive());
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "enter 7,9");

    b->SetEnabled(false);
    enter(*b);
    EXPECT_EQ(seen.size(), 3u);  // still reported
    EXPECT_FALSE(b->MouseInside());
    EXPECT_FALSE(b->WatchActive());
}

TEST(xxSpeedButton, MissedLeaveEndsTheHoverWithinTheWatchInterval)
{
    Group g(1, 0, false);
    TxxSpeedButton* b = g.buttons[0];
    int leaves = 0;
    b->OnMouseLeave = [&](QObject*, forms::TShiftState, int, int) { ++leaves; };
    QCursor::setPos(b->mapToGlobal(QPoint(5, 5)));
    enter(*b);
    QTest::qWait(TxxSpeedButton::WatchInterval + 50);
    EXPECT_TRUE(b->MouseInside());  // the cursor is still on it
    QCursor::setPos(b->mapToGlobal(QPoint(500, 500)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !b->MouseInside(); }, 2000));
    EXPECT_EQ(leaves, 1);
    EXPECT_FALSE(b->WatchActive());
}

TEST(xxSpeedButton, FlatStylesDecorateTheHoverAndTheDownState)
{
    Group g(1, 1, true);
    TxxSpeedButton* b = g.buttons[0];
    b->SetFlat(true);
    b->SetFlatStyle(fsFlatUp);
    b->SetOnAction(true);
    b->SetOnUpColor(gfx::clRed);
    b->SetCaption("B");
    gfx::TFont hot;
    hot.SetColor(gfx::clLime);
    hot.SetSize(12);
    b->SetOnFont(hot);
    QCursor::setPos(b->mapToGlobal(QPoint(5, 5)));
    const QImage outside = controltest::snapshot(*b);
    EXPECT_EQ(controltest::pixel(outside, 0, 0), gfx::ColorToRGB(b->Color()));
    EXPECT_EQ(countColour(outside, gfx::clLime), 0);
    enter(*b);
    const QImage hovered = controltest::snapshot(*b);
    EXPECT_EQ(controltest::pixel(hovered, 0, 0), gfx::clRed);
    EXPECT_GT(countColour(hovered, gfx::clLime), 0);  // caption in OnFont

    b->SetFlatStyle(fsNetscape4);
    b->SetDown(true);
    const QImage down = controltest::snapshot(*b);
    EXPECT_EQ(controltest::pixel(down, 0, 0), gfx::clBlack);
    EXPECT_EQ(controltest::pixel(down, 1, 1), gfx::ColorToRGB(gfx::clBtnShadow));
    EXPECT_EQ(controltest::pixel(down, 4, 20), gfx::ColorToRGB(b->OnDownColor()));
}

TEST(xxSpeedButton, GlyphAndCaptionAreLaidOutTogether)
{
    QWidget host;
    TxxSpeedButton b(&host);
    b.SetBounds(0, 0, 100, 30);
    gfx::TBitmap glyph(16, 16);
    glyph.Canvas().Brush().SetColor(gfx::clFuchsia);  // bottom-left colour: transparent
    glyph.Canvas().FillRect(gfx::Rect(0, 0, 16, 16));
    glyph.Canvas().Brush().SetColor(gfx::clBlue);
    glyph.Canvas().FillRect(gfx::Rect(4, 4, 12, 12));
    b.SetGlyph(glyph);
    b.SetCaption("Bold");
    const auto lay = b.CalcLayout(gfx::Rect(0, 0, 100, 30), {40, 14});
    // Centred as a whole: 16 + 4 + 40 = 60 pixels in 100.
    EXPECT_EQ(lay.glyphPos.X, 20);
    EXPECT_EQ(lay.textRect.Left, 40);
    EXPECT_EQ(lay.glyphPos.Y, 7);
    b.SetLayout(blGlyphTop);
    b.SetMargin(2);
    const auto top = b.CalcLayout(gfx::Rect(0, 0, 100, 30), {40, 14});
    EXPECT_EQ(top.glyphPos.Y, 2);
    EXPECT_EQ(top.textRect.Top, 22);
    b.SetLayout(blGlyphLeft);
    b.SetMargin(-1);
    b.SetCaption("");
    const QImage img = controltest::snapshot(b);
    EXPECT_EQ(controltest::pixel(img, 50, 15), gfx::clBlue);
    EXPECT_EQ(countColour(img, gfx::clFuchsia), 0);
}

TEST(xxSpeedButton, Screenshot)
{
    QWidget host;
    host.resize(250, 40);
    host.setStyleSheet("background: #d4d0c8");
    const char* captions[] = {"B", "I", "U", "S", "up", "off"};
    std::vector<TxxSpeedButton*> bs;
    for (int i = 0; i < 6; ++i) {
        auto* b = new TxxSpeedButton(&host);
        b->SetBounds(5 + 40 * i, 5, 34, 28);
        b->SetCaption(captions[i]);
        b->SetGroupIndex(i + 1);
        b->SetAllowAllUp(true);
        b->SetFlat(i < 4);
        b->SetFlatStyle(fsNetscape4);
        b->SetOnAction(i == 2);
        b->SetOnUpColor(gfx::RGB(255, 230, 160));
        bs.push_back(b);
    }
    gfx::TFont bold;
    bold.SetStyle(gfx::fsBold);
    bs[0]->Font().SetStyle(gfx::fsBold);
    bs[0]->SetDown(true);
    bs[1]->Font().SetStyle(gfx::fsItalic);
    bs[5]->SetEnabled(false);
    host.show();
    QCursor::setPos(bs[2]->mapToGlobal(QPoint(5, 5)));
    enter(*bs[1]);
    enter(*bs[2]);
    const QImage img = controltest::snapshot(host);
    EXPECT_EQ(controltest::pixel(img, 5, 5), gfx::clBlack);
    controltest::saveShot(img, "xxSpeedButton", 3);
}

TEST(xxSpeedButton, DefaultsAndTheOtherFlatStyles)
{
    Group g(1, 1, true);
    TxxSpeedButton* b = g.buttons[0];
    EXPECT_EQ(b->FlatStyle(), fsOffice97);
    EXPECT_FALSE(b->OnAction());
    EXPECT_EQ(b->OnFont().Color(), gfx::clHighlight);
    EXPECT_EQ(b->OnUpColor(), gfx::clBtnFace);
    EXPECT_EQ(b->OnDownColor(), gfx::clWindow);
    EXPECT_EQ(b->BackColor(), gfx::clBtnFace);
    EXPECT_EQ(b->FrameColor(), gfx::clBlack);
    b->SetFlat(true);
    b->SetOnUpColor(gfx::clRed);
    b->SetFrameColor(gfx::clBlue);
    QCursor::setPos(b->mapToGlobal(QPoint(5, 5)));
    enter(*b);

    // Office 97 adds nothing of its own over the flat hover edge.
    const QImage office = controltest::snapshot(*b);
    EXPECT_EQ(countColour(office, gfx::clRed), 0);
    EXPECT_EQ(countColour(office, gfx::clBlue), 0);
    // Netscape 4 without OnAction: a black frame round a raised edge.
    b->SetFlatStyle(fsNetscape4);
    const QImage netscape = controltest::snapshot(*b);
    EXPECT_EQ(controltest::pixel(netscape, 0, 0), gfx::clBlack);
    EXPECT_EQ(controltest::pixel(netscape, 1, 1), gfx::ColorToRGB(gfx::clBtnHighlight));
    // The frame style frames in FrameColor while hovered with OnAction, and in the control's
    // colour once the mouse is gone.
    b->SetFlatStyle(fsFrame);
    b->SetOnAction(true);
    EXPECT_EQ(controltest::pixel(controltest::snapshot(*b), 0, 0), gfx::clBlue);
    leave(*b);
    EXPECT_EQ(controltest::pixel(controltest::snapshot(*b), 0, 0), gfx::ColorToRGB(b->Color()));
    // Flat-all frames in OnUpColor like flat-up.
    b->SetFlatStyle(fsFlatAll);
    enter(*b);
    EXPECT_EQ(controltest::pixel(controltest::snapshot(*b), 0, 0), gfx::clRed);
}
