// Flat controls: HSL conversions checked against python's colorsys, the advanced-colour rule,
// the drawing helpers, the check box's toggling, tracking and keys, and the flat edit's and
// combo box's frames, arrows and list height.
#include <gtest/gtest.h>

#include <sstream>

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>

#include "ControlTestSupport.h"
#include "support/TestSupport.h"
#include "controls/flat/HSLUtils.h"
#include "controls/flat/TFlatCheckBoxUnit.h"
#include "controls/flat/TFlatComboBoxUnit.h"
#include "controls/flat/TFlatEditUnit.h"
#include "platform/forms/Form.h"

using namespace controls;
using controltest::pixel;
using controltest::snapshot;

namespace {

const std::vector<TColor> SampleColours = {
    0x000000, 0xFFFFFF, 0x808080, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF,
    0xE1EAEB, 0x8396A0, 0xC5D6D9, 0x123456, 0xFEDCBA, 0x7F8081, 0x010203, 0x9D6A00};

void activate(QWidget& w)
{
    w.show();
    QApplication::setActiveWindow(&w);
    (void)QTest::qWaitForWindowActive(&w, 1000);
}

}  // namespace

TEST(HSL, MatchesPythonColorsys)
{
    std::ostringstream script;
    script << "import colorsys\n";
    for (TColor c : SampleColours)
        script << "h,l,s=colorsys.rgb_to_hls(" << gfx::GetRValue(c) << "/255," << gfx::GetGValue(c)
               << "/255," << gfx::GetBValue(c) << "/255)\n"
               << "r,g,b=colorsys.hls_to_rgb(h,l,s)\n"
               << "print(repr(h),repr(s),repr(l),round(r*255),round(g*255),round(b*255))\n";
    const auto result = testsupport::runCommand(testsupport::python3(), {"-c", script.str()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::istringstream lines(result.out);
    for (TColor c : SampleColours) {
        double ph, ps, pl;
        int r, g, b;
        ASSERT_TRUE(lines >> ph >> ps >> pl >> r >> g >> b);
        double h, s, l;
        RGBtoHSL(c, h, s, l);
        EXPECT_NEAR(h, ph, 1e-9) << std::hex << c;
        EXPECT_NEAR(s, ps, 1e-9) << std::hex << c;
        EXPECT_NEAR(l, pl, 1e-9) << std::hex << c;
        EXPECT_EQ(HSLtoRGB(h, s, l), gfx::RGB(r, g, b)) << std::hex << c;
        EXPECT_EQ(HSLtoRGB(h, s, l), c);
    }
}

TEST(HSL, RangeScaleAndGreys)
{
    for (int grey : {0, 1, 127, 128, 200, 255}) {
        int h = -1, s = -1, l = -1;
        RGBtoHSLRange(gfx::RGB(grey, grey, grey), h, s, l);
        EXPECT_EQ(h, 0);
        EXPECT_EQ(s, 0);
        EXPECT_EQ(l, int(std::lround(240.0 * grey / 255)));
    }
    int h, s, l;
    RGBtoHSLRange(0x0000FF, h, s, l);  // pure red
    EXPECT_EQ(h, 0);
    EXPECT_EQ(s, 240);
    EXPECT_EQ(l, 120);
    EXPECT_EQ(HSLRangeToRGB(h, s, l), TColor(0x0000FF));
    // Out-of-range input gives clamped channels, not wrapped ones.
    EXPECT_EQ(HSLRangeToRGB(0, 0, 400), gfx::clWhite);
    EXPECT_EQ(HSLRangeToRGB(80, 240, 300), gfx::clWhite);
}

TEST(AdvancedColours, OffsetsFromTheParentsLuminance)
{
    EXPECT_EQ(CalcAdvancedColor(0x404040, 0x123456, 0, true), TColor(0x123456));
    EXPECT_EQ(CalcAdvancedColor(gfx::clWhite, 0x123456, 0, false), TColor(0x123456));
    int h, s, l;
    // Lighter is capped at luminance 100, so a white parent gives a mid grey.
    RGBtoHSLRange(CalcAdvancedColor(gfx::clWhite, 0, 10, false), h, s, l);
    EXPECT_NEAR(l, 100, 1);
    // A dark parent (L 60): lighter by 10 is 80, darker by 10 stays 60, by 50 gives 20.
    RGBtoHSLRange(CalcAdvancedColor(0x404040, 0, 10, false), h, s, l);
    EXPECT_NEAR(l, 80, 1);
    RGBtoHSLRange(CalcAdvancedColor(0x404040, 0, 10, true), h, s, l);
    EXPECT_NEAR(l, 60, 1);
    RGBtoHSLRange(CalcAdvancedColor(0x404040, 0, 50, true), h, s, l);
    EXPECT_NEAR(l, 20, 1);
    RGBtoHSLRange(CalcAdvancedColor(0x101010, 0, 100, true), h, s, l);
    EXPECT_EQ(l, 0);
}

TEST(FlatDrawing, Frame3DDrawsNestedRingsAndShrinks)
{
    QImage img(10, 10, QImage::Format_RGB32);
    img.fill(Qt::white);
    gfx::TCanvas c(&img);
    TRect r = gfx::Rect(0, 0, 10, 10);
    Frame3D(c, r, 0x0000FF, 0xFF0000, 2);
    EXPECT_EQ(r, gfx::Rect(2, 2, 8, 8));
    EXPECT_EQ(pixel(img, 0, 5), TColor(0x0000FF));  // left, outer
    EXPECT_EQ(pixel(img, 5, 1), TColor(0x0000FF));  // top, inner
    EXPECT_EQ(pixel(img, 9, 5), TColor(0xFF0000));  // right, outer
    EXPECT_EQ(pixel(img, 5, 8), TColor(0xFF0000));  // bottom, inner
    EXPECT_EQ(pixel(img, 5, 5), gfx::clWhite);
}

TEST(FlatDrawing, ButtonLayoutAndDisabledGlyph)
{
    QImage img(10, 10, QImage::Format_RGB32);
    gfx::TCanvas c(&img);
    gfx::TPoint glyphPos{-1, -1};
    TRect text = gfx::Rect(1, 1, 1, 1);
    CalcButtonLayout(c, gfx::Rect(0, 0, 40, 20), {0, 0}, "", blGlyphLeft, -1, 4, glyphPos, text, nullptr, 1);
    EXPECT_EQ(glyphPos, (gfx::TPoint{20, 10}));
    EXPECT_EQ(text.Left, 20);
    EXPECT_EQ(text.Top, 10);
    EXPECT_TRUE(text.IsEmpty());

    // A 10 x 10 glyph and a margin of 3 on the left, pressed offset (1, 1).
    gfx::TBitmap glyph(10, 10, gfx::pf24bit);
    CalcButtonLayout(c, gfx::Rect(5, 5, 65, 25), {1, 1}, "", blGlyphLeft, 3, -1, glyphPos, text, &glyph, 1);
    EXPECT_EQ(glyphPos, (gfx::TPoint{5 + 3 + 1, 5 + 5 + 1}));

    gfx::TBitmap shape(4, 4, gfx::pf24bit);
    shape.Canvas().Brush().SetColor(gfx::clWhite);
    shape.Canvas().FillRect(gfx::Rect(0, 0, 4, 4));
    shape.Canvas().SetPixel(1, 1, gfx::clRed);
    auto disabled = CreateDisabledBitmap(shape, gfx::clWhite, gfx::clSilver, gfx::clWhite, gfx::clGray, true);
    EXPECT_EQ(disabled->PixelColor(1, 1), gfx::clGray);
    EXPECT_EQ(disabled->PixelColor(2, 2), gfx::clWhite);
    EXPECT_EQ(disabled->PixelColor(0, 0), gfx::clSilver);
    EXPECT_EQ(GetFontHeight(QFont()), int(std::lround(QFontMetrics(QFont()).height() * 9 / 8.0)));
}

TEST(FlatCheckBox, CheckedFiresOnClickOnlyOnChange)
{
    TFlatCheckBox box;
    EXPECT_EQ(box.Width(), 121);
    EXPECT_EQ(box.Height(), 17);
    EXPECT_EQ(box.ColorBorder(), TColor(0x8396A0));
    EXPECT_EQ(box.AdvColors(2), 50);
    int clicks = 0;
    box.OnClick = [&](QObject*) { ++clicks; };
    box.SetChecked(false);
    EXPECT_EQ(clicks, 0);
    box.SetChecked(true);
    EXPECT_EQ(clicks, 1);
    box.SetChecked(true);
    EXPECT_EQ(clicks, 1);
}

TEST(FlatCheckBox, ToggleNeedsPressAndReleaseInside)
{
    forms::TForm form;
    form.resize(200, 60);
    auto* box = new TFlatCheckBox(&form);
    box->SetCaption("リピート");
    int clicks = 0;
    box->OnClick = [&](QObject*) { ++clicks; };
    activate(form);

    QTest::mouseMove(box, QPoint(5, 8));
    EXPECT_EQ(TFlatCheckBox::TrackedControl(), box);
    EXPECT_TRUE(box->IsMouseIn());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(clicks, 1);

    // Pressed, then the pointer leaves (the timer notices), released outside: no toggle.
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(5, 8));
    QTest::mouseMove(box, QPoint(300, 8));
    TFlatCheckBox::TrackingTick();
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(300, 8));
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(box->IsPressed());
    EXPECT_FALSE(box->IsMouseIn());
    EXPECT_EQ(TFlatCheckBox::TrackedControl(), nullptr);

    // A release over the box without a press on it does nothing either.
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_TRUE(box->Checked());
}

