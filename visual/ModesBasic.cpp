// Visual modes 0-4: drifting stars, title wave, wandering spark, spinning board and level
// waterfall. Random bounds that come out negative for quiet columns or edge positions (the
// bursts of mode 1, the wander of mode 2, the rays of mode 3) give a spread of zero.
#include <QString>

#include <algorithm>
#include <cmath>

#include "platform/gfx/Bitmap.h"
#include "visual/BitmapRoutines.h"
#include "visual/VisualModes.h"
#include "visual/VisualResources.h"

using namespace visualmodes;

namespace {

int randomSpread(int Bound) { return rtl::Random(std::max(Bound, 0)); }

// The characters of a UTF-8 text (a double-byte character counts as one).
std::vector<std::string> characters(const std::string& Text)
{
    std::vector<std::string> result;
    const QString text = QString::fromStdString(Text);
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        result.push_back(text.mid(i, n).toStdString());
        i += n;
    }
    return result;
}

}  // namespace

// Drifting stars over a waveform of the column minima.
void TVisualPainter::mode0(TCall& C)
{
    auto& particles = State.Particles;
    int& counter = State.Counters[0];
    if (State.FirstPaint[0])
        seedParticles(0, [&] { return C.W - rtl::Random(2 * C.W); },
                      [&] { return rtl::Random(C.H + C.HalfH) - C.HalfH; });
    for (int i = 0; i <= 100; ++i) {
        TParticle& p = particles[i];
        p.X += 1;
        if (counter % 4 == 0)
            p.Y += 1;
        if (p.X > C.W || p.Y > C.H) {
            p.X = -rtl::Random(C.W);
            p.Y = rtl::Random(C.H) - C.HalfH;
        }
        twinkle(C, p);
    }
    const int count = C.Analysis.Columns;
    const double step = count / 256.0;
    for (int i = 0; i < count; ++i) {
        const int half = Trunc32(i * step / 2);
        C.Canvas.Pen().SetColor(gfx::RGB(255 - half, 200 - half, Trunc32(i * step)));
        const int y = ((255 - C.Min(i)) >> 2) + 4;
        if (i == 0)
            C.Canvas.MoveTo(0, y);
        else
            C.Canvas.LineTo(i, y);
    }
    if (++counter > C.W)
        counter = 0;
}

// One star, at full or dimmed brightness now and then, in the current colour.
void TVisualPainter::twinkle(TCall& C, TParticle& p, bool Draw)
{
    if (rtl::Random(4) == 0) {
        p.Shade += p.Step;
        int red, green, blue;
        SplitColor(p.Colour, red, green, blue);
        if (p.Shade < 50 || p.Shade > 255)
            p.Step = -p.Step;
        if (p.Shade != 0) {
            const double shade = p.Shade;
            State.CurrentColour = gfx::RGB(Trunc32(red / shade), Trunc32(green / shade),
                                           Trunc32(blue / shade));
        } else {
            State.CurrentColour = p.Colour;
        }
    } else {
        State.CurrentColour = p.Colour;
    }
    if (Draw)
        C.Canvas.SetPixel(p.X, p.Y, State.CurrentColour);
}

// Rising bubbles, two bursts of dots and the title riding the waveform.
void TVisualPainter::mode1(TCall& C)
{
    auto& points = State.Points;
    int& counter = State.Counters[1];
    if (State.FirstPaint[1]) {
        seedPoints(50, C.W - 4, C.H);
        State.FirstPaint[1] = 0;
        counter = 0;
        State.D1 = 1;
    }
    gfx::TCanvas& cv = C.Canvas;
    for (int i = 0; i <= 100; ++i) {
        cv.Pen().SetColor(RandomOnOff(255));
        gfx::TPoint& p = points[i];
        p.Y -= 1;
        if (counter % 2 == 0)
            p.X += Drift(i);
        if (p.Y < C.H) {
            cv.Ellipse(p.X, p.Y, p.X + 2, p.Y + 2);
            if (i % (33 + C.Ch) == 0) {
                gfx::TBitmap& head = FRes.WorkA();
                head.Assign(FRes.Picture(3));
                RotateBitmap(FRes, head, counter * 2.0);
                head.SetTransparent(true);
                cv.Draw(p.X, p.Y, head);
            }
        }
        if (p.Y < -16 || p.X > C.W) {
            p.X = rtl::Random(C.W - 2);
            p.Y = rtl::Random(C.H) + C.H;
        }
    }
    for (int j = 0; j <= 20; j += 10) {
        cv.Pen().SetColor(RandomColour());
        const int rx = C.W - 2 * C.Min(j);
        const int ry = C.H - (C.Min(j + 1) >> 1);
        for (int k = 0; k <= 80; ++k) {
            const double angle = RandomAngle();
            const int dx = Trunc32(std::cos(angle) * randomSpread(rx));
            const int dy = Trunc32(std::sin(angle) * randomSpread(ry));
            if (j == 10)
                cv.SetPixel(dx + 60, dy + 45, cv.Pen().Color());
            else if (j == 20)
                cv.SetPixel(C.W + dx - 50, dy + 35, cv.Pen().Color());
        }
    }
    paintTitleWave(C);
    counter += State.D1;
}

