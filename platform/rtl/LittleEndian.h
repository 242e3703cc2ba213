// Little-endian integers as the file formats store them (BMP, TGA, RIFF, metafiles, icons), read
// from or written to bytes the caller has already checked are there.
#pragma once

#include <cstdint>
#include <vector>

namespace rtl {

inline std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

inline std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

inline void put_le16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

inline void put_le32(std::uint8_t* p, std::uint32_t v)
{
    put_le16(p, v & 0xFFFF);
    put_le16(p + 2, v >> 16);
}

// The same, appended to bytes being written out.
inline void append_le16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.resize(out.size() + 2);
    put_le16(out.data() + out.size() - 2, v);
}

inline void append_le32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.resize(out.size() + 4);
    put_le32(out.data() + out.size() - 4, v);
}

}  // namespace rtl
