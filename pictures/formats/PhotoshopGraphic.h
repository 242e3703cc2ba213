// `TPSDGraphic` reads the merged picture of Photoshop files: bitmap, grey, duotone and
// indexed pictures from their first plane; RGB, RGB with alpha, CMYK and CIE L*a*b* from
// their first three or four planes, merged through the colour manager (16-bit samples to 8).
// Planes are raw or PackBits rows; only the planes converted are read and kept, and only once
// the file has shown it can hold them. One thread at a time.
#pragma once

#include "pictures/formats/FormatGraphic.h"

class TPSDGraphic : public TFormatGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }

    using TFormatGraphic::CanLoad;
    bool CanLoad(rtl::TStream& Stream) const override;
    // False for a header whose mode, depth and channel count do not describe a picture that
    // can be converted.
    bool ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(rtl::TStream& Stream) override;
};
