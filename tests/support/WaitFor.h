// Waiting in a test for something the event loop brings about (a finished load, a posted event,
// another process's answer): serves events until it has happened or the time limit is up.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

namespace testsupport {

// Serves events until Done() or `Ms` milliseconds have passed; returns Done().
template <class F>
bool waitFor(F Done, int Ms = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!Done() && t.elapsed() < Ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return Done();
}

}  // namespace testsupport
