// Software display surfaces at both depths: blits against QImage's own transforms, keys,
// clipping, busy and lost surfaces, and presenting into a control.
#include <gtest/gtest.h>

#include <random>

#include <QWidget>

#include "platform/draw/Draw.h"
#include "platform/gfx/Canvas.h"

using namespace draw;
using gfx::Rect;
using gfx::TRect;

namespace {

DrawSurfaceDesc Desc(uint32_t flags, uint32_t caps)
{
    DrawSurfaceDesc d;
    d.dwSize = 108;
    d.dwFlags = flags;
    d.dwCaps = caps;
    return d;
}

std::shared_ptr<DrawSurface> Make(DrawDevice& dev, int w, int h, uint32_t caps = DDSCAPS_OFFSCREENPLAIN)
{
    DrawSurfaceDesc d;
    d.dwSize = 108;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = uint32_t(w);
    d.dwHeight = uint32_t(h);
    d.dwCaps = caps;
    std::shared_ptr<DrawSurface> s;
    EXPECT_EQ(dev.CreateSurface(d, s), DD_OK);
    return s;
}

// The surface's pixels, the unused top byte dropped.
QImage Pixels(DrawSurface& s)
{
    DrawSurfaceDesc d;
    EXPECT_EQ(s.Lock(nullptr, d, DDLOCK_WAIT), DD_OK);
    QImage img(static_cast<uchar*>(d.lpSurface), int(d.dwWidth), int(d.dwHeight), d.lPitch,
               d.ddpfPixelFormat.dwRGBBitCount == 16 ? QImage::Format_RGB16 : QImage::Format_RGB32);
    QImage copy = img.convertToFormat(QImage::Format_RGB32);
    s.Unlock(d.lpSurface);
    return copy;
}

void Noise(DrawSurface& s, uint32_t seed)
{
    DrawSurfaceDesc d;
    ASSERT_EQ(s.Lock(nullptr, d, DDLOCK_WAIT), DD_OK);
    std::mt19937 rng(seed);
    const int bpp = int(d.ddpfPixelFormat.dwRGBBitCount / 8);
    for (uint32_t y = 0; y < d.dwHeight; ++y) {
        auto* row = static_cast<uint8_t*>(d.lpSurface) + ptrdiff_t(y) * d.lPitch;
        for (uint32_t x = 0; x < d.dwWidth * uint32_t(bpp); ++x)
            row[x] = uint8_t(rng());
    }
    s.Unlock(d.lpSurface);
}

class DrawDepth : public ::testing::TestWithParam<uint32_t> {
protected:
    void SetUp() override
    {
        backend = DrawBackend::Memory(GetParam(), 320, 200);
        ASSERT_EQ(backend->Create(nullptr, true, device), DD_OK);
    }
    std::shared_ptr<DrawBackend> backend;
    std::shared_ptr<DrawDevice> device;
};

TEST_P(DrawDepth, BlitsMatchQImageTransforms)
{
    auto src = Make(*device, 23, 17);
    Noise(*src, 1);
    const QImage plain = Pixels(*src);
    DrawSurfaceDesc d;
    src->GetSurfaceDesc(d);
    EXPECT_GT(d.lPitch, int(23 * GetParam() / 8)) << "rows padded past their width";

    // Mirrored both ways.
    auto dst = Make(*device, 23, 17);
    DrawBltFX fx{100, DDBLTFX_MIRRORLEFTRIGHT | DDBLTFX_MIRRORUPDOWN, 0};
    ASSERT_EQ(dst->Blt(nullptr, src.get(), nullptr, DDBLT_DDFX | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(Pixels(*dst), plain.mirrored(true, true));

    // A stretch clipped by a clipper is the unclipped stretch cut.
    auto big = Make(*device, 61, 40);
    const TRect dest = Rect(-7, 3, 50, 45);
    ASSERT_EQ(big->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    auto ref = Make(*device, 57, 42);
    ASSERT_EQ(ref->Blt(nullptr, src.get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    std::shared_ptr<DrawClipper> clipper;
    ASSERT_EQ(device->CreateClipper(0, clipper), DD_OK);
    clipper->SetClipList({Rect(0, 0, 61, 40)}, 0);
    big->SetClipper(clipper);
    ASSERT_EQ(big->Blt(&dest, src.get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Pixels(*big).copy(0, 3, 50, 37), Pixels(*ref).copy(7, 0, 50, 37));
    // ... and BltFast refuses to clip.
    EXPECT_EQ(big->BltFast(0, 0, src.get(), nullptr, DDBLTFAST_WAIT), DDERR_BLTFASTCANTCLIP);
    // Without a clipper a destination off the surface is refused, not written.
    EXPECT_EQ(ref->Blt(&dest, src.get(), nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    const TRect outside = Rect(20, 10, 30, 20);
    EXPECT_EQ(ref->BltFast(0, 0, src.get(), &outside, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
}

TEST_P(DrawDepth, SourceKeySkipsKeyedPixelsWhateverTheTopByte)
{
    auto src = Make(*device, 4, 1);
    auto dst = Make(*device, 4, 1);
    const uint32_t key = GetParam() == 16 ? 0xF81F : 0xFF00FF;
    DrawBltFX fx{100, 0, key};
    src->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    fx.dwFillColor = 0x1234;
    const TRect one = Rect(1, 0, 2, 1);
    src->Blt(&one, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    if (GetParam() == 32) {
        // A key pixel drawn with an opaque top byte stays a key pixel.
        DrawSurfaceDesc d;
        ASSERT_EQ(src->Lock(nullptr, d, 0), DD_OK);
        static_cast<uint32_t*>(d.lpSurface)[2] |= 0xFF000000u;
        src->Unlock(d.lpSurface);
    }
    DrawColorKey ck{key, key};
    src->SetColorKey(DDCKEY_SRCBLT, &ck);
    fx.dwFillColor = 0x22;
    dst->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    ASSERT_EQ(dst->BltFast(0, 0, src.get(), nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
    const QImage px = Pixels(*dst);
    const QImage expectBack = Pixels(*src);
    EXPECT_EQ(px.pixel(0, 0), px.pixel(2, 0));
    EXPECT_EQ(px.pixel(1, 0), expectBack.pixel(1, 0));
    EXPECT_NE(px.pixel(1, 0), px.pixel(0, 0));
}

TEST_P(DrawDepth, RandomClippedBlitsStayInsideTheClip)
{
    std::mt19937 rng(7);
    auto src = Make(*device, 13, 9);
    Noise(*src, 2);
    auto dst = Make(*device, 31, 21);
    std::shared_ptr<DrawClipper> clipper;
    device->CreateClipper(0, clipper);
    dst->SetClipper(clipper);
    auto coord = [&](int lo, int hi) { return int(rng() % unsigned(hi - lo)) + lo; };
    for (int i = 0; i < 300; ++i) {
        DrawBltFX fx{100, 0, 0};
        dst->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
        const TRect clip = Rect(coord(-5, 15), coord(-5, 10), coord(15, 40), coord(10, 30));
        clipper->SetClipList({clip}, 0);
        const TRect d = Rect(coord(-60, 30), coord(-60, 20), coord(-20, 90), coord(-20, 80));
        const TRect s = Rect(coord(0, 6), coord(0, 4), coord(7, 14), coord(5, 10));
        fx.dwDDFX = rng() & 6;
        dst->Blt(&d, src.get(), &s, DDBLT_DDFX | (rng() & 1 ? DDBLT_KEYSRC : 0), &fx);
        const QImage px = Pixels(*dst);
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 31; ++x)
                if (!clip.Contains(x, y) || !d.Contains(x, y)) {
                    ASSERT_EQ(px.pixel(x, y) & 0xFFFFFF, 0u) << i << ": " << x << "," << y;
                }
    }
}

TEST_P(DrawDepth, BusyLostAndRefusedSurfaces)
{
    auto a = Make(*device, 8, 8);
    auto b = Make(*device, 8, 8);
    gfx::TCanvas* canvas = nullptr;
    ASSERT_EQ(a->GetDC(canvas), DD_OK);
    canvas->Brush().SetColor(gfx::clRed);
    canvas->FillRect(Rect(0, 0, 2, 2));
    DrawSurfaceDesc d;
    EXPECT_EQ(a->Lock(nullptr, d, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(b->BltFast(0, 0, a.get(), nullptr, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(a->BltFast(0, 0, b.get(), nullptr, 0), DDERR_SURFACEBUSY);
    ASSERT_EQ(a->ReleaseDC(canvas), DD_OK);
    EXPECT_EQ(Pixels(*a).pixel(1, 1) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(Pixels(*a).pixel(2, 2) & 0xFFFFFF, 0u);
    // A duplicate shares the pixels.
    std::shared_ptr<DrawSurface> dup;
    ASSERT_EQ(device->DuplicateSurface(a, dup), DD_OK);
    EXPECT_EQ(Pixels(*dup), Pixels(*a));

    ASSERT_EQ(a->Lock(nullptr, d, 0), DD_OK);
    EXPECT_EQ(a->Lock(nullptr, d, 0), DDERR_SURFACEBUSY);
    a->Unlock(nullptr);

    backend->LoseSurfaces();
    EXPECT_EQ(a->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(b->BltFast(0, 0, a.get(), nullptr, 0), DDERR_SURFACELOST);
    EXPECT_EQ(a->Restore(), DD_OK);
    EXPECT_EQ(a->IsLost(), DD_OK);
    EXPECT_EQ(Pixels(*a).pixel(1, 1) & 0xFFFFFF, 0u);

    // Blits between two devices' surfaces work.
    std::shared_ptr<DrawDevice> other;
    ASSERT_EQ(backend->Create(nullptr, false, other), DD_OK);
    EXPECT_FALSE(other->QueryInterface(DrawInterface::DirectDraw7));
    auto c = Make(*other, 8, 8);
    b->Restore();
    EXPECT_EQ(c->BltFast(0, 0, b.get(), nullptr, 0), DD_OK);

    // Hooks: video memory refused, then every surface.
    backend->Hooks().RefuseVideoMemory = true;
    DrawSurfaceDesc want = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN);
    want.dwWidth = want.dwHeight = 4;
    std::shared_ptr<DrawSurface> s;
    EXPECT_EQ(device->CreateSurface(want, s), DDERR_OUTOFVIDEOMEMORY);
    want.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    EXPECT_EQ(device->CreateSurface(want, s), DD_OK);
    backend->Hooks().RefuseSurfaces = true;
    EXPECT_EQ(device->CreateSurface(want, s), DDERR_OUTOFMEMORY);
    EXPECT_FALSE(s);
    backend->Hooks().RefuseDirectDraw7 = true;
    EXPECT_NE(backend->Create(nullptr, true, other), DD_OK);
}

TEST_P(DrawDepth, FlipExchangesFrontAndBack)
{
    DrawSurfaceDesc want = Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                                DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX);
    want.dwBackBufferCount = 1;
    std::shared_ptr<DrawSurface> primary, back;
    ASSERT_EQ(device->CreateSurface(want, primary), DD_OK);
    ASSERT_EQ(primary->GetAttachedSurface(DDSCAPS_BACKBUFFER, back), DD_OK);
    DrawBltFX fx{100, 0, 0xFFFFFFFFu};
    back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(backend->Desktop().convertToFormat(QImage::Format_RGB32).pixel(5, 5) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(Pixels(*back).pixel(5, 5) & 0xFFFFFF, 0u);
}

INSTANTIATE_TEST_SUITE_P(Depths, DrawDepth, ::testing::Values(16u, 32u));

TEST(DrawWidget, BlitOntoThePrimaryLandsInTheClippersControl)
{
    auto backend = DrawBackend::Widget();
    std::shared_ptr<DrawDevice> device;
    ASSERT_EQ(backend->Create(nullptr, true, device), DD_OK);
    QWidget window;
    window.resize(100, 60);
    QWidget control(&window);
    control.setGeometry(10, 20, 30, 12);
    window.show();
    DrawSurfaceDesc want = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
    std::shared_ptr<DrawSurface> primary;
    ASSERT_EQ(device->CreateSurface(want, primary), DD_OK);
    std::shared_ptr<DrawClipper> clipper;
    device->CreateClipper(0, clipper);
    clipper->SetHWnd(0, &control);
    primary->SetClipper(clipper);
    auto surface = Make(*device, 30, 12);
    DrawBltFX fx{100, 0, backend->BitCount() == 16 ? 0x07E0u : 0x00FF00u};
    surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    const QPoint at = control.mapToGlobal(QPoint(0, 0));
    const TRect dest = gfx::Bounds(at.x() + 5, at.y(), 30, 12);  // half off the control
    ASSERT_EQ(primary->Blt(&dest, surface.get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    const QImage* shown = PresentedImage(&control);
    ASSERT_NE(shown, nullptr);
    const QImage rgb = shown->convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(rgb.size(), QSize(30, 12));
    EXPECT_EQ(rgb.pixel(4, 5) & 0xFFFFFF, 0u);
    EXPECT_EQ(rgb.pixel(5, 5) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(rgb.pixel(29, 11) & 0xFFFFFF, 0x00FF00u);
}

}  // namespace
