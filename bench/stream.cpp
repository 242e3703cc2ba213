// Decode-and-stream speed of the playback channel: an MP3 played through TcbDSMixerChannel on
// the memory device as fast as the manual clock can be advanced, against FFmpeg's own decode
// of the same file in the same process (libavformat and the decoder libavcodec picks, every
// frame received and dropped: no conversion, no copy). The channel adds the conversion to
// 16-bit PCM, the refill thread's hand-offs, the copies into its ring buffer and the device's
// mixing.
//
// Goal: channel time at most 1.10 x the decode time (`ratio`, wall time, the process free to
// run on any core) on both files, 5 and 20 minutes long: median of 7 rounds, which take turns
// at running the decode or the channel first, with the smallest and largest round as the
// spread. Beside it: `cpu_ratio`, the same in CPU time of all threads; `pinned_ratio`, 5 more
// rounds with the process held to the one core it was on (what the refill thread's hand-offs
// cost when the other thread never waits for a core of its own); and `switches_per_step`,
// the channel's context switches per refill step, voluntary (hand-offs) and not (a thread
// pushed off its core by other work).
//
// The files are made once under the temp folder: a music-like signal from sox (two plucked
// tones gated by a square wave over pink noise, with tremolo and reverb), encoded by lame at
// 320 and 128 kbit/s with an ID3v2 tag that holds a cover picture.
#include "platform/sound/MemorySoundDevice.h"
#include "sound/cbDSMixer.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QDir>
#include <QFile>

#include <sched.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <stdexcept>

using namespace benchsupport;

namespace {

std::string benchMp3(int minutes, int kbps)
{
    const QString base = QDir::tempPath() + QString("/tambourelle-bench-music-%1min").arg(minutes);
    const QString mp3 = base + ".mp3";
    if (QFile::exists(mp3))
        return mp3.toStdString();
    const QString cover = base + "-cover.jpg";
    if (!run("convert", {"-size", "500x500", "plasma:fractal", "-quality", "90", cover}))
        throw std::runtime_error("cannot make the cover picture (ImageMagick is needed)");
    const QString length = QString::number(minutes * 60);
    makeMp3(mp3, base + ".wav", 44100, 2,
            {"synth", length, "pluck", "220", "pluck", "330", "synth", length, "square", "amod", "3",
             "synth", length, "pinknoise", "mix", "tremolo", "5", "40", "reverb", "40", "gain", "-n", "-3"},
            kbps,
            {"--add-id3v2", "--tt", "踊るタンブレル", "--ta", "Tambourelle", "--tl", "Benchmarks", "--ty", "2026",
             "--ti", cover});
    QFile::remove(cover);
    return mp3.toStdString();
}

// Wall time, the CPU time of the whole process (every thread) and its context switches since
// a start.
struct Span {
    double wall = 0, cpu = 0;
    long voluntary = 0, involuntary = 0;
};

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

rusage processUsage()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u;
}

class Stopwatch {
public:
    Span elapsed() const
    {
        const rusage now = processUsage();
        return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count(),
                processCpuSeconds() - cpu_, now.ru_nvcsw - usage_.ru_nvcsw, now.ru_nivcsw - usage_.ru_nivcsw};
    }

private:
    rusage usage_ = processUsage();
    std::chrono::steady_clock::time_point wall_ = std::chrono::steady_clock::now();
    double cpu_ = processCpuSeconds();
};

Span decodeTime(const std::string& mp3)
{
    const Stopwatch watch;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, mp3.c_str(), nullptr, nullptr) < 0)
        throw std::runtime_error("FFmpeg cannot open the benchmark MP3");
    const AVCodec* decoder = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int64_t samples = 0;
    bool ok = avformat_find_stream_info(fmt, nullptr) >= 0;
    const int stream = ok ? av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0) : -1;
    ok = ok && stream >= 0 && (codec = avcodec_alloc_context3(decoder)) &&
         avcodec_parameters_to_context(codec, fmt->streams[stream]->codecpar) >= 0 &&
         avcodec_open2(codec, decoder, nullptr) >= 0;
    auto drain = [&] {
        while (avcodec_receive_frame(codec, frame) == 0)
            samples += frame->nb_samples;
    };
    while (ok && av_read_frame(fmt, packet) >= 0) {
        if (packet->stream_index == stream && avcodec_send_packet(codec, packet) >= 0)
            drain();
        av_packet_unref(packet);
    }
    if (ok) {
        avcodec_send_packet(codec, nullptr);
        drain();
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&fmt);
    if (!ok || samples == 0)
        throw std::runtime_error("FFmpeg cannot decode the benchmark MP3");
    return watch.elapsed();
}

