#include "platform/gfx/Bitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_map>

#include "platform/gfx/DibHeader.h"
#include "platform/gfx/Raster.h"
#include "platform/rtl/LittleEndian.h"

namespace gfx {

namespace {

std::unique_ptr<TGraphic> createBitmap() { return std::make_unique<TBitmap>(); }

// The canvas of a bitmap paints on the bitmap's own pixels.
class BitmapCanvas : public TCanvas {
public:
    explicit BitmapCanvas(TBitmap& b) : bitmap_(b) {}
    QImage* Surface() override
    {
        QImage& v = bitmap_.PaintImage();
        return v.isNull() ? nullptr : &v;
    }

protected:
    void Changed() override
    {
        if (bitmap_.OnChange)
            bitmap_.OnChange();
    }

private:
    TBitmap& bitmap_;
};

bool isIndexed(TPixelFormat f) { return f == pf1bit || f == pf4bit || f == pf8bit; }

int64_t strideFor(int64_t w, int bpp) { return ((w * bpp + 31) / 32) * 4; }

[[noreturn]] void invalidBitmap() { throw EInvalidGraphic("Bitmap image is not valid"); }

// Nearest palette entry by squared RGB distance, remembered per colour.
class PaletteMatcher {
public:
    explicit PaletteMatcher(const std::vector<TColor>& p) : palette_(p) {}
    uint32_t index(TColor c)
    {
        auto it = cache_.find(c);
        if (it != cache_.end())
            return it->second;
        uint32_t best = 0;
        int bestDist = 1 << 30;
        for (size_t i = 0; i < palette_.size(); ++i) {
            const int dr = GetRValue(c) - GetRValue(palette_[i]);
            const int dg = GetGValue(c) - GetGValue(palette_[i]);
            const int db = GetBValue(c) - GetBValue(palette_[i]);
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestDist) { bestDist = d; best = uint32_t(i); }
        }
        cache_.emplace(c, best);
        return best;
    }

private:
    const std::vector<TColor>& palette_;
    std::unordered_map<TColor, uint32_t> cache_;
};

int expand5(int v) { return (v << 3) | (v >> 2); }
int expand6(int v) { return (v << 2) | (v >> 4); }

using rtl::le16;
using rtl::le32;
constexpr auto put16 = rtl::append_le16;
constexpr auto put32 = rtl::append_le32;

// Raw pixel value (index or packed colour) of the storage of one row.
uint32_t rawGet(const uint8_t* row, int32_t x, int bpp)
{
    switch (bpp) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    case 8: return row[x];
    case 16: return le16(row + 2 * x);
    case 24: return row[3 * x] | (row[3 * x + 1] << 8) | (uint32_t(row[3 * x + 2]) << 16);
    default: return le32(row + 4 * x) & 0xFFFFFF;
    }
}

void rawSet(uint8_t* row, int32_t x, int bpp, uint32_t v)
{
    switch (bpp) {
    case 1: {
        const uint8_t bit = uint8_t(0x80 >> (x & 7));
        row[x >> 3] = uint8_t((row[x >> 3] & ~bit) | (v & 1 ? bit : 0));
        return;
    }
    case 4: {
        uint8_t& b = row[x >> 1];
        b = (x & 1) ? uint8_t((b & 0xF0) | (v & 15)) : uint8_t((b & 0x0F) | ((v & 15) << 4));
        return;
    }
    case 8: row[x] = uint8_t(v); return;
    case 16: row[2 * x] = uint8_t(v); row[2 * x + 1] = uint8_t(v >> 8); return;
    case 24: row[3 * x] = uint8_t(v); row[3 * x + 1] = uint8_t(v >> 8); row[3 * x + 2] = uint8_t(v >> 16); return;
    default:
        row[4 * x] = uint8_t(v); row[4 * x + 1] = uint8_t(v >> 8); row[4 * x + 2] = uint8_t(v >> 16);
        row[4 * x + 3] = 0xFF;
        return;
    }
}

// Packed value <-> colour for the direct formats. 24/32-bit raw values hold blue in the low
// byte, the reverse of TColor.
TColor rawToColor(uint32_t v, TPixelFormat f)
{
    switch (f) {
    case pf15bit: return RGB(expand5((v >> 10) & 31), expand5((v >> 5) & 31), expand5(v & 31));
    case pf16bit: return RGB(expand5((v >> 11) & 31), expand6((v >> 5) & 63), expand5(v & 31));
    default: return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
}

uint32_t colorToRaw(TColor c, TPixelFormat f)
{
    const uint32_t r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    switch (f) {
    case pf15bit: return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case pf16bit: return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    default: return (r << 16) | (g << 8) | b;
    }
}

}  // namespace

