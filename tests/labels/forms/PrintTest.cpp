// The designer's print button on memory printers (margins 3 mm and 4.2 mm), the pages read
// back by poppler: pdftoppm renders them at 600 dpi in grey, pdftotext finds the jacket's
// words and where they stand. The questions are answered through the designer's seams.

#include "DesignerFixture.h"

#include "controls/gradient/RbButton.h"
#include "labels/MemoryPrinters.h"
#include "labels/forms/CDLayout.h"
#include "labels/forms/CDPrintSettings.h"
#include "labels/forms/xCDPrnPos.h"
#include "labels/libPrinter.h"
#include "controls/flat/TFlatSpinEditUnit.h"
#include "platform/forms/Application.h"
#include "platform/forms/Image.h"
#include "platform/print/CupsPrintSystem.h"
#include "platform/gfx/Canvas.h"
#include "platform/print/Printer.h"
#include "support/PdfPages.h"
#include "util/libIni.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace testsupport;
using labeltest::discPrinter;

namespace {

constexpr int Render = 600;

struct Question {
    std::string caption, text, buttons, icon;
};

struct Word {
    std::string text;
    double x, y;  // pixels at 600 dpi from the paper's corner: left, top
};

class Printing : public labeltest::MemoryPrinters, public DesignerFixture {
protected:
    void SetUp() override
    {
        MemoryPrinters::SetUp();
        if (!havePdfTools() || !haveProgram("pdftotext"))
            GTEST_SKIP() << "poppler-utils is not installed";
    }
    void printers(int dpi, std::vector<std::string> names = {"Disc Writer"})
    {
        MemoryPrinters::TearDown();
        for (const std::string& n : names)
            system().AddPrinter(discPrinter(n, dpi), n == names.front());
        use();
    }
    std::unique_ptr<TfrmCD_Label> designer()
    {
        auto w = open();
        w->MsgBox = [this](QWidget*, const std::string& c, const std::string& t, int, const std::string& b,
                           const std::string& i) {
            asked.push_back({c, t, b, i});
            return reply;
        };
        w->RunPrintDialog = [this](print::PrintDialogChoice& c) {
            ++dialogs;
            shownPrinter = c.printer;
            shownCopies = c.copies;
            if (choose)
                choose(c);
            return confirm;
        };
        return w;
    }
    // Prints page 1 or 2 with the print button; the job's PDF, or "" when none was made.
    std::string print(TfrmCD_Label& w, int page)
    {
        const size_t before = current().Jobs().size();
        w.pgeCD->setCurrentIndex(page - 1);
        w.spdOKClick();
        return current().Jobs().size() > before ? current().Jobs().back().pdfPath : std::string();
    }
    int at(int preview) const { return MmToDeviceX(preview * 0.2); }

