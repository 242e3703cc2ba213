// The byte-level steps the GIF block reader and writer share: exact reads that end with
// "Premature end of data", a byte that may be missing at the end of the stream, little-endian
// words, and the colour triple of a map entry. Internal to the GIF unit.
#pragma once

#include "pictures/gif/GIFImage.h"

#include <cstdint>
#include <optional>

namespace gifblocks {

inline void readExact(rtl::TStream& Stream, void* Buffer, int64_t Count)
{
    if (Stream.Read(Buffer, Count) != Count)
        throw GIFException("Premature end of data");
}

inline uint8_t readByte(rtl::TStream& Stream)
{
    uint8_t b = 0;
    readExact(Stream, &b, 1);
    return b;
}

// A byte, or none at the end of the stream.
inline std::optional<uint8_t> tryByte(rtl::TStream& Stream)
{
    uint8_t b = 0;
    if (Stream.Read(&b, 1) != 1)
        return std::nullopt;
    return b;
}

inline void writeByte(rtl::TStream& Stream, uint8_t Value) { Stream.WriteBuffer(&Value, 1); }
inline void writeWord(rtl::TStream& Stream, uint16_t Value)
{
    const uint8_t b[2] = {uint8_t(Value), uint8_t(Value >> 8)};
    Stream.WriteBuffer(b, 2);
}

inline gfx::TColor colorOf(const TGIFColor& c) { return gfx::RGB(c.Red, c.Green, c.Blue); }
inline TGIFColor gifColor(gfx::TColor c)
{
    return {uint8_t(gfx::GetRValue(c)), uint8_t(gfx::GetGValue(c)), uint8_t(gfx::GetBValue(c))};
}

}  // namespace gifblocks
