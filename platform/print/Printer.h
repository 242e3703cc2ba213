// `TPrinter`, the class library's printer object: the one `Printer()` through which the
// program lists printers, selects one with its paper, bin and orientation, and prints pages
// on its `Canvas` in the printer's device units, as on a printer's device context:
//  - the resolution is the printer's (capped, see PageResolution), one value for both axes;
//  - the canvas origin is the printable corner, `PhysicalOffsetX/Y` device units from the
//    paper's corner, and PageWidth x PageHeight is the printable area; the offsets are the
//    printer's minimum margins rounded to whole device units, and follow the orientation;
//  - BeginDoc starts a PDF of one page (fonts stay text, pictures keep their pixels), EndDoc
//    hands it to the print system with the paper, bin and copies, Abort drops it.
// The selected printer's paper and bin are its device mode (`DeviceMode`), read from the
// printer's defaults when it is selected and kept until changed.
//
// PDF pages are laid out by QPrinter with the full page as its area: Qt rounds page margins
// to whole points, which would move the printable corner off the device grid by up to half
// a point, so the painter is moved to the printable corner here instead.
//
// UI thread only.
#pragma once

#include "platform/print/PrintSystem.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace gfx {
class TCanvas;
}

namespace print {

class EPrinter : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TPrinterOrientation { poPortrait, poLandscape };

struct TDeviceMode {
    Paper paper;
    std::string bin;  // a bin keyword of the printer; empty: the printer's own choice
};

class TPrinter {
public:
    TPrinter();
    ~TPrinter();
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    // Names of the installed printers, as the print system listed them last.
    const std::vector<std::string>& Printers();
    // The selected printer; -1 when none is installed.
    int PrinterIndex();
    // -1 selects the default printer. Selecting another printer loads its defaults; an index
    // outside the list raises EPrinter.
    void SetPrinterIndex(int index);
    // Reads the printer list afresh, keeping the selection when that printer still exists.
    void Refresh();
    // Reads the printer list afresh and selects the default printer with its defaults.
    void Reload();
    // The selected printer's description; null when none is installed.
    const PrinterInfo* Selected();

    TDeviceMode DeviceMode();
    // Selects the named printer (as the print system just described it) with a device mode.
    void SetDeviceMode(const PrinterInfo& printer, const TDeviceMode& mode);

    TPrinterOrientation Orientation() const { return orientation_; }
    void SetOrientation(TPrinterOrientation o);
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& t) { title_ = t; }
    int Copies() const { return copies_; }
    void SetCopies(int n) { copies_ = n < 1 ? 1 : n; }
    // The next document goes into this PDF file (replaced whole, through a temporary file)
    // instead of to the printer; EndDoc and Abort clear it. Empty: the printer.
    void SetOutputFile(const std::string& path) { outputFile_ = path; }

    // The device's figures: all 0 when no printer is installed.
    int Dpi();
    int PhysicalOffsetX();
    int PhysicalOffsetY();
    int PageWidth();
    int PageHeight();

    // EPrinter when no printer is installed, a job is already open or the page cannot be made.
    void BeginDoc();
    // Hands the page to the printer (or the output file); EPrinter with the spooler's reason
    // when it refuses, or when the file cannot be written.
    void EndDoc();
    void Abort();
    bool Printing() const;
    bool Aborted() const { return aborted_; }

    // Draws on the page while printing; at other times it only measures.
    gfx::TCanvas& Canvas();

private:
    struct Geometry {
        int dpi = 0, offsetX = 0, offsetY = 0, width = 0, height = 0;
    };
    struct Job;
    void load();
    void select(int index);
    Geometry geometry();

    bool loaded_ = false;
    PrinterList list_;
    std::vector<std::string> names_;
    int index_ = -1;
    TDeviceMode mode_;
    TPrinterOrientation orientation_ = poPortrait;
    std::string title_;
    int copies_ = 1;
    std::string outputFile_;
    bool aborted_ = false;
    std::unique_ptr<gfx::TCanvas> canvas_;
    std::unique_ptr<Job> job_;
};

TPrinter& Printer();

// The page size of a device mode's paper: its code's standard size, else the size it carries,
// else A4.
Paper PaperOf(const TDeviceMode& mode);

}  // namespace print
