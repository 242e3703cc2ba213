// The voice recorder window on the generated wave input and the recording output: the
// monitor, the auto-stop, playback, dropped files, saving (checked with sox, ffprobe and
// TagLib) and closing. The work files go to a scratch folder; the window's timers are driven
// by calls, the devices by the manual clock.
#include "cd/CdTestSupport.h"
#include "cd/forms/xWAVE.h"
#include "platform/wave/TestWave.h"
#include "shared/SettingsFixture.h"
#include "support/WaitFor.h"
#include "tags/libID3Tag.h"
#include "util/Cp932.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDate>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <deque>

using namespace testsupport;
using wave::GeneratedWaveSystem;
using wave::InputScript;
using wave::Segment;

namespace {

struct Question {
    std::string text;
    int defaultButton;
    std::string buttons;
};

const snd::WaveFormat kRecordFormat = snd::WaveFormat::pcm(44100, 2, 16);

struct Rig {
    explicit Rig(InputScript s, int inputs = 1)
        : script(std::move(s)), sys(std::make_shared<GeneratedWaveSystem>(clock, script, inputs))
    {
        InitGenreList();
        w = std::make_unique<TfrmWAV>(nullptr, sys);
        w->WorkDir = dir.path();
        w->timRec.SetOnTimer(nullptr);  // the test ticks them
        w->timPlay.SetOnTimer(nullptr);
        w->MsgBoxEx = [this](QWidget*, const std::string&, const std::string& t, int d, const std::string& b,
                             const std::string&) {
            asked.push_back({t, d, b});
            const int a = answers.empty() ? 7 : answers.front();
            if (!answers.empty())
                answers.pop_front();
            return a;
        };
        w->ExecuteDialog = [this](forms::TFileDialog& d) {
            if (picks.empty())
                return false;
            d.FileName = picks.front();
            picks.pop_front();
            return true;
        };
        w->show();
        QCoreApplication::processEvents();
    }
    void run(int ms, const std::function<void(int)>& each = {})
    {
        for (int t = 10; t <= ms; t += 10) {
            clock.advance(10);
            QCoreApplication::processEvents();
            if (each)
                each(t);
        }
    }
    // Serves the output device's reports until the playback has ended.
    void playToEnd() { ASSERT_TRUE(waitFor([&] { return !w->Playing(); })); }
    std::string interleaved() const
    {
        std::string out;
        const auto& l = w->LeftStream()->Bytes();
        const auto& r = w->RightStream()->Bytes();
        for (size_t i = 0; i + 1 < l.size() && i + 1 < r.size(); i += 2)
            out += std::string{char(l[i]), char(l[i + 1]), char(r[i]), char(r[i + 1])};
        return out;
    }
    // Records with the auto-stop item Index for at most Ms, ticking timRec every 100 ms.
    void record(int index, int ms)
    {
        w->cmbStop->SetItemIndex(index);
        w->spdRecClick();
        ASSERT_TRUE(w->Recording());
        run(ms, [&](int t) {
            if (t % 100 == 0 && w->Recording() && w->timRec.Enabled()) {
                quiet = w->BarHeight() < 10 ? quiet + 1 : 0;
                w->timRecTimer();
                if (!w->Recording())
                    stoppedAfterQuietTicks = quiet;
            }
        });
    }

    SettingsFixture settings;
    TempDir dir;
    snd::ManualClock clock;
    InputScript script;
    std::shared_ptr<GeneratedWaveSystem> sys;
    std::unique_ptr<TfrmWAV> w;
    std::vector<Question> asked;
    std::deque<int> answers;
    std::deque<std::string> picks;
    int quiet = 0;
    int stoppedAfterQuietTicks = -1;
};

InputScript toneThenSilence(double seconds)
{
    return {{{Segment::Tone, seconds, 440, 0.5}, {Segment::Silence, 30}},
            {{Segment::Tone, seconds, 660, 0.3}, {Segment::Silence, 30}}};
}

int countColour(const QImage& img, QRgb c, QRect r)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += (img.pixel(x, y) & 0xFFFFFF) == (c & 0xFFFFFF);
    return n;
}

