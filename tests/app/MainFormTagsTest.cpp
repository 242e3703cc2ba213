// The tag editor on the main window's real engine (memory sound device, manual clock): the
// file that plays is closed for the write and given back in its state at its place; another
// file that plays is not touched. The list row the dialog came from shows the new texts.
#include "MemoryPlayer.h"

#include "cd/xCDDB_INF.h"
#include "cd/xCDDB_MP3.h"
#include "tags/libID3Tag.h"
#include "util/libIni.h"
#include "tags/xDetails.h"
#include "tags/xTAG.h"
#include "tags/xTagAll.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimer>

using namespace testsupport;

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
    rig.listBothInTheMusicList();
    rig.w->lstMP3->setCurrentItem(rig.w->lstMP3->topLevelItem(1));
    rig.w->lstFile->clearSelection();
    rig.w->lstFile->setCurrentItem(rig.w->lstFile->topLevelItem(0));
    struct Case {
        QAction* action;
        std::string file;
        int tag;  // -1: the album window
    };
    for (const Case& c : {Case{rig.w->do_CDDB_MP3_1, rig.b, 1}, Case{rig.w->do_CDDB_MP3_2, rig.a, 2},
                          Case{rig.w->do_CDDB_INF_1, rig.b, -1}, Case{rig.w->do_CDDB_INF_2, rig.a, -1}}) {
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
    QTimer::singleShot(0, [&] {
        auto* f = dynamic_cast<TfrmDetails*>(QApplication::activeModalWidget());
        ASSERT_NE(f, nullptr);
        title = f->lblTitle->text().toStdString();
        f->spdCanClick(f->spdCan);
    });
    rig.w->do_Details2->trigger();
    EXPECT_EQ(title, ":  歌Ｂ");
}
