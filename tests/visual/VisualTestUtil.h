// Shared by the painter and mode tests: synthetic level analyses, a painter with its
// resources and a recording canvas, readers for the recorded drawing calls, and counting the
// lit pixels of a painted pane.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QImage>

#include "platform/gfx/RecordingCanvas.h"
#include "platform/rtl/Numerics.h"
#include "visual/AnalysisView.h"
#include "visual/FFTReal.h"
#include "visual/VisualPainter.h"
#include "visual/VisualResources.h"

struct TestAnalysis {
    int Columns = 0;
    std::vector<std::uint8_t> Mins;  // [column][channel], two channels
    std::vector<std::uint8_t> Maxs;
    double Levels[2] = {0, 0};

    explicit TestAnalysis(int columns) : Columns(columns), Mins(2 * columns, 128), Maxs(2 * columns, 128) {}

    void set(int column, int channel, int min, int max)
    {
        Mins[2 * column + channel] = std::uint8_t(min);
        Maxs[2 * column + channel] = std::uint8_t(max);
    }

    static TestAnalysis silence(int columns) { return TestAnalysis(columns); }
    static TestAnalysis fullScale(int columns)
    {
        TestAnalysis a(columns);
        for (int c = 0; c < columns; ++c)
            for (int ch = 0; ch < 2; ++ch)
                a.set(c, ch, 0, 255);
        a.Levels[0] = a.Levels[1] = 1.0;
        return a;
    }
    // Swings that grow from silence at column 0 to full scale at the last column.
    static TestAnalysis sweep(int columns)
    {
        TestAnalysis a(columns);
        for (int c = 0; c < columns; ++c) {
            const int swing = 128 * c / (columns - 1);
            for (int ch = 0; ch < 2; ++ch)
                a.set(c, ch, 128 - swing, std::min(127 + swing, 255));
        }
        a.Levels[0] = 0.5;
        a.Levels[1] = 0.75;
        return a;
    }

    TAnalysisView view() const
    {
        TAnalysisView v;
        v.Columns = Columns;
        v.Channels = 2;
        v.MinTable = Mins.data();
        v.MaxTable = Maxs.data();
        v.Levels[0] = Levels[0];
        v.Levels[1] = Levels[1];
        return v;
    }
};

// A painter drawing on a recording canvas of the pane's size.
struct PainterRig {
    std::unique_ptr<TVisualResources> Res = std::make_unique<TVisualResources>();
    std::unique_ptr<TVisualPainter> Painter;
    std::unique_ptr<gfx::TRecordingCanvas> Canvas;
    TVisualFrame Frame;
    TAnalysisView View;

    explicit PainterRig(int effect, int width = 250, int height = 68)
    {
        Res->CreateVisualResources();
        Painter = std::make_unique<TVisualPainter>(*Res);
        Canvas = std::make_unique<gfx::TRecordingCanvas>(width, height);
        Frame.Canvas = Canvas.get();
        Frame.Effect = effect;
        Frame.PlayStatus = "play";
        Frame.GraphWidth = width;
        Frame.GraphHeight = height;
        Frame.Labels.Left = {"L", 2, 2};
        Frame.Labels.Right = {"R", 2, 2};
        Frame.Labels.Music = {"", 0, 3};
        Frame.Labels.Clock = {"12:00", 200, 50};
    }

    void use(const TestAnalysis& a)
    {
        View = a.view();
        Frame.Analysis = &View;
    }

    // One frame of one channel; returns its recording.
    std::vector<std::string> paint(int channel = 0)
    {
        Canvas->ClearLog();
        Painter->PaintVisual(channel, true, Frame);
        return Canvas->Log();
    }
};

// Calls of one kind ("LineTo", "Rectangle", ...) in a recording.
inline std::vector<std::string> callsOf(const std::vector<std::string>& log, const std::string& name)
{
    std::vector<std::string> out;
    for (const auto& line : log)
        if (line.rfind(name + "(", 0) == 0)
            out.push_back(line);
    return out;
}

// The leading integer arguments of a recorded call (up to the first that is not a number).
inline std::vector<int> argsOf(const std::string& line)
{
    std::vector<int> out;
    std::size_t pos = line.find('(') + 1;
    while (pos < line.size() && (std::isdigit(static_cast<unsigned char>(line[pos])) || line[pos] == '-')) {
        std::size_t used = 0;
        out.push_back(std::stoi(line.substr(pos), &used));
        pos += used;
        if (pos >= line.size() || line[pos] != ',')
            break;
        ++pos;
    }
    return out;
}

// Number of generator steps that lead from seed `from` to seed `to` (-1 past a million).
inline int drawsBetween(std::uint32_t from, std::uint32_t to)
{
    for (int n = 0; n <= 1000000; ++n) {
        if (from == to)
            return n;
        from = from * 134775813u + 1u;
    }
    return -1;
}

// Number of pixels of the image that are not black.
inline int colouredPixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) != 0;
    return n;
}
