// The main window as the playback engine sees it: the controls and timers the engine writes
// (status labels, position gauge, level bars, the meter panel, the lyrics panel, the
// frequency slider, the playlist's selection, the display, list, play and lyrics timers)
// and the few settings it reads (repeat, random visual, surface drawing, the music folder).
// Each method names the control it stands for; a write behaves as the control's own property
// write does (a gauge clamps, a slider fires its change event, a lamp repaints on change).
//
// The main window implements this; the engine holds it by reference for its whole life and
// owns nothing of it. Every call comes on the user-interface thread.
#pragma once

#include "platform/gfx/Colors.h"
#include "platform/gfx/Geometry.h"

#include <cstdint>
#include <string>

namespace sound {

// The segment-bar meter's animation that the engine picks when the display is reset.
inline constexpr int kDbrMeterProcessDouble = 4;

class TDxSoundDisplay {
public:
    virtual ~TDxSoundDisplay() = default;

    // ---- read ----
    // The current music folder (no trailing separator); a tag's photo lives there.
    virtual std::string Mp3Path() const = 0;
    virtual bool ChkRepeartChecked() const = 0;
    // 1 while the effect overlay is shown, else 0.
    virtual intptr_t SpdEffectTag() const = 0;
    // "Random visual" and "surface drawing" menu items.
    virtual bool DoEffect99Checked() const = 0;
    virtual bool DoEffect999Checked() const = 0;
    virtual bool PnlLyricsVisible() const = 0;
    virtual std::string LblFavoriteCaption() const = 0;
    // Width and height of the visual panes, in X and Y.
    virtual gfx::TPoint DxdLeftSize() const = 0;
    virtual gfx::TPoint DxdRightSize() const = 0;

    // ---- timers ----
    virtual void SetTimPlayEnabled(bool On) = 0;
    virtual void SetTimListEnabled(bool On) = 0;
    virtual void SetTimLyrics1Enabled(bool On) = 0;
    virtual void SetTimLyrics2Enabled(bool On) = 0;
    virtual void SetTimDxTimerInterval(int Ms) = 0;

    // ---- status labels ----
    virtual void SetLblPlayCaption(const std::string& Text) = 0;
    virtual void SetLblPlayFontColor(gfx::TColor Color) = 0;
    virtual void SetLblFavoriteFontColor(gfx::TColor Color) = 0;
    virtual void SetLblFavorite0FontColor(gfx::TColor Color) = 0;
    virtual void SetLblDurationCaption(const std::string& Text) = 0;
    virtual void SetLblDurationTag(intptr_t Tag) = 0;
    virtual void SetLblMusicCaption(const std::string& Text) = 0;
    virtual void RepaintLblMusic() = 0;
    virtual void RepaintLblClock() = 0;

    // ---- gauges and level bars (0..100) ----
    virtual void SetGauge1Position(int32_t Position) = 0;
    virtual void SetBarLeftPosition(int32_t Position) = 0;
    virtual void SetBarRightPosition(int32_t Position) = 0;

    // ---- frequency slider ----
    virtual void SetTrackFrequencyTag(intptr_t Tag) = 0;
    virtual void SetTrackFrequencyMax(int32_t Max) = 0;
    virtual void SetTrackFrequencyPosition(int32_t Position) = 0;
    virtual void SetTrackFrequencyEnabled(bool On) = 0;

    // ---- playlist (a row out of range is ignored) ----
    virtual void LstFileDeselect(int32_t Row) = 0;
    // Deselects every selected row in one update, then focuses and selects Row and scrolls
    // it into view.
    virtual void LstFileSelectOnly(int32_t Row) = 0;
    // The main window's own title display for a playlist row.
    virtual void ShowTrackTitle(int32_t Row) = 0;

    // ---- lyrics panel and visual panes ----
    virtual void SetPnlLyricsVisible(bool On) = 0;
    virtual void SetPnlOsillo1Color(gfx::TColor Color) = 0;
    virtual void SetPnlOsillo2Color(gfx::TColor Color) = 0;
    virtual void RepaintPnlOsillo1() = 0;
    virtual void RepaintPnlOsillo2() = 0;
    virtual void InvalidateDxdLeft() = 0;
    virtual void InvalidateDxdRight() = 0;
    // Fills R of the main window's own canvas black.
    virtual void FillFormRectBlack(const gfx::TRect& R) = 0;

    // ---- meter panel ----
    virtual void SetPnlMeterVisible(bool On) = 0;
    virtual void SetPnlMeterLeft(int32_t Left) = 0;
    virtual void SetLblLeftTop(int32_t Top) = 0;
    virtual void RepaintLblLeft() = 0;
    virtual void RepaintLblRight() = 0;
    // Number 1..3 for LED1..LED3.
    virtual void SetLEDStatus(int Number, bool On) = 0;
    virtual void SetLCD1BrushColor(gfx::TColor Color) = 0;
    virtual void SetMtrLeftValue(int32_t Value) = 0;
    virtual void SetMtrRightValue(int32_t Value) = 0;
    virtual void SetMtrBalanseValue(int32_t Value) = 0;
    virtual void SetDbrMeterProcess(int Process) = 0;
    virtual void SetLcdMeterValue(const std::string& Text) = 0;
    // The gear labels lblM0P, lblM0R, lblM0N, lblM01 .. lblM05 as Index 0..7.
    virtual void SetLblM0FontColor(int Index, gfx::TColor Color) = 0;
    virtual void SetLblM0PTag(intptr_t Tag) = 0;
    // The scrolling marquee msgOstrel: its one line of text, and its scrolling.
    virtual void SetMsgOstrelText(const std::string& Text) = 0;
    virtual void StartMsgOstrel() = 0;
    virtual void StopMsgOstrel() = 0;

    // ---- notices ----
    // Play has started on a device that is silent because no sound device could be opened
    // (Reason: that device's error). Called once, at the first play so.
    virtual void PlayingSilently(const std::string& Reason) { (void)Reason; }
};

}  // namespace sound
