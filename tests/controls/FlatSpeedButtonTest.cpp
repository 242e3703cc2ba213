// Flat speed button: the glyph-count rule, latching within a group, clicks and the window's
// modal result, the face and frame colours of each state, the embossed disabled glyph, the
// see-through mode, and the shared tracking timer (its life, and a leave that only a tick
// sees).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QTest>

#include "ControlTestSupport.h"
#include "controls/flat/TFlatSpeedButtonUnit.h"
#include "platform/forms/Form.h"

using namespace controls;
using controltest::pixel;
using controltest::activate;
using controltest::snapshot;

namespace {

gfx::TBitmap strip(int w, int h)
{
    return gfx::TBitmap(w, h, gfx::pf24bit);
}

// Moves the pointer over `w` at (x, y), both as an event and as the cursor's position.
void hover(QWidget* w, QPoint at)
{
    QCursor::setPos(w->mapToGlobal(at));
    QTest::mouseMove(w, at);
}

// Distinct colours for every state, so a pixel tells which one was used.
void paintable(TFlatSpeedButton& b)
{
    b.SetColor(0x101010);
    b.SetColors(0, 0x202020);  // focused
    b.SetColors(1, 0x303030);  // down
    b.SetColors(2, 0x404040);  // border
    b.SetColors(3, 0x505050);  // highlight
    b.SetColors(4, 0x606060);  // shadow
}

struct Frame {
    TColor top, left, right, bottom, face;
};

Frame frameOf(TFlatSpeedButton& b)
{
    const QImage img = snapshot(b);
    const int w = img.width(), h = img.height();
    return {pixel(img, w / 2, 0), pixel(img, 0, h / 2), pixel(img, w - 1, h / 2),
            pixel(img, w / 2, h - 1), pixel(img, 3, 3)};
}

}  // namespace

TEST(FlatSpeedButton, DefaultsAndTheGlyphCountRule)
{
    TFlatSpeedButton b;
    EXPECT_EQ(b.Width(), 25);
    EXPECT_EQ(b.Height(), 25);
    EXPECT_EQ(b.Layout(), blGlyphTop);
    EXPECT_EQ(b.Margin(), -1);
    EXPECT_EQ(b.Spacing(), 4);
    EXPECT_EQ(b.TransparentMode(), tmNone);
    EXPECT_EQ(b.ColorDown(), TColor(0xC5D6D9));
    EXPECT_EQ(b.AdvColors(2), 50);
    EXPECT_TRUE(b.ParentColor());

    b.SetGlyph(strip(64, 16));
    EXPECT_EQ(b.NumGlyphs(), 4);
    b.SetGlyph(strip(96, 16));  // six would be too many: one image
    EXPECT_EQ(b.NumGlyphs(), 1);
    b.SetNumGlyphs(3);
    b.SetGlyph(strip(50, 16));  // no whole multiple: left alone
    EXPECT_EQ(b.NumGlyphs(), 3);
    b.SetGlyph(gfx::TBitmap());
    EXPECT_EQ(b.NumGlyphs(), 3);

    b.SetMargin(-2);
    EXPECT_EQ(b.Margin(), -1);
    b.SetMargin(0);
    b.SetMargin(-2);
    EXPECT_EQ(b.Margin(), 0);
}

