// The software renderer's wave blit against a direct per-pixel evaluation of its formulas, at
// 16 and 32 bits in every source/destination pairing, its edge cases, and the surface call
// that locks both surfaces around it.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/draw/Draw.h"
#include "platform/rtl/Numerics.h"
#include "visual/DXClass.h"
#include "visual/DXRender.h"

using namespace visual;
using gfx::Rect;

namespace {

// A 16-bit (5-6-5) or 32-bit (x8-8-8-8) pixel buffer with padded rows.
struct Buf {
    int bits, w, h, pitch;
    std::vector<uint8_t> data;
    Buf(int b, int width, int height)
        : bits(b), w(width), h(height), pitch(width * b / 8 + 6 + (b == 32 ? 2 : 0)),
          data(size_t(pitch) * size_t(height) + 1, 0xA5)
    {
    }
    uint32_t Get(int x, int y) const
    {
        const uint8_t* p = &data[size_t(y * pitch + x * bits / 8)];
        return bits == 16 ? uint32_t(p[0] | p[1] << 8)
                          : uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24);
    }
    void Set(int x, int y, uint32_t v)
    {
        uint8_t* p = &data[size_t(y * pitch + x * bits / 8)];
        for (int i = 0; i < bits / 8; ++i)
            p[i] = uint8_t(v >> (8 * i));
    }
    TRenderSurface Desc()
    {
        TRenderSurface d;
        d.Kind = rsRGB;
        d.Width = w;
        d.Height = h;
        d.BitCount = bits;
        d.FirstRow = data.data();
        d.Pitch = pitch;
        d.Red = ChannelFromMask(bits == 16 ? 0xF800 : 0xFF0000);
        d.Green = ChannelFromMask(bits == 16 ? 0x07E0 : 0xFF00);
        d.Blue = ChannelFromMask(bits == 16 ? 0x001F : 0xFF);
        return d;
    }
};

uint32_t Convert(uint32_t p, int from, int to)
{
    if (from == to)
        return p;
    if (from == 16)
        return ((p >> 11) & 31) << 19 | ((p >> 5) & 63) << 10 | (p & 31) << 3;
    return ((p >> 19) & 31) << 11 | ((p >> 10) & 63) << 5 | ((p >> 3) & 31);
}

struct Blit {
    int x, y, w, h;
    gfx::TRect rect;
    int amp, period, phase;
    bool key;
    uint32_t keyValue;
};

// Each wave row j lands on destination row y + j, shifted by the sine of its phase (floor of
// the 16.16 accumulator), and column i shows texel (Left + i x StepX) of its source row.
void Reference(Buf& dst, const Buf& src, const Blit& b)
{
    const int64_t stepX = int64_t(b.rect.Width()) * 65536 / b.w;
    const int64_t stepY = int64_t(b.rect.Height()) * 65536 / b.h;
    const int64_t phaseStep = b.period ? int64_t(256) * 65536 / b.period : 0;
    const uint32_t keyMask = src.bits == 16 ? 0xFFFF : 0xFFFFFF;
    for (int64_t j = 0; j < b.h; ++j) {
        const int64_t r = b.y + j;
        if (r < 0 || r >= dst.h)
            continue;
        const int64_t acc = int64_t(b.phase) * 65536 + j * phaseStep;
        const int64_t p = acc >= 0 ? acc / 65536 : -((-acc + 65535) / 65536);
        const int64_t off = rtl::Round(CosineTable()[size_t(((p + 192) % 256 + 256) % 256)] * b.amp);
        const int64_t sy = (int64_t(b.rect.Top) * 65536 + j * stepY) >> 16;
        for (int64_t i = 0; i < b.w; ++i) {
            const int64_t dx = b.x + off + i;
            if (dx < 0 || dx >= dst.w)
                continue;
            const uint32_t t = src.Get(int((int64_t(b.rect.Left) * 65536 + i * stepX) >> 16), int(sy));
            if (b.key && (t & keyMask) == (b.keyValue & keyMask))
                continue;
            dst.Set(int(dx), int(r), Convert(t, src.bits, dst.bits));
        }
    }
}

void Wave(Buf& dst, Buf& src, const Blit& b)
{
    RenderMachine().WaveBlit(dst.Desc(), src.Desc(), b.x, b.y, b.w, b.h, b.rect, b.amp,
                             b.period, b.phase, 1, 0, b.key, b.keyValue);
}

