#include "app/RecentCaptures.h"

#include "platform/MainThread.h"

namespace app {

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

} // namespace app
