// `TdxButton`: a push button in a light rounded look, built on the themed-control framework.
// Its face is one of four 64-band gradients (normal, pressed, and the default and hot frames
// around the face), with a dark-blue rounded border, an optional glyph beside the caption and
// the Default/Cancel/ModalResult habits of dialog buttons. A linked QAction lends its text,
// enabled state and icon as the caption, enabling and glyph. The mixer window's buttons are
// of this kind. UI thread only.
#pragma once
#include <QPointer>

#include "controls/common/ControlTypes.h"
#include "controls/dx/dxCore.h"
#include "platform/gfx/Bitmap.h"

class QAction;

namespace controls {

using TdxLayout = TButtonLayout;  // blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom

class TdxCustomButton : public TdxCustomStyleControl {
public:
    // The face colours, 0x00BBGGRR, first band to last.
    static constexpr TColor NormalFrom = 0xFFFFFF, NormalTo = 0xE7EBEF;
    static constexpr TColor PressedFrom = 0xC6CFD6, PressedTo = 0xEBF3F7;
    static constexpr TColor DefaultFrom = 0xFFE7CE, DefaultTo = 0xEF846D;
    static constexpr TColor HotFrom = 0xCEF3FF, HotTo = 0x0096E7;
    static constexpr TColor BorderColor = 0x733800, DisabledBorderColor = 0xBDC7CE;
    static constexpr TColor SmoothColor = 0xAD9E7B;

    explicit TdxCustomButton(QWidget* parent = nullptr);

    // The linked action (none by default): its text, enabled state and icon stand for the
    // caption, the enabling and the glyph; a click with no OnClick of its own triggers it.
    QAction* Action() const { return action_; }
    void SetAction(QAction* action);

    bool AutoGray() const { return autoGray_; }
    void SetAutoGray(bool on) { store(autoGray_, on); }
    bool Cancel() const { return cancel_; }
    void SetCancel(bool on) { cancel_ = on; }
    bool Default() const { return default_; }
    // Tells the window's controls that the focus changed, so the default frame follows.
    void SetDefault(bool on);
    gfx::TBitmap& Glyph() { return glyph_; }
    void SetGlyph(const gfx::TBitmap& glyph);
    TdxLayout Layout() const { return layout_; }
    void SetLayout(TdxLayout l) { store(layout_, l); }
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int r) { modalResult_ = r; }
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool on) { store(showAccelChar_, on); }
    bool ShowFocusRect() const { return showFocusRect_; }
    void SetShowFocusRect(bool on) { store(showFocusRect_, on); }
    bool SmoothEdges() const { return smoothEdges_; }
    void SetSmoothEdges(bool on) { store(smoothEdges_, on); }
    uint8_t Spacing() const { return spacing_; }
    void SetSpacing(uint8_t s) { store(spacing_, s); }
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool on) { store(wordWrap_, on); }

    // Active: the left button is down with the pointer outside, or, with it up, the pointer
    // is in or the button has the focus.
    bool IsActive() const;
    // As painted: an inactive Default button that can take the focus also counts while no
    // control of this framework is the window's active control.
    bool LooksActive() const;

    // Sets the window's ModalResult, then fires OnClick (or the action).
    void Click() override;
    bool DialogKey(int key, forms::TShiftState shift) override;
    bool DialogChar(char32_t ch) override;

protected:
    void Paint() override;
    void DoEnabledChanged() override;
    void DoLMouseUp(forms::TShiftState shift, int x, int y) override;
    void DoSizeChanged() override;
    void KeyDown(int& key, forms::TShiftState shift) override;
    void KeyUp(int& key, forms::TShiftState shift) override;

private:
    template <class T> void store(T& field, T value)
    {
        if (field == value)
            return;
        field = value;
        invalidateUnlessUpdating();
    }
    bool canTakeFocus() const;
    bool activeControlIsDx() const;
    void buildFaces();
    void takeFromAction();
    // The glyph to draw and its see-through colour; false when there is none.
    bool glyphImage(QImage& out, TColor& key) const;

    QPointer<QAction> action_;
    QMetaObject::Connection actionLink_;
    gfx::TBitmap glyph_;
    gfx::TBitmap faceNormal_, facePressed_, faceDefault_, faceHot_;
    TdxLayout layout_ = blGlyphLeft;
    int modalResult_ = 0;
    uint8_t spacing_ = 3;
    bool autoGray_ = true, cancel_ = false, default_ = false, showAccelChar_ = true;
    bool showFocusRect_ = false, smoothEdges_ = true, wordWrap_ = true;
};

class TdxButton : public TdxCustomButton {
public:
    using TdxCustomButton::TdxCustomButton;
};

}  // namespace controls
