// `TAutodeskGraphic` reads Autodesk Animator cels and pictures (".cel", ".pic"): 8-bit indices
// under a 6-bit palette, rows from the top. A file shorter than its pixels, or a foreign
// header, raises the format's message. One thread at a time.
#pragma once

#include "pictures/formats/FormatGraphic.h"

class TAutodeskGraphic : public TFormatGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }

    using TFormatGraphic::CanLoad;
    bool CanLoad(rtl::TStream& Stream) const override;
    bool ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(rtl::TStream& Stream) override;
};
