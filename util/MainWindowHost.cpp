#include "util/MainWindowHost.h"

#include <QWidget>

namespace {
TMainWindowHost* registered = nullptr;
}

TMainWindowHost* MainWindowHost() { return registered; }

void RegisterMainWindowHost(TMainWindowHost* Host) { registered = Host; }

void CentreOverMainWindow(QWidget* Window)
{
    CentreOver(Window, registered ? registered->MainWindow() : nullptr);
}

void CentreOver(QWidget* Window, const QWidget* Owner)
{
    if (!Owner)
        return;
    const QRect over = Owner->frameGeometry(), own = Window->frameGeometry();
    Window->move(over.left() + (over.width() - own.width()) / 2, over.top() + (over.height() - own.height()) / 2);
}
