#include "settings/SettingsPanes.h"
#include "settings/SettingsPermissions.h"
#include "settings/SettingsWindowController.h"

#include "SettingsFixture.h"
#include "app/AppPresence.h"
#include "support/EventLoop.h"

#include <QLabel>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
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

// A probe whose microphone read waits, as a hung sound server makes it, until
// the test lets it answer.
class HangingMicrophoneProbe : public FakeProbe {
public:
    platform::PermissionStatus status(Permission permission) override {
        if (permission != Permission::microphone) {
            return FakeProbe::status(permission);
        }
        ++microphoneReads;
        answer.acquire();
        return {microphoneFound.loadAcquire() != 0, QStringLiteral("No microphone found")};
    }
    bool readsSlowly(Permission permission) const override {
        return permission == Permission::microphone;
    }

    QSemaphore answer;
    QAtomicInt microphoneReads;
    QAtomicInt microphoneFound;
};

TEST(SettingsPermissions, AHangingSoundServerHoldsUpNeitherTheWindowNorOtherRows) {
    HangingMicrophoneProbe probe;
    settings::SettingsPermissions permissions(probe);
    QSignalSpy changed(&permissions, &settings::SettingsPermissions::changed);

    // Polls while the first read hangs return at once, show the other rows'
    // changes and start no second read.
    probe.granted.insert(Permission::camera);
    for (int poll = 0; poll < 3; ++poll) {
        permissions.update();
    }
    EXPECT_TRUE(permissions.isGranted(Permission::camera));
    EXPECT_FALSE(permissions.isGranted(Permission::microphone));
    EXPECT_TRUE(permissions.isReadingSlowly());

    probe.microphoneFound.storeRelease(1);
    probe.answer.release();
    ASSERT_TRUE(
        testsupport::waitFor(5000, [&] { return permissions.isGranted(Permission::microphone); }));
    EXPECT_EQ(probe.microphoneReads.loadAcquire(), 1);
    EXPECT_EQ(changed.count(), 2);

    // The next poll reads again, off the main thread as before.
    permissions.update();
    probe.answer.release();
    ASSERT_TRUE(testsupport::waitFor(5000, [&] { return !permissions.isReadingSlowly(); }));
    EXPECT_EQ(probe.microphoneReads.loadAcquire(), 2);
}

TEST(PermissionsPane, RowsShowAvailableAButtonOnlyWhereSettingsOpenAndElseTheReason) {
    FakeProbe probe;
    probe.granted = {Permission::screenRecording};
    probe.withSettings = {Permission::microphone};
    probe.reasons = {{Permission::camera, QStringLiteral("No camera found")}};
    settings::SettingsPermissions permissions(probe);
    std::unique_ptr<QWidget> pane(settings::makePermissionsPane(permissions));

    const auto row = [&](Permission permission) {
        return pane->findChild<QWidget*>(
            QStringLiteral("permission%1").arg(static_cast<int>(permission)));
    };
    const auto trailing = [&](Permission permission) {
        return row(permission)->findChild<QWidget*>(QStringLiteral("trailing"));
    };
    const auto available = [&](Permission permission) {
        const auto* text =
            trailing(permission)->findChild<QLabel*>(QStringLiteral("availableText"));
        return text != nullptr && text->text() == QStringLiteral("Available");
    };
    EXPECT_TRUE(available(Permission::screenRecording));
    EXPECT_EQ(qobject_cast<QLabel*>(trailing(Permission::camera))->text(),
              QStringLiteral("No camera found"));
    auto* open = qobject_cast<QPushButton*>(trailing(Permission::microphone));
    ASSERT_NE(open, nullptr);
    open->click();
    EXPECT_EQ(probe.opened, QList<Permission>{Permission::microphone});

    probe.granted.insert(Permission::camera);
    permissions.update();
    EXPECT_TRUE(available(Permission::camera));
}

TEST(PermissionsPane, TheLabelActsOnlyWhereItsClickMovesThePermissionForward) {
    FakeProbe probe;
    probe.granted = {Permission::screenRecording};
    probe.withSettings = {Permission::screenRecording, Permission::inputMonitoring,
                          Permission::microphone};
    settings::SettingsPermissions permissions(probe);
    std::unique_ptr<QWidget> pane(settings::makePermissionsPane(permissions));
    pane->resize(640, 480);
    pane->show();

    const auto label = [&](Permission permission) {
        return pane
            ->findChild<QWidget*>(QStringLiteral("permission%1").arg(static_cast<int>(permission)))
            ->findChild<QWidget*>(QStringLiteral("permissionLabel"));
    };
    const auto clickLabel = [&](Permission permission) {
        // Rows are built afresh after each change; let them lay out.
        QCoreApplication::processEvents();
        QWidget* target = label(permission);
        ASSERT_GT(target->height(), 3);
        // Where the purpose text lies, away from the title.
        QTest::mouseClick(target, Qt::LeftButton, {},
                          QPoint(target->width() / 2, target->height() - 3));
        QCoreApplication::processEvents();
    };
    struct Case {
        Permission permission;
        QList<Permission> opened;
    };
    const Case cases[] = {
        // Granted: the label is no button.
        {Permission::screenRecording, {}},
        // No settings program changes the camera here: nothing to do.
        {Permission::camera, {}},
        {Permission::inputMonitoring, {Permission::inputMonitoring}},
        // Now a restart row: its label opens the settings again.
        {Permission::inputMonitoring, {Permission::inputMonitoring, Permission::inputMonitoring}},
        {Permission::microphone,
         {Permission::inputMonitoring, Permission::inputMonitoring, Permission::microphone}},
    };
    for (const Case& c : cases) {
        clickLabel(c.permission);
        EXPECT_EQ(probe.opened, c.opened) << static_cast<int>(c.permission);
    }
    EXPECT_EQ(permissions.state(Permission::inputMonitoring), PermissionRowState::restart);
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
