// The music library over a generated folder: MP3s made by lame and tagged by our writer (a
// WAV with an ID3v1 tag, a file without any tag, and things that only look like music),
// scanned into the database, the category tree and the music list.
#include "app/SortListView.h"
#include "app/libMusic.h"
#include "support/AudioFixtures.h"
#include "tags/libID3Tag.h"
#include "util/libControl.h"
#include "util/xMessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPixmap>
#include <QTimer>
#include <QTreeWidget>

#include <malloc.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

struct Song {
    std::string file, title, year, genre, artist, album, track;
};

// In name order, which is the scan order. Genres and albums repeat in another letter case;
// two files have no year, one has no tag at all, the WAV's tag is ID3v1 only.
const std::vector<Song> kSongs = {
    {"a song.MP3", "Alpha", "2001", "rock", "bob", "Two", "1"},
    {"b song.mp3", "Beta", "1999", "Rock", "Ann", "One", "2"},
    {"Cee.mp3", "", "", "Jazz", "Ann", "one", ""},
    {"d.wav", "Delta", "1999", "Vocal", "Cat", "Two", ""},
    {"Eee.mp3", "", "", "", "", "", ""},
};

std::string shownTitle(const Song& s)
{
    return s.title.empty() ? s.file : s.title;
}

class MusicLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        SetupTagObjects(true);
        source_ = std::make_unique<TempDir>();
        mp3_ = makeMp3(*source_, "tone.mp3", 8000, 1, 0.2, {"-b", "32"});
        wav_ = makePcm(*source_, "tone.wav", 8000, 1, 16, 0.1);
    }
    static void TearDownTestSuite() { source_.reset(); }

    void SetUp() override
    {
        for (const Song& s : kSongs)
            addSong(dir, s);
        // Things the scan must pass over.
        writeFile(dir.file("notes.txt"), "text");
        fs::copy_file(mp3_, dir.file("data.mp"));
        fs::copy_file(mp3_, dir.file("x.mp3.bak"));
        fs::create_directory(dir.file("folder.mp3"));
        fs::copy_file(mp3_, dir.file("folder.mp3/inner.mp3"));

        for (int c = 0; c < 9; ++c)
            lstMP3.AddColumn("", 50);
        for (int c = 0; c < 9; ++c)
            lstFile.AddColumn("", 50);
        for (TSortListView* list : {&lstMP3, &lstFile}) {
            list->SetAutoColumnSort(acsSortToggle);
            list->AutoResort = false;
            list->CancelSort = 1;
        }
        lib.trrGenre = &trrGenre;
        lib.lstMP3 = &lstMP3;
        lib.lstFile = &lstFile;
        lib.spdAllCopy = &spdAllCopy;
        lib.ShuffleChecked = [this] { return shuffle; };
        lib.ShufflePlaylist = [this] { ++shuffles; };
        lib.FitListColumns = [this](TSortListView* list) { fitted.push_back(list); };
    }

    static void addSong(const TempDir& where, const Song& s)
    {
        const std::string path = where.file(s.file);
        fs::copy_file(s.file == "d.wav" ? wav_ : mp3_, path);
        if (s.file == "Eee.mp3")
            return;
        ClearTag();
        CurrentTag.Title = s.title;
        CurrentTag.Year = s.year;
        CurrentTag.Genre = s.genre;
        CurrentTag.Artist = s.artist;
        CurrentTag.Album = s.album;
        CurrentTag.Track = s.track;
        ASSERT_TRUE(WriteTag(path)) << s.file;
    }

    // The music list's rows as (No., title, artist, album, year, genre, track, path).
    static std::vector<std::vector<std::string>> rows(const TSortListView& list)
    {
        std::vector<std::vector<std::string>> out;
        for (int i = 0; i < list.Count(); ++i) {
            std::vector<std::string> r;
            for (int n = 0; n < 8; ++n)
                r.push_back(TSortListView::ColumnText(list.Item(i), n));
            out.push_back(r);
        }
        return out;
    }
    static std::vector<std::string> titles(const TSortListView& list)
    {
        std::vector<std::string> out;
        for (const auto& r : rows(list))
            out.push_back(r[1]);
        return out;
    }

    void choose(QTreeWidgetItem* node)
    {
        trrGenre.setCurrentItem(node);
        ASSERT_TRUE(trrGenreChange(lib));
    }

    static inline std::unique_ptr<TempDir> source_;
    static inline std::string mp3_, wav_;
    TempDir dir;
    QTreeWidget trrGenre;
    TSortListView lstMP3, lstFile;
    QWidget spdAllCopy;
    TMusicLibrary lib;
    bool shuffle = false;
    int shuffles = 0;
    std::vector<TSortListView*> fitted;
};

