// Gradient controls: the painter's shapes and guards, blending and tinting, the fade
// animation, the progress bar's range rules and fill, and the fade button's keys, groups and
// disabled look.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "ControlTestSupport.h"
#include "controls/gradient/RbButton.h"
#include "controls/gradient/RbProgressBar.h"
#include "platform/forms/Form.h"

using namespace controls;
using controltest::pixel;
using controltest::snapshot;

namespace {

TColor at(const TBitmap& b, int x, int y)
{
    return b.PixelColor(x, y);
}

std::unique_ptr<TBitmap> filled(int w, int h, TColor c)
{
    auto b = std::make_unique<TBitmap>(w, h, gfx::pf24bit);
    DrawGradient(*b, gfx::Rect(0, 0, w, h), c, nullptr, gtHorizontal, c);
    return b;
}

}  // namespace

TEST(DrawGradient, HorizontalAndVerticalRunFromStartToEnd)
{
    TBitmap b(100, 10, gfx::pf24bit);
    DrawGradient(b, gfx::Rect(0, 0, 100, 10), gfx::RGB(0, 0, 0), nullptr, gtHorizontal, gfx::RGB(200, 100, 0));
    EXPECT_EQ(at(b, 0, 5), gfx::RGB(0, 0, 0));
    EXPECT_EQ(at(b, 50, 5), gfx::RGB(100, 50, 0));
    EXPECT_EQ(at(b, 99, 0), gfx::RGB(198, 99, 0));

    TBitmap v(4, 16, gfx::pf24bit);
    DrawGradient(v, gfx::Rect(0, 0, 4, 16), 0xB6977E, nullptr, gtVertical, 0xE0D2C9);
    EXPECT_EQ(at(v, 2, 0), TColor(0xB6977E));
    // Row 8 of 16 is half way: each channel the mean, halves rounded to even.
    EXPECT_EQ(at(v, 2, 8), gfx::RGB(0xA4, 0xB4, 0xCB));
}

TEST(DrawGradient, DoubleHorizontalHasStartColourInTheMiddle)
{
    TBitmap b(100, 4, gfx::pf24bit);
    DrawGradient(b, gfx::Rect(0, 0, 100, 4), TColor(0xF0E0D0), nullptr, gtDoubleHorz, gfx::RGB(0, 0, 0));
    EXPECT_EQ(at(b, 50, 1), TColor(0xF0E0D0));
    EXPECT_EQ(at(b, 0, 1), gfx::RGB(0, 0, 0));
    EXPECT_LE(gfx::GetRValue(at(b, 99, 1)), 6);
}

TEST(DrawGradient, EqualColoursFillRectOrRegionOnly)
{
    auto b_ = filled(20, 20, gfx::clWhite);
    TBitmap& b = *b_;
    DrawGradient(b, gfx::Rect(5, 5, 15, 15), 0x123456, nullptr, gtRadial, 0x123456);
    EXPECT_EQ(at(b, 5, 5), TColor(0x123456));
    EXPECT_EQ(at(b, 14, 14), TColor(0x123456));
    EXPECT_EQ(at(b, 15, 15), gfx::clWhite);

    auto r_ = filled(20, 20, gfx::clWhite);
    TBitmap& r = *r_;
    const QRegion region(0, 0, 4, 4);
    DrawGradient(r, gfx::Rect(0, 0, 20, 20), 0x00FF00, &region, gtVertical, 0x0000FF);
    EXPECT_EQ(at(r, 3, 0), TColor(0x00FF00));
    EXPECT_NE(at(r, 3, 3), gfx::clWhite);
    EXPECT_EQ(at(r, 4, 0), gfx::clWhite);
}

