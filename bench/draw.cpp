// One display frame on a visual pane (250 x 68) and on the lyrics pane (754 x 227), at 16 and
// 32 bits: the drawing surface filled black, one line of text, the canvas released and the
// surface presented onto the primary through a clipper (the windowed flip). The anchor is
// QPainter::drawImage of an image of the same size and format onto a screen-sized image.
// BM_Fill, BM_TextRelease and BM_Flip time the frame's parts alone; BM_Flip is the one to set
// beside the anchor. Read the median over the 5 repetitions beside its _min/_max; goals: a
// frame under 0.1 ms on a pane and 1 ms on the lyrics pane, the present within 2x of the
// anchor.
#include <benchmark/benchmark.h>

#include <algorithm>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "platform/draw/Draw.h"
#include "visual/DXClass.h"

using namespace visual;

namespace {

constexpr int DesktopW = 1280, DesktopH = 800, At = 100;

void Stats(benchmark::internal::Benchmark* b)
{
    b->Args({16, 250, 68})->Args({32, 250, 68})->Args({16, 754, 227})->Args({32, 754, 227});
    b->Repetitions(5)->ReportAggregatesOnly(true);
    b->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
    b->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });
    b->ArgNames({"bits", "w", "h"});
}

// part: 0 the whole frame, 1 the fill alone, 2 the text and release alone, 3 the present alone.
void Frame(benchmark::State& state, int part)
{
    const int bits = int(state.range(0)), w = int(state.range(1)), h = int(state.range(2));
    draw::SetCurrentBackend(draw::DrawBackend::Memory(uint32_t(bits), DesktopW, DesktopH));
    {
        TDirectDraw dd(nullptr);
        TDirectDrawSurface primary(dd);
        draw::DrawSurfaceDesc desc;
        desc.dwSize = 108;
        desc.dwFlags = draw::DDSD_CAPS;
        desc.dwCaps = draw::DDSCAPS_PRIMARYSURFACE;
        primary.CreateSurface(desc);
        TDirectDrawClipper clipper(dd);
        clipper.SetClipRectangles({gfx::Bounds(At, At, w, h)});
        primary.SetClipper(&clipper);
        TDirectDrawSurface surface(dd);
        surface.SetSize(w, h);
        surface.Canvas().Brush().SetStyle(gfx::bsClear);
        surface.Canvas().Font().SetColor(gfx::clWhite);
        const gfx::TRect target = gfx::Bounds(At, At, w, h);
        const gfx::TRect src = surface.ClientRect();
        for (auto _ : state) {
            if (part == 0 || part == 1)
                surface.Fill(0);
            if (part == 0 || part == 2) {
                surface.Canvas().TextOut(4, 4, "宇宙人との交信 Track 01");
                surface.Canvas().Release();
            }
            if (part == 0 || part == 3)
                primary.Blt(&target, &src, draw::DDBLT_WAIT, {100, 0, 0}, &surface);
        }
    }
    draw::SetCurrentBackend(nullptr);
}

void BM_Frame(benchmark::State& state) { Frame(state, 0); }
void BM_Fill(benchmark::State& state) { Frame(state, 1); }
void BM_TextRelease(benchmark::State& state) { Frame(state, 2); }
void BM_Flip(benchmark::State& state) { Frame(state, 3); }
BENCHMARK(BM_Frame)->Apply(Stats);
BENCHMARK(BM_Fill)->Apply(Stats);
BENCHMARK(BM_TextRelease)->Apply(Stats);
BENCHMARK(BM_Flip)->Apply(Stats);

void BM_AnchorDrawImage(benchmark::State& state)
{
    const int bits = int(state.range(0)), w = int(state.range(1)), h = int(state.range(2));
    const QImage::Format f = bits == 16 ? QImage::Format_RGB16 : QImage::Format_RGB32;
    QImage src(w, h, f);
    src.fill(Qt::black);
    QImage screen(DesktopW, DesktopH, f);
    QPainter painter(&screen);
    for (auto _ : state)
        painter.drawImage(At, At, src);
}
BENCHMARK(BM_AnchorDrawImage)->Apply(Stats);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
