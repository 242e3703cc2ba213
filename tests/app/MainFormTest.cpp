// The main window's life: settings read with their defaults at start-up and written at the
// close, the bounds kept across a maximise, the close query's questions, a close asked for
// during the deferred load, and the layout rules of the bars, tree sections and list columns.
#include "shared/SettingsFixture.h"

#include "app/Globals.h"
#include "app/DirMon.h"
#include "app/MainForm.h"
#include "util/libIni.h"
#include "util/libWindows.h"
#include "platform/forms/ScreenFit.h"
#include "platform/gfx/Raster.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <cstring>

using testsupport::waitFor;

namespace {

struct Question {
    std::string caption, text;
    int defaultButton;
    std::string buttons, icon;
};

// A main window on a scratch settings file whose questions are answered by Answer.
struct MainWindowRig {
    explicit MainWindowRig(int answer = 6) : Answer(answer)
    {
        Mp3Path.clear();
        MusicFolders.clear();
    }
    void create()
    {
        w = std::make_unique<TfrmMain>();
        w->MsgBoxEx = [this](QWidget*, const std::string& c, const std::string& t, int d,
                             const std::string& b, const std::string& i) {
            Asked.push_back({c, t, d, b, i});
            return Answer;
        };
    }
    void showAndLoad()
    {
        w->show();
        ASSERT_TRUE(waitFor([&] { return w->Loaded(); }));
    }
    std::string value(const std::string& section, const std::string& key)
    {
        return IniReadString(settings.base, section, key, "<none>");
    }

    SettingsFixture settings;
    int Answer;
    std::vector<Question> Asked;
    std::unique_ptr<TfrmMain> w;
};

void addRow(QTreeWidget* list, const std::string& title)
{
    auto* item = new QTreeWidgetItem(list);
    item->setText(2, QString::fromStdString(title));
}

}  // namespace

TEST(MainForm, FirstStartTakesTheDefaultsAndTheCloseWritesThem)
{
    MainWindowRig rig;
    rig.create();
    TfrmMain& w = *rig.w;
    EXPECT_EQ(w.size(), QSize(1023, 736));
    EXPECT_EQ(w.pos(), QPoint(0, 0));
    EXPECT_FALSE(w.chkRepeart->Checked());
    EXPECT_FALSE(w.chkShuffle->Checked());
    EXPECT_FALSE(w.do_SameMusic->isChecked());
    EXPECT_EQ(Mp3Path, GetSpecialFolder(7));
    EXPECT_TRUE(w.do_EffectMode[0]->isChecked());
    EXPECT_TRUE(w.do_Effect999->isChecked());
    EXPECT_EQ(w.minimumSize(), QSize(514, 488));

    rig.showAndLoad();
    EXPECT_TRUE(w.pnlFile->isVisible());
    w.chkRepeart->SetChecked(true);
    w.do_SameMusic->setChecked(true);
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(rig.Asked.empty());   // nothing to lose: no question

    const ParsedIni ini = readWithConfigParser(rig.settings.path());
    IniKeys form = ini.keys("Form");
    IniKeys expectedForm{{"MainTop", std::to_string(w.y())}, {"MainLeft", std::to_string(w.x())},
                         {"MainWidth", "1023"}, {"MainHeight", "736"}};
    EXPECT_EQ(form, expectedForm);
    EXPECT_EQ(rig.value("SETTING", "MP3_PATH"), GetSpecialFolder(7));
    EXPECT_EQ(rig.value("SETTING", "REPEAT"), "1");
    EXPECT_EQ(rig.value("SETTING", "Shuffle"), "0");
    EXPECT_EQ(rig.value("SETTING", "SameMusic"), "1");
    EXPECT_EQ(rig.value("SETTING", "EFFECT"), "0");
    EXPECT_EQ(rig.value("SETTING", "EFFECT_DX"), "1");
}

