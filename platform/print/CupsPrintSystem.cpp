// Every description comes from the destination's IPP attributes (cupsCopyDestInfo), so a
// driverless queue and one with a PPD read the same way; only paper sources the scheduler
// gives no names for take the names of the queue's PPD, where a driver keeps them. Sizes in
// CUPS are hundredths of a millimetre.
#include "platform/print/CupsPrintSystem.h"

#include <cups/cups.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace print {

namespace {

double mm(int hundredths)
{
    return hundredths / 100.0;
}

std::string destName(const cups_dest_t& dest)
{
    std::string name = dest.name;
    if (dest.instance)
        name += std::string("/") + dest.instance;
    return name;
}

// A keyword in words: "tray-1" reads "Tray 1".
std::string readable(std::string word)
{
    std::replace(word.begin(), word.end(), '-', ' ');
    if (!word.empty() && word[0] >= 'a' && word[0] <= 'z')
        word[0] = char(word[0] - 'a' + 'A');
    return word;
}

bool isDigitOrDot(char c)
{
    return (c >= '0' && c <= '9') || c == '.';
}

// How much of a media keyword names its size; the rest is a variant of that size. A
// self-describing name ends with its dimensions ("iso_a4_210x297mm" of
// "iso_a4_210x297mm_borderless"), a PPD's name at its first dot ("A4" of "A4.Borderless").
size_t sizePartOf(std::string_view k)
{
    const size_t first = k.find('_');
    const size_t second = first == std::string_view::npos ? first : k.find('_', first + 1);
    if (second != std::string_view::npos) {
        size_t end = second + 1;
        auto digits = [&] {
            const size_t from = end;
            while (end < k.size() && isDigitOrDot(k[end]))
                ++end;
            return end > from;
        };
        if (digits() && end < k.size() && k[end] == 'x' && (++end, digits()) &&
            (k.substr(end, 2) == "mm" || k.substr(end, 2) == "in"))
            return end + 2;
    }
    const size_t dot = k.find('.');
    return dot == std::string_view::npos ? k.size() : dot;
}

std::string_view sizeKeyword(std::string_view k)
{
    return k.substr(0, sizePartOf(k));
}

// The paper as the user reads it: the scheduler's (or the PPD's) name, else the size's
// usual name ("A4", "JIS B5", "Envelope Monarch") with its variant in words
// ("A4 Borderless"), never the bare keyword.
std::string paperName(const CupsMedia& m, int code)
{
    if (!m.localized.empty() && m.localized != m.keyword)
        return m.localized;
    const std::string size(sizeKeyword(m.keyword));
    std::string name;
    const Paper standard = PaperForCode(code);
    if (code != kCustomPaperCode && !standard.name.empty())
        name = standard.name;
    else if (const pwg_media_t* pwg = pwgMediaForPWG(size.c_str()); pwg && pwg->ppd)
        name = pwg->ppd;
    else
        name = size;
    std::string_view variant = std::string_view(m.keyword).substr(size.size());
    while (!variant.empty()) {
        const size_t start = variant.find_first_not_of("_.");
        if (start == std::string_view::npos)
            break;
        variant.remove_prefix(start);
        const size_t end = std::min(variant.find('_'), variant.find('.'));
        name += " " + readable(std::string(variant.substr(0, end)));
        variant.remove_prefix(end == std::string_view::npos ? variant.size() : end);
    }
    return name;
}

MarginsMm marginsOf(const CupsMedia& m)
{
    return {mm(m.left), mm(m.top), mm(m.right), mm(m.bottom)};
}

bool sameSize(const CupsMedia& a, const CupsMedia& b)
{
    return std::abs(std::min(a.width, a.length) - std::min(b.width, b.length)) <= 50 &&
           std::abs(std::max(a.width, a.length) - std::max(b.width, b.length)) <= 50;
}

// A queue's own description; it has no resolution, papers or bins when the scheduler
// answers nothing about it.
class DestDescription {
public:
    explicit DestDescription(cups_dest_t* dest) : dest_(dest), info_(cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest)) {}
    ~DestDescription() { cupsFreeDestInfo(info_); }
    DestDescription(const DestDescription&) = delete;
    DestDescription& operator=(const DestDescription&) = delete;

    bool ok() const { return info_ != nullptr; }