TEST_F(MusicLibraryTest, ScanFillsTheDatabaseTreeAndMusicList)
{
    ASSERT_TRUE(LoadMusicFolder(lib, dir.path()));

    // One row per music file in name order; folders and other names are passed over.
    ASSERT_EQ(lib.sgdMusic.RowCount(), static_cast<int>(kSongs.size()));
    for (int i = 0; i < lib.sgdMusic.RowCount(); ++i) {
        const Song& s = kSongs[static_cast<std::size_t>(i)];
        const std::vector<std::string> expected = {s.title, s.year, s.genre, s.artist, s.album, s.track,
                                                   dir.file(s.file), "1"};
        for (int c = 0; c < MusicColumnCount; ++c)
            EXPECT_EQ(lib.sgdMusic.Rows(i)[c], expected[std::size_t(c)]) << s.file << " column " << c;
    }

    // Five roots with their images; children sorted, one per value without regard to case
    // (the first spelling met), the empty value included.
    const std::vector<std::pair<std::string, std::vector<std::string>>> tree = {
        {"Title", {}},
        {"Year", {"", "1999", "2001"}},
        {"Genre", {"", "Jazz", "rock", "Vocal"}},
        {"Artist", {"", "Ann", "bob", "Cat"}},
        {"Album", {"", "One", "Two"}},
    };
    ASSERT_EQ(trrGenre.topLevelItemCount(), 5);
    for (int r = 0; r < 5; ++r) {
        QTreeWidgetItem* root = trrGenre.topLevelItem(r);
        EXPECT_EQ(root->text(0).toStdString(), tree[r].first);
        EXPECT_EQ(root->data(0, ImageIndexRole).toInt(), 2 * r);
        EXPECT_EQ(root->data(0, SelectedIndexRole).toInt(), 2 * r);
        std::vector<std::string> children;
        for (int c = 0; c < root->childCount(); ++c) {
            children.push_back(root->child(c)->text(0).toStdString());
            EXPECT_EQ(root->child(c)->data(0, ImageIndexRole).toInt(), 2 * r);
            EXPECT_EQ(root->child(c)->data(0, SelectedIndexRole).toInt(), 2 * r + 1);
        }
        EXPECT_EQ(children, tree[r].second) << tree[r].first;
    }

    // "Title" is selected and lists every file, sorted by title, numbered, the first focused.
    EXPECT_EQ(trrGenre.currentItem(), trrGenre.topLevelItem(0));
    const auto listed = rows(lstMP3);
    ASSERT_EQ(listed.size(), kSongs.size());
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const Song& s = kSongs[i];  // the titles are in name order too
        EXPECT_EQ(listed[i], (std::vector<std::string>{std::to_string(i + 1), shownTitle(s),
                                                       s.artist, s.album, s.year, s.genre, s.track,
                                                       dir.file(s.file)}));
    }
    EXPECT_EQ(lstMP3.currentItem(), lstMP3.Item(0));
    EXPECT_TRUE(lstMP3.Item(0)->isSelected());
    EXPECT_EQ(lstMP3.LastColumnClicked(), 2);
    EXPECT_EQ(std::count(fitted.begin(), fitted.end(), &lstMP3), 1);
    EXPECT_FALSE(lib.Busy());
}