    std::vector<Question> asked;
    int reply = 6;
    int dialogs = 0;
    bool confirm = true;
    std::function<void(print::PrintDialogChoice&)> choose;
    std::string shownPrinter;
    int shownCopies = 0;
};

// The bounding box of the pixels darker than `below`.
QRect inkBox(const QImage& page, int below = 250)
{
    int l = page.width(), t = page.height(), r = -1, b = -1;
    for (int y = 0; y < page.height(); ++y) {
        const uchar* line = page.constScanLine(y);
        for (int x = 0; x < page.width(); ++x)
            if (line[x] < below) {
                l = std::min(l, x);
                r = std::max(r, x);
                t = std::min(t, y);
                b = std::max(b, y);
            }
    }
    return r < 0 ? QRect() : QRect(QPoint(l, t), QPoint(r, b));
}

int grey(const QImage& page, int x, int y) { return page.constScanLine(y)[x]; }

QImage rendered(const std::string& pdf)
{
    QImage page = renderPdfPage(pdf, Render);
    return page.format() == QImage::Format_Grayscale8 ? page : page.convertToFormat(QImage::Format_Grayscale8);
}

std::vector<Word> wordsOf(const std::string& pdf)
{
    const CommandResult r = runCommand("pdftotext", {"-bbox", pdf, "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<Word> words;
    static const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="[\d.]+">([^<]*)</word>)re");
    auto it = word.globalMatch(QString::fromStdString(r.out));
    while (it.hasNext()) {
        const auto m = it.next();
        words.push_back({m.captured(3).toStdString(), m.captured(1).toDouble() * Render / 72,
                         m.captured(2).toDouble() * Render / 72});
    }
    return words;
}

const Word* findWord(const std::vector<Word>& words, const std::string& text)
{
    for (const Word& w : words)
        if (w.text == text)
            return &w;
    return nullptr;
}

// The darkest row of column x within `around` +- 12.
int darkestRow(const QImage& page, int x, int around)
{
    int best = around, value = 256;
    for (int y = around - 12; y <= around + 12; ++y)
        if (grey(page, x, y) < value) {
            value = grey(page, x, y);
            best = y;
        }
    return best;
}

std::string lookFolder()
{
    const QString dir = QCoreApplication::applicationDirPath() + "/../labels-look";
    QDir().mkpath(dir);
    return dir.toStdString();
}

// ---------------------------------------------------------------- the jacket

TEST_F(Printing, JacketFrameTitleRuleAndTracksLandWhereTheLayoutPutsThem)
{
    printers(600);
    song("a.mp3", "Morning", "Quartet", "Harbour");
    song("b.mp3", "Noon", "Quartet", "Harbour");
    auto w = designer();
    EXPECT_TRUE(w->spdOK->isEnabled());
    const std::string pdf = print(*w, 1);
    ASSERT_FALSE(pdf.empty());
    const QImage page = rendered(pdf);
    ASSERT_FALSE(page.isNull());

    // The dotted cutting line is the outermost ink: 10 mm from the paper's corner, 120 mm.
    const QRect ink = inkBox(page);
    EXPECT_NEAR(ink.left(), 236, 1);
    EXPECT_NEAR(ink.top(), 236, 1);
    EXPECT_NEAR(ink.width(), 2835, 1);
    EXPECT_NEAR(ink.height(), 2835, 1);

    // The rule: one solid row 5 dots below its box's converted top, as wide as its box.
    const int ruleX = 236 + at(w->pbxLine->x()), ruleY = 236 + at(w->pbxLine->y()) + 5;
    const int row = darkestRow(page, ruleX + 1000, ruleY);
    EXPECT_NEAR(row, ruleY, 1);
    int first = -1, last = -1;
    for (int x = 0; x < page.width(); ++x)
        if (grey(page, x, row) < 128) {
            first = first < 0 ? x : first;
            last = x;
        }
    EXPECT_NEAR(first, ruleX, 1);
    EXPECT_NEAR(last + 1 - first, at(w->pbxLine->width()), 2);

    // Text stays text: the title, the artist and the rows are found where their boxes stand.
    const std::vector<Word> words = wordsOf(pdf);
    const Word* title = findWord(words, "Harbour");
    ASSERT_NE(title, nullptr);
    EXPECT_NEAR(title->x, 236 + at(w->pbxTitle1->x()), 2);
    EXPECT_NEAR(title->y, 236 + at(w->pbxTitle1->y()), 6);
    const Word* artist = findWord(words, "Quartet");
    ASSERT_NE(artist, nullptr);
    EXPECT_NEAR(artist->y, 236 + at(w->pbxArtist1->y()), 6);
    EXPECT_GT(artist->y, row) << "the artist below the rule";
    const Word* one = findWord(words, "1.");
    const Word* noon = findWord(words, "Noon");
    ASSERT_NE(one, nullptr);
    ASSERT_NE(noon, nullptr);
    gfx::TCanvas numbers;  // " 1.": the number right-aligned in two half-width cells
    numbers.Font().Assign(cdlabel::ScaleFont(w->pbxCD_Title->Font(), 600 / 127.0));
    numbers.Font().SetName("ＭＳ ゴシック");
    EXPECT_NEAR(one->x, 236 + at(w->pbxCD_Title->x()) + numbers.TextWidth(" "), 2);
    EXPECT_NEAR(one->y, 236 + at(w->pbxCD_Title->y()), 6);
    EXPECT_GT(noon->y, one->y);
}

TEST_F(Printing, JacketListEndsAtTheScreensRowAtEveryResolution)
{
    for (int rows : {4, 40}) {
        for (int dpi : {300, 600, 1200}) {
            SCOPED_TRACE(std::to_string(rows) + " rows, " + std::to_string(dpi) + " dpi");
            printers(dpi);
            host.rows.clear();
            titles(rows, "Track");
            auto w = designer();
            const int shown = w->JacketTracks().Rows;
            EXPECT_EQ(shown < rows, rows == 40) << "40 rows do not fit the jacket";
            const std::string pdf = print(*w, 1);
            ASSERT_FALSE(pdf.empty());
            const std::vector<Word> words = wordsOf(pdf);
            int printed = 0;
            for (const Word& word : words)
                if (word.text.rfind("Track", 0) == 0)
                    ++printed;
            EXPECT_EQ(printed, shown);
            EXPECT_NE(findWord(words, "Track" + std::to_string(shown)), nullptr);
        }
    }
}

// The screen lays the title out by the face's unhinted metrics, which the print scales
// as they are: a title centred on the screen is centred on the paper, in both directions of
// the disc's centre line, and as wide as its box.
TEST_F(Printing, ATitleCentredOnTheScreenPrintsCentred)
{
    for (int dpi : {300, 600}) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        printers(dpi);
        host.rows.clear();
        song("h.mp3", "One", "Quartet", "HARBOUR LIGHTS OF THE NORTH");
        auto w = designer();
        w->pbxTitle1->move((600 - w->pbxTitle1->width()) / 2, w->pbxTitle1->y());
        const QImage page = rendered(print(*w, 1));
        ASSERT_FALSE(page.isNull());
        const QRect frame = inkBox(page);
        const double perPreview = Render / 25.4 / 5;  // rendered pixels per preview pixel
        const int top = frame.top() + int(w->pbxTitle1->y() * perPreview);
        const int bottom = frame.top() + int(w->pbxTitle1->geometry().bottom() * perPreview);
        const QImage band = page.copy(QRect(frame.left() + 4, top, frame.width() - 8, bottom - top));
        const QRect ink = inkBox(band).translated(frame.left() + 4, top);
        ASSERT_FALSE(ink.isEmpty());
        const double mm = 25.4 / Render;
        const double boxCentre = (w->pbxTitle1->x() + w->pbxTitle1->width() / 2.0) / 5;
        EXPECT_NEAR((ink.left() + ink.right() + 1) / 2.0 * mm - frame.left() * mm, boxCentre, 0.1);
        EXPECT_LE(ink.width() * mm, w->pbxTitle1->width() / 5.0 + 0.1);
    }
}

TEST_F(Printing, AJacketPhotoLargerThanThePagePrintsAsLaidOutPastTheSquare)
{
    printers(600);
    titles(2);
    auto w = designer();
    ASSERT_TRUE(w->LoadPhoto(1, photo("wide.jpg", 330, 300, "navy")));
    w->do_SizeFitClick();
    ASSERT_GT(w->pbxTitle_DSP->width(), 600) << "the photo passes the page's sides";
    const QImage page = rendered(print(*w, 1));
    ASSERT_FALSE(page.isNull());
    // Centred on the square and scaled like everything else on it: the photo's box is
    // (P - width) / 2 preview pixels left of the square.
    const double scale = 2835 / 600.0;
    const int overhang = int(std::lround((w->pbxTitle_DSP->width() - 600) / 2.0 * scale));
    const QRect ink = inkBox(page);
    EXPECT_NEAR(ink.left(), 236 - overhang, 2);
    EXPECT_NEAR(ink.right(), 236 + 2834 + overhang, 2);
    EXPECT_LT(grey(page, 300, 1600), 128) << "the photo fills the square";
}

// ---------------------------------------------------------------- the label

TEST_F(Printing, LabelPhotoPrintsOnlyOnTheDiscAndTheHubStaysWhite)
{
    printers(600);
    titles(3);
    auto w = designer();
    // Red, and the very grey of the outline the whitening once stopped at.
    const std::pair<const char*, const char*> photos[] = {{"red.bmp", "red"}, {"grey.bmp", "rgb(200,200,200)"}};
    for (const auto& [name, colour] : photos) {
        SCOPED_TRACE(colour);
        ASSERT_TRUE(w->LoadPhoto(2, photo(name, 300, 300, colour)));
        w->do_CDSizeFitClick();
        const QImage page = rendered(print(*w, 2));
        ASSERT_FALSE(page.isNull());
        const int left = 130, top = 2150;  // 5.5 mm, 91 mm from the paper's corner
        const QRect ink = inkBox(page);
        EXPECT_NEAR(ink.left(), left + 33, 1);
        EXPECT_NEAR(ink.top(), top + 33, 1);
        EXPECT_NEAR(ink.width(), 2764, 2);
        EXPECT_NEAR(ink.height(), 2764, 2);
        // Outside the circle, within the square: white; on the disc: the photo.
        const int centre = 2835 / 2;
        for (QPoint p : {QPoint(40, 40), QPoint(2795, 40), QPoint(40, 2795), QPoint(2795, 2795), QPoint(5, centre)})
            EXPECT_GE(grey(page, left + p.x(), top + p.y()), 250) << p.x() << "," << p.y();
        EXPECT_LT(grey(page, left + 300, top + centre), 230);
        // The hub: white inside, its dotted guide on its edge.
        const int hubLeft = left + cdlabel::ScaleLength(197, 2835 / 600.0);
        EXPECT_GE(grey(page, hubLeft + 40, top + centre + 3), 250);
        EXPECT_GE(grey(page, left + centre, top + centre), 250);
        int guide = 255;
        for (int y = top + centre - 12; y <= top + centre + 12; ++y)
            for (int x = hubLeft - 2; x <= hubLeft + 2; ++x)
                guide = std::min(guide, grey(page, x, y));
        EXPECT_LT(guide, 200) << "the hub's dotted edge";
    }
}

// ---------------------------------------------------------------- the questions

TEST_F(Printing, QuestionsNameThePageThePrinterAndTheOriginVerbatim)
{
    printers(600);
    auto w = designer();
    reply = 7;
    EXPECT_EQ(print(*w, 1), "");
    EXPECT_EQ(print(*w, 2), "");
    ASSERT_EQ(asked.size(), 2u);
    const std::string info = std::string("\r\r\r- Printer Infomation ------------------") +
                             "\r\r プリンター : Disc Writer\r\r 用　紙 : A4\r\r 給　紙 : Automatic\r\r 方　向 : 縦";
    EXPECT_EQ(asked[0].caption, "ＣＤジャケット印刷");
    EXPECT_EQ(asked[0].text, "ＣＤジャケットの印刷を行います。\r\n\r\n印刷用紙を用意して下さい。　" + info +
                                 "\r\r 原　点 : ( 10mm , 10mm )\r\r サイズ : ( 120mm x 120mm )"
                                 "\r\r-----------------------------------");
    EXPECT_EQ(asked[0].buttons, "YN");
    EXPECT_EQ(asked[0].icon, "i");
    EXPECT_EQ(asked[1].caption, "ＣＤラベル印刷");
    EXPECT_EQ(asked[1].text, "ＣＤラベルの印刷を行います。\r\n\r\n印刷用紙又はＣＤを用意して下さい。　" + info +
                                 "\r\r 原　点 : ( 5.5mm , 91mm )\r\r サイズ : ( 120mm x 120mm )"
                                 "\r\r-----------------------------------");
    EXPECT_EQ(dialogs, 0) << "No asks no further";

    // The title names the page, else the artist; the stored origin is shown as written.
    w->JacketTitle = "　Harbour ";
    w->LabelArtist = "Quartet";
    cdlabel::WritePrintOrigin(false, {"12.5", "20"});
    print(*w, 1);
    print(*w, 2);
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[2].text.substr(0, asked[2].text.find("\r\n")), "『　Harbour　』　の印刷を行います。");
    EXPECT_NE(asked[2].text.find(" 原　点 : ( 12.5mm , 20mm )"), std::string::npos);
    EXPECT_EQ(asked[3].text.substr(0, asked[3].text.find("\r\n")), "『　Quartet　』　の印刷を行います。");
    EXPECT_TRUE(current().Jobs().empty());
}