    PrinterInfo describe() const
    {
        PrinterInfo p;
        p.name = destName(*dest_);
        p.dpi = resolution();
        readPapers(p);
        readBins(p);
        ipp_attribute_t* orientation = defaultOf("orientation-requested");
        p.defaultLandscape = orientation && (ippGetInteger(orientation, 0) == IPP_ORIENT_LANDSCAPE ||
                                             ippGetInteger(orientation, 0) == IPP_ORIENT_REVERSE_LANDSCAPE);
        return p;
    }

private:
    ipp_attribute_t* defaultOf(const char* option) const
    {
        return cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest_, info_, option);
    }

    int resolution() const
    {
        ipp_attribute_t* attr = defaultOf("printer-resolution");
        if (!attr || ippGetValueTag(attr) != IPP_TAG_RESOLUTION)
            return 0;
        int y = 0;
        ipp_res_t units = IPP_RES_PER_INCH;
        const int x = ippGetResolution(attr, 0, &y, &units);
        return units == IPP_RES_PER_CM ? int(x * 2.54 + 0.5) : x;
    }

    void readPapers(PrinterInfo& p) const
    {
        const unsigned flags = CUPS_MEDIA_FLAGS_DEFAULT;
        std::vector<CupsMedia> media;
        const int count = cupsGetDestMediaCount(CUPS_HTTP_DEFAULT, dest_, info_, flags);
        for (int i = 0; i < count; ++i) {
            cups_size_t size{};
            if (!cupsGetDestMediaByIndex(CUPS_HTTP_DEFAULT, dest_, info_, i, flags, &size))
                continue;
            // The name lives in a buffer the next call reuses.
            const char* localized = cupsLocalizeDestMedia(CUPS_HTTP_DEFAULT, dest_, info_, flags, &size);
            media.push_back(mediaOf(size, localized ? localized : ""));
        }
        // The printer's own default, and what the scheduler makes of it (or picks for the locale).
        cups_size_t def{};
        ipp_attribute_t* attr = defaultOf("media");
        const char* keyword = attr ? ippGetString(attr, 0, nullptr) : nullptr;
        const bool resolved =
            (keyword && cupsGetDestMediaByName(CUPS_HTTP_DEFAULT, dest_, info_, keyword, flags, &def)) ||
            cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest_, info_, flags, &def);
        const CupsMedia resolvedMedia = resolved ? mediaOf(def, "") : CupsMedia();
        DescribeCupsPapers(media, keyword ? keyword : "", resolved ? &resolvedMedia : nullptr, p);
    }

    static CupsMedia mediaOf(const cups_size_t& size, const char* localized)
    {
        return {size.media, localized, size.width, size.length, size.left, size.top, size.right, size.bottom};
    }

    void readBins(PrinterInfo& p) const
    {
        ipp_attribute_t* sources = cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest_, info_, "media-source");
        ipp_attribute_t* def = defaultOf("media-source");
        const std::string defKeyword = def && ippGetString(def, 0, nullptr) ? ippGetString(def, 0, nullptr) : "";
        for (int i = 0; sources && i < ippGetCount(sources); ++i) {
            const char* keyword = ippGetString(sources, i, nullptr);
            if (!keyword)
                continue;
            const char* name = cupsLocalizeDestValue(CUPS_HTTP_DEFAULT, dest_, info_, "media-source", keyword);
            if (keyword == defKeyword)
                p.defaultBin = int(p.bins.size());
            p.bins.push_back({keyword, name && std::string_view(name) != keyword ? name : ""});
        }
        // A queue set up with a PPD names its sources there, in the driver's words.
        if (std::any_of(p.bins.begin(), p.bins.end(), [](const Bin& b) { return b.name.empty(); })) {
            if (const std::string ppd = QueuePpd(dest_->name); !ppd.empty()) {
                NameBinsFromPpd(ppd, p.bins);
                std::remove(ppd.c_str());
            }
        }
        for (Bin& b : p.bins)
            if (b.name.empty())
                b.name = readable(b.keyword);
        // A driver that names no default feeds from its first source, as Windows drivers did.
        if (p.defaultBin < 0 && !p.bins.empty())
            p.defaultBin = 0;
    }

    cups_dest_t* dest_;
    cups_dinfo_t* info_;
};

class Dests {
public:
    Dests() : count_(cupsGetDests2(CUPS_HTTP_DEFAULT, &dests_)) {}
    ~Dests() { cupsFreeDests(count_, dests_); }
    Dests(const Dests&) = delete;
    Dests& operator=(const Dests&) = delete;
    cups_dest_t* begin() const { return dests_; }
    cups_dest_t* end() const { return dests_ + count_; }

private:
    cups_dest_t* dests_ = nullptr;
    int count_;
};

