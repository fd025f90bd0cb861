// The FileManager1 request on a private bus of the test's own, with a file
// manager played by the test.
#include "platform/FileManager.h"

#include "support/TempDir.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

// Answers ShowItems as the desktop's file manager would, or refuses.
class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList uris;
    QString startupId;
    bool refuse = false;

public Q_SLOTS:
    void ShowItems(const QStringList& items, const QString& startup) {
        uris = items;
        startupId = startup;
        if (refuse) {
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("no"));
        }
    }
};

// A session bus of its own, without service activation, so that no file
// manager installed on the machine answers in place of the test's.
class PrivateBus {
public:
    PrivateBus() {
        const QString config = dir_.file(QStringLiteral("bus.conf"));
        testsupport::writeAll(config, QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC
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
    ~PrivateBus() {
        for (const QString& name : names_) {
            QDBusConnection::disconnectFromBus(name);
        }
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool running() const { return !address_.isEmpty(); }
    QDBusConnection connect(const QString& name) {
        names_.append(name);
        return QDBusConnection::connectToBus(address_, name);
    }

private:
    testsupport::TempDir dir_;
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

std::optional<bool> showAndWait(const QDBusConnection& bus, const QStringList& paths) {
    std::optional<bool> shown;
    bool returned = false;
    platform::showInFileManager(bus, paths, [&](bool result) {
        // Never from inside the call: callers may still be setting up.
        EXPECT_TRUE(returned);
        shown = result;
    });
    returned = true;
    if (!QTest::qWaitFor([&] { return shown.has_value(); }, 15000)) {
        ADD_FAILURE() << "no answer";
    }
    return shown;
}

TEST(FileManager, AskedOverTheBusForTheFilesAsUris) {
    PrivateBus bus;
    ASSERT_TRUE(bus.running());
    QDBusConnection fileManagerSide = bus.connect(QStringLiteral("file-manager"));
    QDBusConnection appSide = bus.connect(QStringLiteral("app"));
    ASSERT_TRUE(fileManagerSide.isConnected());
    ASSERT_TRUE(appSide.isConnected());

    // No file manager on the bus yet.
    EXPECT_EQ(showAndWait(appSide, {QStringLiteral("/tmp/a.png")}), false);

    FakeFileManager fileManager;
    ASSERT_TRUE(fileManagerSide.registerObject(QStringLiteral("/org/freedesktop/FileManager1"),
                                               &fileManager, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(fileManagerSide.registerService(QStringLiteral("org.freedesktop.FileManager1")));
    EXPECT_EQ(showAndWait(appSide, {QStringLiteral("/home/ann/Shots/Vexlin Capture #1.png")}),
              true);
    EXPECT_EQ(fileManager.uris,
              QStringList{QStringLiteral("file:///home/ann/Shots/Vexlin%20Capture%20%231.png")});
    EXPECT_EQ(fileManager.startupId, QString());

    fileManager.refuse = true;
    EXPECT_EQ(showAndWait(appSide, {QStringLiteral("/tmp/a.png")}), false);
}

TEST(FileManager, WithoutABusNothingIsShown) {
    const QDBusConnection none(QStringLiteral("never connected"));
    EXPECT_EQ(showAndWait(none, {QStringLiteral("/tmp/a.png")}), false);
    EXPECT_EQ(showAndWait(QDBusConnection::sessionBus(), {}), false);
}

} // namespace

#include "FileManagerTest.moc"
