// `TSpeedButton`: the class library's tool-bar button. It never takes the focus; it shows a
// caption and an optional glyph laid out by `Layout`, `Margin` and `Spacing`; it can be
// `Flat` (a border only while the mouse is over it or it is down) and, with a `GroupIndex`,
// latch down as a toggle (`AllowAllUp`) or as one of a group on the same parent that raises
// the others. A press shows the button down until the release; the release inside clicks
// it. UI thread only.
#pragma once
#include <memory>

#include "controls/std/StdTypes.h"
#include "platform/forms/Control.h"
#include "platform/gfx/Bitmap.h"

namespace controls {

enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

class TSpeedButton : public forms::TCustomControl {
public:
    explicit TSpeedButton(QWidget* parent = nullptr);
    ~TSpeedButton() override;

    // The glyph: NumGlyphs images side by side (up, disabled, down, latched down); its
    // bottom-left pixel's colour is transparent.
    gfx::TBitmap& Glyph() { return *glyph_; }
    void SetGlyph(const gfx::TBitmap& bitmap);
    int NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(int n);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout l);
    // -1 centres the glyph and caption together; otherwise the glyph's distance from the edge.
    int Margin() const { return margin_; }
    void SetMargin(int m);
    // Pixels between glyph and caption; -1 spreads them evenly.
    int Spacing() const { return spacing_; }
    void SetSpacing(int s);
    bool Flat() const { return flat_; }
    void SetFlat(bool on);
    bool Down() const { return down_; }
    void SetDown(bool on);
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int g);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool on);
    TButtonState State() const { return state_; }

    // Where the glyph and the caption go in `client` for the given caption size; returned
    // as the glyph's top-left and the caption's rectangle.
    struct ContentLayout {
        gfx::TPoint glyphPos;
        gfx::TRect textRect;
    };
    ContentLayout CalcLayout(const gfx::TRect& client, gfx::TSize textSize) const;

protected:
    void Paint() override;
    // The button's background and border for its state.
    void PaintFace(const gfx::TRect& client);
    // The glyph and the caption, in `font`, moved by a pixel while the button is down.
    void PaintContent(const gfx::TRect& client, const gfx::TFont& font);
    // Fill of the face: the button face, or the control's colour when flat.
    virtual gfx::TColor FaceColor() const;

    void MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void MouseMove(forms::TShiftState s, int x, int y) override;
    void MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void EnabledChanged() override;

private:
    void updateExclusive();
    QImage glyphImage(int index) const;
    std::unique_ptr<gfx::TBitmap> glyph_;
    int numGlyphs_ = 1;
    TButtonLayout layout_ = blGlyphLeft;
    int margin_ = -1;
    int spacing_ = 4;
    bool flat_ = false;
    bool down_ = false;
    int groupIndex_ = 0;
    bool allowAllUp_ = false;
    bool dragging_ = false;
    TButtonState state_ = bsUp;
};

}  // namespace controls
