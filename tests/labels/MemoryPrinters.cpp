#include "labels/MemoryPrinters.h"

#include "platform/print/Printer.h"

namespace labeltest {

print::PrinterInfo discPrinter(const std::string& name, int dpi)
{
    print::PrinterInfo p;
    p.name = name;
    p.dpi = dpi;
    for (int code : {9, 13, 1})
        p.papers.push_back(print::PaperForCode(code));
    p.papers[2].name = "Letter";
    p.bins = {{"auto", "Automatic"}, {"disc", "CD/DVD tray"}};
    p.margins = {3, 4.2, 3, 4.2};
    p.defaultPaper = 0;
    p.defaultBin = 0;
    return p;
}

print::PrinterInfo barePrinter(const std::string& name)
{
    print::PrinterInfo p;
    p.name = name;
    p.dpi = 300;
    return p;
}

void MemoryPrinters::SetUp()
{
    pending_ = std::make_unique<print::MemoryPrintSystem>(jobs_.path());
}

void MemoryPrinters::use()
{
    current_ = pending_.get();
    print::UsePrintSystem(std::move(pending_));
    pending_ = std::make_unique<print::MemoryPrintSystem>(jobs_.path());
}

void MemoryPrinters::TearDown()
{
    if (print::Printer().Printing())
        print::Printer().Abort();
    print::UsePrintSystem(std::make_unique<print::MemoryPrintSystem>(jobs_.path()));
    current_ = nullptr;
}

}  // namespace labeltest
