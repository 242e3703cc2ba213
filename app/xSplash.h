// The splash: while the main window loads its trees and scans the music folder, a small
// animation plays over the music list (falling stars, four credit lines scrolling up, a
// spinning, growing logo). It closes 3 s after both its scroll has ended and the main window
// has said it is Ready.
//
// Wayland lets no program place its own windows, so the splash is a frameless child of the
// main window raised over the music list, placed in the main window's coordinates.
// UI thread only.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include <QFrame>
#include <QPointer>

#include "platform/forms/Timer.h"
#include "platform/gfx/Geometry.h"

namespace gfx {
class TBitmap;
}
namespace visual {
class TDXDraw;
}
class TfrmMain;

class TfrmSplash : public QFrame {
public:
    // Made hidden over Main, which it registers with (Main shows it and tells it Ready).
    explicit TfrmSplash(TfrmMain* Main);
    ~TfrmSplash() override;

    static constexpr int StarCount = 201;

    bool Ready = false;   // set by the main window once loading is done
    QFrame* Panel1;
    visual::TDXDraw* dxdSplash;
    forms::TTimer Timer1;   // 65 ms: one frame
    forms::TTimer Timer2;   // 3 s after the scroll end and Ready: close
    std::vector<std::string> Lines;   // the credit lines

    void FormShow();
    void CMShowingChanged();
    void Timer1Timer();
    void Timer2Timer();
    // Over the music list (over the whole window when the list is narrower than the splash);
    // restarts the animation while the splash shows.
    void PlaceSplash();
    void AnimateSplash();

    int ScrollPos() const { return scrollPos_; }
    int FrameCount() const { return frameCount_; }
    // Where the last frame drew each credit line's text and the logo (empty before the first).
    const std::vector<gfx::TRect>& LineRects() const { return lineRects_; }
    gfx::TRect LogoRect() const { return logoRect_; }

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void FormCreate();
    QPointer<TfrmMain> main_;
    std::unique_ptr<gfx::TBitmap> logo_, work_;
    int scrollPos_ = 0, splashW_ = 0, splashH_ = 0, frameCount_ = 0;
    std::array<gfx::TPoint, StarCount> stars_;
    std::vector<gfx::TRect> lineRects_;
    gfx::TRect logoRect_{};
};
