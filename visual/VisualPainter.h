// The visual-mode painter: paints one frame of the selected visual mode for one audio channel
// (0 left, 1 right) on the canvas of that channel's pane, with the overlay text (channel
// captions, the track title with its cross-fade, the time or the clock) on top, and the
// falling-particle frame that replaces the modes while the effect overlay window is on.
//
// The playback engine owns one painter (and one TVisualResources) for the process. The painter
// holds the state that lives between frames, shared by both channels: the previous mode, the
// first-paint flags, the mode counters, the fresh-start flag, the particle and point tables and
// each mode's own variables. The engine hands everything else in with each call
// (TVisualFrame): the canvas, the mode number, the play status, the pane size, a view of the
// level analysis, the overlay labels and, in DirectX mode, the surface to clear, release and
// flip. The engine's own entry points keep their names and call in here:
//
//   PaintLeft / PaintRight: build a frame for the pane (Canvas = the paint box's canvas, or
//     the surface canvas with Surface set in DirectX mode), then PaintVisual(channel,
//     HasData, frame), where HasData = the analysis exists with at least two channels; with
//     HasData the engine first stores PaneLevel(view, channel) in the pane's Tag.
//   PaintLeftParticles / PaintRightParticles: the Tag as above, then PaintParticles(frame,
//     channel) with the paint box's canvas.
//   Fresh start of playing / stop: SetFreshStart(true / false); ResetDisplay as named.
//
// Modes whose drawing is not built draw nothing (the overlay still shows). A mode that raises
// ends its frame quietly; the DirectX surface canvas is released in every case. UI thread
// only; nothing here locks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gfx/Canvas.h"
#include "platform/gfx/Geometry.h"
#include "visual/AnalysisView.h"

class TVisualResources;
class TMeterPanel;
namespace visual {
class TDXDraw;
class TDirectDrawSurface;
class TDXImageList;
class TDXSpriteEngine;
class TMySprite;
}  // namespace visual
namespace gfx {
class TBitmap;
}
namespace sound {
class TDxSound;
}

// The DirectDraw pane of one channel, as the painter needs it in DirectX mode.
class TVisualSurface {
public:
    virtual ~TVisualSurface() = default;
    // False while the surface is lost or missing: the frame is skipped.
    virtual bool CanDraw() = 0;
    // Fills the whole surface with colour 0.
    virtual void Clear() = 0;
    // Gives back the surface canvas's device context; called once after every frame begun.
    virtual void Release() = 0;
    virtual void Flip() = 0;
};

// A caption the overlay copies from the main window: its text and top-left corner.
struct TOverlayLabel {
    std::string Text;
    int Left = 0;
    int Top = 0;
};

struct TOverlayLabels {
    TOverlayLabel Left;      // lblLeft
    TOverlayLabel Right;     // lblRight
    TOverlayLabel Music;     // lblMusic: the title
    TOverlayLabel Duration;  // lblDuration: the play time, shown while DurationTag is not 0
    TOverlayLabel Clock;     // lblClock
    int DurationTag = 0;
};

// What one call reads from the engine and the main window.
struct TVisualFrame {
    gfx::TCanvas* Canvas = nullptr;         // the pane's canvas (none: nothing is painted)
    int Effect = 0;                         // the mode, 0..30
    std::string_view PlayStatus = "stop";   // "play", "stop" or "pause"
    int GraphWidth = 250;
    int GraphHeight = 68;
    const TAnalysisView* Analysis = nullptr;  // read only when HasData is true
    bool TimerEnabled = true;               // timDxTimer.Enabled
    TVisualSurface* Surface = nullptr;      // set in DirectX mode (dxdLeft visible)
    // DirectX mode only: the pane's display control, the main window's picture list and
    // sprite engine, and the 500 stars (modes 5, 14, 22 and 23).
    visual::TDXDraw* DXDraw = nullptr;
    visual::TDXImageList* ImageList = nullptr;
    visual::TDXSpriteEngine* SpriteEngine = nullptr;
    const std::array<visual::TMySprite*, 500>* Stars = nullptr;
    // The playback engine: mode 15 shows its lyrics and photo and moves them on.
    sound::TDxSound* Engine = nullptr;
    std::string Today;                      // YYYYMMDD; empty: the system's date
    TOverlayLabels Labels;
    int Gauge1Position = 0;                 // Gauge1.Position: the percentage played
    TMeterPanel* Panel = nullptr;           // the main window's dashboard (mode 30)
    // Called when a title cross-fade ends while not playing (timDxTimer.Interval := 1000).
    std::function<void()> SlowDownTimer;
};

