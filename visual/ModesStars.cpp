// Visual modes 22-24: the flight through the 500 stars with sparks from the middle, the stars
// receding behind a wobbling picture, and the rising rings and sparkles with the day's lucky
// colour and number near the end of each track.
//
// The stars and the wave picture need a pane's surface; on the paint boxes modes 22 and 23
// draw only their sparks and waveform.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "platform/gfx/Bitmap.h"
#include "util/libStamp.h"
#include "visual/DXDraw.h"
#include "visual/DXImageList.h"
#include "visual/DXSprite.h"
#include "visual/VisualModes.h"
#include "visual/VisualResources.h"

using namespace visualmodes;

namespace {

constexpr int kB05 = 10;  // picture slot of "b05", the sparkle

struct TLuckyColour {
    const char* Name;
    gfx::TColor Colour;
};

constexpr TLuckyColour kLuckyColours[10] = {
    {"黒", 0x000000},   {"白", 0xFFFFFF},   {"赤", 0x0000FF},     {"青", 0xFF0000},
    {"緑", 0x00FF00},   {"黄", 0x00FFFF},   {"紫", 0x800080},     {"水色", 0xFFFF00},
    {"ピンク", 0xFF00FF}, {"オレンジ", 0x0080FF}};

// The stars and the picture list when the pane has a surface to fly them on.
struct TStarField {
    visual::TDirectDrawSurface* Surface = nullptr;
    visual::TPictureCollection* Items = nullptr;
    const std::array<visual::TMySprite*, 500>* Stars = nullptr;

    explicit operator bool() const { return Surface != nullptr; }
    visual::TPictureCollectionItem* Item(int Index) const
    {
        return Index < Items->Count() ? Items->GetItem(Index) : nullptr;
    }
};

bool isDateStamp(const std::string& S)
{
    return S.size() == 8 && std::all_of(S.begin(), S.end(), [](unsigned char c) { return std::isdigit(c); });
}

// The field of the frame: the pane's surface, with the picture list and the stars bound to it.
TStarField starField(const TVisualFrame& Frame, visual::TDirectDrawSurface* Surface)
{
    TStarField f;
    if (!Surface || !Frame.ImageList || !Frame.SpriteEngine || !Frame.Stars || !Frame.DXDraw)
        return f;
    Frame.SpriteEngine->SetDXDraw(Frame.DXDraw);
    f.Surface = Surface;
    f.Items = &Frame.ImageList->Items();
    f.Stars = Frame.Stars;
    return f;
}

}  // namespace

// Flying into the stars, some of them other pictures, sparks bursting from the middle.
void TVisualPainter::mode22(TCall& C)
{
    const TStarField field = starField(C.Frame, paneSurface(C));
    if (State.FirstPaint[22]) {
        State.FirstPaint[22] = 0;
        if (field) {
            for (visual::TMySprite* star : *field.Stars)
                star->Image = field.Item(rtl::Random(5) == 0 ? rtl::Random(5) : 0);
        }
    }
    if (field) {
        field.Surface->Canvas().Release();  // the stars' blits lock the surface
        for (int i = 1; i <= 500; ++i) {
            visual::TMySprite* star = (*field.Stars)[i - 1];
            if (i % 10 == 0)
                star->Image = field.Item(rtl::Random(5));
            star->DoMove(1);
            star->DoDraw();
        }
    }
    gfx::TCanvas& cv = C.Canvas;
    for (int j = 0; j <= C.H; ++j) {
        const int x = C.W - 2 * C.Min(j);
        const int y = C.H - (C.Min(j + 1) >> 1);
        if (j % 4 == 0) {
            cv.Pen().SetColor(0xFFFFFF);
            for (int n = 0; n <= 30; ++n)
                pixelScatter(cv, C.HalfW, C.HalfH, x / 12, y / 12);
        }
        if (j % 8 == 0) {
            cv.Pen().SetColor(0x00FFFF);
            for (int n = 0; n <= 100; ++n)
                pixelScatter(cv, C.HalfW, C.HalfH, x / 6, y / 6);
        }
        if (j % 16 == 0) {
            cv.Pen().SetColor(0xFF0000);
            for (int n = 0; n <= 200; ++n)
                pixelScatter(cv, C.HalfW, C.HalfH, x / 4, y / 4);
        }
    }
}

