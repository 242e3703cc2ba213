// `TGIFPainter`: plays an animated `TGIFImage` onto one canvas rectangle with the frames'
// delays, disposal methods and loop count, until it is stopped or the passes run out.
//
// Threads: an asynchronous painter runs its timing on a thread of its own and does everything
// that touches pictures (painting, the events) in calls handed to the UI thread, waiting for
// each. It reads nothing of the image model from its thread: the frames' delays, disposals
// and loop counts are copied when it is created. Stopping is cooperative (the stop flag, a
// wake-up, the pending call dropped, then a join); nothing is ever killed. A synchronous
// painter runs on the UI thread inside `TGIFImage::Draw`.
//
// Time and the hand-over to the UI thread come from `GIFPainterEnvironment()`: by default the
// system tick source and the event loop; tests put a manual clock and their own poster there.
#pragma once

#include "pictures/gif/GIFImage.h"
#include "platform/rtl/Clock.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace GIFTiming {
constexpr int MsPerUnit = 12;
constexpr int DefaultDelay = 10;   // units, for a frame without a delay or with 0
constexpr int MinDelay = 3;        // units
constexpr int MaxSyncDelay = 1000; // units, synchronous painters only
constexpr int MaxSyncSleep = 100;  // ms, one sleep of a synchronous painter
// The units a frame stays with its graphic control extension's delay (none: -1).
int FrameDelay(int ExtensionDelay, bool Async);
// The milliseconds to wait before the next frame: the delay less half of what the last wait
// overran, scaled by the speed in per cent and rounded. Elapsed is the tick count difference
// taken modulo 2^32 (the counter wraps). Never negative; a speed below 1 is the caller's case.
int64_t FrameWait(uint32_t Elapsed, int64_t Correction, int DelayUnits, int Speed);
}  // namespace GIFTiming

// Hands a call to the UI thread; it runs there later, or never when the program is ending.
using TGIFPoster = std::function<void(std::function<void()>)>;

struct TGIFPainterEnvironment {
    rtl::TickSource* Ticks = nullptr;  // null: the system's
    TGIFPoster Post;                   // empty: the event loop
    // Serves the UI thread's pending events while a synchronous painter sleeps; empty: Qt's.
    std::function<void()> ProcessMessages;
};
TGIFPainterEnvironment& GIFPainterEnvironment();

class TGIFPainter : public std::enable_shared_from_this<TGIFPainter> {
public:
    // UI thread: records the target, surveys the disposals, makes the buffers.
    TGIFPainter(TGIFImage& Image, gfx::TCanvas& Canvas, const gfx::TRect& Rect, unsigned Options);
    ~TGIFPainter();
    TGIFPainter(const TGIFPainter&) = delete;
    TGIFPainter& operator=(const TGIFPainter&) = delete;

    // Plays from the first frame again.
    void Restart();
    // Ends the painter; an asynchronous one ends on its thread soon after (UI thread).
    void Stop();

    TGIFImage& Image() const { return image_; }
    gfx::TCanvas& Canvas() const { return canvas_; }
    const gfx::TRect& Rect() const { return rect_; }
    unsigned DrawOptions() const { return options_; }
    int AnimationSpeed() const { return speed_; }
    bool Async() const { return (options_ & drawAsync) != 0; }
    bool Terminated() const { return terminated_; }
    gfx::TColor BackgroundColor() const { return background_; }
    // The frame being shown (-1 when idle); an `OnAfterPaint` handler may move it.
    int ActiveImage() const { return active_; }
    void SetActiveImage(int Index) { active_ = Index; }
    // Stored for the thread; the system's scheduler does not honour it.
    TGIFThreadPriority Priority = tpNormal;

    TGIFPainterEvent OnStartPaint, OnPaint, OnAfterPaint, OnLoop, OnEndPaint;

private:
    friend class TGIFImage;
    struct FrameFacts {
        int Delay = -1;      // the extension's delay, -1 without an extension
        int Disposal = dmDoNotDispose;
        int Loops = -1;      // the first loop extension's count, -1 without one
        bool Empty = true;
    };

    // Asynchronous: starts the thread and serves its calls here until it reaches its first
    // wait. Synchronous: plays it all here.
    void run();
    void join();
    void execute();
    void handOver();
    bool waitFor(int64_t Ms, bool ForEvent);
    bool synchronize(const std::function<void()>& Call);
    void serve();
    void guarded(const std::function<void()>& Call);
    bool fire(const TGIFPainterEvent& Event);
    void paintFrame();
    void drawActive(gfx::TCanvas& Target, const gfx::TRect& Rect);
    void restoreBackground();
    gfx::TRect frameArea(int Index) const;
    void ended();

    TGIFImage& image_;
    gfx::TCanvas& canvas_;
    std::weak_ptr<const void> canvasAlive_;
    gfx::TRect rect_;
    unsigned options_;
    int speed_;
    gfx::TColor background_;
    std::vector<FrameFacts> frames_;
    rtl::TickSource* ticks_;
    TGIFPoster post_;
    std::unique_ptr<gfx::TBitmap> frameBuffer_, previousBuffer_, backup_;
    int disposal_ = dmDoNotDispose, previousDisposal_ = dmDoNotDispose;

    std::atomic<int> active_{-1};
    std::atomic<bool> terminated_{false}, restart_{false}, firstPainted_{false};
    // The one wake-up of the waiting thread: timed waits end early through it (Restart,
    // Stop), and it is how the UI thread says that a call was served. One waiter, since the
    // manual clock moves only while every waiter of a thread waits.
    std::unique_ptr<rtl::Waiter> waiter_;
    bool timedWaits_ = false;  // asynchronous, animated, two frames or more, speed not negative
    bool served_ = false;

    std::mutex m_;
    std::condition_variable cv_;
    std::function<void()> call_;
    bool pending_ = false;
    // The thread reached its first wait: its calls go through the poster from now on.
    std::atomic<bool> handedOver_{false};
    bool finished_ = false;
    bool onThread_ = false;  // calls are made from the painter's own thread
    std::thread thread_;
};
