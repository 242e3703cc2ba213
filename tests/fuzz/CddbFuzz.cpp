// Feeds arbitrary bytes to the CDDB answer handling as a look-up does: the body decoded at the
// boundary, mapped to its code, each kept line read as a match line, and the whole read as an
// xmcd entry.
#include "cd/CddbText.h"
#include "util/Cp932.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body = cp932::fromUtf8OrCp932(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string kept;
    CddbMapBody(body, kept);
    std::string category, id, rest;
    for (std::size_t at = 0; at <= kept.size();) {
        const std::size_t eol = std::min(kept.find('\n', at), kept.size());
        ParseMatchLine(std::string_view(kept).substr(at, eol - at), category, id, rest);
        at = eol + 1;
    }
    std::string year, title, artist;
    std::vector<std::string> tracks;
    ParseXmcdText(kept, year, tracks, title, artist);
    ParseXmcdText(body, year, tracks, title, artist);
    if (tracks.size() > 99 || year.size() > 4)
        __builtin_trap();
    return 0;
}
