// File order as the three kinds of directory want it:
//   bilevel: header, pixel rows, X and Y resolution, software text, directory;
//   palette: header, colour map, X and Y resolution, software text, pixel rows, directory;
//   RGB:     header, X and Y resolution, bits per sample 8, 8, 8, software text, pixel rows,
//            directory.
#include "pictures/Bmp2Tiff.h"

#include <cstring>
#include <vector>

#include "platform/rtl/LittleEndian.h"

namespace {

enum : uint16_t { SHORT = 3, LONG = 4, RATIONAL = 5, ASCII = 2 };

struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
};

const char Software[] = "Tessaroven";  // written without its terminating zero

class Out {
public:
    explicit Out(rtl::TStream& s) : s_(s), start_(s.Position()) {}
    uint32_t Here() { return uint32_t(s_.Position() - start_); }
    void Bytes(const void* p, size_t n) { s_.WriteBuffer(p, int64_t(n)); }
    void U16(uint16_t v)
    {
        uint8_t b[2];
        rtl::put_le16(b, v);
        Bytes(b, 2);
    }
    void U32(uint32_t v)
    {
        uint8_t b[4];
        rtl::put_le32(b, v);
        Bytes(b, 4);
    }
    uint32_t Resolution()
    {
        const uint32_t at = Here();
        U32(877), U32(10);
        return at;
    }
    void PatchDirectoryOffset(uint32_t dir)
    {
        const int64_t end = s_.Position();
        s_.SetPosition(start_ + 4);
        U32(dir);
        s_.SetPosition(end);
    }

private:
    rtl::TStream& s_;
    int64_t start_;
};

// The rows top first, each `bytes` long, as `row` gives them.
template <class RowFn>
void writeRows(Out& out, const gfx::TBitmap& b, size_t bytes, RowFn row)
{
    std::vector<uint8_t> line(bytes);
    for (int32_t y = 0; y < b.Height(); ++y) {
        row(y, line.data());
        out.Bytes(line.data(), bytes);
    }
}

int lightness(gfx::TColor c)
{
    c = gfx::ColorToRGB(c);
    return gfx::GetRValue(c) * 30 + gfx::GetGValue(c) * 59 + gfx::GetBValue(c) * 11;
}

}  // namespace

void SaveBitmapAsTiffStream(rtl::TStream& Stream, const gfx::TBitmap& Bitmap)
{
    if (Bitmap.Empty())
        throw gfx::EInvalidGraphicOperation("Cannot save an empty bitmap as TIFF");
    const gfx::TPixelFormat f = Bitmap.PixelFormat();
    const bool bilevel = f == gfx::pf1bit, palette = f == gfx::pf4bit || f == gfx::pf8bit;
    const uint32_t w = uint32_t(Bitmap.Width()), h = uint32_t(Bitmap.Height());
    const int bits = bilevel ? 1 : palette ? gfx::TBitmap::BitsPerPixel(f) : 24;
    const size_t rowBytes = (size_t(w) * size_t(bits) + 7) / 8;

    Out out(Stream);
    out.Bytes("II", 2);
    out.U16(42);
    out.U32(8);
    uint32_t colorMap = 0, bitsPerSample = 0, rowsAt = 0;
    auto copyRow = [&](int32_t y, uint8_t* line) { std::memcpy(line, Bitmap.ScanLine(y), rowBytes); };
    if (bilevel) {
        rowsAt = out.Here();
        writeRows(out, Bitmap, rowBytes, copyRow);
    } else if (palette) {
        colorMap = out.Here();
        const size_t n = size_t(1) << bits;
        const auto& pal = Bitmap.Palette();
        for (int shift : {0, 8, 16})
            for (size_t i = 0; i < n; ++i)
                out.U16(uint16_t(((i < pal.size() ? gfx::ColorToRGB(pal[i]) : 0) >> shift & 0xFF) << 8));
    }
    const uint32_t xres = out.Resolution(), yres = out.Resolution();
    if (!bilevel && !palette) {
        bitsPerSample = out.Here();
        out.U16(8), out.U16(8), out.U16(8);
    }
    const uint32_t software = out.Here();
    out.Bytes(Software, 10);
    if (palette) {
        rowsAt = out.Here();
        writeRows(out, Bitmap, rowBytes, copyRow);
    } else if (!bilevel) {
        rowsAt = out.Here();
        gfx::TBitmap rgb;
        rgb.Assign(Bitmap);
        rgb.SetPixelFormat(gfx::pf24bit);
        writeRows(out, rgb, rowBytes, [&](int32_t y, uint8_t* line) {
            const uint8_t* p = rgb.ScanLine(y);
            for (size_t x = 0; x < w; ++x)
                line[3 * x] = p[3 * x + 2], line[3 * x + 1] = p[3 * x + 1], line[3 * x + 2] = p[3 * x];
        });
    }

    // Bilevel bits are written as they are; which value is white follows the palette.
    uint16_t photometric = 2;
    if (bilevel) {
        const auto& pal = Bitmap.Palette();
        photometric = pal.size() >= 2 && lightness(pal[0]) > lightness(pal[1]) ? 0 : 1;
    } else if (palette) {
        photometric = 3;
    }
    std::vector<Entry> dir{{254, LONG, 1, 0},
                           {256, SHORT, 1, w},
                           {257, SHORT, 1, h},
                           {258, SHORT, palette || bilevel ? 1u : 3u, palette || bilevel ? uint32_t(bits) : bitsPerSample},
                           {259, SHORT, 1, 1},
                           {262, SHORT, 1, photometric},
                           {273, LONG, 1, rowsAt},
                           {277, SHORT, 1, palette || bilevel ? 1u : 3u},
                           {278, LONG, 1, h},
                           {279, LONG, 1, uint32_t(rowBytes * h)},
                           {282, RATIONAL, 1, xres},
                           {283, RATIONAL, 1, yres}};
    if (!bilevel && !palette)
        dir.push_back({284, SHORT, 1, 1});
    dir.push_back({296, SHORT, 1, 2});
    dir.push_back({305, ASCII, 10, software});
    if (palette)
        dir.push_back({320, SHORT, 3u << bits, colorMap});

    const uint32_t at = out.Here();
    out.U16(uint16_t(dir.size()));
    for (const Entry& e : dir) {
        out.U16(e.tag), out.U16(e.type), out.U32(e.count);
        if (e.type == SHORT && e.count == 1)
            out.U16(uint16_t(e.value)), out.U16(0);
        else
            out.U32(e.value);
    }
    out.U32(0);
    out.PatchDirectoryOffset(at);
}

void SaveBitmapAsTiffFile(const std::string& FileName, const gfx::TBitmap& Bitmap)
{
    rtl::TMemoryStream m;
    SaveBitmapAsTiffStream(m, Bitmap);
    m.SaveToFile(FileName);
}