const TGraphicClassInfo TBitmap::ClassInfo{"TBitmap", createBitmap};

std::vector<TColor> DefaultPalette(TPixelFormat f)
{
    switch (f) {
    case pf1bit:
        return {clBlack, clWhite};
    case pf4bit:
        return {clBlack, clMaroon, clGreen, clOlive, clNavy, clPurple, clTeal, clSilver,
                clGray, clRed, clLime, clYellow, clBlue, clFuchsia, clAqua, clWhite};
    case pf8bit: {
        std::vector<TColor> p;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    p.push_back(RGB(r * 51, g * 51, b * 51));
        for (int i = 0; i < 40; ++i) {
            const int v = (i + 1) * 255 / 41;
            p.push_back(RGB(v, v, v));
        }
        return p;
    }
    default:
        return {};
    }
}

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int32_t width, int32_t height, TPixelFormat format)
{
    format_ = format;
    palette_ = DefaultPalette(format);
    SetSize(width, height);
}

TBitmap::~TBitmap() = default;

int TBitmap::BitsPerPixel(TPixelFormat f)
{
    switch (f) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
    }
}

void TBitmap::allocate(int32_t w, int32_t h, TPixelFormat f)
{
    w = std::max(0, w);
    h = std::max(0, h);
    const int64_t stride = strideFor(w, BitsPerPixel(f));
    if (w > MaxSide || h > MaxSide || stride * h > MaxPixelBytes)
        throw EInvalidGraphicOperation("Bitmap too large");
    bits_.assign(size_t(stride * h), 0);
    width_ = w;
    height_ = h;
    stride_ = int32_t(stride);
    if (isIndexed(f) != isIndexed(format_) || BitsPerPixel(f) != BitsPerPixel(format_) || palette_.empty())
        palette_ = DefaultPalette(f);
    format_ = f;
    rebuildView();
}

void TBitmap::rebuildView()
{
    view_ = QImage();
    if (Empty() || isIndexed(format_))
        return;
    QImage::Format qf = QImage::Format_RGB32;
    switch (format_) {
    case pf15bit: qf = QImage::Format_RGB555; break;
    case pf16bit: qf = QImage::Format_RGB16; break;
    case pf24bit: qf = QImage::Format_BGR888; break;
    default: break;
    }
    view_ = QImage(bits_.data(), width_, height_, stride_, qf);
}

void TBitmap::SetSize(int32_t w, int32_t h)
{
    w = std::max(0, w);
    h = std::max(0, h);
    if (w == width_ && h == height_)
        return;
    const std::vector<uint8_t> old = std::move(bits_);
    const int32_t oldW = width_, oldH = height_, oldStride = stride_;
    const std::vector<TColor> palette = palette_;
    try {
        allocate(w, h, format_);
    } catch (...) {
        bits_ = old;
        throw;
    }
    palette_ = palette.empty() ? palette_ : palette;
    const int bpp = BitsPerPixel(format_);
    const uint32_t white = isIndexed(format_) ? PaletteMatcher(palette_).index(clWhite)
                                              : colorToRaw(clWhite, format_);
    // One white row, copied under every row and then overwritten by the kept pixels: a large
    // new size costs a copy per row, not a call per pixel.
    std::vector<uint8_t> whiteRow(static_cast<size_t>(stride_));
    for (int32_t x = 0; x < w; ++x)
        rawSet(whiteRow.data(), x, bpp, white);
    const int32_t keptW = std::min(oldW, w);
    // A picture without width has no row bytes to copy (and no buffer to copy them to or from).
    for (int32_t y = 0; y < h && !whiteRow.empty(); ++y) {
        uint8_t* row = bits_.data() + size_t(y) * stride_;
        std::memcpy(row, whiteRow.data(), whiteRow.size());
        if (y >= oldH || keptW == 0)
            continue;
        const uint8_t* src = old.data() + size_t(y) * oldStride;
        if (bpp % 8 == 0) {
            std::memcpy(row, src, size_t(keptW) * size_t(bpp / 8));
            continue;
        }
        for (int32_t x = 0; x < keptW; ++x)
            rawSet(row, x, bpp, rawGet(src, x, bpp));
    }
    Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat f)
{
    if (f == format_)
        return;
    if (Empty()) {
        allocate(width_, height_, f);
        return;
    }
    const QImage img = ToImage();
    allocate(width_, height_, f);
    fillFromImage(img, width_, height_);
    Changed();
}

