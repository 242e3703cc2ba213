// The print settings the jacket and label share: origins with their defaults, and the
// printer choice that must survive a change in the list of installed printers.

#include "labels/MemoryPrinters.h"
#include "labels/forms/CDPrintSettings.h"
#include "labels/libPrinter.h"
#include "shared/SettingsFixture.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

using namespace labeltest;

namespace {

class PrintSettings : public MemoryPrinters {
protected:
    SettingsFixture settings;
};

TEST_F(PrintSettings, OriginsReadTheirDefaultsUntilWrittenAndKeepTheirText)
{
    EXPECT_EQ(cdlabel::ReadPrintOrigin(false).X, "10");
    EXPECT_EQ(cdlabel::ReadPrintOrigin(false).Y, "10");
    EXPECT_EQ(cdlabel::ReadPrintOrigin(true).X, "5.5");
    EXPECT_EQ(cdlabel::ReadPrintOrigin(true).Y, "91");

    cdlabel::WritePrintOrigin(true, {"15", "7.5"});
    EXPECT_EQ(cdlabel::ReadPrintOrigin(true).Y, "7.5");
    EXPECT_EQ(cdlabel::ReadPrintOrigin(false).X, "10");  // the jacket keeps its own
    const ParsedIni ini = readWithConfigParser(settings.path());
    EXPECT_EQ(ini.keys("CD_LABEL"), (IniKeys{{"CD_POS_X", "15"}, {"CD_POS_Y", "7.5"}}));

    EXPECT_DOUBLE_EQ(cdlabel::OriginMm("5.5", 0), 5.5);
    EXPECT_DOUBLE_EQ(cdlabel::OriginMm("5,5", 91), 91);  // not a number here: the default
    EXPECT_DOUBLE_EQ(cdlabel::OriginMm("", 10), 10);
}

TEST_F(PrintSettings, TheStoredPrinterIsFoundByNameAfterTheListChanged)
{
    system().AddPrinter(discPrinter("Alpha", 600), true);
    system().AddPrinter(discPrinter("Beta", 600));
    use();
    SetPrinterIndex(1);
    SetBinIndex(1);
    SetPaperIndex(2);
    cdlabel::WritePrinterChoice(1);
    const cdlabel::TPrinterChoice stored = cdlabel::ReadPrinterChoice();
    EXPECT_EQ(stored.PrinterName, "Beta");
    EXPECT_EQ(stored.PrinterIndex, 1);

    // A new printer sorts before Beta: index 1 is now somebody else's.
    system().AddPrinter(discPrinter("Aardvark", 600), true);
    system().AddPrinter(discPrinter("Alpha", 600));
    system().AddPrinter(discPrinter("Beta", 600));
    use();
    ASSERT_EQ(GetPrinterCount(), 3);
    cdlabel::ApplyPrinterChoice(true);
    EXPECT_EQ(GetPrinterName(), "Beta");
    EXPECT_EQ(GetBinIndex(), 1);
    EXPECT_EQ(GetPaperIndex(), 2);
    EXPECT_TRUE(IsLandscape());

    // Beta gone: the index stands in for it; the orientation is left alone when not asked.
    system().AddPrinter(discPrinter("Aardvark", 600), true);
    system().AddPrinter(discPrinter("Gamma", 600));
    use();
    cdlabel::ApplyPrinterChoice(false);
    EXPECT_EQ(GetPrinterName(), "Gamma");
    EXPECT_FALSE(IsLandscape());
}

TEST_F(PrintSettings, NothingStoredLeavesThePrinterAsItIs)
{
    system().AddPrinter(discPrinter("Alpha", 600));
    system().AddPrinter(discPrinter("Beta", 600), true);
    use();
    const std::string before = GetPrinterName();
    cdlabel::ApplyPrinterChoice(true);
    EXPECT_EQ(GetPrinterName(), before);
    EXPECT_EQ(cdlabel::ReadPrinterChoice().PrinterIndex, -1);
}

}  // namespace