// A settings file that cannot be written (its folder is a plain file, so the test holds for any
// user, root included): the program starts, tells once when its window is shown, with the
// system's reason, and the session goes on with its settings in memory: what is written is
// read back, and neither a later write nor the close tells again.
TEST(MainForm, ASettingsFileThatCannotBeWrittenIsToldOnceAndHoldsForTheSession)
{
    MainWindowRig rig;
    testsupport::writeFile(rig.settings.dir.file("plain"), "x");
    IniBase = rig.settings.dir.file("plain") + "/Tambourelle";
    std::vector<std::string> told;
    forms::SetExceptionReporter([&](const std::string& m) { told.push_back(m); });
    rig.create();
    TfrmMain& w = *rig.w;
    EXPECT_TRUE(told.empty());   // not before there is a window to tell it on
    rig.showAndLoad();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind("設定を保存できません！！", 0), 0u) << told[0];
    EXPECT_NE(told[0].find(IniBase + ".ini"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find(std::strerror(ENOTDIR)), std::string::npos) << told[0];

    // Saving the playlist as a favourite works for the session.
    addRow(w.lstFile, "Song");
    w.InputFavoriteName = [](const std::string&, std::string& Name) {
        Name = "Mine";
        return true;
    };
    EXPECT_TRUE(forms::RunGuarded([&] { w.spdFavoriteClick(); }));
    EXPECT_EQ(w.lblFavorite->text(), "Mine");
    EXPECT_FALSE(w.FavoriteModified);
    ASSERT_EQ(w.trrFavorite->topLevelItem(0)->childCount(), 1);
    EXPECT_EQ(w.trrFavorite->topLevelItem(0)->child(0)->text(0), "Mine");
    w.do_EffectMode[7]->trigger();
    EXPECT_EQ(IniReadInteger(IniBase, "SETTING", "EFFECT", 0), 7);

    w.chkShuffle->SetChecked(true);
    EXPECT_TRUE(w.close());   // the close goes on without asking or telling again
    EXPECT_TRUE(rig.Asked.empty());
    EXPECT_EQ(told.size(), 1u);
    EXPECT_EQ(IniReadString(IniBase, "SETTING", "Shuffle", ""), "1");
    EXPECT_EQ(IniReadString(IniBase, "Form", "MainWidth", ""), std::to_string(w.width()));
    forms::SetExceptionReporter(nullptr);
}

TEST(MainForm, StoredSettingsAreTakenAtCreationAndFirstShowing)
{
    MainWindowRig rig;
    const std::string& b = rig.settings.base;
    IniWriteInteger(b, "Form", "MainTop", 30);
    IniWriteInteger(b, "Form", "MainLeft", 40);
    IniWriteInteger(b, "Form", "MainWidth", 800);
    IniWriteInteger(b, "Form", "MainHeight", 600);
    IniWriteBool(b, "SETTING", "REPEAT", true);
    IniWriteBool(b, "SETTING", "Shuffle", true);
    IniWriteBool(b, "SETTING", "SameMusic", true);
    IniWriteString(b, "SETTING", "MP3_PATH", "/nowhere/音楽");
    IniWriteInteger(b, "SETTING", "EFFECT", 12);
    IniWriteBool(b, "SETTING", "EFFECT_DX", false);
    rig.create();
    TfrmMain& w = *rig.w;
    EXPECT_EQ(w.pos(), QPoint(40, 30));
    EXPECT_EQ(w.size(), QSize(1023, 736));   // the size waits for the first showing
    EXPECT_TRUE(w.chkRepeart->Checked());
    EXPECT_TRUE(w.chkShuffle->Checked());
    EXPECT_TRUE(w.do_SameMusic->isChecked());
    EXPECT_EQ(Mp3Path, "/nowhere/音楽");
    EXPECT_TRUE(w.do_EffectMode[12]->isChecked());
    EXPECT_FALSE(w.do_EffectMode[0]->isChecked());
    EXPECT_FALSE(w.do_Effect999->isChecked());
    rig.showAndLoad();
    EXPECT_EQ(w.size(), QSize(800, 600));
    // A music folder that does not exist is not watched.
    EXPECT_FALSE(w.DirMon1->Active());
    w.close();
}

