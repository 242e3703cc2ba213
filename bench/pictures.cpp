// Picture work on album-art sized pictures, each case family in a function of its own, against
// ImageMagick (Magick++) on the same pixels in the same run, the two taking turns in
// which goes first.
//
// Colour reduction (BM_ReduceColors): what saving album art as GIF does to a 3000 x 2000
// photo: an optimal 256-colour palette from the octree quantizer, then Floyd-Steinberg
// reduction to it (CreateOptimalPalette + ReduceColors mode 9), against Magick++'s quantize
// to 256 colours with Floyd-Steinberg dithering. ImageMagick runs on one thread, as ours does.
// The photo is ImageMagick's plasma fractal (a fixed seed), blurred a little like a camera's.
// Counters, as median with _min/_max spread of 5 rounds: `ours_s`, `magick_s` and `ratio` =
// magick / ours in seconds, plus each result's mean squared error per channel (0..255).
// Goal: ratio at least 0.5 (within 2x of ImageMagick).
//
// GIF decoding (BM_GIFDecode): reading a 2000 x 2000 picture of 256 colours and a 100-frame
// 400 x 300 animation, both written by ImageMagick, from memory: TGIFImage::LoadFromStream
// against Magick++ reading the same bytes (every frame, not coalesced), taking turns. Counters
// as above; goal: ratio at least 0.5.
#include "pictures/gif/GIFImage.h"
#include "pictures/reduce/ColorReduction.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <Magick++.h>

#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <vector>

using namespace benchsupport;

