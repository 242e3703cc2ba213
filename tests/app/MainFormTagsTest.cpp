// The tag editor on the main window's real engine (memory sound device, manual clock): the
// file that plays is closed for the write and given back in its state at its place; another
// file that plays is not touched. The list row the dialog came from shows the new texts.
#include "MemoryPlayer.h"
#include "support/LoopbackServer.h"

#include "cd/forms/xCDDB_INF.h"
#include "cd/forms/xCDDB_MP3.h"
#include "tags/libID3Tag.h"
#include "util/libIni.h"
#include "app/libMusic.h"
#include "tags/forms/xDetails.h"
#include "tags/forms/xTAG.h"
#include "tags/forms/xTagAll.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimer>

#include <filesystem>

using namespace testsupport;
using Strings = std::vector<std::string>;

namespace {

struct TagRig : MemoryPlayer {
    TempDir dir;
    std::string a, b;

    TagRig()
    {
        // Four seconds each, so that 40 % lies well inside.
        a = makeLongSong("a.mp3", "歌Ａ");
        b = makeLongSong("b.mp3", "歌Ｂ");
        Mp3Path = dir.path();
        for (const std::string& path : {a, b}) {
            auto* row = new QTreeWidgetItem(w->lstFile);
            const std::string cells[] = {"1", path == a ? "歌Ａ" : "歌Ｂ", "", "", "", "", "", path};
            for (int c = 0; c < 8; ++c)
                row->setText(c + 1, QString::fromStdString(cells[c]));
        }
    }
    std::string makeLongSong(const std::string& name, const std::string& title)
    {
        auto r = runCommand("sox", {"-n", "-r", "22050", "-c", "1", dir.file("t.wav"), "synth", "4", "sine", "440"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        r = runCommand("lame", {"--quiet", "-b", "32", dir.file("t.wav"), dir.file(name)});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        ReadTag(dir.file(name));
        CurrentTag.Title = title;
        EXPECT_TRUE(WriteTag(dir.file(name)));
        return dir.file(name);
    }
    int percent()
    {
        const int64_t length = engine().Channel().FileLengthMs();
        return length > 0 ? int(int64_t(engine().Channel().GetPosition()) * 100 / length) : -1;
    }
    void play(const std::string& path, int at)
    {
        engine().PlayFile(path);
        engine().Play();
        engine().Seek(at, 100);
        clock.advance(50);
        QCoreApplication::processEvents();
        w->timDxTimerTimer();
    }
    // Both songs in the music list, selected, and the category tree on a genre.
    void listBothInTheMusicList()
    {
        for (const std::string& path : {a, b}) {
            auto* row = new QTreeWidgetItem(w->lstMP3);
            const std::string cells[] = {"1", "", "", "", "", "", "", path};
            for (int c = 0; c < 8; ++c)
                row->setText(c + 1, QString::fromStdString(cells[c]));
            row->setSelected(true);
        }
        const QSignalBlocker quiet(w->trrGenre);  // no filtering of the list
        auto* root = new QTreeWidgetItem(w->trrGenre, QStringList{"Genre"});
        w->trrGenre->setCurrentItem(new QTreeWidgetItem(root, QStringList{"Pop"}));
    }
    // Edits the title of the playlist's row Row and saves.
    void retitle(int Row, const std::string& Title)
    {
        w->lstFile->clearSelection();
        w->lstFile->setCurrentItem(w->lstFile->topLevelItem(Row));
        TfrmTAG f(w->TagHost(), w.get());
        f.lblFile->setText(QString::fromStdString(TfrmMain::RowPath(w->lstFile->topLevelItem(Row))));
        f.lblFileTag = 2;
        f.show();
        f.Edit5->setText(QString::fromStdString(Title));
        EXPECT_TRUE(f.SaveTag());
    }
};

}  // namespace

TEST(MainFormTags, ThePlayingFileIsWrittenAndGivenBackInItsState)
{
    TagRig rig;
    rig.play(rig.a, 40);
    ASSERT_NEAR(rig.percent(), 40, 1);
    ASSERT_NEAR(rig.w->Gauge1->Percent(), 40, 1);
    rig.retitle(0, "新しい歌");
    EXPECT_EQ(rig.engine().FileNamme(), rig.a);
    EXPECT_EQ(rig.engine().PlayStatus(), "play");
    EXPECT_NEAR(rig.percent(), 40, 1);
    EXPECT_EQ(rig.w->lstFile->topLevelItem(0)->text(2).toStdString(), "新しい歌");
    ReadTag(rig.a);
    EXPECT_EQ(CurrentTag.Title, "新しい歌");

    // Paused stays paused, at its place.
    rig.engine().Pause();
    rig.retitle(0, "もう一度");
    EXPECT_EQ(rig.engine().PlayStatus(), "pause");
    EXPECT_NEAR(rig.percent(), 40, 1);
    EXPECT_NEAR(rig.w->Gauge1->Percent(), 40, 1);  // a second save starts from there again
    rig.retitle(0, "もう一度");
    EXPECT_NEAR(rig.percent(), 40, 2);  // the gauge's whole percent, reached to a frame

    // Another file that plays goes on untouched.
    rig.play(rig.b, 40);
    rig.clock.advance(200);
    rig.retitle(0, "三度目");
    EXPECT_EQ(rig.engine().FileNamme(), rig.b);
    EXPECT_EQ(rig.engine().PlayStatus(), "play");
    EXPECT_GE(rig.percent(), 40);
    ReadTag(rig.a);
    EXPECT_EQ(CurrentTag.Title, "三度目");
}

TEST(MainFormTags, TheListMenuOpensTheEditorOnTheSelectedRow)
{
    TagRig rig;
    rig.w->lstFile->clearSelection();
    rig.w->lstFile->setCurrentItem(rig.w->lstFile->topLevelItem(1));
    std::string shownFile, caption;
    QTimer::singleShot(0, [&] {
        auto* f = dynamic_cast<TfrmTAG*>(QApplication::activeModalWidget());
        ASSERT_NE(f, nullptr);
        shownFile = f->lblFile->text().toStdString();
        caption = f->windowTitle().toStdString();
        EXPECT_EQ(f->Edit5->text().toStdString(), "歌Ｂ");
        f->spdCanClick(f->spdCan);
    });
    rig.w->do_EditTag2->trigger();
    EXPECT_EQ(shownFile, rig.b);
    EXPECT_EQ(caption, "ID3v2 Tagger");
}

TEST(MainFormTags, TheCddbMenusHandTheSelectedRowToTheLookUps)
{
    TagRig rig;
    IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER", "127.0.0.1:1");  // nothing listens there
    TfrmCDDB::MsgBoxHook = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                              const std::string&) { return 6; };
    // Both rows selected in the music list, the current one second: the first selected row
    // counts, the one the menu's rules looked at.
    rig.listBothInTheMusicList();
    rig.w->lstMP3->setCurrentItem(rig.w->lstMP3->topLevelItem(1), 0, QItemSelectionModel::NoUpdate);
    rig.w->lstFile->clearSelection();
    rig.w->lstFile->setCurrentItem(rig.w->lstFile->topLevelItem(1));
    struct Case {
        QAction* action;
        std::string file;
        int tag;  // -1: the album window
    };
    for (const Case& c : {Case{rig.w->do_CDDB_MP3_1, rig.a, 1}, Case{rig.w->do_CDDB_MP3_2, rig.b, 2},
                          Case{rig.w->do_CDDB_INF_1, rig.a, -1}, Case{rig.w->do_CDDB_INF_2, rig.b, -1}}) {
        std::string file;
        int tag = -1;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* m = dynamic_cast<TfrmCDDB_MP3*>(modal)) {
                file = m->lblCDID->text().toStdString();
                tag = m->lblCDIDTag();
            } else if (auto* i = dynamic_cast<TfrmCDDB_INF*>(modal)) {
                file = i->lblFile->text().toStdString();
            }
            if (modal)
                modal->close();
        });
        c.action->trigger();
        EXPECT_EQ(file, c.file);
        EXPECT_EQ(tag, c.tag);
    }
    TfrmCDDB::MsgBoxHook = nullptr;
}

