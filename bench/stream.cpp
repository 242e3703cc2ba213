// Decode-and-stream speed of the playback channel: an MP3 played through TcbDSMixerChannel on
// the memory device as fast as the manual clock can be advanced, against FFmpeg's own decode
// of the same file in the same process and the same run (libavformat and the decoder
// libavcodec picks, every frame received and dropped: no conversion, no copy). The channel
// adds the conversion to 16-bit PCM, the refill thread's hand-offs, the copies into its ring
// buffer and the device's mixing.
//
// Goal: channel time at most 1.2 x the decode time (counter `ratio`) on both files, 5 and
// 20 minutes long; read the median and the spread over the 5 repetitions. `cpu_ratio` is the
// same in CPU time. On a busy machine the two threads' hand-offs wait for cores and the wall
// figures spread widely: run pinned to one core (taskset -c N) for steadier ones.
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

#include <chrono>
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

// Wall time and the CPU time of the whole process (every thread) since a start.
struct Span {
    double wall = 0, cpu = 0;
};

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

class Stopwatch {
public:
    Span elapsed() const
    {
        return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count(),
                processCpuSeconds() - cpu_};
    }

private:
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

// One iteration: the decode alone, then the channel, on the file of `minutes` (range 0).
void BM_StreamMp3ThroughChannel(benchmark::State& state)
{
    const int minutes = int(state.range(0));
    const std::string mp3 = benchMp3(minutes, minutes <= 5 ? 320 : 128);
    Span decode, channel;
    for (auto _ : state) {
        const Span d = decodeTime(mp3);
        const Span c = channelTime(mp3);
        state.SetIterationTime(c.wall);
        decode.wall += d.wall, decode.cpu += d.cpu;
        channel.wall += c.wall, channel.cpu += c.cpu;
    }
    const double n = double(state.iterations());
    state.counters["decode_s"] = decode.wall / n;
    state.counters["channel_s"] = channel.wall / n;
    state.counters["ratio"] = channel.wall / decode.wall;  // goal: <= 1.2
    // The same in CPU time of all threads: the channel's work without the waits for a core,
    // which the two threads' hand-offs suffer on a busy machine.
    state.counters["cpu_ratio"] = channel.cpu / decode.cpu;
}

}  // namespace

BENCHMARK(BM_StreamMp3ThroughChannel)
    ->ArgName("minutes")->Arg(5)->Arg(20)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)
    ->ComputeStatistics("min", smallest)->ComputeStatistics("max", largest)
    ->DisplayAggregatesOnly(true);
BENCHMARK_MAIN();
