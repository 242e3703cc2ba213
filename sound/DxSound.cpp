#include "sound/DxSound.h"

#include "pictures/libImg.h"
#include "platform/forms/Application.h"
#include "platform/rtl/Formatting.h"
#include "platform/rtl/Numerics.h"
#include "tags/libID3Tag.h"
#include "tags/libMP3Header.h"
#include "util/libWindows.h"

#include <algorithm>
#include <exception>
#include <filesystem>

namespace sound {

namespace {

constexpr double kMsPerDay = 86400000.0;
// The photo is shown in the lyrics panel at 14/45 of its size.
constexpr double kPhotoZoom = 14.0 / 45.0;
constexpr int kGearLabels = 8;

bool isFile(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::string minutesSeconds(uint32_t ms) { return rtl::FormatDateTime("nn:ss", ms / kMsPerDay); }

}  // namespace

TDxSound::TDxSound(TDxSoundDisplay& Display, TcbDSMixer& Mixer, snd::TickSource& Ticks)
    : display_(Display),
      mixer_(Mixer),
      fx_(std::make_unique<TDSFXManager>()),
      channel_(std::make_unique<TcbDSMixerChannel>(&Mixer, Ticks)),
      visual_(std::make_unique<TDxSoundVisual>()),
      LyricsImg_(std::make_unique<forms::TImage>())
{
    // The channel's events come straight from the event loop: a failure in them is reported
    // there and goes no further.
    channel_->OnFadeEnd = [](TcbDSMixerChannel* c) { forms::RunGuarded([c] { c->Stop(); }); };
    channel_->OnPlayEnd = [this](TcbDSMixerChannel*) { forms::RunGuarded([this] { ChannelPlayEnd(); }); };
    display_.SetPnlOsillo1Color(gfx::clBlack);
    display_.SetPnlOsillo2Color(gfx::clBlack);
    ResetDisplay();
    visual_->CreateVisualResources();
}

TDxSound::~TDxSound()
{
    analysis_.reset();
    fx_.reset();
    channel_.reset();
    playList_.Clear();
    visual_->FreeVisualResources();
    visual_.reset();  // before the photo and lyrics it may still point at
}

void TDxSound::SetVisual(std::unique_ptr<TDxSoundVisual> Visual)
{
    visual_->FreeVisualResources();
    visual_ = Visual ? std::move(Visual) : std::make_unique<TDxSoundVisual>();
    visual_->CreateVisualResources();
    visual_->ResetFirstPaintFlags();  // as the display was reset when the engine was made
}

bool TDxSound::IsOpen() { return !channel_->FileName().empty(); }

// ---- opening -----------------------------------------------------------------------------

void TDxSound::PlayFile(const std::string& FileName)
{
    const TOpenResult r = OpenFile(FileName);
    if (r == TOpenResult::Opened) {
        failedInRow_ = 0;
        return;
    }
    // Outside list play only a missing file ends the track; an undecodable one just stays
    // silent and one of another kind is ignored. In list play all of them are skipped.
    if (r != TOpenResult::Missing && !ListPlay_)
        return;
    DropFile();
    EndOfTrackDisplay();
    if (!ListPlay_) {
        SetPlayState("stop", 1);
        display_.SetLblDurationTag(0);
        return;
    }
    if (++failedInRow_ >= playList_.Count()) {
        StopAfterFailures();
        return;
    }
    PlayOnFromList();
}

TDxSound::TOpenResult TDxSound::OpenFile(const std::string& FileName)
{
    lyricsAvailable_ = false;
    const std::string ext = LowerFileExt(FileName);
    if (ext.empty() || std::string(kMusicExts).find(ext) == std::string::npos)
        return TOpenResult::Refused;
    ReadTag(FileName);
    display_.SetPnlLyricsVisible(false);
    display_.SetTimLyrics1Enabled(false);
    display_.SetTimLyrics2Enabled(false);
    LyricsTxt_.SetText(CurrentTag.Lyrics);
    lyricsOffset_ = 0;
    LoadPhoto();
    lyricsAvailable_ = LyricsTxt_.Count() > 0 || photoIndex_ >= 0;
    UpdateLyricsAndMeter(true);
    if (!isFile(FileName))
        return TOpenResult::Missing;
    if (!OpenOnChannel(FileName)) {
        DropFile();
        return TOpenResult::Failed;
    }
    return TOpenResult::Opened;
}

// Opens the file on the channel and prepares everything that play needs; false (and no
// message) when any step fails.
bool TDxSound::OpenOnChannel(const std::string& FileName)
{
    try {
        PlayStatus_ = "stop";
        channel_->Open("");
        analysis_.reset();
        FileNamme_ = FileName;
        channel_->Open(FileName);
        if (!IsOpen())
            return false;
        analysis_ = std::make_unique<TAnalysis>(channel_.get(), GraphWidth_,
                                                int32_t(uint64_t(channel_->SampleRate()) * 50 / 1000));
        // Creates, primes and rewinds the buffer, so that the effects bind to a stopped one.
        channel_->Play();
        channel_->Stop();
        fx_->SetBuffer(channel_->Buffer());
        fx_->LoadDefaults();
        ReadSampleRate(FileName);
        SetFrequencySlider(AudioFileInfo.SampleRate);
        PickRandomVisual();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Nothing stays open after a file that could not be played, so a later Play cannot sound
// the file before it.
void TDxSound::DropFile()
{
    PlayStatus_ = "stop";
    try {
        channel_->Open("");
    } catch (const std::exception&) {
    }
    analysis_.reset();
    FileNamme_.clear();
}

void TDxSound::LoadPhoto()
{
    photoIndex_ = -1;
    workBitmap_.SetSize(0, 0);
    const std::string& name = CurrentTag.PhotoName;
    if (!IsPlainPhotoName(name) || display_.Mp3Path().empty())
        return;
    const std::string path = display_.Mp3Path() + "/" + name;
    if (!isFile(path))
        return;
    // A photo that cannot be read is no photo: the lyrics panel shows the text alone.
    try {
        if (!LoadPictureFile(*LyricsImg_, path, true) || LyricsImg_->Picture().Width() <= 0 ||
            LyricsImg_->Picture().Height() <= 0) {
            LyricsImg_->Picture().SetGraphic(nullptr);
            return;
        }
        forms::TImage reduced;
        reduced.Picture().Assign(LyricsImg_->Picture());
        LoadPictureZoomed(reduced, false, "", kPhotoZoom);
        workBitmap_.Assign(reduced.Picture().Bitmap());
        photoIndex_ = 0;
    } catch (const std::exception&) {
        LyricsImg_->Picture().SetGraphic(nullptr);
        workBitmap_.SetSize(0, 0);
    }
}

void TDxSound::SetFrequencySlider(int32_t Rate)
{
    display_.SetTrackFrequencyTag(Rate);
    display_.SetTrackFrequencyMax(int32_t(std::min<int64_t>(int64_t(Rate) * 2, INT32_MAX)));
    display_.SetTrackFrequencyPosition(Rate);
    display_.SetTrackFrequencyEnabled(Rate > 0);
}

// ---- transport ---------------------------------------------------------------------------

void TDxSound::Play()
{
    if (!IsOpen())
        return;
    channel_->Play();
    display_.SetLblDurationTag(1);
    SetPlayState("play", PlayStatus_ == "pause" ? 0 : 1);
    ApplyEffects();
    if (!silenceTold_) {
        if (const std::string reason = mixer_.SilentReason(); !reason.empty()) {
            silenceTold_ = true;
            display_.PlayingSilently(reason);
        }
    }
}

void TDxSound::Pause()
{
    if (!IsOpen())
        return;
    SetPlayState("pause", 1);
    channel_->Pause();
}

void TDxSound::Stop()
{
    SetPlayState("stop", 1);
    channel_->Stop();
    if (ListPlay_) {
        ListPlay_ = false;
        ListPosition_ = 0;
    }
    failedInRow_ = 0;
    display_.RepaintPnlOsillo1();
    display_.RepaintPnlOsillo2();
    display_.SetBarLeftPosition(0);
    display_.SetBarRightPosition(0);
    Delay(50);
    const gfx::TPoint left = display_.DxdLeftSize(), right = display_.DxdRightSize();
    display_.FillFormRectBlack(gfx::Rect(0, 0, left.X, left.Y));
    display_.FillFormRectBlack(gfx::Rect(0, 0, right.X, right.Y));
    display_.RepaintLblLeft();
    display_.RepaintLblRight();
    display_.RepaintLblMusic();
    display_.RepaintLblClock();
    display_.SetLblDurationTag(0);
}

void TDxSound::CloseFile()
{
    Stop();
    FileNamme_.clear();
    channel_->Open("");
    SetPlayState("stop", 1);
    analysis_.reset();
    display_.SetLblMusicCaption("");
    display_.RepaintLblMusic();
    display_.SetGauge1Position(0);
}

void TDxSound::PlayList(const rtl::TStringList& List)
{
    if (List.Count() == 0)
        return;
    playList_.Assign(List);
    ListPlay_ = true;
    ListPosition_ = 0;
    failedInRow_ = 0;
    PlayFile(playList_[0]);
    Play();
}

int32_t TDxSound::Seek(int32_t Num, int32_t Den)
{
    if (!IsOpen() || Den == 0)
        return 0;
    channel_->Pause();
    const int64_t length = channel_->FileLengthMs();
    const int64_t target = std::clamp<int64_t>(length * Num / Den, 0, length);
    channel_->SetPosition(uint32_t(target));
    const int32_t percent = length > 0 ? int32_t(int64_t(channel_->GetPosition()) * 100 / length) : 0;
    channel_->Play();
    SetPlayState("play", 0);
    return percent;
}

void TDxSound::SetFrequency(uint32_t Hz) { channel_->SetFrequency(Hz); }

// ---- states ------------------------------------------------------------------------------

void TDxSound::SetPlayState(const std::string& Status, uint8_t FreshStart)
{
    PlayStatus_ = Status;
    auto favouriteColor = [this](gfx::TColor c) {
        if (!display_.LblFavoriteCaption().empty())
            display_.SetLblFavoriteFontColor(c);
        else
            display_.SetLblFavorite0FontColor(c);
    };
    if (Status == "play") {
        UpdateLyricsAndMeter(false);
        display_.SetTimPlayEnabled(true);
        display_.SetTimDxTimerInterval(63);
        display_.SetLblPlayFontColor(gfx::clRed);
        display_.SetLblPlayCaption("[ Playing ]");
        if (ListPlay_) {
            display_.SetTimListEnabled(true);
            favouriteColor(gfx::clRed);
        }
        visual_->SetFreshStart(FreshStart);
    } else if (Status == "stop") {
        display_.SetTimPlayEnabled(false);
        display_.SetPnlLyricsVisible(false);
        display_.SetTimLyrics1Enabled(false);
        display_.SetTimLyrics2Enabled(false);
        display_.SetLblPlayFontColor(gfx::clBlue);
        display_.SetLblPlayCaption("Play List :");
        if (ListPlay_) {
            display_.SetTimListEnabled(false);
            favouriteColor(gfx::clBlack);
        }
        visual_->SetFreshStart(0);
        visual_->PaintLeft();
        visual_->PaintRight();
        display_.SetTimDxTimerInterval(1000);
    } else if (Status == "pause") {
        display_.SetTimPlayEnabled(false);
        display_.SetTimLyrics1Enabled(false);
        display_.SetTimLyrics2Enabled(false);
        display_.SetLblPlayFontColor(gfx::clRed);
        display_.SetLblPlayCaption("[ Paused ]");
        if (ListPlay_)
            display_.SetTimListEnabled(false);
        display_.SetTimDxTimerInterval(1000);
    }
}

// ---- end of a track ----------------------------------------------------------------------

void TDxSound::ChannelPlayEnd()
{
    // The channel drops events of files it has closed since; an end that arrives after the
    // engine was stopped, paused or set going again belongs to play that is over.
    if (PlayStatus_ != "play" || channel_->State() == TcbDSMixerChannel::csPlaying)
        return;
    PlayNextInList();
}

void TDxSound::EndOfTrackDisplay()
{
    ResetDisplay();
    display_.SetGauge1Position(100);
    display_.SetPnlLyricsVisible(false);
    display_.SetTimLyrics1Enabled(false);
    display_.SetTimLyrics2Enabled(false);
    if (analysis_)
        analysis_->Clear();
    display_.InvalidateDxdLeft();
    display_.InvalidateDxdRight();
    display_.SetBarRightPosition(0);
}

void TDxSound::PlayNextInList()
{
    EndOfTrackDisplay();
    if (!ListPlay_) {
        SetPlayState("stop", 1);
        display_.SetLblDurationTag(0);
        return;
    }
    PlayOnFromList();
}

// Moves to the next entry that opens, wrapping round only with repeat; entries that are
// missing or cannot be decoded are passed over.
void TDxSound::PlayOnFromList()
{
    const int32_t count = playList_.Count();
    for (;;) {
        display_.LstFileDeselect(ListPosition_);
        ++ListPosition_;
        if (ListPosition_ >= count) {
            if (!display_.ChkRepeartChecked() || count == 0) {
                SetPlayState("stop", 1);
                return;
            }
            ListPosition_ = 0;
        }
        display_.LstFileSelectOnly(ListPosition_);
        display_.ShowTrackTitle(ListPosition_);
        if (OpenFile(playList_[ListPosition_]) == TOpenResult::Opened) {
            failedInRow_ = 0;
            Play();
            ApplyEffects();
            return;
        }
        DropFile();
        if (++failedInRow_ >= count) {
            StopAfterFailures();
            return;
        }
    }
}

void TDxSound::StopAfterFailures()
{
    failedInRow_ = 0;
    SetPlayState("stop", 1);
    display_.SetLblDurationTag(0);
}

// ---- display -----------------------------------------------------------------------------

void TDxSound::UpdatePlayPosition()
{
    if (channel_->State() != TcbDSMixerChannel::csPlaying)
        return;
    if (analysis_) {
        analysis_->Analyse();
        display_.SetBarLeftPosition(int32_t(rtl::Round(analysis_->Level(0) * 100)));
        display_.SetBarRightPosition(int32_t(rtl::Round(analysis_->Level(1) * 100)));
    }
    const uint32_t position = channel_->GetPosition();
    const uint32_t length = channel_->FileLengthMs();
    if (length > 0)
        display_.SetGauge1Position(int32_t(int64_t(position) * 100 / length));
    display_.SetLblDurationCaption(minutesSeconds(position) + " / " + minutesSeconds(length));
}

void TDxSound::ResetDisplay()
{
    SetShiftLamp(0);
    for (int n = 1; n <= 3; ++n)
        display_.SetLEDStatus(n, false);
    display_.SetLCD1BrushColor(gfx::clGray);
    display_.SetMsgOstrelText("______x______");
    display_.SetMtrLeftValue(0);
    display_.SetMtrRightValue(0);
    display_.SetBarLeftPosition(0);
    display_.SetBarRightPosition(0);
    display_.SetMtrBalanseValue(50);
    display_.SetDbrMeterProcess(kDbrMeterProcessDouble);
    display_.SetLcdMeterValue(std::to_string(channel_->GetPosition() / 10));
    visual_->ResetFirstPaintFlags();
    if (PlayStatus_ != "pause")
        display_.SetGauge1Position(0);
}

void TDxSound::SetShiftLamp(int Index)
{
    for (int i = 0; i < kGearLabels; ++i)
        display_.SetLblM0FontColor(i, gfx::clGray);
    if (Index >= 0 && Index < kGearLabels) {
        const gfx::TColor lit = Index == 1 ? gfx::clRed : Index == 2 ? gfx::clWhite : gfx::clLime;
        display_.SetLblM0FontColor(Index, lit);
    }
    display_.SetLblM0PTag(Index);
}

void TDxSound::UpdateLyricsAndMeter(bool HideLyrics)
{
    if (HideLyrics) {
        display_.SetPnlLyricsVisible(false);
        display_.SetTimLyrics1Enabled(false);
        display_.SetTimLyrics2Enabled(false);
    }
    const bool overlay = display_.SpdEffectTag() != 0;
    if (Effect_ != 15 && IsPlaying() && !overlay) {
        if (!HideLyrics && display_.PnlLyricsVisible())
            display_.SetTimLyrics2Enabled(lyricsAvailable_);
        else
            display_.SetTimLyrics1Enabled(lyricsAvailable_);
    }
    if (Effect_ == 30)
        display_.StartMsgOstrel();
    else
        display_.StopMsgOstrel();
    const bool meter = Effect_ == 30 && !overlay;
    display_.SetLblLeftTop(meter ? 6 - 20 : 6);
    display_.SetPnlMeterVisible(meter);
    display_.SetPnlMeterLeft(0);
}

void TDxSound::PickRandomVisual()
{
    if (!display_.DoEffect99Checked())
        return;
    const bool surfaces = display_.DoEffect999Checked();
    auto needsSurface = [](int mode) {
        return std::find(std::begin(kSurfaceModes), std::end(kSurfaceModes), mode) != std::end(kSurfaceModes);
    };
    const int32_t before = Effect_;
    int32_t mode;
    do
        mode = rtl::Random(30);
    while (mode == before || (!surfaces && needsSurface(mode)));
    Effect_ = mode;
}

// ---- effects -----------------------------------------------------------------------------

void TDxSound::ApplyEffects()
{
    if (FileNamme_.empty() || !channel_->Reader())
        return;
    const bool wasPlaying = channel_->State() == TcbDSMixerChannel::csPlaying;
    channel_->Pause();
    // A buffer made again since the last bind (after a loss) takes the chain too.
    fx_->SetBuffer(channel_->Buffer());
    fx_->Clear();
    if (Echo_)
        fx_->AddEffect(fxEcho);
    if (Reverb_)
        fx_->AddEffect(fxWavesReverb);
    if (Chorus_)
        fx_->AddEffect(fxChorus);
    if (Flanger_)
        fx_->AddEffect(fxFlanger);
    fx_->Apply();
    if (wasPlaying)
        channel_->Play();
}

void TDxSound::SetEffectFlag(bool& Flag, bool Value)
{
    Flag = Value;
    ApplyEffects();
}

void TDxSound::SetEcho(bool Value) { SetEffectFlag(Echo_, Value); }
void TDxSound::SetReverb(bool Value) { SetEffectFlag(Reverb_, Value); }
void TDxSound::SetChorus(bool Value) { SetEffectFlag(Chorus_, Value); }
void TDxSound::SetFlanger(bool Value) { SetEffectFlag(Flanger_, Value); }

}  // namespace sound
