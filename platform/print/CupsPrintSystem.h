// The print system of the CUPS scheduler, through libcups: its queues (and their instances)
// as printers, their media, media sources, margins and default resolution from the
// destination's IPP attributes, and jobs sent as PDF files that CUPS rasterises for the
// printer. Without a scheduler the printer list is empty at once. UI thread only.
#pragma once

#include "platform/print/PrintSystem.h"

#include <memory>
#include <string>
#include <vector>

namespace print {

std::unique_ptr<PrintSystem> MakeCupsPrintSystem();

// One paper a queue offers, as the scheduler describes it; lengths in hundredths of a
// millimetre. A size comes once for each of its variants: "iso_a4_210x297mm",
// "iso_a4_210x297mm_borderless", "na_letter_8.5x11in_tray-1_photographic"...
struct CupsMedia {
    std::string keyword;
    std::string localized;  // the scheduler's name for it; the keyword itself when it has none
    int width = 0, length = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Fills the printer's papers from the queue's media, in the queue's order and named for the
// user, with the default paper and the margins. The queue's default (`defaultKeyword`, and
// `resolved`, what the scheduler made of it, when it could) is found by its keyword, else by
// its size among the variants of that keyword; failing that A4 is the default, never merely
// the first paper listed.
void DescribeCupsPapers(const std::vector<CupsMedia>& media, const std::string& defaultKeyword,
                        const CupsMedia* resolved, PrinterInfo& printer);

// The report of a job the scheduler refused with IPP status `status` and its text
// `schedulerText`: a queue stopped from taking jobs gives its administrator's reason
// (`stateMessage`, "" when none was given) rather than the scheduler's English sentence.
std::string CupsRefusal(const std::string& printer, int status, const std::string& schedulerText,
                        const std::string& stateMessage);

// Names the bins still without a name (an empty `name`) as the PPD file at `ppdPath` names its
// input slots, in the user's language where it has translations; a file that cannot be read,
// or a slot it does not list, leaves the name empty.
void NameBinsFromPpd(const std::string& ppdPath, std::vector<Bin>& bins);
// A copy of the queue's PPD file in a temporary file the caller removes; "" when the queue
// has none (a driverless queue) or the scheduler does not answer.
std::string QueuePpd(const std::string& queue);

}  // namespace print