uint8_t* TBitmap::ScanLine(int32_t y)
{
    if (y < 0 || y >= height_)
        throw EInvalidGraphicOperation("Scan line index out of range");
    return bits_.data() + size_t(y) * stride_;
}

const uint8_t* TBitmap::ScanLine(int32_t y) const
{
    return const_cast<TBitmap*>(this)->ScanLine(y);
}

void TBitmap::SetPalette(const std::vector<TColor>& colors)
{
    if (!isIndexed(format_))
        return;
    const size_t n = size_t(1) << BitsPerPixel(format_);
    palette_.assign(n, clBlack);
    for (size_t i = 0; i < std::min(n, colors.size()); ++i)
        palette_[i] = ColorToRGB(colors[i]);
    Changed();
}

TCanvas& TBitmap::Canvas()
{
    if (!canvas_)
        canvas_ = std::make_unique<BitmapCanvas>(*this);
    return *canvas_;
}

QImage& TBitmap::PaintImage()
{
    if (isIndexed(format_))
        SetPixelFormat(pf24bit);
    return view_;
}

TColor TBitmap::TransparentColor() const
{
    if (transparentMode_ == tmFixed && transparentColor_ != clDefault)
        return transparentColor_;
    return Empty() ? clBlack : PixelColor(0, height_ - 1);
}

void TBitmap::SetTransparentColor(TColor c)
{
    transparentColor_ = c;
    transparentMode_ = c == clDefault ? tmAuto : tmFixed;
}

TColor TBitmap::PixelColor(int32_t x, int32_t y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return -1;
    const uint32_t v = rawGet(bits_.data() + size_t(y) * stride_, x, BitsPerPixel(format_));
    if (isIndexed(format_))
        return v < palette_.size() ? palette_[v] : clBlack;
    return rawToColor(v, format_);
}

std::unique_ptr<TBitmap> TBitmap::CreateMask(TColor color) const
{
    auto mask = std::make_unique<TBitmap>(width_, height_, pf1bit);
    const TColor key = ColorToRGB(color);
    for (int32_t y = 0; y < height_; ++y) {
        uint8_t* row = mask->ScanLine(y);
        for (int32_t x = 0; x < width_; ++x)
            rawSet(row, x, 1, PixelColor(x, y) == key ? 1 : 0);
    }
    return mask;
}

QImage TBitmap::ToImage() const
{
    // A deep copy always: a shallow one would share (and later detach) the painting view.
    if (!view_.isNull())
        return view_.format() == QImage::Format_RGB32 ? view_.copy() : view_.convertToFormat(QImage::Format_RGB32);
    QImage out(width_, height_, QImage::Format_RGB32);
    for (int32_t y = 0; y < height_; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int32_t x = 0; x < width_; ++x)
            line[x] = raster::toQRgb(PixelColor(x, y));
    }
    return out;
}

void TBitmap::fillFromImage(const QImage& src, int32_t w, int32_t h)
{
    const QImage rgb = src.format() == QImage::Format_RGB32 ? src : src.convertToFormat(QImage::Format_RGB32);
    const int bpp = BitsPerPixel(format_);
    PaletteMatcher match(palette_);
    for (int32_t y = 0; y < h && y < rgb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uint8_t* row = bits_.data() + size_t(y) * stride_;
        for (int32_t x = 0; x < w && x < rgb.width(); ++x) {
            const TColor c = raster::fromQRgb(line[x]);
            rawSet(row, x, bpp, isIndexed(format_) ? match.index(c) : colorToRaw(c, format_));
        }
    }
}

void TBitmap::FromImage(const QImage& image, bool keep32)
{
    allocate(image.width(), image.height(), keep32 ? pf32bit : pf24bit);
    fillFromImage(image, width_, height_);
    Changed();
}

void TBitmap::Assign(const TGraphic& source)
{
    if (&source == this)
        return;
    if (const auto* b = dynamic_cast<const TBitmap*>(&source)) {
        bits_ = b->bits_;
        width_ = b->width_;
        height_ = b->height_;
        stride_ = b->stride_;
        format_ = b->format_;
        palette_ = b->palette_;
        transparentMode_ = b->transparentMode_;
        transparentColor_ = b->transparentColor_;
        SetTransparent(b->Transparent());
        rebuildView();
        Changed();
        return;
    }
    source.AssignTo(*this);
}

void TBitmap::AssignTo(TBitmap& dest) const
{
    dest.Assign(*this);
}

