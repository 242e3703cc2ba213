// The playback engine on the memory sound device, with a display that records every write
// the engine makes to the main window's controls and a visualiser that records its calls.
#pragma once

#include "sound/DxSound.h"
#include "support/AudioFixtures.h"
#include "tags/libID3Tag.h"
#include "tests/sound/ChannelRig.h"

#include <map>
#include <string>
#include <vector>

namespace testsupport {

class RecordingDisplay : public sound::TDxSoundDisplay {
public:
    // What the engine reads.
    std::string mp3Path;
    bool repeat = false, effectOverlay = false, randomVisual = false, surfaces = false;
    bool lyricsPanel = false;
    std::string favoriteCaption;
    gfx::TPoint leftSize{320, 120}, rightSize{300, 100};

    // Every write as "Control.Property=value", in order, and the last value of each.
    std::vector<std::string> log;
    std::map<std::string, std::string> last;

    int count(const std::string& key) const
    {
        int n = 0;
        for (auto& line : log)
            if (line.compare(0, key.size() + 1, key + "=") == 0)
                ++n;
        return n;
    }
    std::string value(const std::string& key) const
    {
        auto it = last.find(key);
        return it == last.end() ? "<none>" : it->second;
    }
    int intValue(const std::string& key) const { return std::stoi(value(key)); }

    std::string Mp3Path() const override { return mp3Path; }
    bool ChkRepeartChecked() const override { return repeat; }
    intptr_t SpdEffectTag() const override { return effectOverlay ? 1 : 0; }
    bool DoEffect99Checked() const override { return randomVisual; }
    bool DoEffect999Checked() const override { return surfaces; }
    bool PnlLyricsVisible() const override { return lyricsPanel; }
    std::string LblFavoriteCaption() const override { return favoriteCaption; }
    gfx::TPoint DxdLeftSize() const override { return leftSize; }
    gfx::TPoint DxdRightSize() const override { return rightSize; }

#define RECORD(method, key, type, text)                         \
    void method(type v) override { put(key, text); }
    RECORD(SetTimPlayEnabled, "timPlay.Enabled", bool, flag(v))
    RECORD(SetTimListEnabled, "timList.Enabled", bool, flag(v))
    RECORD(SetTimLyrics1Enabled, "timLyrics1.Enabled", bool, flag(v))
    RECORD(SetTimLyrics2Enabled, "timLyrics2.Enabled", bool, flag(v))
    RECORD(SetTimDxTimerInterval, "timDxTimer.Interval", int, std::to_string(v))
    RECORD(SetLblPlayCaption, "lblPlay.Caption", const std::string&, v)
    RECORD(SetLblPlayFontColor, "lblPlay.Font.Color", gfx::TColor, color(v))
    RECORD(SetLblFavoriteFontColor, "lblFavorite.Font.Color", gfx::TColor, color(v))
    RECORD(SetLblFavorite0FontColor, "lblFavorite0.Font.Color", gfx::TColor, color(v))
    RECORD(SetLblDurationCaption, "lblDuration.Caption", const std::string&, v)
    RECORD(SetLblDurationTag, "lblDuration.Tag", intptr_t, std::to_string(v))
    RECORD(SetLblMusicCaption, "lblMusic.Caption", const std::string&, v)
    RECORD(SetGauge1Position, "Gauge1.Position", int32_t, std::to_string(v))
    RECORD(SetBarLeftPosition, "barLeft.Position", int32_t, std::to_string(v))
    RECORD(SetBarRightPosition, "barRight.Position", int32_t, std::to_string(v))
    RECORD(SetTrackFrequencyTag, "trackFrequency.Tag", intptr_t, std::to_string(v))
    RECORD(SetTrackFrequencyMax, "trackFrequency.Max", int32_t, std::to_string(v))
    RECORD(SetTrackFrequencyPosition, "trackFrequency.Position", int32_t, std::to_string(v))
    RECORD(SetTrackFrequencyEnabled, "trackFrequency.Enabled", bool, flag(v))
    RECORD(LstFileDeselect, "lstFile.Deselect", int32_t, std::to_string(v))
    RECORD(LstFileSelectOnly, "lstFile.SelectOnly", int32_t, std::to_string(v))
    RECORD(ShowTrackTitle, "ShowTrackTitle", int32_t, std::to_string(v))
    RECORD(SetPnlLyricsVisible, "pnlLyrics.Visible", bool, flag(v))
    RECORD(SetPnlOsillo1Color, "pnlOsillo1.Color", gfx::TColor, color(v))
    RECORD(SetPnlOsillo2Color, "pnlOsillo2.Color", gfx::TColor, color(v))
    RECORD(FillFormRectBlack, "Canvas.FillRect", const gfx::TRect&,
           std::to_string(v.Left) + "," + std::to_string(v.Top) + "," + std::to_string(v.Right) + "," +
               std::to_string(v.Bottom))
    RECORD(SetPnlMeterVisible, "pnlMeter.Visible", bool, flag(v))
    RECORD(SetPnlMeterLeft, "pnlMeter.Left", int32_t, std::to_string(v))
    RECORD(SetLblLeftTop, "lblLeft.Top", int32_t, std::to_string(v))
    RECORD(SetLCD1BrushColor, "LCD1.Brush.Color", gfx::TColor, color(v))
    RECORD(SetMtrLeftValue, "mtrLeft.Value", int32_t, std::to_string(v))
    RECORD(SetMtrRightValue, "mtrRight.Value", int32_t, std::to_string(v))
    RECORD(SetMtrBalanseValue, "mtrBalanse.Value", int32_t, std::to_string(v))
    RECORD(SetDbrMeterProcess, "dbrMeter.Process", int, std::to_string(v))
    RECORD(SetLcdMeterValue, "lcdMeter.Value", const std::string&, v)
    RECORD(SetLblM0PTag, "lblM0P.Tag", intptr_t, std::to_string(v))
    RECORD(SetMsgOstrelText, "msgOstrel.ShowStrings", const std::string&, v)
#undef RECORD
#define RECORD_CALL(method, key) \
    void method() override { put(key, "1"); }
    RECORD_CALL(RepaintLblMusic, "lblMusic.Repaint")
    RECORD_CALL(RepaintLblClock, "lblClock.Repaint")
    RECORD_CALL(RepaintPnlOsillo1, "pnlOsillo1.Repaint")
    RECORD_CALL(RepaintPnlOsillo2, "pnlOsillo2.Repaint")
    RECORD_CALL(InvalidateDxdLeft, "dxdLeft.Invalidate")
    RECORD_CALL(InvalidateDxdRight, "dxdRight.Invalidate")
    RECORD_CALL(RepaintLblLeft, "lblLeft.Repaint")
    RECORD_CALL(RepaintLblRight, "lblRight.Repaint")
    RECORD_CALL(StartMsgOstrel, "msgOstrel.Start")
    RECORD_CALL(StopMsgOstrel, "msgOstrel.Stop")
#undef RECORD_CALL
    void SetLEDStatus(int Number, bool On) override { put("LED" + std::to_string(Number) + ".Status", flag(On)); }
    void SetLblM0FontColor(int Index, gfx::TColor Color) override
    {
        static const char* names[] = {"P", "R", "N", "1", "2", "3", "4", "5"};
        put(std::string("lblM0") + names[Index] + ".Font.Color", color(Color));
    }

private:
    static std::string flag(bool v) { return v ? "true" : "false"; }
    static std::string color(gfx::TColor c)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%06X", unsigned(c));
        return text;
    }
    void put(const std::string& key, const std::string& v)
    {
        log.push_back(key + "=" + v);
        last[key] = v;
    }
};

