// Headers most unit-test files include, on top of the program's own
// (cmake/Precompiled.h), compiled once for every test program: with only
// GoogleTest here, parsing Qt's widget and test headers again took about a
// quarter of each test file's compile time.
#pragma once

#ifdef __cplusplus
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QWidget>
#endif
