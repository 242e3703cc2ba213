// The print layer: paper codes, the page resolution, the printer object's selection and
// device mode over a memory print system, what its page canvas puts in the PDF, and (where
// a scheduler of the test's own) the CUPS printers against lpstat and lpoptions.
#include "platform/print/CupsPrintSystem.h"
#include "platform/print/MemoryPrintSystem.h"
#include "platform/print/PrintDialog.h"
#include "platform/print/Printer.h"

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "support/PdfPages.h"
#include "support/PrivateScheduler.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <sstream>

namespace {

print::PrinterInfo printer(const std::string& name, int dpi)
{
    print::PrinterInfo p;
    p.name = name;
    p.dpi = dpi;
    p.papers = {print::PaperForCode(11), print::PaperForCode(9)};
    p.papers.push_back({print::kCustomPaperCode, "Disc tray", 120, 120, {}});
    p.bins = {{"main", "Main"}, {"disc", "Disc"}};
    p.margins = {5, 5, 5, 5};
    p.defaultPaper = 1;
    p.defaultBin = 1;
    p.defaultLandscape = true;
    return p;
}

class PrinterObject : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto s = std::make_unique<print::MemoryPrintSystem>(jobs_.path());
        s->AddPrinter(printer("First", 300));
        s->AddPrinter(printer("Second", 0), true);
        memory_ = s.get();
        print::UsePrintSystem(std::move(s));
    }
    void TearDown() override
    {
        if (print::Printer().Printing())
            print::Printer().Abort();
        print::UsePrintSystem(std::make_unique<print::MemoryPrintSystem>(jobs_.path()));
    }
    testsupport::TempDir jobs_;
    print::MemoryPrintSystem* memory_ = nullptr;
};

TEST(PaperCodes, SizesMapToThePlatformsCodesBothWays)
{
    EXPECT_EQ(print::PaperCodeForSize(210, 297), 9);
    EXPECT_EQ(print::PaperCodeForSize(297, 210), 9) << "either orientation";
    EXPECT_EQ(print::PaperCodeForSize(215.9, 279.4), 1);
    EXPECT_EQ(print::PaperCodeForSize(120, 120), print::kCustomPaperCode);
    EXPECT_EQ(print::PaperCodeForSize(0, 0), print::kCustomPaperCode);
    const print::Paper b5 = print::PaperForCode(13);
    EXPECT_NEAR(b5.widthMm, 182, 0.5);
    EXPECT_NEAR(b5.lengthMm, 257, 0.5);
    EXPECT_EQ(print::PaperForCode(print::kCustomPaperCode).widthMm, 0);
    EXPECT_EQ(print::PaperForCode(9999).widthMm, 0);

    EXPECT_EQ(print::PageResolution(0), 600);
    EXPECT_EQ(print::PageResolution(360), 360);
    EXPECT_EQ(print::PageResolution(1200), 1200);
    EXPECT_EQ(print::PageResolution(2400), 1200);
}

