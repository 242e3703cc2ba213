// Writes the look of each control, in its main states, to build/screenshots/controls/*.png
// so that a person can look at them, and checks in each picture what that person would look
// for: the control's own colours show where they belong, each caption fits its control and
// none of its ink is cut at an edge, and the states a user tells apart (over, pressed,
// checked, disabled) look different.
#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QFileInfo>
#include <QPainter>
#include <QTest>

#include "ControlTestSupport.h"
#include "controls/dx/dxButtons.h"
#include "controls/flat/TFlatCheckBoxUnit.h"
#include "controls/flat/TFlatComboBoxUnit.h"
#include "controls/flat/TFlatEditUnit.h"
#include "controls/gradient/RbButton.h"
#include "controls/gradient/RbProgressBar.h"
#include "controls/xi/XiButton.h"
#include "controls/xi/XiTrackBar.h"
#include "platform/forms/Form.h"

using namespace controls;
using controltest::between;
using controltest::captionFits;
using controltest::countColour;
using controltest::differingPixels;
using controltest::inkInside;
using controltest::near;
using controltest::pixel;
using controltest::ramp;
using controltest::showsColour;

namespace {

// Lays the controls' pictures out in one row on a grey sheet, two-times enlarged.
QImage sheet(const std::vector<QImage>& parts)
{
    int w = 8, h = 0;
    for (const QImage& p : parts) {
        w += p.width() * 2 + 8;
        h = std::max(h, p.height() * 2);
    }
    QImage out(w, h + 16, QImage::Format_RGB32);
    out.fill(QColor(0xD4, 0xD0, 0xC8));
    QPainter painter(&out);
    int x = 8;
    for (const QImage& p : parts) {
        painter.drawImage(QRect(x, 8, p.width() * 2, p.height() * 2), p);
        x += p.width() * 2 + 8;
    }
    return out;
}

void expectSaved(const QImage& img, const std::string& name)
{
    const std::string path = controltest::saveShot(img, name);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(path))) << path;
    int colours = 0;
    const QRgb first = img.pixel(0, 0);
    for (int y = 0; y < img.height() && colours == 0; ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != first) {
                ++colours;
                break;
            }
    EXPECT_GT(colours, 0) << name << " is blank";
}

// A 12 x 12 glyph: a dot of `color` on the see-through fuchsia.
std::unique_ptr<TBitmap> dotGlyph(TColor color)
{
    auto g = std::make_unique<TBitmap>(12, 12, gfx::pf24bit);
    g->Canvas().Brush().SetColor(gfx::clFuchsia);
    g->Canvas().FillRect(gfx::Rect(0, 0, 12, 12));
    g->Canvas().Brush().SetColor(color);
    g->Canvas().Ellipse(1, 1, 11, 11);
    return g;
}

void hover(TRbCustomControl& c)
{
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&c, &enter);
    while (c.FadeTimerActive())
        c.FadeTick();
}

}  // namespace

