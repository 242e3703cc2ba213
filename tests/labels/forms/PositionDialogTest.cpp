// The print position dialog: the origin and presets of each design, the question for a preset
// whose printer is missing, the ranges the printer's area allows (and their caps), the square
// moved by keys and mouse, what a confirmation writes (read back with python3's configparser)
// and what the next showing makes of it, and the designer's "設定" button.

#include "DesignerFixture.h"
#include "labels/MemoryPrinters.h"

#include "controls/flat/TFlatCheckBoxUnit.h"
#include "controls/flat/TFlatComboBoxUnit.h"
#include "controls/flat/TFlatSpinEditUnit.h"
#include "controls/gradient/RbButton.h"
#include "labels/forms/CDPrintSettings.h"
#include "labels/forms/xCDPrnPos.h"
#include "labels/libPrinter.h"
#include "platform/print/PageSetup.h"
#include "platform/forms/Application.h"
#include "platform/forms/Control.h"
#include "util/libIni.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace labeltest;

namespace {

struct Asked {
    std::string caption, text, buttons, icon;
    int defaultButton = 0;
};

class PosDialog : public MemoryPrinters {
protected:
    void printers()
    {
        system().AddPrinter(discPrinter("Alpha", 600), true);
        system().AddPrinter(discPrinter("Beta", 600));
        use();
    }
    // The dialog for a design (1 label, 0 jacket), shown; its questions answered by `answer`.
    std::unique_ptr<TfrmCD_Pos> open(int Tag)
    {
        auto d = std::make_unique<TfrmCD_Pos>();
        d->MsgBox = [this](QWidget*, const std::string& c, const std::string& t, int def, const std::string& b,
                           const std::string& i) {
            asked.push_back({c, t, b, i, def});
            return answer;
        };
        d->Tag = Tag;
        d->show();
        QApplication::processEvents();
        return d;
    }

