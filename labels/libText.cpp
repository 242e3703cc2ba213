#include "labels/libText.h"

#include "platform/gfx/Canvas.h"
#include "platform/rtl/Numerics.h"
#include "util/Cp932.h"
#include "util/Utf16.h"

#include <QFontMetricsF>
#include <QString>

namespace {

// The Shift-JIS code of one code point.
int charCode(char32_t c)
{
    std::string utf8;
    utf16::appendUtf8(utf8, c);
    const std::optional<std::string> sjis = cp932::encode(utf8);
    if (!sjis || sjis->empty() || sjis->size() > 2)
        return int(c);
    const auto byte = [&](size_t i) { return int(static_cast<unsigned char>((*sjis)[i])); };
    return sjis->size() == 2 ? byte(0) * 256 + byte(1) : byte(0);
}

// The first or last code point of the text; none for "".
std::optional<char32_t> endCharacter(const std::string& text, bool last)
{
    const QList<uint> chars = QString::fromStdString(text).toUcs4();
    if (chars.isEmpty())
        return std::nullopt;
    return char32_t(last ? chars.back() : chars.front());
}

// The negated bearing of the character rounded, when its ink reaches past its cell.
int overhang(gfx::TCanvas& canvas, const std::string& text, bool trailing)
{
    const std::optional<char32_t> c = endCharacter(text, trailing);
    if (!c || charCode(*c) == 0 || *c > 0xFFFF)
        return 0;
    const QFontMetricsF fm(canvas.Font().toQFont());
    const QChar ch{char16_t(*c)};
    const qreal bearing = (trailing ? fm.rightBearing(ch) : fm.leftBearing(ch)) * canvas.Font().TextScale();
    return bearing < 0 ? int(rtl::Round(-bearing)) : 0;
}

}  // namespace

int FirstCharCode(const std::string& Text)
{
    const std::optional<char32_t> c = endCharacter(Text, false);
    return c ? charCode(*c) : 0;
}

int LastCharCode(const std::string& Text)
{
    const std::optional<char32_t> c = endCharacter(Text, true);
    return c ? charCode(*c) : 0;
}

int LeadingOverhang(gfx::TCanvas& Canvas, const std::string& Text)
{
    return overhang(Canvas, Text, false);
}

int TrailingOverhang(gfx::TCanvas& Canvas, const std::string& Text)
{
    return overhang(Canvas, Text, true);
}

int ExactTextWidth(gfx::TCanvas& Canvas, const std::string& Text)
{
    return Canvas.TextWidth(Text) + LeadingOverhang(Canvas, Text) + TrailingOverhang(Canvas, Text);
}

void TextOutRotated(gfx::TCanvas& Canvas, int Angle, int X, int Y, const std::string& Text,
                    gfx::TColor KeepColor)
{
    Canvas.Font().SetOrientation(Angle * 10);
    const gfx::TColor brush = Canvas.Brush().Color();
    Canvas.Brush().SetStyle(brush == gfx::clWhite || brush == KeepColor ? gfx::bsClear : gfx::bsSolid);
    Canvas.TextOut(X, Y, Text);
}
