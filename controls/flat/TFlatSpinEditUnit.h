// `TFlatSpinEditFloat`: a flat edit for a floating-point value with a spin button at its right
// edge. The text is the value written in `FloatFormat` with `Precision` and `Digits`; reading
// it forgives the currency sign, blanks and thousands separators and takes "(2.5)" as -2.5.
// Between `MinValue` and `MaxValue` (when they differ) a value is clamped; Up and Down, or the
// spin button, step it by `Increment`. Only sign, digit and decimal-point characters can be
// typed. The label font window's size field and the print-position window's offsets are spin
// edits. UI thread only.
#pragma once
#include <string>

#include "controls/flat/TFlatEditUnit.h"
#include "controls/flat/TFlatSpinButtonUnit.h"
#include "platform/forms/Control.h"
#include "platform/rtl/FloatFormat.h"

namespace controls {

class TFlatSpinEditFloat : public TCustomFlatEdit {
public:
    explicit TFlatSpinEditFloat(QWidget* parent = nullptr);

    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool on) { autoSelect_ = on; }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on) { autoSize_ = on; }
    int Digits() const { return digits_; }
    void SetDigits(int digits);
    int Precision() const { return precision_; }
    void SetPrecision(int precision);
    rtl::TFloatFormat FloatFormat() const { return floatFormat_; }
    void SetFloatFormat(rtl::TFloatFormat format);
    bool EditorEnabled() const { return editorEnabled_; }
    void SetEditorEnabled(bool on) { editorEnabled_ = on; }
    double Increment() const { return increment_; }
    void SetIncrement(double step) { increment_ = step; }
    double MaxValue() const { return maxValue_; }
    void SetMaxValue(double v) { maxValue_ = v; }
    double MinValue() const { return minValue_; }
    void SetMinValue(double v) { minValue_ = v; }
    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool on) { setReadOnly(on); }

    // The value of the text; MinValue when the text is no number.
    double GetValue() const;
    double Value() const { return GetValue(); }
    // Checks the value and writes it as the text, the caret at its end.
    void SetValue(double value);
    // The value brought between MinValue and MaxValue (unless they are equal).
    double CheckValue(double value) const;
    // One step of the spin button (nothing while read-only).
    void UpClick();
    void DownClick();

    TSpinButton& Button() { return *button_; }
    // Fired whenever the text changes.
    forms::TNotifyEvent OnChange;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    bool acceptsChar(char32_t ch) const;
    bool pasteAllowed() const { return editorEnabled_ && !isReadOnly(); }
    void reformat() { SetValue(GetValue()); }
    void layoutButton();
    TSpinButton* button_;
    bool autoSelect_ = true, autoSize_ = true, editorEnabled_ = true;
    int digits_ = 2, precision_ = 9;
    rtl::TFloatFormat floatFormat_ = rtl::ffGeneral;
    double increment_ = 0.5, maxValue_ = 0, minValue_ = 0;
};

}  // namespace controls
