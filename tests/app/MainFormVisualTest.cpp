// The CPU load reader over written stat files, and the window's CPU graph.
#include "shared/SettingsFixture.h"

#include "app/CpuUsage.h"
#include "app/MainForm.h"
#include "support/TestSupport.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>

#include <fstream>

using testsupport::waitFor;

namespace {

// A stat file whose aggregate line the test rewrites between readings.
struct StatFile {
    testsupport::TempDir dir;
    std::string path = dir.file("stat");
    void write(const std::string& cpuLine)
    {
        std::ofstream(path) << cpuLine << "\ncpu0 1 2 3 4 5 6 7 8 0 0\nintr 1\n";
    }
    // user nice system idle iowait irq softirq steal, the idle share split over idle and iowait.
    void write(uint64_t busy, uint64_t idle)
    {
        write("cpu  " + std::to_string(busy) + " 0 0 " + std::to_string(idle - idle / 4) + " " +
              std::to_string(idle / 4) + " 0 0 0 0 0");
    }
};

}  // namespace

TEST(CpuUsage, LoadBetweenReadings)
{
    struct Case {
        const char* what;
        uint64_t busy1, idle1, busy2, idle2;
        int expected;
    };
    const Case cases[] = {
        {"two idle processors", 1000, 5000, 1000, 5200, 0},
        {"one of two busy", 1000, 5000, 1100, 5100, 50},
        {"fully busy", 1000, 5000, 1200, 5000, 100},
        {"a third busy, truncated", 1000, 5000, 1001, 5002, 33},
        {"equal samples", 1000, 5000, 1000, 5000, 0},
        {"counters went backwards", 1000, 5000, 500, 4000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StatFile stat;
        TCpuUsage cpu(stat.path);
        stat.write(c.busy1, c.idle1);
        EXPECT_EQ(cpu.ReadCpuLoad(), 0);   // the first reading
        stat.write(c.busy2, c.idle2);
        EXPECT_EQ(cpu.ReadCpuLoad(), c.expected);
    }
}

TEST(CpuUsage, MissingOrGarbledFileGivesZero)
{
    StatFile stat;
    TCpuUsage cpu(stat.path);
    EXPECT_EQ(cpu.ReadCpuLoad(), 0);   // missing
    for (const char* line : {"cpu  1 2 x 4 5 6 7 8", "cpu0 1 2 3 4 5 6 7 8", "cpu 1 2 3", ""}) {
        stat.write(line);
        EXPECT_EQ(cpu.ReadCpuLoad(), 0) << line;
    }
    // A good pair after garbage still measures.
    stat.write(0, 100);
    cpu.ReadCpuLoad();
    stat.write(60, 140);
    EXPECT_EQ(cpu.ReadCpuLoad(), 60);
}

TEST(CpuGraph, ColoursAndScrollingGraph)
{
    const std::pair<int, forms::TColor> colours[] = {
        {0, 0xFFFFFF},  {49, 0xFFFFFF}, {50, 0x00FF00},  {68, 0x00FF00}, {69, 0xFFFFFF},
        {70, 0x00FFFF}, {79, 0x00FFFF}, {80, 0x0000FF}, {100, 0x0000FF},
    };
    for (auto [load, colour] : colours)
        EXPECT_EQ(TfrmMain::CpuLoadColor(load), colour) << load;

    SettingsFixture settings;
    TfrmMain w;
    w.show();
    w.pnlCPU->show();
    w.timCPU.SetEnabled(false);
    StatFile stat;
    w.CpuUsage1 = std::make_unique<TCpuUsage>(stat.path);
    uint64_t busy = 0, idle = 400;
    stat.write(busy, idle);
    w.timCPUTimer();   // the first reading: 0
    // Three ticks: 30 %, 75 %, then 100 %.
    for (int load : {30, 75, 100}) {
        busy += uint64_t(load);
        idle += uint64_t(100 - load);
        stat.write(busy, idle);
        w.timCPUTimer();
    }
    EXPECT_EQ(w.Gauge2->Position(), 100);
    EXPECT_EQ(w.Gauge2->DefaultFrom(), forms::TColor(0x0000FF));
    EXPECT_EQ(w.CpuSlots[43], 10);
    EXPECT_EQ(w.CpuSlots[42], 7);
    EXPECT_EQ(w.CpuSlots[41], 3);
    EXPECT_EQ(w.CpuSlots[40], 0);
    const QImage graph = w.pbxCPU->grab().toImage();
    ASSERT_EQ(graph.size(), QSize(176, 12));
    // The newest value at the right end: red up to near the top, under the blue line.
    EXPECT_EQ(graph.pixelColor(174, 9), QColor(Qt::red));
    EXPECT_EQ(graph.pixelColor(174, 0), QColor(Qt::black));
    bool blueNearTop = false;
    for (int y = 0; y < 5; ++y)
        blueNearTop |= graph.pixelColor(175, y) == QColor(Qt::blue);
    EXPECT_TRUE(blueNearTop);
    // The old, idle part: only the base line.
    EXPECT_EQ(graph.pixelColor(60, 5), QColor(Qt::black));
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
    QDir().mkpath(dir);
    EXPECT_TRUE(w.pnlCPU->grab().toImage().scaled(w.pnlCPU->size() * 3).save(dir + "cpu-graph.png"));
    w.close();
}

namespace {

// Whether any pixel of the surface inside [x0, x1) x [y0, y1) is lit.
bool anyLit(visual::TDirectDrawSurface& s, int x0, int x1, int y0, int y1)
{
    for (int y = std::max(0, y0); y < std::min(s.Height(), y1); ++y)
        for (int x = std::max(0, x0); x < std::min(s.Width(), x1); ++x)
            if (s.Pixel(x, y) != 0)
                return true;
    return false;
}

}  // namespace

TEST(LyricsPanel, PictureSizes)
{
    struct Case {
        int panelW, panelH, picW, picH;
        QSize expected;
    };
    const Case cases[] = {
        {500, 222, 90, 120, {150, 200}},   // full height at 450 and wider
        {300, 222, 90, 120, {100, 133}},   // narrower: times 300 / 450, truncated
        {500, 22, 90, 120, {}},            // no room
        {500, 222, 0, 120, {}},            // no picture
        {500, 222, 90, 0, {}},
        {1, 222, 90, 120, {}},             // scaled to nothing
    };
    for (const Case& c : cases)
        EXPECT_EQ(TfrmMain::LyricsPictureSize(c.panelW, c.panelH, c.picW, c.picH), c.expected)
            << c.panelW << "x" << c.panelH;
}

TEST(LyricsPanel, TwoColumnsPictureRedrawSlideAndClick)
{
    SettingsFixture settings;
    TfrmMain w;
    w.show();
    waitFor([&] { return w.Loaded(); });
    ASSERT_TRUE(w.Loaded());
    w.timDxTimer.SetEnabled(false);
    w.timLyrics1.SetEnabled(false);
    w.pnlLyrics->setGeometry(w.pnlLyrics->x(), 60, 600, 222);
    w.pbxLyrics->setGeometry(1, 1, 598, 220);
    w.pbxLyrics->Initialize();
    w.pnlLyrics->show();
    ASSERT_TRUE(w.pbxLyrics->CanDraw());
    visual::TDirectDrawSurface& s = *w.pbxLyrics->Surface;

    // Short lines, an empty one, and long ones where a third column would begin.
    rtl::TStringList& text = w.DxSound->LyricsTxt();
    text.Clear();
    auto& canvas = s.Canvas();
    canvas.Font().SetName("ＭＳ Ｐゴシック");
    canvas.Font().SetSize(9);
    const int h = canvas.TextHeight("歌詞 0");
    canvas.Release();
    ASSERT_GT(h, 0);
    int perColumn = 0;
    while (10 + (perColumn + 1) * (h + 4) <= s.Height() - 16)
        ++perColumn;
    ++perColumn;   // the line that passes the bottom still belongs to the column
    ASSERT_LT(2 * perColumn, 40);
    std::vector<std::string> lines;
    for (int i = 0; i < 40; ++i)
        lines.push_back(i == 3                ? "   "
                        : i >= 2 * perColumn ? std::string(60, 'W')
                                             : "  歌詞 " + std::to_string(i) + " ");
    int widest = 0;
    for (int i = 0; i < perColumn; ++i) {
        const std::string t = i == 3 ? " " : "歌詞 " + std::to_string(i);
        widest = std::max(widest, s.Canvas().TextWidth(t));
    }
    s.Canvas().Release();
    for (const std::string& l : lines)
        text.Add(l);
    // The test drives the display tick itself; ticks that ran while the window loaded drew
    // nothing, the panel being hidden.
    w.lblMusic->setText(QString::fromUtf8("春の風"));
    w.timDxTimerTimer();

    // First column: each line in its band, the gaps between them dark.
    for (int k = 0; k < perColumn; ++k) {
        const int y = 10 + k * (h + 4);
        SCOPED_TRACE(k);
        EXPECT_EQ(anyLit(s, 10, 10 + widest, y, y + h), k != 3);
        EXPECT_FALSE(anyLit(s, 0, 10 + widest, y + h, y + h + 4));
    }
    EXPECT_FALSE(anyLit(s, 0, 10, 0, s.Height()));
    // Second column at widest + 30, nothing between; no long line (third column) anywhere.
    EXPECT_FALSE(anyLit(s, 10 + widest, widest + 30, 0, s.Height()));
    EXPECT_TRUE(anyLit(s, widest + 30, widest + 34, 10, 10 + h));
    EXPECT_FALSE(anyLit(s, 2 * widest + 40, s.Width(), 0, s.Height()));

    // No redraw while title and width stay; a title that changes again right after a draw
    // is drawn at the next tick.
    s.Fill(0);
    w.timDxTimerTimer();
    EXPECT_FALSE(anyLit(s, 0, s.Width(), 0, s.Height()));
    w.lblMusic->setText(QString::fromUtf8("夏の雨"));
    w.timDxTimerTimer();
    EXPECT_TRUE(anyLit(s, 10, 10 + widest, 10, 10 + h));
    s.Fill(0);
    w.lblMusic->setText(QString::fromUtf8("秋の月"));
    w.timDxTimerTimer();
    EXPECT_TRUE(anyLit(s, 10, 10 + widest, 10, 10 + h));

    // A hidden panel is not drawn, even at a new width; shown again, it is.
    w.resize(w.width() + 10, w.height());
    ASSERT_TRUE(w.pnlLyrics->isHidden());   // the resize hid it, as a user's action does
    w.pnlLyrics->setGeometry(w.pnlLyrics->x(), 60, 600, 222);
    w.pbxLyrics->setGeometry(1, 1, 598, 220);
    w.pbxLyrics->Initialize();
    // The picture: 90 x 120 drawn 150 x 200 at the right edge.
    gfx::TBitmap photo(90, 120);
    photo.Canvas().Brush().SetColor(0x3070E0);
    photo.Canvas().FillRect({0, 0, 90, 120});
    w.DxSound->LyricsImg().Picture().SetGraphic(&photo);
    w.pbxLyrics->Surface->Fill(0);
    w.timDxTimerTimer();
    EXPECT_FALSE(anyLit(*w.pbxLyrics->Surface, 0, 598, 0, 220));
    w.pnlLyrics->show();
    w.pnlLyrics->raise();
    w.timDxTimerTimer();
    visual::TDirectDrawSurface& s2 = *w.pbxLyrics->Surface;
    const int left = s2.Width() - 150 - 8;
    EXPECT_TRUE(anyLit(s2, left, left + 2, 11, 13));
    EXPECT_TRUE(anyLit(s2, left + 148, left + 150, 209, 211));
    EXPECT_FALSE(anyLit(s2, left + 150, s2.Width(), 0, s2.Height()));
    EXPECT_FALSE(anyLit(s2, left - 20, left, 0, s2.Height()));
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
    QDir().mkpath(dir);
    EXPECT_TRUE(w.grab().toImage().save(dir + "lyrics-panel.png"));

    // Shown below the playlist, then one pixel a tick until the top passes 48.
    w.timLyrics1.SetEnabled(true);
    w.timLyrics1Timer();
    EXPECT_FALSE(w.timLyrics1.Enabled());
    EXPECT_TRUE(w.timLyrics2.Enabled());
    const int start = w.lstFile->y() + w.lstFile->height() + 10;
    EXPECT_EQ(w.pnlLyrics->y(), start);
    int ticks = 0;
    while (w.timLyrics2.Enabled() && ticks < 5000) {
        w.timLyrics2Timer();
        ++ticks;
        ASSERT_EQ(w.pnlLyrics->y(), start - ticks);
    }
    EXPECT_EQ(w.pnlLyrics->y(), 47);
    // A click hides it and waits again.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.pbxLyrics, &press);
    EXPECT_TRUE(w.pnlLyrics->isHidden());
    EXPECT_FALSE(w.timLyrics2.Enabled());
    EXPECT_TRUE(w.timLyrics1.Enabled());
    w.close();
}

namespace {

// The overlay as the window drives it: what was asked of it, in order.
struct RecordingEffect : visual::TfrmEffect {
    using visual::TfrmEffect::TfrmEffect;
    std::vector<std::string> calls;
    void Show() override
    {
        calls.push_back("Show");
        TfrmEffect::Show();
    }
    void Close() override
    {
        calls.push_back("Close");
        TfrmEffect::Close();
    }
    void Restart(bool Active) override { calls.push_back(Active ? "Restart(true)" : "Restart(false)"); }
};

}  // namespace

TEST(EffectOverlay, OpenCloseRestoresAndResizeRestartsOnce)
{
    SettingsFixture settings;
    TfrmMain w;
    w.show();
    waitFor([&] { return w.Loaded(); });
    ASSERT_TRUE(w.Loaded());
    w.timDxTimer.SetEnabled(false);
    ASSERT_TRUE(w.do_Effect999->isChecked());
    RecordingEffect effect(w, *w.DxSound);
    w.frmEffect = &effect;
    w.spdMainMenu->setEnabled(true);
    w.spdFavorite->setEnabled(true);   // as a stale state would leave it: the playlist is empty

    w.spdEffectClick();
    EXPECT_EQ(w.spdEffect->Tag, 1);
    EXPECT_EQ(effect.calls, std::vector<std::string>{"Show"});
    EXPECT_TRUE(effect.Visible());
    EXPECT_EQ(w.spdEffect->ColorScheme(), controls::xibutton::csNeoSky);
    EXPECT_TRUE(w.pbxLeft->isVisibleTo(&w));   // paint boxes while the overlay is up
    EXPECT_FALSE(w.dxdLeft->isVisibleTo(&w));
    for (controls::TXiButton* b : {w.spdAllCopy, w.spdCopyList, w.spdFvUpdate, w.spdFavorite,
                                   w.spdMainMenu, w.spdDetails})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    for (int i = 0; i < 5; ++i)
        effect.DrawFrame();
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
    QDir().mkpath(dir);
    EXPECT_TRUE(w.grab().toImage().save(dir + "overlay.png"));

    // Three sizes in a row, then one tick with the size held: one rebuild, for the open overlay.
    w.timFrom.SetEnabled(false);
    const QSize base = w.pnlEffect->size();
    for (int step = 1; step <= 3; ++step) {
        w.pnlEffect->resize(base.width() - 10 * step, base.height());
        QCoreApplication::processEvents();
        EXPECT_TRUE(w.timFrom.Enabled());
        w.timFromTimer();
    }
    EXPECT_EQ(effect.calls.size(), 1u);
    w.timFromTimer();
    EXPECT_FALSE(w.timFrom.Enabled());
    EXPECT_EQ(effect.calls, (std::vector<std::string>{"Show", "Restart(true)"}));

    w.spdEffectClick();
    EXPECT_EQ(w.spdEffect->Tag, 0);
    EXPECT_FALSE(effect.Visible());
    EXPECT_EQ(effect.calls.back(), "Close");
    EXPECT_EQ(w.spdEffect->ColorScheme(), controls::xibutton::csNeoSilver);
    EXPECT_TRUE(w.dxdLeft->isVisibleTo(&w));
    EXPECT_FALSE(w.pbxLeft->isVisibleTo(&w));
    EXPECT_TRUE(w.spdMainMenu->isEnabled());
    // Each list button by its own rule: nothing to copy or store.
    for (controls::TXiButton* b : {w.spdAllCopy, w.spdCopyList, w.spdFvUpdate, w.spdFavorite, w.spdDetails})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();

    // The close query closes an open overlay before the engine goes.
    w.spdEffectClick();
    w.close();
    EXPECT_FALSE(effect.Visible());
    EXPECT_EQ(effect.calls.back(), "Close");
    w.frmEffect = nullptr;
}

// The level bars open the visual-mode menu for any button but the left, not over the overlay.
TEST(VisualMenu, LevelBarsOpenTheMenuForAnyButtonButTheLeft)
{
    SettingsFixture settings;
    TfrmMain w;
    w.show();
    w.timDxTimer.SetEnabled(false);
    struct Case {
        Qt::MouseButton button;
        int overlayTag;
        bool opens;
    };
    for (const Case& c : {Case{Qt::LeftButton, 0, false}, Case{Qt::RightButton, 0, true},
                          Case{Qt::MiddleButton, 0, true}, Case{Qt::RightButton, 1, false}}) {
        for (QWidget* bar : {w.barLeft, w.barRight}) {
            w.spdEffect->Tag = c.overlayTag;
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), bar->mapToGlobal(QPointF(3, 3)),
                              c.button, c.button, Qt::NoModifier);
            QCoreApplication::sendEvent(bar, &press);
            EXPECT_EQ(w.PopupMenu5->isVisible(), c.opens) << int(c.button) << " tag " << c.overlayTag;
            w.PopupMenu5->hide();
        }
    }
    w.spdEffect->Tag = 0;
    w.close();
}