TEST_F(Printing, NoPrinterACancelledDialogOrAClosedBoxPrintNothing)
{
    MemoryPrinters::TearDown();
    use();  // no printer at all
    auto w = designer();
    EXPECT_EQ(print(*w, 2), "");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].caption, "ＣＤラベル印刷");
    EXPECT_EQ(asked[0].text, "　　プリンターが登録されていません！！");
    EXPECT_EQ(asked[0].buttons, "Y");
    EXPECT_EQ(asked[0].icon, "i");

    printers(600);
    asked.clear();
    confirm = false;  // the print dialog cancelled
    EXPECT_EQ(print(*w, 1), "");
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(shownCopies, 1);
    EXPECT_EQ(shownPrinter, "Disc Writer");
    reply = 2;  // the question closed without an answer
    EXPECT_EQ(print(*w, 1), "");
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(current().Jobs().empty());
    EXPECT_FALSE(print::Printer().Printing());
}

TEST_F(Printing, TheDialogsPrinterAndCopiesAreTakenOverAndAFileChosenThereIsWritten)
{
    printers(600, {"Disc Writer", "Office"});
    titles(2);
    auto w = designer();
    choose = [](print::PrintDialogChoice& c) {
        c.printer = "Office";
        c.copies = 3;
    };
    ASSERT_NE(print(*w, 2), "");
    EXPECT_EQ(current().Jobs().back().options.printer, "Office");
    EXPECT_EQ(current().Jobs().back().options.copies, 3);
    EXPECT_EQ(print::Printer().Copies(), 1) << "the copies were that page's";

    const std::string file = music.file("label.pdf");
    choose = [&](print::PrintDialogChoice& c) { c.pdfFile = file; };
    EXPECT_EQ(print(*w, 2), "") << "the file instead of a job";
    EXPECT_NEAR(rendered(file).width(), 4960, 2) << "an A4 page at 600 dpi";
    choose = nullptr;
    EXPECT_NE(print(*w, 2), "") << "the next print goes to the printer again";
}

