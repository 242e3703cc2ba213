// Office-style combo box and the colour and pattern pickers: the shared palette and its text
// form, the value setters and the linked pair, the pattern list, the swatches' pixels, the
// flat frame and button active and inactive, and the parent's colour while disabled.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QTest>

#include "ControlTestSupport.h"
#include "controls/pickers/selstyle.h"
#include "platform/forms/Form.h"

using namespace controls;
using controltest::pixel;
using controltest::activate;
using controltest::snapshot;

namespace {

std::vector<gfx::TColor> listed(TPvlColorCombo& c)
{
    std::vector<gfx::TColor> out;
    for (int i = 0; i < c.Items().Count(); ++i)
        out.push_back(gfx::TColor(c.Items().Objects(i)));
    return out;
}

}  // namespace

TEST(ColorPicker, PaletteAndWhite)
{
    TPvlColorCombo c;
    c.SetColorValue(gfx::clWhite);  // as a form would set it before loading
    c.Loaded();
    const std::vector<gfx::TColor> basic = {0x000000, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF,
                                            0xFFFF00, 0xFFFFFF, 0x000080, 0x008000, 0x008080, 0x800000,
                                            0x800080, 0x808000, 0x808080, 0xC0C0C0};
    EXPECT_EQ(listed(c), basic);  // white listed even with AllowWhite off
    EXPECT_EQ(c.DropDownCount(), 16);
    EXPECT_EQ(c.ColorValue(), gfx::clBlack);
    EXPECT_EQ(c.ItemIndex(), 0);

    // AllowWhite on lists exactly the palette, nothing past its end.
    c.SetAllowWhite(true);
    EXPECT_EQ(listed(c), basic);
    c.SetColorValue(gfx::clWhite);
    EXPECT_EQ(c.ColorValue(), gfx::clWhite);
    c.SetAllowWhite(false);
    EXPECT_EQ(c.ColorValue(), gfx::clBlack);
    EXPECT_EQ(c.ItemIndex(), 0);
}

TEST(ColorPicker, PaletteFromText)
{
    std::string text = "FF0000\nnot hex\n00ff00 \n\n123456789\n";
    for (int i = 0; i < 40; ++i)
        text += "0000" + std::string(i < 27 ? "11" : "22") + "\n";  // lines 6..45
    LoadColorPalette(text);
    const auto& p = ColorPalette();
    ASSERT_GE(p.size(), 4u);
    EXPECT_EQ(p[0], gfx::clBlack);
    EXPECT_EQ(p[1], gfx::clWhite);
    EXPECT_EQ(p[2], gfx::clBlue);
    EXPECT_EQ(p[3], gfx::clLime);
    // 32 lines read, three of them not colours: 29 colours, none from past line 32.
    EXPECT_EQ(p.size(), 2u + 29u);
    EXPECT_EQ(std::count(p.begin(), p.end(), gfx::TColor(0x22)), 0);
    EXPECT_EQ(ColorPaletteDropDownCount(), 31);

    // A picker drops down as many lines as the palette has.
    TPvlColorCombo c;
    LoadColorPalette(text);
    c.Loaded();
    EXPECT_EQ(c.DropDownCount(), 31);
    EXPECT_EQ(c.Items().Count(), 31);
    // One made now lists the basic colours again.
    TPvlColorCombo fresh;
    fresh.Loaded();
    EXPECT_EQ(fresh.Items().Count(), 16);
    EXPECT_EQ(fresh.DropDownCount(), 16);
    EXPECT_EQ(ColorPalette().size(), 16u);
}

