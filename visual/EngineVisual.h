// The visualiser the playback engine calls: joins the engine (its mode, play status, pane size
// and level analysis) to the visual-mode painter and the main window's two visual panes.
//
// TEngineVisual owns the painter's pictures and work bitmaps (one TVisualResources) and the
// painter with the state that lives between frames. The engine owns the TEngineVisual
// (TDxSound::SetVisual) and must outlive it; the main window's panes are reached through
// TVisualPanes, which the main window implements and which must outlive it too.
//
// Each paint builds one frame in place from the engine and the panes: the analysis is looked at
// through a view over the engine's own tables, nothing is copied but the label texts, and no
// memory is taken once the strings have grown to their size.
//
// User-interface thread only, like the engine and the painter.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sound/DxSound.h"
#include "sound/DxSoundVisual.h"
#include "visual/AnalysisView.h"
#include "visual/DXImageList.h"
#include "visual/DXSprite.h"
#include "visual/MeterPanel.h"
#include "visual/VisualPainter.h"
#include "visual/VisualResources.h"

namespace gfx {
class TCanvas;
}

// What the visualiser needs of the main window's visual panes. Channel 0 is the left pane
// (pbxLeft, dxdLeft), 1 the right one (pbxRight, dxdRight).
class TVisualPanes {
public:
    virtual ~TVisualPanes() = default;

    // The canvas of pbxLeft or pbxRight. The visualiser draws on it outside the paint box's
    // paint event too (display ticks, stop): the drawing must land in what the pane shows,
    // as a TPaintBox's canvas does with its backing image. Null: the pane is not painted.
    virtual gfx::TCanvas* PaintBoxCanvas(int Channel) = 0;
    // dxdLeft.Tag or dxdRight.Tag := Level: the pane level (0 at silence, down to -32 at a
    // full negative swing, up to 31), which the effect overlay's sparks read.
    virtual void SetPaneTag(int Channel, intptr_t Level) = 0;
    // The captions and top-left corners of lblLeft, lblRight, lblMusic, lblDuration and
    // lblClock, and lblDuration.Tag. Labels is the visualiser's own, reused for every frame:
    // assign into its strings.
    virtual void ReadOverlayLabels(TOverlayLabels& Labels) const = 0;
    virtual bool TimDxTimerEnabled() const = 0;
    // Gauge1.Position: the percentage of the track played.
    virtual int Gauge1Position() const = 0;
    virtual void SetTimDxTimerInterval(int Ms) = 0;

    // ---- DirectDraw panes ----
    // dxdLeft.Visible: the panes are drawn on surfaces instead of paint boxes.
    virtual bool DxdLeftVisible() const { return false; }
    // The pane's primary surface and its canvas; null while there is none (no frame then).
    virtual TVisualSurface* PaneSurface(int /*Channel*/) { return nullptr; }
    virtual gfx::TCanvas* SurfaceCanvas(int /*Channel*/) { return nullptr; }
    // dxdLeft or dxdRight; the picture list dxdImage (bound to dxdRight) and the sprite
    // engine DXSpriteEngine1 of the main window. Null where there are none.
    virtual visual::TDXDraw* PaneDXDraw(int /*Channel*/) { return nullptr; }
    virtual visual::TDXImageList* ImageList() { return nullptr; }
    virtual visual::TDXSpriteEngine* SpriteEngine() { return nullptr; }
    // The dashboard the meter-panel mode drives; null where there is none.
    virtual TMeterPanel* MeterPanel() { return nullptr; }
};

// Appends the built-in JPG picture ResName to List as a 24-bit TDIB; returns the new item.
visual::TPictureCollectionItem* AddDXPicture(visual::TDXImageList& List, const std::string& ResName);
// Makes Count stars in Engine showing Image, scattered around the centre at random depths
// (drawing on the run-time random generator), into Stars[0 .. Count - 1].
void MakeStars(visual::TDXSpriteEngine& Engine, visual::TPictureCollectionItem& Image,
               visual::TMySprite** Stars, int Count);

class TEngineVisual : public sound::TDxSoundVisual {
public:
    TEngineVisual(sound::TDxSound& Engine, TVisualPanes& Panes);
    TEngineVisual(const TEngineVisual&) = delete;
    TEngineVisual& operator=(const TEngineVisual&) = delete;

    static constexpr int StarCount = 500;
    using TStars = std::array<visual::TMySprite*, StarCount>;

    // The pictures and work bitmaps, then "d01".."d06" appended to the panes' picture list
    // and the 500 stars made in the panes' sprite engine (drawing on the run-time random
    // generator); a missing built-in picture raises EResNotFound.
    void CreateVisualResources() override;
    // Frees the stars and takes the six pictures out of the list again, then the rest.
    void FreeVisualResources() override;
    // The stars and pictures alone; the main window calls it before its list and sprite
    // engine go, should the engine still be alive then. Safe to call twice.
    void FreeDirectDrawResources();
    // Appends the built-in JPG picture ResName to the picture list as a 24-bit TDIB.
    void LoadDXImages(const std::string& ResName);
    void PaintLeft() override { PaintPane(0); }
    void PaintRight() override { PaintPane(1); }
    void ResetFirstPaintFlags() override { FPainter.ResetDisplay(); }
    void SetFreshStart(uint8_t Flag) override { FPainter.SetFreshStart(Flag != 0); }

    // The falling particles that replace the modes while the effect overlay is on; always on
    // the paint boxes.
    void PaintLeftParticles() { PaintPaneParticles(0); }
    void PaintRightParticles() { PaintPaneParticles(1); }

    TVisualPainter& Painter() { return FPainter; }
    TVisualResources& Resources() { return FRes; }
    const TStars& Stars() const { return FStars; }

private:
    void PaintPane(int Channel);
    void PaintPaneParticles(int Channel);
    // Points the view at the engine's analysis and stores the pane level in the pane's Tag;
    // false when there is no analysis with two channels (the Tag is then left alone).
    bool TakeAnalysis(int Channel);
    // Everything of the frame but the canvas and the surface.
    void FillFrame();

    sound::TDxSound& FEngine;
    TVisualPanes& FPanes;
    TVisualResources FRes;
    TVisualPainter FPainter{FRes};
    TVisualFrame FFrame;
    TAnalysisView FView;
    TStars FStars{};
    std::vector<visual::TPictureCollectionItem*> FAddedItems;
};
