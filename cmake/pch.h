// Precompiled header shared by every library: the heavy standard and Qt headers.
#pragma once
#ifdef __cplusplus
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>
#include <QtCore>
#include <QtGui>
#include <QtWidgets>
#endif
