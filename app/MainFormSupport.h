// Small helpers the main window's command units share: the hourglass (util/libControl.h)
// and an event filter that hands a widget's events to a function.
// UI thread only.
#pragma once

#include <functional>
#include <utility>

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QObject>

#include "util/libControl.h"

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
