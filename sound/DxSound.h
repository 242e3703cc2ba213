// TDxSound: the program's one playback engine. It opens a music file on its streaming channel
// with the file's tag, lyrics and photo, sizes the level analysis, binds the effect chain,
// plays, pauses, stops, seeks and changes frequency, plays a list of files in order with
// optional repeat, and reports position and levels on each display tick.
//
// It owns its channel, the effects manager, the level analysis of the open file, the play
// list, the photo (LyricsImg and its reduced work bitmap), the lyrics text and the attached
// visualiser (TDxSoundVisual). The mixer and the display (TDxSoundDisplay, the main window)
// belong to the caller and must outlive the engine.
//
// Everything runs on the user-interface thread: the caller's calls, the display timer's
// ticks and the channel's end-of-data and fade-end events, which the channel posts there.
// An end-of-data event that was posted for an earlier file, or arrives after play was
// stopped, paused or restarted, is ignored. Stop lets the event loop run for 50 ms (so the
// panes can clear); the caller must not destroy the engine from a handler that runs then.
#pragma once

#include "platform/forms/Image.h"
#include "platform/gfx/Bitmap.h"
#include "platform/rtl/StringList.h"
#include "platform/sound/Clock.h"
#include "sound/Analysis.h"
#include "sound/DSFXManager.h"
#include "sound/DxSoundDisplay.h"
#include "sound/DxSoundVisual.h"
#include "sound/cbDSMixer.h"

#include <cstdint>
#include <memory>
#include <string>

namespace sound {

class TDxSound {
public:
    // The extensions the engine opens, searched as a text: an extension that is a piece of
    // it (".mp") passes too; a name without an extension does not.
    static constexpr const char* kMusicExts = "*.au;*.aif;*.wav;*.mp1;*.mp2;*.mp3;*.wma;*.mpa";
    // Visual modes that need surface drawing; the random pick avoids them without it.
    static constexpr int kSurfaceModes[] = {4, 5, 22, 23, 25, 26, 27, 28, 29, 30};
    static constexpr int kModeCount = 31;

    TDxSound(TDxSoundDisplay& Display, TcbDSMixer& Mixer, snd::TickSource& Ticks = snd::systemTicks());
    ~TDxSound();
    TDxSound(const TDxSound&) = delete;
    TDxSound& operator=(const TDxSound&) = delete;

    // Frees the resources of the visualiser attached so far and creates those of the new one
    // (none: a visualiser that draws nothing).
    void SetVisual(std::unique_ptr<TDxSoundVisual> Visual);
    TDxSoundVisual& Visual() { return *visual_; }

    // Opens and prepares a file without starting it. Other extensions are ignored; a missing
    // file counts as an ended track; a file that cannot be decoded leaves the engine stopped
    // without a word (in list play it is skipped like a missing one).
    void PlayFile(const std::string& FileName);
    void Play();
    void Pause();
    void Stop();
    void CloseFile();
    // Plays the entries in order from the first; repeat follows the main window's check box.
    void PlayList(const rtl::TStringList& List);
    // Moves to Num/Den of the file and plays on; the position reached in percent (0 when no
    // file is open).
    int32_t Seek(int32_t Num, int32_t Den);
    void SetFrequency(uint32_t Hz);
    bool IsPlaying() const { return PlayStatus_ == "play"; }

    // The display tick: levels, position gauge and "nn:ss / nn:ss", while the channel plays.
    void UpdatePlayPosition();
    void ResetDisplay();
    // Lights gear label Index (0 P, 1 R, 2 N, 3..7 first to fifth).
    void SetShiftLamp(int Index);
    void UpdateLyricsAndMeter(bool HideLyrics);
    // A random visual mode 0..29 other than the current one, when the menu asks for it.
    void PickRandomVisual();
    void ApplyEffects();
    void SetPlayState(const std::string& Status, uint8_t FreshStart);
    // The end of the current track: the next list entry, or stop.
    void PlayNextInList();