Span channelTime(const std::string& mp3)
{
    snd::ManualClock clock;
    auto device = snd::MemorySoundDevice::create(clock);
    sound::TcbDSMixer mixer([&](const std::string&) { return device; });
    const Stopwatch watch;
    sound::TcbDSMixerChannel& channel = *mixer.NewChannel(clock);
    channel.Open(mp3);
    channel.Play();
    // One refill interval a step, as a device plays period by period: taking the recording
    // in small pieces keeps the memory device's own bookkeeping out of the figure.
    while (channel.State() == sound::TcbDSMixerChannel::csPlaying) {
        clock.advance(sound::TcbDSMixerChannel::BufferLengthMs / 10);
        benchmark::DoNotOptimize(device->takeRecorded());
    }
    return watch.elapsed();
}

// Holds the process to the core it runs on while it lives (threads started meanwhile too).
class PinnedToThisCore {
public:
    PinnedToThisCore()
    {
        sched_getaffinity(0, sizeof before_, &before_);
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        sched_setaffinity(0, sizeof one, &one);
    }
    ~PinnedToThisCore() { sched_setaffinity(0, sizeof before_, &before_); }
    PinnedToThisCore(const PinnedToThisCore&) = delete;
    PinnedToThisCore& operator=(const PinnedToThisCore&) = delete;

private:
    cpu_set_t before_{};
};

// One round: the decode and the channel, in turns first; the channel's span and the ratios.
struct Round {
    Span channel;
    double ratio = 0, cpuRatio = 0;
};

Round round(const std::string& mp3, bool decodeFirst)
{
    Span d, c;
    if (decodeFirst) {
        d = decodeTime(mp3);
        c = channelTime(mp3);
    } else {
        c = channelTime(mp3);
        d = decodeTime(mp3);
    }
    return {c, c.wall / d.wall, c.cpu / d.cpu};
}

constexpr int PinnedRounds = 5;
constexpr double Goal = 1.10;

// The file of `minutes` (range 0): 7 rounds free to use any core (the iterations), then 5
// held to one core.
void BM_StreamMp3ThroughChannel(benchmark::State& state)
{
    const int minutes = int(state.range(0));
    const std::string mp3 = benchMp3(minutes, minutes <= 5 ? 320 : 128);
    const double steps = minutes * 60.0 * 1000.0 / (sound::TcbDSMixerChannel::BufferLengthMs / 10);
    Runs ratio, cpuRatio, channelSeconds, voluntary, involuntary, pinned;
    int n = 0;
    for (auto _ : state) {
        const Round r = round(mp3, n++ % 2 == 0);
        state.SetIterationTime(r.channel.wall);
        ratio.add(r.ratio);
        cpuRatio.add(r.cpuRatio);
        channelSeconds.add(r.channel.wall);
        voluntary.add(double(r.channel.voluntary) / steps);
        involuntary.add(double(r.channel.involuntary) / steps);
    }
    {
        const PinnedToThisCore pin;
        for (int i = 0; i < PinnedRounds; ++i)
            pinned.add(round(mp3, i % 2 == 0).ratio);
    }
    report(state, "ratio", ratio);
    report(state, "cpu_ratio", cpuRatio);
    report(state, "pinned_ratio", pinned);
    report(state, "channel_s", channelSeconds);
    state.counters["switches_per_step"] = voluntary.median();
    state.counters["preempted_per_step"] = involuntary.median();
    std::printf("\nBM_StreamMp3ThroughChannel, %d minutes, channel / decode in the same process, median (min-max):\n"
                "  any core  %.3f (%.3f-%.3f) over %d rounds, CPU time %.3f (%.3f-%.3f); goal <= %.2f: %s\n"
                "  one core  %.3f (%.3f-%.3f) over %d rounds\n"
                "  per refill step: %.2f hand-offs, %.3f threads pushed off their core\n\n",
                minutes, ratio.median(), ratio.min(), ratio.max(), n, cpuRatio.median(), cpuRatio.min(),
                cpuRatio.max(), Goal, ratio.median() <= Goal ? "PASS" : "MISS", pinned.median(), pinned.min(),
                pinned.max(), PinnedRounds, voluntary.median(), involuntary.median());
    std::fflush(stdout);
}

}  // namespace

BENCHMARK(BM_StreamMp3ThroughChannel)
    ->ArgName("minutes")->Arg(5)->Arg(20)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK_MAIN();