Buf Random(std::mt19937& rng, int bits, int w, int h)
{
    Buf b(bits, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.Set(x, y, uint32_t(rng()) & (bits == 16 ? 0xFFFF : 0xFFFFFFFF));
    return b;
}

}  // namespace

TEST(WaveBlit, MatchesTheFormulasAtEveryDepthPairing)
{
    std::mt19937 rng(38);
    auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int sb : {16, 32}) {
        for (int db : {16, 32}) {
            for (int n = 0; n < 150; ++n) {
                Buf src = Random(rng, sb, in(1, 40), in(1, 40));
                Buf dst = Random(rng, db, in(1, 50), in(1, 30));
                Buf want = dst;
                const int l = in(0, src.w - 1), t = in(0, src.h - 1);
                const int periods[] = {0, -64, in(1, 120), 80};
                Blit b{in(-30, 60), in(-30, 40), in(1, 60), in(1, 50),
                       Rect(l, t, in(l + 1, src.w), in(t + 1, src.h)), in(-20, 20),
                       periods[in(0, 3)], in(-1000, 100000), in(0, 1) == 1, 0};
                b.keyValue = src.Get(in(0, src.w - 1), in(0, src.h - 1));
                Reference(want, src, b);
                Wave(dst, src, b);
                ASSERT_EQ(dst.data, want.data)
                    << sb << "->" << db << " case " << n << " x " << b.x << " y " << b.y
                    << " w " << b.w << " h " << b.h << " amp " << b.amp << " period "
                    << b.period << " phase " << b.phase << " key " << b.key;
            }
        }
    }
}

TEST(WaveBlit, EdgeCases)
{
    // Source pixel (x, y) = 1 + x + 64 y, so a destination pixel names its texel.
    Buf src(32, 40, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 40; ++x)
            src.Set(x, y, uint32_t(1 + x + 64 * y));
    auto firstDrawn = [](const Buf& d, int row) {
        for (int x = 0; x < d.w; ++x)
            if (d.Get(x, row) != 0)
                return x;
        return -1;
    };
    {  // Amplitude 0: a plain scaled copy.
        Buf dst(32, 100, 100);
        std::fill(dst.data.begin(), dst.data.end(), 0);
        Wave(dst, src, {5, 3, 20, 32, Rect(0, 0, 40, 64), 0, 64, 17, false, 0});
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 20; ++x)
                EXPECT_EQ(dst.Get(5 + x, 3 + y), src.Get(2 * x, 2 * y)) << x << "," << y;
        EXPECT_EQ(dst.Get(4, 3), 0u);
        EXPECT_EQ(dst.Get(25, 3), 0u);
    }
    {  // Period 64, amplitude 10: row 16 ten to the right, row 48 ten to the left.
        Buf dst(32, 100, 64);
        std::fill(dst.data.begin(), dst.data.end(), 0);
        Wave(dst, src, {20, 0, 40, 64, Rect(0, 0, 40, 64), 10, 64, 0, false, 0});
        EXPECT_EQ(firstDrawn(dst, 0), 20);
        EXPECT_EQ(firstDrawn(dst, 16), 30);
        EXPECT_EQ(firstDrawn(dst, 48), 10);
        // Y = -5: surface row 0 has the phase (and texels) of wave row 5.
        Buf cut(32, 100, 64);
        std::fill(cut.data.begin(), cut.data.end(), 0);
        Wave(cut, src, {20, -5, 40, 64, Rect(0, 0, 40, 64), 10, 64, 0, false, 0});
        for (int y = 0; y < 59; ++y)
            EXPECT_EQ(firstDrawn(cut, y), firstDrawn(dst, y + 5)) << y;
        EXPECT_EQ(cut.Get(firstDrawn(cut, 0), 0), src.Get(0, 5));
        // Partly off the left edge: the row starts SkipX texels in; wholly off draws nothing
        // and the rows after it go on.
        Buf off(32, 100, 64);
        std::fill(off.data.begin(), off.data.end(), 0);
        Wave(off, src, {-45, 0, 40, 64, Rect(0, 0, 40, 64), 10, 64, 0, false, 0});
        EXPECT_EQ(off.Get(0, 16), src.Get(35, 16));  // at -35: 35 texels skipped
        EXPECT_EQ(off.Get(4, 16), src.Get(39, 16));
        EXPECT_EQ(off.Get(5, 16), 0u);
        EXPECT_EQ(firstDrawn(off, 0), -1);
        EXPECT_EQ(firstDrawn(off, 48), -1);
        const int at17 = -45 + int(rtl::Round(SineOf(17 * 4) * 10));
        EXPECT_EQ(off.Get(0, 17), src.Get(-at17, 17));
    }
    {  // The colour key leaves the destination under keyed texels.
        Buf dst(32, 50, 10);
        std::fill(dst.data.begin(), dst.data.end(), 7);
        Wave(dst, src, {0, 0, 40, 10, Rect(0, 0, 40, 10), 0, 0, 0, true, src.Get(3, 2)});
        EXPECT_EQ(dst.Get(3, 2), 0x07070707u);
        EXPECT_EQ(dst.Get(4, 2), src.Get(4, 2));
    }
    {  // 4 columns into 6: step 43690 (truncated), so column 3 shows texel 1, not 2.
        EXPECT_EQ(MulDiv(4, 65536, 6), 43690);
        EXPECT_EQ(rtl::MulDiv(4, 65536, 6), 43691);
        Buf dst(32, 10, 1);
        Wave(dst, src, {0, 0, 6, 1, Rect(0, 0, 4, 1), 0, 0, 0, false, 0});
        EXPECT_EQ(dst.Get(3, 0), src.Get(1, 0));
    }
}