TEST(Screenshots, GradientControls)
{
    using controltest::snapshot;
    QWidget parent;
    TRbProgressBar bar(&parent);
    bar.SetColor(gfx::clBtnFace);
    bar.SetPosition(42);
    TRbProgressBar caption(&parent);
    caption.SetCaption("再生");
    caption.SetPosition(80);
    caption.SetGradientType(gtDoubleVert);
    caption.SetDefaultFrom(0x40C0FF);
    TRbProgressBar vertical(&parent);
    vertical.resize(18, 60);
    vertical.SetOrientation(pbVertical);
    vertical.SetShowText(false);
    vertical.SetPosition(70);

    TRbButton normal(&parent), over(&parent), pressed(&parent), disabled(&parent), glyph(&parent);
    normal.SetCaption("OK");
    over.SetCaption("Over");
    hover(over);
    pressed.SetCaption("押下");
    QTest::mousePress(&pressed, Qt::LeftButton, {}, QPoint(10, 10));
    while (pressed.FadeTimerActive())
        pressed.FadeTick();
    disabled.SetCaption("Disabled");
    disabled.SetEnabled(false);
    auto g = dotGlyph(0x008000);
    glyph.SetGlyph(*g);
    glyph.SetCaption("閉じる");

    const QImage barShot = snapshot(bar), captionShot = snapshot(caption),
                 verticalShot = snapshot(vertical);
    expectSaved(sheet({barShot, captionShot, verticalShot}), "RbProgressBar");

    // The filled part is a window onto the whole-height gradient, one border and one pixel in,
    // and ends at 42 % of the width; the rest keeps the bar's colour.
    const int w = bar.width(), h = bar.height();
    EXPECT_TRUE(showsColour(barShot, bar.BorderColor(), "BorderColor"));
    EXPECT_TRUE(near(pixel(barShot, 10, 2), ramp(bar.DefaultFrom(), bar.DefaultTo(), 2.0 / h), 2));
    EXPECT_TRUE(near(pixel(barShot, 10, h - 3),
                     ramp(bar.DefaultFrom(), bar.DefaultTo(), double(h - 3) / h), 2));
    int end = 2;
    while (end + 1 < w && pixel(barShot, end + 1, 2) == pixel(barShot, 2, 2))
        ++end;
    EXPECT_EQ(end, w * 42 / 100 - 3);
    EXPECT_TRUE(near(pixel(barShot, w - 10, 2), gfx::clBtnFace, 0));
    // The double gradient has its start colour on the middle line.
    EXPECT_TRUE(near(pixel(captionShot, 5, caption.height() / 2), caption.DefaultFrom(), 1));
    // Grows upwards: 70 % of the height, measured from the bottom.
    const int top = vertical.height() * 30 / 100 + 2;
    EXPECT_FALSE(between(pixel(verticalShot, 9, top - 1), vertical.DefaultFrom(), vertical.DefaultTo()));
    EXPECT_TRUE(near(pixel(verticalShot, 9, top),
                     ramp(vertical.DefaultFrom(), vertical.DefaultTo(), double(top) / vertical.height()), 2));
    for (TRbProgressBar* b : {&bar, &caption}) {
        EXPECT_TRUE(captionFits(b->Font(), b->DisplayText(), b->width() - 4)) << b->DisplayText();
        EXPECT_TRUE(inkInside(snapshot(*b), b->Font().Color(), 40)) << b->DisplayText();
    }

    std::vector<QImage> buttons;
    for (TRbButton* b : {&normal, &over, &pressed, &disabled, &glyph})
        buttons.push_back(snapshot(*b));
    expectSaved(sheet(buttons), "RbButton");

    // Each face is its gradient copied one pixel in, inside the border colour.
    TRbControlColors& c = normal.Colors();
    const int bh = normal.height(), last = bh - 2;
    for (const QImage& shot : buttons)
        EXPECT_TRUE(showsColour(shot, c.BorderColor(), "Colors.BorderColor"));
    EXPECT_TRUE(near(pixel(buttons[0], 5, 1), c.DefaultFrom(), 1));
    EXPECT_TRUE(near(pixel(buttons[0], 5, last), ramp(c.DefaultFrom(), c.DefaultTo(), double(last - 1) / bh), 2));
    // (the over gradient is blended over the whole face, not one pixel in)
    EXPECT_TRUE(near(pixel(buttons[1], 5, last), ramp(c.OverFrom(), c.OverTo(), double(last) / bh), 2));
    // Pressed: the clicked gradient over all but a three-pixel margin.
    EXPECT_TRUE(between(pixel(buttons[2], 5, bh / 2), c.ClickedFrom(), c.ClickedTo()));
    EXPECT_GT(differingPixels(buttons[0], buttons[1]), normal.width() * bh / 2);
    EXPECT_GT(differingPixels(buttons[1], buttons[2]), normal.width() * bh / 2);
    // Captions in black, the disabled one engraved and never black; the glyph without its
    // see-through fuchsia.
    for (int i : {0, 1, 2, 4})
        EXPECT_TRUE(inkInside(buttons[size_t(i)], gfx::clBlack, 40)) << i;
    EXPECT_EQ(countColour(buttons[3], gfx::clBlack, 40), 0);
    EXPECT_TRUE(inkInside(buttons[3], gfx::clBtnShadow, 0, QRect(2, 2, normal.width() - 4, bh - 4)));
    EXPECT_TRUE(showsColour(buttons[4], 0x008000, "the glyph's green"));
    EXPECT_EQ(countColour(buttons[4], gfx::clFuchsia), 0);
    for (TRbButton* b : {&normal, &over, &pressed, &disabled})
        EXPECT_TRUE(captionFits(b->Font(), b->Caption(), b->width() - 6));
    // The glyph stands left of the centred caption: both fit when the caption leaves room
    // for the glyph and the spacing.
    EXPECT_TRUE(captionFits(glyph.Font(), glyph.Caption(),
                            glyph.width() - 6 - (glyph.Glyph().Width() + glyph.Spacing())));
    EXPECT_TRUE(inkInside(buttons[4], 0x008000));
}

