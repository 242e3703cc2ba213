// Shared by the picture writers' and the PNG tests: ImageMagick's reading of a picture as
// 8-bit RGBA (the high byte of its 16-bit reading, turned upright), a test pattern in any
// bitmap format, PNG files put together chunk by chunk with zlib's own CRC and deflate,
// loading through TPNGObject, and the message a format reader raises on a file.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

#include "pictures/formats/FormatGraphic.h"
#include "pictures/png/pngimage.h"
#include "platform/gfx/Bitmap.h"
#include "platform/rtl/Streams.h"
#include "support/TestSupport.h"

namespace pngtest {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

// ImageMagick's pixels, top row first; empty when it cannot read the file.
inline std::vector<Rgba> magickPixels(const std::string& path, int* width = nullptr, int* height = nullptr)
{
    auto size = testsupport::runCommand("identify", {"-format", "%w %h", path + "[0]"});
    int w = 0, h = 0;
    if (size.exitCode != 0 || std::sscanf(size.out.c_str(), "%d %d", &w, &h) != 2)
        return {};
    // Targa files start at the bottom: ImageMagick keeps that as an orientation to apply.
    auto r = testsupport::runCommand("convert", {path, "-auto-orient", "-endian", "MSB", "-depth", "16", "rgba:-"});
    if (r.exitCode != 0 || r.out.size() != size_t(w) * h * 8)
        return {};
    std::vector<Rgba> px(size_t(w) * h);
    for (size_t i = 0; i < px.size(); ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(r.out.data()) + i * 8;
        px[i] = Rgba{p[0], p[2], p[4], p[6]};
    }
    if (width)
        *width = w;
    if (height)
        *height = h;
    return px;
}

// Pixels that tell rows, columns and channels apart; indexed formats by nearest colour.
inline std::unique_ptr<gfx::TBitmap> pattern(gfx::TPixelFormat f, int w, int h)
{
    auto b = std::make_unique<gfx::TBitmap>(w, h, gfx::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = b->ScanLine(y) + 3 * x;
            p[0] = uint8_t(x * 25), p[1] = uint8_t(255 - y * 15), p[2] = uint8_t((x ^ y) & 1 ? 230 : 20);
        }
    b->SetPixelFormat(f);
    return b;
}

// Pixels of `b` whose channels, shifted right by `shift`, differ from ImageMagick's reading
// of `file` (-1 when the sizes differ).
inline int differentPixels(const std::string& file, const gfx::TBitmap& b, int shift = 0)
{
    int w = 0, h = 0, wrong = 0;
    const auto theirs = magickPixels(file, &w, &h);
    if (w != b.Width() || h != b.Height())
        return -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const gfx::TColor c = b.PixelColor(x, y);
            const Rgba t = theirs[size_t(y) * w + x];
            wrong += (t.r >> shift) != (gfx::GetRValue(c) >> shift) || (t.g >> shift) != (gfx::GetGValue(c) >> shift) ||
                     (t.b >> shift) != (gfx::GetBValue(c) >> shift);
        }
    return wrong;
}

inline std::string be32(uint32_t v)
{
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

inline std::string chunk(const std::string& name, const std::string& data)
{
    std::string body = name + data;
    const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size())));
    return be32(uint32_t(data.size())) + body + be32(crc);
}

inline const std::string Signature("\x89PNG\r\n\x1a\n", 8);

inline std::string ihdr(uint32_t w, uint32_t h, int depth, int colorType, int interlace = 0)
{
    return chunk("IHDR", be32(w) + be32(h) + std::string{char(depth), char(colorType), 0, 0, char(interlace)});
}

inline std::string deflated(const std::string& raw)
{
    uLongf n = compressBound(uLong(raw.size()));
    std::string out(n, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), 9);
    out.resize(n);
    return out;
}

// A gray 8-bit w x h picture whose rows (filter 0) are `rows`, in one IDAT.
inline std::string grayPng(uint32_t w, uint32_t h, const std::string& extraBeforeIdat = {})
{
    std::string raw;
    for (uint32_t y = 0; y < h; ++y) {
        raw += '\0';
        for (uint32_t x = 0; x < w; ++x)
            raw += char((x * 7 + y * 13) & 0xFF);
    }
    return Signature + ihdr(w, h, 8, 0) + extraBeforeIdat + chunk("IDAT", deflated(raw)) + chunk("IEND", "");
}

inline void load(png::TPNGObject& p, const std::string& bytes)
{
    rtl::TMemoryStream m(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    p.LoadFromStream(m);
}

inline std::string save(png::TPNGObject& p)
{
    rtl::TMemoryStream m;
    p.SaveToStream(m);
    return std::string(m.Bytes().begin(), m.Bytes().end());
}

// Our colour of pixel (x, y) with its alpha: the alpha plane, or the tRNS entry of a palette
// pixel, or opaque.
inline Rgba ourPixel(const png::TPNGObject& p, int32_t x, int32_t y)
{
    const png::TChunkIHDR& h = p.Header();
    const gfx::TColor c = h.ImageData.PixelColor(x, y);
    Rgba o{uint8_t(c & 0xFF), uint8_t(c >> 8 & 0xFF), uint8_t(c >> 16 & 0xFF), 255};
    if (h.HasAlpha())
        o.a = h.AlphaRow(y)[x];
    else if (const auto* t = p.Chunks().ItemFromClass<png::TChunktRNS>(); t && h.ColorType == png::pngIndexed) {
        const uint8_t* row = h.ImageData.ScanLine(y);
        const int bits = gfx::TBitmap::BitsPerPixel(h.ImageData.PixelFormat());
        const unsigned index = bits == 8 ? row[x] : bits == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 15
                                                              : (row[x / 8] >> (7 - x % 8)) & 1;
        o.a = t->PaletteValues[index];
    } else if (p.TransparencyMode() == png::ptmSingleColor) {
        o.a = gfx::ColorToRGB(c) == gfx::ColorToRGB(p.TransparentColor()) ? 0 : 255;
    }
    return o;
}

// What loading `bytes` through a reader raises: its format message, "other: " and the text of
// any other exception, or "" when the load succeeds.
inline std::string loadError(TFormatGraphic& g, const std::string& bytes)
{
    rtl::TMemoryStream m(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    try {
        g.LoadFromStream(m);
    } catch (const gfx::EInvalidGraphic& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("other: ") + e.what();
    }
    return std::string();
}

}  // namespace pngtest
