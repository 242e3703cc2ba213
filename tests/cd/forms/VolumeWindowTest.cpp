// The volume control over the in-memory mixer: the bars follow the mixer without writing to
// it, a move unmutes its line and sets both channels, bars without a line are disabled, and
// the recorder button opens the voice recorder.
#include "cd/CdTestSupport.h"
#include "cd/MixerCard.h"
#include "cd/forms/xVolume.h"
#include "cd/forms/xWAVE.h"
#include "platform/sound/Clock.h"
#include "platform/wave/TestWave.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QSlider>
#include <QTimer>

namespace {

using namespace cdtest;
using mixer::MemoryMixerSystem;

std::string text(const QLabel* l) { return l->text().toStdString(); }

struct VolumeWindow {
    explicit VolumeWindow(std::vector<mixer::MemoryElement> elements = soundCard(), int devices = 1)
        : card(std::make_shared<MemoryMixerSystem>(devices, std::move(elements))), w(nullptr, card)
    {
    }
    void show()
    {
        w.show();
        QApplication::setActiveWindow(&w);
        QCoreApplication::processEvents();
    }
    std::shared_ptr<MemoryMixerSystem> card;
    TfrmVolume w;
};

TEST(VolumeWindow, BarsShowTheMixerAndMovesWriteBothChannelsUnmuted)
{
    VolumeWindow v;
    TfrmVolume& w = v.w;
    EXPECT_EQ(w.Caption(), "ボリューム コントロール");
    EXPECT_EQ(frmVolume, &w);
    EXPECT_EQ(text(w.lblVol[1]), "");
    v.show();
    // Master at its maximum (65535) and PCM at 0.
    EXPECT_EQ(w.trkVolume[0]->value(), 255);
    EXPECT_EQ(text(w.lblVol[0]), "Level = 255");
    EXPECT_EQ(w.trkVolume[1]->value(), 0);
    EXPECT_EQ(text(w.lblVol[1]), "Level = 0");
    EXPECT_TRUE(w.trkVolume[0]->hasFocus());
    EXPECT_TRUE(v.card->writes().empty()) << "showing writes nothing";
    EXPECT_TRUE(w.grab().save(screenshotDir() + "/volume-control.png"));

    // PCM is muted: a move unmutes it and sets both channels; position 0 is silence.
    w.trkVolume[1]->setValue(128);
    mixer::MemoryElement pcm = v.card->element(kPcm);
    EXPECT_TRUE(pcm.playbackOn);
    const long raw = mixer::rawFromLevel(128 * 256 - 1, 0, 255);
    EXPECT_EQ(pcm.playback, (std::array<long, 2>{raw, raw}));
    EXPECT_EQ(text(w.lblVol[1]), "Level = 128");
    w.trkVolume[0]->setValue(0);
    EXPECT_EQ(v.card->element(kMaster).playback, (std::array<long, 2>{0, 0}));
    EXPECT_EQ(text(w.lblVol[0]), "Level = 0");

    // Another program turns Master up: the bar follows, nothing is written back, and the
    // focus stays on the bar the user is working with.
    w.trkVolume[3]->setFocus();
    v.card->clearWrites();
    mixer::MemoryElement master = v.card->element(kMaster);
    master.playback = {44, 44};
    v.card->change(kMaster, master);
    const int expected = (mixer::levelFromRaw(44, 0, 87) + 1) / 256;
    ASSERT_TRUE(testsupport::waitFor([&] { return w.trkVolume[0]->value() == expected; }, 5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(text(w.lblVol[0]), "Level = " + std::to_string(expected));
    EXPECT_TRUE(v.card->writes().empty());
    EXPECT_TRUE(w.trkVolume[3]->hasFocus());

    // The recorder button opens the voice recorder modally and frees it afterwards.
    snd::ManualClock clock;
    SetRecorderWaveSystem(std::make_shared<wave::GeneratedWaveSystem>(clock, wave::InputScript{}));
    QPointer<TfrmWAV> recorder;
    bool opened = false;
    QTimer::singleShot(0, [&] {
        recorder = dynamic_cast<TfrmWAV*>(QApplication::activeModalWidget());
        opened = recorder != nullptr;
        if (recorder)
            recorder->close();
    });
    w.spdWave->Click();
    SetRecorderWaveSystem(nullptr);
    EXPECT_EQ(w.spdWave->Hint(), "ボイスレコーダー");
    EXPECT_TRUE(opened);
    EXPECT_TRUE(recorder.isNull()) << "freed after showing";
    EXPECT_TRUE(w.isVisible());

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&w, &escape);
    EXPECT_FALSE(w.isVisible());
}

TEST(VolumeWindow, BarsAreEnabledByTheMixersNames)
{
    auto enabled = [](const TfrmVolume& w) {
        std::string s;
        for (QSlider* bar : w.trkVolume)
            s += bar->isEnabled() ? '1' : '0';
        return s;
    };
    VolumeWindow full;
    EXPECT_EQ(full.w.LineNames, (std::vector<std::string>{"Master", "PCM", "Synth", "CD", "Subwoofer", "Mic"}));
    EXPECT_EQ(full.w.DestinationNames, (std::vector<std::string>{"Master", "Capture"}));
    EXPECT_EQ(enabled(full.w), "111111");

    std::vector<mixer::MemoryElement> two = soundCard();
    two.erase(two.begin() + kMic);
    two.erase(two.begin() + kSynth, two.begin() + kCapture);  // Master, PCM; Capture, Line
    VolumeWindow small(two);
    EXPECT_EQ(small.w.LineNames.size(), 2u);
    EXPECT_EQ(enabled(small.w), "110000") << "the microphone bar needs three names";

    VolumeWindow playbackOnly({soundCard()[kMaster]});
    EXPECT_EQ(enabled(playbackOnly.w), "100000");
    VolumeWindow none({}, 0);
    EXPECT_EQ(none.w.Mixer->MixerId(), -1);
    EXPECT_EQ(enabled(none.w), "000000");
    none.show();
    EXPECT_EQ(none.w.trkVolume[0]->value(), 0);
}

// Without a mixer no bar has a line: each row must read as out of use, not as a bar that
// merely refuses to move.
TEST(VolumeWindow, RowsWithoutALineLookOutOfUse)
{
    VolumeWindow none({}, 0);
    VolumeWindow full;
    none.show();
    full.show();
    full.w.trkVolume[1]->setValue(0);
    QCoreApplication::processEvents();
    for (int t = 0; t < TfrmVolume::Bars; ++t) {
        SCOPED_TRACE(t);
        EXPECT_FALSE(none.w.trkVolume[t]->isEnabled());
        EXPECT_FALSE(none.w.lblCaption[t]->isEnabled());
        EXPECT_EQ(text(none.w.lblVol[t]), "");
        EXPECT_TRUE(full.w.lblCaption[t]->isEnabled());
    }
    // The same bar at the same position, with and without its line.
    EXPECT_EQ(none.w.trkVolume[1]->value(), full.w.trkVolume[1]->value());
    const QImage without = none.w.trkVolume[1]->grab().toImage();
    const QImage with = full.w.trkVolume[1]->grab().toImage();
    EXPECT_NE(without, with) << "a bar without its line is drawn as one with it";
    EXPECT_TRUE(none.w.grab().save(screenshotDir() + "/volume-control-no-mixer.png"));
}

}  // namespace