TEST(ColorPicker, ValuesChangesAndTheLinkedPair)
{
    TPvlColorCombo colors;
    TPvlPatternCombo patterns;
    colors.Loaded();
    patterns.Loaded();
    colors.SetPatternCombo(&patterns);
    patterns.SetColorCombo(&colors);
    int changes = 0;
    colors.OnChange = [&](QObject*) { ++changes; };

    colors.SetColorValue(0x123456);  // not in the palette
    EXPECT_EQ(colors.ColorValue(), gfx::clBlack);
    EXPECT_EQ(colors.ItemIndex(), 0);
    EXPECT_EQ(changes, 0);
    colors.SetColorValue(gfx::clNavy);
    EXPECT_EQ(colors.ItemIndex(), 11);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(patterns.ColorValue(), gfx::clNavy);
    colors.SetColorValue(gfx::clNavy);
    EXPECT_EQ(changes, 1);

    patterns.SetPattern(gfx::bsCross);
    EXPECT_EQ(colors.Pattern(), gfx::bsCross);
    patterns.SetPattern(gfx::bsClear);  // not listed without AllowClear
    EXPECT_EQ(patterns.Pattern(), gfx::bsCross);

    // The user's choice goes through the same path.
    colors.SetItemIndex(1);
    emit colors.activated(1);
    EXPECT_EQ(colors.ColorValue(), gfx::clRed);
    EXPECT_EQ(patterns.ColorValue(), gfx::clRed);
    EXPECT_EQ(changes, 2);
}

TEST(PatternPicker, ListAndClear)
{
    TPvlPatternCombo p;
    p.SetPattern(gfx::bsClear);
    p.Loaded();
    EXPECT_EQ(p.Items().Count(), 7);
    EXPECT_EQ(p.Pattern(), gfx::bsSolid);
    p.SetAllowClear(true);
    ASSERT_EQ(p.Items().Count(), 8);
    EXPECT_EQ(gfx::TBrushStyle(p.Items().Objects(7)), gfx::bsClear);
    EXPECT_EQ(gfx::TBrushStyle(p.Items().Objects(1)), gfx::bsHorizontal);
    p.SetPattern(gfx::bsClear);
    EXPECT_EQ(p.ItemIndex(), 7);
    p.SetAllowClear(false);
    EXPECT_EQ(p.Pattern(), gfx::bsSolid);
    EXPECT_EQ(p.ItemIndex(), 0);
}

TEST(Pickers, SwatchPixels)
{
    forms::TForm form;
    form.resize(200, 80);
    auto* colors = new TPvlColorCombo(&form);
    auto* patterns = new TPvlPatternCombo(&form);
    patterns->move(0, 40);
    colors->resize(100, colors->height());
    patterns->resize(100, patterns->height());
    activate(form);
    colors->SetPatternCombo(patterns);
    patterns->SetColorCombo(colors);
    colors->SetColorValue(gfx::clRed);
    patterns->SetPattern(gfx::bsHorizontal);

    // The closed part: the item's line from (3, 3), the swatch's black frame 2 pixels in.
    const QRect area = colors->ItemArea();
    QImage img = snapshot(*colors);
    EXPECT_EQ(pixel(img, area.left() + 2, area.center().y()), gfx::clBlack);
    EXPECT_EQ(pixel(img, area.left() + 1, area.center().y()), gfx::ColorToRGB(colors->Color()));
    EXPECT_EQ(pixel(img, area.left() + 2, area.top() + 2), gfx::clBlack);
    // A horizontal hatch: a row of the colour and rows without it inside the box.
    int redRows = 0, plainRows = 0;
    for (int y = area.top() + 3; y < area.bottom() - 2; ++y) {
        const gfx::TColor v = pixel(img, area.left() + 10, y);
        redRows += v == gfx::clRed;
        plainRows += v != gfx::clRed;
    }
    EXPECT_GT(redRows, 0);
    EXPECT_GT(plainRows, 0);
    controltest::saveShot(img, "color_picker_closed", 3);

    // The pattern picker's swatches wear the colour picker's colour.
    QImage pat = snapshot(*patterns);
    const QRect parea = patterns->ItemArea();
    EXPECT_GT(controltest::countColour(pat, gfx::clRed, 0, parea), 0);
    colors->SetColorValue(gfx::clBlue);
    pat = snapshot(*patterns);
    EXPECT_EQ(controltest::countColour(pat, gfx::clRed, 0, parea), 0);
    EXPECT_GT(controltest::countColour(pat, gfx::clBlue, 0, parea), 0);

    // The open list: one swatch per line.
    colors->showPopup();
    QWidget* list = colors->view();
    QApplication::processEvents();
    const QImage open = list->grab().toImage();
    controltest::saveShot(open, "color_picker_list", 2);
    EXPECT_GT(controltest::countColour(open, gfx::clLime), 0);
    EXPECT_GT(controltest::countColour(open, gfx::clFuchsia), 0);
    colors->hidePopup();
}

