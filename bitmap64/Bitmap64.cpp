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

int BytesFor(int bpp) { return (bpp + 7) / 8; }

}  // namespace

// ---- construction and memory ------------------------------------------------------------

TBitmap64::TBitmap64(int32_t Width, int32_t Height, int Bpp)
{
    bpp_ = Bpp;
    bytesPP_ = BytesFor(Bpp);
    SetMasks();
    TBitmap64::SetSize(Width, Height);
}

void TBitmap64::SetMasks()
{
    redMask_ = greenMask_ = blueMask_ = 0;
    redShift_ = greenShift_ = blueShift_ = 0;
    if (bpp_ == 15) {
        redMask_ = 0x7C00, greenMask_ = 0x03E0, blueMask_ = 0x001F;
        redShift_ = 10, greenShift_ = 5;
    } else if (bpp_ == 16) {
        redMask_ = 0xF800, greenMask_ = 0x07E0, blueMask_ = 0x001F;
        redShift_ = 11, greenShift_ = 5;
    } else if (bpp_ == 24 || bpp_ == 32) {
        redMask_ = 0xFF0000, greenMask_ = 0x00FF00, blueMask_ = 0x0000FF;
        redShift_ = 16, greenShift_ = 8;
    }
}

void TBitmap64::SetGeometry(int32_t w, int32_t h)
{
    width_ = w;
    height_ = h;
    rowSize_ = w * bytesPP_;
}

void TBitmap64::SetBpp(int b)
{
    int old = bytesPP_;
    bpp_ = b;
    bytesPP_ = BytesFor(b);
    SetMasks();
    if (old != bytesPP_) {
        int32_t w = width_, h = height_;
        width_ = height_ = -1;  // force new memory
        SetSize(w, h);
    }
}

void TBitmap64::SetSize(int32_t W, int32_t H)
{
    W = std::max(W, 0);
    H = std::max(H, 0);
    if (W == width_ && H == height_)
        return;
    if (W > gfx::TBitmap::MaxSide || H > gfx::TBitmap::MaxSide ||
        int64_t(W) * H * bytesPP_ > gfx::TBitmap::MaxPixelBytes)
        throw gfx::EInvalidGraphicOperation("Bitmap too large");
    own_.assign(size_t(W) * H * bytesPP_, 0);
    SetGeometry(W, H);
    Bind(own_.data(), rowSize_);
}

uint8_t* TBitmap64::ScanLine(int32_t y)
{
    return y >= 0 && y < height_ ? Row(y) : nullptr;
}

const uint8_t* TBitmap64::ScanLine(int32_t y) const
{
    return y >= 0 && y < height_ ? Row(y) : nullptr;
}

uint8_t* TBitmap64::PixelAddress(int32_t x, int32_t y)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return nullptr;
    return Row(y) + int64_t(x) * bytesPP_;
}

void TBitmap64::SetPalette(const std::vector<uint8_t>& bgr768)
{
    palette_.assign(768, 0);
    std::copy_n(bgr768.begin(), std::min<size_t>(768, bgr768.size()), palette_.begin());
}

// ---- pixels -------------------------------------------------------------------------------

uint32_t TBitmap64::Get(const uint8_t* p) const
{
    switch (bytesPP_) {
    case 1: return p[0];
    case 2: return uint32_t(p[0] | (p[1] << 8));
    case 3: return uint32_t(p[0] | (p[1] << 8) | (p[2] << 16));
    case 4: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    default: return 0;
    }
}

void TBitmap64::Put(uint8_t* p, uint32_t c) const
{
    switch (bytesPP_) {
    case 1: p[0] = uint8_t(c); break;
    case 2: p[0] = uint8_t(c), p[1] = uint8_t(c >> 8); break;
    case 3: p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16); break;
    case 4: std::memcpy(p, &c, 4); break;
    default: break;
    }
}

uint32_t TBitmap64::Half(uint32_t a, uint32_t b) const
{
    uint32_t m = bpp_ == 15 ? 0x3DEF : bpp_ == 16 ? 0x7BEF : bpp_ == 32 || bpp_ == 24 ? 0x7F7F7F : 0;
    if (m == 0)
        return b;  // palette indices do not mix
    return ((a >> 1) & m) + ((b >> 1) & m);
}

