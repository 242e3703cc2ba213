#include "controls/display/LightStr.h"

#include "platform/gfx/Raster.h"

#include <algorithm>
#include <cstring>

namespace controls {

TLightStr::TLightStr(QWidget* parent) : TCustomControl(parent)
{
    display_.SetPixelFormat(gfx::pf32bit);
    line_.SetPixelFormat(gfx::pf32bit);
    Font().SetHeight(fontH_);
    resize(300, 34);  // the first paint fits the height to the dot rows
    timer_.SetEnabled(false);
    timer_.SetInterval(int(interval_));
    timer_.SetOnTimer([this] { Step(); });
}

TLightStr::~TLightStr() = default;

// ---- properties ----

void TLightStr::SetShowStrings(const rtl::TStringList& lines)
{
    lines_.Assign(lines);
    showCount_ = lines_.Count();
    showIndex_ = -1;
}

void TLightStr::SetShowIndex(int index)
{
    if (index >= 0 && index < lines_.Count() && index != showIndex_)
        showIndex_ = index;
}

void TLightStr::SetShowInterval(unsigned ms)
{
    if (ms == 0)
        return;
    interval_ = ms;
    timer_.SetInterval(int(ms));
}

void TLightStr::SetShowFontH(int dots)
{
    if (dots < 1)
        return;
    fontH_ = dots;
    Font().SetHeight(dots);
    resize(width(), 3 * dots + 2 * BorderWidth(borderStyle_));
    display_.SetSize(displayWidth(), 3 * dots);
    valid_ = false;
    Repaint();
}

void TLightStr::SetShowLoop(bool on)
{
    loop_ = on;
    if (endOfLines_) {
        endOfLines_ = false;
        loadNextLine();
    }
}

// ---- show ----

void TLightStr::setActive(bool on)
{
    active_ = on;
    timer_.SetEnabled(on);
}

void TLightStr::Start()
{
    if (endOfLines_) {
        endOfLines_ = false;
        loadNextLine();
    }
    if (active_ || lines_.Count() == 0)
        return;
    setActive(true);
    if (OnShowActive)
        OnShowActive(this, true);
}

void TLightStr::Stop()
{
    setActive(false);
    if (OnShowActive)
        OnShowActive(this, false);
}

void TLightStr::SetBorderStyle(TBorderStyle s)
{
    if (s == borderStyle_)
        return;
    const int grow = 2 * (BorderWidth(s) - BorderWidth(borderStyle_));
    borderStyle_ = s;
    resize(width() + grow, height() + grow);
    valid_ = false;
    Invalidate();
}

void TLightStr::Step()
{
    if (!active_)
        return;
    ++column_;
    if (column_ >= lineWidth_) {
        loadNextLine();
        if (!active_)
            return;
        ++column_;
    }
    ensureDisplay();
    scrollLeft();
    drawColumn(display_.Width() - 3, column_);
    Invalidate();
}

void TLightStr::loadNextLine()
{
    if (endOfLines_ || lines_.Count() == 0) {
        Stop();
        return;
    }
    if (showIndex_ + 1 < lines_.Count()) {
        ++showIndex_;
    } else if (loop_) {
        showIndex_ = 0;
        if (OnLineEof)
            OnLineEof(this);
    } else {
        // Let the last line scroll out fully; the show stops at the next load.
        blankLine();
        showIndex_ = -1;
        endOfLines_ = true;
        column_ = -1;
        return;
    }
    if (OnLineNext)
        OnLineNext(this, showIndex_);
    renderLine(lines_[showIndex_]);
    column_ = -1;
}

void TLightStr::renderLine(const std::string& text)
{
    gfx::TCanvas& c = line_.Canvas();
    c.Font().Assign(Font());
    // The font height is the whole character cell, ascent and descent together: take the
    // largest face whose cell fits the dot rows, so capitals reach the top row. A face sized
    // from the height by the usual leading allowance is a pixel smaller, and on a sign only
    // five dots high it leaves the top row dark and the letters unreadable.
    int em = fontH_;
    c.Font().SetHeight(-em);
    while (em > 1 && c.TextHeight(text) > fontH_)
        c.Font().SetHeight(-(--em));
    c.Font().SetColor(gfx::clBlack);
    lineWidth_ = std::max(1, c.TextWidth(text));
    line_.SetSize(lineWidth_, fontH_);
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(gfx::clWhite);
    c.FillRect(gfx::Rect(0, 0, lineWidth_, fontH_));
    c.TextOut(0, 0, text);
}

void TLightStr::blankLine()
{
    lineWidth_ = displayWidth() / 3 + 1;
    line_.SetSize(lineWidth_, fontH_);
    gfx::TCanvas& c = line_.Canvas();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(gfx::clWhite);
    c.FillRect(gfx::Rect(0, 0, lineWidth_, fontH_));
}

// ---- the display picture ----

int TLightStr::displayWidth() const
{
    const int inner = width() - 2 * BorderWidth(borderStyle_);
    return std::max(3, inner - inner % 3);
}

void TLightStr::ensureDisplay()
{
    if (display_.Width() != displayWidth() || display_.Height() != 3 * fontH_) {
        display_.SetSize(displayWidth(), 3 * fontH_);
        valid_ = false;
    }
    if (!valid_)
        rebuildDisplay();
}

void TLightStr::rebuildDisplay()
{
    gfx::TCanvas& c = display_.Canvas();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(backColor_);
    c.FillRect(gfx::Rect(0, 0, display_.Width(), display_.Height()));
    for (int x = 0; x < display_.Width(); x += 3)
        for (int y = 0; y < display_.Height(); y += 3)
            drawDot(x, y, false);
    valid_ = true;
}

// The cell whose top-left is (x, y): its left column and top row are grid, the rest the dot.
void TLightStr::drawDot(int x, int y, bool lit)
{
    using gfx::raster::toQRgb;  // the bitmap's 32-bit pixels are QRgb values
    const uint32_t back = toQRgb(backColor_), dark = toQRgb(darkColor_);
    const uint32_t light = lit ? toQRgb(lightColor_) : dark;
    auto row = [&](int r) { return reinterpret_cast<uint32_t*>(display_.ScanLine(y + r)) + x; };
    const int cols = std::min(3, display_.Width() - x);
    const uint32_t cells[3][3] = {{back, back, back}, {back, light, light}, {back, light, dark}};
    for (int r = 0; r < 3 && y + r < display_.Height(); ++r)
        std::memcpy(row(r), cells[r], size_t(cols) * 4);
}

void TLightStr::scrollLeft()
{
    const int w = display_.Width();
    for (int y = 0; y < display_.Height(); ++y) {
        uint32_t* line = reinterpret_cast<uint32_t*>(display_.ScanLine(y));
        std::memmove(line, line + 3, size_t(w - 3) * 4);
    }
}

void TLightStr::drawColumn(int x, int column)
{
    const bool inLine = column >= 0 && column < line_.Width();
    for (int r = 0; r < fontH_; ++r) {
        const bool lit = inLine && r < line_.Height() && line_.PixelColor(column, r) != gfx::clWhite;
        drawDot(x, 3 * r, lit);
    }
}

void TLightStr::Paint()
{
    TCustomControl::Paint();
    const int b = BorderWidth(borderStyle_);
    const int w = displayWidth() + 2 * b, h = 3 * fontH_ + 2 * b;
    if (w != width() || h != height())
        resize(w, h);
    ensureDisplay();
    Canvas().Draw(b, b, display_);
    if (b) {
        Canvas().Brush().SetColor(gfx::clWindowFrame);
        Canvas().FrameRect(gfx::Rect(0, 0, w, h));
    }
}

}  // namespace controls
