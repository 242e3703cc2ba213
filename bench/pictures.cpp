// The picture formats' work on large pictures, each case set beside ImageMagick (Magick++)
// doing the same to the same pixels in the same run. One function per family of cases; each
// runs through `compareWithMagick`, which alternates ours and ImageMagick's (the first of the
// pair swapping every round), 5 rounds, and reports as median with _min/_max spread:
// `ours_ms`, `magick_ms` and `ratio` = our time / ImageMagick's, with the row's label saying
// whether the median ratio meets the family's goal (PASS) or not (MISS).
//
// Resampling (BM_Resample): fitting a 3000 x 2000 photo into 300 x 200 and zooming 300 x 200
// to 1200 x 800, with our bilinear (filter 1) and cubic B-spline (filter 4) against
// ImageMagick's Triangle and Spline resize. ImageMagick runs on one thread here, as our
// resampler does (`magick_threads` 0 runs it on its default thread count, for reference).
// Goal: ratio within 2.
//
// Colour reduction (BM_ReduceColors): what saving album art as GIF does to a 3000 x 2000
// photo: an optimal 256-colour palette from the octree quantizer, then Floyd-Steinberg
// reduction to it (CreateOptimalPalette + ReduceColors mode 9), against Magick++'s quantize
// to 256 colours with Floyd-Steinberg dithering, on one thread as ours. The photo is
// ImageMagick's plasma fractal (a fixed seed), blurred a little like a camera's; each
// result's mean squared error per channel (0..255) is reported beside the times.
// Goal: ratio within 2.
//
// Every decoding case below reads its picture from a file, as the program does: the file is
// written into the benchmarks' cache folder before the clock starts (so it is read from the
// system's cache) and both sides open and read it inside the clock.
//
// PNG decoding (BM_PngDecode): 3000 x 2000 PNG files of five kinds (RGB 8, RGBA 8, palette 8,
// grey 16, interlaced RGB 8), written by ImageMagick and decoded from the file by TPNGObject
// and by ImageMagick. Goal: ratio within 2.
//
// TIFF, Targa and BMP decoding (BM_TiffTgaDecode): the 3000 x 2000 photo as TIFF files (no
// compression, PackBits, deflate, JPEG), Targa files (24-bit raw and run-length) and a 24-bit
// BMP, written by ImageMagick and decoded from the file by TTIFFGraphic / TTargaGraphic / the
// bitmap's reader and by ImageMagick. Goal: ratio within 2.
//
// Planar and run-length readers (BM_ReaderDecode): a 3000 x 2000 photo as PCX (8-bit
// run-length with its palette block, 24-bit in three run-length planes) and run-length SGI,
// all written by ImageMagick, and as RLA written here (ImageMagick writes no RLA and refuses
// such files, so its anchor there is its reading of the same pixels as run-length SGI), read
// from the file by our readers and by ImageMagick. Goal: ratio within 2.
//
// Format family readers (BM_FormatReaders): a Photoshop file, a P6 map, a Photo-CD pack and the
// family PNG reader on the PNG cases' files, beside ImageMagick. Goal: ratio within 2.
//
// GIF decoding (BM_GIFDecode): reading a 2000 x 2000 picture of 256 colours and a 100-frame
// 400 x 300 animation, both written by ImageMagick, from the file: TGIFImage::LoadFromFile
// against Magick++ reading the same file (every frame, not coalesced). Goal: ratio within 2.
//
// Picture preview (BM_PicturePreview): a click on a 4000 x 3000 JPEG (written by ImageMagick
// at quality 90) in the picture open dialog, until the preview area has painted it fitted with
// its size, against Qt reading the same file at full size with QImageReader and scaling it
// smoothly into the same box (`qt_ms`; the yardstick is Qt here, not ImageMagick). The preview
// decodes with the default options, at full size, as Qt does. Goal: ratio within 1.5 (a click
// shows the picture at once).
#include "bench/BenchSupport.h"
#include "controls/dialogs/CoolDlgEx.h"
#include "controls/std/Label.h"
#include "pictures/gif/GIFImage.h"
#include "pictures/Resample.h"
#include "pictures/formats/PCXGraphic.h"
#include "pictures/formats/PhotoCdGraphic.h"
#include "pictures/formats/PhotoshopGraphic.h"
#include "pictures/formats/PngGraphic.h"
#include "pictures/formats/PortableMapGraphic.h"
#include "pictures/formats/RLAGraphic.h"
#include "pictures/formats/SGIGraphic.h"
#include "pictures/formats/TargaGraphic.h"
#include "pictures/formats/TiffGraphic.h"
#include "pictures/png/pngimage.h"
#include "pictures/reduce/ColorReduction.h"

