// The CDDB look-up windows against two loopback servers (primary and fallback) answering by
// the request's command, over a CD player window with a disc image, with scratch settings and
// a scratch system CD database. Pauses run at a tenth of their length.
#include "cd/forms/xCD.h"
#include "cd/forms/xCDDB.h"
#include "cd/forms/xCDDB_INF.h"
#include "cd/forms/xCDDB_MP3.h"
#include "cd/CddbTestServer.h"
#include "platform/sound/MemorySoundDevice.h"
#include "shared/SettingsFixture.h"
#include "support/CdImages.h"
#include "support/LoopbackServer.h"
#include "shared/TaggedSongs.h"
#include "support/WaitFor.h"
#include "tags/libID3Tag.h"
#include "util/MainWindowHost.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTextEdit>

#include <algorithm>
#include <map>

#include <taglib/fileref.h>
#include <taglib/tag.h>

using namespace testsupport;

namespace {

using cddbtest::Answers;
using cddbtest::Fault;
using cddbtest::Server;

const std::string kEntry = "210 rock 0a0b0c03 CD database entry follows\r\n# xmcd\r\n#\r\n# Disc length: 24 seconds\r\n"
                           "DISCID=0a0b0c03\r\nDTITLE=Artist / Album\r\nTTITLE0=One\r\nTTITLE1=Two\r\nTTITLE2=Three\r\n"
                           "EXTD= YEAR: 1998\r\n.\r\n";

class CddbWindowTest : public ::testing::Test {
protected:
    CddbWindowTest()
    {
        InitGenreList();
        TfrmCDDB::PausePercent = 10;
        TfrmCDDB::MsgBoxHook = [this](QWidget*, const std::string&, const std::string& t, int, const std::string&,
                                      const std::string&) {
            boxes.push_back(t);
            return 6;
        };
        IniWriteString(IniBase, "CDPlayer", "CD_DRIVE", writeCdImage(dir, "tones", kTones));
        cd = std::make_unique<TfrmCD>(nullptr, sound, clock);
        cd->OpenCddbWindow = [] {};
        cd->show();
        QCoreApplication::processEvents();
    }
    ~CddbWindowTest() override
    {
        TfrmCDDB::PausePercent = 100;
        TfrmCDDB::MsgBoxHook = nullptr;
    }
    void servers(Server& primary, Server* fallback = nullptr)
    {
        IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER", primary.host());
        IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER2", fallback ? fallback->host() : primary.host());
    }
    // Shows the window and records its status texts and the servers its status bar named.
    std::unique_ptr<TfrmCDDB> open(int readTimeoutMs = 0)
    {
        auto w = std::make_unique<TfrmCDDB>(nullptr, cd.get());
        if (readTimeoutMs)
            w->NMHTTP1.ReadTimeoutMs = readTimeoutMs;
        QObject::connect(w->StatusBar1, &QStatusBar::messageChanged, [this, l = w->lblServer](const QString& m) {
            statuses.push_back(m.toStdString());
            const std::string server = l->text().trimmed().toStdString();
            if (!server.empty() && (named.empty() || named.back() != server))
                named.push_back(server);
        });
        w->show();
        return w;
    }
    bool closes(TfrmCDDB& w, int ms = 5000) { return waitFor([&] { return !w.isVisible(); }, ms); }
    bool stored()
    {
        std::string artist, category, genre, date, title;
        std::vector<std::string> tracks;
        return TCDPlayer::ReadCdPlayerIni(cd->CDPlayer1->GetMediaIdentity(), artist, tracks, category, genre, date, title);
    }
    bool sawStatus(const std::string& s) const { return std::find(statuses.begin(), statuses.end(), s) != statuses.end(); }

