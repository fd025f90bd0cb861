#pragma once

#include <QObject>
#include <QString>
#include <QThread>

#include <functional>

namespace desktop {

// One named worker thread that runs tasks one after the other, in the order
// they were given, with an event loop of its own (so timers can live on it).
// The thread ends when the queue is destroyed, after the tasks already given.
class SerialQueue {
public:
    explicit SerialQueue(const QString& name);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    // Runs `task` on the queue later.
    void async(std::function<void()> task);
    // Runs `task` on the queue and waits for it. Never from the queue itself.
    void sync(const std::function<void()>& task);
    // An object that lives on the queue's thread: parent and context of what
    // runs there.
    QObject* context() const { return context_; }
    bool isCurrent() const { return QThread::currentThread() == &thread_; }

private:
    QThread thread_;
    QObject* context_;
};

} // namespace desktop