void TBitmap::Draw(TCanvas& canvas, const TRect& r) const
{
    if (Empty())
        return;
    const TColor key = Transparent() ? TransparentColor() : clNone;
    const bool direct = !view_.isNull() && canvas.Surface() != &view_;
    canvas.DrawImage(direct ? view_ : ToImage(), Rect(0, 0, width_, height_), r, key);
}

// ---- BMP ----

namespace {

struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    bool valid() const { return mask != 0 && bits <= 8 * 4; }
    int value(uint32_t v) const
    {
        const uint32_t x = (v & mask) >> shift;
        if (bits >= 8)
            return int(x >> (bits - 8));
        return bits == 0 ? 0 : int((x * 255 + ((1u << bits) - 1) / 2) / ((1u << bits) - 1));
    }
};

Channel channel(uint32_t mask)
{
    Channel c;
    c.mask = mask;
    if (!mask)
        return c;
    c.shift = std::countr_zero(mask);
    const uint32_t m = mask >> c.shift;
    c.bits = std::countr_one(m);
    if (c.bits < 32 && (m >> c.bits) != 0)  // not one contiguous run
        c.mask = 0;
    return c;
}

}  // namespace

// Rows in the data run bottom-up; row(0) is the top row.
void DecodeBmpRle(const std::vector<uint8_t>& data, bool four, int32_t w, int32_t h,
                  const std::function<uint8_t*(int32_t y)>& row)
{
    int64_t x = 0, y = 0;
    size_t i = 0;
    uint8_t* line = nullptr;
    int64_t lineY = -1;
    auto put = [&](uint8_t v) {
        if (x < w && y < h) {
            if (lineY != y) {
                line = row(int32_t(h - 1 - y));
                lineY = y;
            }
            rawSet(line, int32_t(x), four ? 4 : 8, v);
        }
        ++x;
    };
    while (i + 1 < data.size() && y < h) {
        const uint8_t n = data[i], v = data[i + 1];
        i += 2;
        if (n > 0) {
            for (int k = 0; k < n; ++k)
                put(four ? uint8_t((k & 1) ? (v & 15) : (v >> 4)) : v);
            continue;
        }
        if (v == 0) { x = 0; ++y; }
        else if (v == 1) { return; }
        else if (v == 2) {
            if (i + 1 >= data.size()) invalidBitmap();
            x += data[i]; y += data[i + 1];
            i += 2;
        } else {
            const size_t bytes = four ? (size_t(v) + 1) / 2 : v;
            if (i + bytes > data.size()) invalidBitmap();
            for (int k = 0; k < v; ++k)
                put(four ? uint8_t((k & 1) ? (data[i + k / 2] & 15) : (data[i + k / 2] >> 4)) : data[i + k]);
            i += bytes + (bytes & 1);
        }
    }
}
void TBitmap::LoadFromStream(rtl::TStream& stream)
{
    try {
        readBmp(stream);
    } catch (const rtl::EReadError&) {
        invalidBitmap();
    } catch (const EBmpHeader&) {
        invalidBitmap();
    }
}