    SettingsFixture settings;
    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
    snd::ManualClock clock;
    std::shared_ptr<snd::MemorySoundDevice> sound = snd::MemorySoundDevice::create(clock);
    const std::vector<ImageTrack> kTones = {{true, 150, 440}, {true, 113, 675}, {true, 187, 900}};
    std::unique_ptr<TfrmCD> cd;
    std::vector<std::string> boxes, statuses, named;
};

std::string text(const QTextEdit* m) { return m->toPlainText().toStdString(); }
std::string text(const QLabel* l) { return l->text().toStdString(); }

QString screenshotDir()
{
    const QString d = QCoreApplication::applicationDirPath() + "/../screenshots/cd";
    QDir().mkpath(d);
    return d;
}

}  // namespace

TEST_F(CddbWindowTest, ExactMatchIsReadStoredAndShownThenTheWindowCloses)
{
    Server primary({{"cddb+query", "200 rock 0a0b0c03 Artist / Album\r\n"}, {"cddb+read+rock+0a0b0c03", kEntry}});
    servers(primary);
    auto w = open();
    EXPECT_EQ(w->Host(), primary.host());
    ASSERT_TRUE(waitFor([&] { return w->timClose.Enabled(); }));
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(closes(*w));
    EXPECT_GE(t.elapsed(), 400);

    std::string artist, category, genre, date, title;
    std::vector<std::string> tracks;
    ASSERT_TRUE(TCDPlayer::ReadCdPlayerIni(cd->CDPlayer1->GetMediaIdentity(), artist, tracks, category, genre, date, title));
    EXPECT_EQ(artist + "|" + title + "|" + date + "|" + genre + "|" + category, "Artist|Album|1998|Rock|");
    EXPECT_EQ(tracks, (std::vector<std::string>{"One", "Two", "Three"}));
    EXPECT_EQ(text(cd->lblArtist), "Artist: Artist");
    EXPECT_EQ(cd->sgdTrack->Cells(1, 2), "Three");
    EXPECT_EQ(text(w->memCDDB), primary.host() + "\n    Answer : Found exact matche TITLE");
    EXPECT_TRUE(sawStatus("Get は成功しました"));
    EXPECT_TRUE(sawStatus(" 200 OK"));
    w->grab().save(screenshotDir() + "/cddb-disc.png");
    const auto cmds = primary.commands();
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_TRUE(cmds[0].starts_with("cddb+query+"));
    EXPECT_EQ(cmds[1], "cddb+read+rock+0a0b0c03");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(CddbWindowTest, AListOfMatchesWaitsForTheUsersChoice)
{
    for (const std::string code : {"210", "211"}) {
        SCOPED_TRACE(code);
        // More matches than the grid shows at once, so its scroll bar appears.
        std::string list = code + " Found matches, list follows\r\nrock 0a0b0c01 A / One\r\n"
                                  "misc 0a0b0c02 B / Two\r\njazz 0a0b0c03 C / Three\r\n";
        for (int i = 4; i <= 12; ++i)
            list += "blues 0a0b0c" + std::to_string(i + 10) + " D / Four\r\n";
        Server primary({{"cddb+query", list + ".\r\n"}, {"cddb+read+misc+0a0b0c02", kEntry}});
        servers(primary);
        auto w = open();
        ASSERT_TRUE(waitFor([&] { return w->pnlSelect->isVisible(); }));
        EXPECT_EQ(w->sgdCDDB->RowCount(), 12);
        EXPECT_EQ(w->sgdCDDB->Cells(0, 1) + "|" + w->sgdCDDB->Cells(1, 1) + "|" + w->sgdCDDB->Cells(2, 1) + "|" +
                      w->sgdCDDB->Cells(3, 1),
                  " 2.|Misc|B / Two|0a0b0c02");
        EXPECT_FALSE(w->memCDDB->isEnabled());
        EXPECT_FALSE(w->timClose.Enabled());
        w->sgdCDDB->SetRow(1);
        if (code == "210") {
            const QImage img = w->grab().toImage();
            img.save(screenshotDir() + "/cddb-select.png");
            // Each disc id ends short of its column's right edge instead of running under it.
            const QRect grid = w->sgdCDDB->geometry().translated(w->pnlSelect->pos());
            int right = grid.left();
            for (int c = 0; c < 4; ++c)
                right += w->sgdCDDB->ColWidths(c);
            const int left = right - w->sgdCDDB->ColWidths(3);
            // The scroll bar covers none of the disc id column.
            EXPECT_LE(right - grid.left(), w->sgdCDDB->ClientWidth());
            for (int row = 0; row < 3; ++row) {
                int inkRight = 0;
                for (int y = grid.top() + 15 * row; y < grid.top() + 15 * (row + 1); ++y)
                    for (int x = left; x < right; ++x)
                        if (img.pixel(x, y) == qRgb(0, 0xFF, 0))
                            inkRight = std::max(inkRight, x);
                EXPECT_GT(inkRight, left + 40) << row;  // still drawn large enough to read
                EXPECT_LT(inkRight, right - 1) << row;
            }
        }
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(w->sgdCDDB, &enter);
        ASSERT_TRUE(closes(*w));
        // The cancel button closes while the choice waits, and nothing is read.
        auto cancelled = open();
        ASSERT_TRUE(waitFor([&] { return cancelled->pnlSelect->isVisible(); }));
        cancelled->spdCan->OnClick(cancelled->spdCan);
        ASSERT_TRUE(closes(*cancelled));
        EXPECT_EQ(primary.commands().size(), 3u);
        EXPECT_FALSE(w->pnlSelect->isVisible());
        EXPECT_EQ(primary.commands().at(1), "cddb+read+misc+0a0b0c02");
        EXPECT_TRUE(stored());
        IniEraseSection(TCDPlayer::CdPlayerIniBase(), "0A0B0C03");
    }
}

TEST_F(CddbWindowTest, NoMatchAndGapsGoToTheFallbackServerOnce)
{
    {
        Server primary(Answers{{"cddb+query", "202 No match\r\n"}});
        Server fallback(Answers{{"cddb+query", "202 No match\r\n"}});
        servers(primary, &fallback);
        auto w = open();
        ASSERT_TRUE(closes(*w));
        EXPECT_EQ(primary.commands().size(), 1u);
        EXPECT_EQ(fallback.commands().size(), 1u);
        EXPECT_EQ(w->Host(), fallback.host());
        EXPECT_FALSE(stored());
    }
    // A read with a missing and a "?" title keeps the titles the disc had, then asks the
    // fallback server, whose list is offered.
    cd->CDPlayer1->WriteCdPlayerIni(cd->CDPlayer1->GetMediaIdentity(), "", "", "", "", "", {"Old 1", "Old 2", "Old 3"});
    std::string gaps = kEntry;
    gaps.replace(gaps.find("TTITLE1=Two"), 11, "TTITLE1=");
    gaps.replace(gaps.find("TTITLE2=Three"), 13, "TTITLE2=?");
    Server primary({{"cddb+query", "200 rock 0a0b0c03 Artist / Album\r\n"}, {"cddb+read", gaps}});
    Server fallback(Answers{{"cddb+query", "202 No match\r\n"}});
    servers(primary, &fallback);
    auto w = open();
    ASSERT_TRUE(closes(*w));
    EXPECT_EQ(fallback.commands().size(), 1u);
    EXPECT_TRUE(w->FallbackTried());
    std::string artist, category, genre, date, title;
    std::vector<std::string> tracks;
    ASSERT_TRUE(TCDPlayer::ReadCdPlayerIni(cd->CDPlayer1->GetMediaIdentity(), artist, tracks, category, genre, date, title));
    EXPECT_EQ(tracks, (std::vector<std::string>{"One", "Old 2", "Old 3"}));

    // A new window starts on the primary server again, with no fallback tried.
    auto again = std::make_unique<TfrmCDDB>(nullptr, cd.get());
    EXPECT_EQ(again->Host(), primary.host());
    EXPECT_FALSE(again->FallbackTried());
}

TEST_F(CddbWindowTest, ErrorAnswersAndFailuresCloseWithNothingStored)
{
    struct Case {
        std::string query, read, line;
    };
    const std::vector<Case> cases = {
        {"401 Not found\r\n", "", "    Answer : Inexact matche"},
        {"500 Syntax\r\n", "", "    Command syntax error"},
        {"600 Timeout\r\n", "", "    Time Out"},
        {"Hello there\r\n", "", "    Unkown Error"},
        {"200 rock 0a0b0c03 A / B\r\n", "202 none\r\n", "    Aswer : Inexact matche"},
        {"200 rock 0a0b0c03 A / B\r\n", "409 no\r\n", "    Unkown Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query + c.read);
        Server primary({{"cddb+query", c.query}, {"cddb+read", c.read}});
        servers(primary);  // the fallback is the same server: it fails the same way
        auto w = open();
        ASSERT_TRUE(closes(*w));
        EXPECT_EQ(text(w->memCDDB), primary.host() + "\n" + c.line + "\n" + primary.host() + "\n" + c.line);
        EXPECT_FALSE(stored());
    }
    EXPECT_TRUE(boxes.empty());

    // A slow answer counts its bytes; Escape meanwhile ends the request and the window at once.
    {
        Server slow({{"cddb+query", "200 rock 0a0b0c03 Artist / Album with a long answer\r\n"}}, 150);
        servers(slow);
        auto w = open();
        ASSERT_TRUE(waitFor([&] {
            return std::any_of(statuses.begin(), statuses.end(), [](const std::string& s) { return s.ends_with(" retrieved"); });
        }));
        QElapsedTimer t;
        t.start();
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &esc);
        ASSERT_TRUE(closes(*w, 2000));
        EXPECT_LT(t.elapsed(), 1000);
        EXPECT_TRUE(boxes.empty());
        EXPECT_FALSE(stored());
    }

    // Escape during the pause after an error answer ends it at once.
    {
        Server primary(Answers{{"cddb+query", "401 Not found\r\n"}});
        servers(primary);
        TfrmCDDB::PausePercent = 100;
        auto w = open();
        ASSERT_TRUE(waitFor([&] { return text(w->memCDDB).ends_with("Inexact matche"); }));
        QElapsedTimer t;
        t.start();
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &esc);
        ASSERT_TRUE(closes(*w, 2000));
        EXPECT_LT(t.elapsed(), 500);
        TfrmCDDB::PausePercent = 10;
    }

    // Refused connections on both servers say so, show one box and close.
    const std::string refusing = cddbtest::refusingHost();
    IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER", refusing);
    IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER2", refusing);
    statuses.clear();
    auto w = open();
    ASSERT_TRUE(closes(*w));
    EXPECT_TRUE(sawStatus(" ConnectionFailed"));
    EXPECT_TRUE(sawStatus("Get は失敗しました"));
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(stored());
}