// The paper as the queue listed it, its margins included: the size's name alone prints a
// borderless paper with the plain paper's margins. The tray goes in with it, the one place a
// queue with a driver takes it from. A paper known by its size alone, with no tray, goes by
// the size's name.
int addMedia(const Paper& paper, const std::string& bin, int n, cups_option_t** options)
{
    const bool source = !bin.empty() && std::all_of(bin.begin(), bin.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
    });
    if (!paper.margins && !source) {
        const pwg_media_t* media = pwgMediaForSize(int(paper.widthMm * 100 + 0.5), int(paper.lengthMm * 100 + 0.5));
        return media ? cupsAddOption("media", media->pwg, n, options) : n;
    }
    auto hundredths = [](double mm) { return std::to_string(std::lround(mm * 100)); };
    std::string col = "{media-size={x-dimension=" + hundredths(paper.widthMm) + " y-dimension=" +
                      hundredths(paper.lengthMm) + "}";
    if (const auto& m = paper.margins)
        col += " media-bottom-margin=" + hundredths(m->bottom) + " media-left-margin=" + hundredths(m->left) +
               " media-right-margin=" + hundredths(m->right) + " media-top-margin=" + hundredths(m->top);
    if (source)
        col += " media-source=" + bin;
    col += "}";
    // The job's paper replaces an instance's saved one, whichever way that was given.
    n = cupsRemoveOption("media", n, options);
    return cupsAddOption("media-col", col.c_str(), n, options);
}

bool sendDocument(const std::string& queue, int job, const std::string& pdfPath)
{
    std::ifstream in(pdfPath, std::ios::binary);
    if (!in || cupsStartDocument(CUPS_HTTP_DEFAULT, queue.c_str(), job, "page.pdf", CUPS_FORMAT_PDF, 1) !=
                   HTTP_STATUS_CONTINUE)
        return false;
    std::vector<char> chunk(64 * 1024);
    bool sent = true;
    while (sent && in) {
        in.read(chunk.data(), std::streamsize(chunk.size()));
        const size_t got = size_t(in.gcount());
        sent = got == 0 || cupsWriteRequestData(CUPS_HTTP_DEFAULT, chunk.data(), got) == HTTP_STATUS_CONTINUE;
    }
    const bool finished = cupsFinishDocument(CUPS_HTTP_DEFAULT, queue.c_str()) == IPP_STATUS_OK;
    return sent && !in.bad() && finished;
}

// What the queue's administrator gave as the reason it stopped taking jobs
// (cupsreject -r); "" when none.
std::string stateMessage(const std::string& queue)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     queue.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-state-message");
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    ipp_attribute_t* attr = response ? ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT) : nullptr;
    const char* text = attr ? ippGetString(attr, 0, nullptr) : nullptr;
    std::string message = text ? text : "";
    ippDelete(response);
    return message;
}

// The scheduler's last refusal.
std::string refusal(const std::string& printer, const std::string& queue)
{
    const ipp_status_t status = cupsLastError();
    const std::string text = cupsLastErrorString() ? cupsLastErrorString() : "";
    return CupsRefusal(printer, status, text,
                       status == IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS ? stateMessage(queue) : std::string());
}

class CupsPrintSystem : public PrintSystem {
public:
    PrinterList Printers() override
    {
        PrinterList list;
        for (cups_dest_t& dest : Dests()) {
            const DestDescription d(&dest);
            if (dest.is_default)
                list.defaultIndex = int(list.printers.size());
            if (d.ok()) {
                list.printers.push_back(d.describe());
            } else {
                PrinterInfo bare;
                bare.name = destName(dest);
                list.printers.push_back(bare);
            }
        }
        if (list.defaultIndex < 0 && !list.printers.empty())
            list.defaultIndex = 0;
        return list;
    }

    PrinterLookup Find(const std::string& name) override
    {
        PrinterLookup found;
        for (cups_dest_t& dest : Dests())
            if (destName(dest) == name) {
                const DestDescription d(&dest);
                found.status = d.ok() ? PrinterLookup::Found : PrinterLookup::Unreadable;
                if (d.ok())
                    found.info = d.describe();
                break;
            }
        return found;
    }

