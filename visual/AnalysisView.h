// A read-only look at the playback engine's level analysis of the open file, as the visual
// modes read it: one column per pixel of a pane, the lowest and highest sample byte of each
// column per channel (offset binary: 128 is silence) and one level (0..1) per channel.
//
// The engine fills a view from its own analysis before each painted frame; the view owns
// nothing and must not outlive the tables it points at. Columns outside the table, or a
// channel the analysis does not hold, read as silence, so a mode that asks for a column past
// a narrow pane (or past a long title) sees a quiet column instead of foreign memory.
// UI thread, like the painter.
#pragma once

#include <cstdint>

struct TAnalysisView {
    static constexpr std::uint8_t Silence = 128;

    int Columns = 0;
    int Channels = 0;
    // Columns x Channels bytes each, column-major: entry [c * Channels + ch].
    const std::uint8_t* MinTable = nullptr;
    const std::uint8_t* MaxTable = nullptr;
    double Levels[2] = {0.0, 0.0};

    std::uint8_t Min(int Column, int Channel) const { return read(MinTable, Column, Channel); }
    std::uint8_t Max(int Column, int Channel) const { return read(MaxTable, Column, Channel); }
    double Level(int Channel) const { return Channel == 1 ? Levels[1] : Levels[0]; }

private:
    std::uint8_t read(const std::uint8_t* Table, int Column, int Channel) const
    {
        if (!Table || Column < 0 || Column >= Columns || Channel < 0 || Channel >= Channels)
            return Silence;
        return Table[Column * Channels + Channel];
    }
};
