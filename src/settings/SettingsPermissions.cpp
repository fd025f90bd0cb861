#include "settings/SettingsPermissions.h"

#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QTimer>

namespace settings {

QString permissionTitle(PrivacyPermission permission) {
    switch (permission) {
    case PrivacyPermission::screenRecording:
        //: Settings › Permissions: what the program may be refused, named as the user knows it
        return QCoreApplication::translate("SettingsPermissions", "Screen Recording");
    case PrivacyPermission::inputMonitoring:
        //: Settings › Permissions: what the program may be refused, named as the user knows it
        return QCoreApplication::translate("SettingsPermissions", "Input Monitoring");
    case PrivacyPermission::camera:
        //: Settings › Permissions: what the program may be refused, named as the user knows it
        return QCoreApplication::translate("SettingsPermissions", "Camera");
    case PrivacyPermission::microphone:
        //: Settings › Permissions: what the program may be refused, named as the user knows it
        return QCoreApplication::translate("SettingsPermissions", "Microphone");
    case PrivacyPermission::accessibility:
        //: Settings › Permissions: what the program may be refused, named as the user knows it
        return QCoreApplication::translate("SettingsPermissions", "Accessibility");
    }
    return {};
}

QString permissionPurpose(PrivacyPermission permission) {
    switch (permission) {
    case PrivacyPermission::screenRecording:
        //: Settings › Permissions: what the Screen Recording permission is for
        return QCoreApplication::translate("SettingsPermissions", "Needed for every capture.");
    case PrivacyPermission::inputMonitoring:
        //: Settings › Permissions: what the Input Monitoring permission is for
        return QCoreApplication::translate("SettingsPermissions",
                                           "Needed to show keystrokes in recordings.");
    case PrivacyPermission::camera:
        //: Settings › Permissions: what the Camera permission is for
        return QCoreApplication::translate("SettingsPermissions",
                                           "Needed for the camera bubble in recordings.");
    case PrivacyPermission::microphone:
        //: Settings › Permissions: what the Microphone permission is for
        return QCoreApplication::translate("SettingsPermissions", "Needed to record your voice.");
    case PrivacyPermission::accessibility:
        //: Settings › Permissions: what the Accessibility permission is for
        return QCoreApplication::translate("SettingsPermissions",
                                           "Needed for Auto-Scroll in scrolling captures.");
    }
    return {};
}

SettingsPermissions::SettingsPermissions(platform::PermissionProbe& probe, QObject* parent)
    : QObject(parent), probe_(probe) {
    for (const PrivacyPermission permission : shownPermissions()) {
        const platform::PermissionStatus status = probe_.status(permission);
        if (status.granted) {
            granted_.insert(permission);
        } else {
            reasons_.insert(permission, status.reason);
        }
    }
}

QList<PrivacyPermission> SettingsPermissions::shownPermissions() {
    return {PrivacyPermission::screenRecording, PrivacyPermission::inputMonitoring,
            PrivacyPermission::camera, PrivacyPermission::microphone,
            PrivacyPermission::accessibility};
}

bool SettingsPermissions::canOpenSettings(PrivacyPermission permission) const {
    return probe_.canOpenSettings(permission);
}

PermissionRowState SettingsPermissions::state(PrivacyPermission permission) const {
    if (granted_.contains(permission)) {
        return PermissionRowState::granted;
    }
    // A camera or a microphone works as soon as the device is open to us; the
    // X server's features need a new connection, so a fresh start.
    if (openedSettings_.contains(permission) && permission != PrivacyPermission::camera &&
        permission != PrivacyPermission::microphone) {
        return PermissionRowState::restart;
    }
    return PermissionRowState::openSettings;
}

void SettingsPermissions::update() {
    platform::assertMainThread();
    QSet<PrivacyPermission> granted;
    QHash<PrivacyPermission, QString> reasons;
    for (const PrivacyPermission permission : shownPermissions()) {
        const platform::PermissionStatus status = probe_.status(permission);
        if (status.granted) {
            granted.insert(permission);
        } else {
            reasons.insert(permission, status.reason);
        }
    }
    if (granted == granted_ && reasons == reasons_) {
        return;
    }
    granted_ = std::move(granted);
    reasons_ = std::move(reasons);
    Q_EMIT changed();
}

void SettingsPermissions::startPolling() {
    platform::assertMainThread();
    update();
    if (timer_ != nullptr) {
        return;
    }
    timer_ = new QTimer(this);
    timer_->setInterval(2000);
    connect(timer_, &QTimer::timeout, this, &SettingsPermissions::update);
    timer_->start();
}

void SettingsPermissions::stopPolling() {
    delete timer_;
    timer_ = nullptr;
}

void SettingsPermissions::openSettings(PrivacyPermission permission) {
    if (!openedSettings_.contains(permission)) {
        openedSettings_.insert(permission);
        Q_EMIT changed();
    }
    probe_.openSettings(permission);
}

void SettingsPermissions::request(PrivacyPermission /*permission*/) {
    update();
}

} // namespace settings