#include <benchmark/benchmark.h>

#include <Magick++.h>

#include <QApplication>
#include <QImageReader>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace benchsupport;

namespace {

// Rounds of each case: ours and ImageMagick's alternate, the pair's order swapping each round.
constexpr int Rounds = 5;

// ImageMagick's own thread count, taken before any case changes it.
size_t MagickDefaultThreads = 1;

// compareInTurns with ImageMagick (or `theirName`), the row labelled with the goal's outcome.
void compareWithMagick(benchmark::State& state, double goalRatio, const std::function<void()>& prepare,
                       const std::function<void()>& ours, const std::function<void()>& theirs,
                       const std::string& theirName = "magick")
{
    const TurnFigures f = compareInTurns(state, prepare, ours, theirs, theirName);
    char label[64];
    std::snprintf(label, sizeof label, "goal ratio <= %g: %s", goalRatio, f.ratio.median() <= goalRatio ? "PASS" : "MISS");
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

void toBitmap(const std::vector<uint8_t>& pixels, int w, int h, gfx::TBitmap& bitmap)
{
    bitmap.SetPixelFormat(gfx::pf24bit);
    bitmap.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        std::copy_n(&pixels[size_t(y) * w * 3], size_t(w) * 3, bitmap.ScanLine(y));
}

// Args: our filter, source width and height, target width and height, ImageMagick's threads.
void BM_Resample(benchmark::State& state)
{
    const int filter = int(state.range(0));
    const int sw = int(state.range(1)), sh = int(state.range(2)), dw = int(state.range(3)), dh = int(state.range(4));
    const std::vector<uint8_t> pixels = photoPixels(sw, sh);
    gfx::TBitmap source, work;
    toBitmap(pixels, sw, sh, source);

    Magick::ResourceLimits::thread(state.range(5) > 0 ? size_t(state.range(5)) : MagickDefaultThreads);
    const Magick::Image original(size_t(sw), size_t(sh), "BGR", MagickCore::CharPixel, pixels.data());
    Magick::Image magick;
    Magick::Geometry size(static_cast<size_t>(dw), static_cast<size_t>(dh));
    size.aspect(true);  // exactly dw x dh, as ours

    compareWithMagick(
        state, 2.0,
        [&] {
            work.Assign(source);
            magick = original;
            magick.modifyImage();  // the copy made before the clock starts
            magick.filterType(filter == 4 ? MagickCore::SplineFilter : MagickCore::TriangleFilter);
        },
        [&] {
            if (!ResampleBitmap24(work, dw, dh, filter) || work.Width() != dw)
                state.SkipWithError("resampling failed");
        },
        [&] {
            magick.resize(size);
            if (magick.columns() != size_t(dw))
                state.SkipWithError("ImageMagick's resize failed");
        });
}

void ResampleCases(benchmark::internal::Benchmark* b)
{
    for (int threads : {1, 0})
        for (int filter : {1, 4}) {
            b->Args({filter, 3000, 2000, 300, 200, threads});
            b->Args({filter, 300, 200, 1200, 800, threads});
        }
    b->ArgNames({"filter", "sw", "sh", "dw", "dh", "magick_threads"});
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(Rounds);
}


Magick::Image plasmaPhoto(int w, int h)
{
    Magick::SetRandomSeed(2026);
    Magick::Image photo;
    photo.size(Magick::Geometry(size_t(w), size_t(h)));
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

void quantizeLikeGif(Magick::Image& image)
{
    image.quantizeColors(256);
    image.quantizeDither(true);
    image.quantizeDitherMethod(Magick::FloydSteinbergDitherMethod);
    image.quantize();
}

void BM_ReduceColors(benchmark::State& state)
{
    constexpr int w = 3000, h = 2000;
    Magick::ResourceLimits::thread(1);
    const Magick::Image photo = plasmaPhoto(w, h);
    const std::vector<uint8_t> pixels = bgrOf(photo);
    gfx::TBitmap bitmap;
    toBitmap(pixels, w, h, bitmap);

    std::unique_ptr<gfx::TBitmap> reduced;
    Magick::Image theirs;
    compareWithMagick(
        state, 2.0,
        [&] {
            theirs = photo;
            theirs.modifyImage();  // its own pixels, copied before the clock starts
        },
        [&] {
            const TPalette palette = CreateOptimalPalette(bitmap, 256, 8, false);
            reduced = ReduceColors(bitmap, rmCustomPalette, dmFloydSteinberg, 8, &palette);
        },
        [&] { quantizeLikeGif(theirs); });
    // The last round may have ended with the untimed reset of ImageMagick's copy.
    theirs = photo;
    quantizeLikeGif(theirs);
    std::vector<uint8_t> ourPixels(pixels.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const gfx::TColor c = reduced->PixelColor(x, y);
            uint8_t* p = ourPixels.data() + (size_t(y) * w + size_t(x)) * 3;
            p[0] = uint8_t(gfx::GetBValue(c));
            p[1] = uint8_t(gfx::GetGValue(c));
            p[2] = uint8_t(gfx::GetRValue(c));
        }
    state.counters["ours_mse"] = meanSquaredError(pixels, ourPixels);
    state.counters["magick_mse"] = meanSquaredError(pixels, bgrOf(theirs));
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

// Writes `bytes` into the benchmarks' cache folder as `name`, before any clock starts.
std::string cacheFile(const std::string& name, const std::string& bytes)
{
    QDir().mkpath(TAMBOURELLE_BENCH_CACHE);
    const std::string path = std::string(TAMBOURELLE_BENCH_CACHE) + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
    if (f)
        std::fclose(f);
    return path;
}

// Decodes `file` with `ours` and with ImageMagick, alternating, for a picture w pixels wide,
// both reading it from a file of the cache folder as the program reads a picture (the file is
// written before the clock starts and stays in the system's cache). `magick` names the format
// for ImageMagick where the file has no signature; `theirFile`, when given, is what ImageMagick
// reads instead (a format it cannot read).
void decodeBesideMagick(benchmark::State& state, const std::string& file, int w, gfx::TGraphic& ours,
                        const char* magick = nullptr, const std::string* theirFile = nullptr)
{
    // Named by the bytes: every case writes a file of its own.
    const std::string safe = "decode-" + std::to_string(std::hash<std::string>{}(file));
    const std::string path = cacheFile(safe + ".ours", file);
    const std::string anchor = theirFile ? cacheFile(safe + ".theirs", *theirFile) : path;
    const std::string spec = magick ? std::string(magick) + ":" + anchor : anchor;
    Magick::Image theirs;
    state.counters["file_mb"] = double(file.size()) / 1e6;
    compareWithMagick(
        state, 2.0, [&] { theirs = Magick::Image(); },
        [&] {
            ours.LoadFromFile(path);
            if (ours.Width() != w)
                state.SkipWithError("our decoding failed");
        },
        [&] {
            theirs.read(spec);
            if (theirs.columns() != size_t(w))
                state.SkipWithError("ImageMagick's decoding failed");
        });
}

// Args: the kind, width, height, ImageMagick's threads.
void BM_PngDecode(benchmark::State& state)
{
    const auto kind = PngKind(state.range(0));
    const int w = int(state.range(1)), h = int(state.range(2));
    Magick::ResourceLimits::thread(state.range(3) > 0 ? size_t(state.range(3)) : MagickDefaultThreads);
    png::TPNGObject ours;
    decodeBesideMagick(state, pngOf(kind, w, h), w, ours);
}

void PngDecodeCases(benchmark::internal::Benchmark* b)
{
    for (int kind : {Rgb8, Rgba8, Palette8, Grey16, Rgb8Interlaced})
        b->Args({kind, 3000, 2000, 1});
    b->ArgNames({"kind", "w", "h", "magick_threads"});
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(Rounds);
}

// The file of a format reader case, written by ImageMagick: 0 Photoshop (RLE), 1 P6 map,
// 2 Photo-CD, 3 + a PNG kind.
std::string formatFile(int file, int w, int h)
{
    if (file >= 3)
        return pngOf(PngKind(file - 3), w, h);
    const auto bgr = photoPixels(w, h);
    Magick::Image image;
    image.read(size_t(w), size_t(h), "BGR", MagickCore::CharPixel, bgr.data());
    image.depth(8);
    if (file == 0) {
        image.compressType(MagickCore::RLECompression);
        image.magick("PSD");
    } else {
        image.magick(file == 1 ? "PPM" : "PCD");
    }
    Magick::Blob blob;
    image.write(&blob);
    return std::string(static_cast<const char*>(blob.data()), blob.length());
}

// Args: the file, width, height, ImageMagick's threads.
void BM_FormatReaders(benchmark::State& state)
{
    const int file = int(state.range(0)), w = int(state.range(1)), h = int(state.range(2));
    Magick::ResourceLimits::thread(state.range(3) > 0 ? size_t(state.range(3)) : MagickDefaultThreads);
    std::unique_ptr<TFormatGraphic> ours;
    switch (file) {
    case 0: ours = std::make_unique<TPSDGraphic>(); break;
    case 1: ours = std::make_unique<TPPMGraphic>(); break;
    case 2: ours = std::make_unique<TPCDGraphic>(); break;
    default: ours = std::make_unique<TPNGGraphic>(); break;
    }
    decodeBesideMagick(state, formatFile(file, w, h), w, *ours);
}

void FormatReaderCases(benchmark::internal::Benchmark* b)
{
    b->Args({0, 3000, 2000, 1});
    b->Args({1, 3000, 2000, 1});
    b->Args({2, 768, 512, 1});
    for (int kind : {Rgb8, Rgba8, Palette8, Grey16, Rgb8Interlaced})
        b->Args({3 + kind, 3000, 2000, 1});
    b->ArgNames({"file", "w", "h", "magick_threads"});
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(Rounds);
}

enum TiffTgaKind { TiffNone, TiffPackBits, TiffDeflate, TiffJpeg, Tga24, Tga24Rle, Bmp24 };

// The photo in the kind's file format and compression, written by ImageMagick.
std::string tiffTgaOf(TiffTgaKind kind, int w, int h)
{
    const std::vector<uint8_t> bgr = photoPixels(w, h);
    Magick::Image image;
    image.read(size_t(w), size_t(h), "BGR", MagickCore::CharPixel, bgr.data());
    image.depth(8);
    const bool tga = kind == Tga24 || kind == Tga24Rle;
    image.magick(kind == Bmp24 ? "BMP3" : tga ? "TGA" : "TIFF");
    switch (kind) {
    case TiffNone: case Tga24: case Bmp24: image.compressType(MagickCore::NoCompression); break;
    case TiffPackBits: case Tga24Rle: image.compressType(MagickCore::RLECompression); break;
    case TiffDeflate: image.compressType(MagickCore::ZipCompression); break;
    case TiffJpeg:
        image.compressType(MagickCore::JPEGCompression);
        image.quality(90);
        break;
    }
    Magick::Blob blob;
    image.write(&blob);
    return std::string(static_cast<const char*>(blob.data()), blob.length());
}

// Args: the kind, width, height, ImageMagick's threads.
void BM_TiffTgaDecode(benchmark::State& state)
{
    const auto kind = TiffTgaKind(state.range(0));
    const int w = int(state.range(1)), h = int(state.range(2));
    Magick::ResourceLimits::thread(state.range(3) > 0 ? size_t(state.range(3)) : MagickDefaultThreads);
    const bool targa = kind == Tga24 || kind == Tga24Rle;
    std::unique_ptr<gfx::TGraphic> ours;
    if (kind == Bmp24)
        ours = std::make_unique<gfx::TBitmap>();  // the bitmap's own BMP reader
    else if (targa)
        ours = std::make_unique<TTargaGraphic>();
    else
        ours = std::make_unique<TTIFFGraphic>();
    // ImageMagick is told the format: a Targa file has no signature.
    decodeBesideMagick(state, tiffTgaOf(kind, w, h), w, *ours, kind == Bmp24 ? "BMP" : targa ? "TGA" : "TIFF");
}

void TiffTgaDecodeCases(benchmark::internal::Benchmark* b)
{
    for (int kind : {TiffNone, TiffPackBits, TiffDeflate, TiffJpeg, Tga24, Tga24Rle, Bmp24})
        b->Args({kind, 3000, 2000, 1});
    b->ArgNames({"kind", "w", "h", "magick_threads"});
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(Rounds);
}

enum ReaderKind { Pcx8Rle, Pcx24Rle, SgiRle, Rla };

std::string magickFile(ReaderKind kind, int w, int h)
{
    Magick::Image image = plasmaPhoto(w, h);
    image.compressType(MagickCore::RLECompression);
    if (kind == Pcx8Rle) {
        image.quantizeColors(256);
        image.quantize();
        image.type(MagickCore::PaletteType);
    }
    image.magick(kind == Pcx8Rle || kind == Pcx24Rle ? "PCX" : "SGI");
    Magick::Blob blob;
    image.write(&blob);
    return std::string(static_cast<const char*>(blob.data()), blob.length());
}

// The same photo as an RLA file: three 8-bit channels in literal packets of 128 bytes.
std::string rlaFile(int w, int h)
{
    const std::vector<uint8_t> bgr = bgrOf(plasmaPhoto(w, h));
    std::string header(740, '\0');
    auto put16 = [&](size_t at, int v) { header[at] = char(v >> 8), header[at + 1] = char(v); };
    for (size_t at : {size_t(0), size_t(8)}) {
        put16(at + 2, w - 1);
        put16(at + 6, h - 1);
    }
    put16(20, 3);
    put16(26, 0xFFFE);
    header.replace(28, 3, "1.0");
    header.replace(580, 3, "rgb");
    put16(658, 8);
    std::string rows, offsets;
    for (int row = 0; row < h; ++row) {
        const uint32_t at = uint32_t(740 + 4 * h + rows.size());
        offsets += std::string{char(at >> 24), char(at >> 16), char(at >> 8), char(at)};
        const int y = h - 1 - row;
        for (int c = 2; c >= 0; --c) {
            std::string coded;
            for (int x = 0; x < w; x += 128) {
                const int n = std::min(128, w - x);
                coded += char(-n);
                for (int k = 0; k < n; ++k)
                    coded += char(bgr[(size_t(y) * w + x + k) * 3 + c]);
            }
            rows += std::string{char(coded.size() >> 8), char(coded.size())} + coded;
        }
    }
    return header + offsets + rows;
}

// Args: the kind, width, height.
void BM_ReaderDecode(benchmark::State& state)
{
    const auto kind = ReaderKind(state.range(0));
    const int w = int(state.range(1)), h = int(state.range(2));
    Magick::ResourceLimits::thread(1);
    const std::string file = kind == Rla ? rlaFile(w, h) : magickFile(kind, w, h);
    const std::string anchor = kind == Rla ? magickFile(SgiRle, w, h) : file;
    std::unique_ptr<TFormatGraphic> ours;
    if (kind == Pcx8Rle || kind == Pcx24Rle)
        ours = std::make_unique<TPCXGraphic>();
    else if (kind == SgiRle)
        ours = std::make_unique<TSGIGraphic>();
    else
        ours = std::make_unique<TRLAGraphic>();
    decodeBesideMagick(state, file, w, *ours, nullptr, &anchor);
}

void ReaderDecodeCases(benchmark::internal::Benchmark* b)
{
    for (int kind : {Pcx8Rle, Pcx24Rle, SgiRle, Rla})
        b->Args({kind, 3000, 2000});
    b->ArgNames({"kind", "w", "h"});
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(Rounds);
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

// Arg: 0 the big picture, 1 the animation.
void BM_GIFDecode(benchmark::State& state)
{
    Magick::ResourceLimits::thread(1);
    const bool animation = state.range(0) != 0;
    const Magick::Blob blob = gifOf(animation);
    const std::string path =
        cacheFile(animation ? "gif-animation.gif" : "gif-picture.gif",
                  std::string(static_cast<const char*>(blob.data()), blob.length()));
    size_t ourFrames = 0, theirFrames = 0;
    compareWithMagick(
        state, 2.0, [] {},
        [&] {
            TGIFImage gif;
            gif.LoadFromFile(path);
            ourFrames = size_t(gif.Images().Count());
        },
        [&] {
            std::vector<Magick::Image> frames;
            Magick::readImages(&frames, path);
            theirFrames = frames.size();
        });
    if (ourFrames != theirFrames)
        state.SkipWithError("the frame counts differ");
}

// Args: width and height of the JPEG.
void BM_PicturePreview(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    const QString path = QString(TAMBOURELLE_BENCH_CACHE) + QString("/preview-%1x%2.jpg").arg(w).arg(h);
    if (!QFile::exists(path)) {
        QDir().mkpath(TAMBOURELLE_BENCH_CACHE);
        const std::vector<uint8_t> pixels = photoPixels(w, h);
        Magick::Image photo(size_t(w), size_t(h), "BGR", MagickCore::CharPixel, pixels.data());
        photo.quality(90);
        photo.write(path.toStdString());
    }
    // The area as the dialog lays it out, painted into an image as the screen would be.
    controls::TCOPDCustomArea area(nullptr);
    area.resize(controls::TCoolOpenPictureDialog::AreaWidth, 400);
    QImage screen(area.size(), QImage::Format_RGB32);
    const std::string want = "( " + std::to_string(w) + " x " + std::to_string(h) + " )";
    const QSize box = area.PicturePanel->size() - QSize(4, 4);
    QImage theirs;
    compareWithMagick(
        state, 1.5,
        [&] {
            area.ClearPreview();
            theirs = QImage();
        },
        [&] {
            area.UpdatePreview(path.toStdString());
            area.render(&screen);
            if (area.lblSize->Caption() != want)
                state.SkipWithError("the preview did not show the picture");
        },
        [&] {
            QImageReader reader(path);
            theirs = reader.read().scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            if (theirs.isNull())
                state.SkipWithError("Qt could not read the picture");
        },
        "qt");
}

}  // namespace

BENCHMARK(BM_Resample)->Apply(ResampleCases);
BENCHMARK(BM_TiffTgaDecode)->Apply(TiffTgaDecodeCases);
BENCHMARK(BM_PngDecode)->Apply(PngDecodeCases);
BENCHMARK(BM_FormatReaders)->Apply(FormatReaderCases);
BENCHMARK(BM_ReaderDecode)->Apply(ReaderDecodeCases);
BENCHMARK(BM_ReduceColors)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(Rounds);
BENCHMARK(BM_GIFDecode)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(Rounds);
BENCHMARK(BM_PicturePreview)->Args({4000, 3000})->ArgNames({"w", "h"})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(Rounds);

int main(int argc, char** argv)
{
    Magick::InitializeMagick(*argv);
    MagickDefaultThreads = Magick::ResourceLimits::thread();
    return runOffscreen<QApplication>(argc, argv);
}
