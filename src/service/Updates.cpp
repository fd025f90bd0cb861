#include "service/Updates.h"

#include "app/AlertPresenter.h"
#include "app/Bundle.h"
#include "app/Preferences.h"
#include "service/SelfUpdate.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSettings>
#include <QTimer>

namespace service {

namespace {

const QString automaticKey = QStringLiteral("checkForUpdates");

QString runningVersion() {
    return app::Bundle::main().shortVersionString();
}

} // namespace

const QByteArray Updates::primaryPath = "/api/v1/updates/linux";
const QByteArray Updates::fallbackPath = "/updates/linux.json";

Updates::Updates(Environment environment, QObject* parent)
    : QObject(parent)
    , env_(std::move(environment))
    , network_(std::make_unique<QNetworkAccessManager>()) {
    network_->setCookieJar(nullptr);
}

Updates::~Updates() {
    if (env_.clock) {
        env_.clock->cancelWake();
    }
}

Updates& Updates::shared() {
    static std::unique_ptr<UpdateClock> clock = makeBootClock();
    static Updates* instance = new Updates(Environment{
        .settingsPath = app::Preferences::shared().filePath(),
        .clock = clock.get(),
        .currentBuild = currentBuild(),
        .os = currentOsVersion(),
        .arguments = QCoreApplication::arguments(),
        .install = [](const UpdateManifest& manifest) { SelfUpdate::shared().install(manifest); },
        .openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); },
    });
    return *instance;
}

bool Updates::automaticChecks() const {
    const QVariant stored = QSettings(env_.settingsPath, QSettings::IniFormat).value(automaticKey);
    if (!stored.isValid()) {
        return true;
    }
    // Only a stored false turns the checks off; anything else leaves them on.
    return stored.toString().toLower() != QLatin1String("false");
}

void Updates::setAutomaticChecks(bool on) {
    QSettings file(env_.settingsPath, QSettings::IniFormat);
    file.setValue(automaticKey, on);
    file.sync();
    Q_EMIT automaticChecksChanged();
}

bool Updates::installNowRequested(const QStringList& arguments) {
    // As an argument-domain setting it may carry a value; the bare flag
    // (the last argument, or one followed by another option) counts on its
    // own, and a value counts only when it says yes.
    const qsizetype at = arguments.indexOf(QStringLiteral("-VexlinInstallUpdateNow"));
    if (at < 0) {
        return false;
    }
    if (at + 1 >= arguments.size() || arguments[at + 1].startsWith(u'-')) {
        return true;
    }
    const QString value = arguments[at + 1].toLower();
    return value == QLatin1String("yes") || value == QLatin1String("true") ||
           value == QLatin1String("1");
}

void Updates::start() {
    env_.clock->cancelWake();
    scheduled_ = true;
    const qint64 delay = installNowRequested() ? installNowDelayMs : firstDelayMs;
    QPointer<Updates> self(this);
    env_.clock->wakeAt(env_.clock->elapsedMs() + delay, [self] {
        if (self) {
            self->wake();
        }
    });
}

void Updates::wake() {
    QPointer<Updates> self(this);
    tick([self] {
        if (!self) {
            return;
        }
        UpdateClock* clock = self->env_.clock;
        clock->wakeAt(clock->elapsedMs() + wakePeriodMs, [self] {
            if (self) {
                self->wake();
            }
        });
    });
}

void Updates::tick(std::function<void()> done) {
    if (!automaticChecks()) {
        done();
        return;
    }
    const QDateTime now = env_.clock->now();
    if (!lastChecked_ || lastChecked_->secsTo(now) >= dueAfterSeconds) {
        check(false, std::move(done));
        return;
    }
    if (available_ && available_->critical) {
        const UpdateAnnouncement record = UpdateAnnouncement::load(env_.settingsPath);
        if (!record.criticalAlert || record.criticalAlert->build != available_->build ||
            record.criticalAlert->date.secsTo(now) >= criticalRepeatSeconds) {
            announce(*available_);
        }
    }
    done();
}

void Updates::check(bool userInitiated, std::function<void()> done) {
    if (checking_) {
        if (done) {
            done();
        }
        return;
    }
    setChecking(true);
    QPointer<Updates> self(this);
    fetchManifest([self, userInitiated, done](std::optional<UpdateManifest> found) {
        if (!self) {
            return;
        }
        const bool hadSucceeded = self->checkedSinceLaunch_;
        self->finishCheck(userInitiated, hadSucceeded, std::move(found), done);
    });
}