struct TParticle {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t Step = 0;
    std::int32_t Shade = 0;
    std::int32_t Colour = 0;
};

// Everything that survives between frames, one copy for both channels.
struct TPainterState {
    static constexpr int ModeCount = 31;
    static constexpr int HistoryColumns = 251;

    std::int32_t PreviousMode = -1;
    std::array<std::uint8_t, ModeCount> FirstPaint{};
    std::array<std::int32_t, ModeCount - 1> Counters{};
    std::uint8_t FreshStart = 0;
    gfx::TColor CurrentColour = 0xFFFFFF;
    std::array<TParticle, 201> Particles{};
    std::array<gfx::TPoint, 301> Points{};
    std::int32_t StepD = 0;       // shared stepping; modes 20 and 21 count quiet ticks in it

    std::int32_t D1 = 1;          // mode 1: scroll direction
    std::int32_t A3 = 0;          // mode 3: board angle
    long double T3 = 0;           // mode 3: board twist
    // Ten past rows of levels per channel, shared by modes 4 and 29 (and the meter panel).
    std::uint8_t History[2][10][HistoryColumns]{};

    std::int32_t MoonOffset = 0;  // mode 12: where the moon rises
    std::int32_t MoonKind = 0;    // mode 12: 0 ellipse, 1 picture
    std::int32_t PlanetBob = 0;   // mode 12
    std::int32_t PlanetDir = 1;

    std::int32_t LeftPose = 0;    // modes 20, 21, 28
    std::int32_t RightPose = 0;
    std::int32_t Bob = 1;
    std::int32_t StageStep = 0;   // mode 21
    std::int32_t StageTicks = 0;

    std::int32_t GhostKind = 0;   // mode 14: which picture tumbles
    std::int32_t GhostX = 0;
    std::int32_t PhotoHold = 0;   // mode 15: calls the photo has rested centred
    std::int32_t PhotoStep = 0;   // mode 15: calls since the photo last rose a pixel

    struct TBubble {
        double Y = 0;             // vertical position
        std::int32_t R = 0;       // ring radius
        std::int32_t Sway = 0;    // vertical swing
        std::int32_t Spin = 0;    // degrees added per frame
        double Speed = 0;         // pixels risen per frame
        double A = 0, B = 0;      // angles of the horizontal and vertical swing, in radians
        gfx::TColor Colour = 0;
    };
    std::array<TBubble, 151> Bubbles{};  // mode 24
    std::string LuckyName;        // mode 24: the day's colour (its value is CurrentColour)
    std::string LuckyNumber;
    std::int32_t Rise = 0;        // mode 24: how far the fortune has risen

    std::array<gfx::TPoint, 41> Drift{};  // mode 26: the floating rectangles
    long double ScrollOffset = 0;         // mode 26: the background's sway
    long double ScrollStep = 0;
    struct TWalker {
        std::int32_t Direction = 0;  // -1, 0 or 1
        std::int32_t X = 0;
    };
    std::array<TWalker, 2> Walkers{};  // mode 27, one per channel
    struct TSpin {
        long double Angle = 0;  // degrees
        long double Spin = 0;   // degrees a frame
    };
    std::array<TSpin, 2> Spins{};  // mode 28, one per channel

    std::int32_t Counter30 = 0;   // mode 30: 0 .. 360, reset only by its first paint
    std::int32_t GearPhase = 0;   // mode 30: below 7 while shifting up, then 12 .. 14

    std::string StoredTitle;      // overlay: the title last shown
    std::int32_t Fade = 0;        // overlay: cross-fade progress, 0 = none
    std::int32_t ParticleFrame = 0;
    std::uint8_t ParticleSetup = 1;
};

class TVisualPainter {
public:
    explicit TVisualPainter(TVisualResources& Resources) : FRes(Resources) {}
    TVisualPainter(const TVisualPainter&) = delete;
    TVisualPainter& operator=(const TVisualPainter&) = delete;

    TPainterState State;

    // One frame of the mode Frame.Effect for Channel.
    void PaintVisual(int Channel, bool HasData, const TVisualFrame& Frame);
    // The captions of one pane.
    void PaintOverlayText(gfx::TCanvas& Canvas, int Channel, const TVisualFrame& Frame);
    // One frame of falling particles for pane Right (0 left, 1 right).
    void PaintParticles(const TVisualFrame& Frame, int Right);