TEST(MainForm, AnExistingMusicFolderIsWatchedUntilTheClose)
{
    MainWindowRig rig;
    testsupport::TempDir music;
    IniWriteString(rig.settings.base, "SETTING", "MP3_PATH", music.path());
    rig.create();
    rig.showAndLoad();
    EXPECT_TRUE(rig.w->DirMon1->Active());
    MusicFolders = {music.path()};
    rig.w->close();
    // The close releases the engine and the folder list, the monitor stopped first.
    EXPECT_FALSE(rig.w->DirMon1->Active());
    EXPECT_EQ(rig.w->DxSound, nullptr);
    EXPECT_TRUE(MusicFolders.empty());
    rig.w->LayoutTreeSections();   // a later resize finds no engine and no folders
}

TEST(MainForm, ClosingWhileMaximisedStoresTheBoundsFromBefore)
{
    MainWindowRig rig;
    rig.create();
    TfrmMain& w = *rig.w;
    rig.showAndLoad();
    w.setGeometry(QRect(QPoint(12, 34), QSize(700, 520)));
    const QPoint before = w.pos();
    waitFor([&] { return w.size() == QSize(700, 520); });
    w.showMaximized();
    ASSERT_TRUE(waitFor([&] { return w.Maximized; }));
    w.close();
    EXPECT_EQ(rig.value("Form", "MainWidth"), "700");
    EXPECT_EQ(rig.value("Form", "MainHeight"), "520");
    EXPECT_EQ(rig.value("Form", "MainLeft"), std::to_string(before.x()));
    EXPECT_EQ(rig.value("Form", "MainTop"), std::to_string(before.y()));
}

TEST(MainForm, UnnamedPlaylistAsksAndNoKeepsTheWindowOpen)
{
    MainWindowRig rig(7);
    rig.create();
    TfrmMain& w = *rig.w;
    rig.showAndLoad();
    addRow(w.lstFile, "a");
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    ASSERT_EQ(rig.Asked.size(), 1u);
    EXPECT_EQ(rig.Asked[0].caption, "プレイリスト");
    EXPECT_EQ(rig.Asked[0].text, "プレイリストが作成されています！！\r\r　　終了してもよろしいですか？");
    EXPECT_EQ(rig.Asked[0].defaultButton, 2);
    EXPECT_EQ(rig.Asked[0].buttons, "YN");
    EXPECT_EQ(rig.Asked[0].icon, "?");
    EXPECT_EQ(rig.value("Form", "MainWidth"), "<none>");   // nothing saved yet
    rig.Answer = 6;
    EXPECT_TRUE(w.close());
    EXPECT_EQ(rig.value("Form", "MainWidth"), "1023");
}

TEST(MainForm, ModifiedFavouriteAsksNamingIt)
{
    MainWindowRig rig(7);
    rig.create();
    TfrmMain& w = *rig.w;
    rig.showAndLoad();
    w.lblFavorite->setText(QStringLiteral("Drive"));
    addRow(w.lstFile, "a");
    w.FavoriteModified = false;
    EXPECT_TRUE(w.close());   // a saved favourite asks nothing, rows or not
    EXPECT_TRUE(rig.Asked.empty());

    MainWindowRig second(7);
    second.create();
    second.showAndLoad();
    second.w->lblFavorite->setText(QStringLiteral("Drive"));
    second.w->FavoriteModified = true;
    EXPECT_FALSE(second.w->close());
    ASSERT_EQ(second.Asked.size(), 1u);
    EXPECT_EQ(second.Asked[0].caption, "お気に入り");
    EXPECT_EQ(second.Asked[0].text,
              "お気に入り　『　Drive　』　が変更されています！！\r\r　　終了してもよろしいですか？");
    second.Answer = 6;
    EXPECT_TRUE(second.w->close());
}

TEST(MainForm, CloseDuringTheDeferredLoadWaitsForIt)
{
    MainWindowRig rig;
    rig.create();
    TfrmMain& w = *rig.w;
    w.show();
    // Queued behind the deferred load: it arrives while the load lets events run.
    QTimer::singleShot(0, &w, [&] { w.close(); });
    ASSERT_TRUE(waitFor([&] { return w.Loaded() && !w.isVisible(); }));
    EXPECT_EQ(rig.value("Form", "MainWidth"), "1023");
}

