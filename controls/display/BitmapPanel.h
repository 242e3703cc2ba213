// `TBitmapPanel`: a panel that shows a bitmap in one of six layouts (at its own size, sized to
// the bitmap, tiled, stretched, stretched keeping its aspect, centred) and that the user can
// pick up and drag when `Moveable`. Needle meters on it may take the panel's picture as their
// dial background; a new bitmap redraws them too. With `BorderStyle` bsSingle a one-pixel
// black frame runs inside the edge and the layouts use the room within it. Every size change
// the panel makes or is given through SetBounds - and a resize of the shown panel from
// elsewhere - is first put to `OnCanResize`, which may change the size or refuse it.
// UI thread only.
#pragma once
#include "controls/display/PanelBorder.h"
#include "platform/forms/Control.h"
#include "platform/gfx/Bitmap.h"

namespace controls {

enum TDisplay { diSimple, diAutosize, diTile, diScretch, diKeepAscpect, diCenter };

using TCanResizeEvent = std::function<void(QObject* Sender, int& NewWidth, int& NewHeight, bool& Resize)>;

class TBitmapPanel : public forms::TCustomControl, public TPanelBorder {
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
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle s);
    // Moves and sizes the panel, the size as OnCanResize allows it.
    void SetBounds(int left, int top, int w, int h);

    forms::TNotifyEvent OnPanelMove, OnDisplayChange, OnSelectClick;
    TCanResizeEvent OnCanResize;

protected:
    void Paint() override;
    void MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
    void MouseMove(forms::TShiftState shift, int x, int y) override;
    void MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // The size OnCanResize makes of w x h; false when it refuses any change.
    bool canResize(int& w, int& h);
    void resizeTo(int w, int h);
    void bitmapChanged();
    void fitToBitmap();
    void drawBitmap(gfx::TCanvas& c);

    gfx::TBitmap bitmap_;
    TDisplay display_ = diAutosize;
    TAlign align_ = alNone;
    bool moveable_ = false;
    bool selected_ = false;
    bool moving_ = false;
    bool resizing_ = false;  // a size the panel set itself, already asked about
    TBorderStyle borderStyle_ = bsNone;
    QPoint grabOffset_;  // where in the panel the mouse took hold
};

}  // namespace controls
