// The print settings the jacket and label share: where each design's 120 mm square sits on
// the paper, and the printer, bin, paper and orientation chosen in the print position dialog.
// Origins are millimetres kept as decimal texts ("5.5") under [CD_JACKET] and [CD_LABEL];
// the printer choice lives under [CD_LABEL] for both designs.
//
// The printer is kept by index and by name: the index alone would pick another printer once
// the list of printers changes, so the name wins whenever that printer is still installed.
// Without a settings file (IniBase empty) the defaults are read and nothing is written.
// UI thread only.
#pragma once

#include <string>

namespace cdlabel {

struct TPrintOrigin {
    std::string X, Y;  // millimetres, as stored
};

// The stored origin of the jacket (Label false) or the label, or its defaults ("10", "10";
// "5.5", "91").
TPrintOrigin ReadPrintOrigin(bool Label);
void WritePrintOrigin(bool Label, const TPrintOrigin& Origin);
// Millimetres of an origin text, read with a decimal point in every locale; Default when the
// text is not a number.
double OriginMm(const std::string& Text, double Default);

struct TOriginMm {
    double X, Y;
};
// The stored origin in millimetres; a text that is not a number reads as the default.
TOriginMm ReadPrintOriginMm(bool Label);

// The stored choice, -1 where nothing is stored.
struct TPrinterChoice {
    std::string PrinterName;
    int PrinterIndex = -1, BinIndex = -1, PaperIndex = -1, OrientationIndex = -1;
};
TPrinterChoice ReadPrinterChoice();
// Writes the current printer (index and name), bin, paper and the given orientation index.
void WritePrinterChoice(int OrientationIndex);
// Selects the stored printer (by name when installed, else by index), then its bin and paper;
// the orientation too when WithOrientation. What is not stored stays as the printer has it.
void ApplyPrinterChoice(bool WithOrientation);

}  // namespace cdlabel
