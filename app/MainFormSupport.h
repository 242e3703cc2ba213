// Small helpers the main window's command units share: the hourglass for the length of a
// scope, and an event filter that hands a widget's events to a function.
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

// Installed on Watched and owned by it; Handler returns true to swallow the event.
class TEventHook : public QObject {
public:
    TEventHook(QObject* Watched, std::function<bool(QEvent*)> Handler)
        : QObject(Watched), handler_(std::move(Handler))
    {
        Watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override { return handler_(e); }

private:
    std::function<bool(QEvent*)> handler_;
};
