// Turned text: at angle 0 it is the canvas's own text output, at 90 degrees its ink stands
// in the column right of the cell's corner and above it, and only a brush that is neither
// white nor the kept colour leaves a box. Measuring: Shift-JIS codes of a text's ends, and
// overhangs that match the ink an italic text really leaves outside its cells.
#include "labels/libText.h"

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/rtl/Numerics.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>

namespace {

constexpr gfx::TColor Paper = 0x202020, Ink = 0x00FFFF;

void prepare(gfx::TBitmap& B)
{
    B.Canvas().Brush().SetColor(Paper);
    B.Canvas().FillRect({0, 0, B.Width(), B.Height()});
    B.Canvas().Font().SetName("Arial");
    B.Canvas().Font().SetSize(14);
    B.Canvas().Font().SetColor(Ink);
}

// The bounds of the pixels that differ from the paper; empty when none do.
QRect inkBounds(gfx::TBitmap& B)
{
    QRect r;
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            if (B.Canvas().Pixels(x, y) != Paper)
                r |= QRect(x, y, 1, 1);
    return r;
}

}  // namespace

TEST(TextOutRotated, AngleZeroIsTheCanvasTextAndNinetyTurnsItUp)
{
    const std::string text = "Tambourelle";
    gfx::TBitmap plain(200, 200), turned(200, 200);
    prepare(plain);
    prepare(turned);
    plain.Canvas().Brush().SetStyle(gfx::bsClear);
    plain.Canvas().TextOut(20, 30, text);
    turned.Canvas().Brush().SetColor(gfx::clWhite);
    TextOutRotated(turned.Canvas(), 0, 20, 30, text, gfx::clWhite);
    EXPECT_EQ(plain.ToImage(), turned.ToImage());

    gfx::TBitmap up(200, 200);
    prepare(up);
    const int w = up.Canvas().TextWidth(text), h = up.Canvas().TextHeight(text);
    up.Canvas().Brush().SetColor(gfx::clWhite);
    TextOutRotated(up.Canvas(), 90, 60, 180, text, gfx::clWhite);
    const QRect ink = inkBounds(up);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_TRUE(QRect(60, 180 - w, h, w).contains(ink)) << ink.x() << "," << ink.y() << " " << ink.width() << "x" << ink.height();
    EXPECT_GT(ink.height(), ink.width()) << "the text runs upwards";
}

TEST(TextOutRotated, OnlyAnOtherBrushDrawsABox)
{
    struct Case {
        gfx::TColor brush, keep;
        bool box;
    };
    for (const Case c : {Case{gfx::clWhite, 0x0000FF, false}, Case{0x0000FF, 0x0000FF, false},
                         Case{0x0000FF, gfx::clWhite, true}}) {
        gfx::TBitmap b(200, 60);
        prepare(b);
        b.Canvas().Brush().SetColor(c.brush);
        TextOutRotated(b.Canvas(), 0, 10, 10, "ii", c.keep);
        // The cell's top-left corner lies outside every glyph's ink.
        EXPECT_EQ(b.Canvas().Pixels(10, 10) == c.brush, c.box) << std::hex << c.brush << " " << c.keep;
    }
}

namespace {

TEST(CharCodes, ShiftJisCodesOfTheFirstAndLastCharacters)
{
    EXPECT_EQ(FirstCharCode("あい"), 0x82A0);
    EXPECT_EQ(LastCharCode("あい"), 0x82A2);
    EXPECT_EQ(FirstCharCode(""), 0);
    EXPECT_EQ(LastCharCode(""), 0);
    EXPECT_EQ(FirstCharCode("Aｱ"), 0x41);
    EXPECT_EQ(LastCharCode("Aｱ"), 0xB1) << "half-width katakana is one byte";
    EXPECT_EQ(LastCharCode("x表"), 0x955C) << "a trail byte that is a backslash";
    EXPECT_EQ(LastCharCode("x한"), 0xD55C) << "Hangul has no Shift-JIS code: its code point";
}

// White paper, black ink: the columns holding ink.
std::pair<int, int> inkColumns(gfx::TBitmap& B)
{
    int first = -1, last = -1;
    for (int x = 0; x < B.Width(); ++x)
        for (int y = 0; y < B.Height(); ++y)
            if (B.Canvas().Pixels(x, y) != gfx::clWhite) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

TEST(Overhangs, InkPastTheCellsOfAnItalicTextIsMeasured)
{
    gfx::TBitmap probe(1, 1);
    probe.Canvas().Font().SetName("Times New Roman");
    if (!QFontInfo(probe.Canvas().Font().toQFont()).family().startsWith("Nimbus Roman"))
        GTEST_SKIP() << "Nimbus Roman is not installed (fonts-urw-base35)";

    // 12 points on the screen, and at 600 dpi as on a printer's canvas. "fof" holds no
    // ligature, so its ends are the glyphs of "f".
    for (int height : {-16, -rtl::MulDiv(12, 600, 72)}) {
        struct Case {
            const char* text;
            gfx::TFontStyles style;
            bool leans;
        };
        for (const Case c : {Case{"fof", gfx::fsItalic, true}, Case{"ABC", 0, false}}) {
            const int x = -height * 2;
            // 32 bits a pixel, as the label bitmap: text on other formats is cut at its cells.
            gfx::TBitmap b(-height * 10, -height * 2, gfx::pf32bit);
            gfx::TCanvas& cv = b.Canvas();
            cv.Brush().SetColor(gfx::clWhite);
            cv.FillRect({0, 0, b.Width(), b.Height()});
            cv.Brush().SetStyle(gfx::bsClear);
            cv.Font().SetName("Times New Roman");
            cv.Font().SetHeight(height);
            cv.Font().SetStyle(c.style);
            cv.Font().SetColor(gfx::clBlack);
            cv.TextOut(x, 0, c.text);

            const auto ink = inkColumns(b);
            ASSERT_GE(ink.first, 0) << c.text;
            const int left = std::max(0, x - ink.first);
            const int right = std::max(0, ink.second + 1 - (x + cv.TextWidth(c.text)));
            const int leading = LeadingOverhang(cv, c.text), trailing = TrailingOverhang(cv, c.text);
            EXPECT_NEAR(leading, left, 1) << c.text << " at " << height;
            EXPECT_NEAR(trailing, right, 1) << c.text << " at " << height;
            EXPECT_EQ(trailing > 0, c.leans) << c.text << " at " << height;
            EXPECT_EQ(ExactTextWidth(cv, c.text), cv.TextWidth(c.text) + leading + trailing);
            EXPECT_EQ(LeadingOverhang(cv, "") + TrailingOverhang(cv, "") + ExactTextWidth(cv, ""), 0);
        }
    }
}

}  // namespace
