#include "app/DirMon.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QThread>
#include <QtCore/qtestsupport_core.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <sys/inotify.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

constexpr int WaitMs = 20000;

// inotify records as the kernel lays them out, for the decoder.
struct Records {
    std::string bytes;
    Records& add(int wd, std::uint32_t mask, const std::string& name, std::uint32_t cookie = 0)
    {
        const std::uint32_t len = name.empty() ? 0 : (name.size() + 16) / 16 * 16;
        inotify_event ev{wd, mask, cookie, len};
        bytes.append(reinterpret_cast<const char*>(&ev), sizeof ev);
        std::string padded = name;
        padded.resize(len, '\0');
        bytes += padded;
        return *this;
    }
};

std::string describe(const TDirChange& c)
{
    static const char* kinds[] = {"C ", "D ", "M ", "R ", "O", "E"};
    std::string s = kinds[c.Action] + c.FileName;
    if (c.Action == dcRenamed)
        s += ">" + c.NewName;
    if (c.Moved)
        s += " (moved)";
    if (c.Action == dcError && c.Stopped)
        s += " stopped";
    return s;
}

std::vector<std::string> decode(TDirChangeDecoder& d, const Records& r)
{
    std::vector<TDirChange> out;
    d.Decode(r.bytes.data(), r.bytes.size(), out);
    std::vector<std::string> s;
    for (const TDirChange& c : out)
        s.push_back(describe(c));
    return s;
}

using Log = std::vector<std::string>;

// Records every event of a monitor as "C name", "D name", "M name", "R old>new", "O", "E".
struct Recorder {
    Log log;
    bool offThread = false;

    void attach(TDirMon& mon, bool withModified = false)
    {
        auto note = [this](std::string s) {
            offThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
            log.push_back(std::move(s));
        };
        mon.OnCreated = [note](TDirMon*, const std::string& n) { note("C " + n); };
        mon.OnDeleted = [note](TDirMon*, const std::string& n) { note("D " + n); };
        if (withModified)
            mon.OnModified = [note](TDirMon*, const std::string& n) { note("M " + n); };
        mon.OnRenamed = [note](TDirMon*, const std::string& a, const std::string& b) {
            note("R " + a + ">" + b);
        };
        mon.OnOverflow = [note](TDirMon*) { note("O"); };
        mon.OnError = [note](TDirMon*, const std::string&) { note("E"); };
    }
    bool has(const std::string& s) const { return std::find(log.begin(), log.end(), s) != log.end(); }
    bool waitFor(const std::string& s) { return QTest::qWaitFor([&] { return has(s); }, WaitMs); }
};

void touch(const std::string& path, const std::string& text = "x")
{
    writeFile(path, text);
}

}  // namespace

TEST(DirMonDecoder, DecodesABatchInOrderAndJoinsRenamesByCookie)
{
    TDirChangeDecoder d;
    d.SetRoot(1);
    d.SetFolder(2, "sub");
    Records r;
    r.add(1, IN_CREATE, "a.mp3")
        .add(1, IN_MODIFY, "a.mp3")
        .add(1, IN_MOVED_FROM, "b.mp3", 7)
        .add(2, IN_MOVED_TO, "c.mp3", 7)
        .add(1, IN_DELETE | IN_ISDIR, "old")
        .add(1, IN_MOVED_FROM, "gone.mp3", 8)   // moved out: no partner follows
        .add(1, IN_CREATE, "gone.mp3")
        .add(1, IN_MOVED_TO, "came.mp3", 9)     // moved in: no first half
        .add(9, IN_CREATE, "unknown-watch")
        .add(1, IN_OPEN, "ignored.mp3");
    EXPECT_EQ(decode(d, r), (std::vector<std::string>{"C a.mp3", "M a.mp3", "R b.mp3>sub/c.mp3",
                                                      "D old", "D gone.mp3 (moved)", "C gone.mp3",
                                                      "C came.mp3 (moved)"}));
}