TEST(MainForm, BarCaptionsAndWidthsFollowTheWindowWidth)
{
    MainWindowRig rig;
    rig.create();
    TfrmMain& w = *rig.w;
    rig.showAndLoad();
    struct Band { int width; const char* details; int detailsW; const char* repeat; int repeatW; const char* all; int allW; };
    const Band bands[] = {
        {514, "", 40, "R", 26, "", 35},      {575, "", 40, "R", 26, "", 35},
        {576, "Details", 70, "Repeat", 52, "All", 58},  {650, "Details", 70, "Repeat", 52, "All", 58},
        {651, "Details", 70, "Repeat", 58, "Copy All", 88}, {786, "Details", 70, "Repeat", 58, "Copy All", 88},
        {787, "Details Infomation", 131, "Repeat", 58, "Copy All Titles", 116},
    };
    for (const Band& b : bands) {
        SCOPED_TRACE(b.width);
        w.resize(b.width, 600);
        ASSERT_TRUE(waitFor([&] { return w.width() == b.width; }));
        EXPECT_EQ(w.spdDetails->Caption(), b.details);
        EXPECT_EQ(w.spdDetails->width(), b.detailsW);
        EXPECT_EQ(w.chkRepeart->Caption(), b.repeat);
        EXPECT_EQ(w.chkRepeart->width(), b.repeatW);
        EXPECT_EQ(w.chkShuffle->Caption(), b.width < 576 ? "S" : "Shuffle");
        EXPECT_EQ(w.spdAllCopy->Caption(), b.all);
        EXPECT_EQ(w.spdAllCopy->width(), b.allW);
        // Right-aligned bars: buttons against the edge, labels up to the first button.
        EXPECT_EQ(w.spdEffect->x() + w.spdEffect->width(), w.pnlMp3Menu->width());
        EXPECT_EQ(w.spdDetails->x() + w.spdDetails->width(), w.spdEffect->x());
        EXPECT_EQ(w.lblFolder->x() + w.lblFolder->width() + 6, w.spdDetails->x());
        EXPECT_EQ(w.chkRepeart->x() + w.chkRepeart->width() + 4, w.pnlListMenu->width());
        EXPECT_EQ(w.spdPlayList->x() + w.spdPlayList->width() + 4, w.chkRepeart->x());
        EXPECT_EQ(w.spdCopyList->x() + w.spdCopyList->width(), w.spdAllCopy->x());
        EXPECT_EQ(w.chkShuffle->x(), w.chkRepeart->x());
        EXPECT_EQ(w.spdFvUpdate->x() + w.spdFvUpdate->width(), w.spdFavorite->x());
        EXPECT_EQ(w.lblFavorite->x() + w.lblFavorite->width() + 6, w.spdFvUpdate->x());
        EXPECT_EQ(w.pnlLyrics->width(), w.lstFile->width() - 2);
    }
    // A long folder keeps its last component and fits its label.
    const std::string folder = "/home/user/Music/とても長い名前のフォルダ/もっと長い名前のフォルダ/2007年 夏のベスト";
    w.ShowFolderLabel(folder);
    const QString shown = w.lblFolder->text();
    EXPECT_TRUE(shown.endsWith(QString::fromUtf8("/2007年 夏のベスト"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("..."))) << shown.toStdString();
    EXPECT_LE(QFontMetrics(w.lblFolder->font()).horizontalAdvance(shown), w.lblFolder->width());
    w.close();
}

TEST(MainForm, TreeSectionsFollowTheWindowHeight)
{
    MainWindowRig rig;
    rig.create();
    TfrmMain& w = *rig.w;
    rig.showAndLoad();
    MusicFolders.assign(10, "/m");
    auto* root = new QTreeWidgetItem(w.trrFavorite, QStringList{QStringLiteral("Favorite")});
    for (int i = 0; i < 9; ++i)
        new QTreeWidgetItem(root, QStringList{QString::number(i)});
    struct Case { int height, folderRows, favouriteRows; };
    const Case cases[] = {
        {736, 8, 8}, {681, 8, 8}, {680, 7, 8}, {650, 6, 8}, {601, 3, 8}, {600, 3, 7},
        {560, 3, 5}, {488, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.height);
        w.resize(900, c.height);
        ASSERT_TRUE(waitFor([&] { return w.height() == c.height; }));
        EXPECT_EQ(w.cpl00->height(), c.folderRows * 16 + 2 + 17);
        EXPECT_EQ(w.cpl20->height(), c.favouriteRows * 16 + 18);
        EXPECT_EQ(w.cpl10->height(), w.pnlTrr->height() - w.cpl00->height() - w.cpl20->height() - 2);
    }
    // Few folders: one row per folder plus the root.
    MusicFolders.assign(1, "/m");
    w.LayoutTreeSections();
    EXPECT_EQ(w.cpl00->height(), 2 * 16 + 2 + 17);
    // Folded, the folder section keeps its caption bar only.
    w.cpl01Click();
    EXPECT_EQ(w.cpl00->height(), 17);
    EXPECT_EQ(w.lbl00->text(), QString::fromUtf8("▽"));
    w.cpl01Click();
    EXPECT_EQ(w.lbl00->text(), QString::fromUtf8("△"));
    MusicFolders.clear();
    w.close();
}

TEST(MainForm, ListColumnsNarrowWhenTheListScrolls)
{
    MainWindowRig rig;
    rig.create();
    TfrmMain& w = *rig.w;
    rig.showAndLoad();
    for (auto* list : {w.lstMP3, w.lstFile}) {
        ASSERT_EQ(list->columnCount(), 9);
        w.FitListColumns(list);
        EXPECT_EQ(list->columnWidth(2), 200);
        EXPECT_EQ(list->columnWidth(3), 154);
        EXPECT_EQ(list->columnWidth(4), 192);
        EXPECT_TRUE(list->isColumnHidden(0));
        EXPECT_TRUE(list->isColumnHidden(8));
        EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("No."));
        // Exactly one page still fits; one row more scrolls.
        addRow(list, "first");
        const int page = TfrmMain::PageRows(list);
        ASSERT_GT(page, 1);
        while (list->topLevelItemCount() < page)
            addRow(list, "row");
        w.FitListColumns(list);
        EXPECT_EQ(list->columnWidth(2), 200);
        addRow(list, "one more");
        w.FitListColumns(list);
        EXPECT_EQ(list->columnWidth(2), list == w.lstMP3 ? 193 : 192);
        EXPECT_EQ(list->columnWidth(3), 151);
        EXPECT_EQ(list->columnWidth(4), 186);
        EXPECT_EQ(list->columnWidth(1), 33);
        // From row 1000 on, "No." widens to its digits and the title gives the room.
        while (list->topLevelItemCount() < 999)
            addRow(list, "row");
        w.FitListColumns(list);
        EXPECT_EQ(list->columnWidth(1), 33);
        addRow(list, "row 1000");
        w.FitListColumns(list);
        gfx::TCanvas measure;
        measure.Font().Assign(list->Font());
        EXPECT_GE(list->columnWidth(1), measure.TextWidth("1000") + 8);
        EXPECT_EQ(list->columnWidth(1) + list->columnWidth(2), 33 + (list == w.lstMP3 ? 193 : 192));
        list->clear();
    }
    rig.Answer = 6;
    w.close();
}