void TBitmap64::Channels(uint32_t c, int& r, int& g, int& b) const
{
    r = int((c & redMask_) >> redShift_);
    g = int((c & greenMask_) >> greenShift_);
    b = int((c & blueMask_) >> blueShift_);
}

uint32_t TBitmap64::Pack(int r, int g, int b) const
{
    return (uint32_t(r) << redShift_) | (uint32_t(g) << greenShift_) | (uint32_t(b) << blueShift_);
}

void TBitmap64::SetPixel(int32_t x, int32_t y, uint32_t Color)
{
    if (bytesPP_ == 3)
        return;
    if (uint8_t* p = PixelAddress(x, y))
        Put(p, Color);
}

uint32_t TBitmap64::GetPixel(int32_t x, int32_t y) const
{
    if (bytesPP_ == 3 || x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    return Get(Row(y) + int64_t(x) * bytesPP_);
}

void TBitmap64::BlendPixel(int32_t x, int32_t y, uint32_t Color)
{
    if (uint8_t* p = PixelAddress(x, y))
        Put(p, Half(Color, Get(p)));
}

// ---- colours -----------------------------------------------------------------------------

TRGB TBitmap64::ColorToRGB(uint32_t c) const
{
    switch (bpp_) {
    case 15: return {uint8_t((c >> 10 & 31) * 8), uint8_t(((c >> 5) & 31) * 8), uint8_t((c & 31) * 8)};
    case 16: return {uint8_t((c >> 11 & 31) * 8), uint8_t(((c >> 5) & 63) * 4), uint8_t((c & 31) * 8)};
    case 24:
    case 32: return {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
    default: return {};
    }
}

uint32_t TBitmap64::MakeColor(int R, int G, int B) const
{
    R &= 0xFF, G &= 0xFF, B &= 0xFF;
    switch (bpp_) {
    case 8: {
        if (palette_.empty())
            return 0;
        int best = 10000, index = 0;
        for (int i = 0; i < 256; ++i) {
            int db = palette_[size_t(i) * 3] - B, dg = palette_[size_t(i) * 3 + 1] - G,
                dr = palette_[size_t(i) * 3 + 2] - R;
            int dist = dr * dr + dg * dg + db * db;
            if (dist < best)
                best = dist, index = i;
        }
        return uint32_t(index);
    }
    case 15: return uint32_t((R & 0xF8) << 7) + uint32_t((G >> 3) << 5) + uint32_t(B >> 3);
    case 16: return uint32_t((R & 0xF8) << 8) + uint32_t((G >> 2) << 5) + uint32_t(B >> 3);
    case 24:
    case 32: return uint32_t(R << 16) + uint32_t(G << 8) + uint32_t(B);
    default: return 0;
    }
}

uint32_t TBitmap64::MakeColorFromTColor(gfx::TColor c) const
{
    return MakeColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// ---- lines and areas ---------------------------------------------------------------------

void TBitmap64::HLine(int32_t x1, int32_t y, uint32_t Color, int32_t x2)
{
    if (x1 > x2)
        std::swap(x1, x2);
    if (y < 0 || y >= height_ || x2 < 0 || x1 >= width_)
        return;
    x1 = std::max(x1, 0);
    x2 = std::min(x2, width_ - 1);
    uint8_t* p = Row(y) + int64_t(x1) * bytesPP_;
    if (bytesPP_ == 1) {
        std::memset(p, int(Color & 0xFF), size_t(x2 - x1 + 1));
        return;
    }
    for (int32_t x = x1; x <= x2; ++x, p += bytesPP_)
        Put(p, Color);
}

void TBitmap64::HLineBlend(int32_t x1, int32_t y, uint32_t Color, int32_t x2)
{
    if (x1 > x2)
        std::swap(x1, x2);
    if (y < 0 || y >= height_ || x2 < 0 || x1 >= width_)
        return;
    x1 = std::max(x1, 0);
    x2 = std::min(x2, width_ - 1);
    uint8_t* p = Row(y) + int64_t(x1) * bytesPP_;
    for (int32_t x = x1; x <= x2; ++x, p += bytesPP_)
        Put(p, Half(Color, Get(p)));
}

void TBitmap64::VLine(int32_t x, int32_t y1, uint32_t Color, int32_t y2)
{
    if (y1 > y2)
        std::swap(y1, y2);
    if (x < 0 || x >= width_ || y2 < 0 || y1 >= height_)
        return;
    y1 = std::max(y1, 0);
    y2 = std::min(y2, height_ - 1);
    for (int32_t y = y1; y <= y2; ++y)
        Put(Row(y) + int64_t(x) * bytesPP_, Color);
}

namespace {
template <class Plot>
void Bresenham(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Plot plot)
{
    int64_t dx = std::abs(int64_t(x2) - x1), dy = std::abs(int64_t(y2) - y1);
    int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
    int64_t x = x1, y = y1;
    if (dx >= dy) {
        int64_t err = dx / 2;
        for (int64_t i = 0; i <= dx; ++i, x += sx) {
            plot(int32_t(x), int32_t(y));
            err -= dy;
            if (err < 0)
                y += sy, err += dx;
        }
    } else {
        int64_t err = dy / 2;
        for (int64_t i = 0; i <= dy; ++i, y += sy) {
            plot(int32_t(x), int32_t(y));
            err -= dx;
            if (err < 0)
                x += sx, err += dy;
        }
    }
}
}  // namespace

void TBitmap64::Line(int32_t x1, int32_t y1, uint32_t Color, int32_t x2, int32_t y2)
{
    Bresenham(x1, y1, x2, y2, [&](int32_t x, int32_t y) {
        if (uint8_t* p = PixelAddress(x, y))
            Put(p, Color);
    });
}

void TBitmap64::LineBlend(int32_t x1, int32_t y1, uint32_t Color, int32_t x2, int32_t y2)
{
    Bresenham(x1, y1, x2, y2, [&](int32_t x, int32_t y) { BlendPixel(x, y, Color); });
}

void TBitmap64::Ellipse(int32_t cx, int32_t cy, uint32_t Color, int32_t rx, int32_t ry)
{
    if (rx < 0 || ry < 0)
        return;
    auto plot4 = [&](int64_t x, int64_t y) {
        for (int64_t px : {cx + x, cx - x})
            for (int64_t py : {cy + y, cy - y})
                if (px >= 0 && py >= 0 && px < width_ && py < height_)
                    Put(Row(int32_t(py)) + px * bytesPP_, Color);
    };
    // Midpoint ellipse: region 1 steps x while the slope is shallow, region 2 steps y.
    int64_t a2 = int64_t(rx) * rx, b2 = int64_t(ry) * ry;
    int64_t x = 0, y = ry;
    int64_t d1 = 4 * b2 - 4 * a2 * ry + a2;  // 4x the midpoint decision
    while (b2 * x <= a2 * y) {
        plot4(x, y);
        if (d1 < 0) {
            d1 += 4 * b2 * (2 * x + 3);
        } else {
            d1 += 4 * b2 * (2 * x + 3) - 8 * a2 * (y - 1);
            --y;
        }
        ++x;
    }
    int64_t d2 = b2 * (2 * x + 1) * (2 * x + 1) + 4 * a2 * (y - 1) * (y - 1) - 4 * a2 * b2;
    while (y >= 0) {
        plot4(x, y);
        if (d2 > 0) {
            d2 += 4 * a2 * (3 - 2 * y);
        } else {
            d2 += 8 * b2 * (x + 1) + 4 * a2 * (3 - 2 * y);
            ++x;
        }
        --y;
    }
}

void TBitmap64::FillRect(int32_t x1, int32_t y1, uint32_t Color, int32_t x2, int32_t y2)
{
    if (y1 > y2)
        std::swap(y1, y2);
    y1 = std::max(y1, 0);
    y2 = std::min(y2, height_ - 1);
    for (int32_t y = y1; y <= y2; ++y)
        HLine(x1, y, Color, x2);
}

void TBitmap64::Rectangle(int32_t x1, int32_t y1, uint32_t Color, int32_t x2, int32_t y2)
{
    HLine(x1, y1, Color, x2);
    HLine(x1, y2, Color, x2);
    VLine(x1, y1, Color, y2);
    VLine(x2, y1, Color, y2);
}

void TBitmap64::FillRectBlend(int32_t x1, int32_t y1, uint32_t Color, int32_t x2, int32_t y2)
{
    if (y1 > y2)
        std::swap(y1, y2);
    y1 = std::max(y1, 0);
    y2 = std::min(y2, height_ - 1);
    for (int32_t y = y1; y <= y2; ++y)
        HLineBlend(x1, y, Color, x2);
}

// ---- blits -------------------------------------------------------------------------------

bool TBitmap64::ClipTo(int32_t x, int32_t y, const TBitmap64& Src, Clip& c) const
{
    int64_t x1 = std::max<int64_t>(x, 0), y1 = std::max<int64_t>(y, 0);
    int64_t x2 = std::min<int64_t>(int64_t(x) + Src.width_, width_);
    int64_t y2 = std::min<int64_t>(int64_t(y) + Src.height_, height_);
    if (x2 <= x1 || y2 <= y1)
        return false;
    c = {int32_t(x1 - x), int32_t(y1 - y), int32_t(x1), int32_t(y1), int32_t(x2 - x1), int32_t(y2 - y1)};
    return true;
}

// Runs f(dst, src) over the clipped pixels not skipped by Src's transparent colour (always
// skipped when `always`, else only with Src's transparent flag).
#define FOR_CLIPPED(always, ...)                                                          \
    for (int32_t j = 0; j < c.h; ++j) {                                                  \
        uint8_t* dp = Row(c.dy + j) + int64_t(c.dx) * bytesPP_;                          \
        const uint8_t* sp = Src.Row(c.sy + j) + int64_t(c.sx) * Src.bytesPP_;             \
        for (int32_t i = 0; i < c.w; ++i, dp += bytesPP_, sp += Src.bytesPP_) {          \
            uint32_t s = Src.Get(sp);                                                    \
            if (((always) || Src.Transparent) && s == Src.TransparentColor)              \
                continue;                                                                \
            __VA_ARGS__                                                                  \
        }                                                                                \
    }

void TBitmap64::Draw(int32_t x, int32_t y, const TBitmap64& Src)
{
    if (Src.bpp_ != bpp_)
        throw std::runtime_error("Can't draw into bitmap with diferent color depth");
    Clip c;
    if (!ClipTo(x, y, Src, c))
        return;
    FOR_CLIPPED(false, Put(dp, s);)
}

void TBitmap64::StretchDraw(int32_t x, int32_t y, int32_t w, int32_t h, const TBitmap64& Src)
{
    if (bytesPP_ != 2 || Src.bytesPP_ != 2)
        throw std::runtime_error("Sorry, can't ....");
    if (w == Src.width_ && h == Src.height_) {
        Draw(x, y, Src);
        return;
    }
    if (w <= 0 || h <= 0 || Src.width_ == 0 || Src.height_ == 0)
        return;
    // 16.16 steps through the source.
    int64_t stepX = (int64_t(Src.width_) << 16) / w, stepY = (int64_t(Src.height_) << 16) / h;
    for (int32_t j = std::max(0, -y); j < h && y + j < height_; ++j) {
        const uint8_t* srow = Src.Row(int32_t((j * stepY) >> 16));
        uint8_t* drow = Row(y + j);
        for (int32_t i = std::max(0, -x); i < w && x + i < width_; ++i) {
            uint32_t s = Src.Get(srow + ((i * stepX) >> 16) * 2);
            if (!(Src.Transparent && s == Src.TransparentColor))
                Put(drow + int64_t(x + i) * 2, s);
        }
    }
}

void TBitmap64::DrawBlend(int32_t x, int32_t y, double SrcWeight, double DstWeight, const TBitmap64& Src)
{
    if (Src.bpp_ != bpp_ || redMask_ == 0)
        throw std::runtime_error("Can't DrawBlend with diferent color depth");
    Clip c;
    if (!ClipTo(x, y, Src, c))
        return;
    int ws = int(std::trunc(SrcWeight * 128)), wd = int(std::trunc(DstWeight * 128));
    int rMax = int(redMask_ >> redShift_), gMax = int(greenMask_ >> greenShift_), bMax = int(blueMask_);
    auto mix = [&](int s, int d, int mx) { return std::clamp((s * ws + d * wd) >> 7, 0, mx); };
    FOR_CLIPPED(true, {
        int sr, sg, sb, dr, dg, db;
        Channels(s, sr, sg, sb);
        Channels(Get(dp), dr, dg, db);
        Put(dp, Pack(mix(sr, dr, rMax), mix(sg, dg, gMax), mix(sb, db, bMax)));
    })
}

void TBitmap64::DrawAdd(int32_t x, int32_t y, double RedWeight, double GreenWeight, double BlueWeight,
                        const TBitmap64& Src)
{
    if (Src.bpp_ != bpp_ || redMask_ == 0)
        throw std::runtime_error("Sorry, can't ....");
    Clip c;
    if (!ClipTo(x, y, Src, c))
        return;
    int wr = int(std::trunc(RedWeight * 128)), wg = int(std::trunc(GreenWeight * 128)),
        wb = int(std::trunc(BlueWeight * 128));
    int rMax = int(redMask_ >> redShift_), gMax = int(greenMask_ >> greenShift_), bMax = int(blueMask_);
    FOR_CLIPPED(true, {
        int sr, sg, sb, dr, dg, db;
        Channels(s, sr, sg, sb);
        Channels(Get(dp), dr, dg, db);
        Put(dp, Pack(std::clamp(dr + ((sr * wr) >> 7), 0, rMax), std::clamp(dg + ((sg * wg) >> 7), 0, gMax),
                     std::clamp(db + ((sb * wb) >> 7), 0, bMax)));
    })
}

int TBitmap64::GreyOf(uint32_t s, const TBitmap64& Src) const
{
    TRGB rgb = Src.ColorToRGB(s);
    return (77 * rgb.r + 150 * rgb.g + 29 * rgb.b) >> 8;
}

void TBitmap64::DrawGray(int32_t x, int32_t y, const TBitmap64& Src)
{
    if (Src.bpp_ != bpp_ || redMask_ == 0)
        throw std::runtime_error("Sorry, can't ....");
    Clip c;
    if (!ClipTo(x, y, Src, c) || c.w < 2)
        return;
    FOR_CLIPPED(true, {
        int level = GreyOf(s, Src);
        Put(dp, MakeColor(level, level, level));
    })
}

void TBitmap64::DrawMono(int32_t x, int32_t y, int Brightness, int Blue, int Green, int Red,
                         const TBitmap64& Src)
{
    if (Src.bpp_ != bpp_ || redMask_ == 0)
        throw std::runtime_error("Sorry, can't ....");
    Clip c;
    if (!ClipTo(x, y, Src, c) || c.w < 2)
        return;
    int rMax = int(redMask_ >> redShift_), gMax = int(greenMask_ >> greenShift_), bMax = int(blueMask_);
    FOR_CLIPPED(true, {
        int r, g, b;
        int level = GreyOf(s, Src);
        Channels(MakeColor(level, level, level), r, g, b);
        Put(dp, Pack(Red ? std::clamp(r + Brightness, 0, rMax) : 0, Green ? std::clamp(g + Brightness, 0, gMax) : 0,
                     Blue ? std::clamp(b + Brightness, 0, bMax) : 0));
    })
}

void TBitmap64::DrawLens(int32_t x, int32_t y, const TBitmap64& Src)
{
    if (Src.bytesPP_ != bytesPP_)
        throw std::runtime_error("Can't DrawLens with diferent bpp");
    Clip c;
    if (!ClipTo(x, y, Src, c))
        return;
    FOR_CLIPPED(true, Put(dp, Half(s, Get(dp)));)
}

void TBitmap64::DrawTinted(int32_t x, int32_t y, uint32_t Color, const TBitmap64& Src)
{
    if (Src.bytesPP_ != bytesPP_)
        throw std::runtime_error("Can't DrawLens with diferent bpp");
    Clip c;
    if (!ClipTo(x, y, Src, c))
        return;
    FOR_CLIPPED(true, Put(dp, Half(s, Color));)
}

#undef FOR_CLIPPED

// ---- whole-picture operations ------------------------------------------------------------

void TBitmap64::Mirror()
{
    if (bytesPP_ != 2 && bytesPP_ != 4)
        return;
    for (int32_t y = 0; y < height_; ++y) {
        uint8_t* r = Row(y);
        for (int32_t a = 0, b = width_ - 1; a < b; ++a, --b)
            std::swap_ranges(r + int64_t(a) * bytesPP_, r + int64_t(a + 1) * bytesPP_, r + int64_t(b) * bytesPP_);
    }
}

void TBitmap64::Flip()
{
    for (int32_t a = 0, b = height_ - 1; a < b; ++a, --b)
        std::swap_ranges(Row(a), Row(a) + rowSize_, Row(b));
}

void TBitmap64::SwapRedBlue()
{
    if (redMask_ == 0)
        return;
    int bits = bpp_ == 15 || bpp_ == 16 ? 5 : 8;
    uint32_t low = (1u << bits) - 1;
    for (int32_t y = 0; y < height_; ++y) {
        uint8_t* p = Row(y);
        for (int32_t x = 0; x < width_; ++x, p += bytesPP_) {
            uint32_t v = Get(p);
            uint32_t r = (v >> redShift_) & low, b = v & low;
            Put(p, (v & ~((low << redShift_) | low)) | (b << redShift_) | r);
        }
    }
}

void TBitmap64::Blur()
{
    if (bytesPP_ != 2)
        return;
    for (int32_t y = 0; y + 1 < height_; ++y) {
        uint8_t* r = Row(y);
        const uint8_t* below = Row(y + 1);
        for (int32_t x = 0; x < width_; ++x) {
            uint32_t p = Get(r + x * 2);
            uint32_t right = x + 1 < width_ ? Get(r + (x + 1) * 2) : p;
            uint32_t left = x > 0 ? Get(r + (x - 1) * 2) : p;
            Put(r + x * 2, Half(Half(Half(p, right), left), Get(below + x * 2)));
        }
    }
}

void TBitmap64::SmoothRows565()
{
    if (bpp_ != 16)
        return;
    for (int32_t y = 1; y < height_; ++y) {
        uint8_t* r = Row(y);
        const uint8_t* prev = Row(y - 1);
        for (int32_t x = 1; x + 1 < width_; ++x) {
            int sr = 0, sg = 0, sb = 0;
            for (uint32_t v : {Get(r + x * 2), Get(r + (x - 1) * 2), Get(r + (x + 1) * 2), Get(prev + x * 2)}) {
                int cr, cg, cb;
                Channels(v, cr, cg, cb);
                sr += cr, sg += cg, sb += cb;
            }
            Put(r + x * 2, Pack(std::min(sr >> 2, 31), std::min(sg >> 2, 63), std::min(sb >> 2, 31)));
        }
    }
}

void TBitmap64::SmoothRowsHalf()
{
    if (bytesPP_ != 2)
        return;
    for (int32_t y = 1; y < height_; ++y) {
        uint8_t* up = Row(y - 1);
        const uint8_t* r = Row(y);
        for (int32_t x = 0; x + 2 < width_; ++x)
            Put(up + x * 2, Half(Half(Get(up + (x + 1) * 2), Get(r + (x + 1) * 2)), Get(up + (x + 2) * 2)));
    }
}

void TBitmap64::TextureSpan(int32_t y, int32_t x1, int32_t x2, float u1, float v1, float u2, float v2,
                            const TBitmap64& Texture)
{
    if (Texture.bytesPP_ != bytesPP_ || y < 0 || y >= height_ || Texture.width_ == 0 || Texture.height_ == 0)
        return;
    if (x1 > x2)
        std::swap(x1, x2), std::swap(u1, u2), std::swap(v1, v2);
    float n = float(std::max(x2 - x1, 1));
    for (int32_t x = std::max(x1, 0); x <= x2 && x < width_; ++x) {
        float t = float(x - x1) / n;
        int32_t u = std::clamp(int32_t(u1 + (u2 - u1) * t), 0, Texture.width_ - 1);
        int32_t v = std::clamp(int32_t(v1 + (v2 - v1) * t), 0, Texture.height_ - 1);
        Put(Row(y) + int64_t(x) * bytesPP_, Texture.Get(Texture.Row(v) + int64_t(u) * bytesPP_));
    }
}

void TBitmap64::TextureTriangle(const TTexVertex& a, const TTexVertex& b, const TTexVertex& c,
                                const TBitmap64& Texture)
{
    // Per vertex: x, y, u/z, v/z, 1/z (a depth at or below zero counts as 1).
    struct P {
        float x, y, uz, vz, iz;
    };
    auto prep = [](const TTexVertex& t) {
        float iz = t.z > 0 ? 1.0f / t.z : 1.0f;
        return P{t.x, t.y, t.u * iz, t.v * iz, iz};
    };
    P v[3] = {prep(a), prep(b), prep(c)};
    std::sort(v, v + 3, [](const P& l, const P& r) { return l.y < r.y; });
    auto lerp = [](const P& p, const P& q, float y) {
        float t = q.y == p.y ? 0.0f : (y - p.y) / (q.y - p.y);
        return P{p.x + (q.x - p.x) * t, y, p.uz + (q.uz - p.uz) * t, p.vz + (q.vz - p.vz) * t,
                 p.iz + (q.iz - p.iz) * t};
    };
    int32_t yStart = std::max(int32_t(std::ceil(v[0].y)), 0);
    int32_t yEnd = std::min(int32_t(std::ceil(v[2].y)) - 1, height_ - 1);
    for (int32_t y = yStart; y <= yEnd; ++y) {
        float fy = float(y);
        P l = lerp(v[0], v[2], fy);
        P r = fy < v[1].y ? lerp(v[0], v[1], fy) : lerp(v[1], v[2], fy);
        TextureSpan(y, int32_t(l.x), int32_t(r.x), l.uz / l.iz, l.vz / l.iz, r.uz / r.iz, r.vz / r.iz, Texture);
    }
}

// ---- TScreen64 ---------------------------------------------------------------------------

namespace {
gfx::TPixelFormat FormatFor(int bpp)
{
    switch (bpp) {
    case 8: return gfx::pf8bit;
    case 15: return gfx::pf15bit;
    case 16: return gfx::pf16bit;
    case 32: return gfx::pf32bit;
    default: throw std::runtime_error("Unsupported pixel format!");
    }
}
}  // namespace

TScreen64::TScreen64(int32_t Width, int32_t Height, int Bpp) : TScreen64(nullptr, Width, Height, Bpp) {}

TScreen64::TScreen64(gfx::TCanvas* Target, int32_t Width, int32_t Height, int Bpp)
    : TBitmap64(0, 0, Bpp), target_(Target)
{
    backing_ = std::make_unique<gfx::TBitmap>(0, 0, FormatFor(Bpp));
    SetSize(Width, Height);
}

void TScreen64::Rebind()
{
    SetGeometry(backing_->Width(), backing_->Height());
    if (backing_->Width() > 0 && backing_->Height() > 0)
        Bind(backing_->ScanLine(0), backing_->BytesPerLine());
    else
        Bind(nullptr, 0);
}

void TScreen64::SetSize(int32_t W, int32_t H)
{
    W = std::max(W, 0);
    H = std::max(H, 0);
    if (W == Width() && H == Height() && backing_->Width() == W)
        return;
    backing_->SetSize(W, H);
    Rebind();
}

void TScreen64::SetBpp(int b)
{
    gfx::TPixelFormat f = FormatFor(b);
    TBitmap64::SetBpp(b);  // masks; its own memory stays empty
    backing_->SetPixelFormat(f);
    Rebind();
}

void TScreen64::Flip()
{
    if (target_ && Width() > 0 && Height() > 0)
        target_->Draw(0, 0, *backing_);
}

}  // namespace bitmap64