std::string rawOf(const std::string& path)
{
    const CommandResult r = runCommand("sox", {path, "-t", "raw", "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

void drop(QWidget& w, const std::string& path)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent e(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

}  // namespace

TEST(VoiceRecorder, TheMonitorDrawsTheInputAndItsLevelAndReportsADeviceThatFails)
{
    Rig rig({{{Segment::Tone, 60, 400, 0.1}}, {}});
    ASSERT_TRUE(rig.w->MonitorRunning());
    rig.run(400);
    const QImage img = rig.w->pbxWave->Image;
    EXPECT_GT(countColour(img, qRgb(0, 255, 0), img.rect()), 600) << "the green trace";
    EXPECT_GT(countColour(img, qRgb(255, 0, 0), QRect(0, 128, 600, 1)), 300) << "the red centre line";
    EXPECT_GT(countColour(img, qRgb(128, 0, 0), QRect(100, 0, 1, 256)), 150) << "a dark red grid line";
    EXPECT_GT(countColour(img, qRgb(0, 0, 255), QRect(10, 10, 90, 20)), 10) << "the blue caption";
    // 400 Hz makes whole periods in each 1,024-byte buffer: every buffer is as loud.
    const auto buffer = GeneratedWaveSystem::render(rig.script, snd::WaveFormat::pcm(12800, 1, 8), 0, 1024);
    const int expected = LevelBarHeight(0, MonitorLevel(buffer.data(), buffer.size()));
    EXPECT_GT(expected, 10);
    EXPECT_EQ(rig.w->BarHeight(), expected);
    EXPECT_EQ(rig.w->lblMax->geometry(), QRect(0, 256 - expected, 15, expected));
    EXPECT_TRUE(rig.w->grab().save(cdtest::screenshotDir() + "/voice-recorder-monitor.png"));

    Rig none({}, 0);
    EXPECT_FALSE(none.w->MonitorRunning());
    ASSERT_EQ(none.asked.size(), 1u);
    const QStringList parts = QString::fromStdString(none.asked[0].text).split('\r');
    ASSERT_EQ(parts.size(), 4);
    const char* names[] = {"WaveInOpen :", "WaveInPrepareHeader :", "WaveInAddBuffer :", "StartError :"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(parts[i].startsWith(names[i])) << parts[i].toStdString();
    }
    EXPECT_NE(parts[0], "WaveInOpen :0");
}

TEST(VoiceRecorder, AutoStopHearsTheRecordingAndTheRecordingIsTheInput)
{
    {
        SCOPED_TRACE("0.5 s");
        Rig rig(toneThenSilence(0.4));
        rig.record(1, 3000);
        EXPECT_FALSE(rig.w->Recording());
        EXPECT_EQ(rig.stoppedAfterQuietTicks, 5);
        EXPECT_TRUE(rig.w->MonitorRunning());
        EXPECT_EQ(rig.w->lblStatus->text(), "[ Idle ]");
        // The bar followed the recorded data: loud during the tone, down in the silence.
        const auto& left = rig.w->LeftStream()->Bytes();
        ASSERT_GE(left.size(), 4000u);
        EXPECT_GE(LevelBarHeight(0, RecordLevel(left.data(), 4000)), 10);
        EXPECT_LT(RecordLevel(left.data() + left.size() - 4000, 4000), 10 * 128);
        const auto signal = GeneratedWaveSystem::render(rig.script, kRecordFormat, 0, int64_t(left.size() / 2));
        EXPECT_TRUE(rig.interleaved() == std::string(signal.begin(), signal.end()));
        EXPECT_TRUE(rig.w->Unsaved());
        EXPECT_TRUE(rig.w->spdPlay->isEnabled());
    }
    {
        SCOPED_TRACE("non");
        Rig rig(toneThenSilence(0.4));
        rig.record(0, 3000);
        EXPECT_TRUE(rig.w->Recording());
        EXPECT_EQ(rig.w->Gauge->Position(), rig.w->Gauge->Max());
        for (QWidget* c : std::initializer_list<QWidget*>{rig.w->spdRec, rig.w->spdPlay, rig.w->spdSave, rig.w->chkMP3,
                                                         rig.w->chkWAV, rig.w->cmbStop, rig.w->spdClose}) {
            EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
        }
        EXPECT_TRUE(rig.w->spdStop->isEnabled());
        EXPECT_FALSE(rig.w->close());
        EXPECT_TRUE(rig.asked.empty());
        rig.w->spdStopClick();
        EXPECT_FALSE(rig.w->Recording());
    }
}

TEST(VoiceRecorder, PlaybackGivesTheRecordingAndDroppedWavFilesPlay)
{
    Rig rig(toneThenSilence(0.5));
    rig.record(0, 700);
    rig.w->spdStopClick();
    const std::string recorded = rig.interleaved();
    ASSERT_FALSE(recorded.empty());

    rig.w->spdPlayClick();
    ASSERT_TRUE(rig.w->Playing());
    EXPECT_TRUE(rig.w->pbxPlay->isVisible());
    EXPECT_FALSE(rig.w->spdPlay->isEnabled());
    EXPECT_TRUE(rig.w->grab().save(cdtest::screenshotDir() + "/voice-recorder-playback.png"));
    rig.playToEnd();
    EXPECT_FALSE(rig.w->Playing());
    const auto played = rig.sys->played();
    // 100 ms buffers: all of the data's, then no more than the seven silent ones written
    // before the eighth empty fill ended the play (the device may drop those still queued).
    const size_t buffer = 4410 * 4, dataBytes = (recorded.size() + buffer - 1) / buffer * buffer;
    ASSERT_GE(played.size(), dataBytes);
    EXPECT_LE(played.size(), dataBytes + 7 * buffer);
    EXPECT_EQ(played.size() % buffer, 0u);
    EXPECT_TRUE(std::string(played.begin(), played.begin() + ptrdiff_t(recorded.size())) == recorded);
    EXPECT_TRUE(std::all_of(played.begin() + ptrdiff_t(recorded.size()), played.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(rig.w->MonitorRunning());

    // A dropped 8-bit WAV plays as it is; the same sound as MP3 data inside a WAV does not.
    const std::string wav = rig.dir.file("drop.wav"), mp3wav = rig.dir.file("mp3in.wav");
    ASSERT_EQ(runCommand("sox", {"-n", "-r", "8000", "-c", "1", "-b", "8", wav, "synth", "0.25", "sine", "300"}).exitCode, 0);
    ASSERT_EQ(runCommand("ffmpeg", {"-v", "error", "-y", "-i", wav, "-c:a", "libmp3lame", "-f", "wav", mp3wav}).exitCode, 0);
    drop(*rig.w, mp3wav);
    EXPECT_FALSE(rig.w->Playing());
    drop(*rig.w, rig.dir.file("notes.txt"));
    EXPECT_FALSE(rig.w->Playing());
    // Dropped while the recording plays: that stops, and during the wait before the file
    // plays a close and a second drop are refused.
    rig.w->spdPlayClick();
    ASSERT_TRUE(rig.w->Playing());
    bool closed = true, secondPlayed = true;
    QTimer::singleShot(50, [&] {
        closed = rig.w->close();
        rig.w->PlayDroppedFile(recorded.empty() ? "" : rig.w->TempWav());
        secondPlayed = rig.w->Playing();
    });
    drop(*rig.w, wav);
    EXPECT_FALSE(closed);
    EXPECT_FALSE(secondPlayed);
    EXPECT_TRUE(rig.w->Playing());
    rig.playToEnd();
    // The file's 800-frame buffers end what was played, then at most seven silent ones.
    const auto bytes = rig.sys->played();
    const std::string all(bytes.begin(), bytes.end());
    const std::string source = rawOf(wav);
    ASSERT_EQ(source.size(), 2000u);
    const size_t at = all.rfind(source);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(all.find_first_not_of(char(128), at + source.size()), std::string::npos);
    EXPECT_EQ((all.size() - at) % 800, 0u);
    EXPECT_LE(all.size() - at, 10u * 800);
}

TEST(VoiceRecorder, PlayColumnsWithoutFramesDrawNothing)
{
    const snd::WaveFormat mono8 = snd::WaveFormat::pcm(5000, 1, 8);
    std::vector<uint8_t> data(500);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i);
    const auto cols = PlayColumns(data.data(), data.size(), mono8);
    EXPECT_EQ(std::count_if(cols.begin(), cols.end(), [](const TPlayColumn& c) { return c.Valid; }), 500);
    const auto stereo16 = PlayColumns(nullptr, 0, kRecordFormat);
    EXPECT_TRUE(std::none_of(stereo16.begin(), stereo16.end(), [](const TPlayColumn& c) { return c.Valid; }));
    // 16-bit: the high byte with 128 added, over both channels of a frame.
    const uint8_t frame[] = {0x00, 0x80, 0xFF, 0x7F};  // -32768 left, 32767 right
    const auto one = PlayColumns(frame, 4, kRecordFormat);
    const TPlayColumn& c = *std::find_if(one.begin(), one.end(), [](const TPlayColumn& c) { return c.Valid; });
    EXPECT_EQ(c.Min, 0);
    EXPECT_EQ(c.Max, 255);
}

TEST(VoiceRecorder, SavesWavAndTaggedMp3AndAsksBeforeOverwritingOrLosingARecording)
{
    Rig rig(toneThenSilence(0.6));
    rig.record(0, 800);
    rig.w->spdStopClick();
    const std::string recorded = rig.interleaved();

    // WAV
    rig.w->chkWAV->SetChecked(true);
    EXPECT_FALSE(rig.w->chkMP3->Checked());
    const std::string wav = rig.dir.file("voice.wav");
    rig.picks = {rig.dir.file("voice")};
    rig.w->spdSaveClick();
    EXPECT_TRUE(rawOf(wav) == recorded);
    EXPECT_FALSE(rig.w->Unsaved());
    EXPECT_FALSE(rig.w->spdSave->isEnabled());

    // MP3, over an existing file: No keeps it, Yes replaces and tags it.
    rig.record(0, 800);
    rig.w->spdStopClick();
    rig.w->chkMP3->SetChecked(true);
    const std::string mp3 = rig.dir.file("声 メモ.mp3");
    writeFile(mp3, "keep me");
    rig.picks = {mp3};
    rig.answers = {7};
    rig.w->spdSaveClick();
    EXPECT_EQ(readFile(mp3), "keep me");
    ASSERT_EQ(rig.asked.size(), 1u);
    EXPECT_EQ(rig.asked[0].text, "同じ名前があります！！\r\r　　　　上書きしてもよろしいですか？");
    EXPECT_TRUE(rig.w->Unsaved());
    rig.picks = {rig.dir.file("声 メモ.wav")};  // the type chosen gives the extension
    rig.answers = {6};
    rig.w->spdSaveClick();
    EXPECT_FALSE(rig.w->Unsaved());
    const cdtest::Probe p = cdtest::probe(mp3);
    EXPECT_EQ(p.codec, "mp3");
    EXPECT_EQ(p.rate, 44100);
    EXPECT_EQ(p.channels, 2);
    EXPECT_EQ(p.bitRate, 128000);
    // The first frame header: CRC-protected (bit 0 of byte 1 clear) and original (bit 2 of byte 3).
    const std::string bytes = readFile(mp3);
    size_t at = 0;
    if (bytes.compare(0, 3, "ID3") == 0)
        at = 10 + ((size_t(bytes[6]) & 0x7F) << 21 | (size_t(bytes[7]) & 0x7F) << 14 | (size_t(bytes[8]) & 0x7F) << 7 |
                   (size_t(bytes[9]) & 0x7F));
    while (at + 4 < bytes.size() && !(uint8_t(bytes[at]) == 0xFF && (uint8_t(bytes[at + 1]) & 0xE0) == 0xE0))
        ++at;
    ASSERT_LT(at + 4, bytes.size());
    EXPECT_EQ(uint8_t(bytes[at + 1]) & 1, 0);
    EXPECT_EQ(uint8_t(bytes[at + 3]) & 4, 4);
    TagLib::FileRef f(mp3.c_str());
    ASSERT_FALSE(f.isNull());
    const TagLib::Tag* t = f.tag();
    // ID3v2 text of encoding 0 holds Shift-JIS, which TagLib takes for Latin-1.
    EXPECT_EQ(cp932::toUtf8(t->title().to8Bit(false)), "声 メモ");
    EXPECT_EQ(t->artist().to8Bit(true), "Varn Tambourelle");
    EXPECT_EQ(t->album().to8Bit(true), "Varn inc.");
    EXPECT_EQ(t->comment().to8Bit(true), "Varn Voice Recorder Ver 1.00");
    EXPECT_EQ(t->genre().to8Bit(true), "Other");
    EXPECT_EQ(t->track(), 1u);
    EXPECT_EQ(int(t->year()), QDate::currentDate().year());
    EXPECT_EQ(IniReadString(IniBase, "VOICE", "WAV_PATH", ""), rig.dir.path());

    // Closing right after the save does not ask.
    const size_t asked = rig.asked.size();
    rig.w->cmbStop->SetItemIndex(3);
    EXPECT_TRUE(rig.w->close());
    EXPECT_EQ(rig.asked.size(), asked);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(rig.w->TempWav())));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(rig.w->TempMp3())));
    EXPECT_FALSE(rig.w->MonitorRunning());
    EXPECT_EQ(IniReadString(IniBase, "VOICE", "WAV_MP3", ""), "255");
    EXPECT_EQ(IniReadInteger(IniBase, "VOICE", "WAV_STOP", -1), 3);
}

