#pragma once

#include <QCoreApplication>
#include <QThread>
#include <QtGlobal>

namespace platform {

// Whether the caller runs on the thread of the application object, where
// every window, model and the clipboard live. True before the application
// object exists.
inline bool onMainThread() {
    return !QCoreApplication::instance() ||
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Stops a debug build that calls main-thread-only code from another thread
// (the debugger's backtrace names the caller); does nothing in a release build.
inline void assertMainThread() {
#if !defined(QT_NO_DEBUG)
    if (!onMainThread()) {
        qFatal("main-thread-only code runs on another thread");
    }
#endif
}

} // namespace platform
