// `TImage`: a control that shows a picture. `Picture` may hold any registered graphic; it is
// drawn at the top-left, centred (`Center`), stretched to the control (`Stretch`), keeping its
// aspect ratio when `Proportional`, and with its transparent colour left out when
// `Transparent`. `AutoSize` sizes the control to the picture. `Canvas` is the canvas of the
// picture's bitmap (an empty picture becomes a bitmap of the control's size first; drawing on
// any other graphic raises EInvalidGraphicOperation), so drawing on it changes the picture.
// UI thread only.
#pragma once
#include "platform/forms/Control.h"
#include "platform/gfx/Picture.h"

namespace forms {

class TImage : public TCustomControl {
public:
    explicit TImage(QWidget* parent = nullptr);
    ~TImage() override;

    gfx::TPicture& Picture() { return picture_; }
    gfx::TCanvas& Canvas();
    bool Stretch() const { return stretch_; }
    void SetStretch(bool on);
    bool Center() const { return center_; }
    void SetCenter(bool on);
    bool Proportional() const { return proportional_; }
    void SetProportional(bool on);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool on);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on);
    // Where the picture lands in the control.
    gfx::TRect DestRect() const;

protected:
    void Paint() override;

private:
    void pictureChanged();
    gfx::TPicture picture_;
    bool stretch_ = false;
    bool center_ = false;
    bool proportional_ = false;
    bool transparent_ = false;
    bool autoSize_ = false;
};

}  // namespace forms