TEST(Screenshots, ColourSchemeButtons)
{
    using controltest::snapshot;
    QWidget parent;
    std::vector<QImage> row1, row2;
    const char* names[] = {"NeoDesert", "NeoSky", "NeoGrass", "NeoSilver", "NeoRose", "NeoSun",
                           "Desert", "Grass", "Sky", "Sun", "Rose", "Silver"};
    std::vector<QRgb> faces;
    for (int s = xibutton::csNeoDesert; s <= xibutton::csSilver; ++s) {
        TXiButton b(&parent);
        b.SetColorScheme(xibutton::TColorScheme(s));
        b.SetCaption(names[s]);
        const QImage shot = snapshot(b);
        (s <= xibutton::csNeoSun ? row1 : row2).push_back(shot);
        SCOPED_TRACE(names[s]);
        // Border, light and dark bevel lines, the face (running to the gradient colour in the
        // Neo schemes), and the caption in the text colour, clear of the bevel.
        const int w = b.width(), h = b.height();
        EXPECT_EQ(pixel(shot, 0, h / 2), b.ColorBorder());
        EXPECT_EQ(pixel(shot, 1, h / 2), b.ColorLight());
        EXPECT_EQ(pixel(shot, w - 2, h / 2), b.ColorDark());
        if (b.Gradient()) {
            EXPECT_TRUE(near(pixel(shot, 4, 2), ramp(b.ColorFace(), b.ColorGrad(), 2.0 / h), 3));
            EXPECT_TRUE(near(pixel(shot, 4, h - 3), ramp(b.ColorFace(), b.ColorGrad(), double(h - 3) / h), 3));
        } else {
            EXPECT_EQ(pixel(shot, 4, h / 2), b.ColorFace());
        }
        EXPECT_TRUE(captionFits(b.Font(), b.Caption(), w - 8));
        EXPECT_TRUE(inkInside(shot, b.ColorText(), 0, QRect(2, 2, w - 4, h - 4)));
        faces.push_back(shot.pixel(4, h / 2));
    }
    // Twelve schemes, twelve faces.
    std::sort(faces.begin(), faces.end());
    EXPECT_EQ(std::unique(faces.begin(), faces.end()) - faces.begin(), 12);
    TXiButton over(&parent), down(&parent), disabled(&parent), round(&parent);
    over.SetColorScheme(xibutton::csNeoSky);
    over.SetCaption("Over");
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&over, &enter);
    down.SetColorScheme(xibutton::csNeoSky);
    down.SetCaption("再生");
    QTest::mousePress(&down, Qt::LeftButton, {}, QPoint(5, 5));
    disabled.SetColorScheme(xibutton::csNeoSky);
    disabled.SetCaption("停止");
    disabled.SetEnabled(false);
    round.SetColorScheme(xibutton::csGrass);
    round.SetRoundCorner(true);
    round.SetCaption("&Round");
    auto g = std::make_unique<TBitmap>(10, 10, gfx::pf24bit);
    g->Canvas().Brush().SetColor(gfx::clWhite);
    g->Canvas().FillRect(gfx::Rect(0, 0, 10, 10));
    g->Canvas().Brush().SetColor(gfx::clNavy);
    g->Canvas().Polygon(std::vector<gfx::TPoint>{{2, 1}, {8, 5}, {2, 9}});
    round.SetGlyph(*g);
    expectSaved(sheet(row1), "XiButton-neo");
    expectSaved(sheet(row2), "XiButton-plain");
    const QImage overShot = snapshot(over), downShot = snapshot(down),
                 disabledShot = snapshot(disabled), roundShot = snapshot(round);
    expectSaved(sheet({overShot, downShot, disabledShot, roundShot}), "XiButton-states");

    // Each look takes its own colour group; the disabled one whatever else holds.
    const int w = over.width(), h = over.height();
    EXPECT_EQ(pixel(overShot, 0, h / 2), over.OverColorBorder());
    EXPECT_EQ(pixel(overShot, 1, h / 2), over.OverColorLight());
    EXPECT_TRUE(near(pixel(overShot, 4, 2), ramp(over.OverColorFace(), over.OverColorGrad(), 2.0 / h), 3));
    EXPECT_EQ(pixel(downShot, 1, h / 2), down.DownColorLight());
    EXPECT_EQ(pixel(downShot, w - 2, h / 2), down.DownColorDark());
    EXPECT_TRUE(near(pixel(downShot, 4, 2), ramp(down.DownColorFace(), down.DownColorGrad(), 2.0 / h), 3));
    EXPECT_EQ(pixel(disabledShot, 0, h / 2), disabled.DisabledColorBorder());
    EXPECT_TRUE(inkInside(disabledShot, disabled.DisabledColorText(), 0, QRect(2, 2, w - 4, h - 4)));
    EXPECT_EQ(countColour(disabledShot, disabled.ColorText()), 0);
    // Rounded corners leave the corner pixel to the face; the glyph and the underlined
    // accelerator's caption both fit.
    EXPECT_NE(pixel(roundShot, 0, 0), round.ColorBorder());
    EXPECT_EQ(pixel(roundShot, 0, h / 2), round.ColorBorder());
    EXPECT_TRUE(inkInside(roundShot, gfx::clNavy, 0, QRect(2, 2, w - 4, h - 4)));
    EXPECT_TRUE(captionFits(round.Font(), "Round", w - 8 - round.Glyph().Width() - round.Spacing()));
    EXPECT_TRUE(inkInside(roundShot, round.ColorText(), 0, QRect(2, 2, w - 4, h - 4)));
    for (TXiButton* b : {&over, &down, &disabled})
        EXPECT_TRUE(captionFits(b->Font(), b->Caption(), w - 8));
}

