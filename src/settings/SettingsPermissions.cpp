#include "settings/SettingsPermissions.h"

#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace settings {

QString permissionTitle(PrivacyPermission permission) {
    switch (permission) {
    case PrivacyPermission::screenRecording:
        //: Settings › Permissions: the X server lets programs read the screen
        return QCoreApplication::translate("SettingsPermissions", "Screen Access");
    case PrivacyPermission::inputMonitoring:
        //: Settings › Permissions: the X server reports key presses and clicks (its RECORD
        //: extension)
        return QCoreApplication::translate("SettingsPermissions", "Keyboard and Mouse Events");
    case PrivacyPermission::camera:
        //: Settings › Permissions: a camera device this user may open
        return QCoreApplication::translate("SettingsPermissions", "Camera");
    case PrivacyPermission::microphone:
        //: Settings › Permissions: a microphone of the sound server
        return QCoreApplication::translate("SettingsPermissions", "Microphone");
    case PrivacyPermission::accessibility:
        //: Settings › Permissions: the X server takes scroll events from programs (its XTEST
        //: extension)
        return QCoreApplication::translate("SettingsPermissions", "Simulated Input");
    }
    return {};
}

QString permissionPurpose(PrivacyPermission permission) {
    switch (permission) {
    case PrivacyPermission::screenRecording:
        //: Settings › Permissions: what screen access is for
        return QCoreApplication::translate("SettingsPermissions", "Needed for every capture.");
    case PrivacyPermission::inputMonitoring:
        //: Settings › Permissions: what the keyboard and mouse events are for
        return QCoreApplication::translate("SettingsPermissions",
                                           "Needed to show keystrokes in recordings.");
    case PrivacyPermission::camera:
        //: Settings › Permissions: what the camera is for
        return QCoreApplication::translate("SettingsPermissions",
                                           "Needed for the camera bubble in recordings.");
    case PrivacyPermission::microphone:
        //: Settings › Permissions: what the microphone is for
        return QCoreApplication::translate("SettingsPermissions", "Needed to record your voice.");
    case PrivacyPermission::accessibility:
        //: Settings › Permissions: what simulated input is for
        return QCoreApplication::translate("SettingsPermissions",
                                           "Needed for Auto-Scroll in scrolling captures.");
    }
    return {};
}

QString permissionSymbol(PrivacyPermission permission) {
    switch (permission) {
    case PrivacyPermission::screenRecording:
        return QStringLiteral("display");
    case PrivacyPermission::inputMonitoring:
        return QStringLiteral("keyboard");
    case PrivacyPermission::camera:
        return QStringLiteral("camera");
    case PrivacyPermission::microphone:
        return QStringLiteral("mic");
    case PrivacyPermission::accessibility:
        return QStringLiteral("cursorarrow.motionlines");
    }
    return {};
}

SettingsPermissions::SettingsPermissions(platform::PermissionProbe& probe, QObject* parent)
    : QObject(parent), probe_(probe) {
    connect(&slowRead_, &QFutureWatcher<Statuses>::finished, this, [this] {
        platform::assertMainThread();
        const Statuses answered = slowRead_.result();
        for (auto it = answered.begin(); it != answered.end(); ++it) {
            statuses_.insert(it.key(), it.value());
        }
        publish();
    });
    update();
}

SettingsPermissions::~SettingsPermissions() {
    // The read holds the probe; it must not outlive whoever owns the probe.
    slowRead_.waitForFinished();
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
    for (const PrivacyPermission permission : shownPermissions()) {
        if (!probe_.readsSlowly(permission)) {
            statuses_.insert(permission, probe_.status(permission));
        }
    }
    startSlowRead();
    publish();
}

void SettingsPermissions::startSlowRead() {
    if (slowRead_.isRunning()) {
        return;
    }
    QList<PrivacyPermission> slow;
    for (const PrivacyPermission permission : shownPermissions()) {
        if (probe_.readsSlowly(permission)) {
            slow.append(permission);
        }
    }
    if (slow.isEmpty()) {
        return;
    }
    slowRead_.setFuture(QtConcurrent::run([&probe = probe_, slow] {
        Statuses answered;
        for (const PrivacyPermission permission : slow) {
            answered.insert(permission, probe.status(permission));
        }
        return answered;
    }));
}

void SettingsPermissions::publish() {
    QSet<PrivacyPermission> granted;
    QHash<PrivacyPermission, QString> reasons;
    for (const PrivacyPermission permission : shownPermissions()) {
        const platform::PermissionStatus status = statuses_.value(permission);
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
