#include "visual/DistractBar.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include <QString>

#include "platform/forms/Application.h"
#include "platform/gfx/Colors.h"

namespace visual {

namespace {

// Positions run and turn as the processes define; N is the bar's count at each step.
class TToLeft : public TDistractBarAnimateProcess {
public:
    using TDistractBarAnimateProcess::TDistractBarAnimateProcess;
    void Reset() override { FPos = 0; }
    void Step() override
    {
        if (FPos > FBar.BarCount() - 1)
            FPos = 0;
        FBar.ClearMask();
        FBar.LightSegment(FPos++, true);
    }

private:
    int FPos = 0;
};

class TToRight : public TDistractBarAnimateProcess {
public:
    using TDistractBarAnimateProcess::TDistractBarAnimateProcess;
    void Reset() override { FPos = FBar.BarCount() - 1; }
    void Step() override
    {
        if (FPos < 0)
            FPos = FBar.BarCount();  // one step with no segment lit
        FBar.ClearMask();
        FBar.LightSegment(FPos--, true);
    }

private:
    int FPos = 0;
};

class TBounce : public TDistractBarAnimateProcess {
public:
    using TDistractBarAnimateProcess::TDistractBarAnimateProcess;
    void Reset() override
    {
        FPos = 0;
        FUp = true;
    }
    void Step() override
    {
        if (FUp && FPos > FBar.BarCount() - 1) {
            FPos = FBar.BarCount() - 2;
            FUp = false;
        } else if (!FUp && FPos < 0) {
            FPos = 1;
            FUp = true;
        }
        FBar.ClearMask();
        FBar.LightSegment(FPos, true);
        FPos += FUp ? 1 : -1;
    }

private:
    int FPos = 0;
    bool FUp = true;
};

class TDouble : public TDistractBarAnimateProcess {
public:
    using TDistractBarAnimateProcess::TDistractBarAnimateProcess;
    void Reset() override
    {
        FPos = 0;
        FPos2 = FBar.BarCount() - 1;
    }
    void Step() override
    {
        if (FPos > FBar.BarCount() - 1)
            FPos = 0;
        if (FPos2 < 0)
            FPos2 = FBar.BarCount() - 1;
        FBar.ClearMask();
        FBar.LightSegment(FPos++, true);
        FBar.LightSegment(FPos2--, true);
    }

private:
    int FPos = 0;
    int FPos2 = 0;
};

class TRandomProcess : public TDistractBarAnimateProcess {
public:
    using TDistractBarAnimateProcess::TDistractBarAnimateProcess;
    // The generator is re-seeded by the step, so that only the thread touches it.
    void Reset() override { FSeed = true; }
    void Step() override
    {
        if (FSeed) {
            FBar.SeedRandomFromClock();
            FSeed = false;
        }
        const int n = FBar.BarCount();
        const std::uint32_t r = FBar.NextRandom();
        // Random(2^N) with a 64-bit bound; 32 bits hold every segment there is beyond that.
        const std::uint32_t mask = n >= 32 ? r : std::uint32_t((std::uint64_t(1) << n) * r >> 32);
        FBar.StoreMask(mask);
    }

private:
    bool FSeed = true;
};

// The fill processes: segment after segment takes the state, which flips at each end.
class TFill : public TDistractBarAnimateProcess {
public:
    TFill(TDistractBar& Bar, int Direction, bool Bounces)
        : TDistractBarAnimateProcess(Bar), FStart(Direction), FBounces(Bounces)
    {
    }
    void Reset() override
    {
        FLit = true;
        FDir = FStart;
        FPos = FDir > 0 ? 0 : FBar.BarCount() - 1;
        FBar.ClearMask();
    }
    void Step() override
    {
        const int n = FBar.BarCount();
        FBar.LightSegment(FPos, FLit);
        FPos += FDir;
        const bool past = FDir > 0 ? FPos > n - 1 : FPos < 0;
        if (!past)
            return;
        if (FBounces && FLit) {
            FPos = FDir > 0 ? n - 1 : 0;
            FDir = -FDir;
        } else {
            FPos = FDir > 0 ? 0 : n - 1;
        }
        FLit = !FLit;
    }

private:
    int FStart;
    bool FBounces;
    int FDir = 1;
    int FPos = 0;
    bool FLit = true;
};

std::unique_ptr<TDistractBarAnimateProcess> makeProcess(TDBAnimProcessType Type, TDistractBar& Bar)
{
    switch (Type) {
    case apToLeft: return std::make_unique<TToLeft>(Bar);
    case apToRight: return std::make_unique<TToRight>(Bar);
    case apBounce: return std::make_unique<TBounce>(Bar);
    case apDouble: return std::make_unique<TDouble>(Bar);
    case apRandom: return std::make_unique<TRandomProcess>(Bar);
    case apFillLeft: return std::make_unique<TFill>(Bar, 1, false);
    case apFillRight: return std::make_unique<TFill>(Bar, -1, false);
    case apFillBounce: return std::make_unique<TFill>(Bar, 1, true);
    default: return nullptr;
    }
}

void check(bool Ok, const char* Message)
{
    if (!Ok)
        throw std::runtime_error(Message);
}

}  // namespace

void TDistractBarAnimateProcess::Finish() { FBar.ClearMask(); }

TDistractBar::TDistractBar(QWidget* parent) : forms::TCustomControl(parent)
{
    FColors[kBack] = gfx::clBtnFace;
    FColors[kOn] = 0x00FF00;
    FColors[kOff] = 0x008000;
    FColors[kLine] = 0;
    FColors[kOnEnd] = 0x00FF00;
    FColors[kOffEnd] = 0x008000;
    FColors[kLineEnd] = 0;
    FColors[kFontEnd] = 0;
    gfx::TFont f;
    f.SetName("Arial");
    f.SetSize(10);
    f.SetColor(gfx::clBlack);
    SetFont(f);
    resize(150, 20);
}

TDistractBar::~TDistractBar()
{
    // The thread may be waiting for a lock: it is stopped while this side holds none.
    FDestroying = true;
    stopThread();
    std::lock_guard anim(FAnimLock);
    FProcessObject.reset();
}

gfx::TColor TDistractBar::Blend(gfx::TColor A, gfx::TColor B, float F)
{
    gfx::TColor out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = int(A >> shift & 0xFF);
        const int b = int(B >> shift & 0xFF);
        const int v = int(std::trunc(float(std::abs(a - b)) * F));
        out |= gfx::TColor(a < b ? a + v : a - v) << shift;
    }
    return out;
}

