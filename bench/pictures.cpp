// The picture formats' work on large pictures, each case set beside ImageMagick (Magick++)
// doing the same to the same pixels in the same run. One function per family of cases; each
// runs through `compareWithMagick`, which alternates ours and ImageMagick's (the first of the
// pair swapping every round), 5 rounds, and reports as median with _min/_max spread:
// `ours_ms`, `magick_ms` and `ratio` = our time / ImageMagick's, with the row's label saying
// whether the median ratio meets the family's goal (PASS) or not (MISS).
//
// PNG decoding (BM_PngDecode): 3000 x 2000 PNG files of five kinds (RGB 8, RGBA 8, palette 8,
// grey 16, interlaced RGB 8), written by ImageMagick before the clock starts and decoded from
// memory by TPNGObject and by ImageMagick. Goal: ratio within 2.
#include "bench/BenchSupport.h"
#include "pictures/png/pngimage.h"

#include <benchmark/benchmark.h>

#include <Magick++.h>

#include <QGuiApplication>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace benchsupport;

namespace {

// Rounds of each case: ours and ImageMagick's alternate, the pair's order swapping each round.
constexpr int Rounds = 5;

// ImageMagick's own thread count, taken before any case changes it.
size_t MagickDefaultThreads = 1;

// Runs `prepare` untimed before each timed run of `ours` or `theirs` (so each starts from the
// same input), alternating the two over the benchmark's iterations; reports the times in
// milliseconds and the ratio ours / theirs, and labels the row with the goal's outcome.
void compareWithMagick(benchmark::State& state, double goalRatio, const std::function<void()>& prepare,
                       const std::function<void()>& ours, const std::function<void()>& theirs)
{
    Runs oursMs, theirMs, ratio;
    bool oursFirst = true;
    for (auto _ : state) {
        double o = 0, t = 0;
        for (int turn = 0; turn < 2; ++turn) {
            prepare();
            if ((turn == 0) == oursFirst)
                o = secondsOf(ours);
            else
                t = secondsOf(theirs);
        }
        oursFirst = !oursFirst;
        state.SetIterationTime(o);
        oursMs.add(o * 1000);
        theirMs.add(t * 1000);
        ratio.add(o / t);
    }
    report(state, "ours_ms", oursMs);
    report(state, "magick_ms", theirMs);
    report(state, "ratio", ratio);
    char label[64];
    std::snprintf(label, sizeof label, "goal ratio <= %g: %s", goalRatio, ratio.median() <= goalRatio ? "PASS" : "MISS");
    state.SetLabel(label);
}

// A photo-like picture of w x h as blue, green, red bytes without row padding: smooth shading
// with edges and a little grain, so neither side can skip work on flat areas.
std::vector<uint8_t> photoPixels(int w, int h)
{
    std::vector<uint8_t> p(size_t(w) * h * 3);
    uint32_t grain = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = double(x) / w, v = double(y) / h;
            grain = grain * 1664525u + 1013904223u;
            const int noise = int(grain >> 28) - 8;
            const bool inside = std::hypot(u - 0.4, v - 0.5) < 0.2;
            uint8_t* px = &p[(size_t(y) * w + x) * 3];
            px[0] = uint8_t(std::clamp(int(128 + 100 * std::sin(9 * u + 4 * v)) + noise, 0, 255));
            px[1] = uint8_t(std::clamp(int(inside ? 220 : 90 + 80 * v) + noise, 0, 255));
            px[2] = uint8_t(std::clamp(int(128 + 110 * std::cos(7 * v - 3 * u)) + noise, 0, 255));
        }
    return p;
}

enum PngKind { Rgb8, Rgba8, Palette8, Grey16, Rgb8Interlaced };

// The photo as a PNG of the kind, written by ImageMagick.
std::string pngOf(PngKind kind, int w, int h)
{
    const std::vector<uint8_t> bgr = photoPixels(w, h);
    Magick::Image image;
    if (kind == Rgba8) {
        std::vector<uint8_t> bgra(size_t(w) * h * 4);
        for (size_t i = 0; i < size_t(w) * h; ++i) {
            std::copy_n(&bgr[i * 3], 3, &bgra[i * 4]);
            bgra[i * 4 + 3] = uint8_t((i % size_t(w)) * 255 / size_t(w));
        }
        image.read(size_t(w), size_t(h), "BGRA", MagickCore::CharPixel, bgra.data());
    } else {
        image.read(size_t(w), size_t(h), "BGR", MagickCore::CharPixel, bgr.data());
    }
    switch (kind) {
    case Rgb8: image.magick("PNG24"); break;
    case Rgba8: image.magick("PNG32"); break;
    case Palette8:
        image.quantizeColors(256);
        image.quantize();
        image.magick("PNG8");
        break;
    case Grey16:
        image.type(MagickCore::GrayscaleType);
        image.depth(16);
        image.defineValue("png", "bit-depth", "16");
        image.defineValue("png", "color-type", "0");
        image.magick("PNG");
        break;
    case Rgb8Interlaced:
        image.interlaceType(MagickCore::PNGInterlace);
        image.magick("PNG24");
        break;
    }
    Magick::Blob blob;
    image.write(&blob);
    return std::string(static_cast<const char*>(blob.data()), blob.length());
}

// Args: the kind, width, height, ImageMagick's threads.
void BM_PngDecode(benchmark::State& state)
{
    const auto kind = PngKind(state.range(0));
    const int w = int(state.range(1)), h = int(state.range(2));
    Magick::ResourceLimits::thread(state.range(3) > 0 ? size_t(state.range(3)) : MagickDefaultThreads);
    const std::string file = pngOf(kind, w, h);
    const Magick::Blob blob(file.data(), file.size());
    rtl::TMemoryStream stream(std::vector<uint8_t>(file.begin(), file.end()));
    png::TPNGObject ours;
    Magick::Image theirs;
    state.counters["file_mb"] = double(file.size()) / 1e6;
    compareWithMagick(
        state, 2.0,
        [&] {
            stream.SetPosition(0);
            theirs = Magick::Image();
        },
        [&] {
            ours.LoadFromStream(stream);
            if (ours.Width() != w)
                state.SkipWithError("our decoding failed");
        },
        [&] {
            theirs.read(blob);
            if (theirs.columns() != size_t(w))
                state.SkipWithError("ImageMagick's decoding failed");
        });
}

void PngDecodeCases(benchmark::internal::Benchmark* b)
{
    for (int kind : {Rgb8, Rgba8, Palette8, Grey16, Rgb8Interlaced})
        b->Args({kind, 3000, 2000, 1});
    b->ArgNames({"kind", "w", "h", "magick_threads"});
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(Rounds);
}

}  // namespace

BENCHMARK(BM_PngDecode)->Apply(PngDecodeCases);

int main(int argc, char** argv)
{
    Magick::InitializeMagick(*argv);
    MagickDefaultThreads = Magick::ResourceLimits::thread();
    return runOffscreen<QGuiApplication>(argc, argv);
}
