#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include "ControlTestSupport.h"
#include "controls/imagelist/ImageListBox.h"
#include "platform/gfx/Bitmap.h"

using namespace controls;
using controltest::pixel;
using forms::TImageList;

namespace {

// A size x size picture of `face` with a `clear` border two pixels wide and a `mark` pixel
// at its top left inside the border.
std::unique_ptr<gfx::TBitmap> framedPicture(int size, gfx::TColor face, gfx::TColor clear,
                                            gfx::TColor mark = gfx::clBlack)
{
    auto b = std::make_unique<gfx::TBitmap>(size, size);
    b->Canvas().Brush().SetColor(clear);
    b->Canvas().FillRect(gfx::Rect(0, 0, size, size));
    b->Canvas().Brush().SetColor(face);
    b->Canvas().FillRect(gfx::Rect(2, 2, size - 2, size - 2));
    b->Canvas().SetPixel(2, 2, mark);
    return b;
}

// A window that records the keys reaching it past its children.
struct Host : QWidget {
    std::vector<int> keys;
    void keyPressEvent(QKeyEvent* e) override { keys.push_back(e->key()); }
};

struct Strip {
    Host host;
    TImageList images{32, 32};
    TImageListBox* list = new TImageListBox(&host);
    int clicks = 0, doubles = 0;
    std::vector<int> keys;
    explicit Strip(int pictures)
    {
        host.resize(300, 200);
        list->SetBounds(0, 0, 200, 150);
        list->SetBorderStyle(bsNone);
        list->SetItemHeight(66);
        list->SetColumnWidth(66);
        list->SetColor(gfx::clWhite);
        for (int i = 0; i < pictures; ++i)
            images.AddMasked(*framedPicture(32, gfx::RGB(0, 40 * i, 200), gfx::clLime), gfx::clLime);
        list->SetImages(&images);
        list->OnClick = [this](QObject*) { ++clicks; };
        list->OnDblClick = [this](QObject*) { ++doubles; };
        list->OnKeyDown = [this](QObject*, int& key, forms::TShiftState) { keys.push_back(key); };
        host.show();
    }
    QRect cell(int i) const { return list->visualRect(list->model()->index(i, 0)); }
};

}  // namespace

TEST(ImageListBox, CountFollowsTheImageListUntilItIsFreed)
{
    TImageListBox plain;
    EXPECT_EQ(plain.Images(), nullptr);
    EXPECT_EQ(plain.Count(), 0);
    EXPECT_EQ(plain.ItemHeight(), 20);
    EXPECT_EQ(plain.ColumnWidth(), 24);
    EXPECT_TRUE(plain.MultiColumn());
    EXPECT_FALSE(plain.MultiSelect());
    EXPECT_TRUE(plain.ExtendedSelect());
    EXPECT_FALSE(plain.IntegralHeight());
    EXPECT_EQ(plain.BorderStyle(), bsSingle);
    EXPECT_EQ(plain.Color(), gfx::clWindow);
    EXPECT_EQ(plain.ItemIndex(), -1);

    auto images = std::make_unique<TImageList>(66, 66);
    images->Add(*framedPicture(66, gfx::clRed, gfx::clBlue));
    plain.SetImages(images.get());
    EXPECT_EQ(plain.Count(), 1);
    images->Add(*framedPicture(66, gfx::clRed, gfx::clBlue));
    EXPECT_EQ(plain.Count(), 2);  // at once

    // Cells of "0" take the images' size.
    plain.SetItemHeight(0);
    plain.SetColumnWidth(0);
    EXPECT_EQ(plain.MeasureItem(0), QSize(66, 66));
    EXPECT_EQ(plain.visualRect(plain.model()->index(1, 0)).size(), QSize(66, 66));

    plain.SetItemIndex(1);
    images->Delete(0);  // the list shrinks with the images
    EXPECT_EQ(plain.Count(), 1);
    images.reset();
    EXPECT_EQ(plain.Images(), nullptr);
    EXPECT_EQ(plain.Count(), 0);
    EXPECT_EQ(plain.ItemIndex(), -1);
    // Without images the cells fall back to the font's height.
    EXPECT_GT(plain.MeasureItem(0).height(), 4);
    EXPECT_LT(plain.MeasureItem(0).height(), 40);
    EXPECT_EQ(plain.MeasureItem(0).width(), plain.MeasureItem(0).height());
}

