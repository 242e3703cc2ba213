// `TAlphaLabel`: a label drawn with one constant translucency over whatever its window has
// painted beneath it; the main window shows its busy notices with it. The label paints as a
// plain label into a copy of the picture under it, and that copy is blended back over the
// picture with the source weight `Alpha` (255 opaque, 0 invisible).
//
// The blend is this unit's own row routine `BlendConstantAlpha` (each byte becomes
// (source x a + (255 - a) x destination) div 255); the platform has no blending call of its
// own to prefer. UI thread only.
#pragma once
#include <cstdint>

#include <QImage>

#include "controls/std/Label.h"

namespace controls {

// Blends `source` over `dest` (same size, 32-bit) with constant alpha `alpha`, row by row;
// the unused fourth byte of each pixel is left as the destination had it.
void BlendConstantAlpha(QImage& dest, const QImage& source, uint8_t alpha);

class TCustomAlphaLabel : public TCustomLabel {
public:
    explicit TCustomAlphaLabel(QWidget* parent = nullptr);

    uint8_t Alpha() const { return alpha_; }
    void SetAlpha(uint8_t value);

protected:
    void Paint() override;
    bool SeesThrough() const override { return true; }

private:
    uint8_t alpha_ = 255;
};

class TAlphaLabel : public TCustomAlphaLabel {
public:
    using TCustomAlphaLabel::TCustomAlphaLabel;
};

}  // namespace controls