TEST(MainForm, MenuCommandsSetTheWindowSizes)
{
    MainWindowRig rig;
    rig.create();
    TfrmMain& w = *rig.w;
    rig.showAndLoad();
    w.do_Minimize->trigger();
    EXPECT_TRUE(waitFor([&] { return w.size() == QSize(514, 488); }));
    w.do_FormInit->trigger();
    EXPECT_TRUE(waitFor([&] { return w.size() == QSize(1023, 735); }));
    w.spdEffect->Tag = 1;
    w.chkShuffle->SetChecked(true);
    w.PopupMenu4Popup();
    EXPECT_TRUE(w.do_Effect->isChecked());
    EXPECT_TRUE(w.do_AutoShuffle1->isChecked());
    EXPECT_FALSE(w.do_CopyList2->isEnabled());   // follows the empty playlist's button
    const QStringList expected = {
        "音楽フォルダリストの追加", "お気に入りの新規作成", "音楽項目分類リストの更新", "",
        "プレイリストのエクスポート", "プレイリストでＣＤを作成する", "お気に入りのオートシャッフル",
        "プレイリストに同じ曲の登録を許す", "", "ボリューム", "ＣＤプレーヤー", "ボイスレコーダー",
        "ミステリー・ゾーン", "", "フォームを最小にする", "フォームを既定値に戻す", "",
        "オンライン・マニュアル"};
    const auto actions = w.PopupMenu4->actions();
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(actions[i]->text(), expected[i]) << i;
    EXPECT_EQ(actions.last()->text(), QString::fromUtf8("終了"));
    w.do_Close->trigger();
    EXPECT_FALSE(w.isVisible());
}