TEST(MainFormTags, TheBulkChangeGivesTheEngineItsFileBackInItsState)
{
    TagRig rig;
    rig.listBothInTheMusicList();
    for (const std::string status : {"play", "pause", "stop"}) {
        rig.play(rig.a, 40);
        if (status == "pause")
            rig.engine().Pause();
        if (status == "stop")
            rig.engine().Stop();
        TfrmTagAll f(rig.w->TagHost(), rig.w.get());
        f.show();
        ASSERT_TRUE(f.Edit2->isEnabled());
        f.Edit2->setText(QString::fromStdString("ジャンル " + status));
        f.SaveTagAll();
        EXPECT_EQ(rig.engine().FileNamme(), rig.a);
        EXPECT_EQ(rig.engine().PlayStatus(), status);
        if (status != "stop") {
            EXPECT_NEAR(rig.percent(), 40, 1) << status;
        }
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(rig.w->lstMP3->topLevelItem(i)->text(6).toStdString(), "ジャンル " + status);
        }
        ReadTag(rig.a);
        EXPECT_EQ(CurrentTag.Genre, "ジャンル " + status);
    }
}

TEST(MainFormTags, TheListCommandsOpenTheBulkChangeAndTheDetails)
{
    TagRig rig;
    rig.listBothInTheMusicList();
    std::string classification;
    std::size_t rows = 0;
    QTimer::singleShot(0, [&] {
        auto* f = dynamic_cast<TfrmTagAll*>(QApplication::activeModalWidget());
        ASSERT_NE(f, nullptr);
        classification = f->Classification();
        rows = f->Rows().size();
        f->spdCanClick(f->spdCan);
    });
    rig.w->do_ModifyTag->trigger();
    EXPECT_EQ(classification, "Genre");
    EXPECT_EQ(rows, 2u);

    rig.w->lstFile->clearSelection();
    rig.w->lstFile->setCurrentItem(rig.w->lstFile->topLevelItem(1));
    rig.w->spdDetails->Tag = 2;
    std::string title;
    int scheme = -1;   // spdDetails looks pressed while the window is open
    QTimer::singleShot(0, [&] {
        auto* f = dynamic_cast<TfrmDetails*>(QApplication::activeModalWidget());
        ASSERT_NE(f, nullptr);
        title = f->lblTitle->text().toStdString();
        scheme = int(rig.w->spdDetails->ColorScheme());
        f->spdCanClick(f->spdCan);
    });
    rig.w->do_Details2->trigger();
    EXPECT_EQ(title, ":  歌Ｂ");
    EXPECT_EQ(scheme, 4);
    EXPECT_EQ(int(rig.w->spdDetails->ColorScheme()), 3);
}

