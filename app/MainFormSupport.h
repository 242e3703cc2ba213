// Small helpers the main window's command units share: the hourglass (util/libControl.h).
// UI thread only.
#pragma once

#include <functional>
#include <utility>

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QObject>

#include "util/libControl.h"