TEST(VoiceRecorder, AnUnsavedRecordingAsksBeforeClosingAndAClosedWindowStopsItsDevices)
{
    Rig rig(toneThenSilence(2));
    rig.record(0, 300);
    ASSERT_TRUE(rig.w->Unsaved());
    rig.w->spdStopClick();
    rig.w->spdPlayClick();
    ASSERT_TRUE(rig.w->Playing());
    rig.answers = {7};
    EXPECT_FALSE(rig.w->close());
    ASSERT_EQ(rig.asked.size(), 1u);
    EXPECT_EQ(rig.asked[0].text, "保存されていない音声があります。終了してもよろしいですか？");
    EXPECT_EQ(rig.asked[0].defaultButton, 2);
    EXPECT_EQ(rig.asked[0].buttons, "yn");
    EXPECT_TRUE(rig.w->Playing());
    rig.answers = {6};
    EXPECT_TRUE(rig.w->close());
    EXPECT_FALSE(rig.w->Playing());
    EXPECT_FALSE(rig.w->MonitorRunning());
    // Reports still queued from the devices reach nothing once the window is gone.
    rig.w.reset();
    rig.run(100);

    // A window freed while it records.
    Rig busy(toneThenSilence(2));
    busy.record(0, 200);
    busy.w.reset();
    busy.run(100);
}

