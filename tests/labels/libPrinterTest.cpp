// The printer routines over printers declared in memory: paper and bin lists with their
// indexes, what an empty printer and no printer at all answer, device offsets and millimetre
// conversion at several resolutions, the device mode of a printer that has gone, and the
// page setup standing in for the driver's dialog.
#include "labels/libPrinter.h"

#include "labels/MemoryPrinters.h"
#include "platform/print/CupsPrintSystem.h"
#include "platform/print/PageSetup.h"
#include "platform/rtl/StringList.h"
#include "support/PrivateScheduler.h"

#include <QComboBox>
#include <QDialog>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QRadioButton>

namespace {

using labeltest::barePrinter;
using labeltest::discPrinter;

class LibPrinter : public labeltest::MemoryPrinters {
protected:
    void SetUp() override
    {
        MemoryPrinters::SetUp();
        system().AddPrinter(discPrinter("Disc Writer", 600), true);
        system().AddPrinter(barePrinter("Bare"));
        use();
    }
    void TearDown() override
    {
        print::SetPageSetupRunner(nullptr);
        MemoryPrinters::TearDown();
    }
};

// What the page setup shows as it opens: the paper its list holds and whether landscape is
// checked. The dialog is then answered with `answer`.
struct PageSetupShown {
    QString paper;
    bool landscape = false;
};
void watchPageSetup(PageSetupShown& shown, QDialog::DialogCode answer)
{
    print::SetPageSetupRunner([&shown, answer](QPageSetupDialog& d) {
        const auto* list = d.findChild<QComboBox*>(QStringLiteral("pageSizeCombo"));
        shown.paper = list ? list->currentText() : QString();
        const auto* way = d.findChild<QRadioButton*>(QStringLiteral("landscape"));
        shown.landscape = way && way->isChecked();
        return int(answer);
    });
}

std::vector<std::string> items(const rtl::TStringList& list)
{
    std::vector<std::string> v;
    for (int i = 0; i < list.Count(); ++i)
        v.push_back(list[i]);
    return v;
}

TEST_F(LibPrinter, ShortPaperNamesSelectPapersOfTheirCodes)
{
    EXPECT_EQ(GetPrinterName(), "Disc Writer");
    SetPaperIndex(2);
    EXPECT_EQ(GetPaperName(), "??") << "Letter has no short name";
    EXPECT_EQ(GetPaperDisplayName(), "Letter");
    SetPaperByName("Q");
    EXPECT_EQ(GetPaperName(), "A4");
    EXPECT_EQ(GetPaperIndex(), 0);

    struct Case {
        const char* name;
        int code;
        double width, length;
    };
    for (const Case c : {Case{"A4", 9, 210, 297}, Case{"B5", 13, 182, 257}, Case{"PC", 43, 100, 148},
                         Case{"T3", 73, 120, 235}, Case{"T4", 74, 90, 205}}) {
        SetPaperByName(c.name);
        const print::Paper paper = print::PaperOf(print::Printer().DeviceMode());
        EXPECT_EQ(paper.code, c.code) << c.name;
        EXPECT_NEAR(paper.widthMm, c.width, 0.5) << c.name;
        EXPECT_NEAR(paper.lengthMm, c.length, 0.5) << c.name;
        EXPECT_EQ(GetPaperName(), c.name);
    }
    EXPECT_EQ(GetPaperIndex(), -1) << "the printer does not list T4";
    EXPECT_EQ(GetPaperDisplayName(), "T4");
    SetPaperByName("B5");
    EXPECT_EQ(GetPaperIndex(), 1);
    EXPECT_EQ(GetPaperDisplayName(), print::PaperForCode(13).name);
}

TEST_F(LibPrinter, ListsFollowTheSelectedPrinterAndBadIndexesChangeNothing)
{
    rtl::TStringList list{"stale"};
    EXPECT_EQ(GetPrinterNames(list), 2);
    EXPECT_EQ(items(list), (std::vector<std::string>{"Disc Writer", "Bare"}));
    GetBinNames(list);
    EXPECT_EQ(items(list), (std::vector<std::string>{"Automatic", "CD/DVD tray"}));
    GetPaperNames(list);
    EXPECT_EQ(list.Count(), 3);

    SetBinIndex(1);
    SetPaperIndex(1);
    for (int bad : {-1, 3, 99}) {
        SetPaperIndex(bad);
        SetBinIndex(bad);
        SetPrinterIndex(bad);
    }
    EXPECT_EQ(GetPrinterIndex(), 0);
    EXPECT_EQ(GetBinIndex(), 1);
    EXPECT_EQ(GetBinName(), "CD/DVD tray");
    EXPECT_EQ(GetPaperIndex(), 1);

    SetPrinterIndex(1);
    EXPECT_EQ(GetPrinterName(), "Bare");
    EXPECT_EQ(GetPrinterIndex(), 1);
    const std::string paper = GetPaperName();
    EXPECT_EQ(GetPaperIndex(), -1);
    SetPaperIndex(0);
    EXPECT_EQ(GetPaperName(), paper);
    EXPECT_EQ(GetBinIndex(), -1);
    EXPECT_EQ(GetBinName(), "") << "a printer without trays has no bin name";
    SetBinIndex(0);
    EXPECT_EQ(GetBinIndex(), -1);
    GetPaperNames(list);
    EXPECT_EQ(list.Count(), 0);
    GetBinNames(list);
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(LibPrinter, OrientationSurvivesPaperAndBinChanges)
{
    EXPECT_EQ(GetOrientationName(), "縦");
    SetLandscape(true);
    SetPaperIndex(1);
    EXPECT_TRUE(IsLandscape());
    SetBinIndex(1);
    SetPaperByName("A4");
    EXPECT_TRUE(IsLandscape());
    EXPECT_EQ(GetOrientationName(), "横");
    SetLandscape(false);
    SetPaperIndex(2);
    EXPECT_FALSE(IsLandscape());
}

TEST_F(LibPrinter, OffsetsAndMillimetresInDeviceUnits)
{
    struct Case {
        int dpi, offsetX, offsetY, printableWidth, printableHeight;
    };
    // 3 mm and 4.2 mm in whole dots; 210 mm less those margins is 204.05 mm at 300 dpi and
    // 203.96 mm at 600, 297 mm 288.46 mm and 288.55 mm: whole millimetres down.
    for (const Case c : {Case{300, 35, 50, 2040, 2880}, Case{600, 71, 99, 2030, 2880}}) {
        labeltest::MemoryPrinters::TearDown();
        system().AddPrinter(discPrinter("P", c.dpi));
        use();
        int x = 0, y = 0;
        GetPrinterDpi(x, y);
        EXPECT_EQ(x, c.dpi);
        EXPECT_EQ(y, c.dpi);
        GetPhysicalOffset(x, y);
        EXPECT_EQ(x, c.offsetX) << c.dpi;
        EXPECT_EQ(y, c.offsetY) << c.dpi;
        GetPrinterOffsetTenthMm(x, y);
        EXPECT_EQ(x, 30) << c.dpi;
        EXPECT_EQ(y, 42) << c.dpi;
        GetPrintableSizeTenthMm(x, y);
        EXPECT_EQ(x, c.printableWidth) << c.dpi;
        EXPECT_EQ(y, c.printableHeight) << c.dpi;
        EXPECT_DOUBLE_EQ(PrinterToScreenRatioX(), c.dpi / 96.0);

        SetLandscape(true);
        GetPhysicalOffset(x, y);
        EXPECT_EQ(x, c.offsetY);
        EXPECT_EQ(y, c.offsetX);
        GetPrinterOffsetTenthMm(x, y);
        EXPECT_EQ(x, 42);
        EXPECT_EQ(y, 30);
        GetPrintableSizeTenthMm(x, y);
        EXPECT_EQ(x, c.printableHeight);
        EXPECT_EQ(y, c.printableWidth);
    }
    EXPECT_EQ(MmToDeviceX(10), 236);
    EXPECT_EQ(MmToDeviceX(120), 2835);
    EXPECT_EQ(MmToDeviceY(120), 2835);
    EXPECT_EQ(MmToDeviceX(5.5), 130);

    // A 2400-dpi printer lays its pages out at 1200: the label bitmap stays 5669 pixels a side.
    labeltest::MemoryPrinters::TearDown();
    system().AddPrinter(discPrinter("Photo", 2400));
    use();
    EXPECT_EQ(MmToDeviceX(120), 5669);
}

TEST_F(LibPrinter, NoPrinterReadsZeroAndChangesNothing)
{
    labeltest::MemoryPrinters::TearDown();
    use();
    EXPECT_EQ(GetPrinterCount(), 0);
    EXPECT_EQ(GetPrinterName(), "X");
    EXPECT_EQ(GetPrinterIndex(), 0);
    int a = -1, b = -1;
    GetPrinterDpi(a, b);
    EXPECT_EQ(a + b, 0);
    GetPhysicalOffset(a, b);
    EXPECT_EQ(a + b, 0);
    GetPrinterOffsetTenthMm(a, b);
    EXPECT_EQ(a + b, 0);
    GetPrintableSizeTenthMm(a, b);
    EXPECT_EQ(a + b, 0);
    EXPECT_EQ(MmToDeviceX(120), 0);
    EXPECT_EQ(GetPaperIndex(), -1);
    EXPECT_EQ(GetBinIndex(), -1);
    EXPECT_EQ(GetBinName(), "");
    EXPECT_EQ(GetPaperName(), "??");
    EXPECT_NO_THROW(SetPaperByName("A4"));
    EXPECT_NO_THROW(SetPaperIndex(0));
    EXPECT_NO_THROW(SetPrinterIndex(0));
    EXPECT_FALSE(ShowPrinterProperties());
}

TEST_F(LibPrinter, ApplyingTheDeviceModeOfAPrinterThatHasGoneFails)
{
    TPrinterDevMode rec;
    LockDevMode(rec);
    EXPECT_EQ(rec.Device, "Disc Writer");
    rec.Mode.bin = "disc";
    current().MakeUnreadable("Disc Writer");
    try {
        ApplyDevMode(rec);
        ADD_FAILURE() << "no failure for an unreadable printer";
    } catch (const EAssertionFailed& e) {
        EXPECT_STREQ(e.what(), "Assertion failure (libPrinter, line 1365)");
    }
    current().RemovePrinter("Disc Writer");
    try {
        SetBinIndex(1);
        ADD_FAILURE() << "no failure for a printer that has gone";
    } catch (const EAssertionFailed& e) {
        EXPECT_STREQ(e.what(), "Assertion failure (libPrinter, line 1362)");
    }
    UnlockDevMode(rec);
    EXPECT_EQ(GetBinIndex(), 0) << "the failed edit was not taken";
}

TEST_F(LibPrinter, PrinterPropertiesAreThePageSetup)
{
    SetBinIndex(1);
    print::SetPageSetupRunner([](QPageSetupDialog& d) {
        EXPECT_EQ(d.printer()->pageLayout().pageSize().windowsId(), 9) << "opens on the printer's paper";
        return int(QDialog::Rejected);
    });
    EXPECT_FALSE(ShowPrinterProperties());
    EXPECT_EQ(GetPaperName(), "A4");

    print::SetPageSetupRunner([](QPageSetupDialog& d) {
        d.printer()->setPageSize(QPageSize(QPageSize::JisB5));
        d.printer()->setPageOrientation(QPageLayout::Landscape);
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(ShowPrinterProperties());
    EXPECT_EQ(GetPaperName(), "B5");
    EXPECT_EQ(GetPaperIndex(), 1);
    EXPECT_TRUE(IsLandscape());
    EXPECT_EQ(GetBinName(), "CD/DVD tray") << "the tray stays";
}

// What the page setup shows on opening is the printer object's paper and orientation.
TEST_F(LibPrinter, ThePageSetupOpensOnThePrintersPaperAndOrientation)
{
    for (const bool landscape : {true, false}) {
        SetPaperIndex(landscape ? 1 : 2);  // B5, Letter
        SetLandscape(landscape);
        PageSetupShown shown{QString(), !landscape};
        watchPageSetup(shown, QDialog::Accepted);
        EXPECT_TRUE(ShowPrinterProperties());
        const QPageSize expected(landscape ? QPageSize::JisB5 : QPageSize::Letter);
        EXPECT_EQ(shown.paper, expected.name());
        EXPECT_EQ(shown.landscape, landscape);
        EXPECT_EQ(GetPaperIndex(), landscape ? 1 : 2) << "confirmed as shown, the paper stays";
        EXPECT_EQ(IsLandscape(), landscape);
    }
}

// On a real queue Qt's dialog opens on the queue's own default paper (Letter here, as on a
// queue set up in America), yet it must show the paper the printer object holds and that the
// job will use: A4, and the borderless A4 of a queue with only borderless papers.
TEST_F(LibPrinter, ThePageSetupOfACupsQueueOpensOnThePrintersPaper)
{
    testsupport::PrivateScheduler cups;
    TAMBOURELLE_NEED_SCHEDULER(cups);
    ASSERT_EQ(cups.AddQueue("Photo", testsupport::TestPpd("Letter")), "");
    ASSERT_EQ(cups.AddQueue("Borderless", testsupport::TestPpd("Letter.Borderless", true)), "");
    print::UsePrintSystem(print::MakeCupsPrintSystem());
    for (const char* queue : {"Photo", "Borderless"}) {
        SetPrinterIndex(FindPrinterIndex(queue));
        ASSERT_EQ(GetPrinterName(), queue);
        SetPaperByName("A4");
        const std::string paper = GetPaperDisplayName();
        const int index = GetPaperIndex();
        for (const bool landscape : {false, true}) {
            SetLandscape(landscape);
            PageSetupShown shown{QString(), !landscape};
            watchPageSetup(shown, QDialog::Rejected);
            EXPECT_FALSE(ShowPrinterProperties());
            EXPECT_EQ(shown.paper.toStdString(), paper) << queue;
            EXPECT_EQ(shown.landscape, landscape) << queue;
        }
        EXPECT_EQ(paper, std::string(queue) == "Photo" ? "A4" : "A4 Borderless");
        EXPECT_EQ(GetPaperIndex(), index);
    }
}

// Confirming the page setup as it opened keeps the paper, the borderless one too, though it has
// the size of the plain paper listed before it.
TEST_F(LibPrinter, ThePageSetupOfACupsQueueKeepsABorderlessPaper)
{
    testsupport::PrivateScheduler cups;
    TAMBOURELLE_NEED_SCHEDULER(cups);
    ASSERT_EQ(cups.AddQueue("Photo", testsupport::TestPpd()), "");
    print::UsePrintSystem(print::MakeCupsPrintSystem());
    SetPrinterIndex(FindPrinterIndex("Photo"));
    rtl::TStringList names;
    GetPaperNames(names);
    // OK as the user presses it: the dialog hands what it shows to the printer.
    print::SetPageSetupRunner([](QPageSetupDialog& d) {
        d.accept();
        return d.result();
    });
    for (const char* paper : {"A4 Borderless", "A4", "Letter / ANSI A Borderless"}) {
        const auto all = items(names);
        const auto at = std::find(all.begin(), all.end(), paper);
        ASSERT_NE(at, all.end()) << paper;
        SetPaperIndex(int(at - all.begin()));
        EXPECT_TRUE(ShowPrinterProperties());
        EXPECT_EQ(GetPaperDisplayName(), paper);
    }
}

}  // namespace
