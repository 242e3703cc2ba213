// `TSGIGraphic` reads SGI images (".sgi", ".rgb", ".rgba", ".bw"): 1 or 2 bytes a sample,
// verbatim or run-length with their start and length tables, 1 to 4 channels (grey, grey with
// alpha shown as grey, RGB, RGBA), the bottom row first. Every offset, length and table is
// checked against the file before it is used, and a picture is allocated only when the file's
// data can pay for it; a foreign header raises the format's message. One thread at a time.
#pragma once

#include "pictures/formats/FormatGraphic.h"

class TSGIGraphic : public TFormatGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }

    using TFormatGraphic::CanLoad;
    bool CanLoad(rtl::TStream& Stream) const override;
    bool ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(rtl::TStream& Stream) override;
};
