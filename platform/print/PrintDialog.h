// The print dialog a print asks with before its page is made: Qt's dialog, offering the
// spooler's printers, opened on the chosen printer with one copy. Only what the user chose
// is handed back: the printer by its name and the number of copies, or a PDF file to print
// into. The page itself is always made and sent by the printer object (`Printer()`), which
// keeps the paper bin Qt's dialog cannot pass on. UI thread only.
#pragma once

#include <string>

class QWidget;

namespace print {

struct PrintDialogChoice {
    std::string printer;  // in: the printer shown first; out: the one chosen
    int copies = 1;
    std::string pdfFile;  // out: the file chosen instead of a printer, else empty
};

// True when the user confirmed; `choice` then holds the choice.
bool ShowPrintDialog(QWidget* parent, PrintDialogChoice& choice);

}  // namespace print
