#pragma once

#include <QCoreApplication>
#include <QThread>

namespace annotation {

// Models, documents and the store belong to the main thread.
inline void assertMainThread() {
    Q_ASSERT(!QCoreApplication::instance() ||
             QThread::currentThread() == QCoreApplication::instance()->thread());
}

} // namespace annotation
