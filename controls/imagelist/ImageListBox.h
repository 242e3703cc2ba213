// `TCustomImageListBox` / `TImageListBox`: a list box whose items are the pictures of an image
// list, one item per picture; the label designer's photo strip.
//
// A QListView over a model of `Count` rows that carry no data: the count follows the image
// list (watched for changes, and let go of when it is freed). Items form a uniform grid of
// `ColumnWidth` x `ItemHeight` cells that flows top to bottom into further columns
// (`MultiColumn`), or one column as wide as the list. Each item is drawn by the virtual
// `DrawItem` on `Canvas` (see controls/common/OwnerDraw.h): the cell in the list's colour,
// or the highlight colour when selected, the picture centred in it without its see-through
// pixels, and the focus mark on the current item.
//
// `OnClick` fires when the user changes the selection (never for a change made by code),
// `OnDblClick` for a double click on an item; the Enter key reaches `OnKeyDown` and goes no
// further (no default button hears it). A new selection style, column style or border starts
// the list over with nothing selected, as a newly made list has.
// UI thread only.
#pragma once
#include <QListView>
#include <QPointer>

#include "controls/common/ControlTypes.h"
#include "controls/common/OwnerDraw.h"
#include "platform/forms/Control.h"
#include "platform/forms/ImageList.h"

namespace controls {

class TCustomImageListBox : public forms::TControlProperties<QListView>, public TOwnerDrawItems {
public:
    explicit TCustomImageListBox(QWidget* parent = nullptr);
    ~TCustomImageListBox() override;

    forms::TImageList* Images() const { return images_; }
    void SetImages(forms::TImageList* images);
    // <= 0: the images' height (or the font's without images).
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int value);
    // < 1: the images' width (or the font's height without images).
    int ColumnWidth() const { return columnWidth_; }
    void SetColumnWidth(int value);
    bool MultiColumn() const { return multiColumn_; }
    void SetMultiColumn(bool value);
    bool MultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool value);
    bool ExtendedSelect() const { return extendedSelect_; }
    void SetExtendedSelect(bool value);
    // On: the list's height shrinks to whole rows of items.
    bool IntegralHeight() const { return integralHeight_; }
    void SetIntegralHeight(bool value);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);
    int Count() const;
    int ItemIndex() const;
    void SetItemIndex(int index);

    gfx::TColor Color() const { return color_; }
    void SetColor(gfx::TColor value);
    gfx::TFont& Font() { return font_; }
    void SetFont(const gfx::TFont& value);

    void DrawItem(int Index, const gfx::TRect& Rect, TOwnerDrawState State) override;
    QSize MeasureItem(int Index) const override;

    forms::TNotifyEvent OnClick, OnDblClick, OnEnter, OnExit;
    forms::TKeyEvent OnKeyDown;
    forms::TKeyPressEvent OnKeyPress;

protected:
    gfx::TColor ItemColor() const override { return color_; }
    const gfx::TFont& ItemFont() const override { return font_; }
    virtual void Click();
    virtual void DblClick();

    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    class CountModel;
    // The cell size the rules give.
    int effectiveItemHeight() const;
    int effectiveColumnWidth() const;
    int fontHeight() const;
    // The count follows the image list.
    void refresh();
    // What a new window of the list does: the styles, the count, the cell size, no selection.
    void recreate();
    void relayout();
    void fitIntegralHeight();

    CountModel* model_;
    QPointer<forms::TImageList> images_;
    QMetaObject::Connection imagesGone_;
    int itemHeight_ = 20;
    int columnWidth_ = 24;
    bool multiColumn_ = true;
    bool multiSelect_ = false;
    bool extendedSelect_ = true;
    bool integralHeight_ = false;
    TBorderStyle borderStyle_ = bsSingle;
    gfx::TColor color_ = gfx::clWindow;
    gfx::TFont font_;
    bool quiet_ = false;  // selection changes made by code
};

class TImageListBox : public TCustomImageListBox {
public:
    using TCustomImageListBox::TCustomImageListBox;
};

}  // namespace controls