TEST(DrawGradient, ZeroSpansAndCornersStayInRange)
{
    // One pixel wide: the double span is 0; the pixel gets the start colour.
    TBitmap thin(1, 3, gfx::pf24bit);
    DrawGradient(thin, gfx::Rect(0, 0, 1, 3), 0x203040, nullptr, gtDoubleHorz, 0xFFFFFF);
    EXPECT_EQ(at(thin, 0, 1), TColor(0x203040));
    TBitmap dot(1, 1, gfx::pf24bit);
    DrawGradient(dot, gfx::Rect(0, 0, 1, 1), 0x000000, nullptr, gtRadial, 0xFFFFFF);
    EXPECT_EQ(at(dot, 0, 0), TColor(0));
    // Radial corners lie beyond the span: they saturate at the end colour, never wrap.
    TBitmap radial(100, 100, gfx::pf24bit);
    DrawGradient(radial, gfx::Rect(0, 0, 100, 100), 0x000000, nullptr, gtRadial, 0xFFFFFF);
    EXPECT_EQ(at(radial, 0, 0), TColor(0xFFFFFF));
    EXPECT_EQ(at(radial, 50, 50), TColor(0));
    // An empty bitmap or rectangle is left alone.
    TBitmap empty;
    DrawGradient(empty, gfx::Rect(0, 0, 10, 10), 0, nullptr, gtHorizontal, 0xFFFFFF);
    auto b_ = filled(4, 4, 0x111111);
    TBitmap& b = *b_;
    DrawGradient(b, gfx::Rect(2, 2, 2, 4), 0, nullptr, gtHorizontal, 0xFFFFFF);
    EXPECT_EQ(at(b, 2, 2), TColor(0x111111));
}

TEST(Blending, ZeroKeepsFullCopiesAndHalfMixes)
{
    auto over_ = filled(10, 10, gfx::RGB(200, 100, 50));
    TBitmap& over = *over_;
    auto dest_ = filled(10, 10, gfx::RGB(0, 0, 0));
    TBitmap& dest = *dest_;
    BlendBitmap(dest, over, gfx::Rect(0, 0, 10, 10), 0);
    EXPECT_EQ(at(dest, 5, 5), gfx::RGB(0, 0, 0));
    BlendBitmap(dest, over, gfx::Rect(0, 0, 10, 5), 50);
    EXPECT_EQ(at(dest, 5, 2), gfx::RGB(100, 50, 25));
    EXPECT_EQ(at(dest, 5, 7), gfx::RGB(0, 0, 0));
    BlendBitmap(dest, over, gfx::Rect(0, 0, 10, 10), 100);
    EXPECT_EQ(at(dest, 9, 9), gfx::RGB(200, 100, 50));

    // The copied base sits one pixel in; percentages above 100 count as 100.
    auto d2_ = filled(10, 10, gfx::clWhite);
    TBitmap& d2 = *d2_;
    CopyBitmapBlended(d2, *filled(10, 10, 0x102030), over, 1, gfx::Rect(0, 0, 10, 10), 0);
    EXPECT_EQ(at(d2, 0, 0), gfx::clWhite);
    EXPECT_EQ(at(d2, 1, 1), TColor(0x102030));
    CopyBitmapBlended(d2, *filled(10, 10, 0x102030), over, 1, gfx::Rect(0, 0, 10, 10), 250);
    EXPECT_EQ(at(d2, 4, 4), gfx::RGB(200, 100, 50));
}

TEST(Blending, TintGreysAndAddsTheTint)
{
    auto b_ = filled(2, 2, gfx::RGB(255, 0, 0));
    TBitmap& b = *b_;
    TintBitmap(b, 0x404040);
    EXPECT_EQ(at(b, 1, 1), gfx::RGB(149, 149, 149));  // Round(255 / 3) + 64
    auto w_ = filled(2, 2, gfx::clWhite);
    TBitmap& w = *w_;
    TintBitmap(w, 0x404040);
    EXPECT_EQ(at(w, 0, 0), gfx::clWhite);  // capped at 255
}