TEST_F(PrinterObject, SelectingAPrinterLoadsItsDefaultsAndRefreshKeepsTheChoice)
{
    print::TPrinter& p = print::Printer();
    EXPECT_EQ(p.Printers(), (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(p.PrinterIndex(), 1) << "the default printer";
    EXPECT_EQ(p.Dpi(), 600) << "a printer that reports no resolution";
    EXPECT_EQ(p.DeviceMode().paper.code, 9);
    EXPECT_EQ(p.DeviceMode().bin, "disc");
    EXPECT_EQ(p.Orientation(), print::poLandscape);

    p.SetOrientation(print::poPortrait);
    p.SetDeviceMode(*p.Selected(), {printer("x", 0).papers[2], "main"});
    p.SetPrinterIndex(1);
    EXPECT_EQ(p.DeviceMode().bin, "main") << "the same printer keeps its device mode";
    p.Refresh();
    EXPECT_EQ(p.PrinterIndex(), 1);
    EXPECT_EQ(p.DeviceMode().paper.name, "Disc tray");
    EXPECT_EQ(p.Orientation(), print::poPortrait);
    // The 2834 whole dots of 120 mm at 600 dpi, less 5 mm (118.1 dots) each side.
    EXPECT_EQ(p.PageWidth(), 2834 - 2 * 118);
    EXPECT_EQ(p.PhysicalOffsetX(), 118);

    p.SetPrinterIndex(0);
    EXPECT_EQ(p.Dpi(), 300);
    EXPECT_EQ(p.DeviceMode().bin, "disc");
    EXPECT_THROW(p.SetPrinterIndex(2), print::EPrinter);
    p.SetPrinterIndex(-1);
    EXPECT_EQ(p.PrinterIndex(), 1);
}

TEST_F(PrinterObject, APrinterThatHasGoneRefusesThePage)
{
    print::TPrinter& p = print::Printer();
    p.BeginDoc();
    EXPECT_THROW(p.BeginDoc(), print::EPrinter);
    memory_->RemovePrinter("Second");
    EXPECT_THROW(p.EndDoc(), print::EPrinter);
    EXPECT_FALSE(p.Printing());
    EXPECT_TRUE(memory_->Jobs().empty());

    print::UsePrintSystem(std::make_unique<print::MemoryPrintSystem>(jobs_.path()));
    EXPECT_EQ(p.PrinterIndex(), -1);
    EXPECT_EQ(p.PageWidth(), 0);
    EXPECT_THROW(p.BeginDoc(), print::EPrinter);
}

TEST_F(PrinterObject, ThePageCanvasDrawsTextShapesAndPicturesInDeviceUnits)
{
    if (!testsupport::havePdfTools() || !testsupport::haveProgram("pdftotext"))
        GTEST_SKIP() << "poppler-utils is not installed";
    print::TPrinter& p = print::Printer();
    p.SetPrinterIndex(0);  // 300 dpi, A4 landscape, 5 mm margins: origin at 59, 59 dots
    p.SetDeviceMode(*p.Selected(), {print::PaperForCode(9), ""});
    p.BeginDoc();
    gfx::TCanvas& c = p.Canvas();
    c.Brush().SetColor(0x0000FF);
    c.Pen().SetStyle(gfx::psClear);
    c.Rectangle(0, 0, 300, 150);  // one inch by half an inch
    gfx::TBitmap pic(30, 30);
    pic.Canvas().Brush().SetColor(gfx::clBlack);
    pic.Canvas().FillRect({0, 0, 30, 30});
    c.StretchDraw({600, 0, 900, 300}, pic);
    c.Font().SetName("Arial");
    c.Font().SetHeight(-60);
    c.Font().SetColor(gfx::clBlack);
    c.Brush().SetStyle(gfx::bsClear);
    c.TextOut(0, 400, "Tambourelle");
    EXPECT_EQ(c.Pixels(10, 10), -1) << "paper cannot be read back";
    p.EndDoc();

    ASSERT_EQ(memory_->Jobs().size(), 1u);
    const std::string pdf = memory_->Jobs()[0].pdfPath;
    const testsupport::PdfPageSize size = testsupport::pdfPageSize(pdf);
    EXPECT_EQ(size.name, "A4");
    EXPECT_GT(size.width, size.height);
    const testsupport::CommandResult text = testsupport::runCommand("pdftotext", {pdf, "-"});
    EXPECT_NE(text.out.find("Tambourelle"), std::string::npos) << "text stays text";

    // Rendered at 300 dpi the dots are pixels again, 59 from the paper's corner.
    const QImage page = testsupport::renderPdfPage(pdf, 300);
    ASSERT_FALSE(page.isNull());
    auto dark = [&](int x, int y) { return qGray(page.pixel(x, y)) < 128; };
    EXPECT_FALSE(dark(58, 100));
    EXPECT_TRUE(dark(61, 100)) << "red is darker than mid grey";
    EXPECT_TRUE(dark(358, 100));
    EXPECT_FALSE(dark(362, 100));
    EXPECT_FALSE(dark(658, 100));
    EXPECT_TRUE(dark(662, 100));
    EXPECT_TRUE(dark(958, 358));
    EXPECT_FALSE(dark(962, 362));
}

TEST_F(PrinterObject, APageForAFileIsWrittenThereInsteadOfSentAndOnlyOnce)
{
    print::TPrinter& p = print::Printer();
    const std::string file = jobs_.file("chosen.pdf");
    testsupport::writeFile(file, "the user's old file");
    p.SetOutputFile(file);
    p.BeginDoc();
    p.Abort();  // an aborted page leaves the file as it was and forgets it
    EXPECT_EQ(testsupport::readFile(file), "the user's old file");
    p.BeginDoc();
    p.EndDoc();
    EXPECT_EQ(memory_->Jobs().size(), 1u) << "after an abort the page goes to the printer";

    p.SetOutputFile(file);
    p.BeginDoc();
    p.Canvas().TextOut(100, 100, "Tambourelle");
    p.EndDoc();
    EXPECT_EQ(memory_->Jobs().size(), 1u);
    EXPECT_EQ(testsupport::pdfPageSize(file).name, "A4");
    p.BeginDoc();
    p.EndDoc();
    EXPECT_EQ(memory_->Jobs().size(), 2u) << "the next page goes to the printer again";

    p.SetOutputFile(jobs_.file("no/such/folder/page.pdf"));
    p.BeginDoc();
    EXPECT_THROW(p.EndDoc(), print::EPrinter);
    EXPECT_EQ(memory_->Jobs().size(), 2u);
}

TEST(PrintDialog, AConfirmedDialogGivesOneCopyAndACancelledOneNothing)
{
    for (bool accept : {true, false}) {
        QTimer::singleShot(0, [accept] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                accept ? d->accept() : d->reject();
        });
        print::PrintDialogChoice choice;
        choice.printer = "not a queue";
        choice.copies = 1;
        EXPECT_EQ(print::ShowPrintDialog(nullptr, choice), accept);
        EXPECT_EQ(choice.copies, 1);
    }
}

// The papers of a queue whose sizes all come borderless (as the stock cups-pdf queue lists
// them, an envelope first) and of one with margins and a tray variant.
TEST(CupsPapers, TheDefaultIsFoundAmongItsVariantsElseA4AndEveryPaperIsNamed)
{
    const std::vector<print::CupsMedia> borderless = {
        {"na_monarch_3.875x7.5in_borderless", "", 9843, 19050},
        {"na_letter_8.5x11in_borderless", "na_letter_8.5x11in_borderless", 21590, 27940},
        {"iso_a4_210x297mm_borderless", "", 21000, 29700},
        {"iso_a4_210x297mm_borderless", "", 21000, 29700},  // listed twice: offered once
        {"custom_disc_120x120mm", "", 12000, 12000},
    };
    print::PrinterInfo p;
    print::DescribeCupsPapers(borderless, "iso_a4_210x297mm", nullptr, p);
    ASSERT_EQ(p.papers.size(), 4u);
    EXPECT_EQ(p.defaultPaper, 2);
    EXPECT_EQ(p.papers[2].code, 9);
    EXPECT_EQ(p.papers[2].name, "A4 Borderless");
    EXPECT_EQ(p.papers[0].name.find('_'), std::string::npos) << p.papers[0].name;
    EXPECT_NE(p.papers[0].name.find("Borderless"), std::string::npos) << p.papers[0].name;
    EXPECT_EQ(p.papers[3].name.find('_'), std::string::npos) << p.papers[3].name;
    EXPECT_EQ(p.margins.left + p.margins.top + p.margins.right + p.margins.bottom, 0);

    // A default the queue does not list at all: its A4, never the envelope before it.
    print::DescribeCupsPapers(borderless, "iso_a3_297x420mm", nullptr, p);
    EXPECT_EQ(p.defaultPaper, 2);
    const std::vector<print::CupsMedia> noA4(borderless.begin(), borderless.begin() + 2);
    print::DescribeCupsPapers(noA4, "iso_a3_297x420mm", nullptr, p);
    EXPECT_EQ(p.defaultPaper, -1);

    const std::vector<print::CupsMedia> margins = {
        {"na_monarch_3.875x7.5in", "Monarch Envelope", 9843, 19050, 300, 420, 300, 420},
        {"iso_a4_210x297mm_tray-1_photographic", "", 21000, 29700, 0, 0, 0, 0},
        {"iso_a4_210x297mm", "A4", 21000, 29700, 300, 420, 300, 420},
    };
    print::DescribeCupsPapers(margins, "iso_a4_210x297mm", nullptr, p);
    EXPECT_EQ(p.defaultPaper, 2) << "the keyword itself before its variants";
    EXPECT_EQ(p.papers[0].name, "Monarch Envelope") << "the scheduler's own name";
    EXPECT_EQ(p.papers[1].name, "A4 Tray 1 Photographic");
    EXPECT_DOUBLE_EQ(p.margins.top, 4.2);
}

// Trays the scheduler gives no names for take their PPD's; the keyword stays the job's.
TEST(CupsPapers, TraysAreNamedAsTheirPpdNamesThem)
{
    testsupport::TempDir dir;
    const std::string ppd = dir.file("queue.ppd");
    testsupport::writeFile(ppd, "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*LanguageVersion: English\n"
                                "*LanguageEncoding: ISOLatin1\n*ModelName: \"Disc Writer\"\n"
                                "*OpenUI *InputSlot/Paper Source: PickOne\n*DefaultInputSlot: Auto\n"
                                "*InputSlot Auto/Automatic Selection: \"\"\n*InputSlot Disc/CD-DVD Tray: \"\"\n"
                                "*InputSlot Tray1/Tray 1 (Rear): \"\"\n*InputSlot Upper/Upper Cassette: \"\"\n"
                                "*CloseUI: *InputSlot\n");
    std::vector<print::Bin> bins = {{"auto", ""}, {"disc", ""}, {"tray-1", ""}, {"top", ""},
                                    {"manual", "Manual feed"}, {"side", ""}};
    print::NameBinsFromPpd(ppd, bins);
    EXPECT_EQ(bins[0].name, "Automatic Selection");
    EXPECT_EQ(bins[1].name, "CD-DVD Tray");
    EXPECT_EQ(bins[2].name, "Tray 1 (Rear)");
    EXPECT_EQ(bins[3].name, "Upper Cassette");
    EXPECT_EQ(bins[4].name, "Manual feed") << "a name the scheduler gave stays";
    EXPECT_EQ(bins[5].name, "") << "a slot the PPD does not list";
    EXPECT_EQ(bins[1].keyword, "disc");
    print::NameBinsFromPpd(dir.file("none.ppd"), bins);
    EXPECT_EQ(bins[5].name, "");
}

// A queue stopped from taking jobs is reported in Japanese, naming the queue, with the reason
// its administrator gave; other refusals carry the scheduler's own text. 1286 and 1030 are
// IPP's "not accepting jobs" and "not found".
TEST(CupsPapers, ARefusedJobIsReportedInTheUsersWordsWithTheSchedulersReason)
{
    EXPECT_EQ(print::CupsRefusal("cups-pdf", 1286, "Destination \"cups-pdf\" is not accepting jobs.", "紙詰まり"),
              "プリンター「cups-pdf」は印刷を受け付けていません。\r\r理由 : 紙詰まり");
    EXPECT_EQ(print::CupsRefusal("cups-pdf", 1286, "Destination \"cups-pdf\" is not accepting jobs.", ""),
              "プリンター「cups-pdf」は印刷を受け付けていません。\r\r理由 : Destination \"cups-pdf\" is not accepting jobs.");
    EXPECT_EQ(print::CupsRefusal("gone", 1030, "The printer or class does not exist.", ""),
              "プリンター「gone」に印刷できませんでした。\r\r理由 : The printer or class does not exist.");
}

TEST_F(PrinterObject, APrinterWithoutADefaultPaperPrintsOnA4)
{
    print::PrinterInfo envelopes = printer("Envelopes", 300);
    envelopes.papers = {print::PaperForCode(37), print::PaperForCode(1)};
    envelopes.defaultPaper = -1;
    print::PrinterInfo withA4 = envelopes;
    withA4.name = "With A4";
    withA4.papers.push_back(print::PaperForCode(9));
    withA4.papers.back().name = "A4 Borderless";
    memory_->AddPrinter(envelopes);
    memory_->AddPrinter(withA4);
    print::Printer().Reload();
    print::Printer().SetPrinterIndex(2);
    EXPECT_EQ(print::Printer().DeviceMode().paper.code, 9);
    print::Printer().SetPrinterIndex(3);
    EXPECT_EQ(print::Printer().DeviceMode().paper.name, "A4 Borderless") << "the printer's own A4";
}

std::vector<std::string> words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string s; in >> s;)
        w.push_back(s);
    return w;
}