// The web items open their page; where no browser starts, a message gives the address.
TEST(MainForm, WebItemsWithoutABrowserSayWhereToGo)
{
    MainWindowRig rig;
    rig.create();
    TfrmMain& w = *rig.w;
    std::vector<QString> opened;
    bool browser = true;
    w.OpenAddress = [&](const QUrl& Url) {
        opened.push_back(Url.toString());
        return browser;
    };
    w.N24->trigger();
    w.N22->trigger();
    EXPECT_EQ(opened, (std::vector<QString>{"https://tambourelle.org/manual/", "https://tambourelle.org/"}));
    EXPECT_TRUE(rig.Asked.empty());

    browser = false;
    w.N22->trigger();
    w.N24->trigger();
    ASSERT_EQ(rig.Asked.size(), 2u);
    EXPECT_EQ(rig.Asked[0].caption, "バージョン情報");
    EXPECT_EQ(rig.Asked[0].text, "Web ブラウザが見つからないため、ページを開けませんでした。\r\r"
                                 "ブラウザで次のアドレスを開いてください。\rhttps://tambourelle.org/");
    EXPECT_EQ(rig.Asked[1].caption, "オンライン・マニュアル");
    EXPECT_NE(rig.Asked[1].text.find("\rhttps://tambourelle.org/manual/"), std::string::npos);
}

// Each mode item checks itself alone, stores its Tag and sets the engine's mode; the surprise
// item lets the engine pick a real mode. Without surfaces the surface-only modes fall back to
// mode 0 and leave the menu.
TEST(MainForm, VisualModeMenuChoosesOneModeAndStoresIt)
{
    MainWindowRig rig;
    rig.create();
    TfrmMain& w = *rig.w;
    struct Pick {
        int item, stored;
    };
    for (const Pick& p : {Pick{3, 3}, Pick{25, 25}, Pick{31, 99}, Pick{30, 30}, Pick{0, 0}}) {
        const int before = w.DxSound->Effect();
        w.do_EffectMode[size_t(p.item)]->trigger();
        for (int i = 0; i < 32; ++i)
            EXPECT_EQ(w.do_EffectMode[size_t(i)]->isChecked(), i == p.item) << p.item << " / " << i;
        EXPECT_EQ(rig.value("SETTING", "EFFECT"), std::to_string(p.stored));
        if (p.stored == 99) {
            EXPECT_NE(w.DxSound->Effect(), before);
            EXPECT_GE(w.DxSound->Effect(), 0);
            EXPECT_LT(w.DxSound->Effect(), 30);
        } else {
            EXPECT_EQ(w.DxSound->Effect(), p.stored);
        }
        EXPECT_EQ(w.pnlMeter->isHidden(), p.stored != 30) << p.item;
    }

    w.do_EffectMode[25]->trigger();
    w.do_Effect999->trigger();
    EXPECT_FALSE(w.do_Effect999->isChecked());
    EXPECT_EQ(w.DxSound->Effect(), 0);
    EXPECT_TRUE(w.do_EffectMode[0]->isChecked());
    EXPECT_EQ(rig.value("SETTING", "EFFECT"), "0");
    EXPECT_EQ(rig.value("SETTING", "EFFECT_DX"), "0");
    w.PopupMenu5->popup(QPoint(0, 0));
    EXPECT_FALSE(w.do_EffectMode[25]->isVisible());
    EXPECT_TRUE(w.do_EffectMode[24]->isVisible());
    w.PopupMenu5->hide();
    w.do_Effect999->trigger();
    w.PopupMenu5->popup(QPoint(0, 0));
    EXPECT_TRUE(w.do_EffectMode[25]->isVisible());
    EXPECT_EQ(rig.value("SETTING", "EFFECT_DX"), "1");
    w.PopupMenu5->hide();
}

