// The print layer: the installed printers as the spooler describes them, and the one way a
// page reaches paper. A printer has a resolution, its papers (each with the platform's paper
// code, a name and a size), its paper bins (a keyword and a name), the minimum margins it
// cannot print in, and its defaults; a finished document is a PDF file handed over with the
// job's options (paper, bin, copies).
//
// Backends: CupsPrintSystem (the scheduler's queues through libcups; with no scheduler the
// list is empty at once) and MemoryPrintSystem (printers that a test declares; each job kept
// as a PDF file with its options). The program uses one system at a time (`CurrentPrintSystem`);
// tests swap in a memory one with `UsePrintSystem`.
//
// A NOTE ON THREADS: a print system belongs to the UI thread; the CUPS backend's calls block
// on the scheduler (a local socket, normally answered at once).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace print {

// Paper code of a size the platform has no code for.
constexpr int kCustomPaperCode = 256;

struct MarginsMm {
    double left = 0, top = 0, right = 0, bottom = 0;
};

struct Paper {
    int code = kCustomPaperCode;  // the platform's paper code (9 = A4, 13 = B5, ...)
    std::string name;             // as the printer names it
    double widthMm = 0, lengthMm = 0;  // portrait: width <= length
    // The margins the printer leaves on this paper (portrait), where the queue lists it: a size
    // can be listed twice, plain and borderless, and only these tell the two apart. None for a
    // paper known by its size alone, which takes the printer's.
    std::optional<MarginsMm> margins;
};

struct Bin {
    std::string keyword;  // the spooler's media-source keyword ("tray-1", "disc", ...)
    std::string name;     // as the user reads it
};

struct PrinterInfo {
    std::string name;
    int dpi = 0;  // as the printer reports it, one value for both axes; 0: not reported
    std::vector<Paper> papers;
    std::vector<Bin> bins;
    MarginsMm margins;  // portrait, on the default paper
    int defaultPaper = -1;  // index into papers, -1 when there is none
    int defaultBin = -1;    // index into bins
    bool defaultLandscape = false;
};

struct PrinterList {
    std::vector<PrinterInfo> printers;
    int defaultIndex = -1;
};

// What the spooler needs besides the document.
struct PrintJob {
    std::string printer;
    std::string title;
    int copies = 1;
    Paper paper;
    std::string bin;  // keyword; empty: the printer's own choice
    bool landscape = false;
};

// The result of asking for one printer by name.
struct PrinterLookup {
    enum Status { Found, Missing, Unreadable } status = Missing;
    PrinterInfo info;
};

class PrintSystem {
public:
    virtual ~PrintSystem() = default;
    // The installed printers, read afresh.
    virtual PrinterList Printers() = 0;
    // One printer by name: Missing when it has gone, Unreadable when it is listed but its
    // description cannot be had.
    virtual PrinterLookup Find(const std::string& name);
    // Hands the PDF file (one or more pages, already laid out on the job's paper) to the
    // printer. False, with `error` set, when the printer refused it.
    [[nodiscard]] virtual bool Submit(const std::string& pdfPath, const PrintJob& job,
                                      std::string& error) = 0;
};

// The paper code of a size in millimetres (within a millimetre, either orientation), or
// kCustomPaperCode.
int PaperCodeForSize(double widthMm, double lengthMm);
// A paper of the given code with its standard size and name; a code the platform does not
// know gives a paper of size 0.
Paper PaperForCode(int code);

// The resolution pages are laid out at for a printer that reports `reportedDpi` (0: none):
// at most 1200, else 600. More only makes the spooler's PDF larger, and a disc label drawn
// as one bitmap at 2400 dpi (11339 pixels a side) would pass the bitmap size limit.
int PageResolution(int reportedDpi);

// How a job the printer would not take is reported, in the user's words: the printer, and the
// print system's reason when it gave one. `notAccepting`: the queue refuses every job (it was
// stopped from taking jobs), rather than this one.
std::string RefusedJobMessage(const std::string& printer, const std::string& reason, bool notAccepting);

// The system in use; the CUPS one until UsePrintSystem replaces it.
PrintSystem& CurrentPrintSystem();
// Replaces the system in use (null: back to CUPS); the printer object reads the new list and
// selects its default printer. UI thread only.
void UsePrintSystem(std::unique_ptr<PrintSystem> system);

}  // namespace print
