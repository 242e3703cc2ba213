#include "util/CaseFold.h"

#include "platform/rtl/AsciiCase.h"
#include "util/Cp932.h"

#include <QString>


std::string CaseFolded(std::string_view Text)
{
    std::string folded;
    AppendCaseFolded(Text, folded);
    return folded;
}

void AppendCaseFolded(std::string_view Text, std::string& Out)
{
    // Plain ASCII folds to its lower case; that is most names, and needs no conversion.
    const bool ascii = rtl::IsAscii(Text);
    // Bytes that are not UTF-8 (file names from old archives) would all read as one
    // replacement character: such a text keeps them, so that it stays apart from others.
    if (ascii || !cp932::isValidUtf8(Text)) {
        const std::size_t at = Out.size();
        Out.append(Text);
        for (std::size_t i = at; i < Out.size(); ++i)
            Out[i] = rtl::LowerAscii(Out[i]);
        return;
    }
    Out.append(QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size())).toCaseFolded().toStdString());
}
