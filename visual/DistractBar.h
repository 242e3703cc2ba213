// `TDistractBar`: a row (or column) of equal segments, each lit or unlit, optionally framed,
// shaded and lettered with one character of `Caption`, animated by one of eight processes.
//
// Threads: while `Animated`, a thread of the bar's own runs the animation step every
// `Interval` ms (at least 1). The step changes state only (the process, `EnableMask`,
// `TextSkip` and the counters, each under its own lock); it never touches the widget but
// posts one coalesced repaint, followed by `OnAnimate`, to the UI thread (dropped when the
// bar is gone by then). Everything else, setters and painting, is for the UI thread; setters
// repaint at once. Destruction stops the thread first, waking it from its sleep, so it never
// waits an `Interval`.
//
// `EnableMask` holds 32 segments: segments past the 32nd are never lit and setting them is
// ignored. Errors raise std::runtime_error with "Invalid width", "Invalid count" or
// "Invalid value"; the value is then not stored.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/forms/Control.h"
#include "platform/gfx/Bitmap.h"

namespace visual {

enum TDBAnimProcessType {
    apNone, apToLeft, apToRight, apBounce, apDouble, apRandom, apFillLeft, apFillRight, apFillBounce
};
enum TDBTextAnimType { taNone, taToLeft, taToRight, taBounce };
enum TDBShowOption {
    doDrawLine, doDrawText, doColorOnUseEnd, doColorOffUseEnd, doLineUseEnd, doFontUseEnd, doBar3d
};
using TDBShowOptions = unsigned;  // bit (1 << option) per TDBShowOption
constexpr TDBShowOptions DBOpt(TDBShowOption o) { return 1u << o; }
enum TDBOrientation { boHorizontal, boVertical };

class TDistractBar;

// One animation process; Reset and Step run under the bar's animation lock.
class TDistractBarAnimateProcess {
public:
    explicit TDistractBarAnimateProcess(TDistractBar& Bar) : FBar(Bar) {}
    virtual ~TDistractBarAnimateProcess() = default;
    virtual void Reset() = 0;
    virtual void Step() = 0;
    void Finish();

protected:
    TDistractBar& FBar;
};

class TDistractBar : public forms::TCustomControl {
public:
    explicit TDistractBar(QWidget* parent = nullptr);
    ~TDistractBar() override;

    // Colour blend of A toward B at F, per red, green and blue byte.
    static gfx::TColor Blend(gfx::TColor A, gfx::TColor B, float F);

    int BarSpacing() const { return FBarSpacing; }
    void SetBarSpacing(int Value);
    int BarCount() const { return FBarCount.load(); }
    void SetBarCount(int Value);
    int BarBorderWidth() const { return FBarBorderWidth; }
    void SetBarBorderWidth(int Value);
    TDBShowOptions Options() const { return FOptions; }
    void SetOptions(TDBShowOptions Value);
    TDBOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TDBOrientation Value);

    gfx::TColor BackGroundColor() const { return FColors[kBack]; }
    void SetBackGroundColor(gfx::TColor C) { setColour(kBack, C); }
    gfx::TColor BarColorOn() const { return FColors[kOn]; }
    void SetBarColorOn(gfx::TColor C) { setColour(kOn, C); }
    gfx::TColor BarColorOff() const { return FColors[kOff]; }
    void SetBarColorOff(gfx::TColor C) { setColour(kOff, C); }
    gfx::TColor LineColor() const { return FColors[kLine]; }
    void SetLineColor(gfx::TColor C) { setColour(kLine, C); }
    gfx::TColor BarColorOnEnd() const { return FColors[kOnEnd]; }
    void SetBarColorOnEnd(gfx::TColor C) { setColour(kOnEnd, C); }
    gfx::TColor BarColorOffEnd() const { return FColors[kOffEnd]; }
    void SetBarColorOffEnd(gfx::TColor C) { setColour(kOffEnd, C); }
    gfx::TColor LineColorEnd() const { return FColors[kLineEnd]; }
    void SetLineColorEnd(gfx::TColor C) { setColour(kLineEnd, C); }
    gfx::TColor FontColorEnd() const { return FColors[kFontEnd]; }
    void SetFontColorEnd(gfx::TColor C) { setColour(kFontEnd, C); }

