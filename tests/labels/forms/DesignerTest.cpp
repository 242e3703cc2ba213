// The jacket and label designer, shown off screen over a music folder of tagged MP3s and
// photos made by ImageMagick: its lists, disc, layouts, mouse and keys, menus and settings.

#include "DesignerFixture.h"

#include "controls/flat/TFlatComboBoxUnit.h"
#include "controls/gradient/RbButton.h"
#include "controls/grip/xxGrip.h"
#include "controls/imagelist/ImageListBox.h"
#include "controls/xi/XiButton.h"
#include "labels/libText.h"
#include "platform/forms/Image.h"
#include "platform/forms/ImageList.h"
#include "support/WaitFor.h"
#include "util/libIni.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <map>

using namespace testsupport;
using namespace cdlabel;

namespace {

class Designer : public ::testing::Test, public DesignerFixture {};

QRect box(const QWidget* w) { return w->geometry(); }

}  // namespace

TEST_F(Designer, ListsAreUniqueAndPhotosOfferedAsTheTagsAndTheFolderName)
{
    photo("cover.jpg", 80, 60);
    photo("back.jpg", 40, 80, "blue");
    song("a.mp3", "One", "Artist A", "Album X", "cover.jpg");
    song("b.mp3", "Two", " Artist A ", "Album X", "cover.jpg");   // the same, once trimmed
    song("c.mp3", "Three", "Artist B", "  ", "../cover.jpg");      // no album; a name out of the folder
    song("d.mp3", "Four", "", "Album Y", "missing.jpg");
    auto w = open();
    const TDesignLists& l = w->Lists();
    EXPECT_EQ(l.Albums, (std::vector<std::string>{"Album X", "Album Y"}));
    EXPECT_EQ(l.Artists, (std::vector<std::string>{"Artist A", "Artist B"}));
    // The tag's name once, then the folder's files, the tag's one again among them.
    EXPECT_EQ(l.PhotoNames, (std::vector<std::string>{"cover.jpg", "missing.jpg", "back.jpg", "cover.jpg"}));
    EXPECT_EQ(l.PhotoFiles, (std::vector<std::string>{music.file("cover.jpg"), music.file("back.jpg"),
                                                      music.file("cover.jpg")}));
    EXPECT_EQ(w->ImageList1->Count(), 3);
    EXPECT_EQ(w->imgList->Count(), 3);
    EXPECT_EQ(w->cmbTitle1->Items(), l.Albums);
    EXPECT_EQ(w->cmbArtist2->Items(), l.Artists);
    EXPECT_EQ(w->JacketTitle, "Album X");
    EXPECT_EQ(w->LabelArtist, "Artist A");
    // The first photo is both pages' photo.
    EXPECT_EQ(w->imgTitle_PIC->Tag, 1);
    EXPECT_EQ(w->imgLabel_PIC->Picture().Width(), 80);
    EXPECT_EQ(w->imgTitle_PIC->Picture().Height(), 60);
}

TEST_F(Designer, AnEmptyPlaylistGivesNothingToChoose)
{
    photo("ignored.png", 10, 10);   // not a .jpg
    auto w = open();
    EXPECT_TRUE(w->Lists().Albums.empty());
    EXPECT_TRUE(w->Lists().Artists.empty());
    EXPECT_TRUE(w->Lists().PhotoFiles.empty());
    EXPECT_EQ(w->cmbTitle1->count(), 0);
    EXPECT_EQ(w->JacketTracks().Rows, 0);
    EXPECT_EQ(w->LabelTracks().Rows, 0);
    EXPECT_NE(w->imgTitle_PIC->Tag, 1);
    EXPECT_NE(w->imgLabel_PIC->Tag, 1);
    EXPECT_TRUE(w->JacketTitle.empty());
}