TEST(FlatCheckBox, SharedTimerFollowsInstancesAndForgetsDestroyedBoxes)
{
    forms::TForm form;
    auto* a = new TFlatCheckBox(&form);
    auto* b = new TFlatCheckBox(&form);
    b->move(0, 20);
    activate(form);
    EXPECT_TRUE(TFlatCheckBox::SharedTimerExists());
    QTest::mouseMove(a, QPoint(5, 5));
    EXPECT_EQ(TFlatCheckBox::TrackedControl(), a);
    delete a;
    EXPECT_EQ(TFlatCheckBox::TrackedControl(), nullptr);
    TFlatCheckBox::TrackingTick();
    QTest::mouseMove(b, QPoint(5, 5));
    EXPECT_EQ(TFlatCheckBox::TrackedControl(), b);
    delete b;
    EXPECT_FALSE(TFlatCheckBox::SharedTimerExists());
    TFlatCheckBox again;
    EXPECT_TRUE(TFlatCheckBox::SharedTimerExists());
}

TEST(FlatCheckBox, SpaceAndAcceleratorToggle)
{
    forms::TForm form;
    auto* box = new TFlatCheckBox(&form);
    box->SetCaption("&Shuffle");
    auto* other = new TFlatCheckBox(&form);
    other->move(0, 20);
    activate(form);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_TRUE(box->Checked());
    other->setFocus();
    QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
    EXPECT_FALSE(box->Checked());
    EXPECT_TRUE(box->hasFocus());
    EXPECT_FALSE(other->Checked());
    box->SetEnabled(false);
    QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
    EXPECT_FALSE(box->Checked());
}