    std::uint32_t EnableMask() const;
    void SetEnableMask(std::uint32_t Mask);
    bool Segment(int Index) const;
    void SetSegment(int Index, bool Lit);

    int TextSkip() const;
    void SetTextSkip(int Value);
    TDBTextAnimType TextAnim() const;
    void SetTextAnim(TDBTextAnimType Value);
    int AnimProcessSkip() const;
    void SetAnimProcessSkip(int Value);
    int AnimTextSkip() const;
    void SetAnimTextSkip(int Value);

    int Interval() const { return FInterval.load(); }
    void SetInterval(int Ms);
    bool Animated() const { return FAnimated; }
    void SetAnimated(bool On);
    TDBAnimProcessType Process() const { return FProcess; }
    void SetProcess(TDBAnimProcessType Value);

    void BeginUpdate();
    void EndUpdate();

    // One animation step, as the thread runs it, followed on the UI thread by the repaint
    // and OnAnimate (for callers on the UI thread: tests and hosts stepping by hand).
    void AnimateStep();

    forms::TNotifyEvent OnAnimate;

    // Used by the processes (under the animation lock, any thread): no repaint.
    void ClearMask() { storeMask(0); }
    void LightSegment(int Index, bool Lit);
    void StoreMask(std::uint32_t Mask) { storeMask(Mask); }
    // A random 32-bit value from the bar's own generator (the thread's; apRandom only).
    std::uint32_t NextRandom();
    void SeedRandomFromClock();

protected:
    void Paint() override;
    void TextChanged() override;
    void Loaded() override;

private:
    enum { kBack, kOn, kOff, kLine, kOnEnd, kOffEnd, kLineEnd, kFontEnd, kColourCount };
    void setColour(int Which, gfx::TColor C);
    void storeMask(std::uint32_t Mask);
    void repaintNow();
    // The state change of a step; true when it ran.
    bool stepState();
    void rebuildProcess();
    void startThread();
    void stopThread();
    void threadLoop();
    void drawSegment(gfx::TCanvas& C, int Index, int P, int S, int N, int Skip, std::uint32_t Mask);

    // The paint lock: the look (UI thread) and the drawing.
    mutable std::mutex FPaintLock;
    int FBarSpacing = 3;
    int FBarBorderWidth = 1;
    TDBShowOptions FOptions = DBOpt(doDrawLine) | DBOpt(doDrawText);
    TDBOrientation FOrientation = boHorizontal;
    gfx::TColor FColors[kColourCount];
    std::u32string FCaptionChars;
    gfx::TBitmap FBuffer;
    // Read by the thread's steps as well.
    std::atomic<int> FBarCount{10};
    std::atomic<int> FCaptionLength{0};

    // The mask lock.
    mutable std::mutex FMaskLock;
    std::uint32_t FEnableMask = 0;

    // The animation lock.
    mutable std::mutex FAnimLock;
    std::unique_ptr<TDistractBarAnimateProcess> FProcessObject;
    TDBTextAnimType FTextAnim = taNone;
    bool FTextForward = true;
    int FTextSkip = 0;
    int FAnimProcessSkip = 0;
    int FAnimTextSkip = 0;
    int FProcessTicks = 0;
    int FTextTicks = 0;

    // The update lock.
    mutable std::mutex FUpdateLock;
    int FUpdateCount = 0;

    // UI thread only.
    bool FAnimated = false;
    TDBAnimProcessType FProcess = apNone;
    std::atomic<bool> FDestroying{false};

    // The thread.
    std::atomic<int> FInterval{100};
    std::thread FThread;
    std::mutex FSleepLock;
    std::condition_variable FWake;
    bool FStop = false;  // under FSleepLock
    std::atomic<bool> FRepaintPosted{false};
    std::uint32_t FRandSeed = 0;  // the thread's generator
};

}  // namespace visual
