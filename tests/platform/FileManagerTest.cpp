// The FileManager1 request on a private bus of the test's own, with a file
// manager played by the test.
#include "platform/FileManager.h"

#include "support/PrivateBus.h"

#include <QDBusConnection>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

using testsupport::FakeFileManager;
using testsupport::PrivateBus;

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
    ASSERT_TRUE(fileManager.serveOn(fileManagerSide));
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
