#pragma once

// For fuzz targets of stored values: the program decodes them with its
// application running, and QSettings' stream form can hold pictures, which
// need one.

#include <QByteArray>
#include <QGuiApplication>

#define VEXLIN_FUZZ_WITH_APPLICATION                                                               \
    extern "C" int LLVMFuzzerInitialize(int*, char***) {                                           \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                                   \
        static int argc = 1;                                                                       \
        static char name[] = "fuzz";                                                               \
        static char* argv[] = {name, nullptr};                                                     \
        static QGuiApplication application(argc, argv);                                            \
        return 0;                                                                                  \
    }