TEST(Screenshots, ColourSchemeTrackBars)
{
    using controltest::snapshot;
    QWidget parent;
    std::vector<QImage> shots;
    for (int s = xitrackbar::csDesert; s <= xitrackbar::csSun; ++s) {
        TXiTrackBar t(&parent);
        t.SetColorScheme(xitrackbar::TColorScheme(s));
        t.SetTickStyle(tsAuto);
        t.SetTickMarks(tmBoth);
        t.SetPosition(s);
        const QImage shot = snapshot(t);
        shots.push_back(shot);
        SCOPED_TRACE(s);
        using namespace xitrackbar;
        // The thumb stands at its position (nine pixels a step over 0..10), the slide runs
        // from its face to its gradient colour inside its border, and eleven ticks stand on
        // each side.
        const int w = t.width(), h = t.height(), slideTop = h / 3 + 1;
        EXPECT_EQ(pixel(shot, 9 * s, h / 2), t.Color(ciThumbBorderColor));
        EXPECT_TRUE(showsColour(shot, t.Color(ciThumbFaceColor), "ThumbFaceColor", 12));
        EXPECT_EQ(pixel(shot, w - 6, slideTop), t.Color(ciSlideBorderColor));
        EXPECT_TRUE(between(pixel(shot, w - 6, slideTop + 1), t.Color(ciSlideFaceColor), t.Color(ciSlideGradColor)));
        EXPECT_TRUE(between(pixel(shot, w - 6, h - slideTop - 2), t.Color(ciSlideFaceColor), t.Color(ciSlideGradColor)));
        EXPECT_EQ(countColour(shot, t.Color(ciTickColor), 0, QRect(0, 1, w, 1)), 11);
        EXPECT_EQ(countColour(shot, t.Color(ciTickColor), 0, QRect(0, h - 2, w, 1)), 11);
    }
    TXiTrackBar vertical(&parent), disabled(&parent);
    vertical.SetOrientation(trVertical);
    vertical.resize(28, 100);
    vertical.SetTickStyle(tsAuto);
    vertical.SetTickMarks(tmBoth);
    vertical.SetPosition(7);
    disabled.SetEnabled(false);
    disabled.SetTickStyle(tsManual);
    disabled.SetPosition(3);
    shots.push_back(snapshot(vertical));
    shots.push_back(snapshot(disabled));
    expectSaved(sheet(shots), "XiTrackBar");

    using namespace xitrackbar;
    // Upright: the thumb's top edge at 7 of 10 down a track of 90 pixels, ticks either side.
    const QImage& up = shots[shots.size() - 2];
    EXPECT_EQ(pixel(up, vertical.width() / 2, 63), vertical.Color(ciThumbBorderColor));
    EXPECT_EQ(countColour(up, vertical.Color(ciTickColor), 0, QRect(1, 0, 1, vertical.height())), 11);
    // Disabled: only the disabled colours, two manual ticks below.
    const QImage& off = shots.back();
    EXPECT_TRUE(showsColour(off, disabled.Color(ciDisabledSlideBorderColor), "DisabledSlideBorderColor"));
    EXPECT_TRUE(showsColour(off, disabled.Color(ciDisabledThumbBorderColor), "DisabledThumbBorderColor"));
    EXPECT_EQ(countColour(off, disabled.Color(ciThumbBorderColor)), 0);
    EXPECT_EQ(countColour(off, disabled.Color(ciSlideBorderColor)), 0);
    EXPECT_EQ(countColour(off, disabled.Color(ciDisabledTickColor), 0, QRect(0, disabled.height() - 2, disabled.width(), 1)), 2);
}

