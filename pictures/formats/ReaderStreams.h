// Small routines that more than one format reader uses: bytes of the stream read ahead or to
// its end, and the colour manager's true-colour target of the planar readers.
#pragma once

#include "pictures/formats/FormatGraphic.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// Count bytes from the stream's position, or fewer when it ends first; the position is kept.
inline std::vector<uint8_t> PeekBytes(rtl::TStream& Stream, size_t Count)
{
    const int64_t start = Stream.Position();
    std::vector<uint8_t> bytes(Count);
    bytes.resize(size_t(std::max<int64_t>(0, Stream.Read(bytes.data(), int64_t(Count)))));
    Stream.SetPosition(start);
    return bytes;
}

// Count bytes from the stream's position (none for a negative count); a stream read error
// when fewer are left.
inline std::vector<uint8_t> ReadBytes(rtl::TStream& Stream, int64_t Count)
{
    std::vector<uint8_t> data(size_t(std::max<int64_t>(0, Count)));
    Stream.ReadBuffer(data.data(), int64_t(data.size()));
    return data;
}

// The stream from its position to the end: the readers index the file's offsets into it.
inline std::vector<uint8_t> ReadToEnd(rtl::TStream& Stream) { return ReadBytes(Stream, Stream.Remaining()); }

// Target side of merged planes: 8-bit blue-green-red, with alpha for four channels.
inline gfx::TPixelFormat SetTrueColorTarget(TColorManager& Manager, uint8_t Samples)
{
    Manager.SetTargetColorScheme(Samples == 4 ? psBGRA : psBGR);
    Manager.SetTargetBitsPerSample(8);
    Manager.SetTargetSamplesPerPixel(Samples);
    return Manager.GetPixelFormat(1);
}
