#include "settings/SettingsPanes.h"
#include "settings/SettingsPermissions.h"
#include "settings/SettingsWindowController.h"

#include "SettingsFixture.h"
#include "app/AppPresence.h"
#include "support/EventLoop.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

namespace {

using platform::Permission;
using settings::PermissionRowState;
using settingstest::FakeProbe;

TEST(SettingsPermissions, RowStatesFollowTheProbeAndTheVisits) {
    FakeProbe probe;
    probe.granted = {Permission::screenRecording};
    probe.withSettings = {Permission::microphone, Permission::inputMonitoring};
    settings::SettingsPermissions permissions(probe);

    struct Case {
        Permission permission;
        bool visit;
        PermissionRowState state;
    };
    const Case cases[] = {
        {Permission::screenRecording, true, PermissionRowState::granted},
        {Permission::inputMonitoring, false, PermissionRowState::openSettings},
        {Permission::inputMonitoring, true, PermissionRowState::restart},
        // A device works once it is open to us; no restart for it.
        {Permission::microphone, true, PermissionRowState::openSettings},
        {Permission::accessibility, false, PermissionRowState::openSettings},
    };
    for (const Case& c : cases) {
        if (c.visit) {
            permissions.openSettings(c.permission);
        }
        EXPECT_EQ(permissions.state(c.permission), c.state) << static_cast<int>(c.permission);
    }
    EXPECT_EQ(probe.opened.size(), 3);
    EXPECT_EQ(permissions.reason(Permission::camera), QStringLiteral("No camera found"));

    // Granted wins over a visit.
    probe.granted.insert(Permission::inputMonitoring);
    permissions.request(Permission::inputMonitoring);
    EXPECT_EQ(permissions.state(Permission::inputMonitoring), PermissionRowState::granted);
}

TEST(SettingsPermissions, PollingKeepsOneTimerAndSaysOnlyWhatChanged) {
    FakeProbe probe;
    settings::SettingsPermissions permissions(probe);
    QSignalSpy changed(&permissions, &settings::SettingsPermissions::changed);

    permissions.startPolling();
    permissions.startPolling();
    EXPECT_EQ(permissions.findChildren<QTimer*>().size(), 1);
    EXPECT_EQ(changed.count(), 0) << "nothing changed since the model was made";

    probe.granted.insert(Permission::camera);
    permissions.update();
    EXPECT_EQ(changed.count(), 1);
    permissions.update();
    EXPECT_EQ(changed.count(), 1);
    probe.reasons.insert(Permission::microphone, QStringLiteral("No microphone found"));
    permissions.update();
    EXPECT_EQ(changed.count(), 2) << "a new reason is a change too";

    permissions.stopPolling();
    EXPECT_TRUE(permissions.findChildren<QTimer*>().isEmpty());
}

TEST(PermissionsPane, RowsShowAllowedAButtonOnlyWhereSettingsOpenAndElseTheReason) {
    FakeProbe probe;
    probe.granted = {Permission::screenRecording};
    probe.withSettings = {Permission::microphone};
    probe.reasons = {{Permission::camera, QStringLiteral("No camera found")}};
    settings::SettingsPermissions permissions(probe);
    std::unique_ptr<QWidget> pane(settings::makePermissionsPane(permissions));

    const auto trailing = [&](Permission permission) {
        QWidget* row = pane->findChild<QWidget*>(
            QStringLiteral("permission%1").arg(static_cast<int>(permission)));
        return row->findChild<QWidget*>(QStringLiteral("trailing"));
    };
    EXPECT_TRUE(qobject_cast<QLabel*>(trailing(Permission::screenRecording))
                    ->text()
                    .contains(QStringLiteral("Allowed")));
    EXPECT_EQ(qobject_cast<QLabel*>(trailing(Permission::camera))->text(),
              QStringLiteral("No camera found"));
    auto* open = qobject_cast<QPushButton*>(trailing(Permission::microphone));
    ASSERT_NE(open, nullptr);
    open->click();
    EXPECT_EQ(probe.opened, QList<Permission>{Permission::microphone});

    probe.granted.insert(Permission::camera);
    permissions.update();
    EXPECT_TRUE(qobject_cast<QLabel*>(trailing(Permission::camera))
                    ->text()
                    .contains(QStringLiteral("Allowed")));
}

// Under the rig's Xvfb the session features are there and the real probe
// says so; nothing is asked of anyone.
TEST(PermissionProbeOnX11, GrantsScreenCaptureKeystrokesAndScrolling) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        GTEST_SKIP() << "needs an X server";
    }
    platform::PermissionProbe& probe = platform::PermissionProbe::system();
    for (const Permission permission :
         {Permission::screenRecording, Permission::inputMonitoring, Permission::accessibility}) {
        const platform::PermissionStatus status = probe.status(permission);
        EXPECT_TRUE(status.granted)
            << static_cast<int>(permission) << " " << status.reason.toStdString();
    }
}

} // namespace
