// `TRbPanel`: a container panel with rounded corners, an optional gradient face, a border of
// chosen width and colour, an optional anti-aliased outline (drawn three times as large and
// reduced) and a caption in one of nine places inside the panel or on its top edge like a
// group box. The face is drawn once into a bitmap whenever a property, the colour or the
// size changes; painting copies that bitmap and adds the caption. Children lie inside the
// border (and below a group-box caption): the panel's content margins say where.
// The caption starts empty, not as the component's name: controls have no names at run time
// here, and every window sets its captions itself. UI thread only.
#pragma once
#include "controls/gradient/RbDrawCore.h"

namespace controls {

class TRbPanel : public TRbCustomControl {
public:
    explicit TRbPanel(QWidget* parent = nullptr);

    TRbCaptionPos CaptionPosition() const { return captionPosition_; }
    void SetCaptionPosition(TRbCaptionPos p);
    // Not negative.
    int CornerWidth() const { return cornerWidth_; }
    void SetCornerWidth(int w);
    // Above 0.
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int w);
    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor c) { setAndRebuild(borderColor_, c); }
    TColor OuterColor() const { return outerColor_; }
    void SetOuterColor(TColor c) { setAndRebuild(outerColor_, c); }
    TColor TextShadowColor() const { return textShadowColor_; }
    void SetTextShadowColor(TColor c) { setAndRebuild(textShadowColor_, c); }
    bool Antialiased() const { return antialiased_; }
    void SetAntialiased(bool on) { setAndRebuild(antialiased_, on); }
    bool Gradient() const { return gradient_; }
    void SetGradient(bool on) { setAndRebuild(gradient_, on); }
    TColor DefaultFrom() const { return defaultFrom_; }
    void SetDefaultFrom(TColor c) { setAndRebuild(defaultFrom_, c); }
    TColor DefaultTo() const { return defaultTo_; }
    void SetDefaultTo(TColor c) { setAndRebuild(defaultTo_, c); }
    TGradientType GradientType() const { return gradientType_; }
    void SetGradientType(TGradientType t) { setAndRebuild(gradientType_, t); }

    // The area left to child controls.
    void AdjustClientRect(TRect& rect);
    const TBitmap& Face() const { return face_; }
    void UpdateGradients() override;
    void Loaded() override;

protected:
    void Paint() override;
    void Resized() override;
    void ColorChanged() override { UpdateGradients(); }
    void FontChanged() override;
    void ParentColorChanged() override;

private:
    template <class T> void setAndRebuild(T& field, T value)
    {
        if (field == value)
            return;
        field = value;
        UpdateGradients();
    }
    int captionHeight();
    void realign();
    void rebuildFace();

    TRbCaptionPos captionPosition_ = cpTopLeft;
    int cornerWidth_ = 10;
    int borderWidth_ = 2;
    TColor borderColor_ = 0x808080;
    TColor outerColor_ = gfx::clBtnFace;
    TColor textShadowColor_ = 0xFFFFFF;
    bool antialiased_ = true;
    bool gradient_ = false;
    TColor defaultFrom_ = 0xFFFFFF;
    TColor defaultTo_ = 0xE3DFDF;
    TGradientType gradientType_ = gtVertical;
    TBitmap face_;
    bool constructed_ = false;
};

}  // namespace controls
