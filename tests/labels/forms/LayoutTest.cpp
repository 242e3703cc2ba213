// The designer's measures apart from its window: photo cover boxes, font style texts, track
// numbers, the label's first-column cut and the one track list routine on screen and paper.

#include "labels/forms/CDLayout.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace cdlabel;

namespace {

std::vector<std::string> rows(int n)
{
    std::vector<std::string> r;
    for (int i = 1; i <= n; ++i)
        r.push_back("Track title " + std::to_string(i));
    return r;
}

TTrackListSpec jacketSpec(int points, int top)
{
    TTrackListSpec s;
    s.Font.SetName("ＭＳ Ｐゴシック");
    s.Font.SetSize(points);
    s.Top = top;
    return s;
}

}  // namespace

TEST(CDLayout, CoverBoxesFillThePageOnThePicturesShorterSide)
{
    EXPECT_EQ(CoverPage(800, 600, 600), (gfx::TRect{-100, 0, 700, 600}));
    EXPECT_EQ(CoverPage(300, 900, 600), (gfx::TRect{0, -600, 600, 1200}));
    EXPECT_EQ(CoverPage(50, 50, 600), (gfx::TRect{0, 0, 600, 600}));
    // No picture: the page, never a division by a zero side.
    EXPECT_EQ(CoverPage(0, 40, 600), (gfx::TRect{0, 0, 600, 600}));
}

TEST(CDLayout, FontStyleTextsAndTrackNumbers)
{
    EXPECT_EQ(FontStyleText(gfx::fsItalic | gfx::fsStrikeOut), "0101");
    EXPECT_EQ(FontStyleFromText("0101"), gfx::fsItalic | gfx::fsStrikeOut);
    EXPECT_EQ(FontStyleFromText("1111"), gfx::fsBold | gfx::fsItalic | gfx::fsUnderline | gfx::fsStrikeOut);
    // Short texts: missing flags are "0".
    EXPECT_EQ(FontStyleFromText("1"), gfx::fsBold);
    EXPECT_EQ(FontStyleFromText(""), 0);

    EXPECT_EQ(TrackNumberText(1), " 1");
    EXPECT_EQ(TrackNumberText(42), "42");
    // A three-digit number stays whole rather than losing its first digit.
    EXPECT_EQ(TrackNumberText(100), "100");
}

TEST(CDLayout, TheFirstColumnIsCutAtTheRoundedMiddle)
{
    EXPECT_EQ(FirstColumnCut({5, 2}), 4);      // 3.5
    EXPECT_EQ(FirstColumnCut({7, 2, 1}), 4);   // 4.5: halves to even
    EXPECT_EQ(FirstColumnCut({8, 3}), 6);      // 5.5
    EXPECT_EQ(FirstColumnCut({3, 3}), 0);      // not more than the second
    EXPECT_EQ(FirstColumnCut({9}), 0);         // one column
    EXPECT_EQ(FirstColumnCut({}), 0);
}

TEST(CDLayout, ThePrintedJacketListEndsAtTheScreensRow)
{
    gfx::TCanvas screen;
    for (int points : {11, 20})
        for (int top : {120, 300}) {
            const TTrackListSpec spec = jacketSpec(points, top);
            const TTrackListResult onScreen = LayTrackList(screen, false, 0, 0, rows(40), spec, 1.0);
            const double scale = 600.0 / 127.0;   // 600 dpi: 5 preview pixels to the millimetre
            QImage page(int(600 * scale), int(600 * scale), QImage::Format_RGB32);
            page.fill(Qt::white);
            gfx::TCanvas paper(&page);
            const TTrackListResult printed =
                LayTrackList(paper, true, int(30 * scale), int(top * scale), rows(40), spec, scale);
            EXPECT_EQ(printed.Rows, onScreen.Rows) << points << " pt at " << top;
            EXPECT_LT(onScreen.Rows, 40);
            EXPECT_NEAR(printed.Height / scale, onScreen.Height, 0.06 * onScreen.Height) << points;
            // Ink lands inside the box the routine reports.
            bool inkBelow = false;
            for (int x = 0; x < page.width(); x += 3)
                for (int y = int(top * scale) + printed.Height + 4; y < page.height(); y += 2)
                    inkBelow = inkBelow || page.pixel(x, y) != qRgb(255, 255, 255);
            EXPECT_FALSE(inkBelow) << points;
        }
}

TEST(CDLayout, LabelColumnsFlowAndStopAtTheBoxWidth)
{
    TTrackListSpec spec;
    spec.Label = true;
    spec.Font.SetSize(8);
    spec.Width = 351;
    spec.Height = 136;
    gfx::TCanvas c;
    const TTrackListResult r = LayTrackList(c, false, 0, 0, rows(200), spec, 1.0);
    ASSERT_GE(r.ColumnRows.size(), 2u);
    EXPECT_LT(r.Rows, 200);
    // Every column as tall as the first, but the last.
    for (size_t i = 1; i + 1 < r.ColumnRows.size(); ++i)
        EXPECT_EQ(r.ColumnRows[i], r.ColumnRows[0]);
    EXPECT_LE(r.Height, 136 + 2);
    // One more column would have started beyond the width: the used width reaches past it.
    EXPECT_GT(r.Width, 351 - 120);

    // A first-column cut moves rows to the second column.
    spec.FirstColumnRows = 3;
    const TTrackListResult cut = LayTrackList(c, false, 0, 0, rows(12), spec, 1.0);
    ASSERT_GE(cut.ColumnRows.size(), 2u);
    EXPECT_EQ(cut.ColumnRows[0], 3);
    EXPECT_EQ(cut.Rows, 12);

    // Close spacing packs more rows into a column.
    spec.FirstColumnRows = 0;
    spec.CloseSpacing = true;
    const TTrackListResult close = LayTrackList(c, false, 0, 0, rows(200), spec, 1.0);
    EXPECT_GT(close.ColumnRows[0], r.ColumnRows[0]);
}