TEST(FlatSpeedButton, LatchingWithinAGroup)
{
    forms::TForm form;
    form.resize(100, 40);
    auto* a = new TFlatSpeedButton(&form);
    auto* b = new TFlatSpeedButton(&form);
    b->move(30, 0);
    activate(form);

    a->SetDown(true);  // no group: never down
    EXPECT_FALSE(a->Down());

    a->SetGroupIndex(1);
    b->SetGroupIndex(1);
    a->SetDown(true);
    EXPECT_EQ(a->State(), bsExclusive);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(a->Down());
    EXPECT_EQ(a->State(), bsUp);

    // The only down button of a group that may not be all up stays down.
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(b->Down());
    b->SetDown(false);
    EXPECT_TRUE(b->Down());

    // AllowAllUp is shared by the group.
    a->SetAllowAllUp(true);
    EXPECT_TRUE(b->AllowAllUp());
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(b->Down());
    EXPECT_EQ(b->State(), bsUp);

    // A press that leaves the button before the release changes nothing.
    QTest::mousePress(a, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(a->State(), bsDown);
    QTest::mouseMove(a, QPoint(60, 5));
    EXPECT_EQ(a->State(), bsUp);
    QTest::mouseRelease(a, Qt::LeftButton, {}, QPoint(60, 5));
    EXPECT_FALSE(a->Down());
}

TEST(FlatSpeedButton, ClickGivesTheWindowItsModalResult)
{
    forms::TForm form;
    form.resize(100, 40);
    auto* b = new TFlatSpeedButton(&form);
    b->SetCaption("&Colour");
    b->SetModalResult(forms::mrOk);
    int clicks = 0, doubles = 0;
    b->OnClick = [&](QObject*) { ++clicks; };
    b->OnDblClick = [&](QObject*) { ++doubles; };
    activate(form);

    // The bottom edge's next row still counts as over the button.
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, b->height()));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(form.ModalResult(), forms::mrOk);
    QTest::mouseDClick(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(doubles, 0);  // only a down button answers a double click

    form.SetModalResult(forms::mrNone);
    QTest::keyClick(&form, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(form.ModalResult(), forms::mrOk);
    const int before = clicks;
    b->SetEnabled(false);
    QTest::keyClick(&form, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(clicks, before);

    b->SetEnabled(true);
    b->SetGroupIndex(2);
    b->SetDown(true);
    QTest::mouseDClick(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(doubles, 1);
}

TEST(FlatSpeedButton, FaceAndFrameFollowTheState)
{
    forms::TForm form;
    form.resize(100, 40);
    auto* b = new TFlatSpeedButton(&form);
    paintable(*b);
    b->SetGroupIndex(3);
    b->SetAllowAllUp(true);
    activate(form);
    QCursor::setPos(form.mapToGlobal(QPoint(90, 35)));

    Frame f = frameOf(*b);  // up, mouse elsewhere: the border all round, the plain face
    EXPECT_EQ(f.top, TColor(0x404040));
    EXPECT_EQ(f.bottom, TColor(0x404040));
    EXPECT_EQ(f.face, TColor(0x101010));

    hover(b, QPoint(5, 5));  // raised
    ASSERT_TRUE(b->IsMouseIn());
    f = frameOf(*b);
    EXPECT_EQ(f.top, TColor(0x505050));
    EXPECT_EQ(f.left, TColor(0x505050));
    EXPECT_EQ(f.right, TColor(0x606060));
    EXPECT_EQ(f.bottom, TColor(0x606060));
    EXPECT_EQ(f.face, TColor(0x202020));

    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));  // pressed: sunken
    f = frameOf(*b);
    EXPECT_EQ(f.top, TColor(0x606060));
    EXPECT_EQ(f.right, TColor(0x505050));
    EXPECT_EQ(f.face, TColor(0x303030));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(b->Down());

    // Latched: sunken, the focused face under the mouse and the down face away from it.
    EXPECT_EQ(frameOf(*b).face, TColor(0x202020));
    hover(b, QPoint(60, 5));
    TFlatSpeedButton::TrackingTick();
    f = frameOf(*b);
    EXPECT_EQ(f.top, TColor(0x606060));
    EXPECT_EQ(f.face, TColor(0x303030));

    b->SetEnabled(false);
    f = frameOf(*b);
    EXPECT_EQ(f.top, TColor(0x404040));
    EXPECT_EQ(f.face, TColor(0x101010));
    b->SetEnabled(true);
    EXPECT_EQ(frameOf(*b).face, TColor(0x303030));  // back to latched
    controltest::saveShot(snapshot(*b), "flat_speed_button_latched", 4);
}

TEST(FlatSpeedButton, DisabledGlyphIsEmbossed)
{
    forms::TForm form;
    auto* b = new TFlatSpeedButton(&form);
    b->SetColor(gfx::clBtnFace);
    // An 8 x 8 glyph on black with a 2 x 2 dark block at (3, 3); it lands centred at (9, 9).
    gfx::TBitmap glyph(8, 8, gfx::pf24bit);
    glyph.Canvas().Brush().SetColor(gfx::clBlack);
    glyph.Canvas().FillRect(gfx::Rect(0, 0, 8, 8));
    glyph.Canvas().Brush().SetColor(0x404080);
    glyph.Canvas().FillRect(gfx::Rect(3, 3, 5, 5));
    b->SetGlyph(glyph);
    activate(form);

    QImage img = snapshot(*b);
    EXPECT_EQ(pixel(img, 12, 12), TColor(0x404080));
    EXPECT_EQ(pixel(img, 10, 10), gfx::ColorToRGB(gfx::clBtnFace));  // black is the key

    b->SetEnabled(false);
    img = snapshot(*b);
    const TColor shadow = gfx::ColorToRGB(gfx::clBtnShadow), light = gfx::ColorToRGB(gfx::clBtnHighlight);
    EXPECT_EQ(pixel(img, 12, 12), shadow);
    EXPECT_EQ(pixel(img, 13, 13), shadow);
    EXPECT_EQ(pixel(img, 14, 14), light);
    EXPECT_EQ(pixel(img, 14, 13), light);
    EXPECT_EQ(pixel(img, 14, 12), gfx::ColorToRGB(gfx::clBtnFace));
    EXPECT_EQ(pixel(img, 11, 11), gfx::ColorToRGB(gfx::clBtnFace));
    controltest::saveShot(img, "flat_speed_button_disabled", 4);

    // With an image of its own for the disabled state, that one is drawn as it is.
    gfx::TBitmap two(16, 8, gfx::pf24bit);
    two.Canvas().Brush().SetColor(gfx::clBlack);
    two.Canvas().FillRect(gfx::Rect(0, 0, 16, 8));
    two.Canvas().Brush().SetColor(0x00C000);
    two.Canvas().FillRect(gfx::Rect(11, 3, 13, 5));
    b->SetGlyph(two);
    ASSERT_EQ(b->NumGlyphs(), 2);
    EXPECT_EQ(pixel(snapshot(*b), 12, 12), TColor(0x00C000));
}

TEST(FlatSpeedButton, NotFocusedModePaintsTheFaceOnlyWhileHovered)
{
    controltest::Backdrop back([](QImage& img) { img.fill(QColor(0, 0, 200)); }, 100, 40);
    auto* b = new TFlatSpeedButton(&back);
    paintable(*b);
    b->SetTransparentMode(tmNotFocused);
    activate(back);
    QCursor::setPos(back.mapToGlobal(QPoint(90, 35)));
    const TColor blue = gfx::RGB(0, 0, 200);
    EXPECT_EQ(frameOf(*b).face, blue);
    hover(b, QPoint(5, 5));
    EXPECT_EQ(frameOf(*b).face, TColor(0x202020));
    hover(b, QPoint(60, 5));
    TFlatSpeedButton::TrackingTick();
    EXPECT_EQ(frameOf(*b).face, blue);
    b->SetTransparentMode(tmAlways);
    hover(b, QPoint(5, 5));
    EXPECT_EQ(frameOf(*b).face, blue);
}

TEST(FlatSpeedButton, SharedTimerAndALeaveThatOnlyATickSees)
{
    forms::TForm form;
    form.resize(100, 40);
    auto* a = new TFlatSpeedButton(&form);
    auto* b = new TFlatSpeedButton(&form);
    b->move(30, 0);
    int enters = 0, leaves = 0;
    b->OnMouseEnter = [&](QObject*) { ++enters; };
    b->OnMouseLeave = [&](QObject*) { ++leaves; };
    activate(form);
    EXPECT_TRUE(TFlatSpeedButton::SharedTimerExists());

    hover(a, QPoint(5, 5));
    EXPECT_EQ(TFlatSpeedButton::TrackedControl(), a);
    hover(b, QPoint(5, 5));  // the next button takes over; the first one is left
    EXPECT_EQ(TFlatSpeedButton::TrackedControl(), b);
    EXPECT_FALSE(a->IsMouseIn());
    EXPECT_TRUE(b->IsMouseIn());

    EXPECT_EQ(enters, 1);
    // The pointer goes without a leave event: the tick notices, and reports the leave once.
    QCursor::setPos(form.mapToGlobal(QPoint(90, 35)));
    TFlatSpeedButton::TrackingTick();
    EXPECT_FALSE(b->IsMouseIn());
    EXPECT_EQ(TFlatSpeedButton::TrackedControl(), nullptr);
    EXPECT_EQ(leaves, 1);
    QEvent late(QEvent::Leave);
    QApplication::sendEvent(b, &late);
    EXPECT_EQ(leaves, 1);

    // Not while the button is held.
    hover(b, QPoint(5, 5));
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    QCursor::setPos(form.mapToGlobal(QPoint(90, 35)));
    TFlatSpeedButton::TrackingTick();
    EXPECT_TRUE(b->IsMouseIn());
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(60, 30));
    EXPECT_FALSE(b->IsMouseIn());

    // A button that goes away is not followed any more; the last one takes the timer along.
    hover(a, QPoint(5, 5));
    delete a;
    EXPECT_EQ(TFlatSpeedButton::TrackedControl(), nullptr);
    TFlatSpeedButton::TrackingTick();
    delete b;
    EXPECT_FALSE(TFlatSpeedButton::SharedTimerExists());
    TFlatSpeedButton again;
    EXPECT_TRUE(TFlatSpeedButton::SharedTimerExists());
}

