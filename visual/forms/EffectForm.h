// `TfrmEffect`, the "visual effects mode" overlay: while it is shown it animates the main
// window's effect area (`pbxEffect`) with a dark, slowly changing background and scan lines, a
// scrolling page of credits, the playing file's tag and audio information and its lyrics, the
// tag's photo, a rising sheet of album art from the music folder, twinkling dots, two flares
// with sparks that burst into star particles, and grey tones near a track's start and end.
//
// The window itself is never put on screen (a zero-size borderless top-level window cannot be
// shown on Linux desktops): `Show` and `Close` keep its visible state and run its show and
// close handlers, and every frame is drawn into `pbxEffect` through a 15-bit TScreen64.
//
// Three timers drive it: the frame timer (interval Trunc(1000 / width x 17) ms, off below one
// pixel of width), the particle timer (50 ms) and the one-shot 30 s pause between the album
// phase and the next text page. Each handler turns its timer off while it works; closing sets
// the closing flag first, so a tick already queued draws nothing.
//
// UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <QPoint>

#include "bitmap64/Bitmap64.h"
#include "platform/forms/Timer.h"
#include "platform/gfx/Canvas.h"

namespace sound {
class TDxSound;
}

namespace visual {

// What the overlay needs of the main window.
class TEffectHost {
public:
    virtual ~TEffectHost() = default;
    // pbxEffect's canvas (drawings outside a paint event must reach what it shows) and size.
    virtual gfx::TCanvas* EffectCanvas() = 0;
    virtual int EffectWidth() const = 0;
    virtual int EffectHeight() const = 0;
    // pnlMp3's Left and Top taken as client coordinates of pnlMp3, on the screen.
    virtual QPoint Mp3PanelOrigin() const = 0;
    // Gauge1.Position (percent played), barLeft/barRight.Position (channel 0/1), and the
    // pane levels kept in dxdLeft.Tag/dxdRight.Tag.
    virtual int Gauge1Position() const = 0;
    virtual int LevelBarPosition(int Channel) const = 0;
    virtual intptr_t PaneLevel(int Channel) const = 0;
    // The current music folder.
    virtual std::string Mp3Path() const = 0;
};

class TfrmEffect {
public:
    TfrmEffect(TEffectHost& Host, sound::TDxSound& Engine);
    // The main window's tests stand in a recording overlay.
    virtual ~TfrmEffect();
    TfrmEffect(const TfrmEffect&) = delete;
    TfrmEffect& operator=(const TfrmEffect&) = delete;

    virtual void Show();
    virtual void Close();
    bool Visible() const { return visible_; }
    // Rebuilds the pictures for pbxEffect's present size; the timers run again when Active.
    virtual void Restart(bool Active);

    // The handlers, public for the tests and the benchmark (they drive the timers directly).
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void BuildInfoPage(bool Force);
    // One frame without touching the timers.
    void DrawFrame();
    // One particle step without the flip.
    void StepParticles();
    // An explosion of star particles at (x, y); x < 0: somewhere random.
    void Explode(int x, int y);

    forms::TTimer Timer1, Timer2, Timer3;

    // State the tests look at.
    struct TLine {
        int Size;
        int Indent;
        std::string Text;
    };
    const std::vector<TLine>& CreditLines() const { return credits_; }
    const std::vector<TLine>& InfoLines() const { return info_; }
    const std::vector<std::string>& AlbumArt() const { return albumArt_; }
    bool TextPhase() const { return textPhase_; }
    bool AlbumPhase() const { return albumPhase_; }
    bool GreyMode() const { return grey_; }
    int TextScroll() const { return textScroll_; }
    int AlbumScroll() const { return albumScroll_; }
    int AlbumContentHeight() const { return contentHeight_; }
    int PhotoWidth() const { return photoW_; }
    int ParticlesInUse() const;
    bitmap64::TScreen64* Screen() { return screen_.get(); }
    bitmap64::TScreen64* AlbumSheet() { return album_.get(); }

private:
    struct TSpark {
        int x = -100, base = 0, speed = 4, factor = 1;
        double wr = 1, wg = 1, wb = 1;
    };
    struct TParticle {
        bool inUse = false;
        double x0 = 0, y0 = 0, angle = 0, speed = 0, age = 0, rate = 1;
        double wr = 1, wg = 1, wb = 1;
    };

    void FormCreate();
    void FormShow();
    void FormCloseQuery();
    void FreePictures();
    void SetupPictures();
    void BuildCredits();
    void SetupSparks();
    void DrawTextPage();
    void DrawFlares();
    int Random(int n);
    double Scale() const;

    TEffectHost& host_;
    sound::TDxSound& engine_;
    bool visible_ = false;
    bool closing_ = false;
    bool restarting_ = false;
    bool grey_ = false;
    std::mt19937 rng_;

    std::unique_ptr<bitmap64::TScreen64> screen_, text_, album_, photo_;
    std::unique_ptr<bitmap64::TBitmap64> star_, flare_;
    std::vector<std::string> albumArt_;
    std::vector<std::string> lyrics_;
    std::vector<TLine> credits_, info_;
    std::string shownFile_, title_, artist_;

    int textScroll_ = 0, albumScroll_ = 0, contentHeight_ = 0, scrollSpeed_ = 2;
    bool textPhase_ = true, albumPhase_ = false, lyricsOnly_ = false;
    int dotCount_ = -1000, dotStep_ = 10;
    uint8_t bgR_ = 0, bgG_ = 0, bgB_ = 0;
    int photoW_ = 0, photoH_ = 0, margin_ = 20;
    std::array<TSpark, 12> sparks_{};
    std::array<TParticle, 200> particles_{};
};

}  // namespace visual
