// `TPCDGraphic` reads Kodak Photo-CD image packs at the base resolution of 768 x 512: the
// stored luma rows with their half-size chroma, chroma doubled with `Upsample`, Photo-YCC
// turned into blue-green-red by the colour manager, and the pack's rotation applied
// (rotations 1 and 3 give a 512 x 768 picture). A file without the pack's signatures loads
// nothing; one shorter than the sectors it needs raises "Stream read error in PCD file.".
// One thread at a time.
#pragma once

#include "pictures/formats/FormatGraphic.h"

class TPCDGraphic : public TFormatGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }

    using TFormatGraphic::CanLoad;
    bool CanLoad(rtl::TStream& Stream) const override;
    // The properties of resolution ImageIndex (192 x 128 doubled that many times).
    bool ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(rtl::TStream& Stream) override;
};
