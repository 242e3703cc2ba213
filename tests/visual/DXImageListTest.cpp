// The image list and the sprite engine on an initialised display control of the memory
// backend at 16 and 32 bits: tiling and patterns, drawing by pattern, the colour key, rebuild
// after lost surfaces, the name hash, and the sprites' order, animation, bounds, stars and
// collisions.
#include <gtest/gtest.h>

#include <QWidget>

#include "platform/draw/Draw.h"
#include "platform/gfx/Colors.h"
#include "visual/DXImageList.h"
#include "visual/DXSprite.h"

using namespace visual;
using gfx::Rect;

namespace {

// Pattern colours, one per 30 x 50 cell, exact at 16 bits too.
const gfx::TColor Cells[] = {gfx::clRed, gfx::clLime, gfx::clBlue, gfx::clYellow};

class ImageList : public ::testing::TestWithParam<uint32_t> {
protected:
    void SetUp() override
    {
        backend = draw::DrawBackend::Memory(GetParam(), 400, 300);
        draw::SetCurrentBackend(backend);
        form.setGeometry(20, 30, 300, 120);
        dx = new TDXDraw(&form);
        dx->setGeometry(0, 0, 250, 68);
        list = std::make_unique<TDXImageList>();
        list->SetDXDraw(dx);
        form.show();
    }
    void TearDown() override
    {
        list.reset();
        delete dx;
        draw::SetCurrentBackend(nullptr);
    }
    // A w x h picture whose columns x run through the cell colours every `cell` pixels.
    TPictureCollectionItem* AddItem(int w, int h, int cell)
    {
        TDIB dib;
        dib.SetSize(w, h, 24);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                dib.SetPixel(x, y, uint32_t(Cells[(x / cell) % 4]));
        TPictureCollectionItem* item = list->Items().Add();
        item->Picture.SetGraphic(&dib);
        return item;
    }
    uint32_t Dev(gfx::TColor c) { return uint32_t(dx->Surface->MatchColor(c)); }
    std::shared_ptr<draw::DrawBackend> backend;
    QWidget form;
    TDXDraw* dx = nullptr;
    std::unique_ptr<TDXImageList> list;
};

}  // namespace

TEST_P(ImageList, TilesAndPatterns)
{
    ASSERT_TRUE(dx->Initialized);
    struct Case {
        int w, h, pw, ph, skipW;
        bool sysMem;
        int surfaces, patterns, tileW;
    };
    // 100 wide in steps of 30: tiles of 90 and 10. Step 32 over 94: one tile of 96 cut to
    // 94, (94 + 2) div 32 = 3 patterns. A gap that swallows the pattern, or no picture: none.
    for (const Case& c : {Case{100, 50, 30, 50, 0, false, 2, 3, 90},
                          Case{94, 50, 30, 50, 2, false, 1, 3, 96},
                          Case{100, 50, 30, 50, 0, true, 1, 3, 1000},
                          Case{40, 50, 0, 0, 0, false, 1, 1, 40},
                          Case{40, 50, 10, 50, -10, false, 0, 0, 1},
                          Case{0, 0, 0, 0, 0, false, 0, 0, 1}}) {
        TPictureCollectionItem* item = c.w ? AddItem(c.w, c.h, 30) : list->Items().Add();
        item->PatternWidth = c.pw;
        item->PatternHeight = c.ph;
        item->SkipWidth = c.skipW;
        item->SystemMemory = c.sysMem;
        item->Restore();
        ASSERT_EQ(int(item->SurfaceList.size()), c.surfaces) << c.w << " " << c.skipW;
        ASSERT_EQ(item->PatternCount(), c.patterns) << c.w << " " << c.skipW;
        if (c.surfaces) {
            EXPECT_EQ(item->SurfaceList[0]->Width(), std::min(c.w, c.tileW));
        }
        if (c.w == 100 && !c.sysMem) {
            EXPECT_EQ(item->SurfaceList[1]->Width(), 10);
        }
        for (int i = 0; i < item->PatternCount(); ++i) {
            EXPECT_EQ(item->PatternRect(i),
                      gfx::Bounds(i * (item->Width() + c.skipW) % c.tileW, 0, item->Width(), 50));
            EXPECT_EQ(item->PatternSurface(i), item->SurfaceList[size_t(i * (item->Width() + c.skipW) / c.tileW)].get());
        }
        EXPECT_EQ(item->PatternRect(c.patterns), Rect(0, 0, 0, 0));
        EXPECT_EQ(item->PatternSurface(-1), nullptr);
    }
}