TEST_F(Printing, ThePrintButtonAppliesTheStoredPrinterTrayPaperAndOrientation)
{
    printers(600, {"Disc Writer", "Office"});
    IniWriteStrings(IniBase, "CD_LABEL", {{"PRINTER_NAME", "Office"}, {"PRINTER_INDEX", "0"}, {"BINS_INDEX", "1"},
                                          {"PAPER_INDEX", "1"}, {"Orientation_INDEX", "1"}});
    titles(2);
    auto w = designer();
    ASSERT_NE(print(*w, 2), "");
    const print::PrintJob& job = current().Jobs().back().options;
    EXPECT_EQ(job.printer, "Office");
    EXPECT_EQ(job.bin, "disc");
    EXPECT_EQ(job.paper.code, 13);
    EXPECT_TRUE(job.landscape);
}

// ---------------------------------------------------------------- queues as they come

TEST_F(Printing, PrintersAddedOrRemovedWhileTheProgramRunsAreSeenWhenAsked)
{
    MemoryPrinters::TearDown();
    use();
    titles(2);
    auto w = designer();
    EXPECT_EQ(GetPrinterCount(), 0);
    current().AddPrinter(discPrinter("Late", 600));
    ASSERT_NE(print(*w, 1), "") << "a printer added after the designer opened";
    EXPECT_EQ(current().Jobs().back().options.printer, "Late");

    // One added while the question is open is there to choose in the print dialog.
    w->MsgBox = [this](QWidget*, const std::string&, const std::string& t, int, const std::string&,
                       const std::string&) {
        asked.push_back({"", t, "", ""});
        current().AddPrinter(discPrinter("Later", 600));
        return 6;
    };
    choose = [](print::PrintDialogChoice& c) { c.printer = "Later"; };
    ASSERT_NE(print(*w, 2), "");
    EXPECT_EQ(current().Jobs().back().options.printer, "Later");

    // A printer removed is no longer named.
    current().RemovePrinter("Later");
    choose = nullptr;
    reply = 7;
    w->MsgBox = [this](QWidget*, const std::string&, const std::string& t, int, const std::string&,
                       const std::string&) {
        asked.push_back({"", t, "", ""});
        return reply;
    };
    print(*w, 1);
    EXPECT_NE(asked.back().text.find(" プリンター : Late\r"), std::string::npos) << asked.back().text;
}