void TDistractBar::setColour(int Which, gfx::TColor C)
{
    {
        std::lock_guard lock(FPaintLock);
        FColors[Which] = C;
    }
    repaintNow();
}

void TDistractBar::SetBarSpacing(int Value)
{
    check(Value >= 0, "Invalid width");
    {
        std::lock_guard lock(FPaintLock);
        FBarSpacing = Value;
    }
    repaintNow();
}

void TDistractBar::SetBarCount(int Value)
{
    check(Value >= 1, "Invalid count");
    {
        std::lock_guard lock(FPaintLock);
        FBarCount = Value;
    }
    {
        std::lock_guard anim(FAnimLock);
        if (FProcessObject)
            FProcessObject->Reset();
    }
    repaintNow();
}

void TDistractBar::SetBarBorderWidth(int Value)
{
    check(Value >= 1, "Invalid width");
    {
        std::lock_guard lock(FPaintLock);
        FBarBorderWidth = Value;
    }
    repaintNow();
}

void TDistractBar::SetOptions(TDBShowOptions Value)
{
    {
        std::lock_guard lock(FPaintLock);
        FOptions = Value;
    }
    repaintNow();
}

void TDistractBar::SetOrientation(TDBOrientation Value)
{
    {
        std::lock_guard lock(FPaintLock);
        FOrientation = Value;
    }
    repaintNow();
}

void TDistractBar::TextChanged()
{
    const std::u32string chars = QString::fromStdString(Caption()).toStdU32String();
    {
        std::lock_guard lock(FPaintLock);
        FCaptionChars = chars;
        FCaptionLength = int(chars.size());
    }
    repaintNow();
}

std::uint32_t TDistractBar::EnableMask() const
{
    std::lock_guard lock(FMaskLock);
    return FEnableMask;
}

void TDistractBar::storeMask(std::uint32_t Mask)
{
    std::lock_guard lock(FMaskLock);
    FEnableMask = Mask;
}

void TDistractBar::SetEnableMask(std::uint32_t Mask)
{
    storeMask(Mask);
    repaintNow();
}

void TDistractBar::LightSegment(int Index, bool Lit)
{
    if (Index < 0 || Index > BarCount() - 1 || Index >= 32)
        return;
    std::lock_guard lock(FMaskLock);
    if (Lit)
        FEnableMask |= 1u << Index;
    else
        FEnableMask &= ~(1u << Index);
}

bool TDistractBar::Segment(int Index) const
{
    return Index >= 0 && Index < BarCount() && Index < 32 && (EnableMask() >> Index & 1u);
}

void TDistractBar::SetSegment(int Index, bool Lit)
{
    if (Index < 0 || Index > BarCount() - 1 || Index >= 32)
        return;
    LightSegment(Index, Lit);
    repaintNow();
}

int TDistractBar::TextSkip() const
{
    std::lock_guard anim(FAnimLock);
    return FTextSkip;
}

