#include "service/InstallCount.h"

#include "service/ServiceAddress.h"
#include "service/SinglePost.h"
#include "service/StoredValue.h"
#include "service/UpdateClock.h"

#include "app/Bundle.h"
#include "app/SettingsFile.h"
#include "platform/Sha256.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QUuid>

namespace service {

namespace {

const QString countKey = QStringLiteral("countInstallation");
const QString countedDayKey = QStringLiteral("installationCountedDay");
const QString numberKey = QStringLiteral("installationNumber");
const QString product = QStringLiteral("vexlin");

// Hashed in front of everything else, so the number cannot be matched with
// hashes of the same machine id made by other programs.
constexpr char salt[] = "vudiza-org attestations\n";

// One wake-up at the deadline on the boot-time clock, which goes on while the
// computer sleeps (unlike the monotonic clock behind QTimer): a day's wait
// after a long sleep ends on waking, and nothing wakes the program before.
void sleepCountingSuspend(std::chrono::milliseconds delay, std::function<void()> wake) {
    // The count has one wait at a time; a newer one replaces the last.
    static UpdateClock* const clock = makeBootClock().release();
    clock->wakeAt(clock->elapsedMs() + delay.count(), std::move(wake));
}

bool isHexDigit(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

} // namespace

InstallCount::InstallCount(QString settingsPath, QObject* parent)
    : QObject(parent)
    , settingsPath_(std::move(settingsPath))
    , machineIdFiles_{QStringLiteral("/etc/machine-id"), QStringLiteral("/var/lib/dbus/machine-id")}
    , transport_(&InstallCount::defaultTransport)
    , now_([] { return QDateTime::currentDateTimeUtc(); })
    , sleep_(&sleepCountingSuspend)
    , version_(app::Bundle::main().shortVersionString()) {}

InstallCount& InstallCount::shared() {
    static InstallCount* instance = new InstallCount(app::settingsFilePath());
    return *instance;
}

void InstallCount::setClock(std::function<QDateTime()> now, Sleep sleep) {
    now_ = std::move(now);
    sleep_ = std::move(sleep);
}

std::optional<QString> InstallCount::usableMachineID(const QByteArray& contents) {
    const QString id = QString::fromUtf8(contents).trimmed().toLower();
    if (id.size() != 32 || !std::all_of(id.begin(), id.end(), isHexDigit)) {
        return std::nullopt;
    }
    return id;
}

std::optional<QString> InstallCount::machineID() const {
    for (const QString& path : machineIdFiles_) {
        QFile file(path);
        // The file is one line; anything much longer is not a machine id.
        if (file.open(QIODevice::ReadOnly)) {
            if (std::optional<QString> id = usableMachineID(file.read(256))) {
                return id;
            }
        }
    }
    return std::nullopt;
}

QString InstallCount::derivedNumber(const QString& productName, const QString& machineID) {
    platform::Sha256 hash;
    hash.update(QByteArrayView(salt, sizeof salt - 1));
    hash.update((productName + QLatin1Char('\n') + machineID).toUtf8());
    platform::Sha256Digest digest = hash.finish();
    digest[6] = (digest[6] & 0x0F) | 0x40;
    digest[8] = (digest[8] & 0x3F) | 0x80;
    const QByteArray hex = QByteArray(reinterpret_cast<const char*>(digest.data()), 16).toHex();
    return QString::fromLatin1(hex.left(8) + '-' + hex.mid(8, 4) + '-' + hex.mid(12, 4) + '-' +
                               hex.mid(16, 4) + '-' + hex.mid(20, 12));
}

bool InstallCount::isValidNumber(const QString& number) {
    return number.size() == 36 && !QUuid::fromString(number).isNull() && number == number.toLower();
}

QString InstallCount::readString(const QString& key) const {
    return storedText(settingsPath_, key).value_or(QString());
}

QString InstallCount::installationNumber() const {
    if (const std::optional<QString> id = machineID()) {
        return derivedNumber(product, *id);
    }
    const QString stored = readString(numberKey);
    if (isValidNumber(stored)) {
        return stored;
    }
    const QString fresh = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    app::settingsFile::writeValue(settingsPath_, numberKey, fresh);
    return fresh;
}

QUrl InstallCount::reviewURL(const QUrl& siteRoot, const QString& number, const QString& language) {
    static const QList<QPair<QString, QString>> prefixes = {
        {QStringLiteral("de"), QStringLiteral("de/")},
        {QStringLiteral("fr"), QStringLiteral("fr/")},
        {QStringLiteral("es"), QStringLiteral("es/")},
        {QStringLiteral("it"), QStringLiteral("it/")},
        {QStringLiteral("pt-BR"), QStringLiteral("pt-br/")},
        {QStringLiteral("ja"), QStringLiteral("ja/")},
        {QStringLiteral("ko"), QStringLiteral("ko/")},
        {QStringLiteral("zh-Hans"), QStringLiteral("zh-hans/")},
        {QStringLiteral("zh-Hant"), QStringLiteral("zh-hant/")},
    };
    QString prefix;
    for (const auto& [identifier, folder] : prefixes) {
        if (identifier == language) {
            prefix = folder;
        }
    }
    QUrl url = siteRoot;
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    url.setPath(path + prefix + QStringLiteral("vexlin/review"));
    url.setQuery(QString());
    url.setFragment(QStringLiteral("install=") + number);
    return url;
}

bool InstallCount::isEnabled() const {
    return storedBool(settingsPath_, countKey).value_or(true);
}

void InstallCount::setEnabled(bool enabled) {
    const bool before = isEnabled();
    app::settingsFile::writeValue(settingsPath_, countKey, enabled);
    if (before != enabled) {
        Q_EMIT enabledChanged(enabled);
    }
}

void InstallCount::start() {
    if (qEnvironmentVariableIsSet("XCTestConfigurationFilePath")) {
        return;
    }
    ++generation_;
    running_ = true;
    scheduleNext(firstDelay, generation_);
}

void InstallCount::stop() {
    ++generation_;
    running_ = false;
}

void InstallCount::scheduleNext(std::chrono::milliseconds delay, quint64 generation) {
    QPointer<InstallCount> self(this);
    sleep_(delay, [self, generation] {
        if (!self || self->generation_ != generation) {
            return;
        }
        self->countIfNeeded(self->now_(), [self, generation] {
            if (self && self->generation_ == generation) {
                self->scheduleNext(interval, generation);
            }
        });
    });
}

QString InstallCount::dayKey(const QDateTime& moment) {
    const QDate day = moment.toUTC().date();
    return QString::asprintf("%04d-%02d-%02d", day.year(), day.month(), day.day());
}

QByteArray InstallCount::requestBody(const QString& install, const QString& version,
                                     const QString& osVersion) {
    // QJsonObject keeps its members sorted by key.
    const QJsonObject body{
        {QStringLiteral("install"), install},
        {QStringLiteral("os"), osVersion},
        {QStringLiteral("platform"), QStringLiteral("linux")},
        {QStringLiteral("product"), product},
        {QStringLiteral("version"), version},
    };
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

std::optional<QNetworkRequest> InstallCount::makeRequest(const QString& settingsPath) {
    const std::optional<QUrl> url =
        serviceEndpoint(configuredServiceBase(settingsPath), QStringLiteral("/api/v1/installs"));
    if (!url) {
        return std::nullopt;
    }
    QNetworkRequest request(*url);
    request.setTransferTimeout(20'000);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    return request;
}

void InstallCount::countIfNeeded(const QDateTime& now, std::function<void()> done) {
    const auto finish = [done] {
        if (done) {
            done();
        }
    };
    if (!isEnabled()) {
        finish();
        return;
    }
    const QString today = dayKey(now);
    if (readString(countedDayKey) == today || countedUnstored_ == today) {
        finish();
        return;
    }
    const std::optional<QNetworkRequest> request = makeRequest(settingsPath_);
    if (!request) {
        // A configured address the rule refuses sends nothing at all.
        finish();
        return;
    }
    const QString version = version_.isEmpty() ? QStringLiteral("0") : version_;
    const QByteArray body =
        requestBody(installationNumber(), version, operatingSystemVersionString());
    QPointer<InstallCount> self(this);
    transport_(*request, body, [self, today, finish](bool delivered) {
        // Any answer, an error status too, means the server saw the count;
        // without one the next hourly attempt tries again.
        if (self && delivered) {
            // A day that cannot be stored (a settings file that cannot be
            // written) is still counted: not sent again in this run.
            if (app::settingsFile::writeValue(self->settingsPath_, countedDayKey, today)) {
                self->countedUnstored_ = today;
            }
        }
        finish();
    });
}

void InstallCount::defaultTransport(const QNetworkRequest& request, const QByteArray& body,
                                    std::function<void(bool)> done) {
    // A manager of its own per count: nothing of one request (cookies,
    // connections, credentials) is kept for another.
    auto* manager = new QNetworkAccessManager;
    QNetworkRequest sent = request;
    applyServicePolicy(sent);
    sent.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    sent.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    sent.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    sent.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Posted once: a connection that ends without an answer is not sent
    // again behind our back, which could count the installation twice.
    QNetworkReply* reply = postOnce(*manager, sent, body);
    guardServiceRedirects(reply);
    limitTotalTime(reply, std::chrono::milliseconds(request.transferTimeout()));
    auto settled = std::make_shared<bool>(false);
    const auto settle = [settled, done](bool delivered) {
        if (!*settled) {
            *settled = true;
            done(delivered);
        }
    };
    // The status line is all that matters; the body is never read, so the
    // transfer ends as soon as the status is known.
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, settle] {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const bool redirect =
            status.toInt() >= 300 && status.toInt() < 400 && reply->hasRawHeader("Location");
        if (status.isValid() && !redirect) {
            settle(true);
            // Not from inside the reply's own signal.
            QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, manager, settle] {
        settle(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid());
        reply->deleteLater();
        manager->deleteLater();
    });
}

} // namespace service
