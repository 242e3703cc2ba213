#include <gtest/gtest.h>

#include <QObject>

#include "platform/forms/ImageList.h"
#include "platform/gfx/Bitmap.h"

using forms::TImageList;
using namespace gfx;

namespace {

// A w x h bitmap filled with `fill`, and `dot` at (x, y) for each given point.
std::unique_ptr<TBitmap> picture(int w, int h, TColor fill)
{
    auto b = std::make_unique<TBitmap>(w, h);
    b->Canvas().Brush().SetColor(fill);
    b->Canvas().FillRect(Rect(0, 0, w, h));
    return b;
}

// What image `index` of `list` leaves on a grey w x h canvas when drawn at (x, y).
std::unique_ptr<TBitmap> drawn(const TImageList& list, int index, int w, int h, int x = 0, int y = 0)
{
    auto out = picture(w, h, clGray);
    list.Draw(out->Canvas(), x, y, index);
    return out;
}

}  // namespace

TEST(ImageList, AddingCutsStripsRefusesSmallPicturesAndTellsOfEachChange)
{
    TImageList list(4, 3);
    int told = 0, signalled = 0;
    list.OnChange = [&](TImageList* sender) {
        EXPECT_EQ(sender, &list);
        ++told;
    };
    auto watcher = std::make_unique<QObject>();
    list.Watch(watcher.get(), [&] { ++signalled; });

    // A strip 2.5 images wide and one row too tall gives two images of the list's size.
    auto strip = picture(10, 4, clRed);
    strip->Canvas().Brush().SetColor(clBlue);
    strip->Canvas().FillRect(Rect(4, 0, 8, 4));
    EXPECT_EQ(list.Add(*strip), 0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(drawn(list, 0, 6, 5)->PixelColor(3, 2), clRed);
    EXPECT_EQ(drawn(list, 1, 6, 5)->PixelColor(0, 0), clBlue);
    EXPECT_EQ(drawn(list, 1, 6, 5)->PixelColor(4, 0), clGray);  // its width only
    EXPECT_EQ(drawn(list, 1, 6, 5)->PixelColor(0, 3), clGray);  // its height only
    EXPECT_EQ(list.AddMasked(*picture(4, 3, clLime), clBlack), 2);

    EXPECT_THROW(list.Add(*picture(3, 3, clRed)), EInvalidGraphicOperation);
    EXPECT_THROW(list.AddMasked(*picture(4, 2, clRed), clRed), EInvalidGraphicOperation);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(told, 2);
    EXPECT_EQ(signalled, 2);
    // A watcher that has gone, or stopped watching, hears no more.
    QObject other;
    list.Watch(&other, [&] { signalled += 100; });
    watcher.reset();
    list.Delete(0);
    EXPECT_EQ(signalled, 102);
    list.Unwatch(&other);
    list.Delete(0);
    EXPECT_EQ(signalled, 102);
}

TEST(ImageList, MaskedPicturesLeaveTheirSeeThroughPixelsOut)
{
    TImageList list(4, 4);
    // By colour: the fuchsia background is left out, the rest drawn.
    auto glyph = picture(4, 4, clFuchsia);
    glyph->Canvas().SetPixel(1, 1, clNavy);
    list.AddMasked(*glyph, clFuchsia);
    auto out = drawn(list, 0, 8, 8, 2, 3);
    EXPECT_EQ(out->PixelColor(3, 4), clNavy);
    EXPECT_EQ(out->PixelColor(2, 3), clGray);
    EXPECT_EQ(out->PixelColor(5, 6), clGray);

    // By mask: white is see-through, whatever colours the picture has there or elsewhere;
    // the see-through colour is also a visible one here, and so is fuchsia.
    auto photo = picture(4, 4, clWhite);
    photo->Canvas().SetPixel(0, 0, clFuchsia);
    auto mask = picture(4, 4, clBlack);
    mask->Canvas().Brush().SetColor(clWhite);
    mask->Canvas().FillRect(Rect(2, 0, 4, 4));
    list.Add(*photo, mask.get());
    out = drawn(list, 1, 4, 4);
    EXPECT_EQ(out->PixelColor(0, 0), clFuchsia);
    EXPECT_EQ(out->PixelColor(1, 3), clWhite);
    EXPECT_EQ(out->PixelColor(2, 0), clGray);
    EXPECT_EQ(out->PixelColor(3, 3), clGray);

    // Without a mask the picture is drawn whole, mask colour or not.
    list.Add(*glyph);
    EXPECT_EQ(drawn(list, 2, 4, 4)->PixelColor(0, 0), clFuchsia);
    // A mask that is all black hides nothing.
    list.Add(*glyph, picture(4, 4, clBlack).get());
    EXPECT_EQ(drawn(list, 3, 4, 4)->PixelColor(3, 3), clFuchsia);
}

TEST(ImageList, ReplaceDeleteClearAndResizeKeepIndicesHonest)
{
    TImageList list(2, 2);
    int told = 0;
    list.OnChange = [&](TImageList*) { ++told; };
    for (TColor c : {clRed, clGreen, clBlue})
        list.Add(*picture(2, 2, c));
    list.Delete(0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(drawn(list, 0, 2, 2)->PixelColor(0, 0), clGreen);
    list.ReplaceMasked(1, *picture(2, 2, clYellow), clYellow);
    EXPECT_EQ(drawn(list, 1, 2, 2)->PixelColor(1, 1), clGray);
    list.Replace(1, *picture(4, 2, clAqua));  // a strip replaces with its first image
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(drawn(list, 1, 2, 2)->PixelColor(1, 1), clAqua);
    EXPECT_EQ(told, 6);

    for (int bad : {-1, 2}) {
        EXPECT_THROW(list.Delete(bad), EInvalidGraphicOperation);
        EXPECT_THROW(list.Replace(bad, *picture(2, 2, clRed)), EInvalidGraphicOperation);
        EXPECT_EQ(drawn(list, bad, 2, 2)->PixelColor(0, 0), clGray);  // drawing skips it
    }
    EXPECT_EQ(told, 6);

    list.SetSize(2, 2);  // the same size keeps the pictures
    EXPECT_EQ(list.Count(), 2);
    list.SetSize(0, 3);
    EXPECT_EQ(list.Width(), 1);
    EXPECT_EQ(list.Count(), 0);
    list.Clear();  // nothing left to clear: no change
    EXPECT_EQ(told, 7);
}
