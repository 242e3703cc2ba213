// The wave layer's devices: the buffer contract on the generated input and recording output,
// and real ALSA capture through a file-plugin PCM that the test defines.
#include "platform/sound/Clock.h"
#include "platform/wave/AlsaWave.h"
#include "platform/wave/TestWave.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace {

using namespace wave;

struct Collected {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::vector<uint8_t>> buffers;
    void add(WaveHeader* h)
    {
        std::lock_guard lk(m);
        buffers.emplace_back(h->data, h->data + h->bytesRecorded);
        cv.notify_all();
    }
    bool waitFor(size_t n)
    {
        std::unique_lock lk(m);
        return cv.wait_for(lk, std::chrono::seconds(10), [&] { return buffers.size() >= n; });
    }
};

struct Buffers {
    std::vector<std::vector<uint8_t>> data;
    std::vector<WaveHeader> headers;
    Buffers(int n, size_t bytes) : data(size_t(n), std::vector<uint8_t>(bytes)), headers(size_t(n))
    {
        for (size_t i = 0; i < headers.size(); ++i) {
            headers[i].data = data[i].data();
            headers[i].bufferLength = uint32_t(bytes);
        }
    }
};

TEST(WaveIn, FillsQueuedBuffersInOrderAndCountsWhatFindsNone)
{
    snd::ManualClock clock;
    InputScript script{{{Segment::Noise, 10, 0, 0.5}}, {}};
    auto sys = std::make_shared<GeneratedWaveSystem>(clock, script);
    const auto format = snd::WaveFormat::pcm(8000, 1, 16);
    Collected got;
    WaveIn in(sys);
    EXPECT_EQ(in.open(3, format, [&](WaveHeader* h) { got.add(h); }), result::kBadDeviceId);
    EXPECT_EQ(in.open(0, snd::WaveFormat::pcm(8000, 3, 16), nullptr), result::kBadFormat);
    ASSERT_EQ(in.open(kWaveMapper, format, [&](WaveHeader* h) { got.add(h); }), result::kOk);

    Buffers b(2, 800);  // 400 frames: 50 ms each
    for (auto& h : b.headers) {
        EXPECT_EQ(in.addBuffer(&h), result::kUnprepared);
        ASSERT_EQ(in.prepareHeader(&h), result::kOk);
        ASSERT_EQ(in.addBuffer(&h), result::kOk);
    }
    ASSERT_EQ(in.start(), result::kOk);
    clock.advance(150);  // 1200 frames: two buffers' worth and 400 with nowhere to go
    ASSERT_TRUE(got.waitFor(2));
    EXPECT_EQ(in.droppedFrames(), 400u);
    std::vector<uint8_t> all = got.buffers[0];
    all.insert(all.end(), got.buffers[1].begin(), got.buffers[1].end());
    EXPECT_EQ(all, GeneratedWaveSystem::render(script, format, 0, 800));

    ASSERT_EQ(in.addBuffer(&b.headers[0]), result::kOk);
    clock.advance(20);
    EXPECT_EQ(in.close(), result::kStillPlaying);
    EXPECT_EQ(in.unprepareHeader(&b.headers[0]), result::kStillPlaying);
    ASSERT_EQ(in.reset(), result::kOk);  // hands back the partly filled buffer
    ASSERT_TRUE(got.waitFor(3));
    EXPECT_EQ(got.buffers[2].size(), 320u);
    EXPECT_EQ(in.close(), result::kOk);
}

TEST(WaveOut, PlaysBuffersInOrderAndReportsEach)
{
    snd::ManualClock clock;
    auto sys = std::make_shared<GeneratedWaveSystem>(clock, InputScript{});
    Collected done;
    WaveOut out(sys);
    ASSERT_EQ(out.open(0, snd::WaveFormat::pcm(22050, 2, 8), [&](WaveHeader* h) { done.add(h); }), result::kOk);
    Buffers b(3, 6);
    for (size_t i = 0; i < b.data.size(); ++i) {
        std::fill(b.data[i].begin(), b.data[i].end(), uint8_t(i + 1));
        ASSERT_EQ(out.prepareHeader(&b.headers[i]), result::kOk);
        ASSERT_EQ(out.write(&b.headers[i]), result::kOk);
    }
    ASSERT_TRUE(done.waitFor(3));
    EXPECT_EQ(sys->played(), (std::vector<uint8_t>{1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3}));
    EXPECT_EQ(out.close(), result::kOk);
    EXPECT_EQ(out.close(), result::kInvalidHandle);
}

// ALSA's file plugin over a null PCM plays the part of a sound card: what it captures is the
// raw file the test wrote.
TEST(AlsaWaveIn, RecordsWhatTheCaptureDeviceDelivers)
{
    testsupport::TempDir dir;
    const auto format = snd::WaveFormat::pcm(8000, 2, 16);
    std::string raw;
    for (int i = 0; i < 4000 * 2; ++i) {
        auto v = uint16_t(int16_t(i * 7 - 20000));
        raw.push_back(char(v & 0xFF));
        raw.push_back(char(v >> 8));
    }
    testsupport::writeFile(dir.file("in.raw"), raw);
    const std::string config = "pcm.null { type null }\n"
                               "pcm.tap { type file slave.pcm null file \"/dev/null\" infile \"" +
                               dir.file("in.raw") + "\" format raw }\n";
    auto sys = std::make_shared<AlsaWaveSystem>(std::vector<std::string>{"tap"}, std::vector<std::string>{}, config);
    Collected got;
    WaveIn in(sys);
    if (in.open(0, format, [&](WaveHeader* h) { got.add(h); }) != result::kOk)
        GTEST_SKIP() << "ALSA's file or null plugin is not available";
    Buffers b(2, 4000);  // 1000 frames each
    for (auto& h : b.headers) {
        ASSERT_EQ(in.prepareHeader(&h), result::kOk);
        ASSERT_EQ(in.addBuffer(&h), result::kOk);
    }
    ASSERT_EQ(in.start(), result::kOk);
    ASSERT_TRUE(got.waitFor(2));
    ASSERT_EQ(in.reset(), result::kOk);
    ASSERT_EQ(in.close(), result::kOk);
    std::string captured(got.buffers[0].begin(), got.buffers[0].end());
    captured.append(got.buffers[1].begin(), got.buffers[1].end());
    EXPECT_TRUE(captured == raw.substr(0, 8000)) << "captured data differs from the plugin's input file";
}

}  // namespace
