#include "platform/print/PageSetup.h"

#include "platform/print/Printer.h"

#include <QComboBox>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRadioButton>

#include <cmath>

namespace print {

namespace {

std::function<int(QPageSetupDialog&)>& runner()
{
    static std::function<int(QPageSetupDialog&)> r;
    return r;
}

// The paper's entry of the dialog's list: one of the same size (either way up), the same
// standard paper and the same name before others. The dialog's own custom entry (which
// carries whatever size was shown last) is not the entry of a standard paper.
int entryOf(const QComboBox& list, const QPageSize& paper)
{
    auto portrait = [](QSizeF s) { return s.width() <= s.height() ? s : s.transposed(); };
    const QSizeF want = portrait(paper.size(QPageSize::Millimeter));
    int found = -1, bestScore = -1;
    for (int i = 0; i < list.count(); ++i) {
        const QVariant data = list.itemData(i);
        const QPageSize entry = data.canConvert<QPageSize>() ? data.value<QPageSize>()
                                                             : QPageSize(QPageSize::PageSizeId(data.toInt()));
        if (!entry.isValid() || (entry.id() == QPageSize::Custom && paper.id() != QPageSize::Custom))
            continue;
        const QSizeF size = portrait(entry.size(QPageSize::Millimeter));
        if (std::abs(size.width() - want.width()) > 0.5 || std::abs(size.height() - want.height()) > 0.5)
            continue;
        const int score = (entry.id() == paper.id() ? 2 : 0) + (entry.name() == paper.name() ? 1 : 0);
        if (score > bestScore) {
            found = i;
            bestScore = score;
        }
    }
    return found;
}

// For a CUPS queue Qt's dialog can open on another paper than the layout it was given (users
// saw Letter over an A4 page), so its paper list and orientation are set to what the printer
// object holds.
void showCurrent(QPageSetupDialog& dialog, const QPageSize& paper, bool landscape)
{
    if (auto* list = dialog.findChild<QComboBox*>(QStringLiteral("pageSizeCombo"))) {
        const int entry = entryOf(*list, paper);
        if (entry >= 0)
            list->setCurrentIndex(entry);
    }
    const QString way = landscape ? QStringLiteral("landscape") : QStringLiteral("portrait");
    if (auto* button = dialog.findChild<QRadioButton*>(way))
        button->setChecked(true);
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
    showCurrent(dialog, size, printer.Orientation() == poLandscape);
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
