#include "app/libMusic.h"

#include "app/Globals.h"
#include "pictures/libImg.h"
#include "platform/rtl/FileNames.h"
#include "util/libIni.h"
#include "util/xMessageBox.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <vector>

bool HasMusicExtension(std::string_view Name)
{
    // Compared in place, against the list taken apart once: a folder listing asks this of
    // every name it meets.
    static const std::vector<std::string_view> extensions = [] {
        std::vector<std::string_view> all;
        for (std::string_view list = MusicFileExtensions; !list.empty();) {
            const std::size_t semi = list.find(';');
            all.push_back(list.substr(0, semi));
            list.remove_prefix(semi == std::string_view::npos ? list.size() : semi + 1);
        }
        return all;
    }();
    const std::string_view ext = Name.substr(rtl::ExtensionPos(Name));
    return std::any_of(extensions.begin(), extensions.end(),
                       [ext](std::string_view e) { return rtl::SameAsciiText(ext, e); });
}

bool IsMusicFile(const std::string& Name)
{
    std::error_code ec;
    return HasMusicExtension(Name) && !std::filesystem::is_directory(Name, ec);
}

