// Decode-and-stream speed of the playback channel: a 5-minute MP3 played through
// TcbDSMixerChannel on the memory device as fast as the manual clock can be advanced, against
// `ffmpeg -i f.mp3 -f null -` (decode only) on the same file in the same run. The channel adds
// the refill thread's hand-offs, copying into the ring buffer, resampling and mixing.
// Counter `ratio` = channel time / ffmpeg time; the goal is at most 1.5.
//
// The MP3 is made once with sox and lame under the temp folder (or $TAMBOURELLE_BENCH_MP3).
#include "platform/sound/MemorySoundDevice.h"
#include "sound/cbDSMixer.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>

#include <chrono>
#include <stdexcept>

using namespace benchsupport;

namespace {

std::string benchMp3()
{
    QString path = qEnvironmentVariable("TAMBOURELLE_BENCH_MP3",
                                        QDir::tempPath() + "/tambourelle-bench-5min.mp3");
    if (!QFile::exists(path))
        makeMp3(path, path + ".wav", 44100, 2, {"synth", "300", "sine", "100-5000", "pinknoise", "vol", "0.5"}, 192);
    return path.toStdString();
}

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double ffmpegSeconds(const std::string& mp3)
{
    auto t0 = std::chrono::steady_clock::now();
    if (!run("ffmpeg", {"-v", "error", "-i", QString::fromStdString(mp3), "-f", "null", "-"}))
        throw std::runtime_error("ffmpeg failed");
    return seconds(t0);
}

double channelSeconds(const std::string& mp3)
{
    snd::ManualClock clock;
    auto device = snd::MemorySoundDevice::create(clock);
    sound::TcbDSMixer mixer([&](const std::string&) { return device; });
    auto t0 = std::chrono::steady_clock::now();
    sound::TcbDSMixerChannel channel(&mixer, clock);
    channel.Open(mp3);
    channel.Play();
    while (channel.State() == sound::TcbDSMixerChannel::csPlaying) {
        clock.advance(10000);
        benchmark::DoNotOptimize(device->takeRecorded());
    }
    return seconds(t0);
}

void BM_StreamMp3ThroughChannel(benchmark::State& state)
{
    std::string mp3 = benchMp3();
    double ffmpeg = 0, channel = 0;
    for (auto _ : state) {
        double f = ffmpegSeconds(mp3);
        double c = channelSeconds(mp3);
        state.SetIterationTime(c);
        ffmpeg += f;
        channel += c;
    }
    state.counters["ffmpeg_s"] = ffmpeg / double(state.iterations());
    state.counters["channel_s"] = channel / double(state.iterations());
    state.counters["ratio"] = channel / ffmpeg;
}

}  // namespace

BENCHMARK(BM_StreamMp3ThroughChannel)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
