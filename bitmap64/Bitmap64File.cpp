// TBitmap64's files: TGA, BMP and raw pictures and palettes read into the bitmap's own depth,
// and TGA written.
#include "bitmap64/Bitmap64.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/gfx/DibHeader.h"
#include "platform/gfx/Tga.h"

namespace bitmap64 {

namespace {

const char* const kScreenLoad = "You can't load images into TScreen64!!!";

uint32_t Le32(const std::vector<uint8_t>& d, size_t at)
{
    return uint32_t(d[at]) | (uint32_t(d[at + 1]) << 8) | (uint32_t(d[at + 2]) << 16) |
           (uint32_t(d[at + 3]) << 24);
}

// The pixels of a file, top row first, in the file's own kind, before conversion.
enum class Kind { Rgb555, Rgb24, Argb32, Index8 };
struct Decoded {
    int32_t w = 0, h = 0;
    Kind kind = Kind::Rgb24;
    std::vector<uint32_t> px;
    std::vector<uint8_t> palette;  // Index8: 768 bytes blue, green, red
};

void CheckSize(int64_t w, int64_t h, int64_t bytesPerPixel)
{
    if (w < 1 || h < 1 || w > gfx::TBitmap::MaxSide || h > gfx::TBitmap::MaxSide ||
        w * h * bytesPerPixel > gfx::TBitmap::MaxPixelBytes)
        throw EInOutError("Invalid picture size");
}

std::vector<uint8_t> ReadAll(rtl::TStream& s)
{
    int64_t n = s.Remaining();
    if (n > gfx::TBitmap::MaxPixelBytes + (int64_t(1) << 20))
        throw EInOutError("File too large");
    std::vector<uint8_t> d(static_cast<size_t>(n));
    if (!d.empty() && s.Read(d.data(), n) != n)
        throw EInOutError("Read error");
    return d;
}

std::vector<uint8_t> ReadFile(const std::string& name)
{
    rtl::TMemoryStream m;
    try {
        m.LoadFromFile(name);
    } catch (const rtl::EStreamError& e) {
        throw EInOutError(e.what());
    }
    return m.Bytes();
}

Kind KindOf(int bytes)
{
    return bytes == 1 ? Kind::Index8 : bytes == 2 ? Kind::Rgb555 : bytes == 3 ? Kind::Rgb24 : Kind::Argb32;
}

// The format readers of platform/gfx say what is wrong with a file; this bitmap reports it as
// its file error.
template <typename Read>
Decoded AsFileError(Read read)
{
    try {
        return read();
    } catch (const gfx::EInvalidGraphic& e) {
        throw EInOutError(e.what());
    }
}

Decoded DecodeTga(const std::vector<uint8_t>& d)
{
    return AsFileError([&d] {
        const gfx::TTgaHeader h = gfx::ReadTgaHeader(d.data(), d.size());
        // Only uncompressed true colour without a colour map loads into this bitmap.
        if (h.ColorMapType != 0 || h.ImageType != 2)
            throw EInOutError("Unsupported TGA image type");
        CheckSize(h.Width, h.Height, 4);
        const gfx::TTgaImage t = gfx::ReadTga(d.data(), d.size());
        const int bytes = h.BytesPerPixel();
        Decoded r;
        r.w = t.Width();
        r.h = t.Height();
        r.kind = KindOf(bytes);
        r.px.resize(size_t(r.w) * r.h);
        for (int32_t y = 0; y < r.h; ++y)
            for (int32_t x = 0; x < r.w; ++x)
                r.px[size_t(y) * r.w + x] = bytes == 2 ? (t.Value(x, y) & 0x7FFF) : t.Value(x, y);
        if (r.kind == Kind::Index8) {
            // A true-colour file of one byte a pixel holds grey levels.
            r.palette.resize(768);
            for (int i = 0; i < 256; ++i)
                std::memset(&r.palette[size_t(i) * 3], i, 3);
        }
        return r;
    });
}

Decoded DecodeBmp(std::vector<uint8_t> bytes)
{
    rtl::TMemoryStream m(std::move(bytes));
    return AsFileError([&m] {
        const gfx::TBmpFileHeader file = gfx::ReadBmpFileHeader(m);
        const gfx::TDibHeader h = gfx::ReadDibHeader(m);
        const std::vector<uint8_t>& d = m.Bytes();
        if (h.Core())
            throw EInOutError("Unsupported BMP header");
        const int bitCount = h.BitCount;
        if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
            throw EInOutError("Unsupported BMP pixel depth");
        // Bit fields are accepted when they describe the layout read here anyway.
        const bool fieldsOk =
            h.Compression == gfx::BI_BITFIELDS &&
            ((bitCount == 16 && h.RedMask == 0x7C00 && h.GreenMask == 0x03E0 && h.BlueMask == 0x001F) ||
             (bitCount == 32 && h.RedMask == 0xFF0000 && h.GreenMask == 0xFF00 && h.BlueMask == 0xFF));
        if (h.Compression != gfx::BI_RGB && !fieldsOk)
            throw EInOutError("Unsupported BMP compression");
        const int32_t w = h.Width, rows = h.Height;
        CheckSize(w, rows, 4);
        const int bytesPP = bitCount / 8;
        const size_t stride = size_t(h.RowBytes());
        // The last row needs only its pixels, not its padding.
        const size_t need = stride * (size_t(rows) - 1) + size_t(w) * bytesPP;
        const uint32_t offBits = file.OffBits;
        if (offBits > d.size() || d.size() - offBits < need)
            throw EInOutError("Truncated BMP pixels");
        Decoded r;
        r.w = w;
        r.h = rows;
        r.kind = KindOf(bytesPP);
        if (bitCount == 8) {
            // The table as far as it comes before the pixels; entries it lacks stay black.
            const std::vector<gfx::TColor> table =
                gfx::ReadDibColorTable(m, h, std::min<uint32_t>(h.ColorCount(), 256), offBits);
            r.palette.assign(768, 0);
            for (size_t i = 0; i < table.size(); ++i) {
                r.palette[i * 3] = uint8_t(gfx::GetBValue(table[i]));
                r.palette[i * 3 + 1] = uint8_t(gfx::GetGValue(table[i]));
                r.palette[i * 3 + 2] = uint8_t(gfx::GetRValue(table[i]));
            }
        }
        r.px.resize(size_t(w) * rows);
        for (int32_t y = 0; y < rows; ++y) {
            const uint8_t* src = d.data() + offBits + size_t(h.TopDown ? y : rows - 1 - y) * stride;
            uint32_t* out = r.px.data() + size_t(y) * w;
            for (int32_t x = 0; x < w; ++x, src += bytesPP) {
                uint32_t v = 0;
                for (int i = bytesPP - 1; i >= 0; --i)
                    v = (v << 8) | src[i];
                out[x] = bytesPP == 2 ? (v & 0x7FFF) : v;
            }
        }
        return r;
    });
}

TRGB RgbOf(uint32_t v, Kind k, const std::vector<uint8_t>& palette)
{
    switch (k) {
    case Kind::Rgb555:
        return {uint8_t(((v >> 10) & 31) << 3), uint8_t(((v >> 5) & 31) << 3), uint8_t((v & 31) << 3)};
    case Kind::Index8:
        return {palette[v * 3 + 2], palette[v * 3 + 1], palette[v * 3]};
    default:
        return {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    }
}

}  // namespace

// ---- files -------------------------------------------------------------------------------

void TBitmap64::CheckLoadable() const
{
    if (IsScreen())
        throw std::runtime_error(kScreenLoad);
}

namespace {
// Fills `b` (already sized) from decoded pixels, into its own depth.
struct Filler {
    static void Fill(TBitmap64& b, const Decoded& d, const std::vector<uint8_t>& ownPalette)
    {
        int bpp = b.GetBpp();
        for (int32_t y = 0; y < d.h; ++y) {
            uint8_t* row = b.ScanLine(y);
            const uint32_t* src = d.px.data() + size_t(y) * d.w;
            for (int32_t x = 0; x < d.w; ++x) {
                uint32_t v = src[x], out;
                if (bpp == 15 && d.kind == Kind::Rgb555)
                    out = v;
                else if (bpp == 16 && d.kind == Kind::Rgb555)
                    out = ((v >> 10) & 31) << 11 | ((v >> 5) & 31) << 6 | (v & 31);
                else if (bpp == 8 && d.kind == Kind::Index8 && ownPalette.empty())
                    out = v;
                else {
                    TRGB c = RgbOf(v, d.kind, d.palette);
                    out = b.MakeColor(c.r, c.g, c.b);
                }
                uint8_t* p = row + int64_t(x) * b.BytesPerPixel();
                for (int i = 0; i < b.BytesPerPixel(); ++i)
                    p[i] = uint8_t(out >> (8 * i));
            }
        }
    }
};
}  // namespace

// Loads decoded pixels: a new size, then each pixel converted (8-bit files keep their indices
// and bring their palette when the bitmap has none). Alpha is dropped: 32-bit colours are
// 0x00RRGGBB like every other colour of the bitmap.
static void Load(TBitmap64& b, const Decoded& d)
{
    std::vector<uint8_t> ownPalette = b.Palette();
    b.SetSize(d.w, d.h);
    Filler::Fill(b, d, ownPalette);
    if (b.GetBpp() == 8 && ownPalette.empty() && d.kind == Kind::Index8)
        b.SetPalette(d.palette);
}

void TBitmap64::LoadFromTGA(const std::string& FileName)
{
    CheckLoadable();
    rtl::TMemoryStream m(ReadFile(FileName));
    LoadFromTGA(m);
}

void TBitmap64::LoadFromTGA(rtl::TStream& Stream)
{
    CheckLoadable();
    Decoded d = DecodeTga(ReadAll(Stream));
    Load(*this, d);
}

void TBitmap64::LoadFromBMP(const std::string& FileName)
{
    CheckLoadable();
    std::error_code ec;
    if (!std::filesystem::exists(FileName, ec))
        return;
    rtl::TMemoryStream m(ReadFile(FileName));
    LoadFromBMP(m);
}

void TBitmap64::LoadFromBMP(rtl::TStream& Stream)
{
    CheckLoadable();
    Decoded d = DecodeBmp(ReadAll(Stream));
    Load(*this, d);
}

void TBitmap64::LoadRaw(const std::string& FileName)
{
    CheckLoadable();
    rtl::TMemoryStream m(ReadFile(FileName));
    LoadRaw(m);
}

void TBitmap64::LoadRaw(rtl::TStream& Stream)
{
    CheckLoadable();
    if (bytesPP_ != 2)
        throw EInOutError("Raw pictures load into 15- or 16-bit bitmaps only");
    std::vector<uint8_t> d = ReadAll(Stream);
    if (d.size() < 32)
        throw EInOutError("Truncated raw header");
    int64_t w = int32_t(Le32(d, 4)), h = int32_t(Le32(d, 8));
    CheckSize(w, h, 2);
    if (int64_t(d.size()) - 32 < w * h * 2)
        throw EInOutError("Truncated raw pixels");
    SetSize(int32_t(w), int32_t(h));
    for (int32_t y = 0; y < height_; ++y)
        std::memcpy(Row(y), d.data() + 32 + size_t(y) * size_t(rowSize_), size_t(rowSize_));
}

void TBitmap64::SaveToTGA(rtl::TStream& Stream) const
{
    if (width_ > 0xFFFF || height_ > 0xFFFF)
        throw EInOutError("Picture too large for a TGA file");
    std::vector<uint8_t> out(18 + size_t(width_) * height_ * 2, 0);
    out[2] = 2;
    out[12] = uint8_t(width_), out[13] = uint8_t(width_ >> 8);
    out[14] = uint8_t(height_), out[15] = uint8_t(height_ >> 8);
    out[16] = 16;
    uint8_t* o = out.data() + 18;
    int greenExtra = bpp_ == 16 ? 1 : 0;
    for (int32_t y = height_ - 1; y >= 0; --y) {
        const uint8_t* p = Row(y);
        for (int32_t x = 0; x < width_; ++x, p += bytesPP_) {
            uint32_t v = Get(p), r = 0, g = 0, b = 0;
            if (bpp_ == 15 || bpp_ == 16) {
                r = (v & redMask_) >> redShift_;
                g = (v & greenMask_) >> (greenShift_ + greenExtra);
                b = v & blueMask_;
            } else if (bpp_ == 24 || bpp_ == 32) {
                r = ((v >> 16) & 0xFF) >> 3, g = ((v >> 8) & 0xFF) >> 3, b = (v & 0xFF) >> 3;
            } else if (bpp_ == 8 && !palette_.empty()) {
                r = palette_[v * 3 + 2] >> 3, g = palette_[v * 3 + 1] >> 3, b = palette_[v * 3] >> 3;
            }
            uint32_t w = r << 10 | g << 5 | b;
            *o++ = uint8_t(w), *o++ = uint8_t(w >> 8);
        }
    }
    try {
        Stream.WriteBuffer(out.data(), int64_t(out.size()));
    } catch (const rtl::EStreamError& e) {
        throw EInOutError(e.what());
    }
}

void TBitmap64::SaveToTGA(const std::string& FileName) const
{
    rtl::TMemoryStream m;
    SaveToTGA(m);
    try {
        m.SaveToFile(FileName);
    } catch (const rtl::EStreamError& e) {
        throw EInOutError(e.what());
    }
}

void TBitmap64::LoadPalette(const std::string& FileName)
{
    std::vector<uint8_t> d = ReadFile(FileName);
    if (d.size() < 768)
        throw EInOutError("Truncated palette file");
    if (palette_.empty())
        palette_.assign(768, 0);
    for (int i = 0; i < 256; ++i) {
        palette_[size_t(i) * 3 + 2] = uint8_t(d[size_t(i) * 3] * 4);
        palette_[size_t(i) * 3 + 1] = uint8_t(d[size_t(i) * 3 + 1] * 4);
        palette_[size_t(i) * 3] = uint8_t(d[size_t(i) * 3 + 2] * 4);
    }
}

}  // namespace bitmap64
