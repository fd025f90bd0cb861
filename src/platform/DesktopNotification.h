#pragma once

#include <QDBusConnection>
#include <QString>

#include <functional>

namespace platform {

// Posts one notification through the desktop's notification server
// (org.freedesktop.Notifications on the session bus), the way a program
// without a window says something on Linux. `done` runs later on the calling
// thread with whether a server took it; without a bus or a server it is
// false, and the caller says it some other way.
void postNotification(const QString& appName, const QString& summary, const QString& body,
                      std::function<void(bool posted)> done);
void postNotification(const QDBusConnection& bus, const QString& appName, const QString& summary,
                      const QString& body, std::function<void(bool posted)> done);

} // namespace platform
