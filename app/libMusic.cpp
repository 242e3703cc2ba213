#include "app/libMusic.h"

#include "app/Globals.h"
#include "pictures/libImg.h"
#include "platform/rtl/FileNames.h"
#include "util/libIni.h"
#include "util/xMessageBox.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace {

// An extension of at most 8 bytes in lower case as a number, byte after byte: every
// extension starts with its dot, so extensions of different lengths never meet.
constexpr std::uint64_t packedExtension(std::string_view ext)
{
    std::uint64_t packed = 0;
    for (const char c : ext)
        packed = packed << 8 | std::uint8_t(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return packed;
}

constexpr std::size_t longestExtension(std::string_view list)
{
    std::size_t longest = 0;
    while (!list.empty()) {
        const std::size_t semi = std::min(list.find(';'), list.size());
        longest = std::max(longest, semi);
        list.remove_prefix(std::min(semi + 1, list.size()));
    }
    return longest;
}
static_assert(longestExtension(MusicFileExtensions) <= 8, "the extensions are compared as 8-byte numbers");

}  // namespace

bool HasMusicExtension(std::string_view Name)
{
    // Compared as numbers, against the list taken apart once: a folder listing asks this of
    // every name it meets.
    static const std::vector<std::uint64_t> extensions = [] {
        std::vector<std::uint64_t> all;
        for (std::string_view list = MusicFileExtensions; !list.empty();) {
            const std::size_t semi = list.find(';');
            all.push_back(packedExtension(list.substr(0, semi)));
            list.remove_prefix(semi == std::string_view::npos ? list.size() : semi + 1);
        }
        return all;
    }();
    const std::string_view ext = Name.substr(rtl::ExtensionPos(Name));
    if (ext.empty() || ext.size() > 8)
        return false;
    return std::find(extensions.begin(), extensions.end(), packedExtension(ext)) != extensions.end();
}

bool IsMusicFile(const std::string& Name)
{
    std::error_code ec;
    return HasMusicExtension(Name) && !std::filesystem::is_directory(Name, ec);
}

