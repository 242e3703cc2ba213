// Small helpers the main window's command units share: the hourglass for the length of a
// scope.
// UI thread only.
#pragma once

#include <functional>
#include <utility>

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QObject>

class TWaitCursor {
public:
    TWaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};
