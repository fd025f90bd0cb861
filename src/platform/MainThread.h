#pragma once

#include <QCoreApplication>
#include <QThread>

namespace platform {

// Whether the caller runs on the thread of the application object, where
// every window, model and the clipboard live. True before the application
// object exists.
inline bool onMainThread() {
    return !QCoreApplication::instance() ||
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace platform
