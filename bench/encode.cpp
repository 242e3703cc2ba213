// MP3 encoding speed: TLameCoder::EncodeFiles on a 5-minute stereo WAV at 128 kbit/s against
// the `lame` tool with the same settings (stereo, CBR 128, quality 5, CRC, no Info frame) on
// the same file, each iteration running both. Both use the same libmp3lame, so the ratio is the
// coder's own cost: reading and walking the WAV, the chunking, serving the event loop after
// each chunk and writing through a temporary file.
// Goal: `ratio` (coder time / lame time) at most 1.15; read the median and the spread over
// the 5 repetitions.
//
// The WAV is made once with sox under the temp folder.
#include "cd/LameCoder.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <stdexcept>

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

void BM_EncodeFiles(benchmark::State& state)
{
    const QString wav = benchWav();
    const QString ours = QDir::tempPath() + "/tambourelle-bench-ours.mp3";
    const QString theirs = QDir::tempPath() + "/tambourelle-bench-lame.mp3";
    cd::TLameCoder coder;
    coder.SetInputFiles({wav.toStdString()});
    coder.SetOutputFiles({ours.toStdString()});
    double lame = 0, ours_s = 0;
    for (auto _ : state) {
        lame += secondsOf([&] {
            // The tool would also measure the ReplayGain, which the coder does not.
            if (!run("lame", {"--quiet", "--noreplaygain", "-b", "128", "-m", "s", "-q", "5", "-p", "-t", wav, theirs}))
                throw std::runtime_error("lame failed");
        });
        const double c = secondsOf([&] { coder.EncodeFiles(); });
        state.SetIterationTime(c);
        ours_s += c;
    }
    if (QFile(ours).size() != QFile(theirs).size())
        state.SkipWithError("the two encodes differ in size: the settings are not the same");
    const double n = double(state.iterations());
    state.counters["lame_s"] = lame / n;
    state.counters["coder_s"] = ours_s / n;
    state.counters["ratio"] = ours_s / lame;   // goal: <= 1.15
    QFile::remove(ours);
    QFile::remove(theirs);
}

}  // namespace

BENCHMARK(BM_EncodeFiles)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)
    ->ComputeStatistics("min", smallest)->ComputeStatistics("max", largest)
    ->DisplayAggregatesOnly(true);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
