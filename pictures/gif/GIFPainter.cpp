#include "pictures/gif/GIFPainter.h"

#include "platform/forms/Application.h"

#include <algorithm>

namespace GIFTiming {

int FrameDelay(int ExtensionDelay, bool Async)
{
    if (ExtensionDelay <= 0)
        return DefaultDelay;
    const int d = std::max(ExtensionDelay, MinDelay);
    return Async ? d : std::min(d, MaxSyncDelay);
}

int64_t FrameWait(uint32_t Elapsed, int64_t Correction, int DelayUnits, int Speed)
{
    const int64_t overrun = (int64_t(Elapsed) - Correction) / 2;
    const int64_t n = (int64_t(DelayUnits) * MsPerUnit - overrun) * 100;
    if (n <= 0 || Speed <= 0)
        return 0;
    return (2 * n + Speed) / (2 * int64_t(Speed));
}

}  // namespace GIFTiming

TGIFPainterEnvironment& GIFPainterEnvironment()
{
    static TGIFPainterEnvironment env;
    return env;
}

namespace {

void fillBackground(gfx::TCanvas& Canvas, const gfx::TRect& R, gfx::TColor Color)
{
    Canvas.Brush().SetStyle(gfx::bsSolid);
    Canvas.Brush().SetColor(Color);
    Canvas.FillRect(R);
}

void copyWhole(gfx::TCanvas& Target, const gfx::TRect& Rect, gfx::TBitmap& Source)
{
    const gfx::TCopyMode mode = Target.CopyMode();
    Target.SetCopyMode(gfx::cmSrcCopy);
    Target.CopyRect(Rect, Source.Canvas(), gfx::Rect(0, 0, Source.Width(), Source.Height()));
    Target.SetCopyMode(mode);
}

}  // namespace

// --- the painter ------------------------------------------------------------------------

TGIFPainter::TGIFPainter(TGIFImage& Image, gfx::TCanvas& Canvas, const gfx::TRect& Rect, unsigned Options)
    : image_(Image), canvas_(Canvas), canvasAlive_(Canvas.Lifetime()), rect_(Rect), options_(Options),
      speed_(Image.AnimationSpeed), background_(Image.DrawBackgroundColor)
{
    const TGIFPainterEnvironment& env = GIFPainterEnvironment();
    ticks_ = env.Ticks ? env.Ticks : &rtl::systemTicks();
    post_ = env.Post ? env.Post : [](std::function<void()> f) { forms::PostToUiThread(std::move(f)); };
    if (background_ == gfx::clNone) {
        TGIFColorMap& map = Image.GlobalColorMap();
        background_ = map.Count() == 0 ? gfx::clWindow
                                       : map.Colors(std::min<int>(Image.Header().BackgroundColorIndex, map.Count() - 1));
    }
    if (Image.Images().Count() < 2) {
        options_ &= ~(drawAsync | drawAnimate);
    }
    bool restoresBackground = (options_ & drawClearOnLoop) != 0, restoresPrevious = false;
    for (int i = 0; i < Image.Images().Count(); ++i) {
        TGIFSubImage* f = Image.Images()[i];
        FrameFacts facts;
        facts.Empty = f->Empty();
        if (TGIFGraphicControlExtension* gce = f->GraphicControlExtension()) {
            facts.Delay = gce->Delay;
            facts.Disposal = gce->Disposal();
        }
        for (int e = 0; e < f->Extensions().Count(); ++e)
            if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(f->Extensions()[e]); loop && facts.Loops < 0)
                facts.Loops = loop->Loops;
        restoresBackground |= facts.Disposal == dmRestoreBackground;
        restoresPrevious |= facts.Disposal == dmRestorePrevious;
        frames_.push_back(facts);
    }
    const int w = rect_.Width(), h = rect_.Height();
    if (restoresBackground && (options_ & drawTransparent) && w > 0 && h > 0) {
        backup_ = std::make_unique<gfx::TBitmap>(w, h, gfx::pf24bit);
        backup_->Canvas().CopyRect(gfx::Rect(0, 0, w, h), Canvas, rect_);
    }
    if ((restoresBackground || restoresPrevious) && w > 0 && h > 0) {
        frameBuffer_ = std::make_unique<gfx::TBitmap>(w, h, gfx::pf24bit);
        fillBackground(frameBuffer_->Canvas(), gfx::Rect(0, 0, w, h), background_);
        frameBuffer_->Canvas().CopyRect(gfx::Rect(0, 0, w, h), Canvas, rect_);
        previousBuffer_ = std::make_unique<gfx::TBitmap>(w, h, gfx::pf24bit);
        fillBackground(previousBuffer_->Canvas(), gfx::Rect(0, 0, w, h), background_);
    }
    timedWaits_ = Async() && (options_ & drawAnimate) && speed_ >= 0;
    waiter_ = ticks_->createWaiter();
}