    SettingsFixture settings;
    std::vector<Asked> asked;
    int answer = forms::mrYes;
};

void key(QWidget* W, Qt::Key Key, const QString& Text = {})
{
    QKeyEvent press(QEvent::KeyPress, Key, Qt::NoModifier, Text);
    QApplication::sendEvent(W, &press);
}

const std::string MissingPrinter = "指定のプリンターが存在しません！！\r\r　　設定してもよろしいですか？";

TEST_F(PosDialog, CleanSettingsShowTheDesignsDefaultsAndTheLabelsFourPresets)
{
    printers();
    auto d = open(1);
    EXPECT_TRUE(d->chkLabel->Checked());
    EXPECT_FALSE(d->chkJacket->Checked());
    EXPECT_EQ(d->spnX->Text(), "5.5");
    EXPECT_EQ(d->spnY->Text(), "91");
    EXPECT_EQ(d->Presets(), BuiltInLabelPresets());
    EXPECT_EQ(d->cmbPos->ItemIndex(), -1);  // none is for Alpha
    EXPECT_EQ(d->Caption(), "印刷設定");
    // A4 at 600 dpi less 3 / 4.2 mm margins: 203.96 x 288.55 mm printable from (3, 4.2),
    // whole millimetres down.
    EXPECT_EQ(d->lblSpanX->text().toStdString(), "( 3mm - 86mm )");
    EXPECT_EQ(d->lblSpanY->text().toStdString(), "( 4.2mm - 172.2mm )");
    EXPECT_EQ(d->pbxArea->geometry(), QRect(4, 6, 304, 432));
    // The square at trunc(5.5 x 1.5), trunc(91 x 1.5).
    EXPECT_EQ(d->pbxCD->pos(), QPoint(8, 136));
    EXPECT_EQ(d->cmbWay->Text(), "縦");

    // The jacket's own origin and no presets; the boxes stay opposite.
    d->chkJacket->SetChecked(true);
    EXPECT_FALSE(d->chkLabel->Checked());
    EXPECT_EQ(d->spnX->Text(), "10");
    EXPECT_EQ(d->spnY->Text(), "10");
    EXPECT_TRUE(d->Presets().empty());
    EXPECT_TRUE(asked.empty());
}

TEST_F(PosDialog, APresetOfTheShownPrinterIsSelectedAndAStoredListKeepsItsOrder)
{
    system().AddPrinter(discPrinter("CANON PIXUS850i", 600), true);
    use();
    IniWriteSectionList(IniBase, "CD_LABEL_POS", {"20 x 30,Other", "5.5 x 86,CANON MP770"});
    auto d = open(1);
    // The stored lines first, then the missing built-ins; the shown place's line is selected.
    EXPECT_EQ(d->Presets(), (std::vector<std::string>{"20 x 30,Other", "5.5 x 86,CANON MP770",
                                                      "5.5 x 86,CANON PIXUSiP3100", "5.5 x 91,CANON PIXUS850i",
                                                      "15 x 7.5,EPSON PM-G800"}));
    EXPECT_EQ(d->cmbPos->ItemIndex(), 3);
}

TEST_F(PosDialog, APresetForAMissingPrinterAsksAndNoKeepsThePosition)
{
    printers();
    IniWriteSectionList(IniBase, "CD_LABEL_POS", {"20 x 30,Beta", "no position here", "7 x 8,"});
    IniWriteStrings(IniBase, "CD_LABEL", {{"CD_POS_X", "12"}, {"CD_POS_Y", "34"}});
    auto d = open(1);
    const int missing = d->cmbPos->Items().IndexOf("5.5 x 86,CANON MP770");
    ASSERT_GE(missing, 0);

    answer = forms::mrNo;
    d->cmbPos->SetItemIndex(missing);
    d->cmbPosChange();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].caption, "印刷設定");
    EXPECT_EQ(asked[0].text, MissingPrinter);
    EXPECT_EQ(asked[0].defaultButton, 2);
    EXPECT_EQ(asked[0].buttons, "YN");
    EXPECT_EQ(asked[0].icon, "?");
    EXPECT_EQ(d->spnX->Text(), "12");
    EXPECT_EQ(d->spnY->Text(), "34");
    EXPECT_EQ(d->cmbPos->ItemIndex(), -1);

    // A line that is no preset, or names no printer that exists, changes nothing unasked...
    d->cmbPos->SetItemIndex(1);
    d->cmbPosChange();
    EXPECT_EQ(d->spnX->Text(), "12");
    EXPECT_EQ(d->cmbPos->ItemIndex(), -1);
    EXPECT_EQ(asked.size(), 1u);

    // ...an installed printer's preset is taken without a question, with its printer...
    d->cmbPos->SetItemIndex(0);
    d->cmbPosChange();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(GetPrinterName(), "Beta");
    EXPECT_EQ(d->cmbPrinter->Text(), "Beta");
    EXPECT_EQ(d->spnX->Text(), "20");
    EXPECT_EQ(d->spnY->Text(), "30");
    EXPECT_EQ(d->cmbPos->ItemIndex(), 0);

    // ...and Yes takes the missing printer's position on the printer there is.
    answer = forms::mrYes;
    d->cmbPos->SetItemIndex(missing);
    d->cmbPosChange();
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(d->spnX->Text(), "5.5");
    EXPECT_EQ(d->spnY->Text(), "86");
    EXPECT_EQ(GetPrinterName(), "Beta");
}

TEST_F(PosDialog, APresetIsBoundedByItsOwnPrintersPaperNotTheOneShownBefore)
{
    print::PrinterInfo big = discPrinter("Big", 600);
    big.papers.push_back(print::PaperForCode(8));  // A3, its default
    big.defaultPaper = 3;
    system().AddPrinter(discPrinter("Alpha", 600), true);
    system().AddPrinter(big);
    use();
    IniWriteSectionList(IniBase, "CD_LABEL_POS", {"140 x 200,Big"});
    auto d = open(1);
    EXPECT_DOUBLE_EQ(d->RangeX().Max, 86);  // A4 on Alpha
    d->cmbPos->SetItemIndex(0);
    d->cmbPosChange();
    EXPECT_EQ(d->cmbPaper->Text(), GetPaperDisplayName());
    EXPECT_EQ(d->spnX->Text(), "140");
    EXPECT_EQ(d->spnY->Text(), "200");
    EXPECT_EQ(d->cmbPos->ItemIndex(), 0);
    EXPECT_TRUE(asked.empty());
}

