// Header arithmetic shared by the ID3v2 readers and writer (not part of the tags' interface).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace id3v2detail {

// The 7-bit groups of `bytes` bytes (sizes in the header and in 2.4 frame headers).
std::uint32_t syncSafe(const unsigned char* p, int bytes);
// "ID3", version bytes below 255, size bytes below 0x80.
bool validHeader(std::string_view header);
// Bytes the tag occupies from its header on: header, body and a 2.4 footer.
std::uint64_t tagRoom(std::string_view header);

constexpr std::uint64_t kId3v1Size = 128;
// The file ends with an ID3v1 tag ("TAG" 128 bytes before its end); nothing on a read error.
std::optional<bool> endsWithId3v1Tag(int fd, std::uint64_t fileSize);

}  // namespace id3v2detail
