// `TLightStr`: an LED dot-matrix sign. Lines of text, rendered in the control's font
// `ShowFontH` pixels high, scroll from right to left one dot column per timer tick; each text
// pixel is a 2 x 2 dot on a 3-pixel grid (lit: three `LightColor` pixels and one `DarkColor`
// corner; unlit: four `DarkColor` pixels), with `BackColor` between the dots.
//
// A pixel of the rendered line is lit when it is not white, so lines are rendered without
// antialiasing: a grey edge pixel would light a dot. The control owns the display picture
// (its width rounded down to a multiple of 3, at least 3, by 3 x ShowFontH), the current
// line's picture and the step timer. A step moves the display picture 3 pixels left in place
// and draws one new column of dots, then repaints; nothing is allocated per step.
//
// With `BorderStyle` bsSingle a one-pixel black frame surrounds the dots and the control is
// two pixels wider and higher than its display. `Stop` always tells `OnShowActive`, even
// when nothing was running.
//
// Without `ShowLoop`, the last line is followed by one screen width of blank columns, after
// which the show stops by itself. UI thread only (a window timer).
#pragma once
#include <functional>
#include <string>

#include "controls/display/PanelBorder.h"
#include "platform/forms/Control.h"
#include "platform/forms/Timer.h"
#include "platform/gfx/Bitmap.h"
#include "platform/rtl/StringList.h"

namespace controls {

using TLineNextEvent = std::function<void(QObject* sender, int index)>;
using TLineEofEvent = std::function<void(QObject* sender)>;
using TShowActiveEvent = std::function<void(QObject* sender, bool active)>;

class TLightStr : public forms::TCustomControl, public TPanelBorder {
public:
    explicit TLightStr(QWidget* parent = nullptr);
    ~TLightStr() override;

    gfx::TColor LightColor() const { return lightColor_; }
    gfx::TColor DarkColor() const { return darkColor_; }
    gfx::TColor BackColor() const { return backColor_; }
    // Colours take effect on dots drawn from now on.
    void SetLightColor(gfx::TColor c) { lightColor_ = c; }
    void SetDarkColor(gfx::TColor c) { darkColor_ = c; }
    void SetBackColor(gfx::TColor c) { backColor_ = c; }

    const rtl::TStringList& ShowStrings() const { return lines_; }
    // Copies the lines; the next line shown is the first.
    void SetShowStrings(const rtl::TStringList& lines);
    int ShowIndex() const { return showIndex_; }
    void SetShowIndex(int index);  // only 0 .. lines - 1
    int ShowCount() const { return showCount_; }
    bool ShowActive() const { return active_; }
    unsigned ShowInterval() const { return interval_; }
    void SetShowInterval(unsigned ms);  // 0 is ignored
    int ShowFontH() const { return fontH_; }
    void SetShowFontH(int dots);  // below 1 is ignored
    bool ShowLoop() const { return loop_; }
    void SetShowLoop(bool on);

    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle s);

    void Start();
    void Stop();
    // One scroll step, as the timer makes it.
    void Step();

    // The line being shown as rendered (black on white).
    const gfx::TBitmap& LineBitmap() const { return line_; }

    TLineNextEvent OnLineNext;
    TLineEofEvent OnLineEof;
    TShowActiveEvent OnShowActive;

protected:
    void Paint() override;

private:
    int displayWidth() const;
    void ensureDisplay();
    void rebuildDisplay();
    void scrollLeft();
    void drawDot(int x, int y, bool lit);
    void drawColumn(int x, int column);
    void loadNextLine();
    void renderLine(const std::string& text);
    void blankLine();
    void setActive(bool on);

    gfx::TColor lightColor_ = gfx::clLime;
    gfx::TColor darkColor_ = gfx::clTeal;
    gfx::TColor backColor_ = gfx::clBlack;
    rtl::TStringList lines_;
    int showIndex_ = -1;
    int showCount_ = 0;
    bool active_ = false;
    unsigned interval_ = 100;
    int fontH_ = 11;
    bool loop_ = true;
    TBorderStyle borderStyle_ = bsNone;

    gfx::TBitmap display_;
    gfx::TBitmap line_;
    forms::TTimer timer_;
    int column_ = -1;    // column of the line shown at the right edge
    int lineWidth_ = 0;  // columns of the current line
    bool valid_ = false;
    bool endOfLines_ = false;
};

}  // namespace controls