TEST(Blending, ReduceAveragesBlocksNearTheEdgesAndFillsTheInside)
{
    auto big_ = filled(6, 6, gfx::clWhite);
    TBitmap& big = *big_;
    big.Canvas().Brush().SetColor(gfx::clBlack);
    big.Canvas().FillRect(gfx::Rect(0, 0, 1, 6));  // one black column in each left block
    auto small_ = filled(3, 3, 0x123456);
    TBitmap& small = *small_;
    ReduceAntialiased(0x00FF00, big, small, 2, 1);
    EXPECT_EQ(at(small, 0, 0), gfx::RGB(127, 127, 127));  // (0 + 255 + 0 + 255) / 4
    EXPECT_EQ(at(small, 2, 2), gfx::clWhite);
    EXPECT_EQ(at(small, 1, 1), TColor(0x00FF00));        // inside the margin
}

TEST(FadeAnimation, HoverTakesTenTicksAndFallsBackFromWhereItStood)
{
    EXPECT_EQ(FadeInterval(fsSlow), 40);
    EXPECT_EQ(FadeInterval(fsMedium), 20);
    EXPECT_EQ(FadeInterval(fsVeryFast), 8);
    TRbButton b;
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&b, &enter);
    EXPECT_TRUE(b.IsOver());
    EXPECT_TRUE(b.FadeTimerActive());
    int ticks = 0;
    while (b.FadeTimerActive() && ticks < 50) {
        b.FadeTick();
        ++ticks;
    }
    EXPECT_EQ(ticks, 10);
    EXPECT_EQ(b.HoverLevel(), 100);

    // A quick pass: in three ticks, then out from 30.
    TRbButton q;
    QApplication::sendEvent(&q, &enter);
    for (int i = 0; i < 3; ++i)
        q.FadeTick();
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&q, &leave);
    EXPECT_EQ(q.HoverLevel(), 30);
    q.FadeTick();
    EXPECT_EQ(q.HoverLevel(), 20);
    while (q.FadeTimerActive())
        q.FadeTick();
    EXPECT_EQ(q.HoverLevel(), 0);
}

TEST(FadeAnimation, TheTimerDrivesTheSteps)
{
    TRbButton b;
    b.SetFadeSpeed(fsVeryFast);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&b, &enter);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !b.FadeTimerActive(); }, 5000));
    EXPECT_EQ(b.HoverLevel(), 100);
}

TEST(FadeAnimation, PressRaisesClickLevelByQuarters)
{
    TRbButton b;
    b.resize(75, 25);
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(b.IsPressed());
    b.FadeTick();
    EXPECT_EQ(b.ClickLevel(), 25);
    for (int i = 0; i < 3; ++i)
        b.FadeTick();
    EXPECT_EQ(b.ClickLevel(), 100);
    EXPECT_FALSE(b.FadeTimerActive());
}

TEST(StyleManager, ReferencesNeverDangle)
{
    auto manager = std::make_unique<TRbStyleManager>();
    auto button = std::make_unique<TRbButton>();
    TRbProgressBar bar;
    button->SetRbStyleManager(manager.get());
    bar.SetRbStyleManager(manager.get());
    bar.SetRbStyleManager(manager.get());
    EXPECT_EQ(manager->Controls().size(), 2u);
    button.reset();
    EXPECT_EQ(manager->Controls().size(), 1u);
    manager.reset();
    EXPECT_EQ(bar.RbStyleManager(), nullptr);
}