TEST_F(MusicLibraryTest, EveryCategoryShownListsItsRowsWhateverTheirLetterCase)
{
    ASSERT_TRUE(LoadMusicFolder(lib, dir.path()));
    const int columns[] = {mcYear, mcGenre, mcArtist, mcAlbum};
    for (int r = 1; r < 5; ++r) {
        QTreeWidgetItem* root = trrGenre.topLevelItem(r);
        std::multiset<std::string> seen;
        for (int c = 0; c < root->childCount(); ++c) {
            choose(root->child(c));
            const std::string value = root->child(c)->text(0).toStdString();
            std::multiset<std::string> expected;
            for (const Song& s : kSongs) {
                const std::string cell(lib.sgdMusic.Cells(columns[r - 1], static_cast<int>(&s - &kSongs[0])));
                if (QString::fromStdString(cell).compare(QString::fromStdString(value),
                                                         Qt::CaseInsensitive) == 0)
                    expected.insert(shownTitle(s));
            }
            const auto got = titles(lstMP3);
            EXPECT_FALSE(got.empty()) << root->text(0).toStdString() << " / " << value;
            EXPECT_EQ(std::multiset<std::string>(got.begin(), got.end()), expected) << value;
            seen.insert(got.begin(), got.end());
        }
        // Each file is under exactly one child of each root.
        EXPECT_EQ(seen.size(), kSongs.size()) << root->text(0).toStdString();
        EXPECT_EQ(std::set<std::string>(seen.begin(), seen.end()).size(), kSongs.size());
    }
    // Some by hand: both spellings of the genre; the files without a year.
    choose(trrGenre.topLevelItem(2)->child(2));
    EXPECT_EQ(titles(lstMP3), (std::vector<std::string>{"Alpha", "Beta"}));
    choose(trrGenre.topLevelItem(1)->child(0));
    EXPECT_EQ(titles(lstMP3), (std::vector<std::string>{"Cee.mp3", "Eee.mp3"}));

    // A root other than "Title" shows nothing and disables copying all; "Title" shows all.
    spdAllCopy.setEnabled(true);
    choose(trrGenre.topLevelItem(1));
    EXPECT_EQ(lstMP3.Count(), 0);
    EXPECT_FALSE(spdAllCopy.isEnabled());
    choose(trrGenre.topLevelItem(0));
    EXPECT_EQ(lstMP3.Count(), static_cast<int>(kSongs.size()));
}

TEST_F(MusicLibraryTest, FilterCodesAndTheFlagColumn)
{
    TCategoryList y, g, ar, al;
    ScanMusicFolder(lib.sgdMusic, dir.path(), y, g, ar, al);
    for (int i = 0; i < lib.sgdMusic.RowCount(); ++i)
        EXPECT_EQ(lib.sgdMusic.Cells(mcShown, i), "0");
    FilterMusicGrid(lib.sgdMusic, "ROCK", mcatGenre);
    std::string flags;
    for (int i = 0; i < lib.sgdMusic.RowCount(); ++i)
        flags += lib.sgdMusic.Cells(mcShown, i);
    EXPECT_EQ(flags, "11000");
    FilterMusicGrid(lib.sgdMusic, "ann", mcatArtist);
    FilterMusicGrid(lib.sgdMusic, "x", 5);  // no such category: nothing changes
    FilterMusicGrid(lib.sgdMusic, "x", -1);
    flags.clear();
    for (int i = 0; i < lib.sgdMusic.RowCount(); ++i)
        flags += lib.sgdMusic.Cells(mcShown, i);
    EXPECT_EQ(flags, "01100");
    FilterMusicGrid(lib.sgdMusic, "whatever", mcatAll);
    EXPECT_TRUE(lib.sgdMusic.Shown(4));
    EXPECT_EQ(g.Items(), (std::vector<std::string>{"", "Jazz", "rock", "Vocal"}));
    EXPECT_TRUE(SameCategory("Ｒｏｃｋ", "ｒｏｃｋ"));  // full-width letters have case too
    EXPECT_FALSE(SameCategory("Rock", "Rock "));
    // The folder named with its closing slash gives the same paths.
    const std::string path = std::string(lib.sgdMusic.Cells(mcPath, 0));
    EXPECT_EQ(path.find("//"), std::string::npos);
    ScanMusicFolder(lib.sgdMusic, dir.path() + "/", y, g, ar, al);
    EXPECT_EQ(lib.sgdMusic.Cells(mcPath, 0), path);
}

