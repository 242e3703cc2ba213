#include "platform/print/PageSetup.h"

#include "platform/print/Printer.h"

#include <QPageSetupDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace print {

namespace {

std::function<int(QPageSetupDialog&)>& runner()
{
    static std::function<int(QPageSetupDialog&)> r;
    return r;
}

}  // namespace

void SetPageSetupRunner(std::function<int(QPageSetupDialog&)> r)
{
    runner() = std::move(r);
}

bool ShowPageSetup(QWidget* parent)
{
    TPrinter& printer = Printer();
    const PrinterInfo* selected = printer.Selected();
    if (!selected)
        return false;
    const PrinterInfo info = *selected;
    TDeviceMode mode = printer.DeviceMode();
    const Paper paper = PaperOf(mode);

    // A queue Qt knows offers that printer's own papers; any other printer the standard ones.
    QPrinter qp(QPrinter::HighResolution);
    const QString name = QString::fromStdString(info.name);
    if (!QPrinterInfo::printerInfo(name).isNull())
        qp.setPrinterName(name);
    else
        qp.setOutputFormat(QPrinter::PdfFormat);
    QPageSize size = paper.code != kCustomPaperCode ? QPageSize(QPageSize::id(paper.code))
                                                    : QPageSize(QSizeF(paper.widthMm, paper.lengthMm),
                                                                QPageSize::Millimeter,
                                                                QString::fromStdString(paper.name));
    qp.setPageSize(size);
    qp.setPageOrientation(printer.Orientation() == poLandscape ? QPageLayout::Landscape
                                                                : QPageLayout::Portrait);

    QPageSetupDialog dialog(&qp, parent);
    const int result = runner() ? runner()(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return false;

    const QPageLayout layout = qp.pageLayout();
    const QSizeF mm = layout.pageSize().size(QPageSize::Millimeter);
    Paper chosen;
    chosen.widthMm = std::min(mm.width(), mm.height());
    chosen.lengthMm = std::max(mm.width(), mm.height());
    chosen.code = layout.pageSize().windowsId() > 0 ? layout.pageSize().windowsId() : kCustomPaperCode;
    chosen.name = layout.pageSize().name().toStdString();
    // The printer's own name of that paper, when it lists one.
    for (const Paper& p : info.papers)
        if (std::abs(p.widthMm - chosen.widthMm) < 0.5 && std::abs(p.lengthMm - chosen.lengthMm) < 0.5) {
            chosen = p;
            break;
        }
    mode.paper = chosen;
    printer.SetDeviceMode(info, mode);
    printer.SetOrientation(layout.orientation() == QPageLayout::Landscape ? poLandscape : poPortrait);
    return true;
}

}  // namespace print