TEST(MainFormTags, APlaylistTagSaveHidesTheLyricsAndTheListsFollowTagsChangedOutside)
{
    TagRig rig;
    rig.listBothInTheMusicList();
    rig.w->lstMP3->setCurrentItem(rig.w->lstMP3->topLevelItem(0));
    rig.w->lstFile->setCurrentItem(rig.w->lstFile->topLevelItem(0));
    // The lyrics panel goes after a save from the playlist (the playing file may have been
    // rewritten), not after one from the music list.
    for (const auto& [command, hides] : {std::pair{rig.w->do_EditTag1, false}, std::pair{rig.w->do_EditTag2, true}}) {
        rig.w->pnlLyrics->show();
        QTimer::singleShot(0, [command] {
            auto* f = dynamic_cast<TfrmTAG*>(QApplication::activeModalWidget());
            ASSERT_NE(f, nullptr);
            f->Edit4->setText(command->objectName());
            f->spdOkClick(f->spdOk);
        });
        command->trigger();
        EXPECT_EQ(rig.w->pnlLyrics->isHidden(), hides) << command->objectName().toStdString();
    }

    // A tag changed by another program shows in both lists once their tags are read again.
    ReadTag(rig.a);
    CurrentTag.Artist = "外で変えた";
    ASSERT_TRUE(WriteTag(rig.a));
    rig.w->PopupMenu2Popup();
    rig.w->PopupMenu3Popup();
    for (QAction* update : {rig.w->do_UpdateTag1, rig.w->do_UpdateTag2}) {
        EXPECT_FALSE(update->isVisible());
        update->trigger();
    }
    EXPECT_EQ(rig.w->lstMP3->topLevelItem(0)->text(3).toStdString(), "外で変えた");
    EXPECT_EQ(rig.w->lstFile->topLevelItem(0)->text(3).toStdString(), "外で変えた");
}

TEST(MainFormTags, TheCddbTagCommandWritesTheFoundTextsAndRefreshesItsRow)
{
    TagRig rig;
    const std::string entry = "210 rock 0a0b0c03 CD database entry follows\r\n# xmcd\r\nDISCID=0a0b0c03\r\n"
                              "DTITLE=Artist / Album\r\nTTITLE0=One\r\nTTITLE1=Two\r\nEXTD= YEAR: 1998\r\n.\r\n";
    LoopbackServer server([&](int fd, const LoopbackServer::Request& r) {
        const std::string body = r.line.find("cddb+read") != std::string::npos ? entry
                                 : r.line.find("cddb+query") != std::string::npos
                                     ? "200 rock 0a0b0c03 Artist / Album\r\n"
                                     : "500 Command syntax error\r\n";
        sendAll(fd, reply(body, "200 OK", "Content-Length: " + std::to_string(body.size()) + "\r\n"));
    });
    IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER", server.host());
    IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER2", server.host());
    TfrmCDDB::PausePercent = 10;
    ReadTag(rig.b);
    CurrentTag.CddbPath = "/~cddb/cddb.cgi?cmd=cddb+query+0a0b0c03+2+150+300+24&hello=a+b+c+1&proto=4";
    CurrentTag.Track = "2";
    ASSERT_TRUE(WriteTag(rig.b));
    rig.w->lstFile->setCurrentItem(rig.w->lstFile->topLevelItem(1));
    rig.w->PopupMenu3Popup();
    ASSERT_TRUE(rig.w->do_CDDB_MP3_2->isEnabled());
    rig.w->do_CDDB_MP3_2->trigger();
    TfrmCDDB::PausePercent = 100;

    ReadTag(rig.b);
    EXPECT_EQ(CurrentTag.Title + "|" + CurrentTag.Artist + "|" + CurrentTag.Album + "|" + CurrentTag.Year + "|" +
                  CurrentTag.Genre,
              "Two|Artist|Album|1998|Rock");
    Strings row;
    for (int c = 2; c <= 7; ++c)
        row.push_back(rig.w->lstFile->topLevelItem(1)->text(c).toStdString());
    EXPECT_EQ(row, (Strings{"Two", "Artist", "Album", "1998", "Rock", "2"}));
    EXPECT_EQ(rig.w->lstFile->topLevelItem(0)->text(2).toStdString(), "歌Ａ");
}

