// A pane drawn on a display control's surface, as the main window's panes are, with the
// main window's picture list ("d01".."d06") and sprite engine with its 500 stars, on the
// memory display at a chosen depth.
#pragma once

#include <array>

#include <QWidget>

#include "platform/draw/Draw.h"
#include "visual/DXDraw.h"
#include "visual/DXImageList.h"
#include "visual/DXSprite.h"
#include "visual/EngineVisual.h"
#include "visual/VisualPainter.h"
#include "visual/VisualResources.h"

struct SurfacePane : TVisualSurface {
    visual::TDXDraw& Dx;
    explicit SurfacePane(visual::TDXDraw& dx) : Dx(dx) {}
    bool CanDraw() override { return Dx.CanDraw(); }
    void Clear() override { Dx.Surface->Fill(0); }
    void Release() override { Dx.Surface->Canvas().Release(); }
    void Flip() override { Dx.Flip(); }
};

// Number of pixels of the surface that are not 0.
inline int litPixels(visual::TDirectDrawSurface& Surface)
{
    int n = 0;
    for (int y = 0; y < Surface.Height(); ++y)
        for (int x = 0; x < Surface.Width(); ++x)
            n += Surface.Pixel(x, y) != 0;
    return n;
}

// The memory display at BitCount bits for as long as it lives.
struct MemoryDisplay {
    explicit MemoryDisplay(int BitCount)
    {
        draw::SetCurrentBackend(draw::DrawBackend::Memory(uint32_t(BitCount), 400, 300));
    }
    ~MemoryDisplay() { draw::SetCurrentBackend(nullptr); }
    MemoryDisplay(const MemoryDisplay&) = delete;
    MemoryDisplay& operator=(const MemoryDisplay&) = delete;
};

struct SurfaceRig {
    MemoryDisplay Display;
    QWidget Form;
    visual::TDXDraw Dx{&Form};
    visual::TDXImageList List;
    visual::TDXSpriteEngine Sprites;
    std::array<visual::TMySprite*, 500> Stars{};
    SurfacePane Pane{Dx};

    explicit SurfaceRig(int BitCount, int Width = 250, int Height = 68) : Display(BitCount)
    {
        Form.setGeometry(0, 0, Width + 50, Height + 32);
        Dx.setGeometry(0, 0, Width, Height);
        for (const char* name : {"d01", "d02", "d03", "d04", "d05", "d06"})
            AddDXPicture(List, name);
        List.SetDXDraw(&Dx);
        Form.show();
        MakeStars(Sprites, *List.Items().GetItem(0), Stars.data(), int(Stars.size()));
    }
    ~SurfaceRig()
    {
        for (auto* star : Stars)
            delete star;
    }
    SurfaceRig(const SurfaceRig&) = delete;
    SurfaceRig& operator=(const SurfaceRig&) = delete;

    void bind(TVisualFrame& Frame)
    {
        Frame.Surface = &Pane;
        Frame.Canvas = &Dx.Surface->Canvas();
        Frame.DXDraw = &Dx;
        Frame.ImageList = &List;
        Frame.SpriteEngine = &Sprites;
        Frame.Stars = &Stars;
        Frame.Labels = {};
    }
    // The surface as an RGB picture.
    QImage image()
    {
        QImage out(Dx.Surface->Width(), Dx.Surface->Height(), QImage::Format_RGB32);
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                out.setPixel(x, y, 0xFF000000u | rgbOf(Dx.Surface->Pixel(x, y)));
        return out;
    }

private:
    // A surface pixel (0x00RRGGBB at 32 bits, 5-6-5 at 16) as 0xRRGGBB.
    uint32_t rgbOf(uint32_t P) const
    {
        if (Dx.Surface->BitCount() != 16)
            return P & 0xFFFFFF;
        const uint32_t r = (P >> 11) & 31, g = (P >> 5) & 63, b = P & 31;
        return (r * 255 / 31) << 16 | (g * 255 / 63) << 8 | (b * 255 / 31);
    }
};