TEST(ComboBox97, FlatFrameAndButtonFollowActivity)
{
    forms::TForm form;
    form.resize(200, 80);
    auto* combo = new TComboBox97(&form);
    auto* other = new TComboBox97(&form);
    other->move(0, 40);
    combo->SetStyle(csDropDownList);
    combo->Items().Add("one");
    combo->SetItemIndex(0);
    combo->SetFlat(true);
    activate(form);
    // Wherever an earlier test left the pointer, it is away from the combo now.
    QCursor::setPos(form.mapToGlobal(QPoint(190, 75)));
    QEvent away(QEvent::Leave);
    QApplication::sendEvent(combo, &away);
    other->setFocus();
    EXPECT_EQ(combo->ButtonWidth(), combo->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2);

    const int w = combo->width(), h = combo->height();
    const gfx::TColor face = gfx::ColorToRGB(gfx::clBtnFace);
    QImage idle = snapshot(*combo);
    EXPECT_FALSE(combo->Active());
    for (int ring = 0; ring < 3; ++ring)
        EXPECT_EQ(pixel(idle, w / 3, ring), face) << ring;
    EXPECT_EQ(pixel(idle, w / 3, 3), gfx::ColorToRGB(gfx::clWindow));
    const int bx = w - 3, by = h - 3;  // the button's bottom-right corner
    EXPECT_EQ(pixel(idle, bx, by), face);

    combo->setFocus();
    QImage active = snapshot(*combo);
    EXPECT_TRUE(combo->Active());
    EXPECT_EQ(pixel(active, w / 3, 0), gfx::ColorToRGB(gfx::clBtnShadow));  // sunken
    EXPECT_EQ(pixel(active, w / 3, h - 1), gfx::ColorToRGB(gfx::clBtnHighlight));
    EXPECT_EQ(pixel(active, bx, by), gfx::ColorToRGB(gfx::cl3DDkShadow));  // raised
    controltest::saveShot(active, "combobox97_active", 3);

    // The mouse alone makes it active too, only while enabled.
    other->setFocus();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(combo, &enter);
    EXPECT_TRUE(combo->Active());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(combo, &leave);
    EXPECT_FALSE(combo->Active());
}

TEST(ComboBox97, DisabledFlatComboTakesTheParentsColour)
{
    forms::TForm form;
    form.SetColor(0x336699);
    auto* combo = new TComboBox97(&form);
    combo->SetColor(0xFFEEDD);
    combo->SetFlat(true);
    activate(form);
    combo->SetEnabled(false);
    EXPECT_EQ(combo->Color(), gfx::TColor(0x336699));
    EXPECT_EQ(pixel(snapshot(*combo), combo->ItemArea().center().x(), combo->ItemArea().center().y()),
              gfx::TColor(0x336699));
    combo->SetEnabled(true);
    EXPECT_EQ(combo->Color(), gfx::TColor(0xFFEEDD));
    // Not flat: the colour stays.
    combo->SetFlat(false);
    combo->SetEnabled(false);
    EXPECT_EQ(combo->Color(), gfx::TColor(0xFFEEDD));
}

TEST(ColorPicker, KeyDropDownOpensInsteadOfMoving)
{
    forms::TForm form;
    auto* c = new TPvlColorCombo(&form);
    activate(form);
    c->setFocus();
    c->SetColorValue(gfx::clRed);
    c->SetKeyDropDown(true);
    QTest::keyClick(c, Qt::Key_Down);
    EXPECT_TRUE(c->DroppedDown());
    EXPECT_EQ(c->ColorValue(), gfx::clRed);
    c->hidePopup();
    c->SetKeyDropDown(false);
    QTest::keyClick(c, Qt::Key_Down);
    EXPECT_FALSE(c->DroppedDown());
    EXPECT_EQ(c->ItemIndex(), 2);
}