TEST(ImageListBox, PicturesSitCentredInTheirCellsWithoutTheirSeeThroughColour)
{
    Strip s(3);
    s.list->SetItemIndex(1);
    QApplication::setActiveWindow(&s.host);
    s.list->setFocus();
    s.list->setCurrentIndex(s.list->model()->index(1, 0));
    const QImage img = controltest::snapshot(*s.list);
    controltest::saveShot(img, "ImageListBox", 2);
    ASSERT_EQ(s.cell(0), QRect(0, 0, 66, 66));
    // Item 0: the 32 x 32 picture at (17, 17), its lime border left out.
    EXPECT_EQ(pixel(img, 17, 17), gfx::clWhite);
    EXPECT_EQ(pixel(img, 18, 18), gfx::clWhite);
    EXPECT_EQ(pixel(img, 19, 19), gfx::clBlack);
    EXPECT_EQ(pixel(img, 20, 20), gfx::RGB(0, 0, 200));
    EXPECT_EQ(pixel(img, 46, 46), gfx::RGB(0, 0, 200));
    EXPECT_EQ(pixel(img, 47, 47), gfx::clWhite);
    EXPECT_EQ(controltest::countColour(img, gfx::clLime), 0);
    // Item 1, selected and focused: the highlight around its picture, the focus mark on
    // the cell's edge.
    const QRect one = s.cell(1);
    EXPECT_EQ(one.topLeft(), QPoint(0, 66));
    EXPECT_EQ(pixel(img, 10, 66 + 10), gfx::ColorToRGB(gfx::clHighlight));
    EXPECT_EQ(pixel(img, 17 + 19, 66 + 17 + 19), gfx::RGB(0, 40, 200));
    EXPECT_EQ(pixel(img, 30, 66), controls::FocusMarkColor(gfx::clHighlight));
    EXPECT_NE(pixel(img, 30, 0), controls::FocusMarkColor(gfx::clWhite));
}

TEST(ImageListBox, CellsFlowDownThenIntoTheNextColumnOrStayInOne)
{
    Strip s(5);
    // 150 pixels hold two cells a column.
    EXPECT_EQ(s.cell(1).topLeft(), QPoint(0, 66));
    EXPECT_EQ(s.cell(2).topLeft(), QPoint(66, 0));
    EXPECT_EQ(s.cell(4).topLeft(), QPoint(132, 0));

    s.list->SetItemIndex(3);
    s.list->SetMultiColumn(false);  // a new list: nothing selected
    EXPECT_EQ(s.list->ItemIndex(), -1);
    EXPECT_EQ(s.cell(2), QRect(0, 132, s.list->viewport()->width(), 66));
    EXPECT_EQ(s.clicks, 0);

    // The integral height keeps whole rows.
    s.list->SetIntegralHeight(true);
    EXPECT_EQ(s.list->height(), 132);
    s.list->resize(200, 250);
    EXPECT_EQ(s.list->height(), 198);

    s.list->SetMultiSelect(true);
    EXPECT_EQ(s.list->selectionMode(), QAbstractItemView::ExtendedSelection);
    s.list->SetExtendedSelect(false);
    EXPECT_EQ(s.list->selectionMode(), QAbstractItemView::MultiSelection);
    s.list->SetItemIndex(2);
    EXPECT_EQ(s.list->ItemIndex(), 2);
}

TEST(ImageListBox, ClicksDoubleClicksAndEnter)
{
    Strip s(3);
    s.list->SetItemIndex(0);  // by code: no click
    EXPECT_EQ(s.clicks, 0);
    QTest::mouseClick(s.list->viewport(), Qt::LeftButton, {}, s.cell(1).center());
    EXPECT_EQ(s.list->ItemIndex(), 1);
    EXPECT_EQ(s.clicks, 1);
    QTest::mouseDClick(s.list->viewport(), Qt::LeftButton, {}, s.cell(1).center());
    EXPECT_EQ(s.doubles, 1);
    // Past the items: no double click, and the selection stays.
    QTest::mouseDClick(s.list->viewport(), Qt::LeftButton, {}, QPoint(190, 140));
    EXPECT_EQ(s.doubles, 1);
    EXPECT_EQ(s.list->ItemIndex(), 1);
    EXPECT_EQ(s.clicks, 1);

    s.list->setFocus();
    QTest::keyClick(s.list, Qt::Key_Up);
    EXPECT_EQ(s.list->ItemIndex(), 0);
    EXPECT_EQ(s.clicks, 2);
    QTest::keyClick(s.list, Qt::Key_Return);
    QTest::keyClick(s.list, Qt::Key_Enter);
    EXPECT_EQ(s.keys, (std::vector<int>{forms::VK_UP, forms::VK_RETURN, forms::VK_RETURN}));
    EXPECT_TRUE(s.host.keys.empty());  // Enter went no further
    EXPECT_EQ(s.list->ItemIndex(), 0);

    // A key handler may take a key away from the list.
    s.list->OnKeyDown = [](QObject*, int& key, forms::TShiftState) { key = 0; };
    QTest::keyClick(s.list, Qt::Key_Down);
    EXPECT_EQ(s.list->ItemIndex(), 0);
}
