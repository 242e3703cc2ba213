// `TComboBox97`: a combo box that, with `Flat` on, drops the 3-D look for a thin frame and a
// flat drop-down button, which rise (frame sunken, button raised) only while the mouse is over
// the control or it has the focus, as the Office 97 tool bars did. With the owner-drawn
// styles each item, the closed part included, is painted by the virtual `DrawItem` on
// `Canvas` (controls/common's owner-draw mix-in); the colour, pattern and font pickers are
// built on it. A disabled flat combo takes its parent's colour. UI thread only.
#pragma once
#include "controls/common/OwnerDraw.h"
#include "controls/std/ComboBox.h"

namespace controls {

class TComboBox97 : public TComboBox, public TOwnerDrawItems {
public:
    explicit TComboBox97(QWidget* parent = nullptr);
    ~TComboBox97() override;

    bool Flat() const { return flat_; }
    void SetFlat(bool on);
    // The owner-drawn styles hand the items to DrawItem.
    void SetStyle(TComboBoxStyle s);
    // Height of an owner-drawn item; the closed control is 6 pixels higher.
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int h);
    // Width of the drop-down button: the scroll bar's width and 2.
    int ButtonWidth() const;
    // Whether the frame and button show their raised look now.
    bool Active() const;
    bool MouseInside() const { return mouseInside_; }
    bool ButtonPressed() const { return pressed_; }
    // The area of the closed control that shows the chosen item.
    QRect ItemArea() const;

    // Paints item Index (its text, by default) on Canvas.
    void DrawItem(int Index, const gfx::TRect& Rect, TOwnerDrawState State) override;
    QSize MeasureItem(int Index) const override;

protected:
    gfx::TColor ItemColor() const override { return Color(); }
    const gfx::TFont& ItemFont() const override { return const_cast<TComboBox97*>(this)->Font(); }
    bool OwnerDrawn() const { return Style() == csOwnerDrawFixed || Style() == csOwnerDrawVariable; }

    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;
    void DropDown() override;
    void CloseUp() override;

private:
    void drawFrame(gfx::TCanvas& c, bool active);
    void drawButton(gfx::TCanvas& c, bool active);
    QRect buttonRect() const;
    bool flat_ = false;
    int itemHeight_ = 16;
    bool mouseInside_ = false;
    bool pressed_ = false;
    // The colour kept while a flat combo is disabled.
    bool colourSaved_ = false;
    gfx::TColor savedColor_ = gfx::clWindow;
};

}  // namespace controls
