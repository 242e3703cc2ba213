#include "platform/print/PrintSystem.h"

#include "platform/print/CupsPrintSystem.h"
#include "platform/print/Printer.h"

#include <QPageSize>
#include <QSizeF>

#include <algorithm>

namespace print {

PrinterLookup PrintSystem::Find(const std::string& name)
{
    PrinterLookup found;
    for (PrinterInfo& p : Printers().printers)
        if (p.name == name) {
            found.status = PrinterLookup::Found;
            found.info = std::move(p);
            break;
        }
    return found;
}

int PaperCodeForSize(double widthMm, double lengthMm)
{
    if (widthMm <= 0 || lengthMm <= 0)
        return kCustomPaperCode;
    const QPageSize size(QSizeF(std::min(widthMm, lengthMm), std::max(widthMm, lengthMm)),
                         QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyMatch);
    const int code = size.windowsId();
    return code > 0 ? code : kCustomPaperCode;
}

Paper PaperForCode(int code)
{
    Paper paper;
    paper.code = code;
    const QPageSize size(QPageSize::id(code));
    if (code != kCustomPaperCode && size.isValid()) {
        const QSizeF mm = size.size(QPageSize::Millimeter);
        paper.widthMm = mm.width();
        paper.lengthMm = mm.height();
        paper.name = size.name().toStdString();
    }
    return paper;
}

int PageResolution(int reportedDpi)
{
    constexpr int kMaxDpi = 1200, kUnreportedDpi = 600;
    if (reportedDpi <= 0)
        return kUnreportedDpi;
    return reportedDpi < kMaxDpi ? reportedDpi : kMaxDpi;
}

std::string RefusedJobMessage(const std::string& printer, const std::string& reason, bool notAccepting)
{
    std::string text = "プリンター「" + printer + (notAccepting ? "」は印刷を受け付けていません。" : "」に印刷できませんでした。");
    if (!reason.empty())
        text += "\r\r理由 : " + reason;
    return text;
}

namespace {
std::unique_ptr<PrintSystem>& current()
{
    static std::unique_ptr<PrintSystem> system;
    return system;
}
}  // namespace

PrintSystem& CurrentPrintSystem()
{
    if (!current())
        current() = MakeCupsPrintSystem();
    return *current();
}

void UsePrintSystem(std::unique_ptr<PrintSystem> system)
{
    current() = std::move(system);
    Printer().Reload();
}

}  // namespace print