TEST(WaveBlit, WholeWavesAddedToThePhaseChangeNothing)
{
    std::mt19937 rng(5);
    Buf src = Random(rng, 16, 30, 40);
    for (int period : {80, 64, -37}) {
        Buf first(16, 60, 68);
        std::fill(first.data.begin(), first.data.end(), 0);
        Wave(first, src, {10, 0, 30, 68, Rect(0, 0, 30, 40), 12, period, 5, false, 0});
        for (int64_t k : {int64_t(1), int64_t(128), int64_t(8000000), int64_t(8388607)}) {
            Buf again(16, 60, 68);
            std::fill(again.data.begin(), again.data.end(), 0);
            Wave(again, src, {10, 0, 30, 68, Rect(0, 0, 30, 40), 12, period,
                             int32_t(5 + 256 * k), false, 0});
            EXPECT_EQ(again.data, first.data) << period << " " << k;
        }
    }
}

TEST(WaveBlit, RectanglesThatWouldWrapDrawNothingOutside)
{
    Buf src(32, 8, 8), dst(32, 16, 16);
    std::fill(src.data.begin(), src.data.end(), 1);
    const std::vector<uint8_t> before = dst.data;
    // Bad source rectangles and sizes.
    for (const Blit& b : {Blit{0, 0, 8, 8, Rect(-1, 0, 8, 8), 0, 0, 0, false, 0},
                          Blit{0, 0, 8, 8, Rect(0, 0, 9, 8), 0, 0, 0, false, 0},
                          Blit{0, 0, 8, 8, Rect(4, 0, 4, 8), 0, 0, 0, false, 0},
                          Blit{0, 0, 0, 8, Rect(0, 0, 8, 8), 0, 0, 0, false, 0},
                          Blit{0, 0, -8, 8, Rect(0, 0, 8, 8), 0, 0, 0, false, 0},
                          Blit{0, 0, 8, -8, Rect(0, 0, 8, 8), 0, 0, 0, false, 0},
                          Blit{16, 16, 8, 8, Rect(0, 0, 8, 8), 0, 0, 0, false, 0}}) {
        Wave(dst, src, b);
        EXPECT_EQ(dst.data, before) << b.x << " " << b.w << " " << b.rect.Left;
    }
    // Huge sizes and positions stay inside both buffers (the padding bytes are untouched).
    for (const Blit& b : {Blit{-2147483647, -2147483647, 2147483647, 2147483647,
                               Rect(0, 0, 8, 8), 2147483647, 3, 2147483647, false, 0},
                          Blit{2147483000, 0, 2147483647, 16, Rect(0, 0, 8, 8), -2147483647,
                               1, 0, false, 0}}) {
        Buf big(32, 16, 16);
        Wave(big, src, b);
        for (int y = 0; y < 16; ++y)
            for (int x = 16 * 4; x < big.pitch; ++x)
                EXPECT_EQ(big.data[size_t(y * big.pitch + x)], 0xA5) << y;
    }
}