TEST(FlatCheckBox, AdvancedColoursFollowTheParent)
{
    forms::TForm form;
    auto* box = new TFlatCheckBox(&form);
    box->SetUseAdvColors(true);
    form.SetColor(0x404040);
    EXPECT_EQ(box->Color(), TColor(0x404040));
    int h, s, l;
    RGBtoHSLRange(box->ColorFocused(), h, s, l);
    EXPECT_NEAR(l, 80, 1);
    RGBtoHSLRange(box->ColorDown(), h, s, l);
    EXPECT_NEAR(l, 60, 1);
    RGBtoHSLRange(box->ColorBorder(), h, s, l);
    EXPECT_NEAR(l, 20, 1);
}

TEST(FlatCheckBox, BoxCheckMarkAndRightToLeft)
{
    QWidget parent;
    TFlatCheckBox box(&parent);
    box.SetColor(gfx::clWhite);
    box.SetChecked(true);
    QImage img = snapshot(box);
    EXPECT_EQ(pixel(img, 1, 3), TColor(0x8396A0));   // frame
    EXPECT_EQ(pixel(img, 1 + 2, 3 + 4), TColor(0));  // check mark
    EXPECT_EQ(pixel(img, 1 + 8, 3 + 2), TColor(0));
    EXPECT_EQ(pixel(img, 1 + 9, 3 + 9), gfx::clWhite);
    box.SetEnabled(false);
    img = snapshot(box);
    EXPECT_EQ(pixel(img, 1 + 2, 3 + 4), gfx::ColorToRGB(gfx::clBtnShadow));

    parent.setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(box.Layout(), checkboxRight);
    EXPECT_EQ(box.BoxRect(), gfx::Rect(121 - 12, 3, 120, 14));
    img = snapshot(box);
    EXPECT_EQ(pixel(img, 119, 8), TColor(0x8396A0));
}