TEST_F(Printing, AQueueRefusingJobsIsReportedInJapaneseThroughTheDefaultHandler)
{
    printers(600);
    titles(2);
    auto w = designer();
    current().RefuseJobs("Disc Writer", "紙詰まり");
    std::vector<std::string> reports;
    forms::SetExceptionReporter([&](const std::string& m) { reports.push_back(m); });
    w->pgeCD->setCurrentIndex(1);
    QTest::mouseClick(w->spdOK, Qt::LeftButton, {}, QPoint(5, 5));
    forms::SetExceptionReporter(nullptr);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "プリンター「Disc Writer」は印刷を受け付けていません。\r\r理由 : 紙詰まり");
    EXPECT_FALSE(print::Printer().Printing());
    EXPECT_TRUE(current().Jobs().empty());
}

// ---------------------------------------------------------------- the frame on the paper

// The dotted cutting line whole on the page: its ink 2835 dots a side from (left, top), and
// dots along every side.
void expectWholeFrame(const QImage& page, int left, int top)
{
    const QRect ink = inkBox(page);
    EXPECT_NEAR(ink.left(), left, 1);
    EXPECT_NEAR(ink.top(), top, 1);
    EXPECT_NEAR(ink.width(), 2835, 1);
    EXPECT_NEAR(ink.height(), 2835, 1);
    auto dots = [&](QPoint from, QPoint step) {
        int n = 0;
        for (int i = 0; i < 2835; ++i)
            n += grey(page, from.x() + i * step.x(), from.y() + i * step.y()) < 200;
        return n;
    };
    EXPECT_GT(dots(ink.topLeft(), {1, 0}), 700) << "top";
    EXPECT_GT(dots(ink.bottomLeft(), {1, 0}), 700) << "bottom";
    EXPECT_GT(dots(ink.topLeft(), {0, 1}), 700) << "left";
    EXPECT_GT(dots(ink.topRight(), {0, 1}), 700) << "right";
}

