#pragma once

#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

class QNetworkReply;
class QNetworkRequest;

namespace service {

// The built-in address of the product web service.
QUrl defaultServiceBase();

// The base every request starts from: the settings key serviceBaseURL when it
// holds anything, else the built-in one. Read afresh at each call from the
// program's settings file, or from the given one.
QUrl configuredServiceBase();
QUrl configuredServiceBase(const QString& settingsPath);

// Whether the program may talk to this address: https to any named host, and
// plain http only to 127.0.0.1 (where tests run their own server). Anything
// else, user names and passwords included, is refused.
bool isAllowedServiceAddress(const QUrl& url);

// The endpoint at the given absolute path below a base; none when the base is
// not allowed, so a bad configuration sends nothing rather than falling back
// to another host.
std::optional<QUrl> serviceEndpoint(const QUrl& base, const QString& path);
// The same below the configured base.
std::optional<QUrl> serviceEndpoint(const QString& path);

// Makes a request follow redirects only under the address rule, always with
// certificate verification. Call before sending.
void applyServicePolicy(QNetworkRequest& request);
// Lets each redirect of a reply whose request had the policy applied go on
// only when its target passes the address rule; any other target aborts the
// reply. Call right after sending.
void guardServiceRedirects(QNetworkReply* reply);
// Aborts the reply once `total` has passed since it was sent, however
// steadily bytes trickle in (a transfer timeout counts only silence). An
// aborted reply finishes with OperationCanceledError, and passedDeadline
// then tells it from an abort for another reason. A total of 0 sets no
// limit, as a transfer timeout of 0 does.
void limitTotalTime(QNetworkReply* reply, std::chrono::milliseconds total);
bool passedDeadline(const QNetworkReply* reply);

// The running kernel's version as numbers: the leading dotted numbers of its
// release, missing ones 0.
struct OsVersion {
    qint64 major = 0;
    qint64 minor = 0;
    qint64 patch = 0;
    auto operator<=>(const OsVersion&) const = default;
};

// "6.1.0-18-amd64" gives 6.1.0; "6" gives 6.0.0; text without leading digits
// gives 0.0.0.
OsVersion parseKernelRelease(const QString& release);
// The release uname(2) reports for the running kernel.
OsVersion currentOsVersion();
// "major.minor", then ".patch" when the patch is above 0: the only thing about
// the system that the program sends.
QString osVersionString(const OsVersion& version);
QString operatingSystemVersionString();

} // namespace service
