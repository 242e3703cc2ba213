// Every description comes from the destination's IPP attributes (cupsCopyDestInfo), so a
// driverless queue and one with a PPD read the same way. Sizes in CUPS are hundredths of a
// millimetre.
#include "platform/print/CupsPrintSystem.h"

#include <cups/cups.h>

#include <algorithm>
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

// A queue without translations of its own "localizes" to the keyword itself; then standard
// papers take their usual names ("A4", "JIS B5") and sources read as words ("tray-1":
// "Tray 1").
std::string mediaName(const char* localized, const char* keyword, int code)
{
    if (localized && std::string_view(localized) != keyword)
        return localized;
    const Paper standard = PaperForCode(code);
    return code != kCustomPaperCode && !standard.name.empty() ? standard.name : keyword;
}

std::string sourceName(const char* localized, const char* keyword)
{
    if (localized && std::string_view(localized) != keyword)
        return localized;
    std::string name = keyword;
    std::replace(name.begin(), name.end(), '-', ' ');
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
        name[0] = char(name[0] - 'a' + 'A');
    return name;
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
        std::vector<std::string> keywords;  // the borderless variants repeat a size's keyword
        const int count = cupsGetDestMediaCount(CUPS_HTTP_DEFAULT, dest_, info_, flags);
        for (int i = 0; i < count; ++i) {
            cups_size_t size{};
            if (!cupsGetDestMediaByIndex(CUPS_HTTP_DEFAULT, dest_, info_, i, flags, &size) ||
                std::find(keywords.begin(), keywords.end(), size.media) != keywords.end())
                continue;
            keywords.push_back(size.media);
            Paper paper;
            paper.widthMm = mm(std::min(size.width, size.length));
            paper.lengthMm = mm(std::max(size.width, size.length));
            paper.code = PaperCodeForSize(paper.widthMm, paper.lengthMm);
            paper.name = mediaName(cupsLocalizeDestMedia(CUPS_HTTP_DEFAULT, dest_, info_, flags, &size),
                                   size.media, paper.code);
            p.papers.push_back(paper);
        }
        // The printer's own default, else what CUPS picks for the locale.
        cups_size_t def{};
        ipp_attribute_t* media = defaultOf("media");
        const char* keyword = media ? ippGetString(media, 0, nullptr) : nullptr;
        if ((keyword && cupsGetDestMediaByName(CUPS_HTTP_DEFAULT, dest_, info_, keyword, flags, &def)) ||
            cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest_, info_, flags, &def)) {
            p.margins = {mm(def.left), mm(def.top), mm(def.right), mm(def.bottom)};
            const auto it = std::find(keywords.begin(), keywords.end(), keyword ? keyword : def.media);
            if (it != keywords.end())
                p.defaultPaper = int(it - keywords.begin());
        }
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
            p.bins.push_back({keyword, sourceName(name, keyword)});
        }
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
            error = "The printer " + job.printer + " is not available";
            return false;
        }
        // An instance's saved options first; the job's own choices override them.
        cups_option_t* options = nullptr;
        int n = 0;
        for (int i = 0; i < dest->num_options; ++i)
            n = cupsAddOption(dest->options[i].name, dest->options[i].value, n, &options);
        cupsFreeDests(1, dest);
        const pwg_media_t* media = pwgMediaForSize(int(job.paper.widthMm * 100 + 0.5),
                                                   int(job.paper.lengthMm * 100 + 0.5));
        if (media)
            n = cupsAddOption("media", media->pwg, n, &options);
        if (!job.bin.empty())
            n = cupsAddOption("media-source", job.bin.c_str(), n, &options);
        n = cupsAddIntegerOption("copies", std::max(1, job.copies), n, &options);
        const int id = cupsCreateJob(CUPS_HTTP_DEFAULT, queue.c_str(), job.title.c_str(), n, options);
        cupsFreeOptions(n, options);
        if (id == 0) {
            error = cupsLastErrorString();
            return false;
        }
        if (!sendDocument(queue, id, pdfPath)) {
            // A job the scheduler would not take is not left waiting in its queue.
            error = cupsLastErrorString();
            cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.c_str(), id, 0);
            return false;
        }
        return true;
    }
};

}  // namespace

std::unique_ptr<PrintSystem> MakeCupsPrintSystem()
{
    return std::make_unique<CupsPrintSystem>();
}

}  // namespace print