TEST(DirMonDecoder, KeepsARenameSplitAcrossReadsAndFlushesAMoveOut)
{
    TDirChangeDecoder d;
    d.SetRoot(1);
    EXPECT_TRUE(decode(d, Records().add(1, IN_MOVED_FROM, "x", 3)).empty());
    EXPECT_TRUE(d.HasPendingMove());
    EXPECT_EQ(decode(d, Records().add(1, IN_MOVED_TO, "y", 3)),
              (std::vector<std::string>{"R x>y"}));

    decode(d, Records().add(1, IN_MOVED_FROM, "z", 4));
    std::vector<TDirChange> out;
    d.Flush(out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(describe(out[0]), "D z (moved)");
    EXPECT_FALSE(d.HasPendingMove());
}

// Records that follow a folder's rename or move-out in the same read already belong to
// the folder's new place.
TEST(DirMonDecoder, FolderRenamesAndMovesOutTakeEffectWithinARead)
{
    TDirChangeDecoder d;
    d.SetRoot(1);
    d.SetFolder(2, "a");
    d.SetFolder(3, "a/b");
    d.SetFolder(4, "ab");
    Records r;
    r.add(1, IN_MOVED_FROM | IN_ISDIR, "a", 3)
        .add(1, IN_MOVED_TO | IN_ISDIR, "z", 3)
        .add(3, IN_CREATE, "f")
        .add(1, IN_MOVED_FROM | IN_ISDIR, "z", 4)
        .add(4, IN_CREATE, "kept")
        .add(2, IN_CREATE, "outside");
    EXPECT_EQ(decode(d, r), (std::vector<std::string>{"R a>z", "C z/b/f", "D z (moved)", "C ab/kept"}));
    std::vector<int> dropped = d.TakeDroppedWatches();
    std::sort(dropped.begin(), dropped.end());
    EXPECT_EQ(dropped, (std::vector<int>{2, 3}));
}

TEST(DirMonDecoder, ReportsOverflowLossOfTheFolderAndSurvivesTruncatedRecords)
{
    TDirChangeDecoder d;
    d.SetRoot(1);
    d.SetFolder(2, "sub");
    Records r;
    r.add(1, IN_MOVED_FROM, "half", 5).add(-1, IN_Q_OVERFLOW, "").add(1, IN_CREATE, "after");
    EXPECT_EQ(decode(d, r), (std::vector<std::string>{"O", "C after"}));

    // A sub-folder's watch ending is routine; the watched folder's own is not, and is told once.
    Records gone;
    gone.add(2, IN_IGNORED, "").add(2, IN_CREATE, "late").add(1, IN_DELETE_SELF, "").add(1, IN_IGNORED, "");
    EXPECT_EQ(decode(d, gone), (std::vector<std::string>{"E stopped"}));

    TDirChangeDecoder t;
    t.SetRoot(1);
    Records cut;
    cut.add(1, IN_CREATE, "whole").add(1, IN_CREATE, "a-long-name-that-is-cut");
    for (std::size_t n = 0; n < cut.bytes.size(); ++n) {
        std::vector<TDirChange> out;
        t.Decode(cut.bytes.data(), n, out);
        EXPECT_LE(out.size(), 1u);
    }
}

TEST(DirMon, ReportsFileOperationsOnTheUserInterfaceThread)
{
    TempDir dir, other;
    TDirMon mon;
    Recorder rec;
    rec.attach(mon, true);
    mon.SetPath(dir.path());
    EXPECT_EQ(mon.Path(), dir.path() + "/");
    mon.SetActive(true);
    ASSERT_TRUE(mon.Active());

    touch(dir.file("a.mp3"));
    ASSERT_TRUE(rec.waitFor("C a.mp3"));
    ASSERT_TRUE(rec.waitFor("M a.mp3"));
    fs::rename(dir.file("a.mp3"), dir.file("b.mp3"));
    ASSERT_TRUE(rec.waitFor("R a.mp3>b.mp3"));
    touch(other.file("in.mp3"));
    fs::rename(other.file("in.mp3"), dir.file("in.mp3"));
    ASSERT_TRUE(rec.waitFor("C in.mp3"));
    fs::rename(dir.file("in.mp3"), other.file("out.mp3"));
    ASSERT_TRUE(rec.waitFor("D in.mp3"));
    fs::remove(dir.file("b.mp3"));
    ASSERT_TRUE(rec.waitFor("D b.mp3"));
    fs::create_directory(dir.file("folder"));   // default filters watch folder names too
    ASSERT_TRUE(rec.waitFor("C folder"));

    // Order as made; each name appears with the right event.
    const Log expected{"C a.mp3", "R a.mp3>b.mp3", "C in.mp3", "D in.mp3", "D b.mp3", "C folder"};
    Log names;
    std::copy_if(rec.log.begin(), rec.log.end(), std::back_inserter(names),
                 [](const std::string& s) { return s[0] != 'M'; });
    EXPECT_EQ(names, expected);
    EXPECT_FALSE(rec.offThread);
}

TEST(DirMon, PathAndActivationRules)
{
    TempDir dir;
    TDirMon mon;
    EXPECT_THROW(mon.SetActive(true), EDirMonError);   // no folder yet
    EXPECT_FALSE(mon.Active());
    mon.SetPath(dir.path() + "/");
    mon.SetPath(dir.file("missing"));
    EXPECT_EQ(mon.Path(), dir.path() + "/");

    mon.WatchFilters.clear();
    mon.SetActive(true);
    EXPECT_FALSE(mon.Active());

    // Only file names: folders come and go unreported; the main window's wiring (created
    // and deleted only) hears nothing of a rename.
    mon.WatchFilters = {nfFILE_NAME};
    Recorder rec;
    mon.OnCreated = [&](TDirMon*, const std::string& n) { rec.log.push_back("C " + n); };
    mon.OnDeleted = [&](TDirMon*, const std::string& n) { rec.log.push_back("D " + n); };
    mon.SetActive(true);
    fs::create_directory(dir.file("skip"));
    touch(dir.file("r1"));
    fs::rename(dir.file("r1"), dir.file("r2"));
    touch(dir.file("last"));
    ASSERT_TRUE(rec.waitFor("C last"));
    EXPECT_EQ(rec.log, (Log{"C r1", "C last"}));

    // Moving the watch to another folder while active.
    TempDir second;
    mon.SetPath(second.path());
    EXPECT_TRUE(mon.Active());
    touch(dir.file("old-folder"));
    touch(second.file("new-folder"));
    ASSERT_TRUE(rec.waitFor("C new-folder"));
    EXPECT_FALSE(rec.has("C old-folder"));

    // A folder whose name is not UTF-8 (from an old archive) is watched by that very name.
    const std::string odd = second.file("caf\xe9 \x83\x65");
    fs::create_directory(odd);
    mon.SetPath(odd);
    EXPECT_EQ(mon.Path(), odd + "/");
    touch(odd + "/in-odd");
    EXPECT_TRUE(rec.waitFor("C in-odd"));
}

TEST(DirMon, BurstOfThousandsOfFilesArrivesComplete)
{
    TempDir dir;
    TDirMon mon;
    std::set<std::string> created, deleted;
    bool overflow = false;
    mon.OnCreated = [&](TDirMon*, const std::string& n) { created.insert(n); };
    mon.OnDeleted = [&](TDirMon*, const std::string& n) { deleted.insert(n); };
    mon.OnOverflow = [&](TDirMon*) { overflow = true; };
    mon.SetPath(dir.path());
    mon.SetActive(true);
    constexpr int count = 4000;
    for (int i = 0; i < count; ++i)
        touch(dir.file("f" + std::to_string(i) + ".wav"));
    for (int i = 0; i < count; i += 2)
        fs::remove(dir.file("f" + std::to_string(i) + ".wav"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return overflow || deleted.size() == count / 2; }, WaitMs));
    if (overflow)
        GTEST_SKIP() << "the kernel's queue overflowed; the overflow path is tested below";
    EXPECT_EQ(created.size(), std::size_t(count));
    EXPECT_TRUE(created.contains("f3999.wav") && deleted.contains("f3998.wav"));
}

