// Pages as a printer receives them: the PDF of a job rendered by poppler at 600 dpi, with the
// label square placed as the label printing places it (its origin in millimetres less the
// printer's offsets, through MmToDevice), at page resolutions 300, 600 and 1200.
#include "labels/libPrinter.h"

#include "labels/MemoryPrinters.h"
#include "platform/gfx/Canvas.h"
#include "support/PdfPages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

using labeltest::discPrinter;

constexpr int kRenderDpi = 600;

class PrintedPage : public labeltest::MemoryPrinters {
protected:
    void SetUp() override
    {
        MemoryPrinters::SetUp();
        if (!testsupport::havePdfTools())
            GTEST_SKIP() << "pdftoppm/pdfinfo are not installed";
    }
    // Prints a 120 mm square framed with a 0.2 mm pen, its corner `mm` from the paper's
    // corner, and gives the job's PDF.
    std::string printSquare(double mm, const std::function<void(gfx::TCanvas&)>& more = {})
    {
        int ox = 0, oy = 0;
        GetPrinterOffsetTenthMm(ox, oy);
        const int x = MmToDeviceX(mm - ox / 10.0), y = MmToDeviceY(mm - oy / 10.0);
        const int side = MmToDeviceX(120);
        print::Printer().SetTitle("square");
        print::Printer().BeginDoc();
        gfx::TCanvas& c = print::Printer().Canvas();
        c.Brush().SetStyle(gfx::bsClear);
        c.Pen().SetWidth(std::max(1, MmToDeviceX(0.2)));
        c.Rectangle(x, y, x + side, y + side);
        if (more)
            more(c);
        print::Printer().EndDoc();
        return current().Jobs().back().pdfPath;
    }
};

// Within a point, as PDF page sizes are whole points.
void expectPaper(const std::string& pdf, double widthMm, double heightMm, const std::string& name)
{
    const testsupport::PdfPageSize size = testsupport::pdfPageSize(pdf);
    EXPECT_NEAR(size.width, widthMm * 72 / 25.4, 1);
    EXPECT_NEAR(size.height, heightMm * 72 / 25.4, 1);
    EXPECT_EQ(size.name, name);
}

