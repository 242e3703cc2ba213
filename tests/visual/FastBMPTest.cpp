// Fast bitmaps: row layout, bottom-up storage, resizing, block copies, tiling and drawing.
#include "FastBitmapTestUtil.h"

#include <gtest/gtest.h>

#include <QPainter>

TEST(FastBMP, RowLayoutForWidthsOneToEight)
{
    for (int w = 1; w <= 8; ++w) {
        TFastBMP bmp;
        bmp.SetSize(w, 3);
        const int stride = (3 * w + 3) / 4 * 4;  // 3 bytes a pixel, rows padded to 4 bytes
        EXPECT_EQ(bmp.RowStride, stride) << w;
        EXPECT_EQ(bmp.RowPad, stride - 3 * w) << w;
        EXPECT_EQ(bmp.RowPad, w % 4) << w;
        EXPECT_EQ(bmp.ByteSize, 3 * stride) << w;
        ASSERT_EQ(bmp.RowTable.size(), 3u);
        for (int y = 0; y < 3; ++y)
            EXPECT_EQ(bmp.RowTable[y], bmp.PixelData + y * stride) << w;
    }
    TFastBMP five;
    five.SetSize(5, 1);
    EXPECT_EQ(five.RowStride, 16);
    EXPECT_EQ(five.RowPad, 1);
}

TEST(FastBMP, SetSizeKeepsPixelsOnlyWhenTheSizeIsUnchanged)
{
    TFastBMP bmp;
    EXPECT_TRUE(bmp.Empty());
    fillTagged(bmp, 3, 2);
    bmp.SetSize(3, 2);
    EXPECT_EQ(px(bmp, 2, 1), tag(2, 1));
    bmp.SetSize(2, 3);
    EXPECT_EQ(px(bmp, 1, 2), grey(0));
    bmp.SetSize(-5, 4);
    EXPECT_TRUE(bmp.Empty());
    EXPECT_EQ(bmp.ByteSize, 0);
}

TEST(FastBMP, MemoryRowZeroIsTheBottomLineOfThePicture)
{
    QImage image(2, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x)
            image.setPixel(x, y, qRgb(100 + x, 50 + y, 7));
    TFastBMP bmp;
    bmp.LoadFromImage(image);
    ASSERT_EQ(bmp.Width, 2);
    ASSERT_EQ(bmp.Height, 3);
    // Bytes are blue, green, red; memory row 0 holds picture line 2.
    EXPECT_EQ(px(bmp, 1, 0), (Bgr{7, 52, 101}));
    EXPECT_EQ(px(bmp, 0, 2), (Bgr{7, 50, 100}));

    QImage canvas(5, 5, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        bmp.Draw(painter, 2, 1);
    }
    EXPECT_EQ(imagePx(canvas, 1, 1), (Bgr{255, 255, 255}));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(imagePx(canvas, 2 + x, 1 + y), imagePx(image, x, y)) << x << "," << y;
    EXPECT_EQ(bmp.ToImage().convertToFormat(QImage::Format_RGB32), image);
}

TEST(FastBMP, StretchAndDrawRectSampleWholePixels)
{
    TFastBMP bmp;
    fillTagged(bmp, 2, 2);
    QImage canvas(4, 4, QImage::Format_RGB32);
    {
        QPainter painter(&canvas);
        bmp.Stretch(painter, 0, 0, 4, 4);
    }
    // Picture line 0 is memory row 1.
    EXPECT_EQ(imagePx(canvas, 0, 0), tag(0, 1));
    EXPECT_EQ(imagePx(canvas, 1, 1), tag(0, 1));
    EXPECT_EQ(imagePx(canvas, 3, 3), tag(1, 0));
    {
        QPainter painter(&canvas);
        bmp.DrawRect(painter, 0, 0, 1, 1, 1, 1);
    }
    EXPECT_EQ(imagePx(canvas, 0, 0), tag(1, 0));
    EXPECT_EQ(imagePx(canvas, 1, 0), tag(0, 1));
}

TEST(FastBMP, ResizeRepeatsOrSkipsPixels)
{
    TFastBMP src, dst;
    fillTagged(src, 2, 2);
    dst.SetSize(4, 4);
    src.Resize(dst);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(px(dst, x, y), tag(x / 2, y / 2)) << x << "," << y;

    fillTagged(src, 4, 4);
    dst.SetSize(2, 2);
    src.Resize(dst);
    EXPECT_EQ(px(dst, 0, 0), tag(0, 0));
    EXPECT_EQ(px(dst, 1, 0), tag(2, 0));
    EXPECT_EQ(px(dst, 0, 1), tag(0, 2));
    EXPECT_EQ(px(dst, 1, 1), tag(2, 2));

    // 3 -> 5 columns: each pixel written twice from columns 0, 1 and 3, later ones on top.
    fillTagged(src, 3, 1);
    dst.SetSize(5, 2);
    src.Resize(dst);
    const int fromX[5] = {0, 1, 1, 2, 2};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(px(dst, x, y), tag(fromX[x], 0)) << x << "," << y;

    // Wider but lower: the fixed-point path, steps of half a column and two rows.
    fillTagged(src, 2, 4);
    dst.SetSize(4, 2);
    src.Resize(dst);
    EXPECT_EQ(px(dst, 1, 0), tag(0, 0));
    EXPECT_EQ(px(dst, 2, 1), tag(1, 2));
}