TEST(Screenshots, FlatControls)
{
    using controltest::snapshot;
    forms::TForm form;
    form.SetColor(0xE1EAEB);
    form.resize(400, 300);
    TFlatCheckBox plain(&form), checked(&form), focused(&form), disabled(&form), right(&form);
    plain.SetCaption("リピート");
    checked.SetCaption("シャッフル");
    checked.SetChecked(true);
    focused.SetCaption("&Echo");
    focused.SetChecked(true);
    disabled.SetCaption("Reverb");
    disabled.SetChecked(true);
    disabled.SetEnabled(false);
    right.SetCaption("右側");
    right.SetLayout(checkboxRight);
    int y = 0;
    for (TFlatCheckBox* b : {&plain, &checked, &focused, &disabled, &right})
        b->move(0, y += 20);
    TFlatEdit edit(&form), focusedEdit(&form);
    edit.SetText("アーティスト");
    focusedEdit.SetText("Title");
    edit.move(150, 20);
    focusedEdit.move(150, 50);
    TFlatComboBox dropDown(&form), list(&form), off(&form);
    dropDown.SetItems({"128 kbps", "192 kbps"});
    list.SetStyle(csDropDownList);
    list.SetItems({"MP3", "WAV"});
    off.SetStyle(csDropDownList);
    off.SetItems({"CD-R"});
    off.setEnabled(false);
    dropDown.move(150, 80);
    list.move(150, 110);
    off.move(150, 140);
    form.show();
    QApplication::setActiveWindow(&form);
    focused.setFocus();
    QTest::mouseMove(&checked, QPoint(5, 8));
    std::vector<QImage> boxes, fields;
    for (TFlatCheckBox* b : {&plain, &checked, &focused, &disabled, &right})
        boxes.push_back(snapshot(*b));
    focusedEdit.setFocus();
    fields = {snapshot(edit), snapshot(focusedEdit), snapshot(dropDown), snapshot(list), snapshot(off)};
    expectSaved(sheet(boxes), "FlatCheckBox");
    expectSaved(sheet(fields), "FlatEditCombo");

    // The 11 x 11 box: framed in ColorBorder, filled with the control's colour, with
    // ColorFocused while the mouse is in or the focus is on it; the check in ColorCheck (the
    // button-shadow colour when disabled); the caption beside it fits and is not cut.
    const int bw = plain.width();
    const gfx::TColor face = plain.Color();
    const TFlatCheckBox* all[] = {&plain, &checked, &focused, &disabled, &right};
    for (size_t i = 0; i < boxes.size(); ++i) {
        SCOPED_TRACE(all[i]->Caption());
        const int left = all[i] == &right ? bw - 12 : 1;
        EXPECT_EQ(pixel(boxes[i], left, 8), all[i]->ColorBorder());
        EXPECT_TRUE(captionFits(all[i]->Font(), all[i]->Caption(), bw - 17));
        // (inside the focus mark drawn round the whole control)
        const QRect text = all[i] == &right ? QRect(1, 1, bw - 17, 15) : QRect(14, 1, bw - 15, 15);
        if (all[i] != &disabled) {
            EXPECT_TRUE(inkInside(boxes[i], all[i]->Font().Color(), 40, text));
        }
    }
    EXPECT_EQ(pixel(boxes[0], 2, 4), face);
    EXPECT_EQ(pixel(boxes[1], 2, 4), checked.ColorFocused());
    EXPECT_EQ(pixel(boxes[2], 2, 4), focused.ColorFocused());
    EXPECT_EQ(pixel(boxes[0], 3, 7), face);
    EXPECT_EQ(pixel(boxes[1], 3, 7), checked.ColorCheck());
    EXPECT_EQ(pixel(boxes[3], 3, 7), gfx::ColorToRGB(gfx::clBtnShadow));
    EXPECT_TRUE(inkInside(boxes[3], gfx::clBtnShadow, 0, QRect(14, 0, bw - 14, 17)));
    EXPECT_EQ(countColour(boxes[3], disabled.Font().Color(), 40, QRect(14, 0, bw - 14, 17)), 0);

    // Edits: framed in ColorBorder, the face ColorFlat, or ColorFocused with the focus.
    EXPECT_EQ(pixel(fields[0], 0, 0), edit.ColorBorder());
    EXPECT_EQ(pixel(fields[0], 2, 2), edit.ColorFlat());
    EXPECT_EQ(pixel(fields[1], 0, 0), focusedEdit.ColorBorder());
    EXPECT_EQ(pixel(fields[1], 2, 2), focusedEdit.ColorFocused());
    for (TFlatEdit* e : {&edit, &focusedEdit}) {
        EXPECT_TRUE(captionFits(e->font(), e->Text(), e->width() - 6));
        EXPECT_TRUE(inkInside(snapshot(*e), gfx::clBlack, 40));
    }
    // Combo boxes: framed, the drop-down button in ColorArrowBackground with its arrow in
    // ColorArrow, or grey on a white shadow when disabled; the text fits left of the button.
    for (TFlatComboBox* b : {&dropDown, &list, &off}) {
        const QImage shot = snapshot(*b);
        SCOPED_TRACE(b->Text());
        const QRect button(b->width() - 12, 1, 11, b->height() - 2);
        EXPECT_EQ(pixel(shot, 0, 0), b->ColorBorder());
        EXPECT_TRUE(showsColour(shot, b->ColorArrowBackground(), "ColorArrowBackground", 0, button));
        EXPECT_TRUE(captionFits(b->font(), b->Text(), b->width() - 11 - 8));
        const QRect text(1, 1, b->width() - 13, b->height() - 2);
        if (b->isEnabled()) {
            EXPECT_TRUE(inkInside(shot, b->ColorArrow(), 0, button));
            EXPECT_TRUE(inkInside(shot, gfx::clBlack, 40, text));
        } else {
            EXPECT_TRUE(inkInside(shot, 0x808080, 0, button));
            EXPECT_TRUE(showsColour(shot, gfx::clWhite, "the arrow's shadow", 0, button));
            EXPECT_EQ(countColour(shot, b->ColorArrow(), 0, button), 0);
        }
    }
}

