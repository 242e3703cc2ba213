// Colour-scheme controls: the button's and the track bar's schemes, the button's looks, keys
// and accelerators, and the track bar's range rules, dragging and tick marks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "ControlTestSupport.h"
#include "controls/xi/XiButton.h"
#include "controls/xi/XiTrackBar.h"
#include "platform/forms/Form.h"

using namespace controls;
using controltest::pixel;
using controltest::snapshot;

namespace xb = controls::xibutton;
namespace xt = controls::xitrackbar;

TEST(XiButtonScheme, DefaultsAreNeoDesertWithWhiteGradientEnds)
{
    TXiButton b;
    EXPECT_EQ(b.Width(), 75);
    EXPECT_EQ(b.Height(), 25);
    EXPECT_EQ(b.ColorScheme(), xb::csNeoDesert);
    EXPECT_FALSE(b.Gradient());
    EXPECT_EQ(b.ColorFace(), TColor(0xC6ECFF));
    EXPECT_EQ(b.ColorGrad(), TColor(0x37BEFF));
    EXPECT_EQ(b.OverColorGrad(), gfx::clWhite);
    EXPECT_EQ(b.DownColorGrad(), gfx::clWhite);
    EXPECT_EQ(b.DisabledColorGrad(), gfx::clWhite);
    EXPECT_EQ(b.Spacing(), 4);
    EXPECT_TRUE(b.HotTrack());
}

TEST(XiButtonScheme, TablesHoldTheirShape)
{
    // Every built-in scheme: black text, grey disabled text, gradient ends only in Neo schemes.
    for (int s = xb::csNeoDesert; s <= xb::csSilver; ++s) {
        const auto scheme = xb::TColorScheme(s);
        const bool neo = s <= xb::csNeoSun;
        for (int i : {xb::ciColorText, xb::ciOverColorText, xb::ciDownColorText})
            EXPECT_EQ(xb::SchemeColor(scheme, i), 0) << s;
        EXPECT_EQ(xb::SchemeColor(scheme, xb::ciDisabledColorText), 0x808080);
        for (int i : {xb::ciColorGrad, xb::ciOverColorGrad, xb::ciDownColorGrad, xb::ciDisabledColorGrad})
            EXPECT_EQ(xb::SchemeColor(scheme, i) != -1, neo) << s << " " << i;
    }
    EXPECT_EQ(xb::SchemeColor(xb::csNeoSky, xb::ciOverColorGrad), 0xFFA346);
    EXPECT_EQ(xb::SchemeColor(xb::csSky, xb::ciDownColorLight), 0xFF9122);
    EXPECT_EQ(xb::SchemeColor(xb::csGrass, xb::ciColorFocusRect), 0x00A421);
    EXPECT_EQ(xb::SchemeColor(xb::csSilver, xb::ciOverColorDark), 0x797979);
    EXPECT_EQ(xb::SchemeColor(xb::csCustom, xb::ciColorFace), -1);
}

TEST(XiButtonScheme, ColourWriteTurnsCustomAndSchemeRestores)
{
    TXiButton b;
    b.SetColorScheme(xb::csNeoSky);
    EXPECT_TRUE(b.Gradient());
    for (int i = 0; i < xb::ciColorCount; ++i)
        EXPECT_EQ(b.Color(i), xb::SchemeColor(xb::csNeoSky, i)) << i;
    b.SetColorFace(0x123456);
    EXPECT_EQ(b.ColorScheme(), xb::csCustom);
    b.SetGradient(false);
    b.SetColorScheme(xb::csNeoSky);
    EXPECT_EQ(b.ColorScheme(), xb::csNeoSky);
    EXPECT_EQ(b.ColorFace(), TColor(0xFFEEDD));
    EXPECT_TRUE(b.Gradient());
    // A plain scheme keeps the gradient ends and turns the gradient off.
    b.SetColorScheme(xb::csDesert);
    EXPECT_FALSE(b.Gradient());
    EXPECT_EQ(b.ColorGrad(), TColor(0xFFB66C));
    EXPECT_EQ(b.ColorFace(), TColor(0x95DDFF));
    // csCustom changes nothing.
    b.SetColorScheme(xb::csCustom);
    EXPECT_EQ(b.ColorFace(), TColor(0x95DDFF));
}