TEST_F(Designer, AnUnreadablePhotoLeavesThePhotoAsItWas)
{
    song("a.mp3", "One", "A", "X", "cover.jpg");
    photo("cover.jpg", 90, 30);
    writeFile(music.file("broken.jpg"), "not a picture at all");
    auto w = open();
    // The damaged file is not offered (the tag's photo is, and again as a folder file).
    EXPECT_EQ(w->Lists().PhotoFiles, (std::vector<std::string>{music.file("cover.jpg"), music.file("cover.jpg")}));
    const QRect before = box(w->pbxTitle_DSP);
    EXPECT_FALSE(w->LoadPhoto(1, music.file("broken.jpg")));
    EXPECT_FALSE(w->LoadPhoto(2, music.file("nothing-here.jpg")));
    EXPECT_EQ(w->imgTitle_PIC->Picture().Width(), 90);
    EXPECT_EQ(box(w->pbxTitle_DSP), before);
    EXPECT_EQ(w->imgLabel_PIC->Picture().Height(), 30);
}

TEST_F(Designer, TheDiscIsDrawnToScaleForBothLabelKinds)
{
    auto w = open();
    const QRect outer = box(w->Shape3), inner = box(w->Shape4), hole = box(w->Shape5);
    EXPECT_EQ(outer, QRect(7, 7, 585, 585));
    EXPECT_EQ(inner, QRect(197, 197, 205, 205));
    EXPECT_EQ(hole, QRect(262, 262, 75, 75));
    EXPECT_EQ(w->lblCDLabel->text().toStdString(), "[ ノーマルラベル ]");
    EXPECT_EQ(w->lblCdWidth->text().toStdString(), "[ 外径: 117mm , 内径: 41mm ]");

    w->do_WideArea2->trigger();
    EXPECT_TRUE(w->do_WideArea1->isChecked());
    EXPECT_TRUE(w->WideArea());
    EXPECT_EQ(box(w->Shape4), QRect(240, 240, 120, 120));
    EXPECT_EQ(box(w->Shape3), outer);
    EXPECT_EQ(w->lblCDLabel->text().toStdString(), "[ ワイドエリアラベル ]");
    EXPECT_EQ(w->lblCdWidth->text().toStdString(), "[ 外径: 117mm , 内径: 24mm ]");
}

TEST_F(Designer, TheRecommendedJacketAndInitialLabelLayouts)
{
    photo("p.jpg", 300, 200);
    song("a.mp3", "One", "Artist", "Album", "p.jpg");
    titles(3);
    auto w = open();
    const QRect title = box(w->pbxTitle1), rule = box(w->pbxLine), artist = box(w->pbxArtist1);
    EXPECT_EQ(title.topLeft(), QPoint(24, 44));
    EXPECT_EQ(rule, QRect(20, title.bottom() + 1 + 6, 557, 10));
    EXPECT_EQ(artist.right() + 1, 574);
    EXPECT_EQ(artist.top(), rule.top() + 7);
    EXPECT_EQ(box(w->pbxCD_Title).topLeft(), QPoint(30, rule.top() + 40));
    // The jacket photo: fitted into 180 x 180, 20 pixels from the right and bottom edges.
    EXPECT_EQ(box(w->pbxTitle_DSP), QRect(600 - 20 - 180, 600 - 20 - 120, 180, 120));
    EXPECT_FALSE(w->xxGrip1->GripView());

    // Texts take their ink's size.
    gfx::TCanvas c;
    c.Font().Assign(w->pbxTitle1->Font());
    EXPECT_EQ(title.size(), QSize(ExactTextWidth(c, "Album"), c.TextHeight("Album")));
    EXPECT_EQ(w->pbxTitle1->Font().Size(), 20);
    EXPECT_EQ(w->pbxArtist1->Font().Size(), 13);
    EXPECT_EQ(w->pbxCD_Print->Font().Size(), 8);

    // The label: texts centred at 69 and 118, the list centred in the index area, the
    // photo at its default place.
    const QRect t2 = box(w->pbxTitle2), a2 = box(w->pbxArtist2), list = box(w->pbxCD_Print);
    EXPECT_EQ(t2.top(), 69);
    EXPECT_EQ(t2.left(), (600 - t2.width()) / 2);
    EXPECT_EQ(a2.top(), 118);
    EXPECT_EQ(a2.left(), (600 - a2.width()) / 2);
    EXPECT_EQ(list.left(), (600 - list.width()) / 2);
    EXPECT_EQ(list.top(), 404 + (136 - list.height()) / 2);
    const QRect photo2 = box(w->pbxLabel_DSP);
    EXPECT_EQ(photo2.size(), QSize(120, 80));  // the first photo, fitted into the 120 x 120 box
    EXPECT_EQ(photo2.left(), (199 - 120) / 2);
    EXPECT_EQ(photo2.top(), (600 - 80) / 2);
}