class WaveSurface : public ::testing::TestWithParam<uint32_t> {
protected:
    void SetUp() override
    {
        draw::SetCurrentBackend(draw::DrawBackend::Memory(GetParam(), 320, 200));
        dd = std::make_unique<TDirectDraw>(nullptr);
    }
    void TearDown() override
    {
        dd.reset();
        draw::SetCurrentBackend(nullptr);
    }
    std::unique_ptr<TDirectDraw> dd;
};

TEST_P(WaveSurface, DrawWaveDistortKeysBySourceColourKeyAndReleasesBothLocks)
{
    TDirectDrawSurface src(*dd), dst(*dd), none(*dd);
    src.SetSize(8, 4);
    dst.SetSize(20, 10);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            src.SetPixel(x, y, x == 2 ? 0 : uint32_t(0x101 * (x + 1) + 0x20 * y));
    src.SetTransparentColor(uint32_t(src.MatchColor(gfx::clBlack)));
    dst.Fill(0x1F);
    dst.DrawWaveDistort(3, 2, 8, 4, Rect(0, 0, 8, 4), &src, true, 0, 0, 0);
    EXPECT_EQ(dst.Pixel(3, 2), src.Pixel(0, 0));
    EXPECT_EQ(dst.Pixel(5, 2), 0x1Fu);  // keyed black keeps the old pixel
    EXPECT_EQ(dst.Pixel(10, 5), src.Pixel(7, 3));
    dst.DrawWaveDistort(3, 2, 8, 4, Rect(0, 0, 8, 4), &src, false, 0, 0, 0);
    EXPECT_EQ(dst.Pixel(5, 2), 0u);
    EXPECT_EQ(src.LockDepth, 0);
    EXPECT_EQ(dst.LockDepth, 0);
    // Nothing, and no lock left, without a source, with an empty one or with zero sizes.
    dst.Fill(0x1F);
    dst.DrawWaveDistort(0, 0, 8, 4, Rect(0, 0, 8, 4), nullptr, false, 0, 0, 0);
    dst.DrawWaveDistort(0, 0, 8, 4, Rect(0, 0, 8, 4), &none, false, 0, 0, 0);
    dst.DrawWaveDistort(0, 0, 0, 4, Rect(0, 0, 8, 4), &src, false, 0, 0, 0);
    EXPECT_EQ(dst.Pixel(0, 0), 0x1Fu);
    EXPECT_EQ(dst.LockDepth, 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, WaveSurface, ::testing::Values(16u, 32u));

TEST(Renderer, DescriptorsAndTrees)
{
#if defined(__x86_64__)
    EXPECT_TRUE(CPUInfo().HasCPUID && CPUInfo().HasMMX);  // every x86-64 has both
    EXPECT_EQ(CPUInfo().Vendor.size(), 12u);
#endif
    // 5-6-5 red lands in a byte's top five bits; blue moves up three.
    const TRenderChannel red = ChannelFromMask(0xF800), blue = ChannelFromMask(0x1F);
    EXPECT_EQ(red.Bits, 5u);
    EXPECT_EQ(red.ShiftRight, 8u);
    EXPECT_EQ(blue.ShiftLeft, 3u);
    Buf a(16, 5, 3), b(32, 5, 3);
    TRenderSurface da = a.Desc(), db = b.Desc();
    EXPECT_TRUE(Compatible(da, a.Desc()));
    EXPECT_FALSE(Compatible(da, db));
    // Blend trees the program never builds are not compiled; Run then draws nothing.
    TDXRMachine& m = RenderMachine();
    m.Initialize();
    m.Target = db;
    m.TextureSlots[0].Surface = db;
    m.Compile(m.AddBlendNode(5, m.AddTextureNode(0), m.AddDestPixelNode()));
    EXPECT_FALSE(m.Compiled());
    EXPECT_EQ(m.UsedTextureCount, 1);
    // Mode 3 with an empty second input is its first input: a compiled copy.
    m.Initialize();
    m.Target = db;
    m.TextureSlots[0].Surface = da;
    m.TextureSlots[0].StepU = 65536;
    m.Compile(m.AddBlendNode(3, m.AddTextureNode(0), m.AddBlendNode(0, nullptr, nullptr)));
    ASSERT_TRUE(m.Compiled());
    a.Set(0, 0, 0xF800);
    m.Run(1);
    EXPECT_EQ(b.Get(0, 0) & 0xFFFFFF, 0xF80000u);
}
