// The music-folder scan over 5,000 tagged MP3s, against reading the same files' tags alone
// (`ReadTag` in scan order) in the same run: what the scan adds is listing and sorting the
// folder, telling files from folders, building the rows and the distinct category values and
// handing events to the loop after every file.
// BM_Scan times `ScanMusicFolder`; BM_LoadMusicFolder the whole folder change the user waits
// for (scan, category tree, filter, music list filled and sorted). Counters: files per second
// of both, and `over_tags` = time of the scan / time of the tags alone (goal: under 1.2).
//
// The files are made once under the temp folder (or $TAMBOURELLE_BENCH_SCAN): one short
// lame-encoded MP3 copied 5,000 times, each given its own tag by our writer.
#include "app/SortListView.h"
#include "app/libMusic.h"
#include "tags/libID3Tag.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTreeWidget>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace benchsupport;

namespace {

constexpr int kFiles = 5000;

void tagFile(const std::string& path, int n)
{
    ClearTag();
    CurrentTag.Title = "曲名 " + std::to_string(n);
    CurrentTag.Artist = "歌手 " + std::to_string(n % 300);
    CurrentTag.Album = (n % 2 ? "Album " : "album ") + std::to_string(n % 1000);
    CurrentTag.Year = std::to_string(1960 + n % 60);
    CurrentTag.Genre = CurrentTag.GenreList[1 + n % 148];
    CurrentTag.Track = std::to_string(1 + n % 20);
    if (!WriteTag(path))
        throw std::runtime_error("cannot tag " + path);
}

struct Folder {
    std::string path;
    std::vector<std::string> files;  // in scan order
};

Folder benchFolder()
{
    const QString folder = qEnvironmentVariable("TAMBOURELLE_BENCH_SCAN",
                                                QDir::tempPath() + "/tambourelle-bench-scan");
    const QString done = folder + "/.complete";
    Folder f{folder.toStdString(), {}};
    for (int n = 0; n < kFiles; ++n)
        f.files.push_back((folder + QString("/%1.mp3").arg(n, 5, 10, QChar('0'))).toStdString());
    if (QFile::exists(done))
        return f;
    QDir().mkpath(folder);
    const QString mp3 = QDir::tempPath() + "/tambourelle-bench-scan-tone.mp3";
    makeMp3(mp3, QDir::tempPath() + "/tambourelle-bench-scan-tone.wav", 8000, 1, {"synth", "0.3", "sine", "440"}, 32);
    copyTagged(mp3, f.files, tagFile);
    QFile::remove(mp3);
    QFile(done).open(QIODevice::WriteOnly);
    return f;
}

double secondsOf(const std::function<void()>& work)
{
    const auto t0 = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double tagsSeconds(const Folder& f)
{
    return secondsOf([&] {
        for (const std::string& file : f.files) {
            ReadTag(file);
            benchmark::DoNotOptimize(CurrentTag.Title.size());
        }
    });
}

// Runs work each iteration after reading the tags alone, and reports both.
void compareWithTags(benchmark::State& state, const Folder& f, const std::function<void()>& work)
{
    tagsSeconds(f);  // the files in the page cache for both
    double tags = 0, ours = 0;
    for (auto _ : state) {
        tags += tagsSeconds(f);
        const double o = secondsOf(work);
        state.SetIterationTime(o);
        ours += o;
    }
    const double n = double(f.files.size()) * double(state.iterations());
    state.counters["files_per_s"] = n / ours;
    state.counters["tags_files_per_s"] = n / tags;
    state.counters["over_tags"] = ours / tags;
}

void BM_Scan(benchmark::State& state)
{
    SetupTagObjects(true);
    const Folder f = benchFolder();
    TMusicDatabase db;
    TCategoryList years, genres, artists, albums;
    compareWithTags(state, f, [&] {
        ScanMusicFolder(db, f.path, years, genres, artists, albums);
        if (db.RowCount() != kFiles)
            throw std::runtime_error("the scan missed files");
    });
}

void BM_LoadMusicFolder(benchmark::State& state)
{
    SetupTagObjects(true);
    const Folder f = benchFolder();
    QTreeWidget tree;
    TSortListView list;
    for (int c = 0; c < 9; ++c)
        list.AddColumn("", 50);
    list.SetAutoColumnSort(acsSortToggle);
    list.AutoResort = false;
    TMusicLibrary lib;
    lib.trrGenre = &tree;
    lib.lstMP3 = &list;
    compareWithTags(state, f, [&] {
        LoadMusicFolder(lib, f.path);
        if (list.Count() != kFiles)
            throw std::runtime_error("the music list missed files");
    });
}

}  // namespace

BENCHMARK(BM_Scan)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadMusicFolder)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