TEST_F(Designer, TheJacketListStopsAboveThePageBottom)
{
    titles(40);
    for (int points : {11, 20}) {
        IniWriteInteger(IniBase, "CD_LABEL", "FS_TRACK1", points);
        auto w = open();
        const TTrackListResult& r = w->JacketTracks();
        const int top = w->pbxCD_Title->y();
        gfx::TFont f;
        f.Assign(w->pbxCD_Title->Font());
        const QFontMetrics fm(f.toQFont());
        const int probe = fm.height(), gap = 6;
        ASSERT_GT(r.Rows, 0) << points;
        EXPECT_LT(r.Rows, 40) << points;
        // The next row would pass 590; the last one drawn did not.
        const int nextY = r.Height + gap;
        EXPECT_GT(top + nextY + probe + gap, 590) << points;
        EXPECT_LE(top + nextY - (fm.height() + gap) + probe + gap, 590) << points;
        EXPECT_EQ(r.Height, r.Rows * (fm.height() + gap) - gap) << points;
    }
}

TEST_F(Designer, TheLabelListCutsItsFirstColumnAndCentresItsBox)
{
    titles(13, "T");
    IniWriteInteger(IniBase, "CD_LABEL", "FS_TRACK2", 12);
    auto w = open();
    // The columns the 351 x 136 box gives without a cut, counted here.
    TTrackListSpec spec = w->TrackListSpec(2);
    spec.Width = 351;
    spec.Height = 136;
    spec.FirstColumnRows = 0;
    std::vector<std::string> names;
    for (const TPlaylistRow& row : host.rows)
        names.push_back(row.Title);
    gfx::TCanvas c;
    const TTrackListResult free = LayTrackList(c, false, 0, 0, names, spec, 1.0);
    ASSERT_GE(free.ColumnRows.size(), 2u);
    ASSERT_GT(free.ColumnRows[0], free.ColumnRows[1]);
    const int a = free.ColumnRows[0], b = free.ColumnRows[1];
    const TTrackListResult& laid = w->LabelTracks();
    EXPECT_EQ(laid.ColumnRows[0], int(std::nearbyint((a + b) / 2.0)));
    EXPECT_EQ(laid.Rows, free.Rows);
    const QRect list = box(w->pbxCD_Print);
    EXPECT_EQ(list.size(), QSize(laid.Width, laid.Height));
    EXPECT_EQ(list.left(), (600 - list.width()) / 2);
    EXPECT_EQ(list.top(), 404 + (136 - list.height()) / 2);
}

