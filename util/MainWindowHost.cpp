#include "util/MainWindowHost.h"

namespace {
TMainWindowHost* registered = nullptr;
}

TMainWindowHost* MainWindowHost() { return registered; }

void RegisterMainWindowHost(TMainWindowHost* Host) { registered = Host; }
