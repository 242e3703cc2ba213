// The display control on the memory backend: the order of its events and notifications
// through initialising, resizing, late registration, loss and restore, creation failures,
// and where a present lands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <QWidget>

#include "platform/draw/Draw.h"
#include "visual/DXDraw.h"

using namespace visual;

namespace {

const char* const KindNames[] = {"dnDestroying", "dnInitializing", "dnInitialize",
                                 "dnInitializeSurface", "dnFinalize", "dnFinalizeSurface",
                                 "dnRestore", "dnSurfaceSize"};

void Record(void* data, TCustomDXDraw&, TDXDrawNotifyKind kind)
{
    static_cast<std::vector<std::string>*>(data)->push_back(KindNames[kind]);
}

struct Fixture : ::testing::Test {
    void SetUp() override
    {
        backend = draw::DrawBackend::Memory(32, 400, 300);
        draw::SetCurrentBackend(backend);
        form.setGeometry(20, 30, 200, 120);
        dx = new TDXDraw(&form);
        dx->setGeometry(10, 5, 50, 40);
        auto rec = [this](const char* name) {
            return [this, name](QObject*) { log.push_back(name); };
        };
        dx->OnInitializing = rec("OnInitializing");
        dx->OnInitialize = rec("OnInitialize");
        dx->OnInitializeSurface = rec("OnInitializeSurface");
        dx->OnFinalize = rec("OnFinalize");
        dx->OnFinalizeSurface = rec("OnFinalizeSurface");
        dx->OnRestoreSurface = rec("OnRestoreSurface");
    }
    void TearDown() override
    {
        delete dx;
        draw::SetCurrentBackend(nullptr);
    }
    std::vector<std::string> Take() { return std::exchange(log, {}); }
    std::shared_ptr<draw::DrawBackend> backend;
    QWidget form;
    TDXDraw* dx = nullptr;
    std::vector<std::string> log;
};

using DXDraw = Fixture;
using V = std::vector<std::string>;

TEST_F(DXDraw, EventOrdersFromFirstShowToDestruction)
{
    dx->AddNotifyHandler(Record, &log);
    EXPECT_EQ(Take(), V{"dnSurfaceSize"});
    EXPECT_FALSE(dx->CanDraw());
    dx->Flip();
    form.show();  // the control's first resize event comes with it
    EXPECT_EQ(Take(), (V{"dnSurfaceSize", "OnInitializing", "dnInitializing", "dnSurfaceSize", "dnInitialize",
                         "OnInitialize", "dnInitializeSurface", "OnInitializeSurface",
                         "dnRestore", "OnRestoreSurface"}));
    ASSERT_TRUE(dx->CanDraw());
    EXPECT_EQ(dx->ActiveOptions, Opt(doWaitVBlank) | Opt(doCenter));
    EXPECT_EQ(dx->SurfaceWidth(), 50);

    // Resizing re-creates only the drawing surface.
    dx->resize(70, 40);
    EXPECT_EQ(Take(), (V{"dnFinalizeSurface", "OnFinalizeSurface", "dnInitializeSurface",
                         "OnInitializeSurface", "dnSurfaceSize"}));
    EXPECT_EQ(dx->SurfaceWidth(), 70);

    // A late registration hears of everything so far.
    std::vector<std::string> late;
    dx->AddNotifyHandler(Record, &late);
    EXPECT_EQ(late, (V{"dnSurfaceSize", "dnInitialize", "dnInitializeSurface", "dnRestore"}));

    // Lost surfaces come back black on the next CanDraw.
    dx->Surface->Fill(0x123456);
    backend->LoseSurfaces();
    EXPECT_TRUE(dx->CanDraw());
    EXPECT_EQ(Take(), (V{"dnRestore", "OnRestoreSurface"}));
    EXPECT_EQ(dx->Surface->Pixel(3, 3), 0u);

    // Showing again does not initialise again.
    form.hide();
    form.show();
    EXPECT_EQ(Take(), V{});
    dx->RemoveNotifyHandler(Record, &late);
    EXPECT_EQ(late.back(), "dnFinalize");
    delete dx;
    dx = nullptr;
    EXPECT_EQ(Take(), (V{"OnFinalizeSurface", "dnFinalizeSurface", "OnFinalize", "dnFinalize",
                         "dnDestroying"}));
}

TEST_F(DXDraw, APresentLandsCentredOnTheControlAndOnlyThere)
{
    form.show();
    ASSERT_TRUE(dx->CanDraw());
    dx->SetAutoSize(false);
    dx->SetSurfaceWidth(60);  // 10 wider than the control: placed 5 to the left
    for (int x = 0; x < 60; ++x)
        dx->Surface->SetPixel(x, 0, uint32_t(x + 1));
    dx->Flip();
    const QImage desk = backend->Desktop();
    const QPoint at = dx->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(desk.pixel(at.x(), at.y()) & 0xFFFFFF, 6u);
    EXPECT_EQ(desk.pixel(at.x() + 49, at.y()) & 0xFFFFFF, 55u);
    EXPECT_EQ(desk.pixel(at.x() - 1, at.y()) & 0xFFFFFF, 0u);
    EXPECT_EQ(desk.pixel(at.x() + 50, at.y()) & 0xFFFFFF, 0u);
}

TEST_F(DXDraw, CreationFailuresAndFallbacks)
{
    backend->Hooks().RefuseVideoMemory = true;
    form.show();
    ASSERT_TRUE(dx->Initialized);
    EXPECT_TRUE(dx->ActiveOptions & Opt(doSystemMemory));

    backend->Hooks().RefuseSurfaces = true;
    Take();
    try {
        dx->Initialize();
        ADD_FAILURE();
    } catch (const EDXDrawError& e) {
        EXPECT_STREQ(e.what(), "Surface cannot be made");
    }
    EXPECT_FALSE(dx->Initialized);
    EXPECT_FALSE(dx->DriverActive);
    EXPECT_EQ(dx->DDraw, nullptr);
    EXPECT_FALSE(dx->CanDraw());

    backend->Hooks() = {};
    dx->SetOptions(dx->Options() | Opt(do3D));
    EXPECT_THROW(dx->Initialize(), EDXDrawError);
    dx->SetOptions(DefaultDXDrawOptions | Opt(doFullScreen));
    dx->Display().SetBitCount(16);
    try {
        dx->Initialize();
        ADD_FAILURE();
    } catch (const EDXDrawError& e) {
        EXPECT_STREQ(e.what(), "Display mode cannot be changed (640x480 16bit)");
    }
    EXPECT_THROW(dx->Display().SetBitCount(15), EDirectDrawError);

    TDXDraw orphan;
    EXPECT_THROW(orphan.Initialize(), EDXDrawError);
}

}  // namespace

namespace {

TEST(DXDrawWidget, TheControlShowsWhatWasPresented)
{
    draw::SetCurrentBackend(draw::DrawBackend::Widget());
    {
        QWidget form;
        form.resize(120, 80);
        auto* dx = new TDXDraw(&form);
        dx->setGeometry(10, 10, 40, 20);
        form.show();
        ASSERT_TRUE(dx->CanDraw());
        const bool s16 = dx->Surface->BitCount() == 16;
        dx->Surface->Fill(s16 ? 0x07E0 : 0x00FF00);
        dx->Surface->Canvas().Brush().SetColor(gfx::clRed);
        dx->Surface->Canvas().FillRect(gfx::Rect(0, 0, 5, 5));
        dx->Surface->Canvas().Release();
        dx->Flip();
        const QImage shot = dx->grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(shot.pixel(2, 2) & 0xFFFFFF, 0xFF0000u);
        EXPECT_EQ(shot.pixel(20, 10) & 0xFFFFFF, 0x00FF00u);
    }
    draw::SetCurrentBackend(nullptr);
}

}  // namespace