namespace {

constexpr int PhotoWidth = 3000, PhotoHeight = 2000;

Magick::Image makePhoto()
{
    Magick::SetRandomSeed(2026);
    Magick::Image photo;
    photo.size(Magick::Geometry(PhotoWidth, PhotoHeight));
    photo.read("plasma:fractal");
    photo.blur(0, 1.2);
    photo.type(Magick::TrueColorType);
    return photo;
}

// Rows of blue, green, red bytes, top first.
std::vector<uint8_t> bgrOf(const Magick::Image& image)
{
    std::vector<uint8_t> bgr(size_t(image.columns()) * image.rows() * 3);
    const_cast<Magick::Image&>(image).write(0, 0, image.columns(), image.rows(), "BGR", Magick::CharPixel, bgr.data());
    return bgr;
}

double meanSquaredError(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    return sum / double(a.size());
}

// Runs ours and theirs once a round, taking turns in which goes first; `prepare` runs before
// each round, off the clock. The manual time of a round is ours.
template <class Ours, class Theirs, class Prepare>
void inTurns(benchmark::State& state, Ours ourRun, Theirs theirRun, Runs& ours, Runs& magick, Runs& ratio, Prepare prepare)
{
    int round = 0;
    for (auto _ : state) {
        prepare();
        double o = 0, t = 0;
        if (round++ % 2) {
            o = secondsOf(ourRun);
            t = secondsOf(theirRun);
        } else {
            t = secondsOf(theirRun);
            o = secondsOf(ourRun);
        }
        state.SetIterationTime(o);
        ours.add(o);
        magick.add(t);
        ratio.add(t / o);
    }
}

void BM_ReduceColors(benchmark::State& state)
{
    Magick::ResourceLimits::thread(1);
    const Magick::Image photo = makePhoto();
    const std::vector<uint8_t> pixels = bgrOf(photo);
    gfx::TBitmap bitmap(PhotoWidth, PhotoHeight, gfx::pf24bit);
    for (int y = 0; y < PhotoHeight; ++y)
        std::memcpy(bitmap.ScanLine(y), pixels.data() + size_t(y) * PhotoWidth * 3, size_t(PhotoWidth) * 3);

    std::unique_ptr<gfx::TBitmap> reduced;
    Magick::Image theirs;
    const auto ourRun = [&] {
        const TPalette palette = CreateOptimalPalette(bitmap, 256, 8, false);
        reduced = ReduceColors(bitmap, rmPalette, dmFloydSteinberg, 8, &palette);
    };
    const auto theirRun = [&] {
        theirs.quantizeColors(256);
        theirs.quantizeDither(true);
        theirs.quantizeDitherMethod(Magick::FloydSteinbergDitherMethod);
        theirs.quantize();
    };
    Runs ours, magick, ratio;
    inTurns(state, ourRun, theirRun, ours, magick, ratio, [&] {
        theirs = photo;
        theirs.modifyImage();  // its own pixels, copied before the clock starts
    });
    std::vector<uint8_t> ourPixels(pixels.size());
    for (int y = 0; y < PhotoHeight; ++y)
        for (int x = 0; x < PhotoWidth; ++x) {
            const gfx::TColor c = reduced->PixelColor(x, y);
            uint8_t* p = ourPixels.data() + (size_t(y) * PhotoWidth + size_t(x)) * 3;
            p[0] = uint8_t(gfx::GetBValue(c));
            p[1] = uint8_t(gfx::GetGValue(c));
            p[2] = uint8_t(gfx::GetRValue(c));
        }
    const double ourError = meanSquaredError(pixels, ourPixels), theirError = meanSquaredError(pixels, bgrOf(theirs));
    report(state, "ours_s", ours);
    report(state, "magick_s", magick);
    report(state, "ratio", ratio);
    state.counters["ours_mse"] = ourError;
    state.counters["magick_mse"] = theirError;

    constexpr double goal = 0.5;
    std::printf("\nBM_ReduceColors, %d rounds, %d x %d photo to 256 colours with Floyd-Steinberg, seconds median (min-max)\n",
                int(state.iterations()), PhotoWidth, PhotoHeight);
    std::printf("  ours %.3f (%.3f-%.3f)  ImageMagick %.3f (%.3f-%.3f)  mean squared error ours %.1f, ImageMagick %.1f\n",
                ours.median(), ours.min(), ours.max(), magick.median(), magick.min(), magick.max(), ourError, theirError);
    std::printf("  ratio %.2f (%.2f-%.2f); goal >= %.1f: %s\n\n", ratio.median(), ratio.min(), ratio.max(), goal,
                ratio.median() >= goal ? "PASS" : "MISS");
    std::fflush(stdout);
}

// The GIF files: one big picture, and an animation of a picture drifting across the screen.
Magick::Blob gifOf(bool animation)
{
    Magick::SetRandomSeed(2027);
    Magick::Image picture;
    picture.size(animation ? Magick::Geometry(400, 300) : Magick::Geometry(2000, 2000));
    picture.read("plasma:fractal");
    picture.quantizeColors(256);
    picture.quantizeDither(false);
    picture.quantize();
    picture.magick("GIF");
    Magick::Blob blob;
    if (!animation) {
        picture.write(&blob);
        return blob;
    }
    std::vector<Magick::Image> frames;
    for (int i = 0; i < 100; ++i) {
        Magick::Image frame = picture;
        frame.roll(i * 4, i * 3);
        frame.animationDelay(4);
        frames.push_back(frame);
    }
    Magick::writeImages(frames.begin(), frames.end(), &blob, true);
    return blob;
}

void BM_GIFDecode(benchmark::State& state)
{
    Magick::ResourceLimits::thread(1);
    const bool animation = state.range(0) != 0;
    const Magick::Blob blob = gifOf(animation);
    const auto* bytes = static_cast<const uint8_t*>(blob.data());
    const std::vector<uint8_t> file(bytes, bytes + blob.length());
    size_t ourFrames = 0, theirFrames = 0;
    const auto ourRun = [&] {
        rtl::TMemoryStream stream(file);
        TGIFImage gif;
        gif.LoadFromStream(stream);
        ourFrames = size_t(gif.Images().Count());
    };
    const auto theirRun = [&] {
        std::vector<Magick::Image> frames;
        Magick::readImages(&frames, blob);
        theirFrames = frames.size();
    };
    Runs ours, magick, ratio;
    inTurns(state, ourRun, theirRun, ours, magick, ratio, [] {});
    report(state, "ours_s", ours);
    report(state, "magick_s", magick);
    report(state, "ratio", ratio);

    constexpr double goal = 0.5;
    std::printf("\nBM_GIFDecode, %d rounds, %s (%zu bytes, %zu frames ours, %zu ImageMagick), seconds median (min-max)\n",
                int(state.iterations()), animation ? "100-frame 400 x 300 animation" : "2000 x 2000 picture of 256 colours",
                file.size(), ourFrames, theirFrames);
    std::printf("  ours %.4f (%.4f-%.4f)  ImageMagick %.4f (%.4f-%.4f)\n", ours.median(), ours.min(), ours.max(),
                magick.median(), magick.min(), magick.max());
    std::printf("  ratio %.2f (%.2f-%.2f); goal >= %.1f: %s\n\n", ratio.median(), ratio.min(), ratio.max(), goal,
                ratio.median() >= goal ? "PASS" : "MISS");
    std::fflush(stdout);
}

}  // namespace

BENCHMARK(BM_GIFDecode)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK(BM_ReduceColors)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv)
{
    Magick::InitializeMagick(*argv);
    return benchsupport::runOffscreen<QGuiApplication>(argc, argv);
}