TEST(MainForm, TheEngineWritesThroughTheWindowsControls)
{
    MainWindowRig rig;
    rig.create();
    TfrmMain& w = *rig.w;
    ASSERT_NE(w.DxSound, nullptr);
    // Creation resets the display: marquee, balance needle, grey lamp, gear P.
    w.DxSound->ResetDisplay();
    EXPECT_EQ(w.msgOstrel->ShowStrings().Count(), 1);
    EXPECT_EQ(w.msgOstrel->ShowStrings()[0], "______x______");
    EXPECT_EQ(w.mtrBalanse->Value(), 50);
    EXPECT_EQ(FontColor(w.lblM0[0]), 0x00FF00u);
    EXPECT_EQ(FontColor(w.lblM0[1]), 0x808080u);

    w.DxSound->SetPlayState("play", 1);
    EXPECT_EQ(w.lblPlay->text(), QStringLiteral("[ Playing ]"));
    EXPECT_EQ(FontColor(w.lblPlay), 0x0000FFu);
    EXPECT_TRUE(w.timPlay.Enabled());
    EXPECT_EQ(w.timDxTimer.Interval(), 63);
    w.DxSound->SetPlayState("stop", 1);
    EXPECT_EQ(w.lblPlay->text(), QStringLiteral("Play List :"));
    EXPECT_FALSE(w.timPlay.Enabled());
    EXPECT_EQ(w.timDxTimer.Interval(), 1000);

    // The dashboard mode shows the meter panel over the right pane, only on surfaces.
    w.do_EffectMode[30]->trigger();
    w.DxSound->SetEffect(30);
    w.DxSound->UpdateLyricsAndMeter(true);
    EXPECT_FALSE(w.pnlMeter->isHidden());
    EXPECT_EQ(w.pnlMeter->x(), 0);
    w.DxSound->SetEffect(3);
    w.DxSound->UpdateLyricsAndMeter(true);
    EXPECT_TRUE(w.pnlMeter->isHidden());

    // Playlist rows out of range are ignored; a row in range becomes the only selection.
    addRow(w.lstFile, "a");
    addRow(w.lstFile, "b");
    w.lstFile->topLevelItem(0)->setSelected(true);
    w.LstFileSelectOnly(1);
    w.LstFileSelectOnly(7);
    EXPECT_FALSE(w.lstFile->topLevelItem(0)->isSelected());
    EXPECT_TRUE(w.lstFile->topLevelItem(1)->isSelected());
    w.ShowTrackTitle(1);
    EXPECT_EQ(w.lblMusic->text(), QStringLiteral("b"));
    w.ShowTrackTitle(5);
    EXPECT_TRUE(w.lblMusic->text().isEmpty());
    w.lstFile->clear();
}

TEST(MainForm, MaximisedBoundsReportedBeforeTheStateStillKeepTheOldOnes)
{
    MainWindowRig rig;
    rig.create();
    TfrmMain& w = *rig.w;
    rig.showAndLoad();
    w.setGeometry(QRect(QPoint(12, 34), QSize(600, 500)));
    ASSERT_TRUE(waitFor([&] { return w.size() == QSize(600, 500); }));
    const QPoint before = w.pos();
    // Some window managers send the new bounds first and the maximised state after them.
    const QRect work = w.screen()->availableGeometry();
    w.setGeometry(work);
    ASSERT_TRUE(waitFor([&] { return w.size() == work.size(); }));
    w.setWindowState(Qt::WindowMaximized);
    ASSERT_TRUE(waitFor([&] { return w.Maximized; }));
    EXPECT_EQ(w.NormalWidth, 600);
    EXPECT_EQ(w.NormalHeight, 500);
    EXPECT_EQ(w.NormalLeft, before.x());
    EXPECT_EQ(w.NormalTop, before.y());
    // Restoring clears the flag; the close then stores the bounds as they are.
    w.setWindowState(Qt::WindowNoState);
    ASSERT_TRUE(waitFor([&] { return !w.Maximized; }));
    w.close();
    EXPECT_EQ(rig.value("Form", "MainWidth"), std::to_string(w.width()));
}

