// The designer's font dialog: what "ok" and "cancel" hand back to the element, the colour
// mode for the rule, the preview, the custom colours and the recently used fonts kept in the
// settings (read back with python3's configparser).

#include "DesignerFixture.h"

#include "controls/flat/TFlatSpinEditUnit.h"
#include "controls/gradient/RbButton.h"
#include "controls/pickers/scFontCombobox.h"
#include "controls/pickers/selstyle.h"
#include "controls/xx/xxSpeedButton.h"
#include "labels/forms/xCDFont.h"
#include "platform/forms/Control.h"
#include "util/libIni.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>

using namespace testsupport;

namespace {

class FontDialog : public ::testing::Test, public DesignerFixture {};

void click(QWidget* W)
{
    QTest::mouseClick(W, Qt::LeftButton, {}, QPoint(4, 4));
    QApplication::processEvents();
}

// The box around every pixel that is not white.
QRect inkBox(const QImage& Image)
{
    QRect ink;
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x)
            if (QColor(Image.pixel(x, y)) != QColor(Qt::white))
                ink = ink.united(QRect(x, y, 1, 1));
    return ink;
}

}  // namespace

TEST_F(FontDialog, CancelKeepsTheElementsFontAndOkHandsTheChoiceBack)
{
    song("a.mp3", "One", "Artist", "Album");
    auto w = open();
    const gfx::TFont before = w->pbxTitle1->Font();
    std::string sample, caption;
    int tag = -1;
    // Bold and red in the dialog, then cancel.
    w->RunFontDialog = [&](TfrmCD_Font& d) {
        d.show();
        QApplication::processEvents();
        sample = d.lblSample->text().toStdString();
        tag = d.Tag;
        caption = d.Caption();
        click(d.spdBold);
        d.SetPreviewColor(gfx::clRed);
        EXPECT_EQ(d.PreviewFont().Style(), gfx::fsBold);
        click(d.spdCan);
        return d.ModalResult();
    };
    QTest::mouseDClick(w->pbxTitle1, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(sample, "Album");
    EXPECT_EQ(tag, 0);
    EXPECT_EQ(caption, "フォントの設定");
    EXPECT_EQ(w->pbxTitle1->Font().Style(), before.Style());
    EXPECT_EQ(w->pbxTitle1->Font().Color(), before.Color());
    EXPECT_EQ(w->pbxTitle1->Font().Size(), before.Size());

    // The same through the menu item and "ok": the element takes the choice and its size.
    const int oldWidth = w->pbxTitle1->width();
    w->RunFontDialog = [&](TfrmCD_Font& d) {
        d.show();
        QApplication::processEvents();
        EXPECT_EQ(d.spnSize->Value(), before.Size());
        d.spnSize->SetValue(40.7);  // the whole part counts
        d.SetPreviewColor(gfx::clRed);
        click(d.spdOK);
        return d.ModalResult();
    };
    QTest::mousePress(w->pbxTitle1, Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseRelease(w->pbxTitle1, Qt::LeftButton, {}, QPoint(1, 1));
    w->do_Font1->trigger();
    EXPECT_EQ(w->pbxTitle1->Font().Size(), 40);
    EXPECT_EQ(w->pbxTitle1->Font().Color(), gfx::clRed);
    EXPECT_GT(w->pbxTitle1->width(), oldWidth);

    // Escape is a cancel too.
    w->RunFontDialog = [&](TfrmCD_Font& d) {
        d.show();
        QApplication::processEvents();
        d.SetPreviewColor(gfx::clBlue);
        QTest::keyClick(&d, Qt::Key_Escape);
        return d.ModalResult();
    };
    w->do_Font1->trigger();
    EXPECT_EQ(w->pbxTitle1->Font().Color(), gfx::clRed);
}

TEST_F(FontDialog, ColourModeForTheRuleDrawsALineAndLocksTheFontControls)
{
    song("a.mp3", "One", "Artist", "Album");
    auto w = open();
    w->RunFontDialog = [&](TfrmCD_Font& d) {
        d.show();
        QApplication::processEvents();
        EXPECT_EQ(d.Tag, 1);
        EXPECT_EQ(d.Caption(), "ラインカラーの設定");
        EXPECT_EQ(d.lblColor->text().toStdString(), "ラインの色");
        for (QWidget* c : std::initializer_list<QWidget*>{d.cmbFontName, d.spnSize, d.spdBold, d.spdItalic,
                                                          d.spdUnderline, d.spdStrikeOut, d.lblName, d.lblSize,
                                                          d.lblStyle})
            EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
        EXPECT_TRUE(d.cmbFontColor->isEnabled());
        EXPECT_TRUE(d.spdColor->isEnabled());
        d.cmbFontColor->SetColorValue(gfx::clGreen);  // the user's pick from the combo
        QApplication::processEvents();
        const QImage img = d.pbxPreview->grab().toImage();
        const int mid = img.height() / 2;
        EXPECT_EQ(QColor(img.pixel(4, mid)), QColor(0, 128, 0));
        EXPECT_EQ(QColor(img.pixel(img.width() - 5, mid)), QColor(0, 128, 0));
        EXPECT_EQ(QColor(img.pixel(3, mid)), QColor(Qt::white));
        EXPECT_EQ(QColor(img.pixel(img.width() - 4, mid)), QColor(Qt::white));
        EXPECT_EQ(inkBox(img), QRect(4, mid, img.width() - 8, 1));
        EXPECT_EQ(d.spdColor->Color(), gfx::clGreen);
        saveShot(d, "font-dialog-line-colour");
        click(d.spdOK);
        return d.ModalResult();
    };
    w->do_Color1->trigger();
    EXPECT_EQ(w->pbxLine->Font().Color(), gfx::clGreen);
    const QImage jacket = w->pnlCD_Title->grab().toImage();
    EXPECT_EQ(QColor(jacket.pixel(300, w->pbxLine->y() + 5)), QColor(0, 128, 0));
}

TEST_F(FontDialog, TheSampleIsCentredByItsInk)
{
    TfrmCD_Font d;
    d.Font().SetName("DejaVu Sans");
    d.Font().SetSize(28);
    d.Font().SetColor(gfx::clBlack);
    for (const char* text : {"WW", "ill", "ジャケット Ag"}) {
        d.lblSample->setText(QString::fromUtf8(text));
        d.show();
        QApplication::processEvents();
        const QImage img = d.pbxPreview->grab().toImage();
        const QRect ink = inkBox(img);
        ASSERT_FALSE(ink.isEmpty()) << text;
        // Left and right margins alike within the glyphs' side bearings.
        EXPECT_LE(std::abs(ink.left() - (img.width() - 1 - ink.right())), 4) << text;
        EXPECT_GT(ink.top(), 0) << text;
        EXPECT_LT(ink.bottom(), img.height() - 1) << text;
    }
    saveShot(d, "font-dialog");
}

TEST_F(FontDialog, SixteenWhiteCustomColoursWhenCleanAndThemKeptAfterwards)
{
    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(i, Qt::black);
    {
        TfrmCD_Font d;
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(QColorDialog::customColor(i), QColor(Qt::white)) << i;
        QColorDialog::setCustomColor(3, QColor(255, 0, 0));
    }
    const ParsedIni ini = readWithConfigParser(settings.path());
    const IniKeys& keys = ini.keys("CD_COLOR");
    ASSERT_EQ(keys.size(), 16u);
    EXPECT_EQ(keys[0], (std::pair<std::string, std::string>{"Color0", "FFFFFF"}));
    EXPECT_EQ(keys[3], (std::pair<std::string, std::string>{"Color3", "0000FF"}));  // 0xBBGGRR
    QColorDialog::setCustomColor(3, Qt::black);
    TfrmCD_Font again;
    EXPECT_EQ(QColorDialog::customColor(3), QColor(255, 0, 0));
}

TEST_F(FontDialog, UsedFontsAreSavedButTheShownFontIsNoUse)
{
    auto pickAt = [](TfrmCD_Font& d, int Index) {
        d.cmbFontName->SetDroppedDown(true);
        d.cmbFontName->SetItemIndex(Index);
        d.cmbFontName->SetDroppedDown(false);
        QApplication::processEvents();
    };
    std::string first, second;
    {
        TfrmCD_Font d;
        d.Font().SetName("DejaVu Sans");
        d.show();
        QApplication::processEvents();
        EXPECT_EQ(d.cmbFontName->FontName(), "DejaVu Sans");
        EXPECT_EQ(d.cmbFontName->UsedCount(), 0);
        ASSERT_GE(d.cmbFontName->Items().Count(), 3);
        for (int i = 0; i < d.cmbFontName->Items().Count(); ++i)
            EXPECT_EQ(d.cmbFontName->Items()[i].find('@'), std::string::npos);
        const int n = d.cmbFontName->Items().Count();
        pickAt(d, n - 1);
        first = d.cmbFontName->Items()[0];
        EXPECT_EQ(d.PreviewFont().Name(), d.cmbFontName->Items().Names(0));
        pickAt(d, n - 1);  // the one before it, the list having grown
        second = d.cmbFontName->Items()[0];
        EXPECT_EQ(d.cmbFontName->UsedCount(), 2);
        click(d.spdCan);  // the fonts were used even so
    }
    const IniKeys keys = readWithConfigParser(settings.path()).keys("CD_FONT");
    EXPECT_EQ(keys, (IniKeys{{"1", second}, {"2", first}}));

    TfrmCD_Font d;
    d.show();
    QApplication::processEvents();
    EXPECT_EQ(d.cmbFontName->UsedCount(), 2);
    EXPECT_EQ(d.cmbFontName->Items()[0], second);
    // Colour mode leaves the list alone.
    d.close();
    TfrmCD_Font line;
    line.Tag = 1;
    line.show();
    QApplication::processEvents();
    pickAt(line, 4);
    line.close();
    EXPECT_EQ(readWithConfigParser(settings.path()).keys("CD_FONT"), keys);
}

// The line clicked (or entered) in the open list is the font the preview takes and the used
// block keeps, however full the block already is.
TEST_F(FontDialog, TheFontClickedOrEnteredIsTheFontApplied)
{
    TfrmCD_Font d;
    d.Font().SetName("DejaVu Sans");
    d.show();
    QApplication::processEvents();
    controls::TscFontComboBox* c = d.cmbFontName;
    std::vector<std::string> others;
    for (int i = 0; i < c->Items().Count(); ++i)
        if (c->Items().Names(i).rfind("DejaVu", 0) != 0)
            others.push_back(c->Items()[i]);
    ASSERT_GE(others.size(), 15u);
    const std::string wanted = "DejaVu Serif";
    ASSERT_GE(c->Items().IndexOf(wanted + "=TA"), 0);
    for (size_t used : {0u, 5u, 15u}) {
        for (bool keyboard : {false, true}) {
            SCOPED_TRACE(std::to_string(used) + (keyboard ? " used, keyboard" : " used, mouse"));
            rtl::TStringList block;
            for (size_t i = 0; i < used; ++i)
                block.Add(others[i]);
            c->SetUsedFonts(block);
            c->SetFontName("DejaVu Sans");
            c->showPopup();
            QApplication::processEvents();
            QAbstractItemView* list = c->view();
            const int row = c->Items().IndexOf(wanted + "=TA");
            if (keyboard) {
                list->setCurrentIndex(c->model()->index(row - 1, 0));
                for (Qt::Key key : {Qt::Key_Down, Qt::Key_Return}) {
                    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
                    QApplication::sendEvent(list, &press);
                }
            } else {
                list->scrollTo(c->model()->index(row, 0));
                const QPoint at = list->visualRect(c->model()->index(row, 0)).center();
                QTest::mouseMove(list->viewport(), at);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            }
            QApplication::processEvents();
            EXPECT_FALSE(c->DroppedDown());
            EXPECT_EQ(c->FontName(), wanted);
            EXPECT_EQ(d.PreviewFont().Name(), wanted);
            EXPECT_EQ(c->Items().Names(0), wanted);
            EXPECT_EQ(c->Items().Names(c->ItemIndex()), wanted);
        }
    }
}

// However the dialog is left, run as the designer runs it, the used fonts are kept.
TEST_F(FontDialog, UsedFontsAreSavedAfterOkCancelAndEscape)
{
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        WriteListSection("CD_FONT", {});
        TfrmCD_Font d;
        d.Font().SetName("DejaVu Sans");
        QTimer::singleShot(0, &d, [&] {
            const int row = d.cmbFontName->Items().IndexOf("DejaVu Serif=TA");
            d.cmbFontName->SetDroppedDown(true);
            d.cmbFontName->SetItemIndex(row);
            d.cmbFontName->SetDroppedDown(false);
            if (way == 0)
                click(d.spdOK);
            else if (way == 1)
                click(d.spdCan);
            else
                QTest::keyClick(&d, Qt::Key_Escape);
        });
        d.ShowModal();
        EXPECT_EQ(readWithConfigParser(settings.path()).keys("CD_FONT"), (IniKeys{{"1", "DejaVu Serif=TA"}}));
    }
}
