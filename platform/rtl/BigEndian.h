// Big-endian integers as the file formats store them (PNG, Photoshop, SGI, 16-bit samples in
// network order), read from bytes the caller has already checked are there.
#pragma once

#include <cstdint>

namespace rtl {

inline std::uint16_t be16(const std::uint8_t* p) { return std::uint16_t(p[0] << 8 | p[1]); }

inline std::uint32_t be32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

}  // namespace rtl
