// `TFlatComboBox`: the platform's combo box with a flat look: a one-pixel border in a chosen
// colour, a flat face, and a flat drop-down button with a drawn arrow that points up while
// the list is open. The CD player, label designer, print-position, MP3, printer and recorder
// windows use it. UI thread only.
#pragma once
#include <string>
#include <vector>

#include <QComboBox>

#include "controls/flat/FlatUtilitys.h"
#include "platform/forms/Control.h"

namespace controls {

class TFlatComboBox : public QComboBox {
public:
    static constexpr int ButtonWidth = 11;

    explicit TFlatComboBox(QWidget* parent = nullptr);

    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle s);
    TColor Color() const { return color_; }
    void SetColor(TColor c);
    // Colours by index: 0 ColorArrow, 1 ColorArrowBackground, 2 ColorBorder.
    TColor Colors(int index) const;
    void SetColors(int index, TColor value);
    TColor ColorArrow() const { return colorArrow_; }
    TColor ColorArrowBackground() const { return colorArrowBackground_; }
    TColor ColorBorder() const { return colorBorder_; }
    // Luminance offsets by index: 0 AdvColorBorder, 1 AdvColorArrowBackground.
    TAdvColors AdvColors(int index) const { return index == 0 ? advBorder_ : advArrowBackground_; }
    void SetAdvColors(int index, TAdvColors value);
    bool UseAdvColors() const { return useAdvColors_; }
    void SetUseAdvColors(bool on);
    // Re-reads the parent's colour for the advanced colours.
    void ParentColorChanged();
    int DropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(int n);
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int h) { itemHeight_ = h; }

    std::vector<std::string> Items() const;
    void SetItems(const std::vector<std::string>& items);
    int ItemIndex() const { return currentIndex(); }
    void SetItemIndex(int i) { setCurrentIndex(i); }
    std::string Text() const { return currentText().toStdString(); }

    bool DroppedDown() const { return droppedDown_; }
    bool Active() const;
    // Height of the open list: the smaller of the item count and DropDownCount, in rows.
    int DropDownListHeight() const;
    // The button's rectangle and the selected-item area of the list styles.
    TRect ButtonRect() const;
    TRect SelectedArea() const;

    forms::TNotifyEvent OnChange, OnDropDown, OnCloseUp;

    void showPopup() override;
    void hidePopup() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;
    // Focus moving in or out of the edit part changes the active look.
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void placeEditPart();
    void updateAdvColors();
    void drawButton(gfx::TCanvas& c);
    TColor parentLookColor() const;
    TComboBoxStyle style_ = csDropDown;
    TColor color_ = 0xE1EAEB;
    TColor colorArrow_ = 0x000000, colorArrowBackground_ = 0xC5D6D9, colorBorder_ = 0x8396A0;
    TAdvColors advBorder_ = 50, advArrowBackground_ = 10;
    bool useAdvColors_ = false, droppedDown_ = false;
    int dropDownCount_ = 8;
    int itemHeight_ = 13;
};

}  // namespace controls
