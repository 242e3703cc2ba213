#include "platform/print/PrintDialog.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace print {

bool ShowPrintDialog(QWidget* parent, PrintDialogChoice& choice)
{
    QPrinter qp(QPrinter::HighResolution);
    const QString name = QString::fromStdString(choice.printer);
    if (!QPrinterInfo::printerInfo(name).isNull())
        qp.setPrinterName(name);
    qp.setCopyCount(1);
    QPrintDialog dialog(&qp, parent);
    // One page, no range to choose.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    choice.copies = qp.copyCount() < 1 ? 1 : qp.copyCount();
    if (qp.outputFormat() == QPrinter::PdfFormat && !qp.outputFileName().isEmpty()) {
        choice.pdfFile = qp.outputFileName().toStdString();
    } else {
        choice.pdfFile.clear();
        choice.printer = qp.printerName().toStdString();
    }
    return true;
}

}  // namespace print