// A scheduler of the test's own with three queues set up from one PPD file: "Photo" (A4 by
// default, each paper also borderless), "Borderless" (only borderless papers) and "Stopped",
// which refuses jobs. The program sees these queues and no others.
class CupsPrintSystem : public ::testing::Test {
protected:
    void SetUp() override
    {
        TAMBOURELLE_NEED_SCHEDULER(cups_);
        ASSERT_EQ(cups_.AddQueue("Photo", testsupport::TestPpd()), "");
        ASSERT_EQ(cups_.AddQueue("Borderless", testsupport::TestPpd("A4.Borderless", true)), "");
        ASSERT_EQ(cups_.AddQueue("Stopped", testsupport::TestPpd(), "紙詰まり"), "");
    }
    static const print::PrinterInfo& named(const print::PrinterList& list, const std::string& name)
    {
        const auto p = std::find_if(list.printers.begin(), list.printers.end(),
                                    [&](const print::PrinterInfo& i) { return i.name == name; });
        if (p == list.printers.end())
            throw std::runtime_error("no printer " + name);
        return *p;
    }
    testsupport::PrivateScheduler cups_;
};

// The queues CUPS lists are the printers, each with as many papers and bins as its page sizes
// and input slots, at its default resolution.
TEST_F(CupsPrintSystem, PrintersMatchTheSchedulersQueues)
{
    const print::PrinterList list = print::MakeCupsPrintSystem()->Printers();
    std::vector<std::string> queues;
    std::istringstream lines(testsupport::runCommand("lpstat", {"-p"}).out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("printer ", 0) == 0)
            queues.push_back(words(line)[1]);
    std::vector<std::string> names;
    for (const print::PrinterInfo& p : list.printers)
        if (p.name.find('/') == std::string::npos)
            names.push_back(p.name);
    EXPECT_EQ(names, queues);
    EXPECT_EQ(names, (std::vector<std::string>{"Borderless", "Photo", "Stopped"})) << "only the test's own";
    // Each option line reads "Keyword/Text: choice *default choice ...".
    for (const print::PrinterInfo& p : list.printers) {
        std::istringstream options(testsupport::runCommand("lpoptions", {"-p", p.name, "-l"}).out);
        for (std::string line; std::getline(options, line);) {
            const std::vector<std::string> choices = words(line.substr(line.find(':') + 1));
            if (line.rfind("InputSlot/", 0) == 0) {
                EXPECT_EQ(p.bins.size(), choices.size()) << p.name;
            } else if (line.rfind("PageSize/", 0) == 0) {
                EXPECT_EQ(p.papers.size(), choices.size()) << p.name;
            } else if (line.rfind("Resolution/", 0) == 0) {
                const auto def = std::find_if(choices.begin(), choices.end(),
                                              [](const std::string& c) { return c[0] == '*'; });
                ASSERT_NE(def, choices.end()) << line;
                EXPECT_EQ(std::to_string(p.dpi) + "dpi", def->substr(1)) << p.name;
            }
        }
    }
}