TEST(FlatEdit, ColourRulesAndFrame)
{
    forms::TForm form;
    form.SetColor(0x336699);
    auto* edit = new TFlatEdit(&form);
    EXPECT_FALSE(edit->ParentColor());
    edit->SetParentColor(true);
    EXPECT_EQ(edit->ColorFlat(), TColor(0x336699));
    edit->SetColors(2, 0xE1EAEB);
    EXPECT_FALSE(edit->ParentColor());
    const QImage img = snapshot(*edit);
    EXPECT_EQ(pixel(img, 0, 0), TColor(0x8396A0));
    EXPECT_EQ(pixel(img, 1, 1), TColor(0xE1EAEB));
    EXPECT_EQ(pixel(img, 2, 5), TColor(0xE1EAEB));
}

TEST(FlatEdit, HoverHighlightsOnlyWhenNoOtherFlatEditIsFocused)
{
    forms::TForm form;
    form.resize(200, 100);
    auto* first = new TFlatEdit(&form);
    auto* second = new TFlatEdit(&form);
    second->move(0, 30);
    auto* plain = new QLineEdit(&form);
    plain->move(0, 60);
    activate(form);
    first->setFocus();
    EXPECT_EQ(first->Color(), first->ColorFocused());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(second, &enter);
    EXPECT_TRUE(second->IsMouseIn());
    EXPECT_EQ(second->Color(), second->ColorFlat());
    plain->setFocus();
    EXPECT_EQ(second->Color(), second->ColorFocused());
    QImage img = snapshot(*second);
    EXPECT_EQ(pixel(img, 1, 1), TColor(0xFFFFFF));
    EXPECT_EQ(pixel(img, 60, 9), TColor(0xFFFFFF));  // the text area follows the frame
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(second, &leave);
    EXPECT_EQ(second->Color(), second->ColorFlat());
    img = snapshot(*second);
    EXPECT_EQ(pixel(img, 1, 1), TColor(0xE1EAEB));
    EXPECT_EQ(pixel(img, 60, 9), TColor(0xE1EAEB));
}