TEST(XiButtonLook, FaceGradientBorderAndBevel)
{
    TXiButton b;
    b.SetColorScheme(xb::csNeoSky);
    b.SetCaption("");
    const QImage img = snapshot(b);
    EXPECT_EQ(pixel(img, 0, 10), TColor(0xB35900));  // border
    EXPECT_EQ(pixel(img, 1, 10), TColor(0xFFECD9));  // light bevel, left
    EXPECT_EQ(pixel(img, 10, 1), TColor(0xFFECD9));  // light bevel, top
    EXPECT_EQ(pixel(img, 73, 10), TColor(0xFFA851)); // dark bevel, right
    EXPECT_EQ(pixel(img, 10, 23), TColor(0xFFA851)); // dark bevel, bottom
    // Row 10 of 25 is 10/25 of the way from face 0xFFEEDD to gradient end 0xFFB66C.
    // Red 221 - 113 x 0.4 = 175.8, green 238 - 56 x 0.4 = 215.6, blue 255.
    EXPECT_EQ(pixel(img, 20, 10), gfx::RGB(176, 216, 255));
}

TEST(XiButtonLook, DisabledColoursWinOverHover)
{
    TXiButton b;
    b.SetColorScheme(xb::csDesert);
    b.SetCaption("");
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&b, &enter);
    EXPECT_EQ(b.Look(), TXiButton::lookOver);
    EXPECT_EQ(pixel(snapshot(b), 20, 10), TColor(0x6FD0FF));
    b.SetEnabled(false);
    const QImage img = snapshot(b);
    EXPECT_EQ(pixel(img, 20, 10), TColor(0xE2E2E2));
    EXPECT_EQ(pixel(img, 0, 10), TColor(0xC4C4C4));
}

TEST(XiButtonInput, MousePressReleaseInsideAndOutside)
{
    TXiButton b;
    int clicks = 0;
    b.OnClick = [&](QObject*) { ++clicks; };
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QApplication::sendEvent(&b, &enter);
    EXPECT_EQ(b.Look(), TXiButton::lookOver);
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(b.Look(), TXiButton::lookDown);
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(200, 10));
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(b.Look(), TXiButton::lookNormal);
    QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(b.Look(), TXiButton::lookNormal);  // the click returns to normal
}

TEST(XiButtonInput, SpaceShowsDownAndClicksOnReleaseReturnClicksAtOnce)
{
    forms::TForm form;
    auto* b = new TXiButton(&form);
    b->SetModalResult(forms::mrYes);
    int clicks = 0;
    std::vector<TXiButton::TLook> looks;
    b->OnClick = [&](QObject*) { ++clicks; };
    form.show();
    QApplication::setActiveWindow(&form);
    b->setFocus();
    QTest::keyPress(b, Qt::Key_Space);
    EXPECT_EQ(b->Look(), TXiButton::lookDown);
    EXPECT_EQ(clicks, 0);
    QTest::keyRelease(b, Qt::Key_Space);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(b->Look(), TXiButton::lookNormal);
    EXPECT_EQ(form.ModalResult(), forms::mrYes);
    form.SetModalResult(forms::mrNone);
    QTest::keyPress(b, Qt::Key_Return);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(b->Look(), TXiButton::lookNormal);
    EXPECT_EQ(form.ModalResult(), forms::mrYes);
}

