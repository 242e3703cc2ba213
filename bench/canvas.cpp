// Drawing speed of the canvas on a visual area's size (300 x 200): one visual-mode-like
// frame (clear, shapes, lines, a stretched picture, text) and its parts. A display tick
// paints two such areas every 63 ms.
#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/rtl/Numerics.h"

using namespace gfx;

namespace {

struct Area {
    QImage image{300, 200, QImage::Format_RGB32};
    TCanvas canvas{&image};
};

void BM_Clear(benchmark::State& state)
{
    Area a;
    a.canvas.Brush().SetColor(clBlack);
    for (auto _ : state)
        a.canvas.FillRect(Rect(0, 0, 300, 200));
}
BENCHMARK(BM_Clear);

void BM_Ellipses(benchmark::State& state)
{
    Area a;
    rtl::RandSeed = 1;
    for (auto _ : state)
        for (int i = 0; i < 100; ++i) {
            const int x = rtl::Random(280), y = rtl::Random(180);
            a.canvas.Brush().SetColor(RGB(rtl::Random(256), 0, 255));
            a.canvas.Ellipse(x, y, x + 20, y + 20);
        }
}
BENCHMARK(BM_Ellipses);

void BM_Lines(benchmark::State& state)
{
    Area a;
    a.canvas.Pen().SetColor(clLime);
    rtl::RandSeed = 1;
    for (auto _ : state)
        for (int i = 0; i < 300; ++i)
            a.canvas.LineTo(rtl::Random(300), rtl::Random(200));
}
BENCHMARK(BM_Lines);

void BM_XorPolygon(benchmark::State& state)
{
    Area a;
    a.canvas.Pen().SetMode(pmXor);
    a.canvas.Pen().SetColor(clWhite);
    const TPoint star[] = {{150, 5}, {240, 190}, {10, 70}, {290, 70}, {60, 190}};
    for (auto _ : state)
        a.canvas.Polygon(star);
}
BENCHMARK(BM_XorPolygon);

void BM_StretchDraw(benchmark::State& state)
{
    Area a;
    TBitmap pic(128, 128, pf24bit);
    for (auto _ : state)
        a.canvas.StretchDraw(Rect(0, 0, 300, 200), pic);
}
BENCHMARK(BM_StretchDraw);

void BM_TextOut(benchmark::State& state)
{
    Area a;
    a.canvas.Brush().SetStyle(bsClear);
    a.canvas.Font().SetColor(clWhite);
    for (auto _ : state)
        a.canvas.TextOut(10, 10, "宇宙人との交信 Track 01");
}
BENCHMARK(BM_TextOut);

}  // namespace

int main(int argc, char** argv) { return benchsupport::runOffscreen<QGuiApplication>(argc, argv); }
