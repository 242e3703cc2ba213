// `TPPMGraphic` reads the portable bitmap, grey map and pixel map formats (P1-P6), plain and
// raw, through a 4096-byte read buffer. Header numbers may stand anywhere after the magic,
// the first line included, with "#" comments between them. Samples are scaled by the file's
// maximum value (above 255 raw samples take two bytes, high byte first), so a maximum-15 map
// keeps its greys. Bitmaps load as 1-bit pictures, 1 black; grey maps as 8-bit grey; pixel
// maps as 24-bit. A picture is allocated only when the rest of the file can hold its pixels.
// One thread at a time.
#pragma once

#include "pictures/formats/FormatGraphic.h"

#include <array>

class TPPMGraphic : public TFormatGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }

    using TFormatGraphic::CanLoad;
    bool CanLoad(rtl::TStream& Stream) const override;
    // False for a magic other than P1-P6 and for a header whose width, height or maximum
    // cannot describe a picture (0, or a maximum above 65535).
    bool ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(rtl::TStream& Stream) override;

    // The largest sample value the header gave (1 for bitmaps).
    uint32_t MaxValue() const { return maxValue_; }

protected:
    // Next byte; "Stream read error in PPM file." at the end of the stream.
    uint8_t GetChar();
    // The next byte without taking it; 0 when none is buffered.
    uint8_t PeekChar() const;
    // Bytes up to the end of the line (CR, LF or CR LF), without the text from "#" on.
    std::string ReadLine();
    // Skips to the first digit ("#" skips its line), reads the number and takes the byte
    // after it; numbers beyond 32 bits raise the format message.
    uint32_t GetNumber();

private:
    // The next digit, after any other bytes and "#" comments.
    uint8_t firstDigit();
    void readHeader(rtl::TStream& Stream);
    void readBytes(uint8_t* Data, size_t Count);
    uint64_t bytesLeft() const;

    rtl::TStream* source_ = nullptr;
    std::array<uint8_t, 4096> buffer_{};
    size_t bufferIndex_ = 4096, bufferEnd_ = 4096;
    char kind_ = 0;
    uint32_t maxValue_ = 0;
};
