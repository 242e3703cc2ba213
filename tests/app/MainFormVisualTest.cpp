// The CPU load reader over written stat files, and the window's CPU graph.
#include "shared/SettingsFixture.h"

#include "app/CpuUsage.h"
#include "app/MainForm.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include <fstream>

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