TEST_F(CddbWindowTest, AnyFailureOfTheFirstServerAsksTheSecondOnce)
{
    struct Case {
        std::string name;
        std::function<std::unique_ptr<Server>()> primary;  // null: the connection is refused
        std::string line;
    };
    const auto answering = [](Answers a) { return [a] { return std::make_unique<Server>(a); }; };
    const auto failing = [](Fault f) { return [f] { return std::make_unique<Server>(f); }; };
    const std::vector<Case> cases = {
        {"refused", nullptr, "    Unkown Error"},
        {"slow", failing(Fault::Slow), "    Time Out"},
        {"5xx", failing(Fault::ServerError), "    Unkown Error"},
        {"garbage", failing(Fault::Garbage), "    Unkown Error"},
        {"500", answering({{"cddb+query", "500 Command syntax error\r\n"}}), "    Command syntax error"},
        {"409", answering({{"cddb+query", "409 No handshake\r\n"}}), "    Unkown Error"},
        {"401", answering({{"cddb+query", "401 Not found\r\n"}}), "    Answer : Inexact matche"},
        {"match without an id", answering({{"cddb+query", "200 rock\r\n"}}), "    Unkown Error"},
        {"empty list", answering({{"cddb+query", "210 Found exact matches, list follows\r\n.\r\n"}}),
         "    Unkown Error"},
        {"read refused", answering({{"cddb+query", "200 rock 0a0b0c03 A / B\r\n"}, {"cddb+read", "500 No\r\n"}}),
         "    Command syntax error"},
        {"read without titles",
         answering({{"cddb+query", "200 rock 0a0b0c03 A / B\r\n"},
                    {"cddb+read", "210 rock 0a0b0c03 entry follows\r\n<html>busy</html>\r\n.\r\n"}}),
         "    Unkown Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<Server> primary = c.primary ? c.primary() : nullptr;
        const std::string first = primary ? primary->host() : cddbtest::refusingHost();
        Server fallback({{"cddb+query", "200 rock 0a0b0c03 Artist / Album\r\n"}, {"cddb+read+rock+0a0b0c03", kEntry}});
        IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER", first);
        IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER2", fallback.host());
        named.clear();
        auto w = open(300);
        ASSERT_TRUE(closes(*w));
        EXPECT_TRUE(stored());
        EXPECT_EQ(fallback.commands().size(), 2u);
        if (primary) {
            EXPECT_EQ(primary->commands().size(), c.name.starts_with("read") ? 2u : 1u);
        }
        // The first server's failure stays in view above the second's answer.
        EXPECT_EQ(text(w->memCDDB), first + "\n" + c.line + "\n" + fallback.host() + "\n    Answer : Found exact matche TITLE");
        EXPECT_EQ(named, (std::vector<std::string>{first, fallback.host()}));
        EXPECT_TRUE(boxes.empty());
        if (c.name == "slow")
            w->grab().save(screenshotDir() + "/cddb-fallback.png");
        IniEraseSection(TCDPlayer::CdPlayerIniBase(), "0A0B0C03");
    }
}

TEST_F(CddbWindowTest, WhenBothServersFailBothFailuresAreNamed)
{
    // Two answers that are errors: the lines of both, no box.
    {
        Server primary(Fault::ServerError), fallback(Fault::Garbage);
        servers(primary, &fallback);
        auto w = open();
        ASSERT_TRUE(closes(*w));
        EXPECT_EQ(text(w->memCDDB), primary.host() + "\n    Unkown Error\n" + fallback.host() + "\n    Unkown Error");
        EXPECT_TRUE(boxes.empty());
        EXPECT_EQ(primary.commands().size(), 1u);
        EXPECT_EQ(fallback.commands().size(), 1u);
    }
    // A server that gave no answer brings the box, which names both servers' failures.
    const std::string refusing = cddbtest::refusingHost();
    Server slow(Fault::Slow);
    IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER", refusing);
    IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER2", slow.host());
    QElapsedTimer t;
    t.start();
    auto w = open(300);
    ASSERT_TRUE(closes(*w));
    EXPECT_LT(t.elapsed(), 3000);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "ＣＤＤＢサーバーから答えがありませんでした。\r\n" + refusing +
                            "\r\nNo connection to the server could be made.\r\n" + slow.host() +
                            "\r\nThe server stopped answering.");
    EXPECT_EQ(text(w->memCDDB), refusing + "\n    Unkown Error\n" + slow.host() + "\n    Time Out");
    EXPECT_EQ(text(w->lblServer).substr(0, slow.host().size()), slow.host());
    EXPECT_FALSE(stored());
}

