#include "util/MainWindowHost.h"

#include <QWidget>

namespace {
TMainWindowHost* registered = nullptr;
}

TMainWindowHost* MainWindowHost() { return registered; }

void RegisterMainWindowHost(TMainWindowHost* Host) { registered = Host; }

void CentreOverMainWindow(QWidget* Window)
{
    const QWidget* main = registered ? registered->MainWindow() : nullptr;
    if (!main)
        return;
    const QRect over = main->frameGeometry(), own = Window->frameGeometry();
    Window->move(over.left() + (over.width() - own.width()) / 2, over.top() + (over.height() - own.height()) / 2);
}
