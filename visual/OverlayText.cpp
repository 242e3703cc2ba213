// The overlay text drawn over every frame of both panes, and the falling-particle frame.
#include <algorithm>

#include "platform/gfx/Bitmap.h"
#include "visual/BitmapRoutines.h"
#include "visual/VisualModes.h"
#include "visual/VisualResources.h"

using namespace visualmodes;

namespace {

const std::string kOverlayFace = "ＭＳ Ｐゴシック";
constexpr int kOverlaySize = 9;
constexpr gfx::TColor kCaptionColour = 0xFF80FF;
constexpr gfx::TColor kTitleColour = 0x00FF00;
constexpr gfx::TColor kDurationColour = 0x00FFFF;
constexpr gfx::TColor kClockColour = 0x0000FF;

void textAt(gfx::TCanvas& Canvas, const TOverlayLabel& Label)
{
    Canvas.TextOut(Label.Left - 1, Label.Top - 1, Label.Text);
}

void setTitleFont(gfx::TCanvas& Canvas)
{
    Canvas.Font().SetSize(kOverlaySize);
    Canvas.Font().SetStyle(0);
    Canvas.Font().SetColor(kTitleColour);
    Canvas.Font().SetName(kOverlayFace);
    Canvas.Brush().SetStyle(gfx::bsClear);
}

// A black Width x Height scratch picture with the title font on its canvas.
void prepareTitleBitmap(gfx::TBitmap& Bitmap, int Width, int Height)
{
    Bitmap.SetPixelFormat(gfx::pf24bit);
    Bitmap.SetSize(Width, Height);
    gfx::TCanvas& canvas = Bitmap.Canvas();
    canvas.Brush().SetColor(gfx::clBlack);
    canvas.FillRect(gfx::TRect{0, 0, Width, Height});
    setTitleFont(canvas);
}

}  // namespace

void TVisualPainter::PaintOverlayText(gfx::TCanvas& Canvas, int Channel, const TVisualFrame& Frame)
{
    Canvas.Font().SetName(kOverlayFace);
    Canvas.Brush().SetStyle(gfx::bsClear);
    Canvas.Font().SetSize(kOverlaySize);
    const TOverlayLabels& labels = Frame.Labels;
    if (Channel == 0) {
        Canvas.Font().SetColor(kCaptionColour);
        textAt(Canvas, labels.Left);
        paintTitle(Canvas, Frame);
        return;
    }
    Canvas.Font().SetStyle(0);
    Canvas.Font().SetColor(kCaptionColour);
    textAt(Canvas, labels.Right);
    if (labels.DurationTag != 0) {
        Canvas.Font().SetColor(kDurationColour);
        textAt(Canvas, labels.Duration);
    } else {
        Canvas.Font().SetColor(kClockColour);
        textAt(Canvas, labels.Clock);
    }
}

// The title right-aligned in the left pane; a new title brightens over the old one, which
// darkens, over eight frames.
void TVisualPainter::paintTitle(gfx::TCanvas& Canvas, const TVisualFrame& Frame)
{
    const std::string& title = Frame.Labels.Music.Text;
    const int top = Frame.Labels.Music.Top - 1;
    if (State.Fade == 0 && title != State.StoredTitle)
        State.Fade = 1;
    if (State.Fade > 0 && title != State.StoredTitle) {
        crossFadeTitle(Canvas, title, top, Frame.GraphWidth);
    } else {
        const int x = std::max(Frame.GraphWidth - Canvas.TextWidth(title) - 5, 30);
        Canvas.Font().SetColor(kTitleColour);
        Canvas.Font().SetStyle(0);
        Canvas.TextOut(x, top, title);
    }
    if (State.Fade > 0) {
        State.Fade += Frame.Surface ? 32 : 16;
        if (State.Fade >= 255) {
            if (Frame.PlayStatus != "play" && Frame.SlowDownTimer)
                Frame.SlowDownTimer();
            State.StoredTitle = title;
            State.Fade = 0;
        }
    }
}

void TVisualPainter::crossFadeTitle(gfx::TCanvas& Canvas, const std::string& Title, int Top,
                                    int Width)
{
    gfx::TBitmap& oldTitle = FRes.WorkA();
    gfx::TBitmap& newTitle = FRes.WorkB();
    const int height = Canvas.TextHeight(Title) + 2;
    prepareTitleBitmap(oldTitle, Width, height);
    if (!State.StoredTitle.empty()) {
        gfx::TCanvas& c = oldTitle.Canvas();
        c.TextOut(Width - c.TextWidth(State.StoredTitle) - 5, 0, State.StoredTitle);
    }
    prepareTitleBitmap(newTitle, Width, height);
    BlendBitmaps(FRes, oldTitle, newTitle, 256 - State.Fade);
    gfx::TCanvas& c = newTitle.Canvas();
    c.TextOut(Width - c.TextWidth(Title) - 5, 0, Title);
    BlendBitmaps(FRes, newTitle, oldTitle, State.Fade);
    newTitle.SetTransparent(true);
    Canvas.Draw(0, Top, newTitle);
}

void TVisualPainter::PaintParticles(const TVisualFrame& Frame, int Right)
{
    if (!Frame.Canvas)
        return;
    gfx::TCanvas& canvas = *Frame.Canvas;
    const int W = Frame.GraphWidth;
    const int H = Frame.GraphHeight;
    if (Frame.PlayStatus == "play") {
        canvas.Brush().SetColor(gfx::clBlack);
        canvas.FillRect(gfx::TRect{0, 0, W, H});
        PaintOverlayText(canvas, Right, Frame);
        auto& points = State.Points;
        if (State.ParticleSetup) {
            canvas.Pen().SetWidth(1);
            canvas.Brush().SetStyle(gfx::bsSolid);
            canvas.Brush().SetColor(gfx::clBlack);
            for (int i = 0; i <= 50; ++i) {
                points[i].Y = -rtl::Random(H);
                points[i].X = rtl::Random(W - 32);
            }
            State.ParticleFrame = 0;
            State.ParticleSetup = 0;
        }
        FallingStars(canvas, points, W, H, State.ParticleFrame);
        if (++State.ParticleFrame > H)
            State.ParticleFrame = 0;
    }
    PaintOverlayText(canvas, Right, Frame);
}