void TBitmap::readBmp(rtl::TStream& stream)
{
    const int64_t base = stream.Position();
    const TBmpFileHeader file = ReadBmpFileHeader(stream);
    const TDibHeader h = ReadDibHeader(stream);
    const uint32_t bpp = h.BitCount, compression = h.Compression;
    const uint32_t masks[3] = {h.RedMask, h.GreenMask, h.BlueMask};
    const bool topDown = h.TopDown;
    const int64_t width = h.Width, height = h.Height;
    const bool validDepth = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    if (!h.KnownVersion() || h.Planes != 1 || !validDepth ||
        (compression == BI_BITFIELDS && bpp != 16 && bpp != 32))
        invalidBitmap();

    // Palette.
    std::vector<TColor> palette;
    if (bpp <= 8) {
        if (h.ColorCount() > (1u << bpp))
            invalidBitmap();
        palette = ReadDibColorTable(stream, h, h.ColorCount());
    }
    if (file.OffBits != 0) {
        const int64_t dataPos = base + file.OffBits;
        if (dataPos < stream.Position() || dataPos > stream.Size())
            invalidBitmap();
        stream.SetPosition(dataPos);
    }

    // Format of the result.
    TPixelFormat format = bpp == 1 ? pf1bit : bpp == 4 ? pf4bit : bpp == 8 ? pf8bit
                        : bpp == 24 ? pf24bit : bpp == 32 ? pf32bit : pf15bit;
    Channel ch[3];
    bool generic = false;
    if (compression == BI_BITFIELDS) {
        for (int k = 0; k < 3; ++k) {
            ch[k] = channel(masks[k]);
            if (!ch[k].valid())
                invalidBitmap();
        }
        if (bpp == 16 && masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F)
            format = pf16bit;
        else if (bpp == 16 && masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)
            format = pf15bit;
        else if (!(bpp == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF)) {
            generic = true;
            format = bpp == 16 ? pf24bit : pf32bit;
        }
    }

    const int64_t fileStride = h.RowBytes();
    const bool rle = h.Rle();
    // A short file claiming a large picture is refused before its pixels are allocated.
    if (!rle && stream.Size() - stream.Position() < fileStride * height)
        invalidBitmap();

    TBitmap tmp;
    tmp.format_ = format;
    tmp.allocate(int32_t(width), int32_t(height), format);
    if (!palette.empty()) {
        tmp.palette_.assign(size_t(1) << bpp, clBlack);
        std::copy(palette.begin(), palette.end(), tmp.palette_.begin());
    }
    if (rle) {
        std::vector<uint8_t> data(size_t(stream.Remaining()));
        data.resize(size_t(stream.Read(data.data(), int64_t(data.size()))));
        DecodeBmpRle(data, compression == BI_RLE4, int32_t(width), int32_t(height),
                     [&tmp](int32_t y) { return tmp.ScanLine(y); });
    } else {
        std::vector<uint8_t> row(static_cast<size_t>(fileStride));
        for (int64_t i = 0; i < height; ++i) {
            if (stream.Read(row.data(), fileStride) != fileStride)
                invalidBitmap();
            uint8_t* dest = tmp.ScanLine(int32_t(topDown ? i : height - 1 - i));
            if (!generic) {
                std::memcpy(dest, row.data(), size_t(std::min<int64_t>(fileStride, tmp.stride_)));
                if (bpp == 32)
                    for (int32_t x = 0; x < width; ++x) dest[4 * x + 3] = 0xFF;
                continue;
            }
            const int outBpp = BitsPerPixel(format);
            for (int32_t x = 0; x < width; ++x) {
                const uint32_t v = bpp == 16 ? le16(row.data() + 2 * x) : le32(row.data() + 4 * x);
                const TColor c = RGB(ch[0].value(v), ch[1].value(v), ch[2].value(v));
                rawSet(dest, x, outBpp, colorToRaw(c, format));
            }
        }
    }
    bits_ = std::move(tmp.bits_);
    width_ = tmp.width_;
    height_ = tmp.height_;
    stride_ = tmp.stride_;
    format_ = tmp.format_;
    palette_ = std::move(tmp.palette_);
    rebuildView();
    Changed();
}

void TBitmap::SaveToStream(rtl::TStream& stream)
{
    const int bpp = BitsPerPixel(format_);
    const bool bitfields = format_ == pf16bit;
    const uint32_t colors = isIndexed(format_) ? (1u << bpp) : 0;
    const uint32_t headerBytes = 14 + 40 + (bitfields ? 12 : 0) + colors * 4;
    const uint32_t imageBytes = uint32_t(stride_) * uint32_t(height_);
    std::vector<uint8_t> h;
    h.push_back('B'); h.push_back('M');
    put32(h, headerBytes + imageBytes);
    put32(h, 0);
    put32(h, headerBytes);
    put32(h, 40);
    put32(h, uint32_t(width_));
    put32(h, uint32_t(height_));
    put16(h, 1);
    put16(h, uint32_t(bpp));
    put32(h, bitfields ? BI_BITFIELDS : BI_RGB);
    put32(h, imageBytes);
    put32(h, 3780);  // 96 dpi in pixels per metre
    put32(h, 3780);
    put32(h, colors);
    put32(h, 0);
    if (bitfields) { put32(h, 0xF800); put32(h, 0x07E0); put32(h, 0x001F); }
    for (uint32_t k = 0; k < colors; ++k) {
        const TColor c = k < palette_.size() ? palette_[k] : clBlack;
        h.push_back(uint8_t(GetBValue(c))); h.push_back(uint8_t(GetGValue(c)));
        h.push_back(uint8_t(GetRValue(c))); h.push_back(0);
    }
    stream.WriteBuffer(h.data(), int64_t(h.size()));
    std::vector<uint8_t> row(static_cast<size_t>(stride_));
    for (int32_t y = height_ - 1; y >= 0; --y) {
        std::memcpy(row.data(), ScanLine(y), row.size());
        if (bpp == 32)
            for (int32_t x = 0; x < width_; ++x) row[4 * x + 3] = 0;
        stream.WriteBuffer(row.data(), int64_t(row.size()));
    }
}

}  // namespace gfx
