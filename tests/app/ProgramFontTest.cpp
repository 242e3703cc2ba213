// The program's font in the windows Qt builds itself: the page setup's preview, which draws
// its sample at a fraction of the font's point size, gets a real size to scale.
#include "app/Program.h"

#include <QApplication>
#include <QFontInfo>
#include <QPageSetupDialog>
#include <QPrinter>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> warnings;

void keepWarning(QtMsgType, const QMessageLogContext&, const QString& Message)
{
    warnings.push_back(Message.toStdString());
}

}  // namespace

TEST(ProgramFont, QtsPageSetupHasAPointSizeToScale)
{
    const QFont before = QApplication::font();
    SetProgramFont();
    EXPECT_EQ(QFontInfo(QApplication::font()).pixelSize(), 12) << "12 pixels on the 96-dpi screen";
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarning);
    {
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        QPageSetupDialog dialog(&printer);
        dialog.show();
        QApplication::processEvents();
        dialog.grab();  // the preview paints
    }
    qInstallMessageHandler(previous);
    QApplication::setFont(before);
    for (const std::string& w : warnings)
        EXPECT_EQ(w.find("Point size <= 0"), std::string::npos) << w;
}
