// `TTIFFGraphic` reads the first image of a Tagged Image File Format file into its bitmap:
// "II" and "MM" byte orders, strips or tiles, chunky or separate planes, the compressions
// the decoders serve (none, PackBits, CCITT 1-D and modified Huffman, deflate, JPEG,
// ThunderScan), the horizontal predictor and every colour scheme the colour manager converts.
// `TEPSGraphic` reads the TIFF preview of an Encapsulated PostScript file with the DOS header.
//
// Every offset, count and size the directory claims is checked against the stream and the
// bitmap's size limit before anything is sized by it, and the strips or tiles together must
// be able to fill the picture (raw data present, compressed data within its scheme's largest
// expansion). Saving writes nothing. One thread at a time.
#pragma once

#include "pictures/formats/FormatGraphic.h"

#include <cstdint>
#include <vector>

class TTIFFGraphic : public TFormatGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }

    struct TIFDEntry {
        uint16_t Tag = 0;
        uint16_t DataType = 0;
        uint32_t DataLength = 0;  // count of values
        uint32_t Offset = 0;      // the value itself when it fits in four bytes
        uint8_t Raw[4] = {};      // the value field as the file holds it
    };

    using TFormatGraphic::CanLoad;
    bool CanLoad(rtl::TStream& Stream) const override;
    bool ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(rtl::TStream& Stream) override;
    void SaveToStream(rtl::TStream& Stream) override;

    // Binary search over the sorted directory: true and the index, or false and the index a
    // new entry would take.
    bool FindTag(uint32_t Tag, size_t& Index) const;
    // The single value of a BYTE, SHORT, SSHORT, LONG or SLONG tag (the raw field when the
    // count is not 1); Default when absent or of another type. Count is 0 when absent.
    uint32_t GetValue(uint32_t Tag, uint32_t Default) const;
    uint32_t GetValue(uint32_t Tag, uint32_t& Count, uint32_t Default) const;
    // All values of a tag (empty when absent, of an unknown type or past the stream's end).
    void GetValueList(rtl::TStream& Stream, uint32_t Tag, TByteArray& Values) const;
    void GetValueList(rtl::TStream& Stream, uint32_t Tag, TCardinalArray& Values) const;
    void GetValueList(rtl::TStream& Stream, uint32_t Tag, TFloatArray& Values) const;
    // The first value of a RATIONAL (or other numeric) tag as a float.
    float GetValue(rtl::TStream& Stream, uint32_t Tag, float Default) const;

    const std::vector<TIFDEntry>& Directory() const { return IFD; }

protected:
    std::vector<TIFDEntry> IFD;
    uint16_t PaletteBuffer[768] = {};
    uint32_t YCbCrPositioning = 0;
    TFloatArray YCbCrCoefficients;

private:
    // The raw bytes of a tag's values, in file order; false when they do not lie in the stream.
    bool rawValues(rtl::TStream& Stream, const TIFDEntry& Entry, std::vector<uint8_t>& Bytes) const;
    uint32_t bitsPerSample_ = 0;    // as the file says, before it is checked
    uint32_t samplesPerPixel_ = 0;  // likewise
    uint32_t photometric_ = 0;
    uint32_t compressionTag_ = 1;
};

class TEPSGraphic : public TTIFFGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }

    using TFormatGraphic::CanLoad;
    bool CanLoad(rtl::TStream& Stream) const override;
    void LoadFromStream(rtl::TStream& Stream) override;
};
