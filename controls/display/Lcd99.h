// `TLCD99`: a row of seven-segment digit cells showing a short text (digits, the letters the
// segments can suggest, '-', ' ', ':' and decimal points), drawn as hexagonal bars or as rows
// of round dots, optionally building each changed digit up segment by segment.
//
// The control's backing picture keeps what was painted last, so after the first paint only
// the cells whose character or point changed are drawn again; the engine writes the play
// position here on every display tick. An animated change is a run of timer steps, one
// segment per step for all changed cells: nothing waits inside a paint, and a paint that
// arrives while the steps run only shows the picture as far as it has got. A new value
// written meanwhile first completes the running build-up.
//
// A digit count below 1 and a dot pitch (segment size plus dot spacing) below 1 are refused,
// so the cell geometry never divides by zero. UI thread only.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include <QElapsedTimer>
#include <QTimer>

#include "platform/forms/Control.h"

namespace controls {

enum TLCDAbout { abNone, abAbout };
enum TLCDAnimation { anNone, anSpiral, anUp, anDown, anLeft, anRight, anRandom };

using TLCDChangeProc = std::function<void(QObject* sender, const std::string& oldValue,
                                          const std::string& newValue)>;

// The segments of a cell: 1 top, 2 upper left, 3 upper right, 4 middle, 5 lower left,
// 6 lower right, 7 bottom, 8 the colon pair; bit n - 1 of a pattern lights segment n.
using TSegmentPattern = uint8_t;
// The lit segments of a character (upper case); 0 for a blank and for characters without a
// pattern.
TSegmentPattern SegmentPattern(char ch);
// The order in which an animation draws the eight segments (anNone: the plain order).
const std::array<int, 8>& SegmentOrder(TLCDAnimation animation);
// The animation a paint uses: anRandom picks one of anSpiral .. anRight afresh each time.
TLCDAnimation ResolveAnimation(TLCDAnimation animation);
// What a written text becomes: upper case; empty when any character lies outside 0-9, A-Z,
// '-', ' ', '.', ':'; one trailing '.' dropped.
std::string NormaliseLcdText(const std::string& text);

// A text split into cells: the digit characters and, per cell, whether a point stands
// before it; padded on the left with blanks (right-aligned) and cut to `count` cells.
struct TLcdCells {
    std::string digits;
    std::string points;  // '.' or ' ' per cell
};
TLcdCells SplitLcdText(const std::string& text, int count);

class TLCD99 : public forms::TCustomControl {
public:
    explicit TLCD99(QWidget* parent = nullptr);
    ~TLCD99() override;

    TLCDAbout About() const { return abNone; }
    // abAbout shows the component's version in a message box; the property stays abNone.
    void SetAbout(TLCDAbout value);
    TLCDAnimation Animation() const { return animation_; }
    void SetAnimation(TLCDAnimation a) { animation_ = a; }
    int AnimationDelay() const { return animationDelay_; }
    void SetAnimationDelay(int ms) { animationDelay_ = ms; }
    int DigitNum() const { return digitNum_; }
    void SetDigitNum(int n);  // n < 1 is refused
    int DigitSpacing() const { return digitSpacing_; }
    void SetDigitSpacing(int px);
    bool DotDisplay() const { return dotDisplay_; }
    void SetDotDisplay(bool on);
    int DotSpacing() const { return dotSpacing_; }
    void SetDotSpacing(int px);  // refused when the dot pitch would fall below 1
    // The backing picture always double-buffers here; the flag is kept for forms that set it.
    bool DoubleBuffer() const { return doubleBuffer_; }
    void SetDoubleBuffer(bool on);
    int GapX() const { return gapX_; }
    void SetGapX(int px);
    int GapY() const { return gapY_; }
    void SetGapY(int px);
    gfx::TColor OffColor() const { return offColor_; }
    void SetOffColor(gfx::TColor c);
    gfx::TColor OnColor() const { return onColor_; }
    void SetOnColor(gfx::TColor c);
    int SegmentSize() const { return segmentSize_; }
    void SetSegmentSize(int px);  // refused when below 1 or the dot pitch would fall below 1
    // Design-time animation preview; there is no design time here, so it is only stored.
    bool Preview() const { return preview_; }
    void SetPreview(bool on) { preview_ = on; }
    const std::string& Value() const { return value_; }
    // Nothing happens for the text as last written; any other text, even one that normalises
    // to the text shown, is stored and fires OnChange.
    void SetValue(const std::string& text);

    // True while a paint or an animated build-up runs.
    bool IsPainting() const { return painting_ || animating_; }
    // Milliseconds the last paint (or build-up) took.
    uint32_t PaintDuration() const { return paintDuration_; }

    TLCDChangeProc OnChange;

protected:
    void Paint() override;
    void Resized() override;
    void ColorChanged() override;

private:
    struct Geometry;
    Geometry geometry() const;
    void changed();  // a look property changed: the next paint draws everything
    void drawCell(const Geometry& g, int cell, char digit, char point, const std::array<int, 8>& order);
    void drawPoint(const Geometry& g, int cell, bool lit);
    void drawSegment(const Geometry& g, int cell, int segment, TSegmentPattern pattern);
    void drawSolidSegment(const Geometry& g, int x0, int segment);
    void drawDotSegment(const Geometry& g, int x0, int segment, TSegmentPattern pattern);
    void drawColon(const Geometry& g, int x0);
    void drawStep(const Geometry& g, int step);
    void startAnimation(const Geometry& g, const TLcdCells& target, int64_t spentMs);
    void scheduleStep();
    void animationStep();
    void finishAnimation();

    TLCDAnimation animation_ = anNone;
    int animationDelay_ = 0;
    int digitNum_ = 4;
    int digitSpacing_ = 5;
    bool dotDisplay_ = false;
    int dotSpacing_ = 2;
    bool doubleBuffer_ = true;
    int gapX_ = 2;
    int gapY_ = 2;
    gfx::TColor offColor_ = gfx::clBlack;
    gfx::TColor onColor_ = gfx::clLime;
    int segmentSize_ = 2;
    bool preview_ = false;
    std::string value_;

    // The text the backing picture shows, and whether it must be drawn afresh.
    std::string shownText_;
    bool hasShown_ = false;
    bool fullRedraw_ = true;
    QSize drawnSize_;
    bool valueChanged_ = false;
    bool painting_ = false;
    uint32_t paintDuration_ = 0;

    // The running build-up: its text and cells, which cells change, the order, the next
    // step and the time each step is due.
    bool animating_ = false;
    std::string targetText_;
    TLcdCells target_;
    std::string changedCells_;  // 'x' for a cell that changes
    std::array<int, 8> order_{};
    int step_ = 0;
    int stepDelay_ = 0;
    QElapsedTimer animationClock_;
    QTimer animationTimer_;
};

}  // namespace controls
