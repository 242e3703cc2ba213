#include "platform/print/Printer.h"

#include "platform/gfx/PainterCanvas.h"

#include <QDir>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QSaveFile>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <utility>

namespace print {

struct TPrinter::Job {
    QTemporaryFile file{QDir::tempPath() + "/tambourelle-page-XXXXXX.pdf"};
    QPrinter printer{QPrinter::HighResolution};
    QPainter painter;
};

namespace {

constexpr double kMmPerInch = 25.4;
constexpr int kA4 = 9;

// The nearest whole device units of a margin.
int marginUnits(double mm, int dpi)
{
    return int(std::lround(mm * dpi / kMmPerInch));
}

// Whole device units that fit in `mm`.
int unitsWithin(double mm, int dpi)
{
    return int(std::floor(mm * dpi / kMmPerInch + 1e-6));
}

QPageSize pageSizeOf(const Paper& paper)
{
    if (paper.code != kCustomPaperCode) {
        const QPageSize standard(QPageSize::id(paper.code));
        if (standard.isValid())
            return standard;
    }
    return QPageSize(QSizeF(paper.widthMm, paper.lengthMm), QPageSize::Millimeter,
                     QString::fromStdString(paper.name), QPageSize::ExactMatch);
}

}  // namespace

Paper PaperOf(const TDeviceMode& mode)
{
    Paper standard = PaperForCode(mode.paper.code);
    if (mode.paper.code != kCustomPaperCode && standard.widthMm > 0)
        return standard;
    if (mode.paper.widthMm > 0 && mode.paper.lengthMm > 0)
        return mode.paper;
    return PaperForCode(kA4);
}

TPrinter::TPrinter() : canvas_(std::make_unique<gfx::TPainterCanvas>()) {}

TPrinter::~TPrinter() = default;

void TPrinter::load()
{
    if (loaded_)
        return;
    loaded_ = true;
    list_ = CurrentPrintSystem().Printers();
    names_.clear();
    for (const PrinterInfo& p : list_.printers)
        names_.push_back(p.name);
    index_ = -1;
    if (!list_.printers.empty())
        select(list_.defaultIndex >= 0 && list_.defaultIndex < int(names_.size()) ? list_.defaultIndex : 0);
}

void TPrinter::select(int index)
{
    index_ = index;
    const PrinterInfo& p = list_.printers[index];
    mode_ = {};
    // A printer whose default cannot be told prints on A4, its own A4 when it lists one: the
    // first paper of its list may be any envelope.
    mode_.paper = PaperForCode(kA4);
    if (p.defaultPaper >= 0 && p.defaultPaper < int(p.papers.size()))
        mode_.paper = p.papers[p.defaultPaper];
    else if (const auto a4 = std::find_if(p.papers.begin(), p.papers.end(), [](const Paper& x) { return x.code == kA4; });
             a4 != p.papers.end())
        mode_.paper = *a4;
    if (p.defaultBin >= 0 && p.defaultBin < int(p.bins.size()))
        mode_.bin = p.bins[p.defaultBin].keyword;
    orientation_ = p.defaultLandscape ? poLandscape : poPortrait;
}

void TPrinter::Reload()
{
    loaded_ = false;
    load();
}

void TPrinter::Refresh()
{
    const std::string kept = index_ >= 0 && loaded_ ? names_[index_] : std::string();
    const TDeviceMode mode = mode_;
    const TPrinterOrientation orientation = orientation_;
    loaded_ = false;
    load();
    for (int i = 0; i < int(names_.size()); ++i)
        if (!kept.empty() && names_[i] == kept) {
            index_ = i;
            mode_ = mode;
            orientation_ = orientation;
        }
}

const std::vector<std::string>& TPrinter::Printers()
{
    load();
    return names_;
}

int TPrinter::PrinterIndex()
{
    load();
    return index_;
}

void TPrinter::SetPrinterIndex(int index)
{
    load();
    if (index == -1)
        index = list_.defaultIndex;
    if (index < 0 || index >= int(names_.size()))
        throw EPrinter("Printer selected is not valid");
    if (index != index_)
        select(index);
}

const PrinterInfo* TPrinter::Selected()
{
    load();
    return index_ >= 0 ? &list_.printers[index_] : nullptr;
}

TDeviceMode TPrinter::DeviceMode()
{
    load();
    return mode_;
}

void TPrinter::SetDeviceMode(const PrinterInfo& printer, const TDeviceMode& mode)
{
    load();
    int found = -1;
    for (int i = 0; i < int(names_.size()); ++i)
        if (names_[i] == printer.name)
            found = i;
    if (found < 0) {
        list_.printers.push_back(printer);
        names_.push_back(printer.name);
        found = int(names_.size()) - 1;
    }
    list_.printers[found] = printer;
    const TPrinterOrientation orientation = orientation_;
    if (found != index_)
        select(found);
    orientation_ = orientation;
    mode_ = mode;
}

void TPrinter::SetOrientation(TPrinterOrientation o)
{
    orientation_ = o;
}

TPrinter::Geometry TPrinter::geometry()
{
    const PrinterInfo* p = Selected();
    if (!p)
        return {};
    Geometry g;
    g.dpi = PageResolution(p->dpi);
    const Paper paper = PaperOf(mode_);
    double wide = paper.widthMm, high = paper.lengthMm;
    // A paper the queue gives margins of its own (a borderless one, none) prints within them.
    const MarginsMm portrait = mode_.paper.margins.value_or(p->margins);
    MarginsMm m = portrait;
    if (orientation_ == poLandscape) {
        // The page turned a quarter counter-clockwise: the portrait's left edge is at the top.
        std::swap(wide, high);
        m = {portrait.bottom, portrait.left, portrait.top, portrait.right};
    }
    g.offsetX = marginUnits(m.left, g.dpi);
    g.offsetY = marginUnits(m.top, g.dpi);
    g.width = std::max(0, unitsWithin(wide, g.dpi) - g.offsetX - marginUnits(m.right, g.dpi));
    g.height = std::max(0, unitsWithin(high, g.dpi) - g.offsetY - marginUnits(m.bottom, g.dpi));
    return g;
}

int TPrinter::Dpi() { return geometry().dpi; }
int TPrinter::PhysicalOffsetX() { return geometry().offsetX; }
int TPrinter::PhysicalOffsetY() { return geometry().offsetY; }
int TPrinter::PageWidth() { return geometry().width; }
int TPrinter::PageHeight() { return geometry().height; }

gfx::TCanvas& TPrinter::Canvas()
{
    return *canvas_;
}

bool TPrinter::Printing() const
{
    return job_ != nullptr;
}

void TPrinter::BeginDoc()
{
    if (job_)
        throw EPrinter("Printing in progress");
    if (!Selected())
        throw EPrinter("There is no default printer currently selected");
    const Geometry g = geometry();
    auto job = std::make_unique<Job>();
    if (!job->file.open())
        throw EPrinter("Cannot make the page: " + job->file.errorString().toStdString());
    job->file.close();
    QPrinter& qp = job->printer;
    qp.setOutputFormat(QPrinter::PdfFormat);
    qp.setOutputFileName(job->file.fileName());
    qp.setResolution(g.dpi);
    qp.setFullPage(true);
    qp.setPageLayout(QPageLayout(pageSizeOf(PaperOf(mode_)),
                                 orientation_ == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                 QMarginsF()));
    qp.setDocName(QString::fromStdString(title_));
    qp.setCreator(QStringLiteral("Tambourelle"));
    if (!job->painter.begin(&qp))
        throw EPrinter("Cannot make the page");
    // Pictures keep their pixels: Qt would store them as JPEG, whose noise tints a label's
    // fine grey dots and blurs the edges of its text.
    job->painter.setRenderHint(QPainter::LosslessImageRendering);
    job->painter.translate(g.offsetX, g.offsetY);
    job->painter.setClipRect(QRect(0, 0, g.width, g.height));
    job_ = std::move(job);
    aborted_ = false;
    static_cast<gfx::TPainterCanvas&>(*canvas_).Attach(&job_->painter);
}

void TPrinter::EndDoc()
{
    if (!job_)
        return;
    static_cast<gfx::TPainterCanvas&>(*canvas_).Attach(nullptr);
    std::unique_ptr<Job> job = std::move(job_);
    job->painter.end();
    if (const std::string out = std::exchange(outputFile_, std::string()); !out.empty()) {
        QFile page(job->file.fileName());
        QSaveFile file(QString::fromStdString(out));
        if (!page.open(QIODevice::ReadOnly) || !file.open(QIODevice::WriteOnly) ||
            file.write(page.readAll()) != page.size() || !file.commit())
            throw EPrinter("Cannot write " + out + ": " + file.errorString().toStdString());
        return;
    }
    PrintJob options;
    options.printer = names_[index_];
    options.title = title_;
    options.copies = copies_;
    // The queue's own paper goes as it was listed, margins and all, for the scheduler to tell
    // it from the other papers of its size.
    options.paper = mode_.paper.margins ? mode_.paper : PaperOf(mode_);
    options.bin = mode_.bin;
    options.landscape = orientation_ == poLandscape;
    std::string error;
    if (!CurrentPrintSystem().Submit(job->file.fileName().toStdString(), options, error))
        throw EPrinter(error);
}

void TPrinter::Abort()
{
    if (!job_)
        return;
    static_cast<gfx::TPainterCanvas&>(*canvas_).Attach(nullptr);
    job_->painter.end();
    job_.reset();
    outputFile_.clear();
    aborted_ = true;
}

TPrinter& Printer()
{
    static TPrinter printer;
    return printer;
}

}  // namespace print