// A saved frame position comes back as it was while its title bar can be grabbed on some
// screen, and otherwise moves onto the nearest screen just far enough.
TEST(MainForm, ASavedPositionKeepsTheTitleBarOnAScreen)
{
    const std::vector<QRect> screens{QRect(0, 0, 1280, 800), QRect(1280, 0, 1024, 768)};
    struct Case {
        QPoint saved, restored;
    } cases[] = {
        {{100, 50}, {100, 50}},        // on the first screen
        {{1500, 700}, {1500, 700}},    // low on the second, title bar still on it
        {{-600, 10}, {-600, 10}},      // mostly off to the left, 64 pixels to grab
        {{100, -5}, {100, 0}},         // title bar above the screen: three walks up
        {{-990, 300}, {-959, 300}},    // too little to grab on the left
        {{400, 790}, {400, 776}},      // below the first screen's bottom
        {{2200, 780}, {2200, 744}},    // below the shorter second screen
        {{3000, -400}, {2240, 0}},     // beyond both, nearest the second's top right
    };
    for (const Case& c : cases)
        EXPECT_EQ(forms::TitleBarOnScreen(QRect(c.saved, QSize(1023, 736)), screens), c.restored) << c.saved.x() << "," << c.saved.y();
}

// A frame larger than the screen it opens on shrinks to the work area, the client never below
// its minimum, and moves wholly onto it; a frame that fits keeps its size and place.
TEST(MainForm, AWindowLargerThanItsScreenShrinksOntoIt)
{
    const QSize frame(4, 24), minimum(514, 488);
    struct Case {
        QRect saved, screen, fitted;
    } cases[] = {
        {{0, 0, 1027, 760}, {0, 0, 1920, 1080}, {0, 0, 1027, 760}},          // fits
        {{1200, 700, 1027, 760}, {0, 0, 1920, 1080}, {1200, 700, 1027, 760}},// fits, partly off
        {{0, 0, 1027, 760}, {0, 0, 800, 600}, {0, 0, 800, 600}},             // the default, small screen
        {{100, 50, 1804, 1024}, {0, 0, 1366, 740}, {0, 0, 1366, 740}},       // saved on a larger screen
        {{300, 10, 1027, 760}, {0, 0, 1366, 740}, {300, 0, 1027, 740}},      // only too tall
        {{1950, 30, 1804, 1024}, {1920, 0, 1024, 768}, {1920, 0, 1024, 768}},// second screen
        {{0, 0, 1027, 760}, {0, 0, 480, 400}, {0, 0, 518, 512}},             // the minimum holds
    };
    for (const Case& c : cases)
        EXPECT_EQ(forms::FitOnScreen(c.saved, frame, c.screen, minimum), c.fitted) << c.screen.width() << "x" << c.screen.height();
}

// The player's effect boxes sit on a dark face: a ticked box must show its mark there, at
// rest and under the mouse alike.
TEST(MainForm, TheEffectBoxesShowTheirMarkOnThePlayersFace)
{
    MainWindowRig rig;
    rig.create();
    TfrmMain& w = *rig.w;
    const auto grey = [](QRgb c) { return qGray(c); };
    for (controls::TFlatCheckBox* box : {w.chkEcho, w.chkReverb, w.ckkChorus, w.chkFlanger}) {
        box->SetChecked(true);
        for (const gfx::TColor fill : {box->Color(), box->ColorFocused()}) {
            const int contrast = std::abs(grey(gfx::raster::toQRgb(box->ColorCheck())) - grey(gfx::raster::toQRgb(fill)));
            EXPECT_GT(contrast, 96) << box->objectName().toStdString();
        }
        const QImage shot = box->grab().toImage();
        int marked = 0;   // pixels of the box's inside that stand out from its fill
        for (int y = 5; y < 13; ++y)
            for (int x = 3; x < 11; ++x)
                marked += std::abs(grey(shot.pixel(x, y)) - grey(shot.pixel(2, 4))) > 96;
        EXPECT_GE(marked, 10) << box->objectName().toStdString();
    }
}
