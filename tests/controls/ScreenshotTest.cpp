// Writes the look of each control, in its main states, to build/screenshots/controls/*.png
// so that a person can look at them. Each test also checks that the picture was written and
// is not one flat colour.
#include <gtest/gtest.h>

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

    expectSaved(sheet({snapshot(bar), snapshot(caption), snapshot(vertical)}), "RbProgressBar");
    expectSaved(sheet({snapshot(normal), snapshot(over), snapshot(pressed), snapshot(disabled),
                       snapshot(glyph)}),
                "RbButton");
}

TEST(Screenshots, ColourSchemeButtons)
{
    using controltest::snapshot;
    QWidget parent;
    std::vector<QImage> row1, row2;
    const char* names[] = {"NeoDesert", "NeoSky", "NeoGrass", "NeoSilver", "NeoRose", "NeoSun",
                           "Desert", "Grass", "Sky", "Sun", "Rose", "Silver"};
    for (int s = xibutton::csNeoDesert; s <= xibutton::csSilver; ++s) {
        TXiButton b(&parent);
        b.SetColorScheme(xibutton::TColorScheme(s));
        b.SetCaption(names[s]);
        (s <= xibutton::csNeoSun ? row1 : row2).push_back(snapshot(b));
    }
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
    expectSaved(sheet({snapshot(over), snapshot(down), snapshot(disabled), snapshot(round)}),
                "XiButton-states");
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
        shots.push_back(snapshot(t));
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
}
