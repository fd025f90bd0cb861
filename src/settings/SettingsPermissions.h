#pragma once

#include "platform/PermissionProbe.h"

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

// What the settings window knows about the permissions: which are granted,
// why the others are not, and for which the user opened the desktop's
// settings. While the window is shown it asks the probe again every 2 s and
// says `changed` only when something did change. Main thread only.
class SettingsPermissions : public QObject {
    Q_OBJECT
public:
    explicit SettingsPermissions(platform::PermissionProbe& probe, QObject* parent = nullptr);

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
    // differs from before.
    void update();
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
    platform::PermissionProbe& probe_;
    QSet<PrivacyPermission> granted_;
    QHash<PrivacyPermission, QString> reasons_;
    QSet<PrivacyPermission> openedSettings_;
    QTimer* timer_ = nullptr;
};

} // namespace settings
