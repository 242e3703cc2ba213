// The mixer component on the in-memory mixer: the tree, reading and writing lines, the
// recording selection, change events on the user-interface thread, and the mixer that is
// missing or will not open.
#include "cd/AMixer.h"
#include "cd/MixerCard.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <thread>

namespace {

using namespace cdtest;
using mixer::levelFromRaw;
using mixer::MemoryMixerSystem;

struct Line {
    bool ok, stereo, muteDisabled, volDisabled, selected;
    int mute, right, left;
    bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Line& l)
{
    return os << "{ok " << l.ok << " stereo " << l.stereo << " muteDis " << l.muteDisabled << " volDis "
              << l.volDisabled << " sel " << l.selected << " mute " << l.mute << " R " << l.right << " L "
              << l.left << "}";
}

Line get(TAudioMixer& m, int d, int c)
{
    Line l{};
    l.ok = m.GetLineVolume(d, c, l.stereo, l.muteDisabled, l.volDisabled, l.selected, l.mute, l.right, l.left);
    return l;
}

std::vector<std::string> names(const TMixerDestination& d)
{
    std::vector<std::string> list;
    for (int c = 0; c < d.Connections.Count(); ++c)
        list.push_back(d.Connections.Items(c)->Data.name);
    return list;
}

TEST(AudioMixer, TheTreeAndEveryLinesVolumeMuteAndSelection)
{
    auto card = std::make_shared<MemoryMixerSystem>(2, soundCard());
    TAudioMixer m(card);
    EXPECT_EQ(m.MixerCount(), 2);
    EXPECT_EQ(m.MixerId(), 0);
    EXPECT_EQ(m.ProductName(), "Memory mixer 0");
    EXPECT_EQ(m.Manufacturer(), "0 = Unknown");
    EXPECT_EQ(m.ProductId(), 0);
    EXPECT_EQ(m.DriverVersion(), 0x0100);
    ASSERT_EQ(m.NumberOfLine(), 2);
    EXPECT_EQ(m.Destinations.Items(0)->Data.name, "Master");
    EXPECT_EQ(names(*m.Destinations.Items(0)), (std::vector<std::string>{"PCM", "Synth", "CD", "Subwoofer", "Mic"}));
    EXPECT_EQ(m.Destinations.Items(1)->Data.name, "Capture");
    EXPECT_EQ(names(*m.Destinations.Items(1)), (std::vector<std::string>{"Mic", "Line"}));
    EXPECT_EQ(m.Destinations.Items(1)->Controls.FindList()->type, mixer::ControlType::Mux);

    const int max = mixer::kMaxVolume;
    const Line none{false, false, true, true, false, -1, -1, -1};
    struct Case {
        int d, c;
        Line want;
    };
    const Case cases[] = {
        {0, -1, {true, true, false, false, false, 0, max, max}},           // Master, loud
        {0, 0, {true, true, false, false, false, 1, 0, 0}},                // PCM, muted and silent
        {0, 1, {true, false, false, false, false, -1, max, max}},          // Synth: mono, no mute
        {0, 2, {true, true, true, true, false, 0, max, 0}},                // CD: inactive
        {1, -1, {true, true, false, false, false, 0, max, max}},           // Capture: its switch is its mute
        {1, 0, {true, true, false, false, true, -1, max, max}},            // Mic selected, no mute
        {1, 1, {true, true, false, false, false, -1, 0, 0}},               // Line not selected
        {2, -1, none}, {0, 5, none}, {0, -2, none}, {-1, -1, none}, {1, 2, none},
    };
    for (const Case& c : cases)
        EXPECT_EQ(get(m, c.d, c.c), c.want) << c.d << "/" << c.c;

    m.SetMixerId(1);
    EXPECT_EQ(m.ProductName(), "Memory mixer 1");
    m.SetMixerId(2);
    EXPECT_EQ(m.MixerId(), -1);
    EXPECT_EQ(m.NumberOfLine(), 0);
    EXPECT_EQ(card->openCount(), 0);
}

TEST(AudioMixer, SetLineVolumeWritesWhatIsGivenAndSelectsByMuxOrMixer)
{
    for (const bool exclusive : {true, false}) {
        SCOPED_TRACE(exclusive ? "mux" : "mixer");
        auto card = std::make_shared<MemoryMixerSystem>(1, soundCard(exclusive));
        TAudioMixer m(card);
        // Unmute PCM and set its volume from the left alone: both channels follow.
        EXPECT_TRUE(m.SetLineVolume(0, 0, 0, -1, 32767));
        mixer::MemoryElement pcm = card->element(kPcm);
        EXPECT_TRUE(pcm.playbackOn);
        EXPECT_EQ(pcm.playback[0], 127);
        EXPECT_EQ(pcm.playback[1], 127);
        // The right alone keeps the left; a mute of -1 leaves the mute; values are clamped.
        EXPECT_TRUE(m.SetLineVolume(0, 0, -1, 70000, -1));
        pcm = card->element(kPcm);
        EXPECT_EQ(pcm.playback, (std::array<long, 2>{127, 255}));
        EXPECT_TRUE(pcm.playbackOn);
        EXPECT_TRUE(m.SetLineVolume(0, -1, 1, 0, mixer::kMaxVolume));
        EXPECT_EQ(card->element(kMaster).playback, (std::array<long, 2>{87, 0}));
        EXPECT_FALSE(card->element(kMaster).playbackOn);
        EXPECT_TRUE(m.SetLineVolume(0, 1, 0, -1, 0));  // mono Synth; it has no mute to write
        EXPECT_EQ(card->element(kSynth).playback[0], 0);

        // A line that no mux or mixer lists takes no selection.
        card->clearWrites();
        EXPECT_TRUE(m.SetLineVolume(0, 0, -1, -1, -1, 1));
        EXPECT_TRUE(card->writes().empty());
        // Select Line for recording.
        EXPECT_TRUE(m.SetLineVolume(1, 1, -1, -1, -1, 1));
        EXPECT_TRUE(card->element(kLine).captureOn);
        EXPECT_EQ(card->element(kMic).captureOn, !exclusive) << "a mux selects one line";
        // A mux cannot select none: deselecting leaves it; a mixer lets it go.
        EXPECT_TRUE(m.SetLineVolume(1, 1, -1, -1, -1, 0));
        EXPECT_EQ(card->element(kLine).captureOn, exclusive);
        for (const auto& w : card->writes())
            EXPECT_TRUE(w.what == "captureOn") << w.what;
        EXPECT_FALSE(m.SetLineVolume(1, 2, 0, 0, 0, 1));
        EXPECT_FALSE(m.SetLineVolume(3, -1, 0, 0, 0));
    }
}

TEST(AudioMixer, AnEnumeratedCaptureSourceSelectsTheRecordingLine)
{
    // Mic has a capture switch, which the selector outranks; "Front Mic" and "Line" have no
    // element; a playback enumeration is no line.
    std::vector<mixer::MemoryElement> e = soundCard(false);
    e.erase(e.begin() + kLine);
    e.push_back({.name = "Channel Mode", .enumItems = {"2ch", "6ch"}});
    e.push_back({.name = "Input Source", .enumItems = {"Front Mic", "Mic", "Line"}, .enumCapture = true,
                 .enumItem = 1});
    e.push_back({.name = "Digital Input", .enumItems = {"Mic"}, .enumCapture = true});
    const int source = static_cast<int>(e.size()) - 2;
    auto card = std::make_shared<MemoryMixerSystem>(1, e);
    TAudioMixer m(card);
    std::vector<uint32_t> notices;
    m.OnControlChange = [&](TAudioMixer*, int, uint32_t id) { notices.push_back(id); };
    ASSERT_EQ(m.NumberOfLine(), 2);
    EXPECT_EQ(names(*m.Destinations.Items(0)), (std::vector<std::string>{"PCM", "Synth", "CD", "Subwoofer", "Mic"}));
    const TMixerDestination& capture = *m.Destinations.Items(1);
    EXPECT_EQ(names(capture), (std::vector<std::string>{"Mic", "Front Mic", "Line"}));
    const TMixerControl* list = capture.Controls.FindList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->type, mixer::ControlType::Mux);
    const int max = mixer::kMaxVolume;
    EXPECT_EQ(get(m, 1, 0), (Line{true, true, false, false, true, 0, max, max}));   // its switch a mute
    EXPECT_EQ(get(m, 1, 1), (Line{true, false, true, true, false, -1, -1, -1}));     // nothing to adjust