TEST_P(ImageList, DrawsEachPatternFromItsOwnTileAndKeysBlack)
{
    TPictureCollectionItem* item = AddItem(120, 50, 30);
    item->PatternWidth = 30;
    item->PatternHeight = 50;
    item->Restore();
    ASSERT_EQ(item->PatternCount(), 4);
    TDirectDrawSurface& s = *dx->Surface;
    for (int i = 0; i < 4; ++i) {
        s.Fill(0);
        item->Draw(s, 10, 5, i);
        EXPECT_EQ(s.Pixel(10, 5), Dev(Cells[i])) << i;
        EXPECT_EQ(s.Pixel(39, 54), Dev(Cells[i])) << i;
        EXPECT_EQ(s.Pixel(40, 5), 0u) << i;
        s.Fill(0);
        item->StretchDraw(s, Rect(0, 0, 15, 25), i);
        EXPECT_EQ(s.Pixel(14, 24), Dev(Cells[i])) << i;
        s.Fill(0);
        item->DrawWaveDistort(s, 100, 0, 30, 50, i, 0, 80, 0);
        EXPECT_EQ(s.Pixel(129, 49), Dev(Cells[i])) << i;
    }
    s.Fill(Dev(gfx::clWhite));
    item->Draw(s, 0, 0, 4);
    item->Draw(s, 0, 0, -1);
    item->DrawWaveDistort(s, 0, 0, 30, 50, 4, 0, 80, 0);
    EXPECT_EQ(s.Pixel(0, 0), Dev(gfx::clWhite));

    // A glowing star on black: the black around it stays transparent, at every draw.
    TDIB star;
    star.SetSize(8, 8, 24);
    star.SetPixel(3, 4, uint32_t(gfx::clWhite));
    TPictureCollectionItem* glow = list->Items().Add();
    glow->Picture.SetGraphic(&star);
    glow->Restore();
    for (int how = 0; how < 3; ++how) {
        s.Fill(Dev(gfx::clBlue));
        if (how == 0)
            glow->Draw(s, 0, 0, 0);
        else if (how == 1)
            glow->StretchDraw(s, Rect(0, 0, 8, 8), 0);
        else
            glow->DrawWaveDistort(s, 0, 0, 8, 8, 0, 0, 80, 0);
        EXPECT_EQ(s.Pixel(0, 0), Dev(gfx::clBlue)) << how;
        EXPECT_EQ(s.Pixel(3, 4), Dev(gfx::clWhite)) << how;
    }
    // A new transparent colour keys the existing surfaces by it.
    glow->SetTransparentColor(gfx::clWhite);
    s.Fill(Dev(gfx::clBlue));
    glow->Draw(s, 0, 0, 0);
    EXPECT_EQ(s.Pixel(3, 4), Dev(gfx::clBlue));
    EXPECT_EQ(s.Pixel(0, 0), 0u);
}