TEST(XiButtonInput, EscapeCancelsAndAcceleratorsClick)
{
    forms::TForm form;
    auto* ok = new TXiButton(&form);
    ok->SetCaption("&Play");
    ok->SetModalResult(forms::mrOk);
    auto* cancel = new TXiButton(&form);
    cancel->SetCaption("中止");
    cancel->SetCancel(true);
    cancel->SetModalResult(forms::mrCancel);
    cancel->move(0, 30);
    form.show();
    QApplication::setActiveWindow(&form);
    cancel->setFocus();
    QTest::keyClick(cancel, Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_EQ(form.ModalResult(), forms::mrNone);
    QTest::keyClick(cancel, Qt::Key_Escape);
    EXPECT_EQ(form.ModalResult(), forms::mrCancel);
    QTest::keyClick(&form, Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(form.ModalResult(), forms::mrOk);
    form.SetModalResult(forms::mrNone);
    ok->SetEnabled(false);
    QTest::keyClick(&form, Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(form.ModalResult(), forms::mrNone);
}

TEST(XiTrackBar, DefaultsAndSchemes)
{
    TXiTrackBar t;
    EXPECT_EQ(t.Width(), 100);
    EXPECT_EQ(t.Height(), 28);
    EXPECT_EQ(t.Max(), 10);
    EXPECT_EQ(t.ColorScheme(), xt::csDesert);
    EXPECT_EQ(t.BackColor(), gfx::clBtnFace);
    EXPECT_EQ(t.Color(xt::ciDisabledTickColor), TColor(0xC0C0C0));
    EXPECT_EQ(t.ThumbFaceColor(), TColor(0x8CDAFF));
    t.SetThumbFaceColor(0x010203);
    EXPECT_EQ(t.ColorScheme(), xt::csCustom);
    t.SetColor(xt::ciSlideFaceColor, 0x040506);
    t.SetColorScheme(xt::csGrass);
    EXPECT_EQ(t.ColorScheme(), xt::csGrass);
    int restored = 0;
    for (int i = 0; i < xt::ciTrackColorCount; ++i)
        if (const TColor c = xt::SchemeColor(xt::csGrass, i); c != -1) {
            EXPECT_EQ(t.Color(i), c) << i;
            ++restored;
        }
    EXPECT_EQ(restored, 21);
    EXPECT_EQ(t.ThumbFaceColor(), TColor(0x82E8AA));
    EXPECT_EQ(xt::SchemeColor(xt::csSun, xt::ciDownThumbGradColor), 0x91E9FF);
    EXPECT_EQ(xt::SchemeColor(xt::csSky, xt::ciSlideBorderColor), 0xF47A00);
}

TEST(XiTrackBar, PositionWritesClampAndAlwaysFireOnChange)
{
    TXiTrackBar t;
    int changes = 0;
    t.OnChange = [&](QObject*) { ++changes; };
    t.SetPosition(15);
    EXPECT_EQ(t.Position(), 10);
    EXPECT_EQ(changes, 1);
    t.SetPosition(10);
    EXPECT_EQ(changes, 2);
    t.SetPosition(-3);
    EXPECT_EQ(t.Position(), 0);
    t.SetPosition(8);
    changes = 0;
    t.SetMax(5);
    EXPECT_EQ(t.Position(), 5);
    EXPECT_EQ(changes, 0);
    t.SetMin(7);  // above Max: Min wins, no OnChange
    EXPECT_EQ(t.Position(), 7);
    EXPECT_EQ(changes, 0);
}

TEST(XiTrackBar, DraggingPinsAtTheEnds)
{
    TXiTrackBar t;
    int changes = 0;
    t.OnChange = [&](QObject*) { ++changes; };
    t.SetPosition(5);
    // Thumb 10 x 20 at offset 45 (track 90).
    const TRect thumb = t.Layout().thumb;
    EXPECT_EQ(thumb, gfx::Rect(45, 4, 55, 24));
    changes = 0;
    QTest::mousePress(&t, Qt::LeftButton, {}, QPoint(50, 14));
    EXPECT_EQ(t.ThumbState(), TXiTrackBar::tsDragging);
    QTest::mouseMove(&t, QPoint(500, 14));
    EXPECT_EQ(t.Position(), 10);
    QTest::mouseMove(&t, QPoint(-50, 14));
    EXPECT_EQ(t.Position(), 0);
    QTest::mouseMove(&t, QPoint(32, 14));  // offset 27 of 90: Round(3) = 3
    EXPECT_EQ(t.Position(), 3);
    EXPECT_EQ(changes, 3);
    QTest::mouseRelease(&t, Qt::LeftButton, {}, QPoint(32, 14));
    EXPECT_EQ(t.ThumbState(), TXiTrackBar::tsOver);
    // A press on the slide beside the thumb does not page.
    QTest::mousePress(&t, Qt::LeftButton, {}, QPoint(90, 14));
    QTest::mouseMove(&t, QPoint(95, 14));
    QTest::mouseRelease(&t, Qt::LeftButton, {}, QPoint(95, 14));
    EXPECT_EQ(t.Position(), 3);
}

TEST(XiTrackBar, AutoTicksEveryFrequencyAndTheLast)
{
    TXiTrackBar t;
    t.SetTickStyle(tsAuto);
    t.SetFrequency(3);
    // Bottom ticks at Round(90 i / 10) + 5 for i = 0, 3, 6, 9, 10.
    EXPECT_EQ(t.TickOffsets(false), (std::vector<int>{5, 32, 59, 86, 95}));
    t.SetSmoothCorners(false);
    const QImage img = snapshot(t);
    for (int p : {5, 32, 59, 86, 95})
        EXPECT_EQ(pixel(img, p, 26), TColor(0x006A9D)) << p;
    EXPECT_NE(pixel(img, 14, 26), TColor(0x006A9D));
    t.SetTickStyle(tsManual);
    EXPECT_EQ(t.TickOffsets(false), (std::vector<int>{5, 95}));
    t.SetFrequency(0);
    t.SetTickStyle(tsAuto);
    EXPECT_EQ(t.TickOffsets(false).size(), 11u);
}

TEST(XiTrackBar, HugeAndEmptyRangesStayBounded)
{
    TXiTrackBar t;
    t.SetTickStyle(tsAuto);
    t.SetTickMarks(tmBoth);
    t.SetMax(INT32_MAX);
    t.SetMin(INT32_MIN);
    const auto ticks = t.TickOffsets(true);
    EXPECT_LE(ticks.size(), size_t(t.Layout().track + 2));
    for (size_t i = 1; i < ticks.size(); ++i)
        EXPECT_LT(ticks[i - 1], ticks[i]);
    (void)snapshot(t);

    // Max = Min: the thumb sits at the start and dragging keeps Min.
    t.SetMin(4);
    t.SetMax(4);
    EXPECT_EQ(t.Layout().offset, 0);
    EXPECT_EQ(t.TickOffsets(false).size(), 1u);
    QTest::mousePress(&t, Qt::LeftButton, {}, QPoint(5, 14));
    QTest::mouseMove(&t, QPoint(60, 14));
    EXPECT_EQ(t.Position(), 4);
    QTest::mouseRelease(&t, Qt::LeftButton, {}, QPoint(60, 14));

    // No track at all (thumb as wide as the control).
    TXiTrackBar narrow;
    narrow.resize(6, 28);
    narrow.SetTickStyle(tsAuto);
    narrow.SetPosition(7);
    EXPECT_EQ(narrow.Layout().track, 0);
    (void)snapshot(narrow);
    EXPECT_EQ(narrow.Position(), 7);
}

TEST(XiTrackBar, PaintingNeverMovesPosition)
{
    // A vertical bar whose track (5 pixels) is shorter than its range (10): the thumb offset
    // rounds, but the position it shows stays what was written.
    TXiTrackBar t;
    t.SetOrientation(trVertical);
    t.resize(28, 15);
    t.SetPosition(3);
    (void)snapshot(t);
    EXPECT_EQ(t.Position(), 3);
    EXPECT_EQ(t.Layout().offset, 2);  // Round(5 / 10 x 3) = Round(1.5)
}
