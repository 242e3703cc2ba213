// Files dropped onto the main window as a user drops them: 200 MP3s of 4 MB each, "Title"
// chosen in the category tree, copied into an empty music folder and listed by
// `TfrmMain::ImportFiles` (each copy through a temporary file, its tag read for the row),
// against cp copying the same files in the same run. Warm cache; before each side the
// copies of the last run are removed and everything is written back (sync), so neither
// pays for the other.
//
// Counters, as median with _min/_max spread of 5 alternating runs: `ours_mb_per_s`,
// `cp_mb_per_s` and `ratio` = ours / cp in MB per second.
// Goal: ratio at least 0.5.
#include "app/Globals.h"
#include "app/MainForm.h"
#include "util/libIni.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace benchsupport;

namespace {

constexpr int Songs = 200;

void BM_ImportDroppedFiles(benchmark::State& state)
{
    QTemporaryDir work;
    const QString root = work.path();
    QDir().mkpath(root + "/dropped");
    // One song of about 4 MB (256 s at 128 kbit/s), copied under 200 names.
    const QString first = root + "/dropped/song000.mp3";
    makeMp3(first, root + "/tone.wav", 44100, 2, {"synth", "256", "sine", "440"}, 128,
            {"--tt", "Tone", "--ta", "Bench"});
    std::vector<std::string> files{first.toStdString()};
    QStringList cpArgs{first};
    for (int i = 1; i < Songs; ++i) {
        const QString name = root + QString("/dropped/song%1.mp3").arg(i, 3, 10, QChar('0'));
        if (!QFile::copy(first, name))
            throw std::runtime_error("cannot make the dropped files");
        files.push_back(name.toStdString());
        cpArgs << name;
    }
    const double mb = double(QFileInfo(first).size()) * Songs / 1e6;

    IniBase = (root + "/Tambourelle").toStdString();
    TfrmMain w;
    w.MsgBoxEx = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                    const std::string&) { return 6; };
    w.trrGenre->clear();
    auto* title = new QTreeWidgetItem(w.trrGenre, QStringList{"Title"});
    w.trrGenre->setCurrentItem(title);
    const QString ours = root + "/music", theirs = root + "/cp";
    ::Mp3Path = ours.toStdString();
    const auto fresh = [&] {
        QDir(ours).removeRecursively();
        QDir(theirs).removeRecursively();
        QDir().mkpath(ours);
        QDir().mkpath(theirs);
        w.lstMP3->clear();
        ::sync();
    };
    Runs oursRate, cpRate, ratio;
    for (auto _ : state) {
        fresh();
        const double t = secondsOf([&] {
            if (!run("cp", cpArgs + QStringList{theirs}))
                throw std::runtime_error("cp failed");
        });
        fresh();
        const double o = secondsOf([&] { w.ImportFiles(files, true); });
        if (w.lstMP3->topLevelItemCount() != Songs)
            throw std::runtime_error("not every file was imported");
        state.SetIterationTime(o);
        oursRate.add(mb / o);
        cpRate.add(mb / t);
        ratio.add(t / o);
    }
    report(state, "ours_mb_per_s", oursRate);
    report(state, "cp_mb_per_s", cpRate);
    report(state, "ratio", ratio);
    fresh();
}

}  // namespace

BENCHMARK(BM_ImportDroppedFiles)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) { return benchsupport::runOffscreen<QApplication>(argc, argv); }