// The first and last dark pixels along a row (or a column) of the page.
std::pair<int, int> inkAlong(const QImage& page, int line, bool row)
{
    const int n = row ? page.width() : page.height();
    int first = -1, last = -1;
    for (int i = 0; i < n; ++i) {
        const int v = qGray(row ? page.pixel(i, line) : page.pixel(line, i));
        if (v < 128) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    return {first, last};
}

TEST_F(PrintedPage, TheSquareLandsTenMillimetresFromThePapersCornerAtEveryResolution)
{
    for (int dpi : {300, 600, 1200}) {
        labeltest::MemoryPrinters::TearDown();
        system().AddPrinter(discPrinter("P" + std::to_string(dpi), dpi));
        use();
        const std::string pdf = printSquare(10);
        expectPaper(pdf, 210, 297, "A4");
        const QImage page = testsupport::renderPdfPage(pdf, kRenderDpi);
        ASSERT_FALSE(page.isNull());
        // The offsets come in tenths of a millimetre, as the label printing reads them, so
        // the square may land a dot away: at 300 dpi a dot is two pixels here.
        const int dot = std::max(1, kRenderDpi / dpi);
        const int middle = 236 + 2835 / 2;
        const auto across = inkAlong(page, middle, true), down = inkAlong(page, middle, false);
        EXPECT_NEAR(across.first, 236, dot) << dpi << " dpi";
        EXPECT_NEAR(down.first, 236, dot) << dpi << " dpi";
        EXPECT_NEAR(across.second - across.first + 1, 2835, 1) << dpi << " dpi";
        EXPECT_NEAR(down.second - down.first + 1, 2835, 1) << dpi << " dpi";
    }
}

TEST_F(PrintedPage, LandscapeTurnsThePaperAndTheJobKeepsItsTrayAndCopies)
{
    system().AddPrinter(discPrinter("Disc Writer", 600));
    use();
    SetLandscape(true);
    SetBinIndex(1);
    SetPaperByName("B5");
    print::Printer().SetCopies(2);
    const std::string pdf = printSquare(20);
    print::Printer().SetCopies(1);
    expectPaper(pdf, 257, 182, "");
    const QImage page = testsupport::renderPdfPage(pdf, kRenderDpi);
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(page.width(), page.height());
    const int corner = MmToDeviceX(20);
    const auto across = inkAlong(page, corner + 100, true), down = inkAlong(page, corner + 100, false);
    EXPECT_NEAR(across.first, corner, 1);
    EXPECT_NEAR(down.first, corner, 1);

    ASSERT_EQ(current().Jobs().size(), 1u);
    const print::PrintJob& job = current().Jobs()[0].options;
    EXPECT_EQ(job.printer, "Disc Writer");
    EXPECT_EQ(job.bin, "disc");
    EXPECT_EQ(job.copies, 2);
    EXPECT_EQ(job.paper.code, 13);
    EXPECT_TRUE(job.landscape);
    EXPECT_EQ(job.title, "square");

    print::Printer().BeginDoc();
    print::Printer().Abort();
    EXPECT_EQ(current().Jobs().size(), 1u) << "an aborted page is not sent";
}

// Tried as a new user would: a calibration page to hold a ruler against. A 120 mm square
// 10 mm from the paper's corner, with millimetre ticks along its top and left edges (longer
// every 5 and 10 mm, numbered every 10), kept as build/labels-look/calibration.pdf and .png.
TEST_F(PrintedPage, CalibrationPageWithMillimetreTicks)
{
    system().AddPrinter(discPrinter("Calibration", 600));
    use();
    int ox = 0, oy = 0;
    GetPrinterOffsetTenthMm(ox, oy);
    const std::string pdf = printSquare(10, [&](gfx::TCanvas& c) {
        c.Font().SetName("Arial");
        c.Font().SetHeight(-MmToDeviceY(2.5));
        c.Font().SetColor(gfx::clBlack);
        for (int mm = 0; mm <= 120; ++mm) {
            const double len = mm % 10 == 0 ? 4 : mm % 5 == 0 ? 2.5 : 1.5;
            const int x = MmToDeviceX(10 + mm - ox / 10.0), y = MmToDeviceY(10 + mm - oy / 10.0);
            const int top = MmToDeviceY(10 - oy / 10.0), left = MmToDeviceX(10 - ox / 10.0);
            c.Pen().SetWidth(MmToDeviceX(0.1));
            c.MoveTo(x, top);
            c.LineTo(x, top + MmToDeviceY(len));
            c.MoveTo(left, y);
            c.LineTo(left + MmToDeviceX(len), y);
            if (mm % 10 == 0 && mm > 0) {
                c.TextOut(x - c.TextWidth(std::to_string(mm)) / 2, top + MmToDeviceY(4.5), std::to_string(mm));
                c.TextOut(left + MmToDeviceX(4.5), y - c.TextHeight("0") / 2, std::to_string(mm));
            }
        }
    });
    const QString dir = QCoreApplication::applicationDirPath() + "/../labels-look";
    QDir().mkpath(dir);
    QFile::remove(dir + "/calibration.pdf");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(pdf), dir + "/calibration.pdf"));
    const QImage page = testsupport::renderPdfPage(pdf, kRenderDpi);
    ASSERT_FALSE(page.isNull());
    EXPECT_TRUE(page.save(dir + "/calibration.png"));

    // The tick of 60 mm stands 60 mm right of the square's left edge.
    const int tick = 236 + MmToDeviceX(60);
    const auto ink = inkAlong(page, tick, false);
    EXPECT_NEAR(ink.first, 236, 1) << "the tick meets the top edge";
    const int row = 236 + MmToDeviceY(3);  // within the 4 mm tick, below the 1.5 mm ones
    const auto across = inkAlong(page.copy(tick - 12, row, 25, 1), 0, true);
    EXPECT_NEAR(across.first, 12, 1) << "0.1 mm wide, alone in its millimetre";
    EXPECT_NEAR(across.second, 13, 1);
}

}  // namespace