void Updates::finishCheck(bool userInitiated, bool hadSucceeded,
                          std::optional<UpdateManifest> found, std::function<void()> done) {
    const auto finish = [this, &done] {
        setChecking(false);
        if (done) {
            done();
        }
    };
    if (!found) {
        if (userInitiated) {
            showCheckFailedAlert();
        }
        finish();
        return;
    }
    const QDateTime now = env_.clock->now();
    if (lastChecked_ != now) {
        lastChecked_ = now;
        Q_EMIT lastCheckedChanged();
    }
    checkedSinceLaunch_ = true;
    if (!found->isApplicable(env_.currentBuild, env_.os)) {
        setAvailable(std::nullopt);
        if (userInitiated) {
            showUpToDateAlert();
        }
        finish();
        return;
    }
    setAvailable(*found);
    if (installNowRequested()) {
        if (env_.install) {
            env_.install(*found);
        }
        finish();
        return;
    }
    const UpdateAnnouncement record = UpdateAnnouncement::load(env_.settingsPath);
    bool announces = false;
    if (userInitiated) {
        announces = true;
    } else if (found->critical) {
        const bool recent = record.criticalAlert && record.criticalAlert->build == found->build &&
                            record.criticalAlert->date.secsTo(now) < criticalRepeatSeconds;
        announces = !(hadSucceeded && recent);
    } else {
        announces = record.announcedBuild != found->build;
    }
    if (announces) {
        announce(*found);
    }
    finish();
}

void Updates::announce(const UpdateManifest& manifest) {
    UpdateAnnouncement record = UpdateAnnouncement::load(env_.settingsPath);
    record.announcedBuild = manifest.build;
    if (manifest.critical) {
        record.criticalAlert = UpdateAnnouncement::CriticalAlert{manifest.build, env_.clock->now()};
    }
    record.save(env_.settingsPath);
    showUpdateAlert(manifest);
}

void Updates::fetchManifest(std::function<void(std::optional<UpdateManifest>)> done) {
    QPointer<Updates> self(this);
    fetchFrom(primaryPath, [self, done](std::optional<UpdateManifest> primary) {
        if (primary || !self) {
            done(std::move(primary));
            return;
        }
        self->fetchFrom(fallbackPath, done);
    });
}

void Updates::fetchFrom(const QByteArray& path,
                        std::function<void(std::optional<UpdateManifest>)> done) {
    const auto url =
        serviceEndpoint(configuredServiceBase(env_.settingsPath), QString::fromLatin1(path));
    if (!url) {
        QTimer::singleShot(0, this, [done] { done(std::nullopt); });
        return;
    }
    QNetworkRequest request(*url);
    applyServicePolicy(request);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(int(env_.requestTimeout.count()));
    request.setRawHeader("User-Agent", "Vexlin");
    QNetworkReply* reply = network_->get(request);
    guardServiceRedirects(reply);
    limitTotalTime(reply, env_.requestTimeout);
    // A body past the cap is not worth reading further.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > maximumManifestSize) {
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [reply, done] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError || status != 200) {
            done(std::nullopt);
            return;
        }
        done(decodeManifest(reply->read(maximumManifestSize + 1)));
    });
}

void Updates::setAvailable(std::optional<UpdateManifest> manifest) {
    if (available_ == manifest) {
        return;
    }
    available_ = std::move(manifest);
    Q_EMIT availableChanged();
}

void Updates::setChecking(bool checking) {
    if (checking_ == checking) {
        return;
    }
    checking_ = checking;
    Q_EMIT checkingChanged();
}

QString Updates::hostName() const {
    return configuredServiceBase(env_.settingsPath).host();
}

void Updates::showUpdateAlert(const UpdateManifest& manifest) {
    app::Alert alert;
    if (manifest.critical) {
        alert.critical = true;
        //: Update alert for a release that fixes a critical problem
        alert.message = tr("Vexlin Capture %1 fixes an important problem").arg(manifest.version);
        //: Update alert for a release that fixes a critical problem
        alert.informativeText = tr("Please update now. You have Vexlin Capture %1. Vexlin Capture "
                                   "installs the update and opens again in a moment. Your "
                                   "settings stay.")
                                    .arg(runningVersion());
    } else {
        alert.message = tr("Vexlin Capture %1 is available").arg(manifest.version);
        //: Update alert
        alert.informativeText = tr("You have Vexlin Capture %1. The update is free: Vexlin "
                                   "Capture installs it and opens again in a moment. Your "
                                   "settings stay.")
                                    .arg(runningVersion());
    }
    //: Update alert: installs the new version
    alert.buttons.append(tr("Update"));
    if (manifest.notes) {
        //: Update alert: opens the release notes
        alert.buttons.append(tr("What’s New"));
    }
    //: Update alert: closes it
    alert.buttons.append(tr("Later"));
    alert.escapeButton = int(alert.buttons.size()) - 1;
    const int chosen = app::AlertPresenter::current().run(alert);
    if (chosen == 0) {
        if (env_.install) {
            env_.install(manifest);
        }
    } else if (chosen == 1 && manifest.notes && env_.openUrl) {
        env_.openUrl(*manifest.notes);
    }
}

void Updates::showUpToDateAlert() {
    app::Alert alert;
    alert.message = tr("Vexlin Capture is up to date");
    alert.informativeText =
        tr("You have the newest version, Vexlin Capture %1.").arg(runningVersion());
    alert.buttons = {tr("OK")};
    app::AlertPresenter::current().run(alert);
}

void Updates::showCheckFailedAlert() {
    app::Alert alert;
    alert.warning = true;
    alert.message = tr("Vexlin Capture could not check for updates");
    alert.informativeText =
        tr("%1 could not be reached. Check the internet connection and try again.").arg(hostName());
    alert.buttons = {tr("OK")};
    app::AlertPresenter::current().run(alert);
}

} // namespace service