    // ---- properties ----
    int32_t Effect() const { return Effect_; }
    void SetEffect(int32_t Value) { Effect_ = Value; }
    bool ListPlay() const { return ListPlay_; }
    void SetListPlay(bool Value) { ListPlay_ = Value; }
    int32_t ListPosition() const { return ListPosition_; }
    void SetListPosition(int32_t Value) { ListPosition_ = Value; }
    int32_t GraphWidth() const { return GraphWidth_; }
    void SetGraphWidth(int32_t Value) { GraphWidth_ = Value; }
    int32_t GraphHeight() const { return GraphHeight_; }
    void SetGraphHeight(int32_t Value) { GraphHeight_ = Value; }
    forms::TImage& LyricsImg() { return *LyricsImg_; }
    rtl::TStringList& LyricsTxt() { return LyricsTxt_; }
    const std::string& FileNamme() const { return FileNamme_; }
    const std::string& PlayStatus() const { return PlayStatus_; }
    bool Echo() const { return Echo_; }
    void SetEcho(bool Value);
    bool Reverb() const { return Reverb_; }
    void SetReverb(bool Value);
    bool Chorus() const { return Chorus_; }
    void SetChorus(bool Value);
    bool Flanger() const { return Flanger_; }
    void SetFlanger(bool Value);

    // ---- what the visualiser reads ----
    TcbDSMixerChannel& Channel() { return *channel_; }
    TDSFXManager& FXManager() { return *fx_; }
    // Null while no file is open.
    TAnalysis* Analysis() { return analysis_.get(); }
    const rtl::TStringList& PlayListItems() const { return playList_; }
    bool LyricsAvailable() const { return lyricsAvailable_; }
    // -1 when the tag named no loadable photo; otherwise how far the lyrics mode has raised
    // the photo (0 when it was loaded). Every open resets it, and the lyrics offset to 0.
    int32_t PhotoIndex() const { return photoIndex_; }
    void SetPhotoIndex(int32_t Value) { photoIndex_ = Value; }
    // How far the lyrics mode has scrolled the lyrics up, in pixels.
    int32_t LyricsOffset() const { return lyricsOffset_; }
    void SetLyricsOffset(int32_t Value) { lyricsOffset_ = Value; }
    // The photo reduced for the lyrics panel.
    gfx::TBitmap& WorkBitmap() { return workBitmap_; }

private:
    enum class TOpenResult { Refused, Missing, Failed, Opened };
    TOpenResult OpenFile(const std::string& FileName);
    bool OpenOnChannel(const std::string& FileName);
    void LoadPhoto();
    void DropFile();
    void EndOfTrackDisplay();
    void PlayOnFromList();
    void StopAfterFailures();
    void ChannelPlayEnd();
    void SetFrequencySlider(int32_t Rate);
    void SetEffectFlag(bool& Flag, bool Value);
    bool IsOpen();

    TDxSoundDisplay& display_;
    TcbDSMixer& mixer_;
    std::unique_ptr<TDSFXManager> fx_;
    std::unique_ptr<TcbDSMixerChannel> channel_;
    std::unique_ptr<TAnalysis> analysis_;
    std::unique_ptr<TDxSoundVisual> visual_;
    bool Echo_ = false, Reverb_ = false, Chorus_ = false, Flanger_ = false;
    std::string FileNamme_;
    std::string PlayStatus_ = "stop";
    int32_t Effect_ = 0;
    bool ListPlay_ = false;
    int32_t ListPosition_ = 0;
    rtl::TStringList playList_;
    bool lyricsAvailable_ = false;
    int32_t photoIndex_ = -1;
    int32_t lyricsOffset_ = 0;
    std::unique_ptr<forms::TImage> LyricsImg_;
    gfx::TBitmap workBitmap_;
    rtl::TStringList LyricsTxt_;
    int32_t GraphWidth_ = 0, GraphHeight_ = 0;
    // Entries of the play list that failed one after another; a full round of them ends
    // list play instead of going round for ever.
    int32_t failedInRow_ = 0;
    bool silenceTold_ = false;   // the display heard once that play is silent
};

}  // namespace sound
