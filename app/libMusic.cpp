#include "app/libMusic.h"

#include "app/Globals.h"
#include "pictures/libImg.h"
#include "util/libIni.h"
#include "util/xMessageBox.h"

#include <filesystem>
#include <string_view>

bool HasMusicExtension(const std::string& Name)
{
    // Only ASCII letters can match an entry of the list, so ASCII lower-casing is exact.
    const std::string ext = LowerFileExt(Name);
    if (ext.size() < 2)
        return false;
    std::string_view list = MusicFileExtensions;
    while (!list.empty()) {
        std::size_t semi = list.find(';');
        if (list.substr(0, semi) == ext)
            return true;
        list.remove_prefix(semi == std::string_view::npos ? list.size() : semi + 1);
    }
    return false;
}

bool IsMusicFile(const std::string& Name)
{
    std::error_code ec;
    return HasMusicExtension(Name) && !std::filesystem::is_directory(Name, ec);
}