class RecordingVisual : public sound::TDxSoundVisual {
public:
    explicit RecordingVisual(std::vector<std::string>& log) : log_(log) {}
    void CreateVisualResources() override { log_.push_back("Create"); }
    void FreeVisualResources() override { log_.push_back("Free"); }
    void PaintLeft() override { log_.push_back("PaintLeft"); }
    void PaintRight() override { log_.push_back("PaintRight"); }
    void ResetFirstPaintFlags() override { log_.push_back("ResetFirstPaintFlags"); }
    void SetFreshStart(uint8_t Flag) override { log_.push_back("FreshStart=" + std::to_string(Flag)); }

private:
    std::vector<std::string>& log_;
};

struct EngineRig {
    snd::ManualClock clock;
    std::shared_ptr<snd::MemorySoundDevice> device = snd::MemorySoundDevice::create(clock);
    sound::TcbDSMixer mixer{[this](const std::string&) { return device; }};
    RecordingDisplay display;
    std::vector<std::string> visualLog;
    sound::TDxSound engine{display, mixer, clock};

    EngineRig()
    {
        engine.SetGraphWidth(64);
        engine.SetVisual(std::make_unique<RecordingVisual>(visualLog));
    }
    // Plays `ms` more milliseconds in steps of 100 ms, delivering posted events.
    void run(int64_t ms)
    {
        for (int64_t done = 0; done < ms; done += 100) {
            clock.advance(std::min<int64_t>(100, ms - done));
            QCoreApplication::processEvents();
        }
    }
    // Plays until the list has moved off `position` or play stopped, at most `limitMs`.
    void runUntilMoved(int32_t position, int64_t limitMs = 5000)
    {
        for (int64_t t = 0; t < limitMs && engine.ListPosition() == position && engine.IsPlaying(); t += 100)
            run(100);
    }
};

// An MP3 of Seconds whose tag names a photo and carries lyrics.
inline std::string taggedMp3(const TempDir& dir, const std::string& name, const std::string& photo,
                             const std::string& lyrics, double Seconds = 0.5)
{
    std::string path = makeMp3(dir, name, 44100, 2, Seconds, {"-b", "128"});
    ClearTag();
    CurrentTag.Title = "t";
    CurrentTag.PhotoName = photo;
    CurrentTag.Lyrics = lyrics;
    if (!WriteTag(path))
        return "";
    return path;
}

}  // namespace testsupport
