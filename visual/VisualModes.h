// Private to the painter's source files: the values fixed for one call and the small drawing
// helpers several modes share. Random draws are made one statement at a time, in the order
// the modes are defined with, because each frame's picture depends on that order.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "platform/gfx/Canvas.h"
#include "platform/rtl/Numerics.h"
#include "visual/VisualPainter.h"

struct TVisualPainter::TCall {
    const TVisualFrame& Frame;
    gfx::TCanvas& Canvas;
    const TAnalysisView& Analysis;
    int Ch;
    int W;
    int H;
    int HalfW;
    int HalfH;

    int Min(int Column) const { return Analysis.Min(Column, Ch); }
    int Max(int Column) const { return Analysis.Max(Column, Ch); }
    double Lv() const { return Analysis.Level(Ch); }
};

// Sixteen lines narrowing towards the horizon; Lit(k) sets the pen of line k.
template <typename F>
void TVisualPainter::stageFloor(TCall& C, F&& Lit)
{
    int h = 0;
    for (int k = 0; k <= 15; ++k) {
        Lit(k);
        C.Canvas.MoveTo(8 * k, C.H - h);
        C.Canvas.LineTo(C.W - 8 * k, C.H - h);
        h = static_cast<int>(std::pow(1.3, k));
    }
}

namespace visualmodes {

inline constexpr double Pi = 3.14159265358979323846;

// Low 32 bits of the truncation, as an Integer variable keeps it.
inline std::int32_t Trunc32(double X)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(rtl::Trunc(X)));
}

// 32-bit wrapping sum and difference (pixel arithmetic on far-away scatter points).
inline std::int32_t Add32(std::int32_t A, std::int32_t B)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(A) + static_cast<std::uint32_t>(B));
}
inline std::int32_t Sub32(std::int32_t A, std::int32_t B)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(A) - static_cast<std::uint32_t>(B));
}

// Each component Random(2) x Value, drawn blue, green, red.
inline gfx::TColor RandomOnOff(int Value)
{
    const int blue = rtl::Random(2) * Value;
    const int green = rtl::Random(2) * Value;
    const int red = rtl::Random(2) * Value;
    return gfx::RGB(red, green, blue);
}

// Each component Base + Random(Range), drawn blue, green, red.
inline gfx::TColor RandomColour(int Base = 0, int Range = 256)
{
    const int blue = Base + rtl::Random(Range);
    const int green = Base + rtl::Random(Range);
    const int red = Base + rtl::Random(Range);
    return gfx::RGB(red, green, blue);
}

inline gfx::TColor BrightRandomColour() { return RandomColour(127, 128); }

// An angle of Random(628) / 100 radians.
inline double RandomAngle() { return rtl::Random(628) / 100.0; }

// A point around (X0, Y0) within radii RX and RY: angle, then the X draw, then the Y draw.
inline gfx::TPoint Scatter(int X0, int Y0, int RX, int RY)
{
    const double a = RandomAngle();
    const std::int32_t px = Sub32(X0, Trunc32(std::cos(a) * rtl::Random(RX)));
    const std::int32_t py = Sub32(Y0, Trunc32(std::sin(a) * rtl::Random(RY)));
    return {px, py};
}

// A line from (X0, Y0) to a scattered point, in the pen.
inline void lineScatter(gfx::TCanvas& Canvas, int X0, int Y0, int RX, int RY)
{
    const gfx::TPoint p = Scatter(X0, Y0, RX, RY);
    Canvas.MoveTo(X0, Y0);
    Canvas.LineTo(p.X, p.Y);
}

// A scattered pixel in the pen's colour, DropY lower.
inline void pixelScatter(gfx::TCanvas& Canvas, int X0, int Y0, int RX, int RY, int DropY = 0)
{
    const gfx::TPoint p = Scatter(X0, Y0, RX, RY);
    Canvas.SetPixel(p.X, Add32(p.Y, DropY), Canvas.Pen().Color());
}

// Points 0 .. 100 fall as twinkling stars of one to three pixels (modes 29 and 30, and the
// particle frame): each drifts sideways on even Counter values and starts again above the
// pane near its bottom.
void FallingStars(gfx::TCanvas& Canvas, std::array<gfx::TPoint, 301>& Points, int W, int H, int Counter);

// Moves a drifting point right by one for each of: i even, i mod 3 = 0, i mod 4 = 0,
// i mod 5 = 0 (the slower the index, the straighter it falls).
inline int Drift(int i)
{
    return (i % 2 == 0) + (i % 3 == 0) + (i % 4 == 0) + (i % 5 == 0);
}

// A point of the slowly sinking fields (modes 12, 25, 26): down one every third frame, and
// now and then one to the left on even frames.
inline void Sink(gfx::TPoint& P, int Counter)
{
    if (Counter % 3 == 0)
        P.Y += 1;
    if (rtl::Random(4) == 0 && Counter % 2 == 0)
        P.X -= 1;
}

// The point starts again somewhere above a W x H pane.
inline void BackAbove(gfx::TPoint& P, int W, int H)
{
    P.X = rtl::Random(W + 50);
    P.Y = -rtl::Random(H);
}

}  // namespace visualmodes

template <typename FX, typename FY>
void TVisualPainter::seedParticles(int Mode, FX&& X, FY&& Y)
{
    State.FirstPaint[Mode] = 0;
    State.Counters[Mode] = 0;
    for (int i = 0; i <= 100; ++i) {
        TParticle& p = State.Particles[i];
        p.Step = 1;
        p.Shade = 1;
        p.X = X();
        p.Y = Y();
        p.Colour = visualmodes::RandomOnOff(255);
        if (p.Colour == 0)
            p.Colour = 0xFF00FF;
    }
}
