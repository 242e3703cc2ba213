#include "support/PdfPages.h"

#include "support/TestSupport.h"

#include <QImageReader>

#include <cstdio>
#include <QTemporaryDir>

namespace testsupport {

bool havePdfTools()
{
    return haveProgram("pdftoppm") && haveProgram("pdfinfo");
}

QImage renderPdfPage(const std::string& pdf, int dpi)
{
    QTemporaryDir dir;
    const std::string stem = dir.path().toStdString() + "/page";
    const CommandResult r = runCommand("pdftoppm", {"-r", std::to_string(dpi), "-gray", "-f", "1",
                                                    "-l", "1", "-singlefile", pdf, stem});
    if (r.exitCode != 0)
        return {};
    // A page at 600 dpi passes Qt's default limit for one picture (128 MB).
    QImageReader reader(QString::fromStdString(stem + ".pgm"));
    const int limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(1024);
    const QImage page = reader.read();
    QImageReader::setAllocationLimit(limit);
    return page.convertToFormat(QImage::Format_Grayscale8);
}

PdfPageSize pdfPageSize(const std::string& pdf)
{
    const CommandResult r = runCommand("pdfinfo", {pdf});
    const std::string key = "Page size:";
    const size_t at = r.out.find(key);
    PdfPageSize size;
    if (r.exitCode != 0 || at == std::string::npos)
        return size;
    const size_t from = r.out.find_first_not_of(' ', at + key.size());
    const std::string line = r.out.substr(from, r.out.find('\n', from) - from);
    char name[32] = {};
    if (std::sscanf(line.c_str(), "%lf x %lf pts (%31[^)])", &size.width, &size.height, name) >= 2)
        size.name = name;
    return size;
}

}  // namespace testsupport