TEST_F(PosDialog, ArrowKeysSnapToTheWholeMillimetreThenStepHalfOneWithinTheRange)
{
    printers();
    IniWriteStrings(IniBase, "CD_LABEL", {{"CD_POS_X", "10.3"}, {"CD_POS_Y", "20.7"}});
    auto d = open(1);
    auto press = [&](Qt::Key k) { key(d->lstFocus, k); };
    press(Qt::Key_Right);
    EXPECT_EQ(d->spnX->Text(), "11");
    press(Qt::Key_Right);
    EXPECT_EQ(d->spnX->Text(), "11.5");
    press(Qt::Key_Left);
    EXPECT_EQ(d->spnX->Text(), "11");
    press(Qt::Key_Left);
    EXPECT_EQ(d->spnX->Text(), "10.5");
    press(Qt::Key_Up);
    EXPECT_EQ(d->spnY->Text(), "20");
    press(Qt::Key_Down);
    EXPECT_EQ(d->spnY->Text(), "20.5");
    EXPECT_EQ(d->pbxCD->pos(), QPoint(15, 30));  // trunc(10.5 x 1.5), trunc(20.5 x 1.5)

    // At the range's ends the square stays inside it.
    for (int i = 0; i < 30; ++i)
        press(Qt::Key_Left);
    EXPECT_EQ(d->spnX->Text(), "3");
    d->spnX->SetValue(86);
    press(Qt::Key_Right);
    EXPECT_EQ(d->spnX->Text(), "86");
    EXPECT_EQ(d->pbxCD->x(), d->PixelRange().right());
}

TEST_F(PosDialog, TheWayTurnsThePrinterAtOnceAndTheMaximaNeverPassTheirCaps)
{
    print::PrinterInfo big = discPrinter("Big", 600);
    big.papers.push_back(print::PaperForCode(8));  // A3: 297 x 420 mm
    system().AddPrinter(big, true);
    use();
    auto d = open(1);
    EXPECT_DOUBLE_EQ(d->RangeY().Max, 172.2);

    // A3: 290 x 411 mm printable would allow 173 and 295.2.
    d->cmbPaper->SetItemIndex(3);
    d->cmbPaperChange();
    EXPECT_DOUBLE_EQ(d->RangeX().Max, 150);
    EXPECT_DOUBLE_EQ(d->RangeY().Max, 235);
    EXPECT_EQ(d->lblSpanY->text().toStdString(), "( 4.2mm - 235mm )");

    // Back to A4, landscape: the long side across, capped; the printer turned before printing.
    d->cmbPaper->SetItemIndex(0);
    d->cmbPaperChange();
    d->cmbWay->SetItemIndex(1);  // its change handler runs, as the user's choice would
    EXPECT_TRUE(IsLandscape());
    EXPECT_DOUBLE_EQ(d->RangeX().Min, 4.2);
    EXPECT_DOUBLE_EQ(d->RangeX().Max, 150);
    EXPECT_DOUBLE_EQ(d->RangeY().Max, 86);
    EXPECT_EQ(d->spnY->Text(), "86");  // 91 no longer fits
    EXPECT_EQ(d->pbxArea->size(), QSize(432, 304));
}

TEST_F(PosDialog, ThePrintersPropertiesWhenConfirmedRefillTheListsAndTheArea)
{
    printers();
    auto d = open(1);
    print::SetPageSetupRunner([](QPageSetupDialog& p) {
        p.printer()->setPageSize(QPageSize(QPageSize::JisB5));
        p.printer()->setPageOrientation(QPageLayout::Landscape);
        return int(QDialog::Accepted);
    });
    d->btnPrinterClick();
    print::SetPageSetupRunner(nullptr);
    EXPECT_EQ(d->cmbPaper->ItemIndex(), 1);
    EXPECT_EQ(d->cmbWay->Text(), "横");
    EXPECT_EQ(d->lblPaper->text().toStdString(), "[ " + GetPaperDisplayName() + " ]");
    // B5 across: 257 x 182 mm less the margins, 175.98 mm down to 175.
    EXPECT_DOUBLE_EQ(d->RangeY().Max, 58);
}

