// Palettes and colour lookups of the colour reduction: a lookup maps an RGB triple to the
// index of a palette entry and answers the entry's colour too, so that a ditherer can spread
// what the mapping got wrong.
//
// `TPalette` stands where the platform had a palette handle: entries plus their count, a plain
// value owned by whoever made it, convertible to a `TBitmap` palette. The fixed tables the
// reduction modes need (the 20 system colours, the 256-colour halftone table) are defined
// once here. Lookups are plain objects for one thread at a time; the fast lookup fills its
// cache as it answers.
#pragma once

#include "platform/gfx/Colors.h"

#include <array>
#include <cstdint>
#include <vector>

// The platform's "do not collapse onto another entry" flag. It has no effect here; the
// palettes that carried it still carry it.
constexpr uint8_t PC_NOCOLLAPSE = 0x04;

struct TPaletteEntry {
    uint8_t peRed = 0, peGreen = 0, peBlue = 0, peFlags = 0;
    friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};

// Palette entry <-> 0x00BBGGRR colour (the byte order of a bitmap's colour table).
TPaletteEntry ColorToPaletteEntry(gfx::TColor Color, uint8_t Flags = 0);
gfx::TColor PaletteEntryToColor(const TPaletteEntry& Entry);

struct TPalette {
    static constexpr uint16_t Version = 0x300;
    static constexpr int MaxEntries = 256;
    std::vector<TPaletteEntry> Entries;

    int Count() const { return int(Entries.size()); }
    // The entries as a bitmap palette (TBitmap pads it with black to its format's size).
    std::vector<gfx::TColor> ToColors() const;
};

// The platform's default 20-colour palette: the 16 VGA colours and the four classic extras
// (money green, sky blue, cream, medium grey), in its order: the first ten dark and light
// colours at the start of a 256-entry system palette, the last ten at its end.
const std::array<TPaletteEntry, 20>& SystemColors();
// The 216-colour web cube: entry 36 r + 6 g + b = (51 r, 51 g, 51 b), r, g, b = 0..5.
TPalette NetscapePalette();
// The fixed 256-colour halftone table: the first ten system colours, the 6 x 6 x 6 cube of
// (51 r, 51 g, 51 b), twenty greys between the cube's, and the last ten system colours.
TPalette HalftonePalette();

class TColorLookup {
public:
    virtual ~TColorLookup() = default;
    // The index of the entry for (Red, Green, Blue); R, G and B receive its colour.
    virtual int Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) = 0;
    virtual int Colors() const = 0;
};

// Nearest entry of a palette (least sum of absolute channel differences, the lower index on
// ties) through a 32768-cell inverse table keyed by the top five bits of each channel: each
// entry owns its own cell (the lower index when two share one); a cell still empty when asked
// is filled with the nearest entry of the colour that asked, and answers every later colour of
// that cell at once. A palette of no entries answers no colours.
class TFastColorLookup : public TColorLookup {
public:
    // Reads the first 256 entries at most.
    explicit TFastColorLookup(const TPalette& Palette);
    int Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
    int Colors() const override { return int(entries_.size()); }

private:
    static constexpr uint16_t Empty = 0xFFFF;
    static int key(uint8_t r, uint8_t g, uint8_t b) { return (r >> 3) | ((g & 0xF8) << 2) | ((b & 0xF8) << 7); }
    int nearest(uint8_t r, uint8_t g, uint8_t b) const;

    std::vector<TPaletteEntry> entries_;
    std::vector<uint16_t> inverse_;
};

// The 216-colour web cube: r = (red + 3) div 51 (likewise g, b), index 36 r + 6 g + b.
class TNetscapeColorLookup : public TColorLookup {
public:
    int Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
    int Colors() const override { return 216; }
};

// 256 greys: index = (77 red + 150 green + 29 blue) shr 8.
class TGrayScaleLookup : public TColorLookup {
public:
    int Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
    int Colors() const override { return 256; }
};

// Black (0) or white (1): white when 77 red + 150 green + 29 blue is above 32512.
class TMonochromeLookup : public TColorLookup {
public:
    int Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
    int Colors() const override { return 2; }
};

// The luminance weights (out of 256) that the grey and monochrome lookups share.
constexpr int Luminance256(int Red, int Green, int Blue) { return 77 * Red + 150 * Green + 29 * Blue; }
