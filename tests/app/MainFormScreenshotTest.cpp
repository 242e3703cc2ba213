// Pictures of the main window for a person to look at: the default size and the minimum size,
// with a small scanned music folder shown in the trees and lists, written under
// screenshots/app/ next to the test programs' folder.
#include "shared/SettingsFixture.h"
#include "shared/TaggedSongs.h"

#include "app/Globals.h"
#include "app/MainForm.h"
#include "support/WaitFor.h"
#include "tests/visual/SurfaceRig.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include <filesystem>

using testsupport::waitFor;

namespace {

// The music folder: scanned by the window into its category tree and music list.
const std::vector<TaggedSong> kSongs = {
    {"01.mp3", "さくらの歌", "山田花子", "春の風", "2006", "J-Pop", "1"},
    {"02.mp3", "夏の終わり", "鈴木一郎", "季節の歌", "2005", "J-Pop", "2"},
    {"03.mp3", "星空のメロディ", "田中美咲", "夜空", "2007", "J-Pop", "3"},
    {"04.mp3", "Nocturne Op.9-2", "Chopin", "Nocturnes", "1832", "Classical", "2"},
    {"05.mp3", "月の光", "ドビュッシー", "ベルガマスク組曲", "1905", "Classical", "3"},
};

// What the units of the folder and favourite trees would show, and a playlist.
void fillLibrary(TfrmMain& w, const std::string& Folder)
{
    auto* folders = new QTreeWidgetItem(w.trrFile, QStringList{QStringLiteral("MusicFolder")});
    for (const char* f : {"J-POP", "クラシック", "ドライブ用"})
        new QTreeWidgetItem(folders, QStringList{QString::fromUtf8(f)});
    w.trrFile->expandAll();
    w.trrGenre->expandAll();
    auto* fav = new QTreeWidgetItem(w.trrFavorite, QStringList{QStringLiteral("Favorite")});
    for (const char* f : {"ドライブ", "夜のジャズ", "お気に入り 2007"})
        new QTreeWidgetItem(fav, QStringList{QString::fromUtf8(f)});
    w.trrFavorite->expandAll();
    std::vector<std::string> playlist;
    for (int i = 0; i < 3; ++i)
        playlist.push_back(Folder + "/" + kSongs[i].file);
    EXPECT_TRUE(FillList(w.Library, w.lstFile, playlist, true));
    w.lblFavorite->setText(QString::fromUtf8("ドライブ"));
    MusicFolders = {"/home/user/Music/J-POP", "/home/user/Music/クラシック", "/home/user/Music/ドライブ用"};
    w.LayoutTreeSections();
}

void shoot(TfrmMain& w, QSize size, const QString& name)
{
    w.resize(size);
    waitFor([&] { return w.size() == size; }, 5000);
    QCoreApplication::processEvents();
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
    QDir().mkpath(dir);
    const QImage shot = w.grab().toImage();
    EXPECT_EQ(shot.size(), size);
    EXPECT_TRUE(shot.save(dir + name));
}

}  // namespace

TEST(MainFormScreenshot, DefaultAndMinimumSize)
{
    SettingsFixture settings;
    testsupport::TempDir music;
    const std::string folder = music.file("J-POP/2007年 夏のベスト・セレクション");
    std::filesystem::create_directories(folder);
    IniWriteInteger(settings.base, "SETTING", "EFFECT", 30);   // the dashboard on the right pane
    IniWriteString(settings.base, "SETTING", "MP3_PATH", folder);
    Mp3Path.clear();
    TfrmMain w;
    w.MsgBoxEx = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                    const std::string&) { return 6; };
    writeTaggedSongs(folder, kSongs);   // the window has set up the tag objects
    w.show();
    waitFor([&] { return w.Loaded(); });
    ASSERT_TRUE(w.Loaded());
    ASSERT_EQ(w.lstMP3->topLevelItemCount(), int(kSongs.size()));
    fillLibrary(w, folder);
    shoot(w, QSize(1023, 736), "main-1023x736.png");
    // Sorted by "Track": the column widens to show its caption whole beside the arrow.
    w.lstMP3->ColumnClick(7);
    shoot(w, QSize(1023, 736), "main-sorted-track.png");
    shoot(w, QSize(514, 488), "main-514x488.png");
    // The transient notices: updating, converting and burning.
    w.pnlSplash->show();
    w.pnlCnvMp3->show();
    w.GaugeMP3->SetProgress(37);
    w.pnlBurnCD->move((w.pnlList->width() - w.pnlBurnCD->width()) / 2, 60);
    w.pnlBurnCD->show();
    w.pnlBurnCD->raise();
    shoot(w, QSize(1023, 736), "main-notices.png");
    w.close();
    MusicFolders.clear();
}

// Mode 5's pictures and the star field on the panes' surfaces: "d01".."d05" wobbling on
// dxdLeft and 40 frames of stars flying out of the centre of dxdRight.
TEST(MainFormScreenshot, WavePicturesAndStarField)
{
    SettingsFixture settings;
    IniWriteBool(settings.base, "SETTING", "EFFECT_DX", true);
    TfrmMain w;
    w.show();
    waitFor([&] { return w.Loaded(); });
    ASSERT_TRUE(w.dxdLeft->CanDraw());
    ASSERT_TRUE(w.dxdRight->CanDraw());
    ASSERT_EQ(w.dxdImage->Items().Count(), 6);
    visual::TSpriteEngine& engine = w.DXSpriteEngine1->Engine();
    ASSERT_EQ(engine.Count(), 500);
    w.DXSpriteEngine1->SetDXDraw(w.dxdRight);
    visual::TDirectDrawSurface& left = *w.dxdLeft->Surface;
    visual::TDirectDrawSurface& right = *w.dxdRight->Surface;
    for (int frame = 0; frame < 40; ++frame) {
        left.Fill(0);
        for (int k = 0; k < 5; ++k)
            w.dxdImage->Items().GetItem(k)->DrawWaveDistort(left, 250 / 4 + 30 * k - 4, 14, 30,
                                                            40, 0, 10 + frame % 20, 70, frame * 8);
        w.dxdLeft->Flip();
        right.Fill(0);
        for (int i = 0; i < engine.Count(); ++i) {
            engine.Items(i)->DoMove(1);
            engine.Items(i)->DoDraw();
        }
        w.dxdRight->Flip();
    }
    EXPECT_GT(litPixels(left), 1000);  // five 30 x 40 pictures, their black keyed away
    EXPECT_GT(litPixels(right), 100);
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
    QDir().mkpath(dir);
    EXPECT_TRUE(w.grab().toImage().save(dir + "main-wave-stars.png"));
    w.close();
}