// What the program makes of a real queue: its A4 default (the borderless A4 where the queue has
// only borderless papers, with no margins), each paper named for the user, and the paper trays
// by the PPD's names, the keyword going to the job.
TEST_F(CupsPrintSystem, PapersAndTraysAreTheQueuesOwn)
{
    const print::PrinterList list = print::MakeCupsPrintSystem()->Printers();
    const print::PrinterInfo& photo = named(list, "Photo");
    ASSERT_GE(photo.defaultPaper, 0);
    EXPECT_EQ(photo.papers[size_t(photo.defaultPaper)].name, "A4");
    EXPECT_EQ(photo.papers[size_t(photo.defaultPaper)].code, 9);
    EXPECT_NEAR(photo.margins.left, 4.23, 0.01) << "12 points";
    EXPECT_EQ(photo.papers.size(), 8u);
    for (const print::Paper& p : photo.papers)
        EXPECT_EQ(p.name.find('_'), std::string::npos) << p.name << ": a keyword, not a name";

    const print::PrinterInfo& borderless = named(list, "Borderless");
    ASSERT_GE(borderless.defaultPaper, 0);
    const print::Paper& a4 = borderless.papers[size_t(borderless.defaultPaper)];
    EXPECT_EQ(a4.code, 9) << a4.name << ", not the envelope listed first";
    EXPECT_EQ(a4.name, "A4 Borderless");
    EXPECT_EQ(borderless.margins.left + borderless.margins.top + borderless.margins.right + borderless.margins.bottom, 0);

    std::vector<std::pair<std::string, std::string>> trays;
    for (const print::Bin& b : photo.bins)
        trays.emplace_back(b.keyword, b.name);
    EXPECT_EQ(trays, (std::vector<std::pair<std::string, std::string>>{
                         {"top", "Upper Cassette"}, {"manual", "Manual Feeder"}, {"disc", "CD Tray"}}));
    EXPECT_EQ(photo.defaultBin, 0);
}

