// The splash over a loading main window, its frames fired by hand on the display control's
// offscreen surface: the credit lines scroll up two pixels a frame from the pane's bottom,
// the scroll stops after 61 frames, the close waits for both the scroll end and Ready, a
// closed splash stays still, and a narrow window has it centred on the whole window.
#include "shared/SettingsFixture.h"

#include "app/Globals.h"
#include "app/MainForm.h"
#include "app/xSplash.h"
#include "util/libIni.h"
#include "visual/DXDraw.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

#include <filesystem>

using testsupport::ScopedEnv;
using testsupport::waitFor;

namespace {

// The first and last rows of the surface with at least three pixels of Colour right of X, each
// beside another of that colour.
std::pair<int, int> inkRows(visual::TDXDraw& Pane, gfx::TColor Colour, int X)
{
    int first = -1, last = -1;
    gfx::TCanvas& c = Pane.Surface->Canvas();
    for (int y = 0; y < Pane.height(); ++y) {
        int n = 0;
        // The stars are lone pixels of any of eight colours, green and cyan among them, so a
        // row of three green stars would pass for text; the text's strokes run wider.
        for (int x = X; x < Pane.width(); ++x)
            n += c.Pixels(x, y) == Colour && (c.Pixels(x - 1, y) == Colour || c.Pixels(x + 1, y) == Colour);
        if (n >= 3) {
            first = first < 0 ? y : first;
            last = y;
        }
    }
    Pane.Surface->Canvas().Release();
    return {first, last};
}

}  // namespace

TEST(Splash, ScrollsItsCreditsAndClosesOnceLoadedAndScrolled)
{
    testsupport::TempDir home;
    ScopedEnv homeEnv("HOME", home.path()), dataEnv("XDG_DATA_HOME", home.file("data"));
    SettingsFixture settings;
    std::filesystem::create_directories(home.file("music"));
    IniWriteString(settings.base, "SETTING", "MP3_PATH", home.file("music"));
    Mp3Path.clear();
    MusicFolders.clear();
    TfrmMain w;
    w.MsgBoxEx = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                    const std::string&) { return 6; };
    auto* splash = new TfrmSplash(&w);
    splash->Timer1.SetInterval(1 << 30);   // frames come from the test
    w.show();
    ASSERT_TRUE(waitFor([&] { return w.Loaded(); }));
    ASSERT_TRUE(splash->isVisible());
    EXPECT_TRUE(w.SplashShown);
    EXPECT_TRUE(splash->Ready);
    EXPECT_TRUE(splash->Timer1.Enabled());
    ASSERT_EQ(splash->ScrollPos(), 0);
    splash->Ready = false;   // as if loading took longer than the scroll

    visual::TDXDraw& pane = *splash->dxdSplash;
    ASSERT_EQ(pane.height(), 142);
    for (int i = 0; i < 20; ++i)
        splash->Timer1Timer();
    ASSERT_EQ(splash->ScrollPos(), 40);
    // Line 0 (green, from x 30) at y 102, line 1 (cyan, from x 277) at 130, each within its
    // cell's height; a frame later both are two pixels higher.
    const int cell = 28;
    const auto green = inkRows(pane, 0x00FF00, 30), cyan = inkRows(pane, 0xFFFF00, 277);
    EXPECT_GE(green.first, 102);
    EXPECT_LT(green.second, 102 + cell);
    EXPECT_GE(cyan.first, 130);
    EXPECT_LT(cyan.second, pane.height());
    splash->Timer1Timer();
    EXPECT_EQ(inkRows(pane, 0x00FF00, 30).first, green.first - 2);
    EXPECT_EQ(inkRows(pane, 0xFFFF00, 277).first, cyan.first - 2);

    for (int i = 0; i < 10; ++i)
        splash->Timer1Timer();
    QCoreApplication::processEvents();
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
    QDir().mkpath(dir);
    // As the user sees it: the main window's picture where the splash lies.
    EXPECT_TRUE(w.grab(splash->geometry()).save(dir + "splash.png"));

    while (splash->ScrollPos() < 122 && splash->FrameCount() < 1000)
        splash->Timer1Timer();
    EXPECT_EQ(splash->FrameCount(), 2 * 61) << "61 frames of scrolling";
    splash->Timer1Timer();
    EXPECT_EQ(splash->ScrollPos(), 122);
    // Where the scroll ends, the grown logo stays clear of the address line beside it.
    ASSERT_EQ(splash->LineRects().size(), 4u);
    const gfx::TRect logo = splash->LogoRect(), address = splash->LineRects()[3];
    EXPECT_FALSE(logo.IsEmpty());
    EXPECT_LT(logo.Right, address.Left) << "the logo covers the address line";
    EXPECT_LE(address.Right, pane.width());
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.grab(splash->geometry()).save(dir + "splash-end.png"));
    EXPECT_FALSE(splash->Timer2.Enabled()) << "not Ready yet";
    splash->Ready = true;
    splash->Timer1Timer();
    ASSERT_TRUE(splash->Timer2.Enabled());
    EXPECT_EQ(splash->Timer2.Interval(), 3000);
    splash->Timer2Timer();
    EXPECT_FALSE(splash->isVisible());
    EXPECT_FALSE(splash->Timer1.Enabled());

    // Moving the window places the closed splash but leaves it still.
    splash->PlaceSplash();
    EXPECT_FALSE(splash->Timer1.Enabled());

    // A music list narrower than the splash: centred on the whole window.
    w.resize(w.minimumSize());
    ASSERT_TRUE(waitFor([&] { return w.size() == w.minimumSize(); }, 5000));
    ASSERT_LT(w.lstMP3->width(), splash->width());
    splash->PlaceSplash();
    EXPECT_EQ(splash->pos(), QPoint((w.width() - splash->width()) / 2, (w.height() - splash->height()) / 2));
    w.close();
}
