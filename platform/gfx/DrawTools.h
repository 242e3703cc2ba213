// The pen, brush and font that a canvas draws with. Each holds plain values and calls its
// `OnChange` after a setter changed something, so a control can repaint when its font changes.
// A canvas reads them afresh for every primitive.
//
// Fonts are named as on the original desktop ("ＭＳ Ｐゴシック", "Arial", ...); `MapFontName`
// turns such a name into an installed family through one substitution table (IPA fonts for
// the Japanese faces, URW/DejaVu faces for the Latin ones); sizes are points at 96 dpi.
// UI thread only (fonts are Qt objects).
#pragma once
#include <functional>
#include <string>

#include <QFont>

#include "platform/gfx/Colors.h"

namespace gfx {

using TChangeEvent = std::function<void()>;

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// Binary raster operations of the pen (and of shape fills), in the platform's order.
enum TPenMode {
    pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
    pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
enum TBrushStyle {
    bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross
};
enum TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = int;  // a set of TFontStyle bits

// Applies a raster operation to a destination colour (both 0x00BBGGRR).
TColor ApplyPenMode(TPenMode mode, TColor pen, TColor dest);

class TPen {
public:
    TColor Color() const { return color_; }
    void SetColor(TColor c);
    int Width() const { return width_; }
    void SetWidth(int w);  // values below 1 count as 1
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle s);
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode m);
    void Assign(const TPen& other);
    TChangeEvent OnChange;

private:
    void changed();
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
};

class TBrush {
public:
    TColor Color() const { return color_; }
    // Setting a colour while the style is bsClear makes the brush solid, as the class
    // library did (the drawing code relies on it to fill after an outline-only shape).
    void SetColor(TColor c);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle s);
    void Assign(const TBrush& other);
    TChangeEvent OnChange;

private:
    void changed();
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
};

class TFont {
public:
    TFont();
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    // Size in points; Height in pixels (negative: character height without leading), the two
    // tied by Height = -MulDiv(Size, 96, 72).
    int Size() const;
    void SetSize(int points);
    int Height() const { return height_; }
    void SetHeight(int pixels);
    TColor Color() const { return color_; }
    void SetColor(TColor c);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles s);
    int Charset() const { return charset_; }
    void SetCharset(int c);
    // Text angle in tenths of a degree, counter-clockwise.
    int Orientation() const { return orientation_; }
    void SetOrientation(int tenths);
    // Text measured and drawn by the face's own unhinted metrics, so that its width grows in
    // step with its height: what a design lays out on the screen is as wide on paper.
    bool DesignMetrics() const { return designMetrics_; }
    void SetDesignMetrics(bool on);
    // A height between whole pixels (a screen font at a printer's scale): Height keeps the
    // nearest whole one and the canvases scale the text they draw and measure by TextScale.
    // SetHeight and SetSize end it.
    void SetExactHeight(double pixels);
    double TextScale() const { return textScale_; }
    void Assign(const TFont& other);
    bool operator==(const TFont& o) const;

    // The Qt font that draws it: mapped family, pixel size, no antialiasing.
    QFont toQFont() const;
    TChangeEvent OnChange;

private:
    void changed();
    std::string name_;
    int height_;
    TColor color_ = clWindowText;
    TFontStyles style_ = 0;
    int charset_ = 128;  // Shift-JIS
    int orientation_ = 0;
    bool designMetrics_ = false;
    double textScale_ = 1.0;
};

// The installed family that stands in for a font name of the original desktop; unknown
// names are returned unchanged (fontconfig then picks its nearest match).
std::string MapFontName(const std::string& name);
// The default face of new fonts.
inline constexpr const char* DefaultFontName = "ＭＳ Ｐゴシック";

}  // namespace gfx