// The stars recede behind a small picture wobbling with the music, over a short waveform.
void TVisualPainter::mode23(TCall& C)
{
    int& counter = State.Counters[23];
    const TStarField field = starField(C.Frame, paneSurface(C));
    if (State.FirstPaint[23]) {
        State.FirstPaint[23] = 0;
        counter = 0;
        if (field) {
            for (visual::TMySprite* star : *field.Stars)
                star->Image = field.Item(5);
        }
    }
    if (field) {
        field.Surface->Canvas().Release();  // the blits lock the surface
        for (visual::TMySprite* star : *field.Stars) {
            star->DoMove(-1);
            star->DoDraw();
        }
        if (visual::TPictureCollectionItem* item = field.Item(2)) {
            const int phase = C.Min(11) / 20 + 4 * counter;
            item->DrawWaveDistort(*field.Surface, ((255 - C.Min(21)) >> 2) + C.HalfW - 48,
                                  ((255 - C.Min(11)) >> 2) - 10, 20, 20, 0, C.Min(1) / 20, 80,
                                  phase);
        }
    }
    if (++counter > 2 * C.W)
        counter = 0;
    gfx::TCanvas& cv = C.Canvas;
    cv.Pen().SetWidth(1);
    const int blue = 63 * rtl::Random(4);
    const int green = 63 * rtl::Random(4);
    const int red = 63 * rtl::Random(4);
    cv.Pen().SetColor(gfx::RGB(red, green, blue));
    for (int i = 0; i <= 30; ++i) {
        const int x = C.HalfW + i - 20, y = ((255 - C.Min(i)) >> 2) + 4;
        if (i == 0)
            cv.MoveTo(x, y);
        else
            cv.LineTo(x, y);
    }
}

// The day's colour and number from today's date, and the bubbles seeded afresh.
void TVisualPainter::luckyFortune(TCall& C)
{
    std::string d = C.Frame.Today;
    if (!isDateStamp(d))
        d = MakeDateStamp();
    if (!isDateStamp(d))
        d = "20000101";
    const int year = std::stoi(d.substr(0, 4));
    const int s = std::stoi(d.substr(4, 2)) + std::stoi(d.substr(6, 2));
    const std::string product = std::to_string(year * s);
    State.LuckyNumber = std::to_string(std::stoi(product.substr(product.size() > 2 ? product.size() - 2 : 0)));
    State.LuckyName = kLuckyColours[s % 10].Name;
    State.CurrentColour = kLuckyColours[s % 10].Colour;

    for (TPainterState::TBubble& b : State.Bubbles) {
        b.Y = rtl::Random(C.H);
        const int size = rtl::Random(10);
        if (size <= 4)
            b.R = rtl::Random(C.HalfW / 4) + 4;
        else if (size <= 7)
            b.R = rtl::Random(C.HalfW / 3) + 8;
        else
            b.R = rtl::Random(C.HalfW / 2) + 12;
        b.Sway = rtl::Random(b.R / 2) + 1;
        b.Spin = b.R / 20 + 1;
        b.Speed = (rtl::Random(10) + 1) / 10.0;
        b.A = rtl::Random(360);
        b.B = rtl::Random(360);
        const int blue = 64 * rtl::Random(5) % 256;
        const int green = 64 * rtl::Random(5) % 256;
        const int red = 64 * rtl::Random(5) % 256;
        b.Colour = gfx::RGB(red, green, blue);
        if (b.Colour == 0)
            b.Colour = 0xFF0000;
    }
}

