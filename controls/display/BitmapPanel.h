// `TBitmapPanel`: a panel that shows a bitmap in one of six layouts (at its own size, sized to
// the bitmap, tiled, stretched, stretched keeping its aspect, centred) and that the user can
// pick up and drag when `Moveable`. Needle meters on it may take the panel's picture as their
// dial background; a new bitmap redraws them too. UI thread only.
#pragma once
#include "platform/forms/Control.h"
#include "platform/gfx/Bitmap.h"

namespace controls {

enum TDisplay { diSimple, diAutosize, diTile, diScretch, diKeepAscpect, diCenter };

class TBitmapPanel : public forms::TCustomControl {
public:
    // How the panel is laid out in its parent; anything but alNone means an owner's layout
    // sizes it, so a panel asked to size itself to its bitmap centres the bitmap instead.
    enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

    explicit TBitmapPanel(QWidget* parent = nullptr);

    const gfx::TBitmap& Bitmap() const { return bitmap_; }
    // Copies the picture.
    void SetBitmap(const gfx::TBitmap& bitmap);
    TDisplay Display() const { return display_; }
    void SetDisplay(TDisplay d);
    bool Moveable() const { return moveable_; }
    void SetMoveable(bool on) { moveable_ = on; }
    TAlign Align() const { return align_; }
    void SetAlign(TAlign a);
    // True while the selection frame shows (from a press to the release).
    bool Selected() const { return selected_; }

    forms::TNotifyEvent OnPanelMove, OnDisplayChange, OnSelectClick;

protected:
    void Paint() override;
    void MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
    void MouseMove(forms::TShiftState shift, int x, int y) override;
    void MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;

private:
    void bitmapChanged();
    void fitToBitmap();
    void drawBitmap(gfx::TCanvas& c);

    gfx::TBitmap bitmap_;
    TDisplay display_ = diAutosize;
    TAlign align_ = alNone;
    bool moveable_ = false;
    bool selected_ = false;
    bool moving_ = false;
    QPoint grabOffset_;  // where in the panel the mouse took hold
};

}  // namespace controls
