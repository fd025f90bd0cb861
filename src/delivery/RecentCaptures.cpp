#include "delivery/RecentCaptures.h"

#include "platform/MainThread.h"

#include <QPointer>
#include <QTimer>

namespace delivery {

namespace {

// Answers later on the main thread, and only while the context lives.
template <typename Value>
void answerLater(const QObject* context, std::function<void(Value)> done, Value value) {
    QTimer::singleShot(0, context, [done = std::move(done), value = std::move(value)] {
        done(value);
    });
}

} // namespace

RecentCaptures& RecentCaptures::shared() {
    platform::assertMainThread();
    static RecentCaptures* const instance = new RecentCaptures;
    return *instance;
}

void RecentCaptures::editorOpened() {
    platform::assertMainThread();
    ++openEditors_;
    observesFolderSetting_ = true;
    Q_EMIT openEditorsChanged();
}

void RecentCaptures::editorClosed() {
    platform::assertMainThread();
    if (openEditors_ == 0) {
        return;
    }
    --openEditors_;
    Q_EMIT openEditorsChanged();
}

void RecentCaptures::refresh() {
    platform::assertMainThread();
}

void RecentCaptures::newestCapture(std::function<void(std::optional<QString>)> done) {
    platform::assertMainThread();
    answerLater<std::optional<QString>>(this, std::move(done), std::nullopt);
}

void RecentCaptures::thumbnail(const app::RecentFile&, double, const QObject* context,
                               std::function<void(const QImage&)> done) {
    platform::assertMainThread();
    QTimer::singleShot(0, context, [done = std::move(done)] { done(QImage()); });
}

void RecentCaptures::duration(const app::RecentFile&, const QObject* context,
                              std::function<void(std::optional<double>)> done) {
    platform::assertMainThread();
    answerLater<std::optional<double>>(context, std::move(done), std::nullopt);
}

void RecentCaptures::moveToTrash(const app::RecentFile&) {
    platform::assertMainThread();
}

void RecentCaptures::copy(const app::RecentFile&) {
    platform::assertMainThread();
}

} // namespace delivery
