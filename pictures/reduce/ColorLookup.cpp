#include "pictures/reduce/ColorLookup.h"

#include <algorithm>
#include <cstdlib>

TPaletteEntry ColorToPaletteEntry(gfx::TColor Color, uint8_t Flags)
{
    return {uint8_t(gfx::GetRValue(Color)), uint8_t(gfx::GetGValue(Color)), uint8_t(gfx::GetBValue(Color)), Flags};
}

gfx::TColor PaletteEntryToColor(const TPaletteEntry& Entry)
{
    return gfx::RGB(Entry.peRed, Entry.peGreen, Entry.peBlue);
}

std::vector<gfx::TColor> TPalette::ToColors() const
{
    std::vector<gfx::TColor> colors(Entries.size());
    std::transform(Entries.begin(), Entries.end(), colors.begin(), PaletteEntryToColor);
    return colors;
}

const std::array<TPaletteEntry, 20>& SystemColors()
{
    static const std::array<TPaletteEntry, 20> colors{{
        {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
        {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
        {192, 220, 192, 0}, {166, 202, 240, 0},  // money green, sky blue
        {255, 251, 240, 0}, {160, 160, 164, 0},  // cream, medium grey
        {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
        {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
    }};
    return colors;
}

TPalette NetscapePalette()
{
    TPalette p;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                p.Entries.push_back({uint8_t(51 * r), uint8_t(51 * g), uint8_t(51 * b), 0});
    return p;
}

TPalette HalftonePalette()
{
    constexpr int Greys = 20;
    const auto& system = SystemColors();
    TPalette p;
    p.Entries.reserve(TPalette::MaxEntries);
    p.Entries.insert(p.Entries.end(), system.begin(), system.begin() + 10);
    const TPalette cube = NetscapePalette();
    p.Entries.insert(p.Entries.end(), cube.Entries.begin(), cube.Entries.end());
    // Evenly between black and white, off the cube's own greys, for smoother grey ramps.
    for (int i = 1; i <= Greys; ++i) {
        const auto v = uint8_t((i * 255 + (Greys + 1) / 2) / (Greys + 1));
        p.Entries.push_back({v, v, v, 0});
    }
    p.Entries.insert(p.Entries.end(), system.begin() + 10, system.end());
    return p;
}

TFastColorLookup::TFastColorLookup(const TPalette& Palette)
    : entries_(Palette.Entries.begin(),
               Palette.Entries.begin() + std::min(Palette.Count(), TPalette::MaxEntries)),
      inverse_(32768, Empty)
{
    for (size_t i = 0; i < entries_.size(); ++i) {
        const TPaletteEntry& e = entries_[i];
        uint16_t& cell = inverse_[key(e.peRed, e.peGreen, e.peBlue)];
        if (cell == Empty)
            cell = uint16_t(i);
    }
}

int TFastColorLookup::nearest(uint8_t r, uint8_t g, uint8_t b) const
{
    int best = 0, bestDistance = 1 << 30;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const TPaletteEntry& e = entries_[i];
        const int d = std::abs(e.peRed - r) + std::abs(e.peGreen - g) + std::abs(e.peBlue - b);
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return best;
}

int TFastColorLookup::Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B)
{
    if (entries_.empty()) {
        R = G = B = 0;
        return 0;
    }
    uint16_t& cell = inverse_[key(Red, Green, Blue)];
    if (cell == Empty)
        cell = uint16_t(nearest(Red, Green, Blue));
    const TPaletteEntry& e = entries_[cell];
    R = e.peRed;
    G = e.peGreen;
    B = e.peBlue;
    return cell;
}

int TNetscapeColorLookup::Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B)
{
    const int r = (Red + 3) / 51, g = (Green + 3) / 51, b = (Blue + 3) / 51;
    R = uint8_t(51 * r);
    G = uint8_t(51 * g);
    B = uint8_t(51 * b);
    return b + 6 * g + 36 * r;
}

int TGrayScaleLookup::Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B)
{
    const int grey = Luminance256(Red, Green, Blue) >> 8;
    R = G = B = uint8_t(grey);
    return grey;
}

int TMonochromeLookup::Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B)
{
    const bool white = Luminance256(Red, Green, Blue) > 32512;
    R = G = B = white ? 255 : 0;
    return white ? 1 : 0;
}
