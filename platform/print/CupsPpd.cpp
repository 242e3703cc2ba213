// A queue's PPD file, read for the names its driver gives the paper sources. The scheduler
// names sources only for queues that publish translations; a queue set up with a PPD keeps
// its names ("*InputSlot Disc/CD-DVD Tray") in the file. libcups marks its PPD routines
// deprecated in favour of the IPP descriptions, which are what lack the names here.
#include "platform/print/CupsPrintSystem.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>
#include <cups/transcode.h>

#include <array>
#include <cctype>
#include <string_view>
#include <unistd.h>

namespace print {

namespace {

// Letters and digits only, lower case: "Tray1", "tray-1" and "Tray 1" read alike.
std::string folded(std::string_view k)
{
    std::string out;
    for (char c : k)
        if (std::isalnum(static_cast<unsigned char>(c)))
            out += char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The IPP keyword a PPD's slot goes by where the two differ by more than spelling.
std::string ippKeywordOf(std::string_view slot)
{
    struct Alias {
        std::string_view ppd, ipp;
    };
    static constexpr std::array<Alias, 4> aliases = {{
        {"upper", "top"}, {"lower", "bottom"}, {"cassette", "main"}, {"multipurpose", "by-pass-tray"}}};
    const std::string f = folded(slot);
    for (const Alias& a : aliases)
        if (f == a.ppd)
            return folded(a.ipp);
    return f;
}

std::string utf8Of(const char* text, const char* encoding)
{
    const std::string_view e = encoding ? encoding : "";
    cups_encoding_t from = CUPS_UTF8;
    if (e == "ISOLatin1")
        from = CUPS_ISO8859_1;
    else if (e == "WindowsANSI")
        from = CUPS_WINDOWS_1252;
    else if (e == "JIS83-RKSJ")
        from = CUPS_WINDOWS_932;
    else if (!e.empty() && e != "UTF-8" && e != "None")
        return {};
    if (from == CUPS_UTF8)
        return text;
    std::array<cups_utf8_t, 256> out{};
    if (cupsCharsetToUTF8(out.data(), text, int(out.size()), from) < 0)
        return {};
    return reinterpret_cast<const char*>(out.data());
}

}  // namespace

void NameBinsFromPpd(const std::string& ppdPath, std::vector<Bin>& bins)
{
    ppd_file_t* ppd = ppdOpenFile(ppdPath.c_str());
    if (!ppd)
        return;
    ppdLocalize(ppd);
    if (ppd_option_t* inputSlots = ppdFindOption(ppd, "InputSlot"))
        for (Bin& bin : bins) {
            if (!bin.name.empty())
                continue;
            for (int i = 0; i < inputSlots->num_choices; ++i) {
                const ppd_choice_t& c = inputSlots->choices[i];
                if (ippKeywordOf(c.choice) == folded(bin.keyword) && c.text[0]) {
                    bin.name = utf8Of(c.text, ppd->lang_encoding);
                    break;
                }
            }
        }
    ppdClose(ppd);
}

std::string QueuePpd(const std::string& queue)
{
    const char* file = cupsGetPPD2(CUPS_HTTP_DEFAULT, queue.c_str());
    return file ? file : "";
}

}  // namespace print

#pragma GCC diagnostic pop
