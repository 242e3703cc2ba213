// Decode-and-stream speed of the playback channel: an MP3 played through TcbDSMixerChannel on
// the memory device as fast as the manual clock can be advanced, against FFmpeg's own decode
// of the same file in the same process and the same run (libavformat and the decoder
// libavcodec picks, every frame received and dropped: no conversion, no copy). The channel
// adds the conversion to 16-bit PCM, the refill thread's hand-offs, the copies into its ring
// buffer and the device's mixing.
//
// Goal: channel time at most 1.2 x the decode time (counter `ratio`) on both files, 5 and
// 20 minutes long; read the median and the spread over the 5 repetitions.
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

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double decodeSeconds(const std::string& mp3)
{
    const auto t0 = std::chrono::steady_clock::now();
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
    return seconds(t0);
}

double channelSeconds(const std::string& mp3)
{
    snd::ManualClock clock;
    auto device = snd::MemorySoundDevice::create(clock);
    sound::TcbDSMixer mixer([&](const std::string&) { return device; });
    const auto t0 = std::chrono::steady_clock::now();
    sound::TcbDSMixerChannel channel(&mixer, clock);
    channel.Open(mp3);
    channel.Play();
    while (channel.State() == sound::TcbDSMixerChannel::csPlaying) {
        clock.advance(10000);
        benchmark::DoNotOptimize(device->takeRecorded());
    }
    return seconds(t0);
}

// One iteration: the decode alone, then the channel, on the file of `minutes` (range 0).
void BM_StreamMp3ThroughChannel(benchmark::State& state)
{
    const int minutes = int(state.range(0));
    const std::string mp3 = benchMp3(minutes, minutes <= 5 ? 320 : 128);
    double decode = 0, channel = 0;
    for (auto _ : state) {
        decode += decodeSeconds(mp3);
        const double c = channelSeconds(mp3);
        state.SetIterationTime(c);
        channel += c;
    }
    state.counters["decode_s"] = decode / double(state.iterations());
    state.counters["channel_s"] = channel / double(state.iterations());
    state.counters["ratio"] = channel / decode;  // goal: <= 1.2
}

}  // namespace

BENCHMARK(BM_StreamMp3ThroughChannel)
    ->ArgName("minutes")->Arg(5)->Arg(20)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)
    ->ComputeStatistics("min", smallest)->ComputeStatistics("max", largest)
    ->DisplayAggregatesOnly(true);
BENCHMARK_MAIN();
