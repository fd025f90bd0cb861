#pragma once

#include "platform/PermissionProbe.h"

#include <QFutureWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class QTimer;

namespace settings {

using PrivacyPermission = platform::Permission;

// The row a permission gets in the Permissions pane. Nothing on Linux waits
// for a first question, so notAskedYet never comes up; it stays for the
// pane's sake.
enum class PermissionRowState { granted, notAskedYet, openSettings, restart };

QString permissionTitle(PrivacyPermission permission);
QString permissionPurpose(PrivacyPermission permission);
// The name of the permission's symbol in the Permissions pane (see
// settingsSymbol()).
QString permissionSymbol(PrivacyPermission permission);

// What the settings window knows about the permissions: which are granted,
// why the others are not, and for which the user opened the desktop's
// settings. While the window is shown it asks the probe again every 2 s and
// says `changed` only when something did change. Main thread only; a read
// that may wait on another program (the sound server) runs on a worker
// thread, one at a time, and its answer shows when it comes.
class SettingsPermissions : public QObject {
    Q_OBJECT
public:
    explicit SettingsPermissions(platform::PermissionProbe& probe, QObject* parent = nullptr);
    ~SettingsPermissions() override;

    // All five, in the pane's order.
    static QList<PrivacyPermission> shownPermissions();

    const QSet<PrivacyPermission>& granted() const { return granted_; }
    bool isGranted(PrivacyPermission permission) const { return granted_.contains(permission); }
    // Why the permission is not granted; empty when it is.
    QString reason(PrivacyPermission permission) const { return reasons_.value(permission); }
    const QSet<PrivacyPermission>& openedSettings() const { return openedSettings_; }
    bool canOpenSettings(PrivacyPermission permission) const;

    PermissionRowState state(PrivacyPermission permission) const;

    // Reads every permission again; `changed` only when a state or a reason
    // differs from before. A slow read is started here and answers later.
    void update();
    // Whether a slow read is on its way (tests).
    bool isReadingSlowly() const { return slowRead_.isRunning(); }
    void startPolling();
    void stopPolling();
    bool isPolling() const { return timer_ != nullptr; }

    // Remembers the visit and opens the desktop's settings on the permission.
    void openSettings(PrivacyPermission permission);
    // There is no question to ask on Linux: a request reads the state again.
    void request(PrivacyPermission permission);

Q_SIGNALS:
    void changed();

private:
    using Statuses = QHash<PrivacyPermission, platform::PermissionStatus>;
    void startSlowRead();
    void publish();

    platform::PermissionProbe& probe_;
    // The last answer of each read; a slow one is missing until it first
    // answers.
    Statuses statuses_;
    QFutureWatcher<Statuses> slowRead_;
    QSet<PrivacyPermission> granted_;
    QHash<PrivacyPermission, QString> reasons_;
    QSet<PrivacyPermission> openedSettings_;
    QTimer* timer_ = nullptr;
};

} // namespace settings