namespace {

// The main window as the file windows see it: it records the rows they rewrite and holds the
// engine off the one file it plays.
struct RecordingHost : TMainWindowHost {
    std::string playing;
    std::vector<std::pair<int, std::array<std::string, 6>>> rows;
    int holds = 0, resumes = 0;
    QWidget* MainWindow() const override { return nullptr; }
    void SetListSelectedTexts(int list, const std::array<std::string, 6>& texts) override { rows.push_back({list, texts}); }
    std::vector<TPlaylistRow> PlaylistRows() const override { return {}; }
    bool HoldForTagWrite(const std::string& file) override { return file == playing && ++holds; }
    void ResumeAfterTagWrite() override { ++resumes; }
};

const std::string kQueryPath = "/~cddb/cddb.cgi?cmd=cddb+query+0a0b0c03+3+150+300+450+24&hello=a+b+c+1&proto=4";

class CddbFileTest : public ::testing::Test {
protected:
    CddbFileTest()
    {
        SetupTagObjects(true);
        InitGenreList();
        TfrmCDDB::MsgBoxHook = [this](QWidget*, const std::string&, const std::string& t, int, const std::string&,
                                      const std::string&) {
            boxes.push_back(t);
            return 6;
        };
        RegisterMainWindowHost(&host);
    }
    ~CddbFileTest() override
    {
        RegisterMainWindowHost(nullptr);
        TfrmCDDB::MsgBoxHook = nullptr;
    }
    // An MP3 by lame with the disc's query path, a track number and a time in its tag.
    std::string song(const std::string& name, const std::string& track, const std::string& path = kQueryPath)
    {
        writeTaggedSongs(dir.path(), {{name, "Old title", "Old artist", "Old album", "1990", "Pop", track}});
        const std::string file = dir.file(name);
        ReadTag(file);
        CurrentTag.CddbPath = path;
        CurrentTag.TimeText = "03:25";
        EXPECT_TRUE(WriteTag(file));
        return file;
    }
    void serve(Server& s) { IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER", s.host()); IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER2", s.host()); }
    void run(TfrmCDDB_MP3& w) {
        w.show();
        EXPECT_TRUE(waitFor([&] { return !w.isVisible(); }, 5000));
    }

