// The program's font in the windows Qt builds itself: the page setup's preview, which draws
// its sample at a fraction of the font's point size, gets a real size to scale.
#include "app/Program.h"

#include "support/QtMessages.h"

#include <QApplication>
#include <QFontInfo>
#include <QPageSetupDialog>
#include <QPrinter>
#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ProgramFont, QtsPageSetupHasAPointSizeToScale)
{
    const QFont before = QApplication::font();
    SetProgramFont();
    EXPECT_EQ(QFontInfo(QApplication::font()).pixelSize(), 12) << "12 pixels on the 96-dpi screen";
    std::vector<std::string> warnings;
    {
        const testsupport::QtMessages messages;
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        QPageSetupDialog dialog(&printer);
        dialog.show();
        QApplication::processEvents();
        dialog.grab();  // the preview paints
        warnings = messages.Lines();
    }
    QApplication::setFont(before);
    for (const std::string& w : warnings)
        EXPECT_EQ(w.find("Point size <= 0"), std::string::npos) << w;
}