TEST_F(PosDialog, APaperBelowTheSquareIsReportedAndItsRangesCollapseOntoTheirStart)
{
    print::PrinterInfo small = discPrinter("Small", 600);
    small.papers = {print::PaperForCode(70)};  // A6: 105 x 148 mm
    system().AddPrinter(small, true);
    use();
    auto d = open(0);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked[0].caption, "印刷設定");
    EXPECT_EQ(asked[0].text, "用紙が小さすぎます！！\r\r　『　Ａ４、Ｂ５、ＣＤ/ＤＶＤトレイ、ＣＤ/ＤＶＤレーベル、"
                             "プリンタブルディスク　』　などを選択して下さい！！");
    EXPECT_EQ(asked[0].buttons, "Y");
    EXPECT_EQ(asked[0].icon, "?");
    // 98 x 139 mm printable: no room across, 19 mm down.
    EXPECT_DOUBLE_EQ(d->RangeX().Min, 3);
    EXPECT_DOUBLE_EQ(d->RangeX().Max, 3);
    EXPECT_DOUBLE_EQ(d->RangeY().Max, 23.2);
    EXPECT_EQ(d->spnX->Text(), "3");
    EXPECT_EQ(d->PixelRange().width(), 1);
    EXPECT_EQ(d->pbxCD->x(), d->PixelRange().left());
    // Not refused: the dialog still confirms.
    d->spdOKClick();
    EXPECT_EQ(d->Tag, 1);
}

TEST_F(PosDialog, DraggingTheSquareGivesWholeMillimetresInsideTheArea)
{
    printers();
    auto d = open(1);
    const QPoint start = d->pbxCD->pos();
    drag(d->pbxCD, QPoint(90, 90), QPoint(31, -17));
    EXPECT_EQ(d->spnX->Text(), std::to_string(int((start.x() + 31) / 1.5)));
    EXPECT_EQ(d->spnY->Text(), std::to_string(int((start.y() - 17) / 1.5)));
    EXPECT_EQ(d->pbxCD->pos(), QPoint(int(d->spnX->Value() * 1.5), int(d->spnY->Value() * 1.5)));

    // Far past the corner: the square stops at the area's edge.
    drag(d->pbxCD, QPoint(90, 90), QPoint(-500, 900));
    EXPECT_EQ(d->PixelRange().bottom(), 258);
    EXPECT_EQ(d->spnX->Text(), "3");
    EXPECT_EQ(d->spnY->Text(), "172");  // 258 / 1.5
    // Released, the square stands where its whole millimetres put it.
    EXPECT_EQ(d->pbxCD->pos(), QPoint(4, 258));
}

TEST_F(PosDialog, TheSpinsTakeDigitsOnlyAndEscapeCancels)
{
    printers();
    auto d = open(1);
    d->spnX->setFocus();
    d->spnX->selectAll();
    for (const char* t : {"a", ".", "-", "4", "0"})
        key(d->spnX, Qt::Key_unknown, QString::fromLatin1(t));
    EXPECT_EQ(d->spnX->Text(), "40");
    key(d->spnX, Qt::Key_Backspace, QStringLiteral("\b"));
    EXPECT_EQ(d->spnX->Text(), "4");
    // Typed below the range: the square shows it clamped while the edit keeps what is typed
    // (a first digit is not replaced before the second comes), until the edit is left.
    key(d->spnX, Qt::Key_Backspace, QStringLiteral("\b"));
    key(d->spnX, Qt::Key_1, QStringLiteral("1"));
    EXPECT_EQ(d->spnX->Text(), "1");
    EXPECT_EQ(d->pbxCD->x(), 4);
    d->lstFocus->setFocus();
    EXPECT_EQ(d->spnX->Text(), "3");

    key(d->spnY, Qt::Key_Escape);
    EXPECT_EQ(d->Tag, 0);
    EXPECT_FALSE(d->isVisible());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(settings.path())));  // nothing written
}