// The queue whose papers are all borderless, an envelope listed first, its default named
// without the variant; and one with margins whose left and top offsets round up to the tenth
// of a millimetre (3.46 mm is 82 dots, 3.5 mm) and whose printable sizes end past a half
// millimetre (203.71 mm and 288.72 mm).
print::PrinterInfo zeroMarginQueue()
{
    print::PrinterInfo p;
    p.name = "cups-pdf";
    p.dpi = 600;
    print::DescribeCupsPapers({{"na_monarch_3.875x7.5in_borderless", "", 9843, 19050},
                               {"na_letter_8.5x11in_borderless", "", 21590, 27940},
                               {"iso_a4_210x297mm_borderless", "", 21000, 29700}},
                              "iso_a4_210x297mm", nullptr, p);
    return p;
}

TEST_F(Printing, JacketAndLabelComeOutA4WithTheFrameWholeOnEitherQueue)
{
    MemoryPrinters::TearDown();
    print::PrinterInfo margins = discPrinter("Margins", 600);
    margins.margins = {3.46, 4.26, 2.8, 4.0};
    system().AddPrinter(zeroMarginQueue(), true);
    system().AddPrinter(margins);
    use();
    titles(3);
    auto w = designer();
    ASSERT_TRUE(w->LoadPhoto(2, photo("red.bmp", 300, 300, "red")));
    w->do_CDSizeFitClick();

    // The zero-margin queue at the stored origins.
    EXPECT_EQ(GetPaperDisplayName(), "A4 Borderless");
    for (int page : {1, 2}) {
        const std::string pdf = print(*w, page);
        ASSERT_FALSE(pdf.empty());
        EXPECT_EQ(pdfPageSize(pdf).name, "A4") << page;
        const QImage image = rendered(pdf);
        if (page == 1) {
            expectWholeFrame(image, 236, 236);
        } else {
            const QRect ink = inkBox(image);
            EXPECT_NEAR(ink.left(), 130 + 33, 1);
            EXPECT_NEAR(ink.width(), 2764, 2);
            EXPECT_NEAR(ink.height(), 2764, 2);
        }
    }

    // The queue with margins at the position dialog's largest X and Y.
    SetPrinterIndex(1);
    int ox = 0, oy = 0, pw = 0, ph = 0;
    GetPrinterOffsetTenthMm(ox, oy);
    EXPECT_EQ(ox, 35) << "3.47 mm up to 3.5";
    EXPECT_EQ(oy, 43) << "4.28 mm up to 4.3";
    GetPrintableSizeTenthMm(pw, ph);
    EXPECT_EQ(pw, 2030);
    EXPECT_EQ(ph, 2880);
    for (bool label : {false, true}) {
        TfrmCD_Pos d;
        d.MsgBox = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                      const std::string&) { return 6; };
        d.Tag = label ? 1 : 0;
        d.show();
        QCoreApplication::processEvents();
        d.spnX->SetValue(d.RangeX().Max);
        d.spnY->SetValue(d.RangeY().Max);
        EXPECT_DOUBLE_EQ(d.RangeX().Max, 203 - 120 + 3.5);
        EXPECT_DOUBLE_EQ(d.RangeY().Max, 288 - 120 + 4.3);
        d.spdOKClick();
    }
    const std::string jacket = print(*w, 1), label = print(*w, 2);
    ASSERT_FALSE(jacket.empty());
    ASSERT_FALSE(label.empty());
    EXPECT_EQ(pdfPageSize(jacket).name, "A4");
    // The square's corner: the origin less the rounded offset, after the printer's own offset.
    const int left = 82 + MmToDeviceX(203 - 120), top = 101 + MmToDeviceY(288 - 120);
    expectWholeFrame(rendered(jacket), left, top);
    const QRect disc = inkBox(rendered(label));
    EXPECT_NEAR(disc.left(), left + 33, 1);
    EXPECT_NEAR(disc.top(), top + 33, 1);
    EXPECT_NEAR(disc.width(), 2764, 2);
    EXPECT_NEAR(disc.height(), 2764, 2);
}

