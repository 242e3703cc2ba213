#include "controls/common/ControlTypes.h"

#include <QApplication>
#include <QString>

#include "platform/forms/Control.h"

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

}  // namespace controls