// A job for a queue that refuses jobs is reported in Japanese, naming the queue and the reason
// its administrator gave, and leaves no job behind.
TEST_F(CupsPrintSystem, ARefusedJobNamesTheQueueAndItsReason)
{
    testsupport::TempDir dir;
    const std::string pdf = dir.file("page.pdf");
    testsupport::writeFile(pdf, "%PDF-1.4\n%%EOF\n");
    print::PrintJob job;
    job.printer = "Stopped";
    job.title = "Jacket";
    job.paper = print::PaperForCode(9);
    std::string error;
    EXPECT_FALSE(print::MakeCupsPrintSystem()->Submit(pdf, job, error));
    EXPECT_EQ(error, "プリンター「Stopped」は印刷を受け付けていません。\r\r理由 : 紙詰まり");
    EXPECT_EQ(testsupport::runCommand("lpstat", {"-o"}).out, "") << "no job left waiting";
}

}  // namespace

// A size the queue lists plain and borderless prints as the one chosen: the borderless A4 is
// laid out to the paper's edges and asked for without margins, so that the driver is told its
// borderless size, the plain A4 within the printer's 12 points. The tray chosen reaches the
// driver too, with the queue's papers and with a paper known by its size alone.
TEST_F(CupsPrintSystem, ThePaperAndTrayChosenAreThoseTheDriverIsTold)
{
    print::UsePrintSystem(print::MakeCupsPrintSystem());
    print::TPrinter& printer = print::Printer();
    const auto& queues = printer.Printers();
    const auto photo = std::find(queues.begin(), queues.end(), "Photo");
    ASSERT_NE(photo, queues.end());
    printer.SetPrinterIndex(int(photo - queues.begin()));
    const print::PrinterInfo info = *printer.Selected();
    struct Case {
        std::string name;  // the queue's paper; "": the A4 of the paper codes
        int margin;        // 600 dpi dots
        std::vector<int> asked;
        std::string driverSize;
    };
    for (const Case& c : {Case{"A4 Borderless", 0, {0, 0, 0, 0}, "A4.Borderless"},
                          Case{"A4", 100, {423, 423, 423, 423}, "A4"},
                          Case{"", 100, {-1, -1, -1, -1}, "A4"}}) {
        print::Paper paper = print::PaperForCode(9);
        if (!c.name.empty()) {
            const auto listed = std::find_if(info.papers.begin(), info.papers.end(),
                                             [&](const print::Paper& p) { return p.name == c.name; });
            ASSERT_NE(listed, info.papers.end()) << c.name;
            paper = *listed;
        }
        printer.SetDeviceMode(info, {paper, "disc"});
        // 210 mm are 4960 whole dots at 600 dpi; 12 points are 100 of them.
        EXPECT_EQ(printer.PhysicalOffsetX(), c.margin) << c.name;
        EXPECT_EQ(printer.PhysicalOffsetY(), c.margin) << c.name;
        EXPECT_EQ(printer.PageWidth(), 4960 - 2 * c.margin) << c.name;

        printer.SetTitle(c.name);
        printer.BeginDoc();
        printer.Canvas().Rectangle(0, 0, printer.PageWidth(), printer.PageHeight());
        ASSERT_NO_THROW(printer.EndDoc()) << c.name;
        const testsupport::JobPaper job = testsupport::NewestJobPaper("Photo");
        ASSERT_GT(job.id, 0) << c.name;
        EXPECT_NEAR(job.width, 21000, 50) << c.name;
        EXPECT_NEAR(job.length, 29700, 50) << c.name;
        EXPECT_EQ((std::vector<int>{job.left, job.top, job.right, job.bottom}), c.asked) << c.name;
        EXPECT_EQ(job.source, "disc") << c.name;
        const std::string options = " " + cups_.DriverOptions(job.id) + " ";
        EXPECT_NE(options.find(" PageSize=" + c.driverSize + " "), std::string::npos) << c.name << ":" << options;
        EXPECT_NE(options.find(" InputSlot=Disc "), std::string::npos) << c.name << ":" << options;
    }
    print::UsePrintSystem(print::MakeCupsPrintSystem());
}