// Sparkles and rings rising; past nine tenths of the track the day's fortune climbs in.
void TVisualPainter::mode24(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    auto& pts = State.Points;
    int& counter = State.Counters[24];
    if (State.FirstPaint[24]) {
        seedPoints(50, C.W - 4, C.H);
        State.FirstPaint[24] = 0;
        counter = 0;
        State.Rise = 0;
        luckyFortune(C);
    }
    for (int k = 0; k <= 100; ++k) {
        gfx::TPoint& p = pts[k];
        p.Y -= 1;
        if (counter % 2 == 0)
            p.X += Drift(k);
        if (p.Y < C.H) {
            if (k % (C.Ch + 63) == 0)
                drawTurned(C, kB05, 8.0 * counter, p.X - 8, p.Y - 7);
            else
                cv.SetPixel(p.X, p.Y, RandomOnOff(255));
        }
        if (p.Y < -16 || p.X > C.W) {
            p.X = rtl::Random(C.W - 2);
            p.Y = C.H + rtl::Random(C.H);
        }
    }
    const int grow = Trunc32(C.Lv() * 20.0) - 5;
    for (int k = 0; k <= 150; ++k) {
        TPainterState::TBubble& b = State.Bubbles[k];
        b.Y -= b.Speed;
        b.A += b.Spin * Pi / 180;
        b.B += b.Spin * Pi / 180;
        const double t = 1.0 - b.Y / C.H;
        const int py = Trunc32(std::sin(b.B) * b.Sway + b.Y);
        const int px = Trunc32(std::cos(b.A) * ((b.R + grow) * t)) + C.HalfW;
        cv.Pen().SetColor(b.Colour);
        cv.Pen().SetWidth(1);
        cv.MoveTo(px - 2, py);
        cv.LineTo(px + 3, py);
        cv.MoveTo(px, py - 2);
        cv.LineTo(px, py + 3);
        if (k % (C.Ch + 75) == 0)
            drawTurned(C, kB05, 4.0 * counter, px - 8, py - 7);
        else
            cv.Ellipse(px - 2, py - 2, px + 2, py + 2);
        if (b.Sway + b.Y < -16.0)
            b.Y = rtl::Random(10) + C.H;
    }
    if (C.Frame.Gauge1Position > 90)
        fortuneText(C);
    else
        State.Rise = 0;
    if (++counter > 360)
        counter = 0;
}

void TVisualPainter::fortuneText(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    if (State.Counters[24] % 2 == 0)
        ++State.Rise;
    const int ty = std::max(C.H - State.Rise, C.HalfH);
    std::string text;
    gfx::TColor icon = 0xFFFFFF;
    if (C.Ch == 0) {
        text = "今日のラッキーカラー : " + State.LuckyName;
        icon = State.CurrentColour;
        cv.Font().SetColor(icon);
        if (icon == 0)
            cv.Brush().SetColor(0xFFFFFF);  // black text on a white box
    } else {
        text = "今日のラッキーナンバー : " + State.LuckyNumber;
        cv.Font().SetColor(0xFFFFFF);
    }
    const int tx = (C.W - cv.TextWidth(text)) / 2;
    const gfx::TFontStyles style = cv.Font().Style();
    cv.Font().SetStyle(gfx::fsBold);
    cv.TextOut(tx + 12, ty, text);
    // The title that follows is measured in the pane's font: bold left behind would move it.
    cv.Font().SetStyle(style);

    gfx::TBitmap& bmp = FRes.WorkA();
    bmp.Assign(FRes.Picture(kB05));
    bmp.Canvas().Brush().SetColor(icon);
    bmp.Canvas().FloodFill(9, 5, gfx::clBlack, gfx::fsSurface);
    bmp.Canvas().FloodFill(3, 12, gfx::clBlack, gfx::fsSurface);
    cv.Draw(tx - 12, ty - 4, bmp);
}