// The tree's nodes keep their images and value through a change of one of them, which the
// view is told of, and through a copy of a root with its children.
TEST_F(MusicLibraryTest, CategoryNodesKeepTheirImagesAndValueWhenChangedOrCopied)
{
    ASSERT_TRUE(LoadMusicFolder(lib, dir.path()));
    QTreeWidgetItem* genres = trrGenre.topLevelItem(2);
    QTreeWidgetItem* rock = genres->child(2);
    ASSERT_EQ(rock->text(0).toStdString(), "rock");
    int changes = 0;
    QObject::connect(trrGenre.model(), &QAbstractItemModel::dataChanged, [&] { ++changes; });
    rock->setData(0, SelectedIndexRole, 9);
    rock->setData(0, SelectedIndexRole, 9);  // no change
    rock->setData(0, Qt::ToolTipRole, "tip");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(rock->data(0, SelectedIndexRole).toInt(), 9);
    EXPECT_EQ(rock->data(0, ImageIndexRole).toInt(), 4);
    EXPECT_EQ(rock->data(0, Qt::ToolTipRole).toString(), "tip");

    const std::unique_ptr<QTreeWidgetItem> copy(genres->clone());
    ASSERT_EQ(copy->childCount(), genres->childCount());
    EXPECT_EQ(copy->text(0), "Genre");
    EXPECT_EQ(copy->data(0, ImageIndexRole).toInt(), 4);
    EXPECT_FALSE(copy->data(0, CategoryValueRole).isValid());
    const QTreeWidgetItem* copied = copy->child(2);
    EXPECT_EQ(copied->text(0), "rock");
    EXPECT_EQ(copied->data(0, SelectedIndexRole).toInt(), 9);
    EXPECT_EQ(copied->data(0, CategoryValueRole).toByteArray(), "rock");
    EXPECT_EQ(copied->data(0, Qt::ToolTipRole).toString(), "tip");
}

TEST_F(MusicLibraryTest, MissingOrEmptyFolderGivesBareRootsAndOneEmptyRow)
{
    TempDir empty;
    fs::create_directory(empty.file("a.mp3"));
    for (const std::string& folder : {empty.path(), empty.file("missing")}) {
        ASSERT_TRUE(LoadMusicFolder(lib, dir.path()));
        ASSERT_TRUE(LoadMusicFolder(lib, folder));
        EXPECT_EQ(lib.sgdMusic.RowCount(), 1);
        for (int c = 0; c < mcShown; ++c)
            EXPECT_EQ(lib.sgdMusic.Cells(c, 0), "");
        ASSERT_EQ(trrGenre.topLevelItemCount(), 5);
        for (int r = 0; r < 5; ++r)
            EXPECT_EQ(trrGenre.topLevelItem(r)->childCount(), 0);
        EXPECT_EQ(lstMP3.Count(), 0);
    }
}

TEST_F(MusicLibraryTest, ListMusicFilesTakesWholeExtensionsOfFilesOnly)
{
    fs::create_directory_symlink(dir.file("folder.mp3"), dir.file("to folder.wav"));
    fs::create_symlink(dir.file("d.wav"), dir.file("to file.wav"));
    fs::create_symlink(dir.file("gone.wav"), dir.file("dangling.wav"));
    std::vector<std::string> names{"kept"};
    ListMusicFiles(names, dir.path() + "/");
    std::vector<std::string> expected{"kept"};
    for (const Song& s : kSongs)
        expected.push_back(s.file);
    // Links count as what they lead to; one that leads nowhere is no folder.
    expected.insert(expected.begin() + 5, "dangling.wav");
    expected.push_back("to file.wav");
    EXPECT_EQ(names, expected);
}

// Names sort without regard to case (Unicode's folding, full-width letters included), names
// that fold alike by their bytes, so that they keep one order on every system; names that
// share more than their first 8 bytes part where they differ.
TEST(ListMusicFiles, NamesSortByTheirFoldedFormsThenByTheirBytes)
{
    TempDir dir;
    const std::vector<std::string> expected = {
        "_x.mp3", "ALPHA.mp3", "Alpha.mp3", "alpha.mp3", "alphabet soup 1.mp3", "alphabet soup 10.mp3",
        "Alphabet soup 2.mp3", "eve.WAV", "Zeta.mp3", "Émile.mp3", "émile.mp3", "ＦＵＬＬ.mp3", "ｆｕｌｌ.mp3"};
    // Made in another order than the expected one; a name that is not music is left out.
    for (auto name = expected.rbegin(); name != expected.rend(); ++name)
        std::ofstream(dir.file(*name)).put('x');
    std::ofstream(dir.file("alpha.txt")).put('x');
    std::vector<std::string> names;
    ListMusicFiles(names, dir.path());
    EXPECT_EQ(names, expected);

    // A folder of hundreds: names that share their first 8 folded bytes, in runs of all
    // lengths, and names that differ only in case.
    TempDir many;
    std::vector<std::string> made;
    for (int n = 0; n < 700; ++n) {
        const std::string number = std::to_string(n * 7919 % 1000);
        made.push_back((n % 3 == 0 ? "Track " : n % 3 == 1 ? "track " : "TRACK-") + number + ".mp3");
        made.push_back("t" + number + ".mp3");
    }
    std::sort(made.begin(), made.end());
    made.erase(std::unique(made.begin(), made.end()), made.end());
    for (const std::string& name : made)
        std::ofstream(many.file(name)).put('x');
    const auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        return s;
    };
    std::sort(made.begin(), made.end(), [&](const std::string& a, const std::string& b) {
        return std::pair(lower(a), a) < std::pair(lower(b), b);
    });
    names.clear();
    ListMusicFiles(names, many.path());
    EXPECT_EQ(names, made);
}

