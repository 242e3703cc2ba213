// Turned text: at angle 0 it is the canvas's own text output, at 90 degrees its ink stands
// in the column right of the cell's corner and above it, and only a brush that is neither
// white nor the kept colour leaves a box.
#include "labels/libText.h"

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"

#include <gtest/gtest.h>

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
