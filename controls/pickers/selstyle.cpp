#include "controls/pickers/selstyle.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>

#include "platform/rtl/StringList.h"

namespace controls {

namespace {

constexpr gfx::TColor BasicColors[16] = {0x000000, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF,
                                         0xFFFF00, 0xFFFFFF, 0x000080, 0x008000, 0x008080, 0x800000,
                                         0x800080, 0x808000, 0x808080, 0xC0C0C0};
constexpr int MaxPaletteLines = 32;

struct Palette {
    std::vector<gfx::TColor> colors{std::begin(BasicColors), std::end(BasicColors)};
    int dropDownCount = 16;
};

Palette& palette()
{
    static Palette p;
    return p;
}

constexpr gfx::TBrushStyle Patterns[] = {gfx::bsSolid, gfx::bsHorizontal, gfx::bsVertical, gfx::bsFDiagonal,
                                         gfx::bsBDiagonal, gfx::bsCross, gfx::bsDiagCross, gfx::bsClear};

bool parseHex(const std::string& line, gfx::TColor& out)
{
    if (line.empty() || line.size() > 8)
        return false;
    uint32_t v = 0;
    for (char ch : line) {
        const int d = ch >= '0' && ch <= '9' ? ch - '0'
                    : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                    : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10 : -1;
        if (d < 0)
            return false;
        v = v << 4 | uint32_t(d);
    }
    out = gfx::TColor(v & 0x7FFFFFFF);
    return true;
}

// The swatch of both pickers: the line filled as the list filled it, then a black-framed box
// in the colour and pattern, 2 pixels in.
void drawSwatch(gfx::TCanvas& c, const gfx::TRect& r, gfx::TColor color, gfx::TBrushStyle style)
{
    c.FillRect(r);
    const gfx::TColor keepColor = c.Brush().Color();
    const gfx::TBrushStyle keepStyle = c.Brush().Style();
    c.Pen().SetColor(gfx::clBlack);
    c.Brush().SetColor(color);
    c.Brush().SetStyle(style);
    c.Rectangle(gfx::InflateRect(r, -2, -2));
    c.Brush().SetColor(keepColor);
    c.Brush().SetStyle(keepStyle);
}

// Whether `w` is the control that has the keyboard (its edit part included).
bool isActiveControl(const QWidget* w)
{
    const QWidget* f = QApplication::focusWidget();
    return f && (f == w || w->isAncestorOf(f));
}

}  // namespace

const std::vector<gfx::TColor>& ColorPalette()
{
    return palette().colors;
}

int ColorPaletteDropDownCount()
{
    return palette().dropDownCount;
}

void LoadColorPalette(const std::string& lines)
{
    rtl::TStringList list;
    list.SetText(lines);
    Palette& p = palette();
    p.colors = {gfx::clBlack, gfx::clWhite};
    for (int i = 0; i < list.Count() && i < MaxPaletteLines; ++i) {
        gfx::TColor c;
        std::string line = list[i];
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (parseHex(line, c))
            p.colors.push_back(c);
    }
    p.dropDownCount = int(p.colors.size());
}

void ResetColorPalette()
{
    palette() = Palette();
}

// ---- what both pickers share

TPvlSwatchCombo::TPvlSwatchCombo(QWidget* parent) : TComboBox97(parent)
{
    SetStyle(csOwnerDrawFixed);
}

void TPvlSwatchCombo::showEvent(QShowEvent* e)
{
    TComboBox97::showEvent(e);
    if (!loaded_)
        Loaded();
}

void TPvlSwatchCombo::keyPressEvent(QKeyEvent* e)
{
    if (keyDropDown_ && e->key() == Qt::Key_Down && !DroppedDown()) {
        showPopup();
        e->accept();
        return;
    }
    TComboBox97::keyPressEvent(e);
}

void TPvlSwatchCombo::fillWith(const std::vector<intptr_t>& values, intptr_t selected)
{
    loaded_ = true;
    {
        const QSignalBlocker block(this);
        Items().Clear();
        for (intptr_t v : values)
            Items().AddObject("", v);
    }
    const auto at = std::find(values.begin(), values.end(), selected);
    SetItemIndex(at == values.end() ? -1 : int(at - values.begin()));
}

bool TPvlSwatchCombo::pick(intptr_t& field, intptr_t value)
{
    if (!loaded_) {
        field = value;  // chosen when the list is filled
        return false;
    }
    const int current = ItemIndex();
    if (value == field && current >= 0 && Items().Objects(current) == value)
        return false;
    for (int i = 0; i < Items().Count(); ++i)
        if (Items().Objects(i) == value) {
            field = value;
            SetItemIndex(i);
            return true;
        }
    return false;
}

void TPvlSwatchCombo::repaintSwatches(bool evenWhenActive)
{
    if (evenWhenActive || !isActiveControl(this))
        update();
    view()->viewport()->update();
}

// ---- colour picker

TPvlColorCombo::TPvlColorCombo(QWidget* parent) : TPvlSwatchCombo(parent)
{
    ResetColorPalette();
}

void TPvlColorCombo::Loaded()
{
    if (!allowWhite_ && colorValue_ == gfx::clWhite)
        colorValue_ = gfx::clBlack;
    fillWith(std::vector<intptr_t>(ColorPalette().begin(), ColorPalette().end()), colorValue_);
    SetDropDownCount(ColorPaletteDropDownCount());
}

void TPvlColorCombo::SetColorValue(gfx::TColor c)
{
    if (!pick(colorValue_, c))
        return;
    repaintSwatches(false);
    if (patternCombo_)
        patternCombo_->SetColorValue(ColorValue());
    if (OnChange)
        OnChange(this);
}

void TPvlColorCombo::SetPattern(gfx::TBrushStyle p)
{
    pattern_ = p;
    repaintSwatches(true);
}

void TPvlColorCombo::SetPatternCombo(TPvlPatternCombo* combo)
{
    patternCombo_ = combo;
    if (combo && loaded_)
        combo->SetColorValue(ColorValue());
}

void TPvlColorCombo::SetAllowWhite(bool on)
{
    allowWhite_ = on;
    if (!on && colorValue_ == gfx::clWhite)
        colorValue_ = gfx::clBlack;
    if (loaded_)
        Loaded();
}

void TPvlColorCombo::Change()
{
    if (ItemIndex() >= 0)
        SetColorValue(gfx::TColor(Items().Objects(ItemIndex())));
}

void TPvlColorCombo::DrawItem(int Index, const gfx::TRect& Rect, TOwnerDrawState)
{
    if (Index >= 0 && Index < Items().Count())
        drawSwatch(Canvas(), Rect, gfx::TColor(Items().Objects(Index)), pattern_);
}

// ---- pattern picker

TPvlPatternCombo::TPvlPatternCombo(QWidget* parent) : TPvlSwatchCombo(parent) {}

void TPvlPatternCombo::Loaded()
{
    if (!allowClear_ && pattern_ == gfx::bsClear)
        pattern_ = gfx::bsSolid;
    std::vector<intptr_t> listed;
    for (gfx::TBrushStyle s : Patterns)
        if (s != gfx::bsClear || allowClear_)
            listed.push_back(s);
    fillWith(listed, pattern_);
}

void TPvlPatternCombo::SetPattern(gfx::TBrushStyle p)
{
    if (!pick(pattern_, p))
        return;
    repaintSwatches(false);
    if (colorCombo_)
        colorCombo_->SetPattern(Pattern());
    if (OnChange)
        OnChange(this);
}

void TPvlPatternCombo::SetColorValue(gfx::TColor c)
{
    colorValue_ = c;
    repaintSwatches(true);
}

void TPvlPatternCombo::SetColorCombo(TPvlColorCombo* combo)
{
    colorCombo_ = combo;
    if (combo && loaded_)
        combo->SetPattern(Pattern());
}

void TPvlPatternCombo::SetAllowClear(bool on)
{
    allowClear_ = on;
    if (!on && pattern_ == gfx::bsClear)
        pattern_ = gfx::bsSolid;
    if (loaded_)
        Loaded();
}

void TPvlPatternCombo::Change()
{
    if (ItemIndex() >= 0)
        SetPattern(gfx::TBrushStyle(Items().Objects(ItemIndex())));
}

void TPvlPatternCombo::DrawItem(int Index, const gfx::TRect& Rect, TOwnerDrawState)
{
    if (Index >= 0 && Index < Items().Count())
        drawSwatch(Canvas(), Rect, colorValue_, gfx::TBrushStyle(Items().Objects(Index)));
}

}  // namespace controls