    card->clearWrites();
    EXPECT_TRUE(m.SetLineVolume(1, 2, -1, -1, -1, 1));
    EXPECT_EQ(card->writes(), (std::vector<MemoryMixerSystem::Write>{{source, "enumItem", -1, 2}}));
    EXPECT_FALSE(get(m, 1, 0).selected);
    EXPECT_TRUE(get(m, 1, 2).selected);
    EXPECT_TRUE(m.SetLineVolume(1, 0, 1, -1, -1));
    EXPECT_FALSE(card->element(kMic).captureOn);

    // Another program choosing the source is a change of the mux.
    mixer::MemoryElement chooser = card->element(source);
    chooser.enumItem = 0;
    card->change(source, chooser);
    ASSERT_TRUE(testsupport::waitFor([&] { return !notices.empty(); }, 5000));
    EXPECT_EQ(notices, (std::vector<uint32_t>{list->id}));
    EXPECT_TRUE(get(m, 1, 1).selected);
}

TEST(AudioMixer, ChangesArriveAsEventsOnTheUserInterfaceThread)
{
    auto card = std::make_shared<MemoryMixerSystem>(1, soundCard());
    auto m = std::make_unique<TAudioMixer>(card);
    struct Event {
        bool line;
        uint32_t id;
        bool uiThread;
    };
    std::vector<Event> events;
    auto record = [&](bool line) {
        return [&events, line](TAudioMixer*, int mixerId, uint32_t id) {
            EXPECT_EQ(mixerId, 0);
            events.push_back({line, id, QThread::currentThread() == QCoreApplication::instance()->thread()});
        };
    };
    m->OnControlChange = record(false);
    m->OnLineChange = record(true);

    mixer::MemoryElement master = card->element(kMaster);
    master.playback = {10, 10};
    std::thread([&] { card->change(kMaster, master); }).join();
    ASSERT_TRUE(testsupport::waitFor([&] { return events.size() >= 2; }, 5000));
    const TMixerControls& controls = m->Destinations.Items(0)->Controls;
    EXPECT_EQ(events[0].id, controls.Find(mixer::ControlType::Volume)->id);
    EXPECT_EQ(events[1].id, controls.Find(mixer::ControlType::Mute)->id);
    for (const Event& e : events) {
        EXPECT_FALSE(e.line);
        EXPECT_TRUE(e.uiThread);
    }
    EXPECT_EQ(get(*m, 0, -1).left, levelFromRaw(10, 0, 87));

    // A line that goes inactive is a line change; a selection change reaches the mux too.
    events.clear();
    mixer::MemoryElement line = card->element(kLine);
    line.active = false;
    card->change(kLine, line);
    line.captureOn = true;
    card->change(kLine, line);
    ASSERT_TRUE(testsupport::waitFor([&] { return events.size() >= 3; }, 5000));
    EXPECT_TRUE(events[0].line);
    EXPECT_EQ(events[0].id, m->Destinations.Items(1)->Connections.Items(1)->Data.id);
    EXPECT_EQ(events.back().id, m->Destinations.Items(1)->Controls.FindList()->id);
    EXPECT_TRUE(get(*m, 1, 1).volDisabled);

    // Notices still on their way when the mixer goes are dropped.
    events.clear();
    card->change(kMaster, master);
    m.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(events.empty());
}

TEST(AudioMixer, WithoutADeviceOrAnOpenThatFailsTheTreeIsEmpty)
{
    TAudioMixer none(std::make_shared<MemoryMixerSystem>(0, soundCard()));
    EXPECT_EQ(none.MixerId(), -1);
    EXPECT_EQ(none.NumberOfLine(), 0);
    EXPECT_EQ(get(none, 0, -1), (Line{false, false, true, true, false, -1, -1, -1}));
    EXPECT_FALSE(none.SetLineVolume(0, -1, 0, 0, 0));

    // Two opens with notices fail; the third, without, succeeds.
    auto card = std::make_shared<MemoryMixerSystem>(1, soundCard());
    card->failOpens(2);
    TAudioMixer late(card);
    EXPECT_EQ(card->openRequests(), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(late.MixerId(), 0);
    EXPECT_EQ(late.NumberOfLine(), 2);

    card->failOpens(3);
    late.SetMixerId(0);
    EXPECT_EQ(late.MixerId(), -1);
    EXPECT_EQ(late.NumberOfLine(), 0);
    EXPECT_FALSE(get(late, 0, -1).ok);
    EXPECT_EQ(card->openCount(), 0);
}

}  // namespace
