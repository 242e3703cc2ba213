// The bulk tag change as a user runs it: "Genre" chosen in the category tree, 500 songs
// selected, a new genre saved (`TfrmTagAll::SaveTagAll`: read, change, write and let events
// run, file by file), against TagLib setting the same genre in the ID3v2 and ID3v1 tags of
// the same files in the same run. The files are sparse copies of the first 500 songs of the
// realistic 1,000-song folder of bench/make_fixture.py (3-10 MB, ID3v2.3 and 2.4 tags by
// mutagen, a third with cover art), warm cache, with nothing left to write back before
// either side starts; each run gives both a genre of the same length that the files do not
// hold yet. Our side ends with the files on disk (one flush); TagLib leaves them in the
// page cache.
//
// Counters, as median with _min/_max spread of 5 alternating runs: `ours_files_per_s`,
// `taglib_files_per_s` and `ratio` = ours / TagLib in files per second.
// Goal: ratio at least 0.5.
#include "tags/forms/TagDialogHost.h"
#include "tags/libID3Tag.h"
#include "tags/forms/xTagAll.h"
#include "util/libIni.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>

#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace benchsupport;

namespace {

constexpr int Songs = 500;
const char* const Genres[] = {"Jazz", "Funk", "Soul", "Folk", "Punk", "Rock", "Acid", "Club", "Cult", "Duet", "Game", "Rave"};

// The main window as the dialog sees it: the songs selected in the music list, nothing
// playing, every question answered yes.
struct BenchHost : TTagDialogHost {
    std::vector<std::pair<int, std::string>> rows;
    std::string EngineFileName() const override { return {}; }
    std::string EnginePlayStatus() const override { return "stop"; }
    int Gauge1Percent() const override { return 0; }
    void EngineCloseFile() override {}
    void EngineReopen(const std::string&, int, const std::string&) override {}
    bool ListHasSelection(int) const override { return false; }
    std::string ListSelectedText(int, int) const override { return {}; }
    void SetListSelectedTexts(int, const std::array<std::string, 6>&) override {}
    std::string CategoryRootText() const override { return "Genre"; }
    std::vector<std::pair<int, std::string>> MusicListSelection() const override { return rows; }
    std::string MusicListRowPath(int Index) const override { return rows[std::size_t(Index)].second; }
    void SetMusicListRowText(int, int, const std::string& Text) override { benchmark::DoNotOptimize(Text.size()); }
    void RefreshMusicList() override {}
    std::string LblMusicCaption() const override { return {}; }
    void SetLblMusicCaption(const std::string&) override {}
    std::string Mp3Path() const override { return {}; }
    int MsgBoxEx(QWidget*, const std::string&, const std::string& Text, int, const std::string&,
                 const std::string&) override
    {
        if (Text.find("保存できません") != std::string::npos)
            throw std::runtime_error("a tag could not be saved");
        return 6;
    }
    void SetDirMonActive(bool) override {}
    QWidget* MainWindow() const override { return nullptr; }
};

std::vector<std::string> copiesOfTheFolder(const QString& into)
{
    const QDir folder(QString::fromStdString(fixtureFolder(1000, {1000})));
    std::vector<std::string> files;
    for (const QString& name : folder.entryList({"*.mp3"}, QDir::Files, QDir::Name).mid(0, Songs)) {
        const QString copy = into + "/" + name;
        if (!run("cp", {"--sparse=always", folder.filePath(name), copy}))
            throw std::runtime_error("cannot copy the benchmark songs");
        files.push_back(copy.toStdString());
    }
    if (files.size() != std::size_t(Songs))
        throw std::runtime_error("the benchmark folder is incomplete");
    return files;
}

void tagLibSetGenre(const std::vector<std::string>& files, const char* genre)
{
    for (const std::string& path : files) {
        TagLib::MPEG::File f(path.c_str(), false);
        TagLib::ID3v2::Tag* v2 = f.ID3v2Tag(true);
        const auto version = v2->header()->majorVersion() == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
        v2->setGenre(genre);
        f.ID3v1Tag(true)->setGenre(genre);
        if (!f.save(TagLib::MPEG::File::AllTags, TagLib::File::StripNone, version))
            throw std::runtime_error("TagLib cannot save " + path);
    }
}

void oursSetGenre(BenchHost& host, const char* genre)
{
    TfrmTagAll dialog(host);
    dialog.show();
    dialog.Edit2->setText(QString::fromLatin1(genre));
    dialog.SaveTagAll();
}

void BM_BulkGenreChange(benchmark::State& state)
{
    QTemporaryDir scratch;
    IniBase = (scratch.path() + "/Tambourelle").toStdString();
    QDir().mkpath(scratch.path() + "/songs");
    SetupTagObjects(true);
    BenchHost host;
    const std::vector<std::string> files = copiesOfTheFolder(scratch.path() + "/songs");
    for (std::size_t i = 0; i < files.size(); ++i)
        host.rows.emplace_back(int(i), files[i]);
    // Both once, so that each run changes genres of equal length in files in the page cache.
    tagLibSetGenre(files, "Beat");
    oursSetGenre(host, "Bass");
    std::size_t next = 0;
    compareFileRates(
        state, double(files.size()), "taglib", [&] { tagLibSetGenre(files, Genres[next++ % std::size(Genres)]); },
        [&] { oursSetGenre(host, Genres[next++ % std::size(Genres)]); },
        // Neither side pays for writing back what the other left in the page cache.
        [] { ::sync(); });
    SetupTagObjects(false);
}

}  // namespace

BENCHMARK(BM_BulkGenreChange)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) { return benchsupport::runOffscreen<QApplication>(argc, argv); }
