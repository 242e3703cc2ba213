#include "controls/common/ControlTypes.h"

#include <QApplication>
#include <QString>

#include "platform/forms/Control.h"
#include "platform/gfx/Canvas.h"

namespace controls {

bool IsAccel(char32_t ch, const std::string& caption)
{
    const QString s = QString::fromStdString(caption);
    for (qsizetype i = 0; i + 1 < s.size(); ++i) {
        if (s[i] != u'&')
            continue;
        ++i;
        if (s[i] == u'&')
            continue;
        const QList<uint> c = QString(s[i]).toUpper().toUcs4();
        return !c.isEmpty() && char32_t(c[0]) == ch;
    }
    return false;
}

void NotifyFocusChanged(QWidget& control)
{
    QWidget* w = control.window();
    if (!w || w == &control)
        return;
    for (QWidget* child : w->findChildren<QWidget*>())
        if (auto* c = dynamic_cast<forms::TCustomControl*>(child))
            c->FocusChanged(QApplication::focusWidget());
}

TColor FocusMarkColor(TColor Back)
{
    const TColor rgb = gfx::ColorToRGB(Back);
    const int r = int(rgb & 0xFF), g = int(rgb >> 8 & 0xFF), b = int(rgb >> 16 & 0xFF);
    return r * 299 + g * 587 + b * 114 < 128 * 1000 ? gfx::TColor(0xFFFFFF) : gfx::TColor(0x000000);
}

void DrawFocusMark(gfx::TCanvas& C, const TRect& R, TColor Back)
{
    if (R.IsEmpty())
        return;
    C.Brush().SetStyle(gfx::bsSolid);
    C.Brush().SetColor(FocusMarkColor(Back));
    C.FrameRect(R);
}

void DrawFocusMark(gfx::TCanvas& C, const TRect& R)
{
    const TColor back = R.IsEmpty() ? gfx::clBtnFace : C.Pixels(R.Left + 1, R.Top + 1);
    DrawFocusMark(C, R, back == TColor(-1) ? gfx::clBtnFace : back);
}

}  // namespace controls
