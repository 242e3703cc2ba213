// Printer routines of the jacket and label designer: the installed printers, the selected
// printer's papers, bins and orientation, its device figures, and millimetres turned into
// printer device units. Plain routines over the printer object (`print::Printer()`), which
// they read afresh on every call; they keep no state of their own.
//
// Each edit of the device mode locks a copy (`LockDevMode`), changes it and applies it
// (`ApplyDevMode`), which asks the print system for the printer anew: a printer that has gone
// raises EAssertionFailed, which the caller's default handler reports.
//
// Without a printer every figure reads 0, lists stay empty, index queries read -1 and edits
// change nothing. Lengths are millimetres; offsets and sizes tenths of a millimetre.
// UI thread only.
#pragma once

#include "platform/print/Printer.h"

#include <stdexcept>
#include <string>

namespace rtl {
class TStringList;
}

class EAssertionFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TPrinterDevMode {
    std::string Device;        // the printer's name
    print::TDeviceMode Mode;   // its paper (code and size) and bin keyword
    bool Locked = false;
};

double ScreenPixelsPerMm();
void GetPrinterDpi(int& X, int& Y);
// Device units from the paper's corner to the printable corner.
void GetPhysicalOffset(int& X, int& Y);
double PrinterToScreenRatioX();
double PrinterToScreenRatioY();
void GetPrinterOffsetTenthMm(int& X, int& Y);
// The printable area, in whole millimetres x 10, rounded down.
void GetPrintableSizeTenthMm(int& W, int& H);

// Short paper names ("A4", "B5", "PC", ...): "??" for a code without one; an unknown name
// selects A4.
std::string GetPaperName();
void SetPaperByName(const std::string& Name);
int GetPaperIndex();
// An index outside the printer's list changes nothing; the orientation is kept.
void SetPaperIndex(int Index);
void GetPaperNames(rtl::TStringList& List);
std::string GetPaperDisplayName();
int GetBinIndex();
void SetBinIndex(int Index);
void GetBinNames(rtl::TStringList& List);
// "" when the printer has no bins or its bin is not listed.
std::string GetBinName();

// The page setup for the selected printer (paper, orientation); true when confirmed.
bool ShowPrinterProperties();

int GetPrinterCount();
int GetPrinterNames(rtl::TStringList& List);
// "X" when no printer is installed.
std::string GetPrinterName();
// The index of the installed printer named exactly Name (a look-alike queue is another
// printer); -1 when none is.
int FindPrinterIndex(const std::string& Name);
// An index outside the list changes nothing.
void SetPrinterIndex(int Index);
// 0 when none is selected.
int GetPrinterIndex();
void SetLandscape(bool Flag);
bool IsLandscape();
std::string GetOrientationName();

void LockDevMode(TPrinterDevMode& Rec);
void ApplyDevMode(const TPrinterDevMode& Rec);
void UnlockDevMode(const TPrinterDevMode& Rec);

// Mm x dpi / 25.4, rounded to the nearest (halves to even); 0 without a printer.
int MmToDeviceX(double Mm);
int MmToDeviceY(double Mm);
