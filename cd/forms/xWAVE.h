// `TfrmWAV`, the voice recorder window (shown modally by the main window and the mixer
// window, freed by its opener): records the sound card's input in stereo, shows the input on
// an oscilloscope with a level bar while idle, stops a recording by itself after a chosen time
// of silence, plays the recording or any WAV file, and saves the recording as a WAV file or as
// a tagged MP3 file.
//
// Three users of the wave devices, never at once: the idle monitor (its own 8-bit mono input
// on device 0), the recorder (`Audio1`, 16-bit stereo on device 0) and the player (its own
// output on the wave mapper). The devices' threads only post to this window.
//
// While a recording or a playback runs, the controls that would start another are disabled;
// the save's encoding and the wait before playing a chosen file serve the event loop, so those
// refuse a second run, and the window refuses to close until they are done. A recording is
// ended with STOP before the window closes; a close stops the playback and the monitor.
//
// User-interface thread only.
#pragma once

#include "cd/Audio.h"
#include "cd/LameCoder.h"
#include "cd/waveio.h"
#include "controls/dialogs/CoolDlg.h"
#include "controls/flat/TFlatCheckBoxUnit.h"
#include "controls/flat/TFlatComboBoxUnit.h"
#include "controls/gradient/RbButton.h"
#include "controls/gradient/RbProgressBar.h"
#include "platform/forms/Form.h"
#include "platform/forms/Timer.h"
#include "platform/rtl/Streams.h"
#include "platform/wave/WaveDevice.h"
#include "util/xMessageBox.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QMenu;

// A picture box: shows its image, which its owner draws.
class TWaveBox : public QWidget {
public:
    TWaveBox(QWidget* parent, int w, int h);
    QImage Image;

protected:
    void paintEvent(QPaintEvent*) override;
};

// The level the monitor shows for one buffer: the sum of |sample - 128| over the buffer's
// 8-bit samples.
int64_t MonitorLevel(const uint8_t* Samples, size_t Count);
// The same loudness for 16-bit samples: their high bytes summed as the monitor sums, scaled to
// a buffer of the monitor's 1,024 samples.
int64_t RecordLevel(const uint8_t* Samples16, size_t Bytes);
// The bar's new height for a level: level / 128, capped at the column; when the bar was
// higher it falls halfway only.
int LevelBarHeight(int Old, int64_t Level);

// The minimum and maximum sample byte of each of the 600 columns of the play display; a
// column that gets no frame is marked Valid = false.
struct TPlayColumn {
    uint8_t Min = 128, Max = 128;
    bool Valid = false;
};
std::array<TPlayColumn, 600> PlayColumns(const uint8_t* Data, size_t Bytes, const snd::WaveFormat& Format);

// The wave devices of the recorder windows created from now on that are given none (null: the
// machine's own). Tests that open the window through its openers set theirs here.
void SetRecorderWaveSystem(std::shared_ptr<wave::WaveSystem> Waves);

class TfrmWAV : public forms::TForm {
public:
    static constexpr int MonitorBuffers = 8;
    static constexpr int MonitorBufferBytes = 1024;
    static constexpr int PlayBuffers = 8;
    static constexpr int BarColumnHeight = 256;

    // `Waves` null: those of SetRecorderWaveSystem.
    explicit TfrmWAV(QWidget* parent = nullptr, std::shared_ptr<wave::WaveSystem> Waves = nullptr);
    ~TfrmWAV() override;

    // The questions and the file dialogs; tests answer through here.
    TMsgBoxFn MsgBoxEx;
    std::function<bool(forms::TFileDialog& Dialog)> ExecuteDialog;
    // The folder of the work files "temp.wav" and "temp.mp3" (GetAppDir by default).
    std::string WorkDir;

    std::unique_ptr<cd::TAudio> Audio1;
    std::unique_ptr<cd::TLameCoder> LameCoder1;
    controls::TCoolSaveDialog SaveDialog1;  // MP3
    controls::TCoolSaveDialog SaveDialog2;  // WAV
    controls::TCoolOpenDialog OpenDialog1;  // WAV files to play
    forms::TTimer timRec;
    forms::TTimer timPlay;

    controls::TRbButton *spdRec, *spdStop, *spdPlay, *spdSave, *spdClose;
    controls::TFlatCheckBox *chkMP3, *chkWAV;
    controls::TFlatComboBox* cmbStop;
    controls::TRbProgressBar* Gauge;
    QLabel* lblStatus;
    TWaveBox* pbxWave;
    TWaveBox* pbxPlay;
    QFrame* pnlMax;
    QLabel* lblMax;
    QMenu* PopupMenu1;
    QAction* run_PlayWav;

    bool Recording() const { return recording_; }
    bool Playing() const { return playing_; }
    bool Unsaved() const { return unsaved_; }
    bool MonitorRunning() const { return monitor_.isOpen(); }
    int BarHeight() const { return barHeight_; }
    rtl::TMemoryStream* LeftStream() const { return left_.get(); }
    rtl::TMemoryStream* RightStream() const { return right_.get(); }
    std::string TempWav() const;
    std::string TempMp3() const;

    // Handlers.
    void spdRecClick();
    void spdStopClick();
    void spdPlayClick();
    void spdSaveClick();
    void spdCloseClick() { close(); }
    void chkMP3Click();
    void chkWAVClick();
    void run_PlayWavClick();
    void timRecTimer();
    void timPlayTimer();
    // Plays a dropped or chosen WAV file: a playback in progress stops first.
    void PlayDroppedFile(const std::string& FileName);

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    struct PlayBuffer {
        std::vector<uint8_t> data;
        wave::WaveHeader header;
    };

    void createControls();
    void FormCreate();
    void FormShow();
    void FormCloseQuery(bool& CanClose);
    void FormClose();
    int ask(const std::string& Text, int Default, const std::string& Buttons, const std::string& Icon);

    void StartMonitor();
    void StopMonitor();
    void MonitorData(int Index, const std::vector<uint8_t>& Bytes);
    void DrawGrid(QImage& Image, const char* Caption);
    void SetBar(int Height);

    void Audio1Record(const uint8_t* Left, const uint8_t* Right, uint32_t Bytes);
    void StopRecording();
    void GoIdle();
    void SetBusy(bool Busy);
    void SetStatus(const char* Text, uint32_t Color);

    void PlayWaveFile(const std::string& FileName);
    bool FillBuffer(int Index);
    void BufferPlayed(int Index);
    void PaintPlay(int NextIndex);
    void EndPlayback();
    void StopEverything();

    bool SaveRecording(const std::string& FileName, bool Mp3);

    std::shared_ptr<wave::WaveSystem> waves_;
    std::unique_ptr<rtl::TMemoryStream> left_, right_;
    int limit_ = 900;
    int barHeight_ = 0;
    bool recording_ = false;
    bool playing_ = false;
    bool unsaved_ = false;
    bool pumping_ = false;  // a handler that serves the event loop is running
    bool statusToggle_ = false;
    std::string wavPath_;

    // The idle monitor.
    std::array<std::vector<uint8_t>, MonitorBuffers> monitorData_;
    std::array<wave::WaveHeader, MonitorBuffers> monitorHeaders_;
    std::atomic<uint64_t> monitorGen_{0};
    wave::WaveIn monitor_;

    // The player.
    std::unique_ptr<waveio::TFileWaveStream> playStream_;
    std::unique_ptr<waveio::TPCMWaveReader> playReader_;
    std::array<PlayBuffer, PlayBuffers> playBuffers_;
    int emptyBuffers_ = 0;
    std::atomic<uint64_t> playGen_{0};
    wave::WaveOut player_;
};
