// What the music-folder scan does for every file: read its tag (`ReadTag`), and what the
// details and the player add: analyse its audio (`GetAudioFileInfo`), over the realistic
// music folders of bench/make_fixture.py (1,000, 5,000 and 20,000 MP3s of 3-10 MB, CBR and
// VBR, ID3v2.3 UTF-16 and 2.4 UTF-8 tags by mutagen, a third with cover art, some with
// ID3v1), against TagLib reading the same files' tags and audio properties (FileRef,
// Average) in the same run, warm cache.
//
// Each iteration runs TagLib, then ours, over the whole folder (5 alternating runs).
// Counters, as median with _min/_max spread: `ours_files_per_s`, `taglib_files_per_s` and
// `ratio` = ours / TagLib in files per second.
// Goals: BM_ReadTag ratio at least 2; BM_ReadTagAndInfo ratio at least 1.5 (every size).
#include "tags/libID3Tag.h"
#include "tags/libMP3Header.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <QDir>

#include <stdexcept>
#include <string>
#include <vector>

using namespace benchsupport;

namespace {

std::vector<std::string> benchFiles(int count)
{
    const QDir folder(QString::fromStdString(fixtureFolder(count, {1000, 5000, 20000})));
    std::vector<std::string> files;
    for (const QString& name : folder.entryList({"*.mp3"}, QDir::Files, QDir::Name))
        files.push_back(folder.filePath(name).toStdString());
    if (files.size() != std::size_t(count))
        throw std::runtime_error("the benchmark folder is incomplete");
    return files;
}

void readTags(const std::vector<std::string>& files)
{
    for (const std::string& file : files) {
        ReadTag(file);
        benchmark::DoNotOptimize(CurrentTag.Title.size());
    }
}

void readTagsAndInfo(const std::vector<std::string>& files)
{
    for (const std::string& file : files) {
        ReadTag(file);
        GetAudioFileInfo(file);
        benchmark::DoNotOptimize(CurrentTag.Title.size() + AudioFileInfo.Text[aiDuration].size());
    }
}

void tagLibReads(const std::vector<std::string>& files)
{
    for (const std::string& file : files) {
        TagLib::FileRef f(file.c_str(), true, TagLib::AudioProperties::Average);
        if (f.isNull() || !f.audioProperties())
            throw std::runtime_error("TagLib cannot read " + file);
        benchmark::DoNotOptimize(f.tag()->title().size() + f.audioProperties()->lengthInMilliseconds());
    }
}

void compareWithTagLib(benchmark::State& state, void (*ours)(const std::vector<std::string>&))
{
    SetupTagObjects(true);
    const std::vector<std::string> files = benchFiles(int(state.range(0)));
    tagLibReads(files);  // the files in the page cache for both
    ours(files);
    compareFileRates(state, double(files.size()), "taglib", [&] { tagLibReads(files); }, [&] { ours(files); });
}

// Goal: ratio at least 2.
void BM_ReadTag(benchmark::State& state)
{
    compareWithTagLib(state, readTags);
}

// Goal: ratio at least 1.5.
void BM_ReadTagAndInfo(benchmark::State& state)
{
    compareWithTagLib(state, readTagsAndInfo);
}

}  // namespace

BENCHMARK(BM_ReadTag)->Arg(1000)->Arg(5000)->Arg(20000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadTagAndInfo)->Arg(1000)->Arg(5000)->Arg(20000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
