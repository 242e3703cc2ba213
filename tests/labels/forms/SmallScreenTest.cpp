// The jacket and label designer, its font dialog and its print-position dialog on an 800 x 600
// screen: each opens wholly inside the work area; the designer's page keeps its scale and the
// window scrolls to it. Screenshots go to screenshots/small-screen/.
#include "DesignerFixture.h"

#include "labels/MemoryPrinters.h"
#include "labels/forms/xCDFont.h"
#include "labels/forms/xCDPrnPos.h"
#include "support/SmallScreen.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class LabelWindowsOnSmallScreen : public labeltest::MemoryPrinters, public DesignerFixture {};

}  // namespace

TEST_F(LabelWindowsOnSmallScreen, EveryWindowOpensInsideTheWorkArea)
{
    SKIP_UNLESS_ON_SMALL_SCREEN();
    system().AddPrinter(labeltest::discPrinter("Disc Writer", 600), true);
    use();
    titles(3);
    auto w = open();
    EXPECT_TRUE(InsideWorkArea(*w));
    SaveScreen(*w, "label-designer");
    EXPECT_EQ(w->pnlCD_Title->size(), QSize(600, 600)) << "the page never scales";
    // Every part of the window can be scrolled to.
    QScrollBar* down = w->scrClient->verticalScrollBar();
    EXPECT_TRUE(down->isVisible());
    down->setValue(down->maximum());
    QApplication::processEvents();
    const QRect shown = w->scrClient->viewport()->rect();
    const QPoint bottom = w->pnlClient->mapTo(w->scrClient->viewport(), QPoint(0, w->pnlClient->height()));
    EXPECT_EQ(bottom.y(), shown.bottom() + 1);
    {
        TfrmCD_Font font(w.get());
        ExpectOpensInside(font, "label-font");
    }
    {
        TfrmCD_Pos pos(w.get());
        pos.MsgBox = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                        const std::string&) { return int(forms::mrYes); };
        ExpectOpensInside(pos, "label-print-position");
    }
}