// The label bitmap reaches the PDF without loss: not JPEG, and its grey hub guide stays the
// one grey on white.
TEST_F(Printing, TheLabelIsHandedOverLosslessly)
{
    printers(600);
    auto w = designer();
    const std::string pdf = print(*w, 2);
    ASSERT_FALSE(pdf.empty());
    const CommandResult list = runCommand("pdfimages", {"-list", pdf});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    int images = 0;
    std::istringstream lines(list.out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string x; fields >> x;)
            f.push_back(x);
        if (f.size() < 9 || f[2] != "image")
            continue;
        ++images;
        EXPECT_NE(f[8], "jpeg") << line;
        EXPECT_NE(f[8], "jpx") << line;
    }
    EXPECT_EQ(images, 1);

    // The picture as the PDF holds it: around the hub's edge only white and the guide's grey.
    const std::string stem = music.file("label-image");
    ASSERT_EQ(runCommand("pdfimages", {"-png", pdf, stem}).exitCode, 0);
    const QImage label(QString::fromStdString(stem + "-000.png"));
    ASSERT_EQ(label.width(), 2835);
    const int centre = 2835 / 2, hubLeft = cdlabel::ScaleLength(197, 2835 / 600.0);
    int guide = 0;
    for (int y = centre - 60; y <= centre + 60; ++y)
        for (int x = hubLeft - 20; x <= hubLeft + 20; ++x) {
            const QRgb c = label.pixel(x, y);
            guide += c == qRgb(128, 128, 128);
            ASSERT_TRUE(c == qRgb(255, 255, 255) || c == qRgb(128, 128, 128))
                << x << "," << y << ": " << std::hex << c;
        }
    EXPECT_GT(guide, 20) << "the dotted guide";
}

// Tried as a new user would: both pages as a printer gets them, kept as
// build/labels-look/jacket.png and label.png.
TEST_F(Printing, BothPagesAreKeptToLookAt)
{
    printers(600);
    photo("cover.jpg", 640, 480, "darkcyan");
    song("a.mp3", "海の朝", "Quartet", "Harbour Lights", "cover.jpg");
    song("b.mp3", "Noon Tide", "Quartet", "Harbour Lights");
    song("c.mp3", "Evening Bells", "Quartet", "Harbour Lights");
    song("d.mp3", "夜の港", "Quartet", "Harbour Lights");
    auto w = designer();
    // The label's photo over the whole disc, so that the disc's shape shows.
    const std::string disc = music.file("disc.jpg");
    ASSERT_EQ(runCommand("convert", {"-size", "600x600", "gradient:skyblue-navy", disc}).exitCode, 0);
    ASSERT_TRUE(w->LoadPhoto(2, disc));
    w->do_CDSizeFitClick();
    const std::string dir = lookFolder();
    for (int page : {1, 2}) {
        const QImage printed = rendered(print(*w, page));
        ASSERT_FALSE(printed.isNull());
        EXPECT_TRUE(printed.save(QString::fromStdString(dir + (page == 1 ? "/jacket.png" : "/label.png"))));
    }
}

}  // namespace
