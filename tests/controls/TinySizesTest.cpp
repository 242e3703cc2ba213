// Every control paints at degenerate sizes (nothing, one pixel, a sliver) without dividing by
// a zero span or touching memory outside its pictures, and keeps its value while doing so.
#include <gtest/gtest.h>

#include <QApplication>

#include "ControlTestSupport.h"
#include "controls/dx/dxButtons.h"
#include "controls/flat/TFlatCheckBoxUnit.h"
#include "controls/flat/TFlatComboBoxUnit.h"
#include "controls/flat/TFlatEditUnit.h"
#include "controls/gradient/RbButton.h"
#include "controls/gradient/RbProgressBar.h"
#include "controls/xi/XiButton.h"
#include "controls/xi/XiTrackBar.h"

using namespace controls;

TEST(TinySizes, EveryControlPaintsAtEverySize)
{
    QWidget parent;
    TRbProgressBar bar(&parent);
    bar.SetPosition(60);
    TRbButton button(&parent);
    button.SetCaption("OK");
    TXiButton xi(&parent);
    xi.SetColorScheme(xibutton::csNeoSun);
    xi.SetCaption("再生");
    TXiTrackBar track(&parent);
    track.SetTickStyle(tsAuto);
    track.SetTickMarks(tmBoth);
    track.SetPosition(6);
    TFlatCheckBox box(&parent);
    box.SetChecked(true);
    TFlatEdit edit(&parent);
    TFlatComboBox combo(&parent);
    TdxButton dx(&parent);
    dx.SetCaption("閉じる");
    dx.SetGlyph(TBitmap(12, 12));
    QWidget* all[] = {&bar, &button, &xi, &track, &box, &edit, &combo, &dx};
    for (QSize size : {QSize(0, 0), QSize(1, 1), QSize(2, 40), QSize(40, 2), QSize(3, 3)}) {
        for (QWidget* w : all) {
            w->resize(size);
            (void)controltest::snapshot(*w);
        }
        track.SetOrientation(track.Orientation() == trHorizontal ? trVertical : trHorizontal);
        (void)controltest::snapshot(track);
    }
    EXPECT_EQ(bar.Position(), 60);
    EXPECT_EQ(track.Position(), 6);
    EXPECT_TRUE(box.Checked());
}
