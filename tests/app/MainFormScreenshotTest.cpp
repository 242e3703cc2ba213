// Pictures of the main window for a person to look at: the default size and the minimum size,
// with a small library shown in the trees and lists, written under screenshots/app/ next to
// the test programs' folder.
#include "SettingsFixture.h"

#include "app/Globals.h"
#include "app/MainForm.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>

namespace {

void fillLibrary(TfrmMain& w)
{
    auto* folders = new QTreeWidgetItem(w.trrFile, QStringList{QStringLiteral("MusicFolder")});
    for (const char* f : {"J-POP", "クラシック", "ドライブ用"})
        new QTreeWidgetItem(folders, QStringList{QString::fromUtf8(f)});
    w.trrFile->expandAll();
    for (const char* root : {"Title", "Year", "Genre", "Artist", "Album"})
        new QTreeWidgetItem(w.trrGenre, QStringList{QString::fromLatin1(root)});
    w.trrGenre->topLevelItem(2)->addChildren({new QTreeWidgetItem(QStringList{"J-Pop"}),
                                              new QTreeWidgetItem(QStringList{"Classical"})});
    w.trrGenre->expandAll();
    auto* fav = new QTreeWidgetItem(w.trrFavorite, QStringList{QStringLiteral("Favorite")});
    for (const char* f : {"ドライブ", "夜のジャズ", "お気に入り 2007"})
        new QTreeWidgetItem(fav, QStringList{QString::fromUtf8(f)});
    w.trrFavorite->expandAll();
    const char* rows[][6] = {
        {"さくらの歌", "山田花子", "春の風", "2006", "J-Pop", "1"},
        {"夏の終わり", "鈴木一郎", "季節の歌", "2005", "J-Pop", "2"},
        {"星空のメロディ", "田中美咲", "夜空", "2007", "J-Pop", "3"},
        {"Nocturne Op.9-2", "Chopin", "Nocturnes", "1832", "Classical", "2"},
        {"月の光", "ドビュッシー", "ベルガマスク組曲", "1905", "Classical", "3"},
    };
    int n = 0;
    for (const auto& r : rows) {
        for (auto* list : {w.lstMP3, w.lstFile}) {
            if (list == w.lstFile && n >= 3)
                continue;
            auto* item = new QTreeWidgetItem(list);
            item->setText(1, QString::number(list->topLevelItemCount()));
            for (int c = 0; c < 6; ++c)
                item->setText(c + 2, QString::fromUtf8(r[c]));
            item->setTextAlignment(1, Qt::AlignRight);
            item->setTextAlignment(5, Qt::AlignRight);
            item->setTextAlignment(7, Qt::AlignRight);
        }
        ++n;
    }
    w.lblFavorite->setText(QString::fromUtf8("ドライブ"));
    MusicFolders = {"/home/user/Music/J-POP", "/home/user/Music/クラシック", "/home/user/Music/ドライブ用"};
    Mp3Path = "/home/user/Music/J-POP/2007年 夏のベスト・セレクション";
    w.ShowFolderLabel(Mp3Path);
    w.LayoutTreeSections();
}

void shoot(TfrmMain& w, QSize size, const QString& name)
{
    w.resize(size);
    QElapsedTimer t;
    t.start();
    while (w.size() != size && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
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
    IniWriteInteger(settings.base, "SETTING", "EFFECT", 30);   // the dashboard on the right pane
    Mp3Path.clear();
    TfrmMain w;
    w.MsgBoxEx = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                    const std::string&) { return 6; };
    w.show();
    QElapsedTimer t;
    t.start();
    while (!w.Loaded() && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(w.Loaded());
    fillLibrary(w);
    shoot(w, QSize(1023, 736), "main-1023x736.png");
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