    // Playing started afresh (not a resume from pause): the next playing frame resets the
    // counters and first-paint flags of modes 0-29. Cleared on stop.
    void SetFreshStart(bool Fresh) { State.FreshStart = Fresh ? 1 : 0; }
    // Every mode re-runs its set-up on its next frame.
    void ResetDisplay() { State.FirstPaint.fill(1); }

    // The pane level the engine stores in a pane's Tag: 31 - ((255 - m) shr 2) for the
    // minimum byte m of column 1 of that channel.
    static int PaneLevel(const TAnalysisView& Analysis, int Channel);

private:
    struct TCall;  // the values fixed for one call (VisualModes.h)

    void paintFrame(int Channel, bool HasData, const TVisualFrame& Frame);
    void detectModeChange(int Effect);
    void dispatch(TCall& C);

    // Modes (one case each).
    void mode0(TCall& C);
    void mode1(TCall& C);
    void paintTitleWave(TCall& C);
    void mode2(TCall& C);
    void mode3(TCall& C);
    void mode4(TCall& C);
    // Steps a particle's twinkle and sets its pixel (not when Draw is false).
    void twinkle(TCall& C, TParticle& P, bool Draw = true);
    void mode5(TCall& C);
    void mode6(TCall& C);
    void mode7(TCall& C);
    void mode8(TCall& C);
    void mode9(TCall& C);
    void mode10(TCall& C);
    void sparkler(TCall& C);
    void mode11(TCall& C);
    void mode12(TCall& C);
    void mode13(TCall& C);
    void mode14(TCall& C);
    void mode15(TCall& C);
    bool lyrics(TCall& C);
    int photo(TCall& C);
    void mode16(TCall& C);
    void mode17(TCall& C);
    void mode22(TCall& C);
    void mode23(TCall& C);
    void mode24(TCall& C);
    void luckyFortune(TCall& C);
    void fortuneText(TCall& C);
    gfx::TBitmap& scene(int Width, int Height);
    // The pane's drawing surface in DirectX mode; none on the paint boxes.
    static visual::TDirectDrawSurface* paneSurface(TCall& C);
    // Picture Slot copied into work bitmap A, turned by Angle degrees and drawn transparent.
    void drawTurned(TCall& C, int Slot, double Angle, int X, int Y);
    void mode18(TCall& C);
    void mode19(TCall& C);
    void mode20(TCall& C);
    void mode21(TCall& C);
    void mode25(TCall& C);
    void mode26(TCall& C);
    void mode27(TCall& C);
    void mode28(TCall& C);
    void spaceDancer(TCall& C);
    void mode29(TCall& C);
    void mode30(TCall& C);
    void meterPanel(TCall& C);

    // Pieces shared by modes 18-21 (and 28).
    void spectrumInput(TCall& C, bool Quarter);
    static int bandValue(int i);
    void burst(TCall& C);
    void stars(TCall& C);
    template <typename F>
    void stageFloor(TCall& C, F&& Lit);
    // Points 0..Last of the point table scattered over the pane: Y := Random(H), then
    // X := Random(XRange), point by point.
    void seedPoints(int Last, int XRange, int H);
    // A particle mode's first paint: its flag cleared, its counter zeroed and particles
    // 0..100 seeded at (X(), Y()) in on-off colours, magenta for black.
    template <typename FX, typename FY>
    void seedParticles(int Mode, FX&& X, FY&& Y);
    void countQuietTicks(int& FigureCount);
    int poseAndLean(TCall& C, bool LeftMoves, bool RightMoves, int Spread);
    void pictureHead(TCall& C, int Slot, int Lean, double Tilt, const int DX[3], int X, int Y);
    void figureA(TCall& C, int X, int Y, int Lean, int ArmDiv, int LegDiv, int Range, bool Body,
                 int LeftKneeX, int RightKneeX);
    // Figure B's leg points: X offsets of knee, ankle and toe on each side (ankle and toe
    // move with the lean) and the divisors of the Max columns that set their heights.
    struct TLegPoints {
        int Left[3];
        int Right[3];
        int Div[3];
    };
    void figureB(TCall& C, gfx::TCanvas& Cv, int X, int Y, int Lean, const TLegPoints& Legs);

    // Overlay pieces.
    void paintTitle(gfx::TCanvas& Canvas, const TVisualFrame& Frame);
    void crossFadeTitle(gfx::TCanvas& Canvas, const std::string& Title, int Top, int Width);

    TVisualResources& FRes;
    // Polygons of one point per column (modes 6 and 12), kept so no frame allocates once it
    // has grown to the pane.
    std::vector<gfx::TPoint> FPolygon;
};