TEST(CDLayout, APrintTakesTheScreensColumnsWhateverItsScale)
{
    TTrackListSpec spec;
    spec.Label = true;
    spec.Font.SetSize(8);
    spec.Width = 351;
    spec.Height = 136;
    spec.FirstColumnRows = 7;
    gfx::TCanvas c;
    const TTrackListResult screen = LayTrackList(c, false, 0, 0, rows(30), spec, 1.0);
    ASSERT_GE(screen.ColumnRows.size(), 2u);
    spec.Columns = screen.ColumnRows;
    for (double scale : {2835 / 600.0, 5670 / 600.0}) {
        const TTrackListResult paper = LayTrackList(c, false, 0, 0, rows(30), spec, scale);
        EXPECT_EQ(paper.ColumnRows, screen.ColumnRows) << scale;
        EXPECT_EQ(paper.Rows, screen.Rows);
    }
    // Rows past the given columns are left out, however much room the box has.
    spec.Columns = {3, 2};
    spec.Height = 600;
    spec.Width = 600;
    EXPECT_EQ(LayTrackList(c, false, 0, 0, rows(30), spec, 1.0).ColumnRows, (std::vector<int>{3, 2}));
    TTrackListSpec jacket = jacketSpec(11, 100);
    jacket.Columns = {4};
    EXPECT_EQ(LayTrackList(c, false, 0, 0, rows(30), jacket, 1.0).Rows, 4);
    jacket.Columns = {0};
    EXPECT_EQ(LayTrackList(c, false, 0, 0, rows(30), jacket, 1.0).Rows, 0);
}

// The whitening outside the disc against the drawing it stands for: the outline in grey
// (200, 200, 200), a white flood fill from the four corners bounded by that grey, the outline
// again in white.
TEST(CDLayout, OutsideTheDiscTurnsWhiteAsTheOutlineAndCornerFillsWouldLeaveIt)
{
    const int side = 300;
    const gfx::TRect outer{4, 4, 296, 296};
    auto picture = [&](gfx::TColor middle) {
        auto b = std::make_unique<gfx::TBitmap>(side, side, gfx::pf32bit);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                b->Canvas().SetPixel(x, y, gfx::TColor((x * 7 + y * 13) % 180) * 0x010101 + 0x000040);
        b->Canvas().Brush().SetColor(middle);
        b->Canvas().FillRect({0, 140, side, 160});  // a band across the disc and the corners' sides
        return b;
    };
    auto byFlood = [&](gfx::TBitmap& b) {
        gfx::TCanvas& c = b.Canvas();
        c.Pen().SetColor(0xC8C8C8);
        c.Brush().SetStyle(gfx::bsClear);
        c.Ellipse(outer);
        c.Brush().SetStyle(gfx::bsSolid);
        c.Brush().SetColor(gfx::clWhite);
        for (QPoint p : {QPoint(0, 0), QPoint(side - 1, 0), QPoint(0, side - 1), QPoint(side - 1, side - 1)})
            c.FloodFill(p.x(), p.y(), 0xC8C8C8, gfx::fsBorder);
        c.Pen().SetColor(gfx::clWhite);
        c.Brush().SetStyle(gfx::bsClear);
        c.Ellipse(outer);
    };
    auto whiteOutside = [&](gfx::TBitmap& b) {
        int ink = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const double dx = x + 0.5 - 150, dy = y + 0.5 - 150;
                if (dx * dx + dy * dy > 148.0 * 148.0 && b.Canvas().Pixels(x, y) != gfx::clWhite)
                    ++ink;
            }
        return ink;
    };

    // An ordinary picture: the same pixels either way.
    auto flood = picture(0x3060A0), region = picture(0x3060A0);
    byFlood(*flood);
    WhitenOutsideDisc(region->Canvas(), outer, side);
    int differ = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            differ += flood->Canvas().Pixels(x, y) != region->Canvas().Pixels(x, y);
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(whiteOutside(*region), 0);
    EXPECT_NE(region->Canvas().Pixels(150, 150), gfx::clWhite) << "the disc keeps its picture";

    // A band of the outline's own grey stops the fill; the region does not stop.
    auto greyFlood = picture(0xC8C8C8), greyRegion = picture(0xC8C8C8);
    byFlood(*greyFlood);
    WhitenOutsideDisc(greyRegion->Canvas(), outer, side);
    EXPECT_GT(whiteOutside(*greyFlood), 0);
    EXPECT_EQ(whiteOutside(*greyRegion), 0);
}