// Names unpacked from an old archive are Shift-JIS bytes: the lists, the playing title, the
// folder label and the details view show them readable, and the details view still reads the
// file by its own bytes.
TEST(MainFormTags, ShiftJisNamesShowReadableAndOpenByTheirBytes)
{
    TagRig rig;
    const std::string test = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";         // テスト
    const std::string intro = "\xE3\x82\xA4\xE3\x83\xB3\xE3\x83\x88\xE3\x83\xAD";  // イントロ
    const std::string tagged = rig.dir.file("\x83\x65\x83\x58\x83\x67.mp3");
    const std::string untagged = rig.dir.file("\x83\x43\x83\x93\x83\x67\x83\x8D.wav");
    std::filesystem::copy_file(rig.a, tagged);
    auto r = runCommand("sox", {"-n", "-r", "22050", "-c", "1", rig.dir.file("plain.wav"), "synth", "1", "sine", "440"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::filesystem::copy_file(rig.dir.file("plain.wav"), untagged);

    TfrmMain& w = *rig.w;
    ASSERT_TRUE(FillList(w.Library, w.lstFile, {tagged, untagged}, false));
    ASSERT_EQ(w.lstFile->topLevelItemCount(), 2);
    QTreeWidgetItem* titled = w.lstFile->topLevelItem(0);
    QTreeWidgetItem* named = w.lstFile->topLevelItem(1);
    EXPECT_EQ(TfrmMain::RowPath(titled), tagged);
    EXPECT_EQ(TfrmMain::RowPath(named), untagged);
    EXPECT_EQ(titled->text(2).toStdString(), "歌Ａ");
    EXPECT_EQ(named->text(2).toStdString(), intro + ".wav");   // no title: the name
    EXPECT_FALSE(named->text(8).contains(QChar(0xFFFD)));
    {
        const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
        QDir().mkpath(dir);
        w.lstFile->resize(700, 120);
        EXPECT_TRUE(w.lstFile->grab().save(dir + "playlist-shift-jis-names.png"));
    }
    w.ShowTrackTitle(w.lstFile, 1);
    EXPECT_EQ(w.lblMusic->text().toStdString(), intro + ".wav");

    w.ShowFolderLabel(rig.dir.file("\x83\x65"));
    EXPECT_EQ(w.lblFolder->toolTip().toStdString(), rig.dir.file("\xE3\x83\x86"));

    w.lstFile->clearSelection();
    titled->setSelected(true);
    w.spdDetails->Tag = 2;
    std::string name, title;
    QTimer::singleShot(0, [&] {
        auto* d = dynamic_cast<TfrmDetails*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        name = d->lblName->text().toStdString();
        title = d->lblTitle->text().toStdString();
        const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
        QDir().mkpath(dir);
        EXPECT_TRUE(d->grab().save(dir + "details-shift-jis-name.png"));
        d->close();
    });
    w.spdDetailsClick();
    EXPECT_EQ(name, "File : " + test + ".mp3");
    EXPECT_EQ(title, ":  歌Ａ");   // read from the file found by its bytes

    // The tag editor reads and saves the file by its bytes too.
    std::string editorName, editorTitle;
    QTimer::singleShot(0, [&] {
        auto* f = dynamic_cast<TfrmTAG*>(QApplication::activeModalWidget());
        ASSERT_NE(f, nullptr);
        editorName = f->lblName->text().toStdString();
        editorTitle = f->Edit5->text().toStdString();
        f->Edit4->setText("アルバム");
        f->spdOkClick(f->spdOk);
    });
    w.do_EditTag2->trigger();
    EXPECT_EQ(editorName, "File : " + test + ".mp3");
    EXPECT_EQ(editorTitle, "歌Ａ");
    ASSERT_TRUE(ReadTag(tagged));
    EXPECT_EQ(CurrentTag.Album, "アルバム");
}