TEST(FlatComboBox, ListHeightFollowsItemsAndDropDownCount)
{
    TFlatComboBox combo;
    const int row = GetFontHeight(combo.font()) - 2;
    combo.SetItems({"a", "b", "c"});
    EXPECT_EQ(combo.DropDownListHeight(), 3 * row + 4);
    std::vector<std::string> many;
    for (int i = 0; i < 20; ++i)
        many.push_back("item " + std::to_string(i));
    combo.SetItems(many);
    EXPECT_EQ(combo.DropDownListHeight(), 8 * row + 4);
    combo.SetStyle(csOwnerDrawFixed);
    EXPECT_EQ(combo.DropDownListHeight(), 8 * 13 + 4);
    combo.SetItems({});
    EXPECT_EQ(combo.DropDownListHeight(), 10);
}

// A long list, its current row far down (where the platform's style would lay the list over
// its box): it opens right under the box, tall enough for its rows.
TEST(FlatComboBox, ALongListDropsDownUnderItsBoxWithItsRowsWhole)
{
    QWidget window;
    window.setGeometry(100, 150, 300, 200);
    auto* combo = new TFlatComboBox(&window);
    combo->SetStyle(csDropDownList);
    combo->setGeometry(20, 30, 170, 22);
    std::vector<std::string> many;
    for (int i = 0; i < 40; ++i)
        many.push_back("paper " + std::to_string(i));
    combo->SetItems(many);
    window.show();
    QApplication::processEvents();
    combo->setCurrentIndex(30);
    combo->showPopup();
    QApplication::processEvents();
    const QWidget* popup = combo->view()->window();
    EXPECT_EQ(popup->geometry().top(), combo->mapToGlobal(QPoint(0, combo->height())).y());
    EXPECT_EQ(popup->geometry().left(), combo->mapToGlobal(QPoint(0, 0)).x());
    EXPECT_GE(combo->view()->viewport()->height(), 8 * combo->view()->sizeHintForRow(0));
    combo->hidePopup();
}

TEST(FlatComboBox, ArrowAndEvents)
{
    QWidget parent;
    TFlatComboBox combo(&parent);
    combo.SetStyle(csDropDownList);
    combo.SetItems({"MP3", "WAV"});
    const TRect b = combo.ButtonRect();
    const int x = (b.Left + b.Right) / 2 - 6, y = (b.Top + b.Bottom) / 2 - 1;
    // Pointing down: the base row y from x + 4 to x + 8, the tip at (x + 6, y + 2).
    QImage img = snapshot(combo);
    EXPECT_EQ(pixel(img, x + 4, y), TColor(0));
    EXPECT_EQ(pixel(img, x + 8, y), TColor(0));
    EXPECT_EQ(pixel(img, x + 6, y + 2), TColor(0));
    EXPECT_NE(pixel(img, x + 4, y + 2), TColor(0));
    EXPECT_EQ(pixel(img, b.Left, 3), TColor(0x8396A0));
    EXPECT_EQ(pixel(img, b.Left + 2, 3), TColor(0xC5D6D9));
    combo.setEnabled(false);
    img = snapshot(combo);
    EXPECT_EQ(pixel(img, x + 6, y), TColor(0x808080));
    EXPECT_EQ(pixel(img, x + 9, y + 1), gfx::clWhite);

    combo.setEnabled(true);
    int drops = 0, closes = 0, changes = 0;
    combo.OnDropDown = [&](QObject*) { ++drops; };
    combo.OnCloseUp = [&](QObject*) { ++closes; };
    combo.OnChange = [&](QObject*) { ++changes; };
    parent.show();
    combo.showPopup();
    EXPECT_TRUE(combo.DroppedDown());
    img = snapshot(combo);  // pointing up: the base on row y + 2, the tip at (x + 6, y)
    EXPECT_EQ(pixel(img, x + 4, y + 2), TColor(0));
    EXPECT_EQ(pixel(img, x + 6, y), TColor(0));
    EXPECT_NE(pixel(img, x + 4, y), TColor(0));
    combo.hidePopup();
    EXPECT_FALSE(combo.DroppedDown());
    EXPECT_EQ(drops, 1);
    EXPECT_EQ(closes, 1);
    combo.SetItemIndex(1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(combo.Text(), "WAV");
}
