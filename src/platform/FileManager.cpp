#include "platform/FileManager.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMetaObject>
#include <QUrl>

namespace platform {

namespace {

// A file manager started by the bus for this request may take a moment to
// answer; one that does not answer by then gets the folder opened instead.
constexpr int kReplyTimeoutMs = 10000;

void later(std::function<void(bool)> done, bool shown) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [done = std::move(done), shown] { done(shown); },
        Qt::QueuedConnection);
}

} // namespace

void showInFileManager(const QStringList& paths, std::function<void(bool shown)> done) {
    showInFileManager(QDBusConnection::sessionBus(), paths, std::move(done));
}

void showInFileManager(const QDBusConnection& bus, const QStringList& paths,
                       std::function<void(bool shown)> done) {
    if (!bus.isConnected() || paths.isEmpty()) {
        later(std::move(done), false);
        return;
    }
    QStringList uris;
    for (const QString& path : paths) {
        uris.append(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    // No startup notification id: the file manager raises its window itself.
    call << uris << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kReplyTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         done(!finished->isError());
                     });
}

} // namespace platform
