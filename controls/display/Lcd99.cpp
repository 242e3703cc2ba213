#include "controls/display/Lcd99.h"

#include <algorithm>

#include <QElapsedTimer>
#include <QMessageBox>

#include "platform/forms/Application.h"
#include "platform/rtl/AsciiCase.h"
#include "platform/rtl/Numerics.h"

namespace controls {

namespace {

constexpr TSegmentPattern lit(const char* segments)
{
    TSegmentPattern p = 0;
    for (; *segments; ++segments)
        p |= TSegmentPattern(1u << (*segments - '1'));
    return p;
}

constexpr std::array<TSegmentPattern, 10> kDigits = {
    lit("123567"), lit("36"), lit("13457"), lit("13467"), lit("2346"),
    lit("12467"), lit("124567"), lit("136"), lit("1234567"), lit("123467")};

constexpr std::array<TSegmentPattern, 26> kLetters = {
    lit("123456"), lit("24567"), lit("1257"), lit("34567"), lit("12457"),   // A-E
    lit("1245"), lit("124567"), lit("2456"), lit("36"), lit("367"),         // F-J
    lit("23456"), lit("257"), lit("456"), lit("456"), lit("4567"),          // K-O
    lit("12345"), lit("12346"), lit("45"), lit("12467"), lit("245"),        // P-T
    lit("23567"), lit("23567"), lit("23567"), lit("23456"), lit("2346"),    // U-Y
    lit("13457")};                                                          // Z

constexpr std::array<int, 8> kPlainOrder = {1, 2, 3, 8, 4, 5, 6, 7};
constexpr std::array<std::array<int, 8>, 5> kAnimatedOrders = {{
    {8, 4, 2, 1, 3, 6, 7, 5},  // anSpiral
    {7, 6, 5, 8, 4, 3, 2, 1},  // anUp
    {1, 2, 3, 8, 4, 5, 6, 7},  // anDown
    {6, 3, 7, 8, 4, 1, 5, 2},  // anLeft
    {2, 5, 1, 8, 4, 7, 3, 6},  // anRight
}};

bool allowed(char ch)
{
    return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || ch == '-' || ch == ' ' ||
           ch == '.' || ch == ':';
}

bool isLit(TSegmentPattern p, int segment)
{
    return (p >> (segment - 1)) & 1;
}

// Dot mode leaves out an unlit bar's end dot where a lit neighbour shares it; these are the
// neighbours at the anchor end and at the far end of each segment.
struct Ends {
    TSegmentPattern start, end;
};
constexpr std::array<Ends, 8> kEnds = {{
    {lit("2"), lit("3")},    // 1 top
    {lit("1"), lit("45")},   // 2 upper left
    {lit("1"), lit("46")},   // 3 upper right
    {lit("25"), lit("36")},  // 4 middle
    {lit("42"), lit("7")},   // 5 lower left
    {lit("43"), lit("7")},   // 6 lower right
    {lit("5"), lit("6")},    // 7 bottom
    {0, 0},                  // 8 colon
}};

}  // namespace

TSegmentPattern SegmentPattern(char ch)
{
    if (ch >= '0' && ch <= '9')
        return kDigits[size_t(ch - '0')];
    if (ch >= 'A' && ch <= 'Z')
        return kLetters[size_t(ch - 'A')];
    if (ch == '-')
        return lit("4");
    if (ch == ':')
        return lit("8");
    return 0;
}

const std::array<int, 8>& SegmentOrder(TLCDAnimation animation)
{
    if (animation >= anSpiral && animation <= anRight)
        return kAnimatedOrders[size_t(animation - anSpiral)];
    return kPlainOrder;
}

TLCDAnimation ResolveAnimation(TLCDAnimation animation)
{
    return animation == anRandom ? TLCDAnimation(anSpiral + rtl::Random(5)) : animation;
}

std::string NormaliseLcdText(const std::string& text)
{
    std::string s = text;
    for (char& ch : s) {
        ch = rtl::UpperAscii(ch);
        if (!allowed(ch))
            return {};
    }
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s;
}

TLcdCells SplitLcdText(const std::string& text, int count)
{
    TLcdCells c;
    char prev = 0;
    for (char ch : text) {
        if (ch != '.') {
            c.digits += ch;
            if (prev != '.')
                c.points += ' ';
        } else {
            c.points += '.';
            if (prev == '.')
                c.digits += ' ';
        }
        prev = ch;
    }
    // A point after the last character marks no cell.
    c.points.resize(c.digits.size(), ' ');
    const size_t n = size_t(std::max(count, 0));
    if (c.digits.size() < n) {
        c.digits.insert(0, n - c.digits.size(), ' ');
        c.points.insert(0, n - c.points.size(), ' ');
    }
    c.digits.resize(n);
    c.points.resize(n);
    return c;
}

struct TLCD99::Geometry {
    int g = 0;       // gap between cells
    int cw = 0, ch = 0;
    int gx = 0, gy = 0;
    int s = 0;       // segment thickness or dot diameter
    int lh = 0, lv = 0;
    int pitch = 1;   // dot pitch
    bool dots = false;
    bool usable() const { return cw > 0 && ch > 0; }
    int x0(int cell) const { return cell * (g + cw) + g; }
};

TLCD99::TLCD99(QWidget* parent) : TCustomControl(parent)
{
    SetColor(gfx::clBlack);
    resize(92, 34);
    animationTimer_.setSingleShot(true);
    QObject::connect(&animationTimer_, &QTimer::timeout, [this] {
        forms::RunGuarded([this] { animationStep(); });
    });
}

TLCD99::~TLCD99() = default;

void TLCD99::SetAbout(TLCDAbout value)
{
    if (value == abAbout)
        QMessageBox::information(this, QStringLiteral("TLCD99"),
                                 QStringLiteral("TLCD99 seven-segment display, version 1.0"));
}

void TLCD99::changed()
{
    if (animating_)
        finishAnimation();
    fullRedraw_ = true;
    Invalidate();
}

void TLCD99::SetDigitNum(int n)
{
    if (n < 1 || n == digitNum_)
        return;
    digitNum_ = n;
    changed();
}

void TLCD99::SetDigitSpacing(int px)
{
    if (px == digitSpacing_)
        return;
    digitSpacing_ = px;
    changed();
}

void TLCD99::SetDotDisplay(bool on)
{
    if (on == dotDisplay_)
        return;
    dotDisplay_ = on;
    changed();
}

void TLCD99::SetDotSpacing(int px)
{
    if (px == dotSpacing_ || segmentSize_ + px < 1)
        return;
    dotSpacing_ = px;
    changed();
}

void TLCD99::SetDoubleBuffer(bool on)
{
    if (on == doubleBuffer_)
        return;
    doubleBuffer_ = on;
    changed();
}

void TLCD99::SetGapX(int px)
{
    if (px == gapX_)
        return;
    gapX_ = px;
    changed();
}

void TLCD99::SetGapY(int px)
{
    if (px == gapY_)
        return;
    gapY_ = px;
    changed();
}

void TLCD99::SetOffColor(gfx::TColor c)
{
    if (c == offColor_)
        return;
    offColor_ = c;
    changed();
}

void TLCD99::SetOnColor(gfx::TColor c)
{
    if (c == onColor_)
        return;
    onColor_ = c;
    changed();
}

void TLCD99::SetSegmentSize(int px)
{
    if (px == segmentSize_ || px < 1 || px + dotSpacing_ < 1)
        return;
    segmentSize_ = px;
    changed();
}

// Qt repeats the resize notice of a hidden control on every render; only a new size counts.
void TLCD99::Resized()
{
    TCustomControl::Resized();
    if (size() != drawnSize_)
        changed();
}

void TLCD99::ColorChanged()
{
    changed();
}

void TLCD99::SetValue(const std::string& text)
{
    if (text == value_)
        return;
    // Another spelling of what is shown ("12a" after "12A") is a write like any other: it
    // is stored and announced, and the cells are drawn again.
    std::string stored = NormaliseLcdText(text);
    if (animating_)
        finishAnimation();
    std::string old = std::move(value_);
    value_ = std::move(stored);
    if (OnChange)
        OnChange(this, old, value_);
    valueChanged_ = true;
    Invalidate();
}

TLCD99::Geometry TLCD99::geometry() const
{
    Geometry g;
    const int n = digitNum_;
    g.dots = dotDisplay_;
    g.s = segmentSize_;
    g.g = dotDisplay_ ? digitSpacing_ : digitSpacing_ + 1;
    const int h = height() - 1, w = width() - 1 - g.g;
    if (!dotDisplay_) {
        g.cw = (w - n * g.g) / n;
        g.ch = h;
        g.gx = gapX_;
        g.gy = gapY_;
    } else {
        g.pitch = segmentSize_ + dotSpacing_;
        g.cw = g.pitch * (((g.g + w) / n - g.g + dotSpacing_) / g.pitch) - dotSpacing_;
        g.ch = g.pitch * (((h - g.s) / 2) / g.pitch) * 2 + g.s;
    }
    g.lh = g.cw - 2 * g.gx;
    g.lv = g.ch / 2 - 2 * g.gy;
    return g;
}

namespace {

// Anchor, signed thickness and length of segments 1-7 of the cell starting at x0.
struct SegmentPlace {
    int x, y, t, length;
    bool vertical, middle;
};

SegmentPlace place(int seg, int x0, int cw, int ch, int gx, int gy, int s, int lh, int lv,
                          bool dots)
{
    const int lowerY = dots ? ch / 2 - s / 2 : ch / 2 + gy;
    switch (seg) {
    case 1: return {x0 + gx, 0, s, lh, false, false};
    case 7: return {x0 + gx, ch, -s, lh, false, false};
    case 4: return {x0 + gx, ch / 2 - s / 2, s, lh, false, true};
    case 2: return {x0, gy, s, lv, true, false};
    case 3: return {x0 + cw, gy, -s, lv, true, false};
    case 5: return {x0, lowerY, s, lv, true, false};
    default: return {x0 + cw, lowerY, -s, lv, true, false};  // 6
    }
}

// round(t / div), halves to even, as the bar ends are specified.
int roundedPart(int t, int div)
{
    return int(rtl::Round(double(t) / div));
}

}  // namespace

void TLCD99::drawSolidSegment(const Geometry& g, int x0, int segment)
{
    const SegmentPlace p = place(segment, x0, g.cw, g.ch, g.gx, g.gy, g.s, g.lh, g.lv, false);
    const int x = p.x, y = p.y, t = p.t, l = p.length, s = g.s;
    std::array<gfx::TPoint, 6> pts;
    if (p.vertical) {
        const int q = roundedPart(t, 4);
        pts = {{{x + q, y}, {x, y + s / 2}, {x, y + l - s / 2}, {x + q, y + l}, {x + t, y + l - s},
                {x + t, y + s}}};
    } else {
        const int q = roundedPart(t, p.middle ? 2 : 4);
        const int inset = p.middle ? s : s / 2;
        pts = {{{x, y + q}, {x + inset, y}, {x + l - inset, y}, {x + l, y + q}, {x + l - s, y + t},
                {x + s, y + t}}};
    }
    Canvas().Polygon(pts);
}

void TLCD99::drawDotSegment(const Geometry& g, int x0, int segment, TSegmentPattern pattern)
{
    const SegmentPlace p = place(segment, x0, g.cw, g.ch, 0, 0, g.s, g.lh, g.lv, true);
    if (p.length < 0)
        return;
    const int count = p.length / g.pitch + 1;
    int first = 0, last = count - 1;
    if (!isLit(pattern, segment)) {
        const Ends& e = kEnds[size_t(segment - 1)];
        if (pattern & e.start)
            ++first;
        if (pattern & e.end)
            --last;
    }
    gfx::TCanvas& c = Canvas();
    const int side = std::min(0, p.t);  // a negative thickness grows up or to the left
    for (int k = first; k <= last; ++k) {
        const int along = k * g.pitch;
        const int l = p.vertical ? p.x + side : p.x + along;
        const int top = p.vertical ? p.y + along : p.y + side;
        c.Ellipse(l, top, l + g.s, top + g.s);
    }
}

void TLCD99::drawColon(const Geometry& g, int x0)
{
    const int ew = g.lh / 3, eh = g.lv / 3;
    const int left = x0 + (g.cw - ew) / 2;
    gfx::TCanvas& c = Canvas();
    c.Ellipse(left, g.ch / 2 - 2 * eh, left + ew, g.ch / 2 - eh);
    c.Ellipse(left, g.ch / 2 + eh, left + ew, g.ch / 2 + 2 * eh);
}

void TLCD99::drawPoint(const Geometry& g, int cell, bool on)
{
    const int d = std::min(g.g - 2, g.s);
    if (d <= 0)
        return;
    gfx::TCanvas& c = Canvas();
    c.Pen().SetColor(on ? onColor_ : offColor_);
    c.Brush().SetColor(on ? onColor_ : offColor_);
    const int left = g.x0(cell) - (g.g + d) / 2;
    if (g.dots)
        c.Ellipse(left, g.ch - d, left + d, g.ch);
    else
        c.Rectangle(left, g.ch - d, left + d, g.ch);
}

void TLCD99::drawSegment(const Geometry& g, int cell, int segment, TSegmentPattern pattern)
{
    gfx::TCanvas& c = Canvas();
    const gfx::TColor color = isLit(pattern, segment) ? onColor_ : offColor_;
    c.Pen().SetColor(color);
    c.Brush().SetColor(color);
    const int x0 = g.x0(cell);
    if (segment == 8)
        drawColon(g, x0);
    else if (g.dots)
        drawDotSegment(g, x0, segment, pattern);
    else
        drawSolidSegment(g, x0, segment);
}

void TLCD99::drawCell(const Geometry& g, int cell, char digit, char point,
                      const std::array<int, 8>& order)
{
    drawPoint(g, cell, point == '.');
    const TSegmentPattern pattern = SegmentPattern(digit);
    for (int segment : order)
        drawSegment(g, cell, segment, pattern);
}

void TLCD99::Paint()
{
    if (painting_ || animating_)
        return;  // a build-up is running: the backing shows it as far as it has got
    painting_ = true;
    QElapsedTimer clock;
    clock.start();
    gfx::TCanvas& c = Canvas();
    c.Pen().SetWidth(1);
    c.Pen().SetStyle(gfx::psSolid);
    c.Brush().SetStyle(gfx::bsSolid);
    const Geometry g = geometry();
    const TLcdCells next = SplitLcdText(value_, digitNum_);
    const bool animate = valueChanged_ && hasShown_ && animation_ != anNone && animationDelay_ > 0;
    bool drawAll = false;
    TLcdCells prev;
    if (hasShown_)
        prev = SplitLcdText(shownText_, digitNum_);
    if (fullRedraw_ || !hasShown_ || size() != drawnSize_) {
        drawnSize_ = size();
        c.Brush().SetColor(Color());
        c.FillRect(gfx::Rect(0, 0, width(), height()));
        fullRedraw_ = false;
        if (animate && g.usable()) {
            for (int i = 0; i < digitNum_; ++i)
                drawCell(g, i, prev.digits[size_t(i)], prev.points[size_t(i)], kPlainOrder);
        } else {
            drawAll = true;
        }
    }
    if (g.usable()) {
        changedCells_.assign(size_t(digitNum_), ' ');
        bool any = false;
        for (size_t i = 0; i < size_t(digitNum_); ++i)
            if (drawAll || next.digits[i] != prev.digits[i] || next.points[i] != prev.points[i]) {
                changedCells_[i] = 'x';
                any = true;
            }
        if (any && animate) {
            startAnimation(g, next, clock.elapsed());
        } else {
            for (int i = 0; i < digitNum_; ++i)
                if (changedCells_[size_t(i)] == 'x')
                    drawCell(g, i, next.digits[size_t(i)], next.points[size_t(i)], kPlainOrder);
        }
    }
    if (!animating_) {
        shownText_ = value_;
        hasShown_ = true;
    }
    valueChanged_ = false;
    paintDuration_ = uint32_t(clock.elapsed());
    painting_ = false;
}

// ---- segment-by-segment build-up ----

void TLCD99::drawStep(const Geometry& g, int step)
{
    for (int i = 0; i < digitNum_; ++i) {
        if (changedCells_[size_t(i)] != 'x')
            continue;
        if (step == 0)
            drawPoint(g, i, target_.points[size_t(i)] == '.');
        drawSegment(g, i, order_[size_t(step)], SegmentPattern(target_.digits[size_t(i)]));
    }
}

void TLCD99::startAnimation(const Geometry& g, const TLcdCells& target, int64_t spentMs)
{
    order_ = SegmentOrder(ResolveAnimation(animation_));
    target_ = target;
    targetText_ = value_;
    animating_ = true;
    animationClock_.start();
    stepDelay_ = std::max<int>(0, int((animationDelay_ - spentMs) / 7));
    step_ = 0;
    drawStep(g, step_++);
    scheduleStep();
}

// Each step is due a whole step delay after the build-up's start, so a late timer shortens
// the next wait instead of stretching the whole build-up.
void TLCD99::scheduleStep()
{
    const int64_t due = int64_t(step_) * stepDelay_;
    animationTimer_.start(int(std::max<int64_t>(0, due - animationClock_.elapsed())));
}

void TLCD99::animationStep()
{
    if (!animating_)
        return;
    drawStep(geometry(), step_++);
    if (step_ < 8)
        scheduleStep();
    else
        finishAnimation();
}

void TLCD99::finishAnimation()
{
    animationTimer_.stop();
    const Geometry g = geometry();
    while (step_ < 8)
        drawStep(g, step_++);
    animating_ = false;
    shownText_ = targetText_;
    hasShown_ = true;
    paintDuration_ = uint32_t(animationClock_.elapsed());
    Invalidate();
}

}  // namespace controls
