// The measures of the jacket and label designs, apart from any window: the disc's circles,
// the photo boxes' fitted sizes, the element fonts' settings text, and the one routine that
// lays out (and draws) the numbered track list, on the screen and on paper alike.
//
// A design is held in preview pixels: a 600 x 600 page for 120 x 120 mm, 5 pixels to the
// millimetre. The track list routine draws on any canvas given the preview-to-target scale,
// so that what is printed ends at the same row as what the screen shows.
// UI thread only (fonts are Qt objects).
#pragma once

#include "platform/gfx/DrawTools.h"
#include "platform/gfx/Geometry.h"

#include <string>
#include <vector>

namespace gfx {
class TCanvas;
}

namespace cdlabel {

constexpr int PageSize = 600;        // preview pixels of a page's side
constexpr int PageMm = 120;          // millimetres of a page's side
constexpr int MinBoxSide = 40;       // the smallest track list or photo box the grip leaves
constexpr int RuleHeight = 10;       // the jacket rule's box height

// The disc: outer, printable hub and centre-hole diameters in millimetres.
struct TDiscKind {
    int Outer, Inner, Hole;
    const char* Caption;
};
const TDiscKind& DiscKind(bool Wide);
// The diameter in preview pixels on a page PageHeight pixels high: trunc(PageHeight / 120 x Mm).
int DiscDiameter(int PageHeight, int Mm);
// "[ 外径: 117mm , 内径: 41mm ]".
std::string DiscWidthCaption(bool Wide);

// A picture of PictureW x PictureH made to cover a page of side Page: the page's side on the
// picture's shorter side, the other in proportion, centred (it may pass the page's edges).
gfx::TRect CoverPage(int PictureW, int PictureH, int Page);

// Style flags of an element's font as the settings keep them: "1"/"0" for bold, italic,
// underline and strike-out in that order. A shorter text counts its missing flags as "0".
std::string FontStyleText(gfx::TFontStyles Style);
gfx::TFontStyles FontStyleFromText(const std::string& Text);

// A dotted frame just inside a box of Width x Height (the pen's style and colour are left so).
void DrawDottedFrame(gfx::TCanvas& C, int Width, int Height, gfx::TColor Color);

// The number before a track title: right-aligned in two characters ("  " + n cut to its last
// two), a wider number whole rather than cut.
std::string TrackNumberText(int N);

// What the track list routine lays out. Positions and sizes in preview pixels.
struct TTrackListSpec {
    bool Label = false;         // the label's columns; otherwise the jacket's single column
    bool CloseSpacing = false;  // the closer line gap
    gfx::TFont Font;            // the element's font
    int Top = 0;                // jacket: the box's top on the page
    int PageHeight = PageSize;  // jacket: the list stops 10 pixels above the page's bottom
    int Width = 0, Height = 0;  // label: the box the columns flow in
    int FirstColumnRows = 0;    // label: the first column ends after these rows (0: it flows)
    // Rows per column as the screen laid them out, taken as they are instead of fitting the
    // rows anew (empty: they fit): a print at another scale measures its text a little
    // differently and would otherwise break its rows elsewhere than the screen shows.
    std::vector<int> Columns;
};

struct TTrackListResult {
    int Rows = 0;               // rows laid out (drawn when drawing)
    int Width = 0, Height = 0;  // target units: the size the box takes
    std::vector<int> ColumnRows;  // label: rows per column
};

// Lays out Titles as numbered rows with the box's top-left at (X, Y) of Canvas, drawing them
// when Draw (clear brush, the element's colour); Scale is target units per preview pixel
// (1 on the screen). The canvas's font is changed.
//  - jacket: line gap 6 (3 closer); a row is laid out only while its top + the height of "あ"
//    + the gap stays within the page's height - 10; the number in "ＭＳ ゴシック", the title
//    4 pixels after it; the box is the widest row wide and the rows (without the last gap)
//    high;
//  - label: line gap 2 (0 closer); number, ". " and title as one text; columns flow from
//    (2, 2) down the box, a new one 10 pixels right of the widest row so far, none beyond
//    the box's width; the box is the used width + 2 by the used height + 2.
TTrackListResult LayTrackList(gfx::TCanvas& Canvas, bool Draw, int X, int Y,
                              const std::vector<std::string>& Titles, const TTrackListSpec& Spec,
                              double Scale);

// A preview length at Scale target units per preview pixel, rounded (halves to even).
int ScaleLength(double V, double Scale);
// Font with its height at Scale target units per preview pixel.
gfx::TFont ScaleFont(const gfx::TFont& Font, double Scale);

// The label square (Side x Side) outside the disc's outer circle (its box Outer) made white,
// the circle's outline with it: what drawing the outline grey, filling white from the
// corners up to that grey and drawing the outline white again leaves, but by region, so that
// a picture holding that very grey cannot stop the whitening and keep ink on the tray.
void WhitenOutsideDisc(gfx::TCanvas& Canvas, const gfx::TRect& Outer, int Side);

// Rows of the label's first column after the first layout's cut: when there is more than one
// column and the first holds more rows than the second, round((first + second) / 2) (halves
// to even); otherwise 0 (no cut).
int FirstColumnCut(const std::vector<int>& ColumnRows);

}  // namespace cdlabel
