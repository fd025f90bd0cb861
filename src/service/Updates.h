#pragma once

#include "service/ServiceAddress.h"
#include "service/UpdateClock.h"
#include "service/UpdateManifest.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace service {

// The shared update checker: the release found, whether a check runs, when
// the last one succeeded; a check a minute after start and then daily, checks
// the user asks for, and when a release is announced.
class Updates : public QObject {
    Q_OBJECT
public:
    // What the checker needs from the outside world; tests give their own.
    struct Environment {
        QString settingsPath;
        UpdateClock* clock = nullptr;
        qint64 currentBuild = 0;
        OsVersion os;
        QStringList arguments;
        // Hands a release to the installer.
        std::function<void(const UpdateManifest&)> install;
        // Opens a web page.
        std::function<void(const QUrl&)> openUrl;
        // What each fetch of the manifest may take in all, however steadily
        // its bytes trickle in.
        std::chrono::milliseconds requestTimeout = std::chrono::seconds(20);
    };

    explicit Updates(Environment environment, QObject* parent = nullptr);
    ~Updates() override;
    static Updates& shared();

    static constexpr qint64 firstDelayMs = 60'000;
    static constexpr qint64 installNowDelayMs = 5'000;
    static constexpr qint64 wakePeriodMs = 3'600'000;
    static constexpr qint64 dueAfterSeconds = 86'340;
    static constexpr qint64 criticalRepeatSeconds = 14'400;
    static const QByteArray primaryPath;
    static const QByteArray fallbackPath;

    const std::optional<UpdateManifest>& available() const { return available_; }
    bool isChecking() const { return checking_; }
    const std::optional<QDateTime>& lastChecked() const { return lastChecked_; }

    // The "checkForUpdates" setting; on unless stored false.
    bool automaticChecks() const;
    void setAutomaticChecks(bool on);

    // "-VexlinInstallUpdateNow" among the arguments (alone, or followed by a
    // true value).
    static bool installNowRequested(const QStringList& arguments);
    bool installNowRequested() const { return installNowRequested(env_.arguments); }

    // Starts the schedule anew: the first check after a minute (5 s with the
    // install-now flag), then an hourly wake-up that checks once a day.
    void start();
    // One check; a second one while one runs does nothing. `done` runs when
    // the check (and its alert) is over.
    void check(bool userInitiated, std::function<void()> done = {});

    void showUpdateAlert(const UpdateManifest& manifest);
    void showUpToDateAlert();
    void showCheckFailedAlert();

    // The fetch with fallback on its own: primary, then the static copy.
    void fetchManifest(std::function<void(std::optional<UpdateManifest>)> done);

Q_SIGNALS:
    void availableChanged();
    void checkingChanged();
    void lastCheckedChanged();
    void automaticChecksChanged();

private:
    void fetchFrom(const QByteArray& path, std::function<void(std::optional<UpdateManifest>)> done);
    void wake();
    void tick(std::function<void()> done);
    void finishCheck(bool userInitiated, bool hadSucceeded, std::optional<UpdateManifest> found,
                     std::function<void()> done);
    void announce(const UpdateManifest& manifest);
    void setAvailable(std::optional<UpdateManifest> manifest);
    void setChecking(bool checking);
    QString hostName() const;

    Environment env_;
    std::unique_ptr<QNetworkAccessManager> network_;
    std::optional<UpdateManifest> available_;
    bool checking_ = false;
    std::optional<QDateTime> lastChecked_;
    bool checkedSinceLaunch_ = false;
    bool scheduled_ = false;
};

} // namespace service
