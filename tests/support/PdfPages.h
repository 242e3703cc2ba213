// Reading the PDF files our printing writes with poppler's tools, as a printer's rasteriser
// would: the first page rendered in grey at a given resolution, and the page size pdfinfo
// reports. Tests skip when the tools are missing (scripts/setup.sh installs poppler-utils).
#pragma once

#include <string>

#include <QImage>

namespace testsupport {

bool havePdfTools();
// The first page at `dpi`, 8-bit grey; a null image when pdftoppm fails.
QImage renderPdfPage(const std::string& pdf, int dpi);
// The first page's size as pdfinfo reports it: points, and the paper's name where pdfinfo
// knows one ("A4"). Zeros when it fails.
struct PdfPageSize {
    double width = 0, height = 0;
    std::string name;
};
PdfPageSize pdfPageSize(const std::string& pdf);

}  // namespace testsupport
