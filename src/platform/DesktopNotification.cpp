#include "platform/DesktopNotification.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QTimer>
#include <QVariantMap>

namespace platform {

namespace {

// A server that has not answered by then is taken for none: the word must
// still reach the user while the start is fresh.
constexpr int kReplyTimeoutMs = 3000;

} // namespace

void postNotification(const QString& appName, const QString& summary, const QString& body,
                      std::function<void(bool posted)> done) {
    postNotification(QDBusConnection::sessionBus(), appName, summary, body, std::move(done));
}

void postNotification(const QDBusConnection& bus, const QString& appName, const QString& summary,
                      const QString& body, std::function<void(bool posted)> done) {
    if (!bus.isConnected()) {
        QTimer::singleShot(0, [done = std::move(done)] { done(false); });
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // No icon, no actions, replacing nothing; the server's own display time.
    call << appName << quint32(0) << QString() << summary << body << QStringList() << QVariantMap()
         << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kReplyTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         done(!finished->isError());
                     });
}

} // namespace platform
