// The main window's side of the visual modes: the CPU graph of the player block.
#include "app/MainForm.h"

#include <QString>

#include "platform/forms/Application.h"

namespace {

constexpr int CpuGraphStep = 4;     // pixels between two slots
constexpr int CpuGraphBase = 11;    // the zero line of the graph
constexpr int CpuGraphRight = 176;  // the box's width

}  // namespace

forms::TColor TfrmMain::CpuLoadColor(int Percent)
{
    if (Percent >= 80)
        return 0x0000FF;
    if (Percent >= 70)
        return 0x00FFFF;
    if (Percent >= 50 && Percent <= 68)
        return 0x00FF00;
    return 0xFFFFFF;   // under 50, and 69
}

void TfrmMain::timCPUTimer()
{
    if (pnlCPU->isHidden())
        return;
    if (!CpuUsage1)
        CpuUsage1 = std::make_unique<TCpuUsage>();
    const int load = CpuUsage1->ReadCpuLoad();
    Gauge2->SetPosition(load);
    // The history scrolls left by one slot; the newest reading takes the right end.
    std::copy(CpuSlots.begin() + 1, CpuSlots.end(), CpuSlots.begin());
    CpuSlots.back() = load / 10;
    const forms::TColor colour = CpuLoadColor(load);
    lblCPU->setStyleSheet(QStringLiteral("color: #%1%2%3;")
                              .arg(gfx::GetRValue(colour), 2, 16, QLatin1Char('0'))
                              .arg(gfx::GetGValue(colour), 2, 16, QLatin1Char('0'))
                              .arg(gfx::GetBValue(colour), 2, 16, QLatin1Char('0')));
    Gauge2->SetDefaultFrom(colour);
    pbxCPU->Invalidate();
}

void TfrmMain::pbxCPUPaint()
{
    gfx::TCanvas& c = pbxCPU->Canvas();
    c.Brush().SetColor(0);
    c.FillRect({0, 0, pbxCPU->width(), pbxCPU->height()});
    std::vector<gfx::TPoint> points;
    points.reserve(CpuSlots.size() + 3);
    for (size_t i = 0; i < CpuSlots.size(); ++i)
        points.push_back({int32_t(CpuGraphStep * int(i)), CpuGraphBase - CpuSlots[i]});
    points.push_back({CpuGraphRight, CpuGraphBase - CpuSlots.back()});
    points.push_back({CpuGraphRight, CpuGraphBase});
    points.push_back({-CpuGraphStep, CpuGraphBase});
    c.Pen().SetColor(0xFF0000);
    c.Pen().SetWidth(1);
    c.Brush().SetColor(0x0000FF);
    c.Polygon(points);
}

void TfrmMain::ConnectVisualCommands()
{
    timCPU.SetOnTimer([this] { forms::RunGuarded([this] { timCPUTimer(); }); });
    pbxCPU->OnPaint = [this](QObject*) { pbxCPUPaint(); };
}
