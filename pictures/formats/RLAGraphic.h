// `TRLAGraphic` reads Wavefront RLA files (".rla", ".rpf") in "rgb" space: run-length channels
// per scan line found through an offset table, an optional matte channel as alpha, and the
// file's gamma applied. Every offset and count is checked against the file, and a picture is
// allocated only when the file's data can pay for it; a header it cannot read loads nothing.
// One thread at a time.
#pragma once

#include "pictures/formats/FormatGraphic.h"

class TRLAGraphic : public TFormatGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }

    using TFormatGraphic::CanLoad;
    bool CanLoad(rtl::TStream& Stream) const override;
    bool ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(rtl::TStream& Stream) override;
};