    bool Submit(const std::string& pdfPath, const PrintJob& job, std::string& error) override
    {
        const size_t slash = job.printer.find('/');
        const std::string queue = job.printer.substr(0, slash);
        const std::string instance = slash == std::string::npos ? "" : job.printer.substr(slash + 1);
        cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(),
                                             instance.empty() ? nullptr : instance.c_str());
        if (!dest) {
            error = RefusedJobMessage(job.printer, cupsLastErrorString(), false);
            return false;
        }
        // An instance's saved options first; the job's own choices override them.
        cups_option_t* options = nullptr;
        int n = 0;
        for (int i = 0; i < dest->num_options; ++i)
            n = cupsAddOption(dest->options[i].name, dest->options[i].value, n, &options);
        n = addMedia(job.paper, job.bin, n, &options);
        cupsFreeDests(1, dest);
        if (!job.bin.empty())
            n = cupsAddOption("media-source", job.bin.c_str(), n, &options);
        n = cupsAddIntegerOption("copies", std::max(1, job.copies), n, &options);
        const int id = cupsCreateJob(CUPS_HTTP_DEFAULT, queue.c_str(), job.title.c_str(), n, options);
        cupsFreeOptions(n, options);
        if (id == 0) {
            error = refusal(job.printer, queue);
            return false;
        }
        if (!sendDocument(queue, id, pdfPath)) {
            // A job the scheduler would not take is not left waiting in its queue.
            error = refusal(job.printer, queue);
            cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.c_str(), id, 0);
            return false;
        }
        return true;
    }
};

}  // namespace

std::string CupsRefusal(const std::string& printer, int status, const std::string& schedulerText,
                        const std::string& stateMessage)
{
    const bool notAccepting = status == IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS;
    return RefusedJobMessage(printer, notAccepting && !stateMessage.empty() ? stateMessage : schedulerText,
                             notAccepting);
}

void DescribeCupsPapers(const std::vector<CupsMedia>& media, const std::string& defaultKeyword,
                        const CupsMedia* resolved, PrinterInfo& p)
{
    p.papers.clear();
    p.defaultPaper = -1;
    std::vector<const CupsMedia*> kept;
    for (const CupsMedia& m : media) {
        // The same paper listed twice is offered once; its variants each on their own.
        if (std::any_of(kept.begin(), kept.end(), [&](const CupsMedia* k) {
                return k->keyword == m.keyword && k->left == m.left && k->top == m.top && k->right == m.right &&
                       k->bottom == m.bottom;
            }))
            continue;
        kept.push_back(&m);
        Paper paper;
        paper.widthMm = mm(std::min(m.width, m.length));
        paper.lengthMm = mm(std::max(m.width, m.length));
        paper.code = PaperCodeForSize(paper.widthMm, paper.lengthMm);
        paper.name = paperName(m, paper.code);
        paper.margins = marginsOf(m);
        p.papers.push_back(paper);
    }
    auto find = [&](auto match) {
        for (size_t i = 0; i < kept.size(); ++i)
            if (match(*kept[i]))
                return int(i);
        return -1;
    };
    int chosen = -1;
    for (const std::string* k : {&defaultKeyword, resolved ? &resolved->keyword : nullptr})
        if (chosen < 0 && k && !k->empty())
            chosen = find([&](const CupsMedia& m) { return m.keyword == *k; });
    // A queue whose papers are all borderless names its default without the variant.
    if (chosen < 0 && !defaultKeyword.empty())
        chosen = find([&](const CupsMedia& m) {
            return sizeKeyword(m.keyword) == sizeKeyword(defaultKeyword) &&
                   (!resolved || resolved->width <= 0 || sameSize(m, *resolved));
        });
    auto a4 = [&](bool plain) {
        return find([&, plain](const CupsMedia& m) {
            return PaperCodeForSize(mm(m.width), mm(m.length)) == 9 &&
                   (!plain || sizePartOf(m.keyword) == m.keyword.size());
        });
    };
    if (chosen < 0)
        chosen = a4(true);
    if (chosen < 0)
        chosen = a4(false);
    p.defaultPaper = chosen;
    if (chosen >= 0)
        p.margins = marginsOf(*kept[size_t(chosen)]);
    else if (resolved)
        p.margins = marginsOf(*resolved);
}

std::unique_ptr<PrintSystem> MakeCupsPrintSystem()
{
    return std::make_unique<CupsPrintSystem>();
}

}  // namespace print
