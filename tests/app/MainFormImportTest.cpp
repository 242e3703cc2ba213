// Files dropped onto the main window: the file drop hands over exactly the names a file
// manager's URI list carries, and the import copies real tagged MP3s into the music folder
// and lists those the chosen category shows; the directory monitor lists through it too.
#include "ListColumns.h"
#include "shared/SettingsFixture.h"
#include "shared/TaggedSongs.h"

#include "app/DirMon.h"
#include "app/DropSource.h"
#include "app/DropTarget.h"
#include "app/FileDrop.h"
#include "app/Globals.h"
#include "app/MainForm.h"
#include "app/libFavorite.h"
#include "tags/libID3Tag.h"
#include "util/libIni.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QDrag>
#include <QMouseEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTreeWidget>
#include <QUrl>

#include <filesystem>

using testsupport::readFile;
using testsupport::waitFor;
using testsupport::writeFile;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

QMimeData* uriList(const Strings& Paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    // As a file manager writes them: the name's bytes, percent-encoded whatever they are.
    for (const std::string& p : Paths)
        urls.push_back(QUrl::fromEncoded("file://" + QByteArray::fromStdString(p).toPercentEncoding("/")));
    data->setUrls(urls);
    return data;
}

// A file manager's drag over Target and its drop at At; returns whether the drop was taken
// and with what action.
std::pair<bool, Qt::DropAction> dropOn(QWidget* Target, const Strings& Paths, QPoint At = {5, 7},
                                       Qt::DropActions Offered = Qt::CopyAction | Qt::MoveAction,
                                       const QMimeData* Carried = nullptr)
{
    std::unique_ptr<QMimeData> files(uriList(Paths));
    const QMimeData* data = Carried ? Carried : files.get();
    QDragEnterEvent enter(At, Offered, data, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(Target, &enter);
    if (!enter.isAccepted())
        return {false, Qt::IgnoreAction};
    QDropEvent drop(QPointF(At), Offered, data, Qt::LeftButton, Qt::ShiftModifier);
    drop.setAccepted(false);
    QCoreApplication::sendEvent(Target, &drop);
    return {drop.isAccepted(), drop.dropAction()};
}

}  // namespace

TEST(FileDrop, DroppedNamesArriveExactlyAsTheUriListCarriesThem)
{
    testsupport::TempDir dir;
    std::string deep = dir.path();
    while (deep.size() < 300)
        deep += "/" + std::string(60, 'd');
    const Strings names = {dir.file("with space.mp3"), dir.file("a#b.mp3"), dir.file("100%.mp3"),
                           dir.file("what?.mp3"), dir.file("日本語の歌.mp3"), dir.file("caf\xe9 \x83\x65\x83\x58.mp3"),
                           dir.file("-it's \"q\" & 'r'.mp3"), deep + "/long.mp3"};
    ASSERT_GT(names.back().size(), 300u);

    // An independent reader of the list gets the exact names back.
    std::unique_ptr<QMimeData> data(uriList(names));
    const auto r = testsupport::runCommand(
        testsupport::python3(),
        {"-c", "import sys, urllib.parse as u\n"
               "for l in sys.stdin.read().split('\\r\\n'):\n"
               "    l and sys.stdout.buffer.write(u.unquote_to_bytes(u.urlparse(l).path) + b'\\n')\n"},
        data->data("text/uri-list").toStdString());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string expected;
    for (const std::string& n : names)
        expected += n + "\n";
    EXPECT_EQ(r.out, expected);
    // What the window drags out says the same.
    TDropFileSource out(nullptr);
    out.Files = names;
    std::unique_ptr<QMimeData> outData(out.MakeData());
    EXPECT_EQ(outData->data("text/uri-list"), data->data("text/uri-list"));

    forms::TForm form;
    TFileDrop drop(&form);
    drop.Loaded();
    EXPECT_TRUE(form.acceptDrops());
    // Without a handler a drop is taken and nothing happens.
    EXPECT_TRUE(dropOn(&form, names).first);

    Strings got;
    QPoint at;
    drop.OnFileDrop = [&](TFileDrop*, int Num, const Strings& Files, int X, int Y) {
        EXPECT_EQ(Num, int(Files.size()));
        got = Files;
        at = {X, Y};
    };
    // A move offered with Shift held still ends as a copy: the manager keeps its files.
    EXPECT_EQ(dropOn(&form, names, {12, 34}), std::make_pair(true, Qt::CopyAction));
    EXPECT_EQ(got, names);
    EXPECT_EQ(at, QPoint(12, 34));
    got.clear();
    EXPECT_FALSE(dropOn(&form, {}).first);
    EXPECT_FALSE(dropOn(&form, names, {1, 1}, Qt::MoveAction).first);
    drop.SetAccept(false);
    EXPECT_FALSE(dropOn(&form, names).first);
    EXPECT_TRUE(got.empty());

    // A control takes the drops instead; once it is gone nothing does.
    auto* pane = new QWidget(&form);
    drop.SetAccept(true);
    drop.SetControl(pane);
    EXPECT_FALSE(form.acceptDrops());
    EXPECT_TRUE(dropOn(pane, names).first);
    EXPECT_EQ(got, names);
    delete pane;
    EXPECT_EQ(drop.Control(), nullptr);
    EXPECT_FALSE(drop.Accept());

    QObject notAForm;
    TFileDrop orphan(&notAForm);
    EXPECT_THROW(orphan.Loaded(), EFileDropError);
}

