// `TPvlColorCombo` and `TPvlPatternCombo`: owner-drawn pickers of a colour and of a brush
// pattern, each item drawn as a swatch inset 2 pixels in its line. A pair can be linked
// (`PatternCombo`, `ColorCombo`) so that the colour picker's swatches wear the chosen pattern
// and the pattern picker's the chosen colour.
//
// The colour palette is shared by every colour picker of the program: the 16 basic colours, or
// black, white and up to 32 colours read from text (`LoadColorPalette`). Making a colour picker
// brings back the basic 16. A picker fills its list when it is first shown (or at `Loaded`),
// and lists exactly the palette. UI thread only.
#pragma once
#include <string>
#include <vector>

#include "controls/pickers/ComboBox97.h"

namespace controls {

// The shared palette and the drop-down count that goes with it.
const std::vector<gfx::TColor>& ColorPalette();
int ColorPaletteDropDownCount();
// Black, white and the colours of the text's first 32 lines, each a hexadecimal 0xBBGGRR value
// ("FF0000" is blue); a line that is not hexadecimal is skipped.
void LoadColorPalette(const std::string& lines);
// The 16 basic colours again.
void ResetColorPalette();

class TPvlPatternCombo;

// What both pickers share: items that carry their value as the object, filled at the first
// show (or Loaded), Down opening the list with KeyDropDown, and the change step's repaint.
class TPvlSwatchCombo : public TComboBox97 {
public:
    // On: Down on the closed picker opens the list instead of moving the choice.
    bool KeyDropDown() const { return keyDropDown_; }
    void SetKeyDropDown(bool on) { keyDropDown_ = on; }
    // Fills the list and selects the value.
    virtual void Loaded() = 0;

protected:
    explicit TPvlSwatchCombo(QWidget* parent);
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    // The list becomes `values`, the item of `selected` chosen.
    void fillWith(const std::vector<intptr_t>& values, intptr_t selected);
    // Stores `value` in `field` and chooses its item; false when that changes nothing or the
    // list holds no such item. Before the list is filled the value is only stored.
    bool pick(intptr_t& field, intptr_t value);
    // The closed part, unless it has the keyboard, and the open list show the new swatches.
    void repaintSwatches(bool evenWhenActive);
    bool loaded_ = false;

private:
    bool keyDropDown_ = false;
};

class TPvlColorCombo : public TPvlSwatchCombo {
public:
    explicit TPvlColorCombo(QWidget* parent = nullptr);

    gfx::TColor ColorValue() const { return gfx::TColor(colorValue_); }
    // Selects the first item of that colour; a colour the list does not hold changes nothing.
    void SetColorValue(gfx::TColor c);
    gfx::TBrushStyle Pattern() const { return pattern_; }
    void SetPattern(gfx::TBrushStyle p);
    TPvlPatternCombo* PatternCombo() const { return patternCombo_; }
    void SetPatternCombo(TPvlPatternCombo* combo);
    bool AllowWhite() const { return allowWhite_; }
    // Off: a white value becomes black.
    void SetAllowWhite(bool on);
    // Fills the list with the palette and selects the value (white as black unless allowed).
    void Loaded() override;

    void DrawItem(int Index, const gfx::TRect& Rect, TOwnerDrawState State) override;

protected:
    void Change() override;

private:
    intptr_t colorValue_ = gfx::clBlack;
    gfx::TBrushStyle pattern_ = gfx::bsSolid;
    TPvlPatternCombo* patternCombo_ = nullptr;
    bool allowWhite_ = false;
};

class TPvlPatternCombo : public TPvlSwatchCombo {
public:
    explicit TPvlPatternCombo(QWidget* parent = nullptr);

    gfx::TBrushStyle Pattern() const { return gfx::TBrushStyle(pattern_); }
    // Selects the item of that pattern; a pattern the list does not hold changes nothing.
    void SetPattern(gfx::TBrushStyle p);
    gfx::TColor ColorValue() const { return colorValue_; }
    void SetColorValue(gfx::TColor c);
    TPvlColorCombo* ColorCombo() const { return colorCombo_; }
    void SetColorCombo(TPvlColorCombo* combo);
    // On: bsClear is listed last; off: a bsClear pattern becomes bsSolid.
    bool AllowClear() const { return allowClear_; }
    void SetAllowClear(bool on);
    void Loaded() override;

    void DrawItem(int Index, const gfx::TRect& Rect, TOwnerDrawState State) override;

protected:
    void Change() override;

private:
    intptr_t pattern_ = gfx::bsSolid;
    gfx::TColor colorValue_ = gfx::clBlack;
    TPvlColorCombo* colorCombo_ = nullptr;
    bool allowClear_ = false;
};

}  // namespace controls
