// `TCustomFlatEdit` / `TFlatEdit`: the platform's line edit with a flat look: a 3-pixel frame,
// one pixel in the border colour and two in the face colour, and a face that brightens to the
// focus colour while the edit has the focus, or while the mouse is over it and no other flat
// edit has the focus. The CD player's title edits are of this kind. UI thread only.
#pragma once
#include <string>

#include <QLineEdit>

#include "controls/flat/FlatUtilitys.h"

namespace controls {

class TCustomFlatEdit : public QLineEdit {
public:
    explicit TCustomFlatEdit(QWidget* parent = nullptr);

    // Colours by index: 0 ColorFocused, 1 ColorBorder, 2 ColorFlat (which also turns
    // ParentColor off).
    TColor Colors(int index) const;
    void SetColors(int index, TColor value);
    TColor ColorFocused() const { return colorFocused_; }
    TColor ColorBorder() const { return colorBorder_; }
    TColor ColorFlat() const { return colorFlat_; }
    // Luminance offsets by index: 0 AdvColorFocused, 1 AdvColorBorder.
    TAdvColors AdvColors(int index) const { return index == 0 ? advFocused_ : advBorder_; }
    void SetAdvColors(int index, TAdvColors value);
    bool UseAdvColors() const { return useAdvColors_; }
    void SetUseAdvColors(bool on);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool on);
    // The face colour now shown (ColorFocused while highlighted, else ColorFlat).
    TColor Color() const { return highlighted() ? colorFocused_ : colorFlat_; }
    // Re-reads the parent's colour (for ParentColor and the advanced colours).
    void ParentColorChanged();

    std::string Text() const { return text().toStdString(); }
    void SetText(const std::string& t) { setText(QString::fromStdString(t)); }
    bool IsMouseIn() const { return mouseIn_; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    bool highlighted() const;
    bool syncFace();
    void refresh();
    TColor parentLookColor() const;
    void updateAdvColors();
    void fitHeight();
    TColor colorFocused_ = 0xFFFFFF, colorBorder_ = 0x8396A0, colorFlat_ = 0xE1EAEB;
    TAdvColors advFocused_ = 10, advBorder_ = 50;
    bool useAdvColors_ = false, parentColor_ = false, mouseIn_ = false, shown_ = false;
};

class TFlatEdit : public TCustomFlatEdit {
public:
    using TCustomFlatEdit::TCustomFlatEdit;
};

}  // namespace controls