    SettingsFixture settings;
    TempDir dir;
    RecordingHost host;
    std::vector<std::string> boxes;
};

std::string taglibTexts(const std::string& file)
{
    TagLib::FileRef f(file.c_str());
    if (f.isNull() || !f.tag())
        return "no tag";
    const TagLib::Tag* t = f.tag();
    return t->title().to8Bit(true) + "|" + t->artist().to8Bit(true) + "|" + t->album().to8Bit(true) + "|" +
           std::to_string(t->year()) + "|" + t->genre().to8Bit(true) + "|" + std::to_string(t->track());
}

}  // namespace

TEST_F(CddbFileTest, TheReadWritesTheTagAndRefreshesTheRowItNames)
{
    Server server({{"cddb+query", "200 rock 0a0b0c03 Artist / Album\r\n"}, {"cddb+read+rock+0a0b0c03", kEntry}});
    serve(server);
    const std::string file = song("song.mp3", "3");
    host.playing = file;
    for (int tag : {1, 2, 0}) {
        SCOPED_TRACE(tag);
        TfrmCDDB_MP3 w;
        w.SetLblCDID(file, tag);
        run(w);
        EXPECT_EQ(taglibTexts(file), "Three|Artist|Album|1998|Rock|3");
        if (tag) {
            ASSERT_FALSE(host.rows.empty());
            EXPECT_EQ(host.rows.back().first, tag);
            EXPECT_EQ(host.rows.back().second, (std::array<std::string, 6>{"Three", "Artist", "Album", "1998", "Rock", "3"}));
            EXPECT_TRUE(w.ResultText.empty());
        } else {
            EXPECT_EQ(host.rows.size(), 2u);
            EXPECT_EQ(w.ResultGenre + "|" + w.ResultTrack + "|" + w.ResultTime, "Rock|3|03:25");
            EXPECT_NE(w.ResultText.find("TTITLE2=Three"), std::string::npos);
        }
    }
    // The playing file was let go and taken up again around each write.
    EXPECT_EQ(host.holds, 3);
    EXPECT_EQ(host.resumes, 3);
    const auto cmds = server.commands();
    ASSERT_EQ(cmds.size(), 6u);
    EXPECT_EQ(cmds[0], "cddb+query+0a0b0c03+3+150+300+450+24");
    EXPECT_TRUE(boxes.empty());

    // A track that is no number or is outside the disc keeps its title; the rest is written.
    for (const std::string track : {"0", "99", "abc"}) {
        SCOPED_TRACE(track);
        const std::string other = song("other.mp3", track);
        TfrmCDDB_MP3 w;
        w.SetLblCDID(other, 0);
        run(w);
        ReadTag(other);
        EXPECT_EQ(CurrentTag.Title + "|" + CurrentTag.Album, "Old title|Album");
    }
}

