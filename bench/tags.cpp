// What the music-folder scan does for every file at start-up: read its tag (`ReadTag`) and
// analyse its header (`GetAudioFileInfo`), over 2,000 tagged MP3s, against TagLib reading the
// same files' tags and audio properties in the same run.
// Counters: `ours_files_per_s`, `taglib_files_per_s` and `ratio` = ours / TagLib in files per
// second; the goal is at least 1.
//
// The files are made once under the temp folder (or $TAMBOURELLE_BENCH_TAGS): one short
// lame-encoded MP3 copied 2,000 times, each given its own tag by our writer.
#include "tags/libID3Tag.h"
#include "tags/libMP3Header.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <QDir>
#include <QFile>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

using namespace benchsupport;

namespace {

constexpr int kFiles = 2000;

void tagFile(const std::string& path, int n)
{
    ClearTag();
    CurrentTag.Title = "曲名 " + std::to_string(n);
    CurrentTag.Artist = "歌手 " + std::to_string(n % 37);
    CurrentTag.Album = "アルバム " + std::to_string(n % 101);
    CurrentTag.Year = std::to_string(1970 + n % 50);
    CurrentTag.Genre = CurrentTag.GenreList[1 + n % 148];
    CurrentTag.Track = std::to_string(1 + n % 20);
    CurrentTag.Comment = "コメント";
    CurrentTag.Lyrics = std::string(n % 7 * 200, 'l');
    if (!WriteTag(path))
        throw std::runtime_error("cannot tag " + path);
}

std::vector<std::string> benchFiles()
{
    const QString folder = qEnvironmentVariable("TAMBOURELLE_BENCH_TAGS",
                                                QDir::tempPath() + "/tambourelle-bench-tags");
    const QString done = folder + "/complete";
    std::vector<std::string> files;
    for (int n = 0; n < kFiles; ++n)
        files.push_back((folder + QString("/%1.mp3").arg(n, 4, 10, QChar('0'))).toStdString());
    if (QFile::exists(done))
        return files;
    QDir().mkpath(folder);
    const QString mp3 = folder + "/tone.mp3";
    makeMp3(mp3, folder + "/tone.wav", 44100, 2, {"synth", "2", "sine", "440"}, 128);
    SetupTagObjects(true);
    copyTagged(mp3, files, tagFile);
    QFile::remove(mp3);
    QFile(done).open(QIODevice::WriteOnly);
    return files;
}

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double oursSeconds(const std::vector<std::string>& files)
{
    const auto t0 = std::chrono::steady_clock::now();
    for (const std::string& file : files) {
        ReadTag(file);
        GetAudioFileInfo(file);
        benchmark::DoNotOptimize(CurrentTag.Title.size() + AudioFileInfo.Text[aiDuration].size());
    }
    return seconds(t0);
}

double tagLibSeconds(const std::vector<std::string>& files)
{
    const auto t0 = std::chrono::steady_clock::now();
    for (const std::string& file : files) {
        TagLib::FileRef f(file.c_str(), true, TagLib::AudioProperties::Average);
        if (f.isNull() || !f.audioProperties())
            throw std::runtime_error("TagLib cannot read " + file);
        benchmark::DoNotOptimize(f.tag()->title().size() + f.audioProperties()->lengthInMilliseconds());
    }
    return seconds(t0);
}

void BM_ReadTagAndHeaderOf2000Mp3s(benchmark::State& state)
{
    const std::vector<std::string> files = benchFiles();
    SetupTagObjects(true);
    tagLibSeconds(files);  // the files in the page cache for both
    double ours = 0, tagLib = 0;
    for (auto _ : state) {
        const double t = tagLibSeconds(files);
        const double o = oursSeconds(files);
        state.SetIterationTime(o);
        tagLib += t;
        ours += o;
    }
    const double n = double(files.size()) * double(state.iterations());
    state.counters["ours_files_per_s"] = n / ours;
    state.counters["taglib_files_per_s"] = n / tagLib;
    state.counters["ratio"] = tagLib / ours;
}

}  // namespace

BENCHMARK(BM_ReadTagAndHeaderOf2000Mp3s)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