// The title, one character at a time, each riding its own column of the waveform and
// scrolling right to left (D1 = 1) or left to right (D1 = -1), turning at the far end.
void TVisualPainter::paintTitleWave(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    int& counter = State.Counters[1];
    int& d1 = State.D1;
    const std::string& title = C.Frame.Labels.Music.Text;
    const std::vector<std::string> chars = characters(title);
    const int n = static_cast<int>(chars.size());
    if (n == 0)
        return;
    const int tw = cv.TextWidth(title);
    const int th = cv.TextHeight(title);
    std::string prefix;
    for (int k = 1; k <= n; ++k) {
        prefix += chars[k - 1];
        const int y = C.H - (C.Min(2 * k) >> 2) - th / 2;
        const int prefixWidth = cv.TextWidth(prefix);
        int x = 0;
        if (d1 == 1) {
            x = prefixWidth + (C.W - counter) + 2 * (k - 1);
            if (x < 0) {
                if (x < -(tw + C.W + 2 * n)) {
                    d1 = -d1;
                    counter = tw + 2 * n;
                }
                x += C.W;
            }
        }
        if (d1 == -1) {
            x = prefixWidth + 2 * (k - 1) - counter;
            if (x > C.W) {
                if (x > tw + 2 * C.W + 2 * n) {
                    d1 = -d1;
                    counter = 0;
                }
                x -= C.W;
            }
        }
        cv.Font().SetColor(RandomOnOff(255));
        cv.TextOut(x, y, chars[k - 1]);
    }
}

// A spark wandering about the centre with the level, trailing dots.
void TVisualPainter::mode2(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    cv.Brush().SetStyle(gfx::bsSolid);
    cv.Brush().SetColor(RandomOnOff(255));
    const double level = C.Lv();
    int cx = C.HalfW;
    int cy = C.HalfH;
    for (int t = 0; t < 10; ++t) {
        const int a = std::max(Trunc32(cx * level), 0);
        const int b = std::max(Trunc32(cy * level), 0);
        cx = cx + rtl::Random(a) - a / 2;
        cy = cy + rtl::Random(b) - b / 2;
        const int px = (C.Min(0) >> 3) + cx;
        const int py = Trunc32(level * 40) - 20 + cy;
        cv.Pen().SetColor(RandomColour(80, 128));
        for (int k = 0; k <= 20; ++k) {
            const double angle = RandomAngle();
            const int dx = Trunc32(std::cos(angle) * rtl::Random(20));
            const int dy = Trunc32(std::sin(angle) * rtl::Random(10));
            cv.SetPixel(px + dx, py + dy, cv.Pen().Color());
        }
        cv.Ellipse(px - 3, py - 3, px + 3, py + 3);
    }
}