// A listing hands events to the loop as it goes, and an event may list another folder on the
// same thread: each listing reads its own entries whole.
TEST(ListMusicFiles, AListingStartedFromAnEventDuringAnotherKeepsBothWhole)
{
    TempDir outer, inner;
    std::vector<std::string> outerMade, innerMade;
    for (int n = 0; n < 300; ++n) {
        outerMade.push_back("outer song " + std::to_string(1000 + n) + ".mp3");
        innerMade.push_back("inner " + std::to_string(1000 + n) + ".wav");
        std::ofstream(outer.file(outerMade.back())).put('x');
        std::ofstream(inner.file(innerMade.back())).put('x');
    }
    std::vector<std::string> outerNames, innerNames;
    QMetaObject::invokeMethod(
        qApp, [&] { ListMusicFiles(innerNames, inner.path()); }, Qt::QueuedConnection);
    ListMusicFiles(outerNames, outer.path());
    QCoreApplication::processEvents();
    EXPECT_EQ(outerNames, outerMade);
    EXPECT_EQ(innerNames, innerMade);
}

// The first spelling of each category value is kept, however many values there are; a
// value met again, in any letter case, changes nothing; a cleared list starts afresh.
TEST(CategoryList, KeepsTheFirstSpellingOfEveryValueAmongMany)
{
    TCategoryList list;
    std::set<std::string> firsts;
    for (int round = 0; round < 3; ++round)
        for (int v = 0; v < 500; ++v) {
            const std::string value = (v % 2 ? "Artist " : "アーティスト ") + std::to_string(v);
            const std::string spelled = round == 1 ? QString::fromStdString(value).toUpper().toStdString() : value;
            EXPECT_EQ(list.Add(spelled), round == 0) << spelled;
            if (round == 0)
                firsts.insert(value);
        }
    EXPECT_TRUE(list.Add(""));  // an empty value counts as a value
    EXPECT_FALSE(list.Add(""));
    firsts.insert("");
    EXPECT_EQ(list.Count(), 501);
    const std::vector<std::string> items = list.Items();
    EXPECT_EQ(std::set<std::string>(items.begin(), items.end()), firsts);
    EXPECT_TRUE(std::is_sorted(items.begin(), items.end(), [](const std::string& a, const std::string& b) {
        return QString::localeAwareCompare(QString::fromStdString(CategoryKey(a)), QString::fromStdString(CategoryKey(b))) < 0;
    }));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.Add("ARTIST 1"));
    EXPECT_FALSE(list.Add("artist 1"));
    EXPECT_EQ(list.Items(), std::vector<std::string>{"ARTIST 1"});
}

TEST_F(MusicLibraryTest, FillListFillsThePlaylistFromPaths)
{
    const std::vector<std::string> paths = {dir.file("b song.mp3"), dir.file("gone.mp3"),
                                            dir.file("Eee.mp3"), dir.file("a song.MP3")};
    ASSERT_TRUE(FillList(lib, &lstFile, paths, false));
    const auto listed = rows(lstFile);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0], (std::vector<std::string>{"1", "Beta", "Ann", "One", "1999", "Rock", "2",
                                                   dir.file("b song.mp3")}));
    EXPECT_EQ(listed[1], (std::vector<std::string>{"2", "Eee.mp3", "", "", "", "", "",
                                                   dir.file("Eee.mp3")}));
    EXPECT_EQ(titles(lstFile)[2], "Alpha");

    ASSERT_TRUE(FillList(lib, &lstFile, paths, true));
    EXPECT_EQ(titles(lstFile), (std::vector<std::string>{"Alpha", "Beta", "Eee.mp3"}));
    EXPECT_EQ(TSortListView::ColumnText(lstFile.Item(2), 0), "3");
    EXPECT_EQ(shuffles, 0);

    shuffle = true;
    ASSERT_TRUE(FillList(lib, &lstFile, paths, true));
    EXPECT_EQ(shuffles, 1);
    EXPECT_EQ(titles(lstFile), (std::vector<std::string>{"Beta", "Eee.mp3", "Alpha"}));
    ASSERT_TRUE(FillList(lib, &lstFile, {dir.file("gone.mp3")}, true));
    EXPECT_EQ(shuffles, 1);  // nothing to shuffle
    EXPECT_EQ(lstFile.Count(), 0);
}