TEST(Screenshots, ThemedButtons)
{
    using controltest::snapshot;
    forms::TForm form;
    form.resize(400, 200);
    TdxButton normal(&form), hot(&form), pressed(&form), def(&form), disabled(&form), glyph(&form),
        greyed(&form);
    normal.SetCaption("閉じる");
    hot.SetCaption("録音");
    pressed.SetCaption("&OK");
    def.SetCaption("既定");
    def.SetDefault(true);
    disabled.SetCaption("無効");
    disabled.SetEnabled(false);
    auto g = dotGlyph(0x0000C0);
    glyph.SetGlyph(*g);
    glyph.SetCaption("録音");
    greyed.SetGlyph(*g);
    greyed.SetCaption("録音");
    greyed.SetEnabled(false);
    int y = 0;
    for (TdxButton* b : {&normal, &hot, &pressed, &def, &disabled, &glyph, &greyed})
        b->move(0, y += 25);
    form.show();
    QApplication::setActiveWindow(&form);
    form.setFocus();
    QTest::mouseMove(&hot, QPoint(10, 10));
    std::vector<QImage> shots;
    for (TdxButton* b : {&normal, &hot, &def, &disabled, &glyph, &greyed})
        shots.push_back(snapshot(*b));
    QTest::mouseMove(&pressed, QPoint(10, 10));
    QTest::mousePress(&pressed, Qt::LeftButton, {}, QPoint(10, 10));
    shots.insert(shots.begin() + 2, snapshot(pressed));
    QTest::mouseRelease(&pressed, Qt::LeftButton, {}, QPoint(10, 10));
    expectSaved(sheet(shots), "dxButton");

    // Order of the shots: normal, hot, pressed, default, disabled, glyph, greyed glyph.
    TdxButton* all[] = {&normal, &hot, &pressed, &def, &disabled, &glyph, &greyed};
    const int w = normal.width(), h = normal.height();
    for (size_t i = 0; i < shots.size(); ++i) {
        SCOPED_TRACE(all[i]->Caption());
        // The dark-blue border, or the light one when disabled, and nothing of the other.
        const bool on = all[i]->isEnabled();
        EXPECT_EQ(pixel(shots[i], 0, h / 2),
                  on ? TdxButton::BorderColor : TdxButton::DisabledBorderColor);
        EXPECT_EQ(countColour(shots[i], on ? TdxButton::DisabledBorderColor : TdxButton::BorderColor), 0);
        // The caption in the font colour (engraved in the shadow colour when disabled),
        // measured with the glyph beside it.
        const int glyphRoom = all[i]->Glyph().Empty() ? 0 : all[i]->Glyph().Width() + all[i]->Spacing();
        EXPECT_TRUE(captionFits(all[i]->Font(), all[i]->Caption(), w - 6 - glyphRoom));
        EXPECT_TRUE(inkInside(shots[i], on ? all[i]->Font().Color() : gfx::clBtnShadow, 40,
                              QRect(1, 1, w - 2, h - 2)));
    }
    // The face: the normal gradient, the hot frame round it while the mouse is in, the blue
    // default frame on the default button, the pressed gradient while held.
    EXPECT_TRUE(between(pixel(shots[0], 4, h / 2), TdxButton::NormalFrom, TdxButton::NormalTo));
    EXPECT_TRUE(between(pixel(shots[1], 2, h / 2), TdxButton::HotFrom, TdxButton::HotTo));
    EXPECT_FALSE(between(pixel(shots[1], 2, h / 2), TdxButton::NormalFrom, TdxButton::NormalTo));
    EXPECT_TRUE(between(pixel(shots[2], 4, h / 2), TdxButton::PressedFrom, TdxButton::PressedTo));
    EXPECT_GT(differingPixels(shots[0], shots[2]), w * h / 3);
    EXPECT_TRUE(between(pixel(shots[3], 2, h / 2), TdxButton::DefaultFrom, TdxButton::DefaultTo));
    EXPECT_FALSE(between(pixel(shots[3], 2, h / 2), TdxButton::NormalFrom, TdxButton::NormalTo));
    // The red glyph, and greyed ((R + G + B) / 3 + 100) on the disabled button.
    EXPECT_TRUE(showsColour(shots[5], 0x0000C0, "the glyph's red"));
    EXPECT_TRUE(showsColour(shots[6], 0xA4A4A4, "the greyed glyph"));
    EXPECT_EQ(countColour(shots[6], 0x0000C0), 0);
}