TEST(VoiceRecorder, TheEnlargedSaveDialog)
{
    Rig rig(toneThenSilence(0.1));
    controls::TCoolOpenDialog::ForgetExtra();
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        shown = true;
        d->resize(d->size() + QSize(100, 60));
        QApplication::processEvents();
        EXPECT_TRUE(d->grab().save(cdtest::screenshotDir() + "/voice-recorder-save-dialog.png"));
        d->reject();
    });
    rig.w->SaveDialog1.InitialDir = rig.dir.path();
    EXPECT_FALSE(rig.w->SaveDialog1.Execute());
    EXPECT_TRUE(shown);
    EXPECT_EQ(controls::TCoolOpenDialog::RememberedExtra(), QSize(100, 60));
    controls::TCoolOpenDialog::ForgetExtra();
}

// Escape closes the recorder whichever of its controls has the focus, also when there is no
// sound card and the window opened with the device report.
TEST(VoiceRecorder, EscapeClosesTheWindowFromAnyControl)
{
    Rig none({}, 0);
    ASSERT_EQ(none.asked.size(), 1u);
    TfrmWAV& w = *none.w;
    std::vector<QWidget*> stops{&w};
    for (QWidget* c : w.findChildren<QWidget*>())
        if (c->focusPolicy() != Qt::NoFocus && c->isVisible() && c->isEnabled())
            stops.push_back(c);
    for (QWidget* target : stops) {
        SCOPED_TRACE(target->objectName().toStdString() + " " + target->metaObject()->className());
        if (!w.isVisible()) {
            w.show();
            QCoreApplication::processEvents();
        }
        target->setFocus();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QCoreApplication::processEvents();
        EXPECT_FALSE(w.isVisible());
    }
}