// Rays from the centre, falling snow and a tilting board.
void TVisualPainter::mode3(TCall& C)
{
    auto& points = State.Points;
    int& counter = State.Counters[3];
    if (State.FirstPaint[3]) {
        seedPoints(100, C.W - 4, C.H);
        State.FirstPaint[3] = 0;
        counter = 0;
        State.A3 = 0;
        State.T3 = 0;
    }
    gfx::TCanvas& cv = C.Canvas;
    cv.Pen().SetWidth(1);
    cv.Pen().SetColor(gfx::clWhite);
    cv.Brush().SetStyle(gfx::bsSolid);

    const int n = Trunc32(C.Lv() * 20 + 5);
    for (int j = 0; j <= n; j += 16) {
        cv.Pen().SetColor(RandomOnOff(100));
        int rx = (256 - C.Min(j)) / 6;
        int ry = (256 - C.Min(j + 1)) / 6;
        for (int k = 0; k < 10; ++k) {
            const double angle = rtl::Random(360) * Pi / 180;
            const int x = C.HalfW - Trunc32(std::cos(angle) * randomSpread(rx));
            const int y = C.HalfH - Trunc32(std::sin(angle) * randomSpread(ry));
            cv.MoveTo(C.HalfW, C.HalfH);
            cv.LineTo(x, y);
            rx = x;
            ry = y;
        }
    }
    for (int i = 0; i <= 200; ++i) {
        cv.Pen().SetColor(RandomOnOff(255));
        gfx::TPoint& p = points[i];
        p.Y += 1;
        if (counter % 2 == 0)
            p.X += Drift(i);
        if (p.Y > -4)
            cv.Ellipse(p.X, p.Y, p.X + 2, p.Y + 2);
        if (p.Y > C.H) {
            p.X = rtl::Random(C.W - 2);
            p.Y = -rtl::Random(C.H);
        }
    }
    const double t = State.A3 * (Pi / 180) * 5;
    const int dx1 = Trunc32(std::cos(t) * 30);
    const int dy1 = Trunc32(std::sin(t) * 3);
    const double t2 = t - static_cast<double>(State.T3);
    const int dx2 = Trunc32(std::cos(t2) * 30);
    const int dy2 = Trunc32(std::sin(t2) * 3);
    cv.Pen().SetColor(gfx::RGB(150, 150, 200));
    cv.Brush().SetColor(gfx::RGB(0, 0, 50));
    const gfx::TPoint board[4] = {{C.HalfW + dx1, C.HalfH + dy1 - 10},
                                  {C.HalfW - dx1, C.HalfH - dy1 - 10},
                                  {C.HalfW - dx2, C.HalfH - dy2 + 10},
                                  {C.HalfW + dx2, C.HalfH + dy2 + 10}};
    cv.Polygon(board);
    State.T3 += 0.005L;
    if (State.T3 > 359)
        State.T3 = 0;
    if (++State.A3 > 359)
        State.A3 = 0;
    if (++counter > C.H)
        counter = 0;
}

namespace {

gfx::TColor waterfallColour(int Channel, double Shade)
{
    if (Channel == 0) {
        const int grey = Trunc32(Shade * 0.9);
        return gfx::RGB(grey, grey, grey);
    }
    return gfx::RGB(Trunc32(Shade * 0.3), Trunc32(Shade * 0.9), Trunc32(Shade * 0.5));
}

void setWaterfallColour(gfx::TCanvas& Canvas, int Channel, double Shade)
{
    const gfx::TColor colour = waterfallColour(Channel, Shade);
    Canvas.Pen().SetWidth(1);
    Canvas.Pen().SetColor(colour);
    Canvas.Brush().SetColor(colour);
}

}  // namespace

// Ten rows of level blocks in perspective, each row an older copy of the one in front.
// The history holds 251 columns: wider panes draw the first 251 only.
void TVisualPainter::mode4(TCall& C)
{
    auto& history = State.History[C.Ch];
    const int last = std::min(C.HalfW, TPainterState::HistoryColumns - 1);
    if (State.FirstPaint[4]) {
        State.FirstPaint[4] = 0;
        State.Counters[4] = 0;
        for (int ch = 0; ch < 2; ++ch)
            for (int r = 0; r < 10; ++r)
                std::fill_n(State.History[ch][r], last + 1, std::uint8_t{20});
    }
    gfx::TCanvas& cv = C.Canvas;
    const int colW = C.HalfW / 3;
    const int baseY = C.HalfH / 2;
    int x = 0;
    int y = 0;
    for (int r = 0; r < 10; ++r) {
        setWaterfallColour(cv, C.Ch, r * 255 / 9.0);
        for (int c = 0; c <= last; ++c) {
            x = colW + c - 6 * r + 17;
            y = 4 * r + baseY + 10;
            cv.Rectangle(x, y, x + 5, y - history[r][c] + 10);
        }
    }
    double y0 = y - 1;
    for (int k = 0; k < 60; ++k) {
        const int m = 59 - k;
        setWaterfallColour(cv, C.Ch, m * 255 / 59.0);
        const int top = static_cast<int>(rtl::Round(y0));
        cv.MoveTo(x + 5, top);
        cv.LineTo(x + 5, top - static_cast<int>(rtl::Round(m / 6.0)) - 10);
        x += 1;
        y0 -= 0.6;
    }
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c <= last; ++c)
            history[r][c] = static_cast<std::uint8_t>(Trunc32(history[r + 1][c] * 0.95));
    for (int c = 0; c <= last; ++c)
        history[9][c] = static_cast<std::uint8_t>((255 - C.Min(c)) >> 2);
    if (++State.Counters[4] > 360)
        State.Counters[4] = 0;
}
