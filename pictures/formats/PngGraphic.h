// `TPNGGraphic`: the format family's own PNG reader, for callers that create it (picture
// loads of ".png" go through the PNG object). It inflates the image data chunk by chunk,
// undoes the row filters itself and converts rows through the colour manager: grey and
// palette pictures at 1, 4 or 8 bits (2-bit ones at 4), colour at 24 bits, colour with alpha
// at 32, 16-bit samples to 8. Interlaced pictures are filled pass by pass, each pass starting
// from a zero previous row. Every chunk's CRC is checked, every length against the file, and
// the picture is made only when the image data can hold it; data that ends before the last
// row is a compression error. One thread at a time.
#pragma once

#include "pictures/formats/FormatGraphic.h"

#include <array>
#include <memory>

namespace decoders {
class TLZ77Decoder;
}

class TPNGGraphic : public TFormatGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }

    TPNGGraphic();
    ~TPNGGraphic() override;

    using TFormatGraphic::CanLoad;
    bool CanLoad(rtl::TStream& Stream) const override;
    // The header (its CRC checked) and the gamma of a gAMA chunk before the image's end.
    bool ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(rtl::TStream& Stream) override;

    // The closest of left, above and upper left to Left + Above - UpperLeft (ties in that order).
    static uint8_t PaethPredictor(uint8_t Left, uint8_t Above, uint8_t UpperLeft);
    // Undoes filter 0-4 on a row (without its filter byte) with the previous one, both of the
    // same length; BPP bytes a complete pixel. False for an unknown filter.
    static bool ApplyFilter(uint8_t Filter, std::span<uint8_t> Row, std::span<const uint8_t> Previous, size_t BPP);
    // Chunk types compared without the case bit of their letters.
    static bool IsChunk(const char* Type, const char* Name);

    // The last load's palette transparency (255 where the file gives none) and background.
    const std::array<uint8_t, 256>& Transparency() const { return transparency_; }
    gfx::TColor Background() const { return background_; }
    // The transparent sample value of a grey (first entry) or colour picture; -1 for none.
    const std::array<int32_t, 3>& TransparentSample() const { return transparentSample_; }

private:
    struct TChunk {
        uint32_t Length = 0;
        char Type[5] = {};
        std::vector<uint8_t> Data;
    };
    bool ReadChunkHeader(rtl::TStream& Stream);
    // Reads the chunk's data and CRC: "Cannot load image. CRC error found in PNG file." on a
    // mismatch.
    void ReadDataAndCheckCRC(rtl::TStream& Stream);
    size_t setupColors(uint8_t ColorType, uint8_t Depth);
    void readImageData(rtl::TStream& Stream, size_t BPP);
    void fillRow(rtl::TStream& Stream, std::span<uint8_t> Row);

    TChunk chunk_;
    std::unique_ptr<decoders::TLZ77Decoder> decoder_;
    std::span<const uint8_t> input_;
    std::array<uint8_t, 256> transparency_{};
    gfx::TColor background_ = 0;
    std::array<int32_t, 3> transparentSample_{-1, -1, -1};
    uint8_t colorType_ = 0;
};
