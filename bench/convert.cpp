// The music list's WAV-to-MP3 conversion: `TfrmMain::EncodeToMp3` of a tagged 3-minute stereo
// WAV (44.1 kHz, 16 bits) against the `lame` program encoding the same WAV with the same
// settings (stereo, CBR 128 kbit/s, the coder's normal preset = quality 5, CRC, no Info frame,
// not marked original) in the same run: both write the same MPEG frames, byte for byte. Ours also copies the WAV's tag into the new file and keeps the window's
// panel and gauge up to date; the output of each run is removed untimed, so every run writes
// the same name.
//
// Counters, as median with _min/_max spread of 5 alternating runs: `ours_s`, `lame_s` and
// `ratio` = lame / ours in seconds. Goal: ratio at least 0.9.
#include "app/Globals.h"
#include "app/MainForm.h"
#include "tags/libID3Tag.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <stdexcept>
#include <string>

using namespace benchsupport;

namespace {

void BM_EncodeToMp3(benchmark::State& state)
{
    QTemporaryDir work;
    const QString wav = work.path() + "/song.wav";
    if (!run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "180", "sine", "100-5000", "pinknoise",
                     "vol", "0.5"}))
        throw std::runtime_error("cannot make the benchmark WAV (sox is needed)");
    const QString theirs = work.path() + "/lame.mp3";
    const QString ours = work.path() + "/song.mp3";

    IniBase = (work.path() + "/Tambourelle").toStdString();
    Mp3Path = work.path().toStdString();
    TfrmMain w;
    ClearTag();
    CurrentTag.Title = "三分間の歌";
    CurrentTag.Artist = "Tambourelle Band";
    CurrentTag.Year = "2007";
    if (!WriteTag(wav.toStdString()))
        throw std::runtime_error("cannot tag the WAV");

    Runs oursRuns, lameRuns, ratio;
    for (auto _ : state) {
        const double t = secondsOf([&] {
            if (!run("lame", {"--quiet", "--noreplaygain", "-b", "128", "-m", "s", "-q", "5", "-p", "-t", "-o", wav, theirs}))
                throw std::runtime_error("lame failed");
        });
        std::string out;
        const double o = secondsOf([&] { w.EncodeToMp3(wav.toStdString(), out); });
        state.SetIterationTime(o);
        if (out != ours.toStdString() || QFileInfo(ours).size() < QFileInfo(theirs).size())
            state.SkipWithError("the conversion did not write the whole file under its own name");
        QFile::remove(ours);
        oursRuns.add(o);
        lameRuns.add(t);
        ratio.add(t / o);
    }
    report(state, "ours_s", oursRuns);
    report(state, "lame_s", lameRuns);
    report(state, "ratio", ratio);   // goal: >= 0.9
}

}  // namespace

BENCHMARK(BM_EncodeToMp3)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) { return benchsupport::runOffscreen<QApplication>(argc, argv); }
