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

// A queue lists many sizes twice, plain and borderless ("A4", "A4.Borderless").
bool isBorderless(const QString& nameOrKey)
{
    return nameOrKey.contains(QLatin1String("borderless"), Qt::CaseInsensitive);
}

// How alike two papers of the same size are: the same name first, then both borderless or
// both not, then the same standard paper.
int likeness(const QString& name, bool borderless, QPageSize::PageSizeId id, const QString& wantName,
             QPageSize::PageSizeId wantId)
{
    return (name == wantName ? 4 : 0) + (borderless == isBorderless(wantName) ? 2 : 0) + (id == wantId ? 1 : 0);
}

// The paper's entry of the dialog's list: of the same size (either way up) the likest. The
// dialog's own custom entry (which carries whatever size was shown last) is not the entry of a
// standard paper.
int entryOf(const QComboBox& list, const QPageSize& paper, const QString& name)
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
        const int score = likeness(entry.name(), isBorderless(entry.key()) || isBorderless(entry.name()), entry.id(),
                                    name, paper.id());
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
void showCurrent(QPageSetupDialog& dialog, const QPageSize& paper, const QString& name, bool landscape)
{
    if (auto* list = dialog.findChild<QComboBox*>(QStringLiteral("pageSizeCombo"))) {
        const int entry = entryOf(*list, paper, name);
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
    // The printer's own name tells its borderless paper from the plain one of that size.
    const std::string& shownName = mode.paper.name.empty() ? paper.name : mode.paper.name;
    showCurrent(dialog, size, QString::fromStdString(shownName), printer.Orientation() == poLandscape);
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
    // The printer's own entry for that paper, when it lists one: the likest of that size, not
    // merely the first (the plain paper before the borderless one). The printer takes the size
    // of a queue's borderless paper as its plain one, so the dialog's list tells which it was.
    QPageSize picked = layout.pageSize();
    if (const auto* list = dialog.findChild<QComboBox*>(QStringLiteral("pageSizeCombo")))
        if (const QVariant data = list->currentData(); data.canConvert<QPageSize>()) {
            const QPageSize entry = data.value<QPageSize>();
            if (entry.isValid() && entry.id() == picked.id())
                picked = entry;
        }
    const QString chosenName = picked.name();
    const bool borderless = isBorderless(picked.key()) || isBorderless(chosenName);
    int bestScore = -1;
    Paper own;
    for (const Paper& p : info.papers)
        if (std::abs(p.widthMm - chosen.widthMm) < 0.5 && std::abs(p.lengthMm - chosen.lengthMm) < 0.5) {
            const QString name = QString::fromStdString(p.name);
            const int score = likeness(chosenName, borderless, picked.id(), name,
                                       p.code != kCustomPaperCode ? QPageSize::id(p.code) : QPageSize::Custom);
            if (score > bestScore) {
                own = p;
                bestScore = score;
            }
        }
    if (bestScore >= 0)
        chosen = own;
    mode.paper = chosen;
    printer.SetDeviceMode(info, mode);
    printer.SetOrientation(layout.orientation() == QPageLayout::Landscape ? poLandscape : poPortrait);
    return true;
}

}  // namespace print