// A user-interface thread that is busy while changes pile up gets one overflow instead of
// an unbounded queue, rescans, and hears later changes again.
TEST(DirMon, OverflowIsReportedAndWatchingGoesOn)
{
    TempDir dir;
    TDirMon mon;
    Recorder rec;
    rec.attach(mon);
    mon.MaxQueuedChanges = 1;
    mon.SetPath(dir.path());
    mon.SetActive(true);
    // No events are handled here, so the burst waits in the queue whatever the timing.
    for (int i = 0; i < 500; ++i)
        touch(dir.file("burst" + std::to_string(i)));
    ASSERT_TRUE(rec.waitFor("O"));
    EXPECT_EQ(rec.log.front(), "O");
    EXPECT_LT(std::count_if(rec.log.begin(), rec.log.end(),
                            [](const std::string& s) { return s[0] == 'C'; }),
              500);
    mon.MaxQueuedChanges = 65536;
    // The watcher may still be reading the rest of the burst, which can overflow the queue
    // once more before the next drain and take a change made now into that overflow (the
    // caller's rescan then finds it). Once the burst is through, changes arrive one by one.
    const auto overflows = [&] { return std::count(rec.log.begin(), rec.log.end(), "O"); };
    bool heard = false;
    for (int attempt = 0; attempt < 5 && !heard; ++attempt) {
        const auto before = overflows();
        const std::string name = "after" + std::to_string(attempt);
        touch(dir.file(name));
        ASSERT_TRUE(QTest::qWaitFor([&] { return rec.has("C " + name) || overflows() > before; }, WaitMs)) << name;
        heard = rec.has("C " + name);
    }
    EXPECT_TRUE(heard);
    EXPECT_TRUE(mon.Active());
}

