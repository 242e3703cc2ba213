// Runs a file dialog of ours for real, off screen: a zero-time timer acts as the user while it
// is shown, and then it is closed (rejected unless the user accepted it).
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QFileDialog>
#include <QTimer>

namespace controltest {

// Answers Execute's result.
template <class D>
bool runWith(D& Dialog, const std::function<void(QFileDialog&)>& User)
{
    bool reached = false;
    QTimer::singleShot(0, [&] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (shown == nullptr)
            return;
        reached = true;
        User(*shown);
        if (shown->isVisible())
            shown->reject();
    });
    const bool accepted = Dialog.Execute();
    EXPECT_TRUE(reached);
    return accepted;
}

}  // namespace controltest
