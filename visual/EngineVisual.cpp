#include "visual/EngineVisual.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/rtl/Numerics.h"

TEngineVisual::TEngineVisual(sound::TDxSound& Engine, TVisualPanes& Panes) : FEngine(Engine), FPanes(Panes)
{
    FFrame.Analysis = &FView;
    FFrame.SlowDownTimer = [this] { FPanes.SetTimDxTimerInterval(1000); };
}

void TEngineVisual::CreateVisualResources()
{
    FreeDirectDrawResources();
    try {
        for (const char* name : {"d01", "d02", "d03", "d04", "d05", "d06"})
            LoadDXImages(name);
        FRes.CreateVisualResources();
        visual::TDXImageList* list = FPanes.ImageList();
        visual::TDXSpriteEngine* sprites = FPanes.SpriteEngine();
        if (!list || !sprites || FAddedItems.empty())
            return;
        MakeStars(*sprites, *FAddedItems.front(), FStars.data(), StarCount);
    } catch (...) {
        FreeVisualResources();
        throw;
    }
}

visual::TPictureCollectionItem* AddDXPicture(visual::TDXImageList& List, const std::string& ResName)
{
    gfx::TBitmap picture;
    LoadResImage(picture, ResName, "JPG");
    visual::TDIB dib;
    dib.Assign(picture);
    visual::TPictureCollectionItem* item = List.Items().Add();
    item->Picture.SetGraphic(&dib);
    return item;
}

void MakeStars(visual::TDXSpriteEngine& Engine, visual::TPictureCollectionItem& Image,
               visual::TMySprite** Stars, int Count)
{
    for (int i = 0; i < Count; ++i) {
        visual::TMySprite* star = Stars[i] = new visual::TMySprite(&Engine.Engine());
        star->Image = &Image;
        star->Width = Image.Width();
        star->Height = Image.Height();
        const double a = rtl::Random(360) * std::numbers::pi / 180;
        const int32_t rx = rtl::Random(900) + 100;
        star->StarX = int32_t(rtl::Trunc(std::cos(a) * rx));
        const int32_t ry = rtl::Random(400) + 100;
        star->StarY = int32_t(rtl::Trunc(std::sin(a) * ry));
        star->Depth = rtl::Random(100);
    }
}

void TEngineVisual::LoadDXImages(const std::string& ResName)
{
    visual::TDXImageList* list = FPanes.ImageList();
    if (!list)
        return;
    FAddedItems.push_back(AddDXPicture(*list, ResName));
}

void TEngineVisual::FreeDirectDrawResources()
{
    for (auto& star : FStars) {
        delete star;
        star = nullptr;
    }
    if (visual::TDXImageList* list = FPanes.ImageList()) {
        visual::TPictureCollection& items = list->Items();
        for (int32_t i = items.Count() - 1; i >= 0; --i)
            if (std::find(FAddedItems.begin(), FAddedItems.end(), items.GetItem(i)) !=
                FAddedItems.end())
                items.Delete(i);
    }
    FAddedItems.clear();
}

void TEngineVisual::FreeVisualResources()
{
    FreeDirectDrawResources();
    FRes.FreeVisualResources();
}

bool TEngineVisual::TakeAnalysis(int Channel)
{
    const sound::TAnalysis* analysis = FEngine.Analysis();
    if (!analysis || analysis->ChannelCount() < 2) {
        FView = TAnalysisView{};
        return false;
    }
    FView.Columns = analysis->Columns();
    FView.Channels = analysis->ChannelCount();
    FView.MinTable = analysis->MinimumTable();
    FView.MaxTable = analysis->MaximumTable();
    FView.Levels[0] = analysis->Level(0);
    FView.Levels[1] = analysis->Level(1);
    FPanes.SetPaneTag(Channel, TVisualPainter::PaneLevel(FView, Channel));
    return true;
}

void TEngineVisual::FillFrame()
{
    FFrame.Effect = FEngine.Effect();
    FFrame.PlayStatus = FEngine.PlayStatus();
    FFrame.GraphWidth = FEngine.GraphWidth();
    FFrame.GraphHeight = FEngine.GraphHeight();
    FFrame.TimerEnabled = FPanes.TimDxTimerEnabled();
    FFrame.Gauge1Position = FPanes.Gauge1Position();
    FFrame.Engine = &FEngine;
    FFrame.Panel = FPanes.MeterPanel();
    FPanes.ReadOverlayLabels(FFrame.Labels);
}

void TEngineVisual::PaintPane(int Channel)
{
    // Without its pictures (before creation, or while the engine goes) nothing is painted.
    if (!FRes.Created())
        return;
    const bool hasData = TakeAnalysis(Channel);
    FillFrame();
    if (FPanes.DxdLeftVisible()) {
        FFrame.Surface = FPanes.PaneSurface(Channel);
        FFrame.Canvas = FFrame.Surface ? FPanes.SurfaceCanvas(Channel) : nullptr;
        FFrame.DXDraw = FPanes.PaneDXDraw(Channel);
        FFrame.ImageList = FPanes.ImageList();
        FFrame.SpriteEngine = FPanes.SpriteEngine();
        FFrame.Stars = FStars[0] ? &FStars : nullptr;
    } else {
        FFrame.Surface = nullptr;
        FFrame.Canvas = FPanes.PaintBoxCanvas(Channel);
        FFrame.DXDraw = nullptr;
        FFrame.ImageList = nullptr;
        FFrame.SpriteEngine = nullptr;
        FFrame.Stars = nullptr;
    }
    FPainter.PaintVisual(Channel, hasData, FFrame);
}

void TEngineVisual::PaintPaneParticles(int Channel)
{
    if (!FRes.Created())
        return;
    TakeAnalysis(Channel);
    FillFrame();
    FFrame.Surface = nullptr;
    FFrame.Canvas = FPanes.PaintBoxCanvas(Channel);
    FPainter.PaintParticles(FFrame, Channel);
}
