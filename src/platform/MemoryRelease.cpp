#include "platform/MemoryRelease.h"

#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <malloc.h>

namespace platform {

namespace {

// Two arenas keep the main thread from waiting on an encoding worker's
// allocations, and no more than two sets of free lists linger.
constexpr int kArenas = 2;
// Blocks from here up (whole pictures of big displays, their encoded files)
// are mapped on their own; smaller ones are reused from the arenas, which
// saves a fresh mapping's page faults on every capture of a common display.
// Fixing the size also stops glibc from raising it.
constexpr int kMappedFrom = 16 << 20;

} // namespace

void configureAllocator() {
    mallopt(M_ARENA_MAX, kArenas);
    mallopt(M_MMAP_THRESHOLD, kMappedFrom);
}

void returnFreeMemory() {
    malloc_trim(0);
}

void returnFreeMemorySoon(std::chrono::milliseconds delay) {
    assertMainThread();
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        returnFreeMemory();
        return;
    }
    // Owned by the application object, so it goes with it.
    static QPointer<QTimer> timer;
    if (timer == nullptr) {
        timer = new QTimer(app);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, timer, &returnFreeMemory);
    }
    timer->start(delay);
}

} // namespace platform