TEST_P(ImageList, FollowsTheControlThroughLossFinalizeAndRebinding)
{
    TPictureCollectionItem* item = AddItem(60, 20, 30);
    // Items added later get their surfaces at the next restore.
    EXPECT_FALSE(item->Initialized);
    dx->Restore();
    ASSERT_EQ(item->SurfaceList.size(), 1u);
    // Lost surfaces come back black: the picture shows again only when rebuilt.
    backend->LoseSurfaces();
    ASSERT_TRUE(dx->CanDraw());
    ASSERT_EQ(item->SurfaceList.size(), 1u);
    dx->Surface->Fill(0);
    item->Draw(*dx->Surface, 0, 0, 0);
    EXPECT_EQ(dx->Surface->Pixel(30, 0), Dev(Cells[1]));

    dx->Finalize();
    EXPECT_FALSE(item->Initialized);
    EXPECT_TRUE(item->SurfaceList.empty());
    EXPECT_THROW(list->Items().Initialize(dx), EPictureCollectionError);
    dx->Initialize();
    EXPECT_EQ(item->SurfaceList.size(), 1u);
    list->SetDXDraw(nullptr);
    EXPECT_FALSE(item->Initialized);
    EXPECT_EQ(list->Items().DXDraw, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Depths, ImageList, ::testing::Values(16u, 32u));

TEST(HashCollection, BucketsAndCachedIndices)
{
    EXPECT_EQ(HashName("abc"), 243);
    EXPECT_EQ(HashName("abd"), 243);
    EXPECT_EQ(HashName("ABC"), 243);
    EXPECT_EQ(HashName("x"), 16);
    EXPECT_EQ(HashName(""), 0);
    TPictureCollection c;
    TPictureCollectionItem* a = c.Add();
    TPictureCollectionItem* b = c.Add();
    TPictureCollectionItem* d = c.Add();
    a->SetName("abc");
    b->SetName("ABC");
    d->SetName("q");
    EXPECT_EQ(c.Buckets[243], b);
    EXPECT_EQ(b->NextInBucket, a);
    EXPECT_EQ(a->PrevInBucket, b);
    EXPECT_EQ(c.Buckets[16], d);
    EXPECT_EQ(c.Buckets[0], nullptr);  // renamed items left the empty name's bucket
    c.Delete(0);
    EXPECT_EQ(b->CachedIndex, 0);
    EXPECT_EQ(d->CachedIndex, 1);
    EXPECT_EQ(c.Buckets[243], b);
    EXPECT_EQ(b->NextInBucket, nullptr);
    b->SetName("zz");
    EXPECT_EQ(c.Buckets[243], nullptr);
    EXPECT_EQ(c.Count(), 2);
}

// ---- Sprites ------------------------------------------------------------------------------

TEST(Sprite, TreeOrderAndAnimation)
{
    TSpriteEngine engine(nullptr);
    EXPECT_THROW(engine.Items(0), ESpriteError);
    auto* s1 = new TSprite(&engine);
    auto* s2 = new TSprite(&engine);
    auto* s3 = new TSprite(&engine);
    s1->SetZ(5);
    s2->SetZ(3);
    s3->SetZ(5);
    EXPECT_EQ(*engine.DrawList(), (std::vector<TSprite*>{s2, s3, s1}));
    EXPECT_EQ(engine.AllCount, 3);
    auto* child = new TSprite(s1);
    EXPECT_EQ(child->Engine, &engine);
    EXPECT_EQ(engine.AllCount, 4);
    s1->X = 10.7;
    child->X = -3;
    child->Y = 2.5;
    child->Width = 4;
    EXPECT_EQ(child->GetBoundsRect(), Rect(7, 2, 11, 2));
    try {
        s1->Items(1);
        ADD_FAILURE();
    } catch (const ESpriteError& e) {
        EXPECT_STREQ(e.what(), "Index of the list exceeds the range. (1)");
    }
    delete s1;
    EXPECT_EQ(engine.AllCount, 2);
    EXPECT_EQ(engine.Count(), 2);

    TImageSprite anim(&engine);
    anim.AnimCount = 4;
    anim.AnimPos = 3.5;
    anim.AnimSpeed = 1;
    anim.AnimLooped = true;
    anim.DoMove(1);
    EXPECT_DOUBLE_EQ(anim.AnimPos, 0.5);
    anim.AnimPos = 3.5;
    anim.AnimLooped = false;
    anim.DoMove(1);
    EXPECT_DOUBLE_EQ(anim.AnimPos, 3);
    EXPECT_DOUBLE_EQ(anim.AnimSpeed, 0);
    anim.AnimSpeed = -10;
    anim.DoMove(1);
    EXPECT_DOUBLE_EQ(anim.AnimPos, 0);
}

TEST_P(ImageList, SpritesTileStarsFollowTheControlAndCollide)
{
    TDXSpriteEngine sprites;
    TDXDraw other(&form);
    other.setGeometry(0, 80, 40, 30);
    other.show();
    other.Initialize();
    ASSERT_TRUE(other.Initialized);
    sprites.SetDXDraw(dx);
    TSpriteEngine& engine = sprites.Engine();
    EXPECT_EQ(engine.Surface(), dx->Surface.get());
    EXPECT_EQ(engine.Width, 250);
    sprites.SetDXDraw(&other);
    EXPECT_EQ(engine.Surface(), other.Surface.get());
    EXPECT_EQ(engine.SurfaceRect(), Rect(0, 0, 40, 30));
    sprites.SetDXDraw(dx);

    // Tiling folds positions into the surface plus one sprite; an empty span is left alone.
    TImageSprite tiled(&engine);
    tiled.Tile = true;
    tiled.Width = 10;
    tiled.Height = 10;
    tiled.X = 265;
    tiled.Y = -5;
    EXPECT_EQ(tiled.GetBoundsRect(), gfx::Bounds(5, -5, 10, 10));
    tiled.Width = -250;
    tiled.X = 300;
    EXPECT_EQ(tiled.GetBoundsRect().Left, 300);

    // Stars: depth 1 full size centred on the origin, depth 100 empty at the centre.
    TDIB glow;
    glow.SetSize(32, 32, 24);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            glow.SetPixel(x, y, uint32_t(gfx::clWhite));
    TPictureCollectionItem* item = list->Items().Add();
    item->Picture.SetGraphic(&glow);
    dx->Restore();
    TMySprite star(&engine);
    star.Image = item;
    star.Depth = 1;
    dx->Surface->Fill(0);
    star.DoDraw();
    EXPECT_EQ(dx->Surface->Pixel(15, 15), Dev(gfx::clWhite));
    EXPECT_EQ(dx->Surface->Pixel(16, 16), 0u);
    EXPECT_EQ(star.X, 0);
    star.Depth = 100;
    dx->Surface->Fill(0);
    star.DoDraw();
    EXPECT_EQ(star.X, 124);
    EXPECT_EQ(star.Y, 34);
    EXPECT_EQ(dx->Surface->Pixel(124, 34), 0u);
    star.DoMove(1);
    EXPECT_EQ(star.Depth, 99);
    star.Depth = 1;
    star.DoMove(1);
    EXPECT_EQ(star.Depth, 100);
    star.Depth = 0;
    star.DoDraw();  // not drawn, no division

    // Pixel-exact collisions: two star pictures (one white pixel on black) touch only where
    // both pixels are lit.
    TDIB dot;
    dot.SetSize(4, 4, 24);
    dot.SetPixel(1, 1, uint32_t(gfx::clWhite));
    TPictureCollectionItem* dotItem = list->Items().Add();
    dotItem->Picture.SetGraphic(&dot);
    dx->Restore();
    TImageSprite a(&engine), b(&engine);
    for (TImageSprite* s : {&a, &b}) {
        s->Image = dotItem;
        s->Width = s->Height = 4;
        s->PixelCheck = true;
    }
    b.X = 2;
    EXPECT_FALSE(a.TestCollision(b));
    b.X = 0;
    EXPECT_TRUE(a.TestCollision(b));
    b.Y = 3;
    EXPECT_FALSE(a.TestCollision(b));
    a.PixelCheck = false;
    EXPECT_TRUE(a.TestCollision(b));
}