TEST(DropTarget, TheEffectFollowsTheKeysAndAnEdgeScrollsOneLinePerTick)
{
    TDropFileTarget target;
    const auto all = dtCopy | dtMove | dtLink;
    const Qt::KeyboardModifiers none, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
    const struct {
        Qt::KeyboardModifiers keys;
        int offered, dragtypes;
        std::uint32_t effect;
    } cases[] = {
        {none, all, all, EffectCopy},          {shift, all, all, EffectMove},
        {shift | ctrl, all, all, EffectLink},  {ctrl, all, all, EffectCopy},
        {shift, dtCopy | dtLink, all, EffectCopy}, {shift | ctrl, dtCopy | dtMove, all, EffectCopy},
        {none, dtMove, all, EffectMove},       {none, dtLink, all, EffectLink},
        {shift, all, dtCopy, EffectCopy},      {none, dtMove, dtCopy, EffectNone},
    };
    for (const auto& c : cases) {
        target.Dragtypes = c.dragtypes;
        EXPECT_EQ(target.GetValidDropEffect(c.keys, {}, c.offered), c.effect)
            << int(c.keys) << " " << c.offered << " " << c.dragtypes;
    }

    auto* list = new QTreeWidget;
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    for (int i = 0; i < 100; ++i)
        new QTreeWidgetItem(list, QStringList{QString::number(i)});
    list->resize(200, 150);
    list->show();
    QCoreApplication::processEvents();
    target.Dragtypes = all;
    target.AttachTarget(list);
    QWidget* view = list->viewport();
    QScrollBar* bar = list->verticalScrollBar();
    ASSERT_EQ(bar->value(), 0);
    std::unique_ptr<QMimeData> data(uriList({"/tmp/a.mp3"}));
    QDragEnterEvent nearBottom(QPoint(20, view->height() - 2), Qt::CopyAction, data.get(),
                               Qt::LeftButton, {});
    QCoreApplication::sendEvent(view, &nearBottom);
    EXPECT_TRUE(nearBottom.isAccepted());
    EXPECT_EQ(nearBottom.dropAction(), Qt::CopyAction);
    EXPECT_TRUE(target.Scrolling());
    target.ScrollTick();
    target.ScrollTick();
    EXPECT_EQ(bar->value(), 2);
    QDragMoveEvent middle(QPoint(20, view->height() / 2), Qt::CopyAction, data.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(view, &middle);
    EXPECT_FALSE(target.Scrolling());
    QDragMoveEvent nearTop(QPoint(20, 1), Qt::CopyAction, data.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(view, &nearTop);
    target.ScrollTick();
    EXPECT_EQ(bar->value(), 1);
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(view, &leave);
    EXPECT_FALSE(target.Scrolling());

    // A detached or destroyed target takes nothing.
    Strings dropped;
    target.OnDrop = [&](TDropTarget*, Qt::KeyboardModifiers, QPoint, std::uint32_t&) { dropped = target.Files; };
    EXPECT_TRUE(dropOn(view, {"/tmp/b.mp3"}).first);
    EXPECT_EQ(dropped, Strings{"/tmp/b.mp3"});
    target.DetachTarget();
    EXPECT_FALSE(dropOn(view, {"/tmp/c.mp3"}).first);
    target.AttachTarget(list);
    delete list;
    EXPECT_EQ(target.Target(), nullptr);
    EXPECT_THROW(target.AttachTarget(nullptr), EDropTargetError);
}

namespace {

const std::vector<TaggedSong> kLibrary = {
    {"1.mp3", "Delta", "Ann", "Blue", "2001", "Jazz", "4"},
    {"2.mp3", "alpha", "Bob", "Red", "1999", "Rock", "1"},
};
const std::vector<TaggedSong> kIncoming = {
    {"1.mp3", "Newer Delta", "Ann", "Blue", "2002", "Jazz", "4"},
    {"n1.mp3", "Echo", "Cid", "Green", "1999", "Pop", "2"},
    {"n2.mp3", "Foxtrot", "Cid", "Green", "2005", "Pop", "3"},
    {"n3.mp3", "Golf", "Dee", "Gray", "1999", "Pop", "5"},
};

struct ImportRig {
    ImportRig()
    {
        IniWriteString(settings.base, "SETTING", "MP3_PATH", music.path());
        IniWriteSectionList(settings.base, "MUSIC_FOLDER", {music.path()});
        Mp3Path.clear();
        MusicFolders.clear();
        w = std::make_unique<TfrmMain>();
        w->MsgBoxEx = [this](QWidget*, const std::string& c, const std::string& t, int d,
                             const std::string& b, const std::string& i) {
            Asked.push_back(c + "|" + t + "|" + std::to_string(d) + "|" + b + "|" + i);
            return Answer;
        };
        writeTaggedSongs(music.path(), kLibrary);
        writeTaggedSongs(incoming.path(), kIncoming);
        writeFile(incoming.file("cover.jpg"), "not music");
        writeFile(incoming.file("libfoo.a"), "not music either");
        w->show();
        EXPECT_TRUE(waitFor([&] { return w->Loaded(); }));
    }
    ~ImportRig()
    {
        waitFor([&] { return !w->Library.Busy(); });
        w->close();
    }
    Strings titles() const { return columnTexts(w->lstMP3, 2); }
    Strings in(const Strings& names) const
    {
        Strings paths;
        for (const auto& n : names)
            paths.push_back(incoming.file(n));
        return paths;
    }
    void choose(int root, const QString& child = {})
    {
        QTreeWidgetItem* node = w->trrGenre->topLevelItem(root);
        for (int c = 0; c < node->childCount(); ++c)
            if (node->child(c)->text(0) == child)
                node = node->child(c);
        w->trrGenre->setCurrentItem(node);
    }

    SettingsFixture settings;
    testsupport::TempDir music, incoming;
    Strings Asked;
    int Answer = 6;
    std::unique_ptr<TfrmMain> w;
};

}  // namespace

TEST(MainFormImport, DroppedSongsAreCopiedAndListedByTheChosenCategory)
{
    ImportRig rig;
    TfrmMain& w = *rig.w;
    ASSERT_EQ(rig.titles(), (Strings{"alpha", "Delta"}));

    // "Title": every music file is copied and listed at the end, the last one selected;
    // the picture and a file whose extension is a piece of ".au" are left where they are. The
    // drop reaches the import through the window.
    EXPECT_TRUE(dropOn(&w, rig.in({"cover.jpg", "libfoo.a", "n1.mp3", "n2.mp3"})).first);
    EXPECT_EQ(rig.titles(), (Strings{"alpha", "Delta", "Echo", "Foxtrot"}));
    EXPECT_EQ(columnTexts(w.lstMP3, 1), (Strings{"1", "2", "3", "4"}));
    EXPECT_EQ(columnTexts(w.lstMP3, 8).back(), rig.music.file("n2.mp3"));
    EXPECT_EQ(w.lstMP3->selectedItems(), QList<QTreeWidgetItem*>{w.lstMP3->topLevelItem(3)});
    EXPECT_EQ(readFile(rig.music.file("n1.mp3")), readFile(rig.incoming.file("n1.mp3")));
    EXPECT_FALSE(fs::exists(rig.music.file("cover.jpg")));
    EXPECT_FALSE(fs::exists(rig.music.file("libfoo.a")));
    EXPECT_TRUE(rig.Asked.empty());
    {
        const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
        QDir().mkpath(dir);
        EXPECT_TRUE(w.grab().toImage().save(dir + "after-import.png"));
    }
    // Files dropped on the playlist are imported too, as copies even when a move is offered.
    EXPECT_EQ(dropOn(w.lstFile->viewport(), rig.in({"n3.mp3"})), std::make_pair(true, Qt::CopyAction));
    EXPECT_EQ(rig.titles().back(), "Golf");
    EXPECT_TRUE(fs::exists(rig.incoming.file("n3.mp3")));
    fs::remove(rig.music.file("n3.mp3"));
    delete w.lstMP3->topLevelItem(4);
    // The same files again: already listed, no second row.
    w.ImportFiles(rig.in({"n1.mp3"}), false);
    EXPECT_EQ(w.lstMP3->topLevelItemCount(), 4);

    // "Year" › "1999": both are copied, only the 1999 song is listed.
    rig.choose(1, "1999");
    ASSERT_EQ(w.trrGenre->currentItem()->text(0), "1999");
    const int before = w.lstMP3->topLevelItemCount();
    fs::remove(rig.music.file("n1.mp3"));
    w.ImportFiles(rig.in({"n2.mp3", "n3.mp3"}), true);   // n2 is there: asked, Yes
    EXPECT_TRUE(fs::exists(rig.music.file("n3.mp3")));
    EXPECT_EQ(columnTexts(w.lstMP3, 2).back(), "Golf");
    EXPECT_EQ(w.lstMP3->topLevelItemCount(), before + 1);

    // A root other than "Title" lists nothing.
    rig.choose(2);
    const int shown = w.lstMP3->topLevelItemCount();
    w.ImportFiles(rig.in({"n1.mp3"}), true);
    EXPECT_TRUE(fs::exists(rig.music.file("n1.mp3")));
    EXPECT_EQ(w.lstMP3->topLevelItemCount(), shown);
}

TEST(MainFormImport, AnExistingFileIsReplacedOnlyAfterYesAndNeverListedTwice)
{
    ImportRig rig;
    TfrmMain& w = *rig.w;
    const std::string old = readFile(rig.music.file("1.mp3"));
    rig.Answer = 7;
    w.ImportFiles(rig.in({"1.mp3"}), true);
    ASSERT_EQ(rig.Asked.size(), 1u);
    EXPECT_EQ(rig.Asked[0], "インポート|同じファイル　『　1.mp3　』　があります！！\r\r  上書きしますか？|2|YN|?");
    EXPECT_EQ(readFile(rig.music.file("1.mp3")), old);

    rig.Answer = 6;
    w.ImportFiles(rig.in({"1.mp3"}), true);
    EXPECT_EQ(readFile(rig.music.file("1.mp3")), readFile(rig.incoming.file("1.mp3")));
    EXPECT_EQ(w.lstMP3->topLevelItemCount(), 2);

    // A file dropped onto itself is neither asked about nor copied.
    rig.Asked.clear();
    w.ImportFiles({rig.music.file("2.mp3")}, true);
    EXPECT_TRUE(rig.Asked.empty());
    EXPECT_EQ(w.lstMP3->topLevelItemCount(), 2);

    // A copy that cannot be made is not listed, and the files are named in one message.
    const std::string folder = Mp3Path;
    Mp3Path = rig.music.file("gone");
    w.ImportFiles(rig.in({"n1.mp3", "n2.mp3"}), true);
    ASSERT_EQ(rig.Asked.size(), 1u);
    EXPECT_NE(rig.Asked[0].find("n1.mp3"), std::string::npos);
    EXPECT_NE(rig.Asked[0].find("n2.mp3"), std::string::npos);
    EXPECT_EQ(rig.Asked[0].substr(0, rig.Asked[0].find('|')), "インポート");
    EXPECT_EQ(w.lstMP3->topLevelItemCount(), 2);

    // Without a current music folder nothing is copied anywhere.
    Mp3Path.clear();
    w.ImportFiles(rig.in({"n3.mp3"}), true);
    EXPECT_FALSE(fs::exists("/n3.mp3"));
    EXPECT_FALSE(fs::exists(rig.music.file("n3.mp3")));
    Mp3Path = folder;
}

TEST(MainFormImport, TheMonitorListsANewSongOnceAndATagRewriteAddsNoRow)
{
    ImportRig rig;
    TfrmMain& w = *rig.w;
    ASSERT_TRUE(w.DirMon1->Active());
    fs::copy_file(rig.incoming.file("n1.mp3"), rig.music.file("n1.mp3"));
    ASSERT_TRUE(waitFor([&] { return rig.titles().back() == "Echo"; }));
    EXPECT_EQ(w.lstMP3->topLevelItemCount(), 3);

    ASSERT_TRUE(ReadTag(rig.music.file("n1.mp3")));
    CurrentTag.Comment = "rewritten";
    ASSERT_TRUE(WriteTag(rig.music.file("n1.mp3")));
    fs::copy_file(rig.incoming.file("n2.mp3"), rig.music.file("n2.mp3"));
    ASSERT_TRUE(waitFor([&] { return rig.titles().back() == "Foxtrot"; }));
    EXPECT_EQ(rig.titles(), (Strings{"alpha", "Delta", "Echo", "Foxtrot"}));
}

namespace {

void mouse(QWidget* Widget, QEvent::Type Type, QPoint At, Qt::MouseButtons Buttons,
           Qt::KeyboardModifiers Keys = {})
{
    const Qt::MouseButton button = Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(Type, QPointF(At), QPointF(Widget->mapToGlobal(At)), button, Buttons, Keys);
    QCoreApplication::sendEvent(Widget, &e);
}

}  // namespace

TEST(MainFormImport, MusicRowsDraggedOntoAFavouriteThePlaylistOrThePanes)
{
    ImportRig rig;
    TfrmMain& w = *rig.w;
    ASSERT_TRUE(AddFavoriteName("Mix"));
    w.BuildFavoriteTree("");
    QTreeWidgetItem* root = w.trrFavorite->topLevelItem(0);
    ASSERT_EQ(root->childCount(), 1);
    QWidget* favourites = w.trrFavorite->viewport();
    const QPoint onMix = w.trrFavorite->visualItemRect(root->child(0)).center();
    const QPoint onRoot = w.trrFavorite->visualItemRect(root).center();

    // The drag runs as a drop on Target at At; the rows go from a press on row 0 and a
    // Shift press on row 1, then a move of 2 pixels.
    QWidget* target = nullptr;
    QPoint at;
    int drags = 0;
    w.RunDrag = [&](QDrag* drag) {
        ++drags;
        return dropOn(target, {}, at, Qt::CopyAction, drag->mimeData()).second;
    };
    QWidget* rows = w.lstMP3->viewport();
    const QPoint row0 = w.lstMP3->visualItemRect(w.lstMP3->topLevelItem(0)).center();
    const QPoint row1 = w.lstMP3->visualItemRect(w.lstMP3->topLevelItem(1)).center();
    const auto dragRows = [&](QWidget* to, QPoint point) {
        target = to;
        at = point;
        mouse(rows, QEvent::MouseButtonPress, row0, Qt::LeftButton);
        mouse(rows, QEvent::MouseButtonRelease, row0, Qt::NoButton);
        mouse(rows, QEvent::MouseButtonPress, row1, Qt::LeftButton, Qt::ShiftModifier);
        mouse(rows, QEvent::MouseMove, row1 + QPoint(1, 0), Qt::LeftButton);   // below the threshold
        mouse(rows, QEvent::MouseMove, row1 + QPoint(2, 0), Qt::LeftButton);
        mouse(rows, QEvent::MouseButtonRelease, row1, Qt::NoButton);
    };
    dragRows(favourites, onMix);
    EXPECT_EQ(drags, 1);
    EXPECT_EQ(readWithConfigParser(rig.settings.path()).keys("Favorite_Mix"),
              (IniKeys{{"1", rig.music.file("2.mp3")}, {"2", rig.music.file("1.mp3")}}));
    EXPECT_TRUE(rig.Asked.empty());
    dragRows(favourites, onMix);
    dragRows(favourites, onRoot);
    EXPECT_EQ(rig.Asked, (Strings{"お気に入りに追加|『 Mix 』　に同じファイル　『 2.mp3 』　があります！！|1|Y|i",
                                  "お気に入りに追加|『 Favorite 』　には追加できません！！|1|Y|i"}));
    EXPECT_EQ(readWithConfigParser(rig.settings.path()).keys("Favorite_Mix").size(), 2u);

    // Onto the playlist the rows are copied; a move with another button held starts nothing.
    dragRows(w.lstFile->viewport(), {5, 5});
    EXPECT_EQ(columnTexts(w.lstFile, 2), (Strings{"alpha", "Delta"}));
    mouse(rows, QEvent::MouseButtonPress, row0, Qt::LeftButton);
    mouse(rows, QEvent::MouseMove, row0 + QPoint(9, 0), Qt::LeftButton | Qt::RightButton);
    mouse(rows, QEvent::MouseMove, row0 + QPoint(19, 0), Qt::LeftButton);
    EXPECT_EQ(drags, 4);

    // Anywhere else on the window the drag is taken (and plays the selected row).
    const auto [taken, action] = [&] {
        std::unique_ptr<QMimeData> data(new QMimeData);
        data->setData(TfrmMain::RowDragMime, "lstMP3");
        return dropOn(&w, {}, w.dxdRight->mapTo(&w, QPoint(3, 3)), Qt::CopyAction, data.get());
    }();
    EXPECT_TRUE(taken);
    EXPECT_EQ(action, Qt::CopyAction);
    EXPECT_EQ(w.PendingFile, rig.music.file("2.mp3"));
    EXPECT_TRUE(w.DxSound->IsPlaying());
}

TEST(MainFormImport, PlaylistRowsLeaveAsFilesAndComingBackPlay)
{
    const struct {
        Qt::DropAction action;
        Qt::DropActions allowed;
        TDragResult result;
    } ends[] = {{Qt::CopyAction, Qt::CopyAction | Qt::MoveAction, DragCopied},
                {Qt::MoveAction, Qt::CopyAction | Qt::MoveAction, DragMoved},
                {Qt::LinkAction, Qt::LinkAction, DragLinked},
                {Qt::MoveAction, Qt::CopyAction, DragCancelled},
                {Qt::IgnoreAction, Qt::CopyAction, DragCancelled}};
    for (const auto& e : ends)
        EXPECT_EQ(TDropSource::ResultOf(e.action, e.allowed), e.result) << int(e.action);

    ImportRig rig;
    TfrmMain& w = *rig.w;
    ASSERT_TRUE(FillList(w.Library, w.lstFile, {rig.music.file("1.mp3"), rig.music.file("2.mp3")}, true));
    const Strings paths = columnTexts(w.lstFile, 8);
    EXPECT_EQ(w.DropSource1->AllowedActions(true), Qt::CopyAction);

    // The clipboard holds them as copied files, and a drop target takes them back.
    w.DropSource1->Files = paths;
    ASSERT_TRUE(w.DropSource1->PutFilesOnClipboard());
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(clip, nullptr);
    EXPECT_TRUE(clip->data("x-special/gnome-copied-files").startsWith("copy\nfile://"));
    EXPECT_EQ(clip->text().toStdString(), paths[0] + "\n" + paths[1]);
    EXPECT_EQ(w.DropFileTarget1->TakeFilesFromClipboard(), EffectCopy);
    EXPECT_EQ(w.DropFileTarget1->Files, paths);

    int feedback = 0;
    w.DropSource1->OnFeedback = [&](TDropSource*, int Effect, bool&) { feedback = Effect; };
    w.DropSource1->RunDrag = [&](QDrag* drag, Qt::DropActions allowed) {
        EXPECT_EQ(allowed, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
        EXPECT_EQ(drag->pixmap().size(), QSize(24, 32));
        EXPECT_EQ(drag->hotSpot(), QPoint(16, 16));
        Strings carried;
        for (const QUrl& u : drag->mimeData()->urls())
            carried.push_back(u.toLocalFile().toStdString());
        EXPECT_EQ(carried, Strings{paths[1]});
        emit drag->actionChanged(Qt::MoveAction);
        EXPECT_TRUE(w.DraggingOut);
        // Dropped back onto the window: the row plays, nothing is imported.
        return dropOn(&w, {}, {3, 3}, allowed, drag->mimeData()).second;
    };
    QWidget* rows = w.lstFile->viewport();
    const QPoint row1 = w.lstFile->visualItemRect(w.lstFile->topLevelItem(1)).center();
    ASSERT_FALSE(w.DxSound->IsPlaying());
    mouse(rows, QEvent::MouseButtonPress, row1, Qt::LeftButton);
    mouse(rows, QEvent::MouseMove, row1 + QPoint(7, 7), Qt::LeftButton);
    EXPECT_EQ(feedback, 0);
    mouse(rows, QEvent::MouseMove, row1 + QPoint(0, 8), Qt::LeftButton);
    EXPECT_EQ(feedback, int(Qt::MoveAction));
    EXPECT_EQ(w.PendingFile, paths[1]);
    EXPECT_TRUE(w.DxSound->IsPlaying());
    EXPECT_FALSE(w.DraggingOut);
    EXPECT_TRUE(w.lstFile->selectedItems().isEmpty());
    EXPECT_EQ(w.lstMP3->topLevelItemCount(), 2);
    EXPECT_EQ(w.DragStartPoint, QPoint(-1, -1));
}
