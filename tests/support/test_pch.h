#pragma once
#ifdef __cplusplus
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <QtCore>
#include <QtGui>
#include <QtWidgets>
#endif
