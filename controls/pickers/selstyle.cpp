#include "controls/pickers/selstyle.h"

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

// ---- colour picker

TPvlColorCombo::TPvlColorCombo(QWidget* parent) : TComboBox97(parent)
{
    ResetColorPalette();
    SetStyle(csOwnerDrawFixed);
}

void TPvlColorCombo::fill()
{
    const QSignalBlocker block(this);
    Items().Clear();
    for (gfx::TColor c : ColorPalette())
        Items().AddObject("", intptr_t(c));
    SetDropDownCount(ColorPaletteDropDownCount());
    SetItemIndex(-1);
}

void TPvlColorCombo::Loaded()
{
    loaded_ = true;
    if (!allowWhite_ && colorValue_ == gfx::clWhite)
        colorValue_ = gfx::clBlack;
    fill();
    for (int i = 0; i < Items().Count(); ++i)
        if (gfx::TColor(Items().Objects(i)) == colorValue_) {
            SetItemIndex(i);
            break;
        }
}

void TPvlColorCombo::showEvent(QShowEvent* e)
{
    TComboBox97::showEvent(e);
    if (!loaded_)
        Loaded();
}

void TPvlColorCombo::SetColorValue(gfx::TColor c)
{
    if (!loaded_) {
        colorValue_ = c;  // chosen when the list is filled
        return;
    }
    const int current = ItemIndex();
    if (c == colorValue_ && current >= 0 && gfx::TColor(Items().Objects(current)) == c)
        return;
    for (int i = 0; i < Items().Count(); ++i)
        if (gfx::TColor(Items().Objects(i)) == c) {
            colorValue_ = c;
            SetItemIndex(i);
            changed();
            return;
        }
}

void TPvlColorCombo::changed()
{
    if (!isActiveControl(this))
        update();
    if (patternCombo_)
        patternCombo_->SetColorValue(colorValue_);
    if (OnChange)
        OnChange(this);
}

void TPvlColorCombo::SetPattern(gfx::TBrushStyle p)
{
    pattern_ = p;
    update();
    view()->viewport()->update();
}

void TPvlColorCombo::SetPatternCombo(TPvlPatternCombo* combo)
{
    patternCombo_ = combo;
    if (combo && loaded_)
        combo->SetColorValue(colorValue_);
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

void TPvlColorCombo::keyPressEvent(QKeyEvent* e)
{
    if (keyDropDown_ && e->key() == Qt::Key_Down && !DroppedDown()) {
        showPopup();
        e->accept();
        return;
    }
    TComboBox97::keyPressEvent(e);
}

void TPvlColorCombo::DrawItem(int Index, const gfx::TRect& Rect, TOwnerDrawState)
{
    if (Index >= 0 && Index < Items().Count())
        drawSwatch(Canvas(), Rect, gfx::TColor(Items().Objects(Index)), pattern_);
}

// ---- pattern picker

TPvlPatternCombo::TPvlPatternCombo(QWidget* parent) : TComboBox97(parent)
{
    SetStyle(csOwnerDrawFixed);
}

void TPvlPatternCombo::fill()
{
    const QSignalBlocker block(this);
    Items().Clear();
    for (gfx::TBrushStyle s : Patterns)
        if (s != gfx::bsClear || allowClear_)
            Items().AddObject("", intptr_t(s));
    SetItemIndex(-1);
}

void TPvlPatternCombo::Loaded()
{
    loaded_ = true;
    if (!allowClear_ && pattern_ == gfx::bsClear)
        pattern_ = gfx::bsSolid;
    fill();
    for (int i = 0; i < Items().Count(); ++i)
        if (gfx::TBrushStyle(Items().Objects(i)) == pattern_) {
            SetItemIndex(i);
            break;
        }
}

void TPvlPatternCombo::showEvent(QShowEvent* e)
{
    TComboBox97::showEvent(e);
    if (!loaded_)
        Loaded();
}

void TPvlPatternCombo::SetPattern(gfx::TBrushStyle p)
{
    if (!loaded_) {
        pattern_ = p;
        return;
    }
    const int current = ItemIndex();
    if (p == pattern_ && current >= 0 && gfx::TBrushStyle(Items().Objects(current)) == p)
        return;
    for (int i = 0; i < Items().Count(); ++i)
        if (gfx::TBrushStyle(Items().Objects(i)) == p) {
            pattern_ = p;
            SetItemIndex(i);
            changed();
            return;
        }
}

void TPvlPatternCombo::changed()
{
    if (!isActiveControl(this))
        update();
    if (colorCombo_)
        colorCombo_->SetPattern(pattern_);
    if (OnChange)
        OnChange(this);
}

void TPvlPatternCombo::SetColorValue(gfx::TColor c)
{
    colorValue_ = c;
    update();
    view()->viewport()->update();
}

void TPvlPatternCombo::SetColorCombo(TPvlColorCombo* combo)
{
    colorCombo_ = combo;
    if (combo && loaded_)
        combo->SetPattern(pattern_);
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

void TPvlPatternCombo::keyPressEvent(QKeyEvent* e)
{
    if (keyDropDown_ && e->key() == Qt::Key_Down && !DroppedDown()) {
        showPopup();
        e->accept();
        return;
    }
    TComboBox97::keyPressEvent(e);
}

void TPvlPatternCombo::DrawItem(int Index, const gfx::TRect& Rect, TOwnerDrawState)
{
    if (Index >= 0 && Index < Items().Count())
        drawSwatch(Canvas(), Rect, colorValue_, gfx::TBrushStyle(Items().Objects(Index)));
}

}  // namespace controls
