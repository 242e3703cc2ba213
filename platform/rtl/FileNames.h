// The extension of a file name as the program reads it everywhere (music kinds, picture
// formats, tag kinds): from the last dot of the last path component on; a dot in a folder
// name does not count. Pure functions, any thread.
#pragma once

#include "platform/rtl/AsciiCase.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace rtl {

// Position of the dot that starts the extension, or the path's length when it has none.
inline std::size_t ExtensionPos(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return path.size();
    return dot;
}

// The extension with its dot, lower-cased ("" when there is none).
inline std::string LowerExtension(std::string_view path)
{
    return LowerAscii(std::string(path.substr(ExtensionPos(path))));
}

// The extension equals `ext` (with its dot) ignoring ASCII case: ".mp3" never matches ".mp"
// or ".mp3x".
inline bool HasExtension(std::string_view path, std::string_view ext)
{
    return SameAsciiText(path.substr(ExtensionPos(path)), ext);
}

// The path with its extension replaced by `ext` (given with its dot, or without one to join
// it straight to the name), or added when it has none.
inline std::string ChangeFileExt(std::string_view path, std::string_view ext)
{
    return std::string(path.substr(0, ExtensionPos(path))) + std::string(ext);
}

}  // namespace rtl
