#pragma once

#include <QCoreApplication>
#include <QThread>
#include <QtGlobal>

#include <source_location>

namespace platform {

// Whether the caller runs on the thread of the application object, where
// every window, model and the clipboard live. True before the application
// object exists.
inline bool onMainThread() {
    return !QCoreApplication::instance() ||
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Stops a debug build that calls main-thread-only code from another thread,
// naming the caller; does nothing in a release build.
inline void
assertMainThread([[maybe_unused]] std::source_location caller = std::source_location::current()) {
#if !defined(QT_NO_DEBUG)
    if (!onMainThread()) {
        qFatal("%s:%u: %s runs off the main thread", caller.file_name(),
               static_cast<unsigned>(caller.line()), caller.function_name());
    }
#endif
}

} // namespace platform