TEST_F(CddbFileTest, HostilePathsNeverReachTheServer)
{
    EXPECT_EQ(TfrmCDDB_MP3::SafeQueryPath(kQueryPath), kQueryPath);
    Server server(Answers{{"cddb+query", "200 rock 0a0b0c03 Artist / Album\r\n"}});
    serve(server);
    for (const std::string& path : {std::string("@evil.example/x"), std::string("/a b"), std::string("/x\r\nX-Evil: 1"),
                                   std::string("/x\x7f"), std::string()}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(TfrmCDDB_MP3::SafeQueryPath(path), "/");
        const std::string file = song("song.mp3", "1", path);
        TfrmCDDB_MP3 w;
        w.SetLblCDID(file, 0);
        run(w);
        // Both servers (the same one here) were asked and refused it.
        EXPECT_EQ(text(w.memCDDB), server.host() + "\n    Command syntax error\n" + server.host() + "\n    Command syntax error");
        if (path.empty()) {
            w.grab().save(screenshotDir() + "/cddb-file.png");
        }
        EXPECT_TRUE(w.ResultText.empty());
    }
    EXPECT_EQ(server.commands(), std::vector<std::string>(10, ""));
}

TEST_F(CddbFileTest, AFailingFirstServerHandsTheFileToTheSecond)
{
    const std::string file = song("song.mp3", "3");
    Server fallback({{"cddb+query", "200 rock 0a0b0c03 Artist / Album\r\n"}, {"cddb+read+rock+0a0b0c03", kEntry}});
    for (const Fault fault : {Fault::Slow, Fault::ServerError, Fault::Garbage}) {
        Server primary(fault);
        IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER", primary.host());
        IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER2", fallback.host());
        TfrmCDDB_MP3 w;
        w.NMHTTP1.ReadTimeoutMs = 300;
        w.SetLblCDID(file, 0);
        run(w);
        EXPECT_EQ(taglibTexts(file), "Three|Artist|Album|1998|Rock|3");
        EXPECT_EQ(w.ResultGenre, "Rock");
        EXPECT_EQ(primary.commands().size(), 1u);
        song("song.mp3", "3");
    }
    EXPECT_EQ(fallback.commands().size(), 6u);
    EXPECT_TRUE(boxes.empty());

    // Both failing: the tag stays, the box names both.
    const std::string refusing = cddbtest::refusingHost();
    Server garbage(Fault::Garbage);
    IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER", garbage.host());
    IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER2", refusing);
    TfrmCDDB_MP3 w;
    w.SetLblCDID(file, 0);
    run(w);
    EXPECT_EQ(taglibTexts(file), "Old title|Old artist|Old album|1990|Pop|3");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "ＣＤＤＢサーバーから答えがありませんでした。\r\n" + garbage.host() + "\r\nUnkown Error\r\n" +
                            refusing + "\r\nNo connection to the server could be made.");
}