TEST_F(Designer, TheGripRulesOnRelease)
{
    photo("p.jpg", 200, 100);
    song("a.mp3", "One", "Artist", "Album", "p.jpg");
    titles(12);
    auto w = open();
    w->pgeCD->setCurrentIndex(1);

    // A label track list shrunk below 40 x 40 springs back to 40 x 40.
    QTest::mousePress(w->pbxCD_Print, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseRelease(w->pbxCD_Print, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(w->Selected(), w->pbxCD_Print);
    ASSERT_TRUE(w->xxGrip1->GripView());
    const QRect list = box(w->pbxCD_Print);
    controls::TxxHSpot* corner = w->xxGrip1->Handles(4);
    drag(corner, {3, 3}, QPoint(40 - list.width() - 20, 40 - list.height() - 20));
    EXPECT_EQ(box(w->pbxCD_Print), QRect(list.topLeft(), QSize(40, 40)));

    // A title moves but the grip does not resize it.
    QTest::mousePress(w->pbxTitle2, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(w->pbxTitle2, Qt::LeftButton, {}, QPoint(2, 2));
    const QRect title = box(w->pbxTitle2);
    drag(w->xxGrip1->Handles(4), {3, 3}, {30, 30});
    EXPECT_EQ(box(w->pbxTitle2), title);
    drag(w->pbxTitle2, {2, 2}, {-10, 15});
    EXPECT_EQ(box(w->pbxTitle2), title.translated(-10, 15));

    // The jacket photo snaps to the picture's fitted size, keeping its bottom-right corner.
    w->pgeCD->setCurrentIndex(0);
    QTest::mousePress(w->pbxTitle_DSP, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(w->pbxTitle_DSP, Qt::LeftButton, {}, QPoint(5, 5));
    const QRect photo = box(w->pbxTitle_DSP);
    drag(w->xxGrip1->Handles(0), {3, 3}, {-60, -10});   // 240 x 100 after the drag: 2:1 fits 200 x 100
    const QRect snapped = box(w->pbxTitle_DSP);
    EXPECT_EQ(snapped.bottomRight(), photo.bottomRight());
    EXPECT_EQ(snapped.width(), 2 * snapped.height());
    EXPECT_EQ(snapped.height(), photo.height() + 10);

    // The rule keeps its height.
    QTest::mousePress(w->pbxLine, Qt::LeftButton, {}, QPoint(50, 5));
    QTest::mouseRelease(w->pbxLine, Qt::LeftButton, {}, QPoint(50, 5));
    drag(w->xxGrip1->Handles(5), {3, 3}, {0, 25});
    EXPECT_EQ(w->pbxLine->height(), 10);
}

TEST_F(Designer, KeysMoveCloseAndEdit)
{
    song("a.mp3", "One", "Artist", "Album");
    auto w = open();
    QTest::mousePress(w->pbxArtist1, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(w->pbxArtist1, Qt::LeftButton, {}, QPoint(2, 2));
    const QPoint at = w->pbxArtist1->pos();
    QTest::keyClick(w.get(), Qt::Key_Right);
    QTest::keyClick(w.get(), Qt::Key_Down);
    QTest::keyClick(w.get(), Qt::Key_Down);
    QTest::keyClick(w.get(), Qt::Key_Left);
    QTest::keyClick(w.get(), Qt::Key_Left);
    QTest::keyClick(w.get(), Qt::Key_Up);
    EXPECT_EQ(w->pbxArtist1->pos(), at + QPoint(-1, 1));
    EXPECT_EQ(w->xxGrip1->Handles(0)->pos(), w->pbxArtist1->pos() - QPoint(3, 3));  // the grip follows

    // The artist's editor: right-aligned under it, yellow, the rest disabled; Enter stores
    // the trimmed text, which keeps the artist's right edge.
    const int right = w->pbxArtist1->x() + w->pbxArtist1->width();
    w->do_Artist1->trigger();
    ASSERT_TRUE(w->Editing());
    QWidget* sheet = w->pbxArtist1->parentWidget()->parentWidget();
    EXPECT_EQ(w->cmbArtist1->parentWidget(), sheet);
    EXPECT_EQ(w->cmbArtist1->x() + w->cmbArtist1->width(), w->pnlCD_Title->x() + right);
    EXPECT_EQ(w->cmbArtist1->y(), w->pnlCD_Title->y() + w->pbxArtist1->y() + w->pbxArtist1->height() + 4);
    EXPECT_EQ(w->cmbArtist1->Color(), gfx::TColor(0x80FFFF));
    EXPECT_FALSE(w->btnPic_Lst->isEnabled());
    EXPECT_FALSE(w->pnlCD_Title->isEnabled());
    w->cmbArtist1->lineEdit()->setText(QString::fromUtf8("　New Artist  "));
    QTest::keyClick(w->cmbArtist1->lineEdit(), Qt::Key_Return);
    EXPECT_FALSE(w->Editing());
    EXPECT_EQ(w->JacketArtist, "New Artist");
    EXPECT_EQ(w->pbxArtist1->x() + w->pbxArtist1->width(), right);
    EXPECT_TRUE(w->pnlCD_Title->isEnabled());
    EXPECT_TRUE(w->isVisible());   // the editor's Enter is swallowed

    // Escape cancels an edit and keeps the window open.
    w->do_Title1->trigger();
    w->cmbTitle1->lineEdit()->setText("Other");
    QTest::keyClick(w->cmbTitle1->lineEdit(), Qt::Key_Escape);
    EXPECT_FALSE(w->Editing());
    EXPECT_EQ(w->JacketTitle, "Album");
    EXPECT_TRUE(w->isVisible());

    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(Designer, SettingsAndPrintWaitForAnOpenEdit)
{
    song("a.mp3", "One", "Artist", "Album");
    auto w = open();
    for (QAction* edit : {w->do_Title1, w->do_Artist1}) {
        edit->trigger();
        ASSERT_TRUE(w->Editing());
        EXPECT_FALSE(w->spdPos->isEnabled());
        EXPECT_FALSE(w->spdOK->isEnabled());
        w->EndEdit(false);
        EXPECT_TRUE(w->spdPos->isEnabled());
        EXPECT_TRUE(w->spdOK->isEnabled());
    }
}

TEST_F(Designer, MenusShowWhatActsOnTheSelection)
{
    photo("p.jpg", 50, 50);
    song("a.mp3", "One", "Artist", "Album", "p.jpg");
    auto w = open();
    auto shown = [&](QMenu* m) {
        w->PopupMenuPopup(m);
        std::vector<std::string> names;
        for (QAction* a : m->actions())
            if (a->isVisible() && !a->isSeparator())
                names.push_back(a->objectName().toStdString());
        return names;
    };
    auto press = [&](QWidget* b) {
        QTest::mousePress(b, Qt::LeftButton, {}, QPoint(1, 1));
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(1, 1));
    };
    press(w->pbxTitle_DSP);
    EXPECT_EQ(shown(w->PopupMenu0), (std::vector<std::string>{"do_SizeFit", "do_OrgSize1", "do_IniSize", "do_Kill1", "do_IniPos11"}));
    press(w->pbxLine);
    EXPECT_EQ(shown(w->PopupMenu0), (std::vector<std::string>{"do_Color1", "do_Kill0", "do_IniPos11"}));
    press(w->pbxTitle1);
    EXPECT_EQ(shown(w->PopupMenu1), (std::vector<std::string>{"do_Title1", "do_Font1", "do_IniPos12"}));
    press(w->pbxCD_Title);
    EXPECT_EQ(shown(w->PopupMenu1), (std::vector<std::string>{"do_Font1", "do_RowSize1", "do_Erase1", "do_IniPos12"}));
    w->pgeCD->setCurrentIndex(1);
    press(w->pnlCD_Print);
    EXPECT_EQ(shown(w->PopupMenu2), (std::vector<std::string>{"do_IniPos21", "do_WideArea1"}));
    press(w->pbxArtist2);
    EXPECT_EQ(shown(w->PopupMenu3), (std::vector<std::string>{"do_Artist2", "do_Font2", "do_Center", "do_IniPos22", "do_WideArea2"}));
    EXPECT_TRUE(w->do_Font2->isEnabled());
    // With the photo list open nothing shows.
    w->btnPic_LstClick();
    EXPECT_TRUE(shown(w->PopupMenu3).empty());
}

TEST_F(Designer, ThePhotoListTakesThePhotoOrAsks)
{
    photo("a.jpg", 60, 60, "green");
    photo("b.jpg", 100, 50, "blue");
    auto w = open();
    std::vector<std::string> asked;
    w->MsgBox = [&](QWidget*, const std::string& caption, const std::string& text, int, const std::string& buttons,
                    const std::string& icon) {
        asked.push_back(caption + "|" + text + "|" + buttons + "|" + icon);
        return 6;
    };
    w->btnPic_LstClick();
    ASSERT_TRUE(w->pnlPicList->isVisible());
    EXPECT_EQ(w->ImageList1->Width(), 64);
    EXPECT_EQ(w->imgList->Count(), 2);
    w->imgList->setFocus();
    QTest::keyClick(w->imgList, Qt::Key_Return);
    EXPECT_EQ(asked, (std::vector<std::string>{"写真選択|　　写真を選択して下さい！！|Y|?"}));
    w->imgList->SetItemIndex(1);
    QTest::keyClick(w->imgList, Qt::Key_Return);
    EXPECT_EQ(w->imgTitle_PIC->Picture().Width(), 100);
    QTest::keyClick(w->imgList, Qt::Key_Escape);
    EXPECT_FALSE(w->pnlPicList->isVisible());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(Designer, SettingsRoundTrip)
{
    IniWriteString(IniBase, "CD_LABEL", "FX_TITLE1", "1");   // too short: the rest count as "0"
    IniWriteString(IniBase, "CD_LABEL", "FN_ARTIST2", "Arial");
    {
        auto w = open();
        EXPECT_EQ(w->pbxTitle1->Font().Style(), gfx::fsBold);
        EXPECT_EQ(w->pbxArtist2->Font().Name(), "Arial");
        w->pbxArtist1->Font().SetStyle(gfx::fsItalic | gfx::fsStrikeOut);
        w->pbxCD_Print->Font().SetColor(0x123456);
        w->do_WideArea1->trigger();
        w->close();
    }
    const ParsedIni ini = readWithConfigParser(settings.path());
    std::map<std::string, std::string> keys;
    for (const auto& [k, v] : ini.keys("CD_LABEL"))
        keys[k] = v;
    EXPECT_EQ(keys["CD_WIDE"], "-1");
    EXPECT_EQ(keys["FX_ARTIST1"], "0101");
    EXPECT_EQ(keys["FX_TITLE1"], "1000");
    EXPECT_EQ(keys["FC_TRACK2"], std::to_string(0x123456));
    EXPECT_EQ(keys["FS_TRACK1"], "11");
    EXPECT_EQ(keys["FN_TITLE2"], "ＭＳ Ｐゴシック");
    EXPECT_EQ(keys["FC_LINE01"], "0");

    auto again = open();
    EXPECT_TRUE(again->WideArea());
    EXPECT_TRUE(again->do_WideArea2->isChecked());
    EXPECT_EQ(again->pbxArtist1->Font().Style(), gfx::fsItalic | gfx::fsStrikeOut);
}

TEST_F(Designer, BothPagesLookRight)
{
    photo("cover.jpg", 400, 300, "orange");
    song("a.mp3", "最初の曲", "アーティスト", "アルバム名", "cover.jpg");
    titles(18, "曲 ");
    auto w = open();
    saveShot(*w, "designer-jacket");
    const QImage jacket = w->pnlCD_Title->grab().toImage();
    // The photo at the bottom right, the rule across, white elsewhere.
    const QColor orange(jacket.pixel(box(w->pbxTitle_DSP).center()));
    EXPECT_NEAR(orange.red(), 255, 4);
    EXPECT_NEAR(orange.green(), 165, 4);
    EXPECT_NEAR(orange.blue(), 0, 4);
    EXPECT_EQ(QColor(jacket.pixel(300, w->pbxLine->y() + 5)), QColor(Qt::black));
    EXPECT_EQ(QColor(jacket.pixel(590, 20)), QColor(Qt::white));
    w->pgeCD->setCurrentIndex(1);
    QApplication::processEvents();
    saveShot(*w, "designer-label");
    const QImage label = w->pnlCD_Print->grab().toImage();
    EXPECT_NE(QColor(label.pixel(300, 7)), QColor(Qt::white));   // the outer ring's top
    // A selected element with its grip, and the photo list open.
    QTest::mousePress(w->pbxCD_Print, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseRelease(w->pbxCD_Print, Qt::LeftButton, {}, QPoint(3, 3));
    w->btnPic_LstClick();
    QApplication::processEvents();
    saveShot(*w, "designer-label-grip-photos");
}

// What the screen shows of a page's box (the window's backing store, not a fresh render): the
// pixels darker than the frames' grey, and the colour at its centre.
struct OnScreen {
    int dark = 0;
    QColor centre;
};
OnScreen onScreen(QWidget& Window, const QWidget* Box)
{
    const QImage shot = Window.screen()->grabWindow(Window.winId()).toImage();
    const QRect r(Box->mapTo(&Window, QPoint(0, 0)), Box->size());
    OnScreen seen{0, QColor(shot.pixel(r.center()))};
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            seen.dark += qGray(shot.pixel(x, y)) < 0x60;
    return seen;
}

TEST_F(Designer, HidingAJacketItemRepaintsThePageAtOnce)
{
    photo("cover.jpg", 300, 300, "black");
    song("a.mp3", "One", "Artist", "Album", "cover.jpg");
    titles(5);
    auto w = open();
    QApplication::processEvents();
    for (auto [item, box] : {std::pair{w->do_Kill1, w->pbxTitle_DSP}, {w->do_Kill0, w->pbxLine},
                             {w->do_Erase1, w->pbxCD_Title}}) {
        SCOPED_TRACE(item->objectName().toStdString());
        ASSERT_GT(onScreen(*w, box).dark, 0);
        item->trigger();
        QApplication::processEvents();
        EXPECT_EQ(onScreen(*w, box).dark, 0);
        item->trigger();
        QApplication::processEvents();
        EXPECT_GT(onScreen(*w, box).dark, 0);
    }
}

TEST_F(Designer, ACloseAmidTheListBuildingWaitsAndASecondBuildIsRefused)
{
    song("a.mp3", "One", "Artist", "Album");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        photo(name, 20, 20);
    auto w = std::make_unique<TfrmCD_Label>();
    w->show();
    // Queued after the showing's build, so it runs while the folder is listed.
    int buildsSeen = -1;
    bool openAfterClose = false;
    QTimer::singleShot(0, w.get(), [&] {
        buildsSeen = w->BuildCount();
        w->BuildLists();
        w->close();
        openAfterClose = w->isVisible();
    });
    EXPECT_TRUE(waitFor([&] { return !w->isVisible(); }, 10000));
    EXPECT_EQ(buildsSeen, 0);
    EXPECT_TRUE(openAfterClose);
    EXPECT_EQ(w->BuildCount(), 1);
    EXPECT_EQ(w->ImageList1->Count(), 3);
}

TEST_F(Designer, ADroppedFileIsTheShownPagesPhoto)
{
    TempDir elsewhere;
    const std::string jacket = photo(elsewhere.file("dropped.jpg"), 40, 20, "navy");
    auto w = open();
    w->pgeCD->setCurrentIndex(1);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(jacket))});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &drop);
    EXPECT_EQ(w->imgLabel_PIC->Tag, 1);
    EXPECT_EQ(w->imgLabel_PIC->Picture().Width(), 40);
    EXPECT_NE(w->imgTitle_PIC->Tag, 1);
}

TEST_F(Designer, ThePhotoFileDialogOpensWhereItLastChoseAndLoadsTheShownPagesPhoto)
{
    TempDir pictures;
    const std::string chosen = photo(pictures.file("chosen.jpg"), 30, 60, "purple");
    auto w = open();
    w->pgeCD->setCurrentIndex(1);
    // Acts as the user in the dialog: notes where it opened and chooses File.
    auto choose = [](std::string& OpenedAt, const std::string& File) {
        QTimer::singleShot(0, [&OpenedAt, File] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!d)
                return;
            OpenedAt = d->directory().absolutePath().toStdString();
            d->selectFile(QString::fromStdString(File));
            static_cast<QDialog*>(d)->accept();
        });
    };
    std::string openedAt;
    choose(openedAt, chosen);
    QTest::mouseClick(w->btnPic_Dir, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(openedAt.empty());
    EXPECT_EQ(w->imgLabel_PIC->Picture().Width(), 30);
    EXPECT_NE(w->imgTitle_PIC->Tag, 1);
    EXPECT_EQ(IniReadString(IniBase, "CD_LABEL", "PHOTO_CD_PATH", ""), pictures.path());

    // The next time it opens in that folder; the jacket page takes this one.
    w->pgeCD->setCurrentIndex(0);
    choose(openedAt, chosen);
    QTest::mouseClick(w->btnPic_Dir, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(openedAt, pictures.path());
    EXPECT_EQ(w->imgTitle_PIC->Tag, 1);
}