TEST_F(MusicLibraryTest, VanishedFilesAreSkippedAndTagsAreReadAgain)
{
    ASSERT_TRUE(LoadMusicFolder(lib, dir.path()));
    fs::remove(dir.file("Cee.mp3"));
    choose(trrGenre.topLevelItem(4)->child(1));  // Album "One": Beta and the vanished Cee
    EXPECT_EQ(titles(lstMP3), (std::vector<std::string>{"Beta"}));
    EXPECT_EQ(TSortListView::ColumnText(lstMP3.Item(0), 0), "1");

    ASSERT_TRUE(FillList(lib, &lstFile, {dir.file("a song.MP3"), dir.file("d.wav")}, false));
    ReadTag(dir.file("d.wav"));
    CurrentTag.Title = "Delta 2";
    CurrentTag.Artist = "Dog";
    ASSERT_TRUE(WriteTag(dir.file("d.wav")));
    fs::remove(dir.file("a song.MP3"));
    ASSERT_TRUE(RefreshListTags(lib, &lstFile));
    const auto listed = rows(lstFile);
    EXPECT_EQ(listed[0], (std::vector<std::string>{"1", "a song.MP3", "", "", "", "", "",
                                                   dir.file("a song.MP3")}));
    EXPECT_EQ(listed[1], (std::vector<std::string>{"2", "Delta 2", "Dog", "Two", "1999", "Vocal",
                                                   "", dir.file("d.wav")}));
}

TEST_F(MusicLibraryTest, RequestsMadeWhileAScanRunsWaitForIt)
{
    TempDir other;
    addSong(other, kSongs[1]);
    std::vector<bool> results;
    int bodies = 0;
    lib.UpdateLyricsAndMeter = [&] {
        // Runs at the end of each category change; asks again from inside the first one.
        if (bodies++ == 0) {
            EXPECT_TRUE(lib.Busy());
            results.push_back(LoadMusicFolder(lib, dir.path()));
            results.push_back(LoadMusicFolder(lib, other.path()));  // replaces the one before
            results.push_back(trrGenreChange(lib));
        }
    };
    bool timerRan = false;
    QTimer::singleShot(0, &trrGenre, [&] {
        timerRan = true;
        results.push_back(FillList(lib, &lstFile, {dir.file("Cee.mp3")}, false));
    });
    ASSERT_TRUE(LoadMusicFolder(lib, dir.path()));
    EXPECT_TRUE(timerRan);  // events ran during the scan
    // The playlist is not library work: it filled at once.
    EXPECT_EQ(results, (std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(lstFile.Count(), 1);
    EXPECT_EQ(bodies, 3);  // the first load, the second folder's load, the category change
    EXPECT_EQ(lib.sgdMusic.RowCount(), 1);
    EXPECT_EQ(lib.sgdMusic.Cells(mcPath, 0), other.file("b song.mp3"));
    EXPECT_EQ(titles(lstMP3), (std::vector<std::string>{"Beta"}));
    EXPECT_FALSE(lib.Busy());
}

TEST(MusicTree, RootTextAndDrawing)
{
    QTreeWidget tree;
    auto* root = new QTreeWidgetItem(&tree, QStringList{"Genre"});
    auto* child = new QTreeWidgetItem(root, QStringList{"Rock"});
    auto* grandchild = new QTreeWidgetItem(child, QStringList{"x"});
    EXPECT_EQ(GetRootNodeText(nullptr), "");
    EXPECT_EQ(GetRootNodeText(root), "Genre");
    EXPECT_EQ(GetRootNodeText(grandchild), "Genre");

    // Images 0..5 in distinct colours; the child uses 4 and, selected, 5.
    std::vector<QIcon> images;
    for (int i = 0; i < 6; ++i) {
        QPixmap p(16, 16);
        p.fill(QColor(40 * i, 0, 200));
        images.push_back(QIcon(p));
    }
    child->setData(0, ImageIndexRole, 4);
    child->setData(0, SelectedIndexRole, 5);
    SetupTreeDrawing(&tree, images);
    EXPECT_EQ(tree.editTriggers(), QAbstractItemView::NoEditTriggers);
    tree.resize(200, 120);
    tree.expandAll();
    QWidget other;
    tree.show();
    other.show();
    other.setFocus();
    const auto pixel = [&](QPoint p) {
        return tree.viewport()->grab().toImage().pixelColor(p).rgb() & 0xFFFFFF;
    };
    const QRect r = tree.visualItemRect(child);
    const QPoint icon(r.left() + 10, r.center().y());
    const QPoint background(r.right() - 3, r.center().y());
    EXPECT_EQ(pixel(icon), QColor(160, 0, 200).rgb() & 0xFFFFFF);
    EXPECT_NE(pixel(background), 0x25BA05u);
    tree.setCurrentItem(child);
    EXPECT_FALSE(tree.hasFocus());
    EXPECT_EQ(pixel(background), 0x25BA05u);  // 0x05BA25 as 0x00BBGGRR
    EXPECT_EQ(pixel(icon), QColor(200, 0, 200).rgb() & 0xFFFFFF);
}

TEST(MusicTree, MsgBoxExPassesTheDefaultButtonAsText)
{
    int focused = 0;
    QTimer::singleShot(0, qApp, [&] {
        ASSERT_NE(frmMessageBox, nullptr);
        focused = DefaultButton;
        QWidget* target = frmMessageBox->focusWidget() ? frmMessageBox->focusWidget() : frmMessageBox;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, "\r");
        QApplication::sendEvent(target, &release);
    });
    // The second button ("No" of a yes/no box) has the focus: Enter answers no.
    EXPECT_EQ(MsgBoxEx(nullptr, "お気に入り", "変更されています", 2, "yn", "?"), 7);
    EXPECT_EQ(focused, 2);
    EXPECT_EQ(ButtonMode, 2);
}

}  // namespace

