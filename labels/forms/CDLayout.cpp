#include "labels/forms/CDLayout.h"

#include "labels/libText.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/Regions.h"
#include "util/libText.h"

#include <algorithm>
#include <cmath>

namespace cdlabel {

namespace {

constexpr TDiscKind Normal{117, 41, 15, "[ ノーマルラベル ]"};
constexpr TDiscKind WideArea{117, 24, 15, "[ ワイドエリアラベル ]"};
constexpr const char* NumberFontName = "ＭＳ ゴシック";

int scaled(double v, double scale) { return ScaleLength(v, scale); }

void setScaledFont(gfx::TFont& target, const gfx::TFont& font, double scale)
{
    target.Assign(font);
    // Whole pixels would make the text a little larger or smaller than the screen's, by up to
    // half a pixel in its height.
    if (scale != 1.0)
        target.SetExactHeight(font.Height() * scale);
}

// Whether row i (0-based) is past the rows of fixed columns.
bool pastColumns(const std::vector<int>& columns, size_t i)
{
    size_t rows = 0;
    for (int n : columns)
        rows += size_t(std::max(0, n));
    return i >= rows;
}

TTrackListResult layJacket(gfx::TCanvas& c, bool draw, int x, int y, const std::vector<std::string>& titles,
                           const TTrackListSpec& spec, double scale)
{
    TTrackListResult r;
    const int gap = scaled(spec.CloseSpacing ? 3 : 6, scale);
    const int numberGap = scaled(4, scale);
    // Page coordinates: the list ends 10 pixels above the page's bottom.
    const int limit = scaled(spec.PageHeight - 10, scale) - scaled(spec.Top, scale);
    gfx::TFont titleFont, numberFont;
    setScaledFont(titleFont, spec.Font, scale);
    setScaledFont(numberFont, spec.Font, scale);
    numberFont.SetName(NumberFontName);
    c.Font().Assign(titleFont);
    const int lineProbe = c.TextHeight("あ");
    int top = 0, widest = 0;
    for (size_t i = 0; i < titles.size(); ++i) {
        if (spec.Columns.empty() ? top + lineProbe + gap > limit : pastColumns(spec.Columns, i))
            break;
        const std::string number = TrackNumberText(int(i) + 1) + ".";
        c.Font().Assign(numberFont);
        const int titleLeft = ExactTextWidth(c, number) + numberGap;
        if (draw)
            c.TextOut(x, y + top, number);
        c.Font().Assign(titleFont);
        if (draw)
            c.TextOut(x + titleLeft, y + top, titles[i]);
        widest = std::max(widest, titleLeft + ExactTextWidth(c, titles[i]));
        top += c.TextHeight(titles[i]) + gap;
        ++r.Rows;
    }
    r.Width = widest;
    r.Height = r.Rows > 0 ? top - gap : 0;
    r.ColumnRows.push_back(r.Rows);
    return r;
}

TTrackListResult layLabel(gfx::TCanvas& c, bool draw, int x, int y, const std::vector<std::string>& titles,
                          const TTrackListSpec& spec, double scale)
{
    TTrackListResult r;
    const int gap = scaled(spec.CloseSpacing ? 0 : 2, scale);
    const int margin = scaled(2, scale), columnGap = scaled(10, scale);
    const int width = scaled(spec.Width, scale), height = scaled(spec.Height, scale);
    gfx::TFont font;
    setScaledFont(font, spec.Font, scale);
    c.Font().Assign(font);
    int left = margin, top = margin, widestEnd = margin, usedBottom = 0, inColumn = 0;
    for (size_t i = 0; i < titles.size(); ++i) {
        const std::string line = TrackNumberText(int(i) + 1) + ". " + titles[i];
        const int lineHeight = c.TextHeight(line);
        const bool fixed = !spec.Columns.empty();
        if (fixed && pastColumns(spec.Columns, i))
            break;
        const bool cut = inColumn > 0 && (fixed ? inColumn >= spec.Columns[r.ColumnRows.size() - 1]
                                                : spec.FirstColumnRows > 0 && r.ColumnRows.size() == 1 &&
                                                      inColumn == spec.FirstColumnRows);
        // A row that does not fit even at a column's top stays where it is: a new column
        // would not help it.
        if (inColumn > 0 && (cut || (!fixed && top + lineHeight > height))) {
            left = widestEnd + columnGap;
            if (left > width && !fixed)
                break;
            top = margin;
            inColumn = 0;
        }
        if (inColumn == 0)
            r.ColumnRows.push_back(0);
        if (draw)
            c.TextOut(x + left, y + top, line);
        widestEnd = std::max(widestEnd, left + ExactTextWidth(c, line));
        usedBottom = std::max(usedBottom, top + lineHeight);
        top += lineHeight + gap;
        ++inColumn;
        ++r.ColumnRows.back();
        ++r.Rows;
    }
    r.Width = widestEnd + margin;
    r.Height = usedBottom + margin;
    return r;
}

}  // namespace

int ScaleLength(double V, double Scale) { return int(std::nearbyint(V * Scale)); }

gfx::TFont ScaleFont(const gfx::TFont& Font, double Scale)
{
    gfx::TFont f;
    setScaledFont(f, Font, Scale);
    return f;
}

const TDiscKind& DiscKind(bool Wide) { return Wide ? WideArea : Normal; }

int DiscDiameter(int PageHeight, int Mm) { return int(double(PageHeight) / PageMm * Mm); }

std::string DiscWidthCaption(bool Wide)
{
    const TDiscKind& k = DiscKind(Wide);
    return "[ 外径: " + std::to_string(k.Outer) + "mm , 内径: " + std::to_string(k.Inner) + "mm" + " ]";
}

gfx::TRect CoverPage(int PictureW, int PictureH, int Page)
{
    if (PictureW <= 0 || PictureH <= 0)
        return {0, 0, Page, Page};
    int w = Page, h = Page;
    if (PictureH >= PictureW)
        h = int(int64_t(PictureH) * Page / PictureW);
    else
        w = int(int64_t(PictureW) * Page / PictureH);
    const int left = (Page - w) / 2, top = (Page - h) / 2;
    return {left, top, left + w, top + h};
}

std::string FontStyleText(gfx::TFontStyles Style)
{
    std::string s;
    for (int bit : {gfx::fsBold, gfx::fsItalic, gfx::fsUnderline, gfx::fsStrikeOut})
        s += (Style & bit) ? '1' : '0';
    return s;
}

gfx::TFontStyles FontStyleFromText(const std::string& Text)
{
    gfx::TFontStyles style = 0;
    const int bits[4] = {gfx::fsBold, gfx::fsItalic, gfx::fsUnderline, gfx::fsStrikeOut};
    for (size_t i = 0; i < 4 && i < Text.size(); ++i)
        if (Text[i] == '1')
            style |= bits[i];
    return style;
}

void DrawDottedFrame(gfx::TCanvas& C, int Width, int Height, gfx::TColor Color)
{
    C.Pen().SetStyle(gfx::psDot);
    C.Pen().SetColor(Color);
    const gfx::TBrushStyle brush = C.Brush().Style();
    C.Brush().SetStyle(gfx::bsClear);
    C.Rectangle(0, 0, Width, Height);
    C.Brush().SetStyle(brush);
}

std::string TrackNumberText(int N)
{
    const std::string n = std::to_string(N);
    return n.size() > 2 ? n : RightText("  " + n, 2);
}

TTrackListResult LayTrackList(gfx::TCanvas& Canvas, bool Draw, int X, int Y,
                              const std::vector<std::string>& Titles, const TTrackListSpec& Spec,
                              double Scale)
{
    if (Draw)
        Canvas.Brush().SetStyle(gfx::bsClear);
    return Spec.Label ? layLabel(Canvas, Draw, X, Y, Titles, Spec, Scale)
                      : layJacket(Canvas, Draw, X, Y, Titles, Spec, Scale);
}

void WhitenOutsideDisc(gfx::TCanvas& Canvas, const gfx::TRect& Outer, int Side)
{
    const QRegion circle = gfx::CreateEllipticRgn(Outer.Left, Outer.Top, Outer.Right, Outer.Bottom);
    // The outline is the circle's pixels with a neighbour outside it; the rest is the inside.
    const QRegion inside = circle & circle.translated(1, 0) & circle.translated(-1, 0) &
                           circle.translated(0, 1) & circle.translated(0, -1);
    Canvas.Brush().SetStyle(gfx::bsSolid);
    Canvas.Brush().SetColor(gfx::clWhite);
    for (const QRect& r : gfx::CreateRectRgn(0, 0, Side, Side).subtracted(inside))
        Canvas.FillRect({r.left(), r.top(), r.right() + 1, r.bottom() + 1});
}

int FirstColumnCut(const std::vector<int>& ColumnRows)
{
    if (ColumnRows.size() < 2 || ColumnRows[0] <= ColumnRows[1])
        return 0;
    return int(std::nearbyint((ColumnRows[0] + ColumnRows[1]) / 2.0));
}

}  // namespace cdlabel
