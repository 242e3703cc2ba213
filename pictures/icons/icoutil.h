// Arithmetic and bitmap helpers of the icon readers: row sizes, colour-table sizes, the
// plain (nearest pixel) stretch that makes an icon image the size its directory entry names,
// the names of resource types, and the out-of-resources failure. Any thread, one bitmap at a
// time.
#pragma once

#include "platform/gfx/Bitmap.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

// A bitmap could not be made.
class EOutOfResources : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The resource type of icon groups in an executable.
constexpr uint32_t RT_GROUP_ICON = 14;

// Bytes of one stored row: Pixels x BitsPerPixel rounded up to a multiple of Alignment bits
// (32 for device-independent bitmaps), in bytes; 0 for a non-positive count or alignment.
int64_t BytesPerScanline(int64_t Pixels, int64_t BitsPerPixel, int64_t Alignment);

// Entries of the colour table of a bitmap of BitCount bits: 2, 16 or 256 for 1, 4 or 8; else 0.
int GetDInColors(int BitCount);

// A new bitmap of Width x Height holding Source stretched over it pixel by pixel: 1 bit
// (black and white) when Monochrome, else 24 bits. An empty source or size gives an empty
// bitmap of that size.
std::unique_ptr<gfx::TBitmap> StretchBitmap(const gfx::TBitmap& Source, int32_t Width, int32_t Height,
                                            bool Monochrome);

// "GroupIcon" for the group-icon type, else "#" and the number.
std::string ResourceTypeName(uint32_t Type);

// Raises EOutOfResources with the system's text for ErrorCode (an errno value) when it is
// not 0, else "Out of system resources".
[[noreturn]] void OutOfResources(int ErrorCode);
