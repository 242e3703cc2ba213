// Fixtures of the benchmarks: running the tools that make them (sox, lame, ffmpeg), the
// realistic music folders, and statistics of repeated runs. The benchmarks make their files
// once and keep them for later runs.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace benchsupport {

// Runs a program to its end with its output dropped and its errors shown; true when it
// exited normally with 0.
inline bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Encodes `synth` (sox's synth effect and the ones after it) at `rate` Hz, 16 bits, to the
// MP3 `mp3` at `kbps` kbit/s through a WAV in `wav`, which is removed; `lameOptions` go to
// lame as well (tags, for instance).
inline void makeMp3(const QString& mp3, const QString& wav, int rate, int channels,
                    const QStringList& synth, int kbps, const QStringList& lameOptions = {})
{
    if (!run("sox", QStringList{"-n", "-r", QString::number(rate), "-c", QString::number(channels), "-b",
                                "16", wav} + synth) ||
        !run("lame", QStringList{"--quiet", "-b", QString::number(kbps)} + lameOptions + QStringList{wav, mp3}))
        throw std::runtime_error("cannot make the benchmark MP3 (sox and lame are needed)");
    QFile::remove(wav);
}

// The realistic music folder of `files` MP3s that bench/make_fixture.py makes (see there)
// under the build folder. The first call makes every folder of `tiers` that is missing.
inline std::string fixtureFolder(int files, const std::vector<int>& tiers)
{
    const QString cache = TAMBOURELLE_BENCH_CACHE;
    QStringList missing;
    for (int tier : tiers)
        if (!QFile::exists(cache + QString("/%1.complete").arg(tier)))
            missing << QString::number(tier);
    if (!missing.isEmpty() &&
        !run("/usr/bin/python3", QStringList{TAMBOURELLE_FIXTURE_SCRIPT, cache} + missing))
        throw std::runtime_error("cannot make the benchmark folders (python3-mutagen, lame, sox "
                                 "and ImageMagick are needed)");
    return (cache + "/" + QString::number(files)).toStdString();
}

// Figures of repeated runs: the median, and the smallest and largest as the spread.
class Runs {
public:
    void add(double v) { values_.push_back(v); }
    double median() const
    {
        std::vector<double> v = values_;
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    double min() const { return values_.empty() ? 0 : *std::min_element(values_.begin(), values_.end()); }
    double max() const { return values_.empty() ? 0 : *std::max_element(values_.begin(), values_.end()); }

private:
    std::vector<double> values_;
};

// Reports `runs` as the counters `name` (median), `name_min` and `name_max`.
inline void report(benchmark::State& state, const std::string& name, const Runs& runs)
{
    state.counters[name] = runs.median();
    state.counters[name + "_min"] = runs.min();
    state.counters[name + "_max"] = runs.max();
}

inline double secondsOf(const std::function<void()>& work)
{
    const auto t0 = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Each iteration runs `theirs`, then `ours`, over the same `files` files, each after an
// untimed `settle` when one is given; reports `ours_files_per_s`, `<them>_files_per_s` and
// `ratio` = ours / theirs in files per second.
inline void compareFileRates(benchmark::State& state, double files, const std::string& them,
                             const std::function<void()>& theirs, const std::function<void()>& ours,
                             const std::function<void()>& settle = {})
{
    Runs oursRate, theirRate, ratio;
    for (auto _ : state) {
        if (settle)
            settle();
        const double t = secondsOf(theirs);
        if (settle)
            settle();
        const double o = secondsOf(ours);
        state.SetIterationTime(o);
        oursRate.add(files / o);
        theirRate.add(files / t);
        ratio.add(t / o);
    }
    report(state, "ours_files_per_s", oursRate);
    report(state, them + "_files_per_s", theirRate);
    report(state, "ratio", ratio);
}

// Times of ours and theirs taken in turns, the first of the pair swapping every round.
struct TurnFigures {
    Runs oursMs, theirMs, ratio;  // ratio = our time / theirs
};

// Runs `ours` and `theirs` once each iteration, in turns, `prepare` untimed before each run
// (so each starts from the same input); the iteration's manual time is ours. Reports
// `ours_ms`, `<theirName>_ms` and `ratio`, and returns them for the caller's goal.
inline TurnFigures compareInTurns(benchmark::State& state, const std::function<void()>& prepare,
                                  const std::function<void()>& ours, const std::function<void()>& theirs,
                                  const std::string& theirName)
{
    TurnFigures f;
    bool oursFirst = true;
    for (auto _ : state) {
        double o = 0, t = 0;
        for (int turn = 0; turn < 2; ++turn) {
            if (prepare)
                prepare();
            if ((turn == 0) == oursFirst)
                o = secondsOf(ours);
            else
                t = secondsOf(theirs);
        }
        oursFirst = !oursFirst;
        state.SetIterationTime(o);
        f.oursMs.add(o * 1000);
        f.theirMs.add(t * 1000);
        f.ratio.add(o / t);
    }
    report(state, "ours_ms", f.oursMs);
    report(state, theirName + "_ms", f.theirMs);
    report(state, "ratio", f.ratio);
    return f;
}

// Statistics for ComputeStatistics beside the mean and median: the worst and best repetition.
inline double largest(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }
inline double smallest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

// The whole main of a benchmark program that needs a Qt application of kind App (QApplication,
// QGuiApplication), shown on the offscreen platform.
template <class App>
int runOffscreen(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace benchsupport
