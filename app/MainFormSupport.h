// Small helpers the main window's command units share: the hourglass (util/libControl.h) and
// the first selected row of a list.
// UI thread only.
#pragma once

#include <functional>
#include <utility>

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QObject>
#include <QTreeWidget>

#include "util/libControl.h"

// The index of the first selected row in list order; -1 when none is selected.
inline int FirstSelectedIndex(const QTreeWidget* List)
{
    for (int i = 0; List && i < List->topLevelItemCount(); ++i)
        if (List->topLevelItem(i)->isSelected())
            return i;
    return -1;
}
