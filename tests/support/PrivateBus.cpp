#include "support/PrivateBus.h"

namespace testsupport {

PrivateBus::PrivateBus() {
    const QString config = dir_.file(QStringLiteral("bus.conf"));
    writeAll(config, QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
                         .arg(dir_.path())
                         .toUtf8());
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    if (daemon_.waitForStarted(5000) && daemon_.waitForReadyRead(5000)) {
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
}

PrivateBus::~PrivateBus() {
    for (const QString& name : names_) {
        QDBusConnection::disconnectFromBus(name);
    }
    daemon_.kill();
    daemon_.waitForFinished(5000);
}

QDBusConnection PrivateBus::connect(const QString& name) {
    names_.append(name);
    return QDBusConnection::connectToBus(address_, name);
}

bool FakeFileManager::serveOn(QDBusConnection bus) {
    return bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), this,
                              QDBusConnection::ExportAllSlots) &&
           bus.registerService(QStringLiteral("org.freedesktop.FileManager1"));
}

void FakeFileManager::ShowItems(const QStringList& items, const QString& startup) {
    ++calls;
    uris = items;
    startupId = startup;
    if (refuse) {
        sendErrorReply(QDBusError::AccessDenied, QStringLiteral("no"));
    }
}

} // namespace testsupport