TEST(DirMon, SubtreeFollowsFoldersMadeMovedAndRemoved)
{
    TempDir dir, other;
    fs::create_directories(dir.file("old/deep"));
    TDirMon mon;
    Recorder rec;
    rec.attach(mon);
    mon.WatchSubtree = true;
    mon.SetPath(dir.path());
    mon.SetActive(true);

    touch(dir.file("old/deep/x"));
    ASSERT_TRUE(rec.waitFor("C old/deep/x"));

    // Files made in a new folder before its watch exists are reported all the same.
    QDir().mkpath(QString::fromStdString(dir.file("a/b/c")));
    touch(dir.file("a/b/c/f.mp3"));
    ASSERT_TRUE(rec.waitFor("C a/b/c/f.mp3"));
    EXPECT_TRUE(rec.has("C a") && rec.has("C a/b") && rec.has("C a/b/c"));

    fs::rename(dir.file("a"), dir.file("z"));
    ASSERT_TRUE(rec.waitFor("R a>z"));
    touch(dir.file("z/b/c/g.mp3"));
    ASSERT_TRUE(rec.waitFor("C z/b/c/g.mp3"));

    fs::rename(dir.file("z"), other.file("z"));
    ASSERT_TRUE(rec.waitFor("D z"));
    touch(other.file("z/b/outside"));
    touch(dir.file("marker"));
    ASSERT_TRUE(rec.waitFor("C marker"));
    EXPECT_FALSE(rec.has("C z/b/outside"));
}

TEST(DirMon, LosingTheWatchedFolderStopsWithAnError)
{
    auto dir = std::make_unique<TempDir>();
    const std::string path = dir->file("watched");
    fs::create_directory(path);
    TDirMon mon;
    Recorder rec;
    rec.attach(mon);
    mon.SetPath(path);
    mon.SetActive(true);
    fs::remove_all(path);
    ASSERT_TRUE(rec.waitFor("E"));
    EXPECT_FALSE(mon.Active());
}

TEST(DirMon, DestroyingOrStoppingWhileChangesAreInFlight)
{
    TempDir dir;
    {
        // The watcher is reading and a drain is posted when the monitor goes.
        auto mon = std::make_unique<TDirMon>();
        int seen = 0;
        mon->OnCreated = [&](TDirMon*, const std::string&) { ++seen; };
        mon->SetPath(dir.path());
        mon->SetActive(true);
        for (int i = 0; i < 300; ++i)
            touch(dir.file("gone" + std::to_string(i)));
        mon.reset();
        QCoreApplication::processEvents();
        EXPECT_EQ(seen, 0);
    }

    // A handler that deletes the monitor ends the batch; one that stops it likewise.
    TDirMon* mon = new TDirMon;
    int calls = 0;
    mon->OnCreated = [&](TDirMon* sender, const std::string&) {
        ++calls;
        delete sender;
    };
    mon->SetPath(dir.path());
    mon->SetActive(true);
    for (int i = 0; i < 50; ++i)
        touch(dir.file("del" + std::to_string(i)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls > 0; }, WaitMs));
    QTest::qWait(50);
    EXPECT_EQ(calls, 1);

    TDirMon stopper;
    int stops = 0;
    stopper.OnCreated = [&](TDirMon* sender, const std::string&) {
        ++stops;
        sender->SetActive(false);
        throw std::runtime_error("a failing handler stays inside the monitor");
    };
    stopper.SetPath(dir.path());
    stopper.SetActive(true);
    for (int i = 0; i < 50; ++i)
        touch(dir.file("stop" + std::to_string(i)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return stops > 0; }, WaitMs));
    QTest::qWait(50);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(stopper.Active());
}
