// `TComboBox`: the class library's combo box over Qt's: `Items` is a string list that the
// drop-down follows as it changes, `ItemIndex` (-1 = none) and `Text` read and set the
// choice, `Style` is an edit with a list (`csDropDown`) or a pick-only list
// (`csDropDownList`). `OnChange` fires when the user picks an entry or edits the text, never
// for a change made by code; `OnDropDown` fires before the list opens (so a handler may still
// move the choice), `OnCloseUp` after it closed; `OnEnter` and `OnExit` follow the keyboard
// focus (the list's own window does not count as leaving). UI thread only.
#pragma once
#include <cstdint>
#include <string>

#include <QComboBox>

#include "controls/std/StdTypes.h"
#include "platform/forms/Control.h"
#include "platform/gfx/DrawTools.h"
#include "platform/rtl/StringList.h"

namespace controls {


class TComboBox : public forms::TControlProperties<QComboBox> {
public:
    explicit TComboBox(QWidget* parent = nullptr);
    ~TComboBox() override;

    // The list's OnChange belongs to the combo, which follows it.
    rtl::TStringList& Items() { return items_; }
    int ItemIndex() const { return currentIndex(); }
    void SetItemIndex(int index);
    std::string Text() const;
    // In a pick-only list the entry with this text is chosen (none when there is none).
    void SetText(const std::string& text);
    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle s);
    int DropDownCount() const { return maxVisibleItems(); }
    void SetDropDownCount(int rows) { setMaxVisibleItems(std::max(rows, 1)); }
    bool DroppedDown() const { return droppedDown_; }
    void SetDroppedDown(bool on);

    gfx::TFont& Font() { return font_; }
    gfx::TColor Color() const { return color_; }
    void SetColor(gfx::TColor c);
    bool TabStop() const { return tabStop_; }
    // A combo that is no tab stop still takes the focus by a click.
    void SetTabStop(bool on);

    forms::TNotifyEvent OnChange, OnDropDown, OnCloseUp, OnEnter, OnExit;
    forms::TKeyEvent OnKeyDown;

    void showPopup() override;
    void hidePopup() override;

protected:
    virtual void Change();
    virtual void DropDown();
    virtual void CloseUp();
    virtual void DoEnter();
    virtual void DoExit();

    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void syncItems();
    void connectEdit();
    void popupClosed();
    rtl::TStringList items_;
    TComboBoxStyle style_ = csDropDown;
    gfx::TFont font_;
    gfx::TColor color_ = gfx::clWindow;
    bool tabStop_ = true;
    bool droppedDown_ = false;
    QWidget* watchedList_ = nullptr;  // the list's window, once its closing is watched
};

}  // namespace controls