TEST(ProgressBar, PositionIsClampedAndPercentFollows)
{
    TRbProgressBar bar;
    EXPECT_EQ(bar.Width(), 150);
    EXPECT_EQ(bar.Height(), 16);
    bar.SetPosition(150);
    EXPECT_EQ(bar.Position(), 100);
    EXPECT_EQ(bar.Percent(), 100);
    bar.SetPosition(-5);
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_EQ(bar.Percent(), 0);
    bar.SetMin(50);
    EXPECT_EQ(bar.Position(), 50);
    bar.SetPosition(75);
    EXPECT_EQ(bar.Percent(), 50);
    bar.SetMax(60);  // below Position: Position follows
    EXPECT_EQ(bar.Position(), 60);
    EXPECT_EQ(bar.Percent(), 100);
    bar.SetMax(50);  // equal to Min: refused
    EXPECT_EQ(bar.Max(), 60);
    bar.SetMin(70);  // above Max: refused
    EXPECT_EQ(bar.Min(), 50);

    // The full 32-bit range does not overflow.
    TRbProgressBar wide;
    wide.SetMin(INT32_MIN);
    wide.SetMax(INT32_MAX);
    wide.SetPosition(0);
    EXPECT_EQ(wide.Percent(), 50);
}

TEST(ProgressBar, EmptyRangeIsAcceptedOnlyWhileLoading)
{
    forms::TForm form;
    auto* bar = new TRbProgressBar(&form);
    bar->SetMax(0);
    EXPECT_EQ(bar->Max(), 0);
    bar->SetPosition(10);
    EXPECT_EQ(bar->Percent(), 0);
    (void)snapshot(*bar);  // paints without dividing by the empty range
    // An inverted range left by loading keeps Position at Min and does not recurse.
    bar->SetMin(20);
    bar->SetPosition(5);
    EXPECT_EQ(bar->Position(), 20);
}

TEST(ProgressBar, BorderWidthMustStayBelowHalfTheHeight)
{
    TRbProgressBar bar;
    bar.SetBorderWidth(8);
    EXPECT_EQ(bar.BorderWidth(), 1);
    bar.SetBorderWidth(-1);
    EXPECT_EQ(bar.BorderWidth(), 1);
    bar.SetBorderWidth(7);
    EXPECT_EQ(bar.BorderWidth(), 7);
}

TEST(ProgressBar, FilledPartIsAWindowOntoTheGradient)
{
    TRbProgressBar bar;
    bar.SetColor(gfx::clWhite);
    bar.SetShowText(false);
    bar.SetPosition(50);
    QImage img = snapshot(bar);
    // Filled part (2, 2)-(73, 14); row 8 of a 16-pixel vertical gradient is the mean.
    EXPECT_EQ(pixel(img, 10, 8), gfx::RGB(0xA4, 0xB4, 0xCB));
    EXPECT_EQ(pixel(img, 72, 8), gfx::RGB(0xA4, 0xB4, 0xCB));
    EXPECT_EQ(pixel(img, 73, 8), gfx::clWhite);
    EXPECT_EQ(pixel(img, 100, 0), TColor(0x808080));  // top border line
    EXPECT_EQ(pixel(img, 149, 8), TColor(0x808080));  // right border line

    // Vertical at 25 %: the bottom quarter, top edge 100 x 75 / 100 = 75, inside the borders.
    bar.SetOrientation(pbVertical);
    bar.SetPosition(25);
    bar.resize(20, 100);
    img = snapshot(bar);
    EXPECT_EQ(pixel(img, 10, 76), gfx::clWhite);
    EXPECT_NE(pixel(img, 10, 77), gfx::clWhite);
    EXPECT_NE(pixel(img, 10, 97), gfx::clWhite);
    EXPECT_EQ(pixel(img, 10, 98), gfx::clWhite);
}

TEST(ProgressBar, TextRules)
{
    TRbProgressBar bar;
    bar.SetPosition(42);
    EXPECT_EQ(bar.DisplayText(), "42%");
    bar.SetCaption("音量");
    EXPECT_EQ(bar.DisplayText(), "音量 42%");
    bar.SetShowText(false);
    EXPECT_EQ(bar.DisplayText(), "音量");
    bar.SetCaption("");
    EXPECT_EQ(bar.DisplayText(), "");
    // No text drawn: the picture equals the one with captions switched off.
    const QImage withCaptionOn = snapshot(bar);
    bar.SetShowCaption(false);
    EXPECT_EQ(snapshot(bar), withCaptionOn);
}

