#include "util/CaseFold.h"

#include "platform/rtl/AsciiCase.h"

#include <QString>

#include <algorithm>

std::string CaseFolded(const std::string& Text)
{
    // Plain ASCII folds to its lower case; that is most names, and needs no conversion.
    const bool ascii = std::all_of(Text.begin(), Text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii)
        return rtl::LowerAscii(Text);
    return QString::fromStdString(Text).toCaseFolded().toStdString();
}