TEST_F(PosDialog, ConfirmedSettingsReadBackAndTheNextShowingFindsThePrinterByName)
{
    printers();
    auto d = open(1);
    d->cmbPrinter->SetItemIndex(1);
    EXPECT_EQ(GetPrinterName(), "Beta");
    d->cmbBins->SetItemIndex(1);
    d->cmbPaper->SetItemIndex(1);
    d->cmbWay->SetItemIndex(1);
    d->spnX->SetValue(12.5);
    d->spnY->SetValue(40);
    // Delete with nothing chosen leaves the list (and raises nothing); with a preset chosen
    // removes it.
    std::vector<std::string> reports;
    forms::SetExceptionReporter([&](const std::string& m) { reports.push_back(m); });
    key(d->cmbPos, Qt::Key_Delete);
    forms::SetExceptionReporter(nullptr);
    EXPECT_TRUE(reports.empty()) << reports.front();
    EXPECT_EQ(d->Presets().size(), 4u);
    d->cmbPos->SetItemIndex(1);
    key(d->cmbPos, Qt::Key_Delete);
    EXPECT_EQ(d->Presets().size(), 3u);
    d->spdOKClick();
    EXPECT_EQ(d->Tag, 1);
    EXPECT_EQ(d->ModalResult(), forms::mrOk);

    const ParsedIni ini = readWithConfigParser(settings.path());
    EXPECT_EQ(ini.keys("CD_LABEL"), (IniKeys{{"CD_POS_X", "12.5"},
                                             {"CD_POS_Y", "40"},
                                             {"PRINTER_INDEX", "1"},
                                             {"PRINTER_NAME", "Beta"},
                                             {"BINS_INDEX", "1"},
                                             {"PAPER_INDEX", "1"},
                                             {"Orientation_INDEX", "1"}}));
    EXPECT_EQ(ini.keys("CD_LABEL_POS"), (IniKeys{{"1", "5.5 x 86,CANON PIXUSiP3100"},
                                                 {"2", "5.5 x 91,CANON PIXUS850i"},
                                                 {"3", "15 x 7.5,EPSON PM-G800"}}));
    // The deleted built-in comes back with the next showing.
    EXPECT_FALSE(ini.has("CD_JACKET_POS"));

    // A printer that sorts first now takes index 1; Beta is still chosen, as it was left.
    system().AddPrinter(discPrinter("Aardvark", 600), true);
    system().AddPrinter(discPrinter("Alpha", 600));
    system().AddPrinter(discPrinter("Beta", 600));
    use();
    auto again = open(1);
    EXPECT_EQ(again->cmbPrinter->Text(), "Beta");
    EXPECT_EQ(again->cmbBins->ItemIndex(), 1);
    EXPECT_EQ(again->cmbPaper->ItemIndex(), 1);
    EXPECT_EQ(again->cmbWay->Text(), "横");
    EXPECT_TRUE(IsLandscape());
    EXPECT_EQ(again->spnX->Text(), "12.5");
    EXPECT_EQ(again->Presets().size(), 4u);
}

TEST_F(PosDialog, WithoutPrintersTheListsStayEmptyAndNothingBreaks)
{
    use();
    auto d = open(1);
    EXPECT_EQ(d->cmbPrinter->count(), 0);
    EXPECT_EQ(d->cmbPaper->count(), 0);
    d->spdOKClick();
    EXPECT_EQ(d->Tag, 1);
    EXPECT_EQ(readWithConfigParser(settings.path()).keys("CD_LABEL").at(3),
              (std::pair<std::string, std::string>{"PRINTER_NAME", ""}));
}

// The designer's "設定" opens the dialog for the page shown, with its label kind.
class PosFromDesigner : public MemoryPrinters, public DesignerFixture {};