TEST(FadeButton, ReturnAndEscapeClickAndSetModalResult)
{
    forms::TForm form;
    form.resize(200, 100);
    auto* ok = new TRbButton(&form);
    ok->SetCaption("OK");
    ok->SetModalResult(forms::mrOk);
    auto* cancel = new TRbButton(&form);
    cancel->SetCaption("キャンセル");
    cancel->SetModalResult(forms::mrCancel);
    cancel->SetCancel(true);
    cancel->move(100, 0);
    int clicks = 0;
    ok->OnClick = [&](QObject*) { ++clicks; };
    form.show();
    QApplication::setActiveWindow(&form);
    ok->setFocus();
    QTest::keyClick(ok, Qt::Key_Return);
    EXPECT_EQ(form.ModalResult(), forms::mrOk);
    EXPECT_EQ(clicks, 1);
    QTest::keyClick(ok, Qt::Key_Escape);
    EXPECT_EQ(form.ModalResult(), forms::mrCancel);
    QTest::keyClick(ok, Qt::Key_Escape, Qt::ShiftModifier);  // shift held: not a cancel
    QTest::keyClick(ok, Qt::Key_Space);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(form.ModalResult(), forms::mrOk);
}

TEST(FadeButton, GroupsToggle)
{
    QWidget parent;
    TRbButton a(&parent), b(&parent), c(&parent);
    for (TRbButton* x : {&a, &b, &c})
        x->SetGroupIndex(2);
    a.SetDown(true);
    b.SetDown(true);
    EXPECT_FALSE(a.Down());
    EXPECT_TRUE(b.Down());
    c.resize(75, 25);
    QTest::mouseClick(&c, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(c.Down());
    EXPECT_FALSE(a.Down() || b.Down());
    // The only one down stays down when clicked again (AllowAllUp off).
    QTest::mouseClick(&c, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(c.Down());
    c.SetAllowAllUp(true);
    QTest::mouseClick(&c, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(c.Down());
    // Without a group, Down stays up.
    TRbButton lone;
    lone.SetDown(true);
    EXPECT_FALSE(lone.Down());
}

TEST(FadeButton, DisabledLookIsEngravedWithTintedGlyph)
{
    TRbButton b;
    b.SetColor(gfx::clWhite);
    auto glyph_ = filled(8, 8, gfx::clWhite);
    TBitmap& glyph = *glyph_;
    glyph.Canvas().Brush().SetColor(gfx::clRed);
    glyph.Canvas().FillRect(gfx::Rect(2, 2, 6, 6));
    b.SetGlyph(glyph);
    b.SetCaption("");
    const QImage on = snapshot(b);
    // No caption: the text rectangle starts at 8 + 2; x = (10 + 75 - 2) / 2 - 8 = 33,
    // y = (25 - 8) / 2 = 8.
    EXPECT_EQ(pixel(on, 33 + 3, 8 + 3), gfx::clRed);
    b.SetEnabled(false);
    const QImage off = snapshot(b);
    EXPECT_EQ(pixel(off, 33 + 3, 8 + 3), gfx::RGB(149, 149, 149));
    EXPECT_NE(pixel(off, 33, 8), gfx::clWhite);  // transparent: the face shows there

    // The caption: black when enabled; engraved in the highlight and shadow colours when not.
    TRbButton t;
    t.SetCaption("WWW");
    auto count = [](const QImage& img, TColor c) {
        int n = 0;
        for (int y = 4; y < 21; ++y)
            for (int x = 10; x < 65; ++x)
                n += pixel(img, x, y) == c;
        return n;
    };
    const QImage enabled = snapshot(t);
    EXPECT_GT(count(enabled, gfx::clBlack), 10);
    t.SetEnabled(false);
    const QImage disabled = snapshot(t);
    EXPECT_EQ(count(disabled, gfx::clBlack), 0);
    EXPECT_GT(count(disabled, gfx::ColorToRGB(gfx::clBtnShadow)), 10);
}
