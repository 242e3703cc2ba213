// `TPSPGraphic` reads the first raster layer of Paint Shop Pro files (major versions 3 and
// up; from 4 on, block and chunk bodies carry their sizes): 1-, 4- and 8-bit indexed or grey
// pictures from their index channel, 24-bit pictures from their red, green and blue channels
// (and the layer's mask channel as alpha when there is one). Channels are stored raw,
// run-length or deflate coded. Every block, chunk and channel length is checked against the
// file and against the rows it must fill before anything is allocated. One thread at a time.
#pragma once

#include "pictures/formats/FormatGraphic.h"

class TPSPGraphic : public TFormatGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }

    using TFormatGraphic::CanLoad;
    bool CanLoad(rtl::TStream& Stream) const override;
    bool ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(rtl::TStream& Stream) override;
};
