// MP3 encoding speed: TLameCoder::EncodeFiles on a 5-minute stereo WAV at 128 kbit/s against
// the `lame` tool with the same settings (stereo, CBR 128, quality 5, CRC, no Info frame) on
// the same file, each iteration running both. Both use the same libmp3lame, so the ratio is the
// coder's own cost: reading and walking the WAV, the chunking, serving the event loop after
// each chunk and writing through a temporary file.
// Counters: median seconds of each, their ratio (goal at most 1.15) and the spread of the
// per-iteration ratios.
//
// The WAV is made once with sox under the temp folder.
#include "cd/LameCoder.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <vector>

using namespace benchsupport;

namespace {

QString benchWav()
{
    const QString path = QDir::tempPath() + "/tambourelle-bench-5min.wav";
    if (!QFile::exists(path) &&
        !run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth", "300", "sine", "100-5000",
                     "pinknoise", "vol", "0.5"}))
        throw std::runtime_error("cannot make the benchmark WAV (sox is needed)");
    return path;
}

template <typename F>
double secondsOf(F&& work)
{
    const auto t0 = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BM_EncodeFiles(benchmark::State& state)
{
    const QString wav = benchWav();
    const QString ours = QDir::tempPath() + "/tambourelle-bench-ours.mp3";
    const QString theirs = QDir::tempPath() + "/tambourelle-bench-lame.mp3";
    cd::TLameCoder coder;
    coder.SetInputFiles({wav.toStdString()});
    coder.SetOutputFiles({ours.toStdString()});
    std::vector<double> lameTimes, coderTimes, ratios;
    for (auto _ : state) {
        const double l = secondsOf([&] {
            if (!run("lame", {"--quiet", "-b", "128", "-m", "s", "-q", "5", "-p", "-t", wav, theirs}))
                throw std::runtime_error("lame failed");
        });
        const double c = secondsOf([&] { coder.EncodeFiles(); });
        state.SetIterationTime(c);
        lameTimes.push_back(l);
        coderTimes.push_back(c);
        ratios.push_back(c / l);
    }
    if (QFile(ours).size() != QFile(theirs).size())
        state.SkipWithError("the two encodes differ in size: the settings are not the same");
    state.counters["lame_s"] = median(lameTimes);
    state.counters["coder_s"] = median(coderTimes);
    state.counters["ratio"] = median(coderTimes) / median(lameTimes);
    state.counters["ratio_min"] = *std::min_element(ratios.begin(), ratios.end());
    state.counters["ratio_max"] = *std::max_element(ratios.begin(), ratios.end());
    QFile::remove(ours);
    QFile::remove(theirs);
}

}  // namespace

BENCHMARK(BM_EncodeFiles)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
