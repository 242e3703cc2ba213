// The display library's wrappers on the memory backend at both depths: colour matching,
// drawing with clipping and mirroring, the canvas's device context, locks and creation
// fallbacks.
#include <gtest/gtest.h>

#include "platform/draw/Draw.h"
#include "platform/gfx/Colors.h"
#include "visual/DXClass.h"

using namespace visual;
using gfx::Rect;

namespace {

class DXClass : public ::testing::TestWithParam<uint32_t> {
protected:
    void SetUp() override
    {
        backend = draw::DrawBackend::Memory(GetParam(), 320, 200);
        draw::SetCurrentBackend(backend);
        dd = std::make_unique<TDirectDraw>(nullptr);
    }
    void TearDown() override
    {
        dd.reset();
        draw::SetCurrentBackend(nullptr);
    }
    // A surface whose pixel (x, y) is x + 16 y + 1.
    TDirectDrawSurface* Numbered(int w, int h)
    {
        auto* s = new TDirectDrawSurface(*dd);
        s->SetSize(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                s->SetPixel(x, y, uint32_t(x + 16 * y + 1));
        return s;
    }
    std::shared_ptr<draw::DrawBackend> backend;
    std::unique_ptr<TDirectDraw> dd;
};

TEST_P(DXClass, MatchColorGivesTheDevicePixelAndKeepsPixelZero)
{
    const bool s16 = GetParam() == 16;
    TDirectDrawSurface s(*dd);
    s.SetSize(4, 4);
    s.SetPixel(0, 0, 0x1234);
    EXPECT_EQ(s.MatchColor(gfx::clBlack), 0);
    EXPECT_EQ(s.MatchColor(gfx::clRed), s16 ? 0xF800 : 0xFF0000);
    EXPECT_EQ(s.MatchColor(gfx::clWhite), s16 ? 0xFFFF : 0xFFFFFF);
    EXPECT_EQ(s.MatchColor(gfx::RGB(0, 0, 0x80)), s16 ? 0x10 : 0x80);
    EXPECT_EQ(s.Pixel(0, 0), 0x1234u);
}

TEST_P(DXClass, DrawClipsMirrorsAndFallsBackToBltWhenAClipperTurnsUp)
{
    TDirectDrawSurface* src = Numbered(10, 10);
    TDirectDrawSurface dst(*dd);
    dst.SetSize(8, 8);
    // Off the destination's left edge: the source moves by the same amount.
    dst.Draw(-3, 2, Rect(0, 0, 10, 10), src, false);
    EXPECT_EQ(dst.Pixel(0, 2), src->Pixel(3, 0));
    EXPECT_EQ(dst.Pixel(7, 7), src->Pixel(10, 5));
    // A source rectangle partly outside the source is cut to it.
    dst.Fill(0);
    dst.Draw(0, 0, Rect(-2, 0, 5, 5), src, false);
    EXPECT_EQ(dst.Pixel(2, 0), src->Pixel(0, 0));
    EXPECT_EQ(dst.Pixel(1, 0), 0u);
    // Left > Right: the source mirrored left to right, cut like any other.
    dst.Draw(-2, 0, Rect(10, 0, 0, 10), src, false);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(dst.Pixel(x, 3), src->Pixel(7 - x, 3)) << x;
    // A clipper attached behind the wrapper's back.
    TDirectDrawClipper clipper(*dd);
    clipper.SetClipRectangles({Rect(0, 0, 4, 8)});
    dst.Fill(0);
    dst.SurfaceIntf().SetClipper(clipper.ClipperIntf());
    ASSERT_FALSE(dst.ClipperAttached);
    dst.Draw(0, 0, Rect(0, 0, 8, 8), src, false);
    EXPECT_TRUE(dst.ClipperAttached);
    EXPECT_EQ(dst.Pixel(3, 3), src->Pixel(3, 3));
    EXPECT_EQ(dst.Pixel(4, 3), 0u);
    // Stretched without a clipper: cut to the surface.
    TDirectDrawSurface big(*dd);
    big.SetSize(6, 6);
    big.StretchDraw(Rect(-6, -6, 12, 12), Rect(0, 0, 9, 9), src, false);
    EXPECT_EQ(big.Pixel(0, 0), src->Pixel(3, 3));
    EXPECT_FALSE(big.ClipperAttached);
}

TEST_P(DXClass, CanvasLocksAndSizes)
{
    TDirectDrawSurface s(*dd);
    s.SetSize(0, 10);
    EXPECT_EQ(s.Width(), 0);
    s.Fill(5);
    EXPECT_EQ(s.Pixel(0, 0), 0u);
    s.SetSize(6, 6);
    // The device context is taken at the first drawing call, not at pen changes.
    s.Canvas().Brush().SetColor(gfx::clWhite);
    EXPECT_FALSE(s.Canvas().HoldsDC());
    s.Canvas().FillRect(Rect(0, 0, 2, 2));
    EXPECT_TRUE(s.Canvas().HoldsDC());
    draw::DrawSurfaceDesc d;
    EXPECT_FALSE(s.Lock(nullptr, d));
    s.Canvas().Release();
    EXPECT_EQ(s.Pixel(1, 1), GetParam() == 16 ? 0xFFFFu : 0xFFFFFFu);
    ASSERT_TRUE(s.Lock(nullptr, d));
    EXPECT_FALSE(s.Lock(nullptr, d));
    EXPECT_EQ(s.LockDepth, 1);
    s.Unlock();
    EXPECT_EQ(s.LockDepth, 0);

    backend->Hooks().RefuseVideoMemory = true;
    s.SetSize(3, 3);
    EXPECT_TRUE(s.UseSystemMemory);
    backend->Hooks().RefuseSurfaces = true;
    try {
        s.SetSize(4, 4);
        ADD_FAILURE();
    } catch (const EDirectDrawSurfaceError& e) {
        EXPECT_STREQ(e.what(), "Surface cannot be made");
    }
    new TDirectDrawSurface(*dd);  // freed with the display object
}

INSTANTIATE_TEST_SUITE_P(Depths, DXClass, ::testing::Values(16u, 32u));

TEST(DXClassShared, BindingAndRectangles)
{
    EXPECT_NE(BindLibraryProc("DDRAW.DLL", "DirectDrawCreateEx"), nullptr);
    try {
        BindLibraryProc("D3DRM.dll", "Direct3DRMCreate");
        ADD_FAILURE();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "D3DRM.dll not loaded");
    }
    EXPECT_FALSE(RectsOverlap(Rect(0, 0, 2, 2), Rect(2, 0, 4, 2)));
    EXPECT_TRUE(RectsOverlap(Rect(0, 0, 3, 2), Rect(2, 1, 4, 2)));
    EXPECT_DOUBLE_EQ(CosineTable()[64] + 1.0, 1.0);
    auto backend = draw::DrawBackend::Memory(32);
    backend->Hooks().RefuseDevice = true;
    draw::SetCurrentBackend(backend);
    EXPECT_THROW(TDirectDraw(nullptr), EDirectDrawError);
    draw::SetCurrentBackend(nullptr);
}

}  // namespace
