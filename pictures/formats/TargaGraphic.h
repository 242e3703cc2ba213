// `TTargaGraphic` reads Truevision Targa files into its bitmap and writes the bitmap back as
// one. Reading goes through the platform's checked Targa parser (header, identification,
// colour map, raw or run-length rows in either order); a header that is not one of the
// image kinds and depths the format pairs ends the load silently, with an empty bitmap. The
// pixels keep the file's form: 8-bit indices or grey levels, 5-5-5 words, blue-green-red
// (and alpha). Saving writes rows top first, run-length encoded unless asked otherwise.
// One thread at a time.
#pragma once

#include "pictures/formats/FormatGraphic.h"

class TTargaGraphic : public TFormatGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }

    using TFormatGraphic::CanLoad;
    bool CanLoad(rtl::TStream& Stream) const override;
    // False for a header whose image kind, pixel size and colour map do not belong together.
    bool ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(rtl::TStream& Stream) override;
    void SaveToStream(rtl::TStream& Stream) override { SaveToStream(Stream, true); }
    void SaveToStream(rtl::TStream& Stream, bool Compressed);
};