TEST(FastBMP, SmoothResizeWeighsTheFourNeighbours)
{
    // 2 x 2 -> 3 x 3: steps of 10922/32768; at (1, 1) the weights are 14565, 7281, 7282, 3640.
    TFastBMP src, dst;
    src.SetSize(2, 2);
    setPx(src, 0, 0, {0, 255, 0});
    setPx(src, 1, 0, {0, 0, 255});
    setPx(src, 0, 1, {0, 0, 0});
    setPx(src, 1, 1, {255, 0, 0});
    dst.SetSize(3, 3);
    src.SmoothResize(dst);
    EXPECT_EQ(px(dst, 1, 1), (Bgr{28, 113, 56}));
    EXPECT_EQ(px(dst, 0, 0), px(src, 0, 0));

    // A one-pixel-high source: the second row has weight 0 and is taken from the only row.
    TFastBMP line;  // fresh, so that a read past its one row is caught by a sanitizer
    fillGrey(line, {{0, 255}});
    dst.SetSize(3, 4);
    line.SmoothResize(dst);
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(blueRow(dst, y), (std::vector<int>{0, 84, 169})) << y;

    // A one-pixel-wide source goes through Resize.
    fillGrey(src, {{9}, {90}});
    dst.SetSize(2, 4);
    src.SmoothResize(dst);
    EXPECT_EQ(blueRow(dst, 1), (std::vector<int>{9, 9}));
    EXPECT_EQ(blueRow(dst, 2), (std::vector<int>{90, 90}));
}

TEST(FastBMP, CopyRectClipsToBothPictures)
{
    TFastBMP src, dst;
    fillTagged(src, 6, 2);
    dst.SetSize(6, 2);
    // X = -3: starts at source column SrcX + 3, three pixels narrower. Picture line 0 is
    // memory row 1.
    src.CopyRect(dst, -3, 0, 5, 1, 1, 0);
    EXPECT_EQ(px(dst, 0, 1), tag(4, 1));
    EXPECT_EQ(px(dst, 1, 1), tag(5, 1));
    EXPECT_EQ(px(dst, 2, 1), grey(0));
    EXPECT_EQ(px(dst, 0, 0), grey(0));

    dst.SetSize(3, 3);
    src.CopyRect(dst, 0, 0, 2, 2, -1, -1);  // negative source moves the destination
    EXPECT_EQ(px(dst, 0, 2), grey(0));
    EXPECT_EQ(px(dst, 1, 1), tag(0, 1));
    EXPECT_EQ(px(dst, 1, 2), grey(0));

    dst.SetSize(3, 3);
    src.CopyRect(dst, 2, 1, 100, 100, 0, 0);  // cut to the destination's edges
    EXPECT_EQ(px(dst, 2, 1), tag(0, 1));
    EXPECT_EQ(px(dst, 2, 0), tag(0, 0));
    src.CopyRect(dst, 0, 0, 3, 3, 6, 0);  // source start past the last column: nothing
    EXPECT_EQ(px(dst, 0, 2), grey(0));
}

TEST(FastBMP, TileRepeatsThePictureFromTheTopLeft)
{
    TFastBMP src, dst;
    fillTagged(src, 2, 2);
    dst.SetSize(5, 3);
    src.Tile(dst);
    // Picture line p of dst shows picture line p mod 2 of src (memory row 1 - p mod 2).
    for (int line = 0; line < 3; ++line)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(px(dst, x, 2 - line), tag(x % 2, 1 - line % 2)) << x << "," << line;

    QImage canvas(7, 4, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        src.TileDraw(painter, 1, 1, 5, 3);
    }
    EXPECT_EQ(imagePx(canvas, 0, 0), (Bgr{255, 255, 255}));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(imagePx(canvas, 1 + x, 1 + y), tag(x % 2, 1 - y % 2)) << x << "," << y;
}

TEST(FastBMP, EmptyPicturesDrawAndCopyNothing)
{
    TFastBMP empty, dst;
    dst.SetSize(2, 2);
    setPx(dst, 0, 0, grey(5));
    empty.Resize(dst);
    empty.SmoothResize(dst);
    empty.Tile(dst);
    empty.CopyRect(dst, 0, 0, 2, 2, 0, 0);
    dst.Resize(empty);
    dst.SmoothResize(empty);
    dst.Tile(empty);
    EXPECT_EQ(px(dst, 0, 0), grey(5));
    QImage canvas(2, 2, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    empty.Draw(painter, 0, 0);
    empty.TileDraw(painter, 0, 0, 2, 2);
    painter.end();
    EXPECT_EQ(imagePx(canvas, 0, 0), (Bgr{255, 255, 255}));
    dst.CopyFrom(empty);
    EXPECT_TRUE(dst.Empty());
}
