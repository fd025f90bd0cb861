#include "service/ServiceAddress.h"

#include "app/Preferences.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QSslConfiguration>
#include <QTimer>

#include <sys/utsname.h>

namespace service {

namespace {

// A service never needs a long chain; a loop ends here.
constexpr int maximumRedirects = 5;

constexpr char deadlineProperty[] = "vexlinPassedDeadline";

} // namespace

QUrl defaultServiceBase() {
    return QUrl(QStringLiteral("https://vexlin.app"));
}

QUrl configuredServiceBase(const QString& settingsPath) {
    const QSettings file(settingsPath, QSettings::IniFormat);
    const QString configured = file.value(QStringLiteral("serviceBaseURL")).toString().trimmed();
    if (configured.isEmpty()) {
        return defaultServiceBase();
    }
    // A value that does not parse stays invalid, so the rule refuses it
    // instead of quietly using the built-in address.
    return QUrl(configured, QUrl::StrictMode);
}

QUrl configuredServiceBase() {
    return configuredServiceBase(app::Preferences::shared().filePath());
}

bool isAllowedServiceAddress(const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty()) {
        return false;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https")) {
        return true;
    }
    return scheme == QLatin1String("http") && url.host() == QLatin1String("127.0.0.1");
}

std::optional<QUrl> serviceEndpoint(const QUrl& base, const QString& path) {
    if (!isAllowedServiceAddress(base)) {
        return std::nullopt;
    }
    QString prefix = base.path();
    while (prefix.endsWith(QLatin1Char('/'))) {
        prefix.chop(1);
    }
    QUrl url = base;
    url.setQuery(QString());
    url.setFragment(QString());
    url.setPath(prefix + path);
    if (!isAllowedServiceAddress(url)) {
        return std::nullopt;
    }
    return url;
}

std::optional<QUrl> serviceEndpoint(const QString& path) {
    return serviceEndpoint(configuredServiceBase(), path);
}

void applyServicePolicy(QNetworkRequest& request) {
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(maximumRedirects);
    QSslConfiguration tls = request.sslConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    request.setSslConfiguration(tls);
}

void guardServiceRedirects(QNetworkReply* reply) {
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl& target) {
        if (isAllowedServiceAddress(reply->url().resolved(target))) {
            Q_EMIT reply->redirectAllowed();
        } else {
            reply->abort();
        }
    });
}

void limitTotalTime(QNetworkReply* reply, std::chrono::milliseconds total) {
    if (total <= std::chrono::milliseconds::zero()) {
        return;
    }
    // Owned by the reply, so it goes with it and never fires on a reply that
    // has already finished and been deleted.
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    deadline->setTimerType(Qt::PreciseTimer);
    QObject::connect(deadline, &QTimer::timeout, reply, [reply] {
        if (reply->isRunning()) {
            reply->setProperty(deadlineProperty, true);
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, deadline, &QTimer::stop);
    deadline->start(total);
}

bool passedDeadline(const QNetworkReply* reply) {
    return reply->property(deadlineProperty).toBool();
}

OsVersion parseKernelRelease(const QString& release) {
    qint64 numbers[3] = {0, 0, 0};
    int index = 0;
    qint64 current = 0;
    bool inNumber = false;
    for (const QChar c : release) {
        if (c.isDigit() && c.unicode() < 128) {
            // Saturate instead of overflowing on absurd input.
            current = current > (INT64_MAX - 9) / 10 ? INT64_MAX : current * 10 + c.digitValue();
            inNumber = true;
            continue;
        }
        if (c == QLatin1Char('.') && inNumber) {
            numbers[index++] = current;
            current = 0;
            inNumber = false;
            if (index == 3) {
                break;
            }
            continue;
        }
        break;
    }
    if (inNumber && index < 3) {
        numbers[index] = current;
    }
    return {numbers[0], numbers[1], numbers[2]};
}

OsVersion currentOsVersion() {
    utsname info{};
    if (uname(&info) != 0) {
        return {};
    }
    return parseKernelRelease(QString::fromLocal8Bit(info.release));
}

QString osVersionString(const OsVersion& version) {
    if (version.patch <= 0) {
        return QStringLiteral("%1.%2").arg(version.major).arg(version.minor);
    }
    return QStringLiteral("%1.%2.%3").arg(version.major).arg(version.minor).arg(version.patch);
}

QString operatingSystemVersionString() {
    return osVersionString(currentOsVersion());
}

} // namespace service
