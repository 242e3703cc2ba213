#include "pictures/icons/icoutil.h"

#include <cstring>

int64_t BytesPerScanline(int64_t Pixels, int64_t BitsPerPixel, int64_t Alignment)
{
    if (Pixels <= 0 || BitsPerPixel <= 0 || Alignment <= 0)
        return 0;
    const int64_t bits = Pixels * BitsPerPixel;
    return (bits + Alignment - 1) / Alignment * Alignment / 8;
}

int GetDInColors(int BitCount)
{
    switch (BitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

std::unique_ptr<gfx::TBitmap> StretchBitmap(const gfx::TBitmap& Source, int32_t Width, int32_t Height,
                                            bool Monochrome)
{
    auto result = std::make_unique<gfx::TBitmap>(Width, Height, gfx::pf24bit);
    if (!result->Empty() && !Source.Empty()) {
        result->Canvas().SetCopyMode(gfx::cmSrcCopy);
        result->Canvas().StretchDraw(gfx::Rect(0, 0, Width, Height), Source);
    }
    if (Monochrome)
        result->SetPixelFormat(gfx::pf1bit);
    return result;
}

std::string ResourceTypeName(uint32_t Type)
{
    return Type == RT_GROUP_ICON ? "GroupIcon" : "#" + std::to_string(Type);
}

void OutOfResources(int ErrorCode)
{
    throw EOutOfResources(ErrorCode != 0 ? std::strerror(ErrorCode) : "Out of system resources");
}