TEST_F(CddbFileTest, TheInformationWindowShowsTheAlbum)
{
    std::string entry = kEntry;
    entry.replace(entry.find("24 seconds"), 10, "2764 seconds");
    Server server({{"cddb+query", "200 rock 0a0b0c03 Artist / Album\r\n"}, {"cddb+read", entry}});
    serve(server);
    TfrmCDDB_INF w;
    w.lblFile->setText(QString::fromStdString(song("song.mp3", "2")));
    w.show();
    ASSERT_TRUE(waitFor([&] { return text(w.lblTitle) != ":  ???"; }, 5000));
    const std::vector<std::string> labels = {text(w.lblArtist), text(w.lblAlbum), text(w.lblGenre), text(w.lblYear),
                                             text(w.lblTrack), text(w.lblSerial), text(w.lblTitle), text(w.lblTotal)};
    EXPECT_EQ(labels, (std::vector<std::string>{":  Artist", ":  Album", ":  Rock", ":  1998", ":  2 of 3",
                                                "Serial No : [ 0a0b0c03 ]", ":  Two", "Total : 46:04"}));
    EXPECT_EQ(w.sgdTrack->Row(), 1);
    EXPECT_EQ(w.sgdTrack->Cells(0, 1) + "|" + w.sgdTrack->Cells(2, 0) + "|" + w.sgdTrack->Cells(2, 1) + "|" +
                  w.sgdTrack->Cells(2, 2),
              "  2.||03:25|");
    w.grab().save(screenshotDir() + "/cddb-information.png");

    // After a failed look-up: the unknown texts, the rest as it was.
    TfrmCDDB_INF failed;
    failed.ShowAlbum("", "", "", "");
    EXPECT_EQ(text(failed.lblArtist) + "|" + text(failed.lblAlbum) + "|" + text(failed.lblSerial) + "|" +
                  text(failed.lblTotal),
              "Unknown CD|Unknown|Serial No : [ 00000000 ]|00:00");
    // A title-less track, a TIME of four digits.
    failed.ShowAlbum("DTITLE=A / B\nTTITLE0=\nTTITLE1=x\n", "", "1", "0412");
    EXPECT_EQ(failed.sgdTrack->Cells(1, 0) + "|" + failed.sgdTrack->Cells(2, 0), "Track 1|04:12");
    w.spdCan->OnClick(w.spdCan);
    EXPECT_FALSE(w.isVisible());
}