TEST(MusicDatabase, KeepsTheGridShapeAndItsBounds)
{
    TMusicDatabase db;
    EXPECT_EQ(db.RowCount(), 1);
    db.SetRowCount(3);
    db.SetCell(mcArtist, 2, "Ann");
    db.SetRow(2);
    db.SetCell(mcArtist, 3, "beyond");  // dropped
    db.SetCell(MusicColumnCount, 0, "beyond");
    EXPECT_EQ(db.Cells(mcArtist, 2), "Ann");
    EXPECT_EQ(db.Cells(mcArtist, 3), "");
    EXPECT_EQ(db.Cells(-1, 0), "");
    ClearGridRows(db, true);  // the grid routine of the window's own grids
    EXPECT_EQ(db.RowCount(), 1);
    EXPECT_EQ(db.Row(), 0);
    db.SetRowCount(3);
    EXPECT_EQ(db.Cells(mcArtist, 2), "") << "a row dropped comes back empty";
    db.SetRowCount(0);
    EXPECT_EQ(db.RowCount(), 1);
    EXPECT_EQ(db.Cells(mcArtist, 0), "");
}

// Texts short enough to stay in their cells and long ones in the shared buffer, written over
// again and again, copied from cell to cell of the same database and dropped with their rows:
// every cell reads back what was last written into it, and the buffer does not keep the
// texts written over (3 MB in all).
TEST(MusicDatabase, CellsReadBackTheirLastTextsThroughRewritesAndDroppedRows)
{
    const auto heapInUse = [] { return mallinfo2().uordblks + mallinfo2().hblkhd; };
    const std::size_t heapBefore = heapInUse();
    TMusicDatabase db;
    const int rows = 300;
    db.SetRowCount(rows);
    const auto longText = [](int row, int round) {
        return "row " + std::to_string(row) + " round " + std::to_string(round) + std::string(200, 'x');
    };
    for (int row = 0; row < rows; ++row)
        db.SetRowTexts(row, {"", "1999", "Rock", "アーティスト", "ab", "12345", "/music/" + std::to_string(row) + ".mp3", "0"});
    for (int round = 0; round < 40; ++round)
        for (int row = 0; row < rows; ++row) {
            db.SetCell(mcTitle, row, longText(row, round));
            db.SetCell(mcShown, row, round % 2 ? "1" : "0");
        }
    // A text of the database written into another cell, and into its own.
    db.SetCell(mcAlbum, 7, db.Cells(mcTitle, 7));
    db.SetCell(mcTitle, 8, db.Cells(mcTitle, 8));
    db.SetCell(mcGenre, 9, db.Cells(mcYear, 9));
    for (int row = 0; row < rows; ++row) {
        const TMusicDatabase::TRow r = db.Rows(row);
        ASSERT_EQ(r[mcTitle], longText(row, 39)) << row;
        EXPECT_EQ(r[mcYear], "1999");
        EXPECT_EQ(r[mcGenre], row == 9 ? "1999" : "Rock");
        EXPECT_EQ(r[mcArtist], "アーティスト");
        EXPECT_EQ(r[mcAlbum], row == 7 ? longText(7, 39) : "ab");
        EXPECT_EQ(r[mcTrack], "12345");
        EXPECT_EQ(r[mcPath], "/music/" + std::to_string(row) + ".mp3");
        EXPECT_TRUE(db.Shown(row));
        EXPECT_EQ(r[-1], "");
        EXPECT_EQ(r[MusicColumnCount], "");
    }
    EXPECT_EQ(db.Rows(rows)[mcPath], "");

    // Rows dropped and added again: the kept rows keep their texts, the added ones are empty.
    db.SetRowCount(2);
    db.SetRowCount(4);
    EXPECT_EQ(db.Cells(mcTitle, 1), longText(1, 39));
    EXPECT_EQ(db.Cells(mcPath, 1), "/music/1.mp3");
    for (int c = 0; c < MusicColumnCount; ++c)
        EXPECT_EQ(db.Cells(c, 3), "");
    db.AppendRow({longText(4, 0), "", "", "", "", "", "/music/4.mp3", "1"});
    ASSERT_EQ(db.RowCount(), 5);
    EXPECT_EQ(db.Cells(mcTitle, 4), longText(4, 0));
    EXPECT_EQ(db.Cells(mcPath, 4), "/music/4.mp3");
    EXPECT_TRUE(db.Shown(4));
    // Written over long after.
    for (int round = 0; round < 2000; ++round)
        db.SetCell(mcTitle, 0, longText(0, round));
    EXPECT_EQ(db.Cells(mcTitle, 0), longText(0, 1999));
    EXPECT_EQ(db.Cells(mcTitle, 1), longText(1, 39));
    EXPECT_EQ(db.Cells(mcArtist, 1), "アーティスト");
    EXPECT_LT(heapInUse(), heapBefore + 1024 * 1024);
}