void TDistractBar::SetTextSkip(int Value)
{
    check(Value >= 0, "Invalid value");
    {
        std::lock_guard anim(FAnimLock);
        FTextSkip = Value;
    }
    repaintNow();
}

TDBTextAnimType TDistractBar::TextAnim() const
{
    std::lock_guard anim(FAnimLock);
    return FTextAnim;
}

void TDistractBar::SetTextAnim(TDBTextAnimType Value)
{
    {
        std::lock_guard anim(FAnimLock);
        if (Value == FTextAnim)
            return;
        FTextAnim = Value;
        FTextForward = true;
        FTextSkip = 0;
    }
    repaintNow();
}

int TDistractBar::AnimProcessSkip() const
{
    std::lock_guard anim(FAnimLock);
    return FAnimProcessSkip;
}

void TDistractBar::SetAnimProcessSkip(int Value)
{
    check(Value >= 0, "Invalid value");
    std::lock_guard anim(FAnimLock);
    FAnimProcessSkip = Value;
}

int TDistractBar::AnimTextSkip() const
{
    std::lock_guard anim(FAnimLock);
    return FAnimTextSkip;
}

void TDistractBar::SetAnimTextSkip(int Value)
{
    check(Value >= 0, "Invalid value");
    std::lock_guard anim(FAnimLock);
    FAnimTextSkip = Value;
}

void TDistractBar::SetInterval(int Ms)
{
    FInterval = Ms;  // the thread's next sleep takes it
}

void TDistractBar::SetAnimated(bool On)
{
    if (On == FAnimated)
        return;
    FAnimated = On;
    if (On) {
        rebuildProcess();
        if (!Loading())
            startThread();
    } else {
        stopThread();
        rebuildProcess();
    }
    repaintNow();
}

void TDistractBar::Loaded()
{
    if (FAnimated && !FThread.joinable())
        startThread();
}

void TDistractBar::SetProcess(TDBAnimProcessType Value)
{
    if (Value == FProcess)
        return;
    FProcess = Value;
    rebuildProcess();
    repaintNow();
}

void TDistractBar::rebuildProcess()
{
    std::lock_guard anim(FAnimLock);
    if (FProcessObject) {
        FProcessObject->Finish();
        FProcessObject.reset();
    }
    FProcessTicks = 0;
    FTextTicks = 0;
    if (FAnimated && FProcess != apNone) {
        FProcessObject = makeProcess(FProcess, *this);
        if (FProcessObject)
            FProcessObject->Reset();
    }
}

std::uint32_t TDistractBar::NextRandom()
{
    FRandSeed = FRandSeed * 134775813u + 1u;
    return FRandSeed;
}

void TDistractBar::SeedRandomFromClock()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    FRandSeed = std::uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void TDistractBar::BeginUpdate()
{
    std::lock_guard lock(FUpdateLock);
    if (FUpdateCount < 0)
        FUpdateCount = 0;
    ++FUpdateCount;
}

void TDistractBar::EndUpdate()
{
    bool done;
    {
        std::lock_guard lock(FUpdateLock);
        done = --FUpdateCount <= 0;
    }
    if (done)
        repaintNow();
}

bool TDistractBar::stepState()
{
    {
        std::lock_guard lock(FUpdateLock);
        if (FUpdateCount < 0)
            FUpdateCount = 0;
        ++FUpdateCount;
    }
    {
        std::lock_guard anim(FAnimLock);
        if (++FProcessTicks > FAnimProcessSkip) {
            if (FProcessObject)
                FProcessObject->Step();
            FProcessTicks = 0;
        }
        if (++FTextTicks > FAnimTextSkip) {
            const int n = BarCount();
            const int len = FCaptionLength;
            switch (FTextAnim) {
            case taToLeft:
                if (++FTextSkip > n - 1)
                    FTextSkip = 0;
                break;
            case taToRight:
                if (--FTextSkip < 0)
                    FTextSkip = n - 1;
                break;
            case taBounce:
                if (FTextForward) {
                    if (len + ++FTextSkip > n) {
                        FTextSkip = n - len - 1;
                        FTextForward = false;
                    }
                } else if (--FTextSkip < 0) {
                    FTextSkip = 1;
                    FTextForward = true;
                }
                break;
            case taNone: break;
            }
            FTextTicks = 0;
        }
    }
    std::lock_guard lock(FUpdateLock);
    return --FUpdateCount <= 0;
}

void TDistractBar::AnimateStep()
{
    if (FDestroying || !FAnimated)
        return;
    if (stepState())
        repaintNow();
    if (OnAnimate)
        OnAnimate(this);
}

void TDistractBar::startThread()
{
    {
        std::lock_guard lock(FSleepLock);
        FStop = false;
    }
    FThread = std::thread([this] { threadLoop(); });
}