TEST(FlatSpeedButton, ActionImageOverFuchsia)
{
    // A 16 x 16 image: a green 4 x 4 square on a grey that the list treats as see-through.
    forms::TImageList images(16, 16);
    gfx::TBitmap picture(16, 16, gfx::pf24bit);
    picture.Canvas().Brush().SetColor(gfx::clGray);
    picture.Canvas().FillRect(gfx::Rect(0, 0, 16, 16));
    picture.Canvas().Brush().SetColor(gfx::clLime);
    picture.Canvas().FillRect(gfx::Rect(6, 6, 10, 10));
    images.AddMasked(picture, gfx::clGray);

    forms::TForm form;
    auto* b = new TFlatSpeedButton(&form);
    b->SetColor(gfx::clBtnFace);
    b->SetActionImage(images, 1);  // no such image
    EXPECT_TRUE(b->Glyph().Empty());
    b->SetActionImage(images, 0);
    ASSERT_EQ(b->Glyph().Width(), 16);
    EXPECT_EQ(b->Glyph().PixelColor(0, 15), gfx::clFuchsia);
    EXPECT_EQ(b->Glyph().PixelColor(7, 7), gfx::clLime);
    activate(form);
    // Drawn centred at (5, 5): the square shows, the fuchsia does not.
    const QImage img = snapshot(*b);
    EXPECT_EQ(pixel(img, 12, 12), gfx::clLime);
    EXPECT_EQ(controltest::countColour(img, gfx::clFuchsia), 0);
    EXPECT_EQ(pixel(img, 6, 6), gfx::ColorToRGB(gfx::clBtnFace));

    // A glyph of its own is kept.
    gfx::TBitmap own(8, 8, gfx::pf24bit);
    b->SetGlyph(own);
    b->SetActionImage(images, 0);
    EXPECT_EQ(b->Glyph().Width(), 8);
}