namespace {

// A CDDB window as its teardown starts it: its handlers stopped, the window still whole.
template <class Window>
struct Stoppable : Window {
    using Window::Window;
    void StopHandlers() { this->Handlers.Stop(); }
};

}  // namespace

// The look-up window's handlers on its buttons, grid and HTTP client end with the window's
// handlers, as its destructor stops them first; the information window's too.
TEST_F(CddbWindowTest, OnceTheTeardownStartsNoControlOrClientReachesTheWindow)
{
    Stoppable<TfrmCDDB> w(nullptr, cd.get());
    w.NMHTTP1.Events.OnStatus(404, "");
    EXPECT_EQ(w.StatusBar1->currentMessage().toStdString(), " 404 Not Found");
    w.StatusBar1->clearMessage();

    w.StopHandlers();
    w.NMHTTP1.Events.OnStatus(404, "");
    w.NMHTTP1.Events.OnSuccess(0);
    w.spdCan->OnClick(w.spdCan);
    EXPECT_TRUE(w.StatusBar1->currentMessage().isEmpty());
    EXPECT_FALSE(w.timClose.Enabled());

    Stoppable<TfrmCDDB_INF> info;
    info.show();
    info.StopHandlers();
    info.spdCan->OnClick(info.spdCan);
    EXPECT_TRUE(info.isVisible());
}
