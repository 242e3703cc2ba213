// `TCustomLabel` / `TLabel`: a line (or wrapped block) of text on a window, the label of the
// class library. It never takes the focus; its accelerator ("&x") moves the focus to
// `FocusControl`. With `AutoSize` (the default) it takes the size of its text; with
// `Transparent` the parent shows through around the letters; a disabled label is drawn
// engraved. The text layout (`Alignment`, `Layout`, `WordWrap`, `ShowAccelChar`) follows the
// platform's text-drawing flags. UI thread only.
#pragma once
#include <QPointer>

#include "controls/std/StdTypes.h"
#include "platform/forms/Control.h"

namespace controls {

class TCustomLabel : public forms::TCustomControl {
public:
    explicit TCustomLabel(QWidget* parent = nullptr);

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout l);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool on);
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool on);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool on);
    QWidget* FocusControl() const { return focusControl_; }
    void SetFocusControl(QWidget* w) { focusControl_ = w; }

    bool DialogChar(char32_t ch) override;

protected:
    // The label's own painting: the background (unless transparent) and the text.
    void Paint() override;
    // Draws the caption with the label's flags into `rect`; with DT_CALCRECT only measures.
    void DoDrawText(gfx::TRect& rect, unsigned flags);
    unsigned TextFlags() const;
    // Whether every paint starts from the parent's picture under the label.
    virtual bool SeesThrough() const { return transparent_; }
    void TextChanged() override;
    void FontChanged() override;

private:
    void adjustBounds();
    TAlignment alignment_ = taLeftJustify;
    TTextLayout layout_ = tlTop;
    bool autoSize_ = true;
    bool wordWrap_ = false;
    bool showAccelChar_ = true;
    bool transparent_ = false;
    QPointer<QWidget> focusControl_;
};

class TLabel : public TCustomLabel {
public:
    using TCustomLabel::TCustomLabel;
};

}  // namespace controls
