// `TCUTGraphic` reads Dr. Halo ".cut" files together with the ".pal" palette beside them
// (looked up first in lower case, then under any case of the same name); without one the
// picture is grey. The format has no signature, so CanLoad always answers false. A header it
// cannot read ends the load silently (the picture stays empty); sizes the file's data cannot
// pay for are refused before anything is allocated. One thread at a time.
#pragma once

#include "pictures/formats/FormatGraphic.h"

#include <string>

class TCUTGraphic : public TFormatGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }

    // The palette file of the current load; empty for a stream load without a file.
    std::string PaletteFile;

    using TFormatGraphic::CanLoad;
    bool CanLoad(rtl::TStream& Stream) const override;
    bool ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromFile(const std::string& FileName) override;
    void LoadFromStream(rtl::TStream& Stream) override;

    // The palette file beside a ".cut" file: "X.pal" when it exists, else a file in the same
    // folder whose name differs from it only in case, else "X.pal" (which does not exist).
    static std::string PaletteFileFor(const std::string& FileName);
};
