// `TPCXGraphic` reads ZSoft Paintbrush files (".pcx", ".pcc", and ".scr" screen captures):
// 1, 2, 4 or 8 bits in one plane, two to four planes of 1 bit (merged into 4-bit indices,
// plane k giving bit k) and three planes of 8 bits (red, green, blue). Palettes come from the
// header's 16-entry map, the 769-byte block at the end of 256-colour files, a grey ramp, or
// the default palette of the bitmap's format. A header it cannot read ends the load silently
// (the picture stays empty); sizes the file's data cannot pay for are refused before anything
// is allocated. One thread at a time.
#pragma once

#include "pictures/formats/FormatGraphic.h"

class TPCXGraphic : public TFormatGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }

    using TFormatGraphic::CanLoad;
    bool CanLoad(rtl::TStream& Stream) const override;
    bool ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(rtl::TStream& Stream) override;
};
