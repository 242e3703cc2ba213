#include "platform/gfx/DrawTools.h"

#include <array>
#include <cmath>
#include <cctype>
#include <cstring>
#include <string_view>

#include "platform/rtl/Numerics.h"

namespace gfx {

TColor ApplyPenMode(TPenMode mode, TColor pen, TColor dest)
{
    const uint32_t p = uint32_t(pen) & 0xFFFFFF, d = uint32_t(dest) & 0xFFFFFF;
    uint32_t r = d;
    switch (mode) {
    case pmBlack: r = 0; break;
    case pmWhite: r = 0xFFFFFF; break;
    case pmNop: r = d; break;
    case pmNot: r = ~d; break;
    case pmCopy: r = p; break;
    case pmNotCopy: r = ~p; break;
    case pmMergePenNot: r = p | ~d; break;
    case pmMaskPenNot: r = p & ~d; break;
    case pmMergeNotPen: r = ~p | d; break;
    case pmMaskNotPen: r = ~p & d; break;
    case pmMerge: r = p | d; break;
    case pmNotMerge: r = ~(p | d); break;
    case pmMask: r = p & d; break;
    case pmNotMask: r = ~(p & d); break;
    case pmXor: r = p ^ d; break;
    case pmNotXor: r = ~(p ^ d); break;
    }
    return TColor(r & 0xFFFFFF);
}

void TPen::changed()
{
    if (OnChange)
        OnChange();
}
void TPen::SetColor(TColor c)
{
    if (c != color_) { color_ = c; changed(); }
}
void TPen::SetWidth(int w)
{
    w = w < 1 ? 1 : w;
    if (w != width_) { width_ = w; changed(); }
}
void TPen::SetStyle(TPenStyle s)
{
    if (s != style_) { style_ = s; changed(); }
}
void TPen::SetMode(TPenMode m)
{
    if (m != mode_) { mode_ = m; changed(); }
}
void TPen::Assign(const TPen& o)
{
    color_ = o.color_; width_ = o.width_; style_ = o.style_; mode_ = o.mode_;
    changed();
}

void TBrush::changed()
{
    if (OnChange)
        OnChange();
}
void TBrush::SetColor(TColor c)
{
    if (c == color_ && style_ != bsClear)
        return;
    color_ = c;
    if (style_ == bsClear)
        style_ = bsSolid;
    changed();
}
void TBrush::SetStyle(TBrushStyle s)
{
    if (s != style_) { style_ = s; changed(); }
}
void TBrush::Assign(const TBrush& o)
{
    color_ = o.color_; style_ = o.style_;
    changed();
}

namespace {
struct Substitution {
    std::string_view from;
    const char* to;
};
// Japanese faces map to the IPA fonts (proportional to proportional, fixed to fixed); Latin
// faces to metric-compatible URW fonts where there is one, else DejaVu.
constexpr std::array<Substitution, 22> kSubstitutions = {{
    {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"},
    {"ＭＳ ゴシック", "IPAGothic"}, {"MS Gothic", "IPAGothic"},
    {"ＭＳ Ｐ明朝", "IPAPMincho"}, {"MS PMincho", "IPAPMincho"},
    {"ＭＳ 明朝", "IPAMincho"}, {"MS Mincho", "IPAMincho"},
    {"MS UI Gothic", "IPAPGothic"}, {"メイリオ", "IPAPGothic"}, {"Meiryo", "IPAPGothic"},
    {"Arial", "Nimbus Sans"}, {"Helvetica", "Nimbus Sans"},
    {"Times New Roman", "Nimbus Roman"}, {"Courier New", "Nimbus Mono PS"},
    {"Courier", "Nimbus Mono PS"}, {"MS Sans Serif", "DejaVu Sans"},
    {"Microsoft Sans Serif", "DejaVu Sans"}, {"Tahoma", "DejaVu Sans"},
    {"Verdana", "DejaVu Sans"}, {"System", "DejaVu Sans"}, {"Symbol", "Standard Symbols PS"},
}};

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x < 0x80 && y < 0x80 ? std::tolower(x) != std::tolower(y) : x != y)
            return false;
    }
    return true;
}
}  // namespace

std::string MapFontName(const std::string& name)
{
    for (const auto& s : kSubstitutions)
        if (sameName(s.from, name))
            return s.to;
    return name;
}

TFont::TFont() : name_(DefaultFontName), height_(-rtl::MulDiv(9, 96, 72)) {}

void TFont::changed()
{
    if (OnChange)
        OnChange();
}
void TFont::SetName(const std::string& n)
{
    if (n != name_) { name_ = n; changed(); }
}
int TFont::Size() const
{
    return -rtl::MulDiv(height_, 72, 96);
}
void TFont::SetSize(int points)
{
    SetHeight(-rtl::MulDiv(points, 96, 72));
}
void TFont::SetHeight(int h)
{
    if (h != height_ || textScale_ != 1.0) { height_ = h; textScale_ = 1.0; changed(); }
}
void TFont::SetExactHeight(double pixels)
{
    const int whole = int(std::lround(pixels));
    const double scale = whole != 0 ? pixels / whole : 1.0;
    if (whole != height_ || scale != textScale_) { height_ = whole; textScale_ = scale; changed(); }
}
void TFont::SetDesignMetrics(bool on)
{
    if (on != designMetrics_) { designMetrics_ = on; changed(); }
}
void TFont::SetColor(TColor c)
{
    if (c != color_) { color_ = c; changed(); }
}
void TFont::SetStyle(TFontStyles s)
{
    if (s != style_) { style_ = s; changed(); }
}
void TFont::SetCharset(int c)
{
    if (c != charset_) { charset_ = c; changed(); }
}
void TFont::SetOrientation(int t)
{
    if (t != orientation_) { orientation_ = t; changed(); }
}
void TFont::Assign(const TFont& o)
{
    name_ = o.name_; height_ = o.height_; color_ = o.color_; style_ = o.style_;
    charset_ = o.charset_; orientation_ = o.orientation_;
    designMetrics_ = o.designMetrics_; textScale_ = o.textScale_;
    changed();
}
bool TFont::operator==(const TFont& o) const
{
    return name_ == o.name_ && height_ == o.height_ && color_ == o.color_ &&
           style_ == o.style_ && charset_ == o.charset_ && orientation_ == o.orientation_ &&
           designMetrics_ == o.designMetrics_ && textScale_ == o.textScale_;
}

QFont TFont::toQFont() const
{
    QFont f;
    // Japanese glyphs missing from a Latin face come from the IPA Gothic fallback.
    f.setFamilies({QString::fromStdString(MapFontName(name_)), QStringLiteral("IPAPGothic")});
    // A positive height includes the internal leading; Qt sizes the em, so take ~ 7/8.
    int px = height_ < 0 ? -height_ : (height_ * 7 + 4) / 8;
    f.setPixelSize(px > 0 ? px : 12);
    f.setBold(style_ & fsBold);
    f.setItalic(style_ & fsItalic);
    f.setUnderline(style_ & fsUnderline);
    f.setStrikeOut(style_ & fsStrikeOut);
    // Hinting fits each glyph's advance to whole pixels, a fit that differs at every height;
    // an embedded bitmap strike is such a fit too.
    f.setStyleStrategy(designMetrics_ ? QFont::NoAntialias
                                      : QFont::StyleStrategy(QFont::NoAntialias | QFont::PreferBitmap));
    f.setHintingPreference(designMetrics_ ? QFont::PreferNoHinting : QFont::PreferFullHinting);
    return f;
}

}  // namespace gfx