void TDistractBar::stopThread()
{
    if (!FThread.joinable())
        return;
    {
        std::lock_guard lock(FSleepLock);
        FStop = true;
    }
    FWake.notify_all();
    FThread.join();
}

void TDistractBar::threadLoop()
{
    std::unique_lock sleep(FSleepLock);
    while (!FStop) {
        sleep.unlock();
        if (!FDestroying && stepState() && !FRepaintPosted.exchange(true)) {
            forms::PostToUiThread(this, [this] {
                FRepaintPosted = false;
                if (FDestroying || !FAnimated)
                    return;
                repaintNow();
                if (OnAnimate)
                    OnAnimate(this);
            });
        }
        sleep.lock();
        const int ms = std::max(1, FInterval.load());
        FWake.wait_for(sleep, std::chrono::milliseconds(ms), [this] { return FStop; });
    }
}

void TDistractBar::repaintNow()
{
    if (!FDestroying)
        Repaint();
}

void TDistractBar::Paint()
{
    {
        std::lock_guard lock(FUpdateLock);
        if (FDestroying || FUpdateCount > 0)
            return;
    }
    const std::uint32_t mask = EnableMask();
    const int skip = TextSkip();
    std::lock_guard lock(FPaintLock);
    const int w = width(), h = height();
    if (FBuffer.Width() != w || FBuffer.Height() != h)
        FBuffer.SetSize(w, h);
    gfx::TCanvas& c = FBuffer.Canvas();
    const int n = BarCount();
    const int len = FOrientation == boVertical ? h : w;
    const int s = (len - (n - 1) * FBarSpacing) / n;
    const int m = (len - n * s - FBarSpacing * (n - 1)) / 2;
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(FColors[kBack]);
    c.FillRect(gfx::Rect(0, 0, w, h));
    for (int i = 0; i < n; ++i)
        drawSegment(c, i, s * i + m + FBarSpacing * i, s, n, skip, mask);
    if (parentWidget())
        Canvas().Draw(0, 0, FBuffer);
}

void TDistractBar::drawSegment(gfx::TCanvas& C, int Index, int P, int S, int N, int Skip, std::uint32_t Mask)
{
    const float f = float(Index + 1) / float(N);
    const bool lit = Index < 32 && (Mask >> Index & 1u);
    auto pick = [&](gfx::TColor A, gfx::TColor B, TDBShowOption UseEnd) {
        A = gfx::ColorToRGB(A);
        B = gfx::ColorToRGB(B);
        return (FOptions & DBOpt(UseEnd)) && A != B ? Blend(A, B, f) : A;
    };
    gfx::TRect r = FOrientation == boVertical ? gfx::Rect(0, P, width(), P + S) : gfx::Rect(P, 0, P + S, height());
    const int b = FBarBorderWidth;
    if (FOptions & DBOpt(doBar3d)) {
        r.Right -= b;
        r.Bottom -= b;
    }
    C.Brush().SetStyle(gfx::bsSolid);
    C.Brush().SetColor(lit ? pick(FColors[kOn], FColors[kOnEnd], doColorOnUseEnd)
                           : pick(FColors[kOff], FColors[kOffEnd], doColorOffUseEnd));
    C.FillRect(r);
    if (FOptions & DBOpt(doDrawLine)) {
        C.Brush().SetColor(pick(FColors[kLine], FColors[kLineEnd], doLineUseEnd));
        C.FrameRect(r);
    }
    if (FOptions & DBOpt(doDrawText)) {
        C.Font().Assign(Font());
        C.Font().SetColor(pick(Font().Color(), FColors[kFontEnd], doFontUseEnd));
        auto k = std::int16_t(Index + 1 - Skip);
        if (k < 1)
            k = std::int16_t(k + N);
        if (k > 0 && int(FCaptionChars.size()) >= k) {
            const std::string ch = QString::fromUcs4(&FCaptionChars[size_t(k - 1)], 1).toStdString();
            C.Brush().SetStyle(gfx::bsClear);
            gfx::TRect tr = r;
            C.DrawText(ch, tr, gfx::DT_CENTER | gfx::DT_VCENTER | gfx::DT_SINGLELINE | gfx::DT_NOPREFIX);
        }
    }
    if (FOptions & DBOpt(doBar3d)) {
        C.Brush().SetStyle(gfx::bsSolid);
        C.Brush().SetColor(gfx::clBlack);
        C.FillRect(gfx::Rect(r.Left + b, r.Bottom, r.Right + b, r.Bottom + b));
        C.FillRect(gfx::Rect(r.Right, r.Top + b, r.Right + b, r.Bottom + b));
    }
}

}  // namespace visual