TGIFPainter::~TGIFPainter()
{
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();  // the thread let go of the last reference; it is ending
        else
            thread_.join();
    }
}

void TGIFPainter::Restart()
{
    restart_ = true;
    waiter_->wake();
}

void TGIFPainter::Stop()
{
    {
        std::lock_guard lk(m_);
        terminated_ = true;
        if (pending_ && call_) {  // not running yet: dropped
            call_ = nullptr;
            pending_ = false;
        }
    }
    Priority = tpNormal;
    cv_.notify_all();
    // Also when a call is running (Stop from one of its handlers): the thread then ends
    // without waiting for it, and touches nothing the call uses.
    waiter_->wake();
}

void TGIFPainter::join()
{
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void TGIFPainter::run()
{
    if (!Async()) {
        execute();
        return;
    }
    onThread_ = true;
    auto self = shared_from_this();
    thread_ = std::thread([self] {
        self->execute();
    });
    // The start and the first frame, events included, are served here: a paint event allows
    // no nested event loop to wait in.
    std::unique_lock lk(m_);
    for (;;) {
        cv_.wait(lk, [this] { return pending_ || handedOver_ || finished_; });
        if (handedOver_ || finished_)
            break;
        if (pending_ && call_) {
            lk.unlock();
            serve();
            lk.lock();
        }
    }
}

void TGIFPainter::guarded(const std::function<void()>& Call)
{
    try {
        Call();
    } catch (const std::exception& e) {
        terminated_ = true;
        forms::HandleException(e);
    }
}

void TGIFPainter::serve()
{
    std::function<void()> call;
    {
        std::lock_guard lk(m_);
        if (!pending_ || !call_)
            return;
        call = std::move(call_);
        call_ = nullptr;
    }
    guarded(call);
    {
        std::lock_guard lk(m_);
        pending_ = false;
        served_ = true;
    }
    waiter_->wake();
}

bool TGIFPainter::synchronize(const std::function<void()>& Call)
{
    if (!onThread_) {
        if (!terminated_)
            guarded(Call);
        return !terminated_;
    }
    bool post;
    {
        std::lock_guard lk(m_);
        if (terminated_)
            return false;
        call_ = Call;
        pending_ = true;
        served_ = false;
        post = handedOver_;
    }
    cv_.notify_all();
    if (post)
        post_([weak = weak_from_this()] {
            if (auto p = weak.lock())
                p->serve();
        });
    // Each serve wakes once, so waiting before looking consumes that wake-up here.
    for (;;) {
        waiter_->wait(-1);
        std::lock_guard lk(m_);
        if (served_ || terminated_)
            break;
    }
    return !terminated_;
}

bool TGIFPainter::fire(const TGIFPainterEvent& Event)
{
    if (terminated_)
        return false;
    if (Event)
        synchronize([this, &Event] { Event(*this); });
    return !terminated_;
}

void TGIFPainter::handOver()
{
    if (!onThread_ || handedOver_)
        return;
    {
        std::lock_guard lk(m_);
        handedOver_ = true;
    }
    cv_.notify_all();
}

bool TGIFPainter::waitFor(int64_t Ms, bool ForEvent)
{
    if (ForEvent) {
        return waiter_->wait(Ms < 0 ? -1 : int(std::min<int64_t>(Ms, INT32_MAX)));
    }
    // Synchronous: short sleeps with the UI thread's events served between them.
    const TGIFPainterEnvironment& env = GIFPainterEnvironment();
    int64_t left = std::max<int64_t>(Ms, 1);
    while (left > 0 && !terminated_ && !restart_) {
        const uint32_t t0 = ticks_->tickCount();
        waiter_->wait(int(std::min<int64_t>(left, GIFTiming::MaxSyncSleep)));
        if (env.ProcessMessages)
            env.ProcessMessages();
        else
            forms::ProcessMessages();
        left -= int64_t(uint32_t(ticks_->tickCount() - t0));
    }
    return false;
}

void TGIFPainter::execute()
{
    using namespace GIFTiming;
    try {
        restart_ = true;
        while (restart_ && !terminated_) {
            active_ = 0;
            fire(OnStartPaint);
            firstPainted_ = false;
            restart_ = false;
            int loops = 1, loopStart = 0;
            bool loopSeen = false;
            int pending = Async() ? 0 : 1;
            previousDisposal_ = dmDoNotDispose;
            uint32_t previous = ticks_->tickCount();
            int64_t correction = 0;
            const int count = int(frames_.size());
            while ((loops != 0 || (options_ & drawLoopForever)) && !terminated_ && !restart_) {
                active_ = loopStart;
                if (firstPainted_ && !fire(OnLoop))
                    break;
                while (active_ >= 0 && active_ < count && !terminated_ && !restart_ && !frames_[size_t(active_.load())].Empty) {
                    if (firstPainted_)
                        handOver();
                    if (pending < 1) {
                        std::this_thread::yield();
                    } else {
                        const uint32_t now = ticks_->tickCount();
                        int64_t wait;
                        if (speed_ < 1) {
                            wait = Async() ? -1 : int64_t(MaxSyncDelay) * MsPerUnit;
                        } else {
                            wait = FrameWait(uint32_t(now - previous), correction, pending, speed_);
                            correction = wait;
                        }
                        previous = now;
                        if (!Async()) {
                            waitFor(wait, false);
                        } else if (timedWaits_ && (wait > 0 || speed_ == 0)) {
                            if (waitFor(wait, true)) {
                                correction = 0;
                                previous = ticks_->tickCount();
                            }
                        }
                    }
                    if (terminated_ || restart_ || !fire(OnPaint))
                        break;
                    const FrameFacts& f = frames_[size_t(active_.load())];
                    disposal_ = f.Disposal;
                    if (!loopSeen && f.Loops >= 0) {
                        loopSeen = true;
                        loops = (f.Loops == 0 || (options_ & drawLoopForever)) && Async() ? -1 : f.Loops;
                        loopStart = active_;
                    }
                    if (!synchronize([this] { paintFrame(); }))
                        break;
                    previousDisposal_ = disposal_;
                    pending = FrameDelay(f.Delay, Async());
                    const int shown = active_;
                    if (!fire(OnAfterPaint))
                        break;
                    if (active_ == shown)
                        ++active_;
                    if (!(options_ & drawAnimate))
                        break;
                }
                if (loops > 0)
                    --loops;
                if (!((options_ & drawAnimate) && (options_ & drawLoop)))
                    break;
            }
        }
        active_ = -1;
        fire(OnEndPaint);
    } catch (const std::exception& e) {
        // Only the painter's own bookkeeping runs here; the message goes to the UI thread.
        terminated_ = true;
        std::string message = e.what();
        if (onThread_)
            post_([message] { forms::HandleException(std::runtime_error(message)); });
        else
            forms::HandleException(e);
    }
    active_ = -1;
    handOver();
    ended();
}

void TGIFPainter::ended()
{
    std::shared_ptr<TGIFPainter> keep = shared_from_this();  // the list may hold the last one
    image_.painterEnded(this);
    {
        std::lock_guard lk(m_);
        finished_ = true;
        handedOver_ = true;
    }
    cv_.notify_all();
}

gfx::TRect TGIFPainter::frameArea(int Index) const
{
    const TGIFSubImage* f = image_.Images()[Index];
    const int64_t sw = std::max(1, image_.Width()), sh = std::max(1, image_.Height());
    const int64_t w = rect_.Width(), h = rect_.Height();
    return {int32_t(f->Left() * w / sw), int32_t(f->Top() * h / sh),
            int32_t((int64_t(f->Left()) + f->Width()) * w / sw), int32_t((int64_t(f->Top()) + f->Height()) * h / sh)};
}

void TGIFPainter::drawActive(gfx::TCanvas& Target, const gfx::TRect& Rect)
{
    image_.Images()[active_]->StretchDraw(Target, Rect, (options_ & drawTransparent) != 0, (options_ & drawTile) != 0);
}

void TGIFPainter::restoreBackground()
{
    if (!frameBuffer_)
        return;
    const int index = active_;
    if (index < 0 || index >= image_.Images().Count())
        return;
    gfx::TRect area = frameArea(index);
    std::vector<gfx::TRect> places{area};
    if ((options_ & drawTile) && image_.Width() > 0 && image_.Height() > 0) {
        // Tiles sit at the image size; the frame's place repeats at each.
        const TGIFSubImage* f = image_.Images()[index];
        places.clear();
        for (int64_t y = 0; y < rect_.Height(); y += image_.Height())
            for (int64_t x = 0; x < rect_.Width(); x += image_.Width())
                places.push_back(gfx::Bounds(int32_t(x + f->Left()), int32_t(y + f->Top()), f->Width(), f->Height()));
    }
    gfx::TCanvas& fb = frameBuffer_->Canvas();
    for (const gfx::TRect& r : places) {
        if ((options_ & drawTransparent) && backup_) {
            const gfx::TCopyMode mode = fb.CopyMode();
            fb.SetCopyMode(gfx::cmSrcCopy);
            fb.CopyRect(r, backup_->Canvas(), r);
            fb.SetCopyMode(mode);
        } else {
            fillBackground(fb, r, (options_ & drawTile) ? (image_.DrawBackgroundColor == gfx::clNone ? background_ : image_.DrawBackgroundColor) : background_);
        }
    }
}

void TGIFPainter::paintFrame()
{
    // A target that is gone ends the painter quietly, whatever the options.
    if (canvasAlive_.expired()) {
        terminated_ = true;
        return;
    }
    const int index = active_;
    if (index < 0 || index >= image_.Images().Count() || image_.Images()[index]->Empty())
        return;
    const gfx::TRect whole = gfx::Rect(0, 0, rect_.Width(), rect_.Height());
    if (!frameBuffer_) {
        drawActive(canvas_, rect_);
    } else {
        if ((options_ & drawClearOnLoop) && index == 0)
            restoreBackground();
        switch (disposal_) {
        case dmNone:
        case dmDoNotDispose:
            drawActive(frameBuffer_->Canvas(), whole);
            copyWhole(canvas_, rect_, *frameBuffer_);
            break;
        case dmRestoreBackground:
            drawActive(frameBuffer_->Canvas(), whole);
            copyWhole(canvas_, rect_, *frameBuffer_);
            restoreBackground();
            break;
        case dmRestorePrevious:
            if (previousDisposal_ == dmNone || previousDisposal_ == dmDoNotDispose) {
                // The frame buffer keeps the picture from before this frame.
                drawActive(canvas_, rect_);
            } else {
                copyWhole(previousBuffer_->Canvas(), whole, *frameBuffer_);
                drawActive(previousBuffer_->Canvas(), whole);
                copyWhole(canvas_, rect_, *previousBuffer_);
            }
            break;
        default:
            break;
        }
    }
    firstPainted_ = true;
    // Painted from the thread: the control showing the internal bitmap repaints.
    if (handedOver_ && !(options_ & drawDirect))
        image_.frameShown();
}

// --- the image's side -------------------------------------------------------------------

void TGIFImage::Draw(gfx::TCanvas& Canvas, const gfx::TRect& Rect) const
{
    // Drawing starts and keeps painters, which belong to the image even when it is drawn
    // through a const reference.
    const_cast<TGIFImage*>(this)->paint(Canvas, Rect);
}

void TGIFImage::showInternal(gfx::TCanvas& Canvas, const gfx::TRect& Rect)
{
    if (!drawBitmap_)
        return;
    if (!(DrawOptions & drawTile) || Width() <= 0 || Height() <= 0) {
        Canvas.StretchDraw(Rect, *drawBitmap_);
        return;
    }
    const bool clip = !Canvas.HasClip();
    if (clip)
        Canvas.SetClipRect(Rect);
    for (int64_t y = Rect.Top; y < Rect.Bottom; y += Height())
        for (int64_t x = Rect.Left; x < Rect.Right; x += Width())
            Canvas.StretchDraw(gfx::Bounds(int32_t(x), int32_t(y), Width(), Height()), *drawBitmap_);
    if (clip)
        Canvas.ClearClip();
}

void TGIFImage::paint(gfx::TCanvas& Canvas, const gfx::TRect& Rect)
{
    if (drawing_ || Empty())
        return;
    drawing_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{drawing_};
    // A synchronous painter plays inside this call, which a paint event cannot wait in.
    const bool stillOnly = !(DrawOptions & drawAsync) && forms::InPaintEvent();
    if (images_.Count() == 1 || !(DrawOptions & drawAnimate) || stillOnly) {
        images_[0]->StretchDraw(Canvas, Rect, (DrawOptions & drawTransparent) != 0, (DrawOptions & drawTile) != 0);
        return;
    }
    const bool direct = (DrawOptions & drawDirect) != 0;
    if (drawBitmap_ && !direct) {
        showInternal(Canvas, Rect);
        return;
    }
    std::shared_ptr<TGIFPainter> p;
    {
        std::unique_lock lk(paintLock_);
        if (painter_ && &painter_->Canvas() == &Canvas && painter_->Rect() == Rect && !painter_->Terminated())
            return;
        if (painter_)
            painter_->Stop();
        gfx::TCanvas* target = &Canvas;
        gfx::TRect rect = Rect;
        if (!direct) {
            if (Width() <= 0 || Height() <= 0)
                return;
            drawBitmap_ = std::make_unique<gfx::TBitmap>(Width(), Height(), gfx::pf24bit);
            rect = gfx::Rect(0, 0, Width(), Height());
            drawBitmap_->Canvas().CopyRect(rect, Canvas, Rect);
            target = &drawBitmap_->Canvas();
        }
        lk.unlock();
        p = std::make_shared<TGIFPainter>(*this, *target, rect, DrawOptions);
        p->OnStartPaint = OnStartPaint;
        p->OnPaint = OnPaint;
        p->OnAfterPaint = OnAfterPaint;
        p->OnLoop = OnLoop;
        p->OnEndPaint = OnEndPaint;
        p->Priority = ThreadPriority;
        lk.lock();
        painters_.push_back(p);
        painter_ = p.get();
    }
    p->run();
    if (!direct)
        showInternal(Canvas, Rect);
}

void TGIFImage::painterEnded(TGIFPainter* Painter)
{
    // Notified under the lock: once the list is empty the image may be destroyed at once.
    std::lock_guard lk(paintLock_);
    if (painter_ == Painter)
        painter_ = nullptr;
    std::erase_if(painters_, [Painter](const auto& p) { return p.get() == Painter; });
    paintersLeft_.notify_all();
}

void TGIFImage::PaintStop()
{
    std::vector<std::shared_ptr<TGIFPainter>> stopping;
    {
        std::lock_guard lk(paintLock_);
        stopping = painters_;
    }
    for (auto& p : stopping)
        p->Stop();
    // Stopped painters need nothing more of this thread, so waiting here cannot block them.
    // A synchronous one is further up this thread's stack and leaves when it unwinds.
    std::unique_lock lk(paintLock_);
    paintersLeft_.wait(lk, [this] {
        return std::none_of(painters_.begin(), painters_.end(), [](const auto& p) { return p->Async(); });
    });
    const bool idle = painters_.empty();
    lk.unlock();
    for (auto& p : stopping)
        p->join();
    stopping.clear();
    if (idle)
        drawBitmap_.reset();
}

TGIFPainter* TGIFImage::Painter() const
{
    std::lock_guard lk(paintLock_);
    return painter_;
}

int TGIFImage::PainterCount() const
{
    std::lock_guard lk(paintLock_);
    return int(painters_.size());
}