TEST_F(PosFromDesigner, TheButtonOpensTheDialogForThePageShown)
{
    system().AddPrinter(discPrinter("Alpha", 600), true);
    use();
    auto w = open();
    EXPECT_TRUE(w->spdPos->isEnabled());
    int tag = -1;
    bool wide = false;
    QImage jacket, label, presets;
    w->RunPosDialog = [&](TfrmCD_Pos& d) {
        d.MsgBox = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                      const std::string&) { return forms::mrYes; };
        tag = d.Tag;
        wide = d.WideArea;
        d.show();
        QApplication::processEvents();
        (d.chkLabel->Checked() ? label : jacket) = d.grab().toImage();
        if (d.chkLabel->Checked()) {  // the preset list, open
            d.cmbPos->SetItemIndex(2);
            d.cmbPos->showPopup();
            QApplication::processEvents();
            presets = d.cmbPos->view()->window()->grab().toImage();
            d.cmbPos->hidePopup();
        }
        d.spdCanClick();
        return d.ModalResult();
    };
    QTest::mouseClick(w->spdPos, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(tag, 0);
    w->pgeCD->setCurrentIndex(1);
    w->do_WideArea1Click(true);
    QTest::mouseClick(w->spdPos, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(tag, 1);
    EXPECT_TRUE(wide);

    // What a user sees: saved for a look, and the sheet's marks where the printer puts them.
    const QString dir = QCoreApplication::applicationDirPath() + "/../labels-look";
    QDir().mkpath(dir);
    ASSERT_FALSE(jacket.isNull());
    ASSERT_FALSE(label.isNull());
    EXPECT_TRUE(jacket.save(dir + "/position-jacket.png"));
    EXPECT_TRUE(label.save(dir + "/position-label.png"));
    EXPECT_TRUE(presets.save(dir + "/position-presets.png"));
    // pnlA4 at (12, 12): the area's red frame at (4, 6), the square's blue frame at
    // trunc(10 x 1.5) on the jacket; the disc's yellow ring on the label.
    const QPoint sheet(12, 12);
    auto isRed = [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; };
    auto isBlue = [](QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60; };
    // Along a dotted top edge from a corner: some pixel of the colour within the first few.
    auto dotted = [](const QImage& I, QPoint From, auto Is) {
        for (int i = 2; i < 12; ++i)
            if (Is(I.pixel(From + QPoint(i, 0))))
                return true;
        return false;
    };
    EXPECT_TRUE(dotted(jacket, sheet + QPoint(4, 6), isRed));
    EXPECT_TRUE(dotted(jacket, sheet + QPoint(15, 15), isBlue));
    const QPoint disc = sheet + QPoint(8, 136) + QPoint(90 - 80, 90);  // inside the outer ring
    EXPECT_EQ(label.pixel(disc), qRgb(0xFF, 0xFF, 0xE6));
}

// With no printer "設定" says so as printing does and opens nothing, so that no empty choice
// is stored over the saved one.
TEST_F(PosFromDesigner, WithoutAPrinterTheButtonSaysSoAndKeepsTheStoredSettings)
{
    use();
    auto w = open();
    cdlabel::WritePrintOrigin(false, {"12.5", "20"});
    IniWriteStrings(IniBase, "CD_LABEL", {{"PRINTER_NAME", "Alpha"}, {"PAPER_INDEX", "1"}});
    std::vector<std::string> asked;
    w->MsgBox = [&](QWidget*, const std::string& c, const std::string& t, int, const std::string& b,
                    const std::string& i) {
        asked.push_back(c + "|" + t + "|" + b + "|" + i);
        return forms::mrYes;
    };
    bool opened = false;
    w->RunPosDialog = [&](TfrmCD_Pos& d) {
        opened = true;
        d.spdOKClick();
        return d.ModalResult();
    };
    QTest::mouseClick(w->spdPos, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(opened);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "印刷設定|　　プリンターが登録されていません！！|Y|i");
    EXPECT_EQ(cdlabel::ReadPrintOrigin(false).X, "12.5");
    EXPECT_EQ(cdlabel::ReadPrinterChoice().PrinterName, "Alpha");
    EXPECT_EQ(cdlabel::ReadPrinterChoice().PaperIndex, 1);

    // A printer installed meanwhile is found when the button is pressed, and listed.
    current().AddPrinter(discPrinter("Added", 600));
    std::vector<std::string> listed;
    w->RunPosDialog = [&](TfrmCD_Pos& d) {
        d.show();
        QApplication::processEvents();
        for (int i = 0; i < d.cmbPrinter->count(); ++i)
            listed.push_back(d.cmbPrinter->itemText(i).toStdString());
        d.spdCanClick();
        return d.ModalResult();
    };
    QTest::mouseClick(w->spdPos, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(listed, std::vector<std::string>{"Added"});
}

}  // namespace