// A row written whole from texts of the database itself, its own among them: each cell gets
// the text it was given, though writing the first cells grows the buffer or overwrites a cell
// that a later text was read from.
TEST(MusicDatabase, RowsWrittenFromTheirOwnTextsKeepThem)
{
    TMusicDatabase db;
    db.SetRowCount(2);
    const std::string longTitle = "a title long enough to lie in the buffer";
    db.SetRowTexts(0, {longTitle, "1999", "abc", "", "", "", "/music/a.mp3", "1"});
    const std::string grows(4096, 'g');  // more than the buffer has room for
    db.SetRowTexts(1, {grows, db.Cells(mcTitle, 0), db.Cells(mcPath, 0), "", "", "", "", "0"});
    EXPECT_EQ(db.Cells(mcTitle, 1), grows);
    EXPECT_EQ(db.Cells(mcYear, 1), longTitle);
    EXPECT_EQ(db.Cells(mcGenre, 1), "/music/a.mp3");
    // Two cells of a row trading texts, short and long ones.
    db.SetRowTexts(0, {db.Cells(mcYear, 0), db.Cells(mcTitle, 0), db.Cells(mcPath, 0), db.Cells(mcGenre, 0), "", "",
                       db.Cells(mcArtist, 0), "1"});
    EXPECT_EQ(db.Cells(mcTitle, 0), "1999");
    EXPECT_EQ(db.Cells(mcYear, 0), longTitle);
    EXPECT_EQ(db.Cells(mcGenre, 0), "/music/a.mp3");
    EXPECT_EQ(db.Cells(mcArtist, 0), "abc");
    EXPECT_EQ(db.Cells(mcPath, 0), "");
    const std::string more(8192, 'm');
    db.AppendRow({more, db.Cells(mcYear, 0), db.Cells(mcTitle, 0), db.Cells(mcTitle, 1), "", "", "", "1"});
    ASSERT_EQ(db.RowCount(), 3);
    EXPECT_EQ(db.Cells(mcTitle, 2), more);
    EXPECT_EQ(db.Cells(mcYear, 2), longTitle);
    EXPECT_EQ(db.Cells(mcGenre, 2), "1999");
    EXPECT_EQ(db.Cells(mcArtist, 2), grows);
}
