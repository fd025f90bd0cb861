#include "desktop/SerialQueue.h"

#include <QCoreApplication>

namespace desktop {

SerialQueue::SerialQueue(const QString& name) : context_(new QObject) {
    // Qt gives the system thread this name (cut to the system's limit).
    thread_.setObjectName(name);
    context_->moveToThread(&thread_);
    thread_.start();
}

SerialQueue::~SerialQueue() {
    // Children of the context (timers) go on their own thread.
    QObject* context = context_;
    QMetaObject::invokeMethod(
        context_, [context] { qDeleteAll(context->children()); }, Qt::QueuedConnection);
    thread_.quit();
    thread_.wait();
    delete context_;
}

void SerialQueue::async(std::function<void()> task) {
    QMetaObject::invokeMethod(context_, std::move(task), Qt::QueuedConnection);
}

void SerialQueue::sync(const std::function<void()>& task) {
    Q_ASSERT(!isCurrent());
    QMetaObject::invokeMethod(
        context_, [&task] { task(); }, Qt::BlockingQueuedConnection);
}

} // namespace desktop
