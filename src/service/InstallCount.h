#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QNetworkRequest>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

namespace service {

// The anonymous installation number and the once-a-day installation count.
//
// The number is a one-way hash of the machine id, so the same computer always
// gives the same number and the number says nothing about the computer; only
// when no usable machine id exists does a random number kept in the settings
// file stand in. Once a UTC day, unless switched off, the number, the product,
// the platform, the program's version and the kernel's major.minor version are
// posted to the product web service. Nothing else is sent and the answer is
// not read. Main thread only.
class InstallCount : public QObject {
    Q_OBJECT
public:
    // Sends a request and says whether it reached the server: any HTTP answer
    // counts, whatever its status; a transport error does not.
    using Transport = std::function<void(const QNetworkRequest& request, const QByteArray& body,
                                         std::function<void(bool delivered)> done)>;
    // Calls back after the given time, counting time the computer slept.
    using Sleep = std::function<void(std::chrono::milliseconds, std::function<void()>)>;

    // Over the given settings file.
    explicit InstallCount(QString settingsPath, QObject* parent = nullptr);
    // Over the program's settings file.
    static InstallCount& shared();

    // Where the machine id is looked for, in order.
    void setMachineIdFiles(QStringList paths) { machineIdFiles_ = std::move(paths); }
    void setTransport(Transport transport) { transport_ = std::move(transport); }
    void setClock(std::function<QDateTime()> now, Sleep sleep);
    // The program's version as sent; an empty one is sent as "0".
    void setVersion(QString version) { version_ = std::move(version); }

    // The machine id from the first of the files that holds a usable one:
    // trimmed, lower-cased, exactly 32 hexadecimal digits.
    std::optional<QString> machineID() const;
    static std::optional<QString> usableMachineID(const QByteArray& contents);

    // The number for a product and machine id: SHA-256 of the salt, the
    // product, a line feed and the id, written as a version-4 UUID.
    static QString derivedNumber(const QString& product, const QString& machineID);
    // A stored fallback is used only when it is a lower-case UUID text.
    static bool isValidNumber(const QString& number);
    // The number in use, computed on every read; the fallback is stored the
    // first time it is needed.
    QString installationNumber() const;
    // The page where the number is used to write a review on the site.
    static QUrl reviewURL(const QUrl& siteRoot, const QString& number, const QString& language);

    // The switch "countInstallation"; absent or not a Boolean reads as on.
    bool isEnabled() const;
    void setEnabled(bool enabled);

    // Starts the schedule: a first count 60 s from now, then one attempt an
    // hour. A second start replaces the first. In a test process
    // (XCTestConfigurationFilePath set) nothing starts.
    void start();
    bool isRunning() const { return running_; }
    // Ends the schedule.
    void stop();

    // Sends at most one count for the UTC day of now; done runs once the
    // attempt is over (also when nothing was sent).
    void countIfNeeded(const QDateTime& now, std::function<void()> done = {});

    // The UTC day of a moment as "yyyy-MM-dd".
    static QString dayKey(const QDateTime& moment);
    // The request body: compact JSON with its keys sorted.
    static QByteArray requestBody(const QString& install, const QString& version,
                                  const QString& osVersion);
    // The POST for a body; none when the configured address is refused.
    static std::optional<QNetworkRequest> makeRequest(const QString& settingsPath);

    // Posts through a fresh network access manager of its own, without
    // cookies or cache, and does not read the answer.
    static void defaultTransport(const QNetworkRequest& request, const QByteArray& body,
                                 std::function<void(bool)> done);

    static constexpr std::chrono::seconds firstDelay{60};
    static constexpr std::chrono::seconds interval{3600};

Q_SIGNALS:
    void enabledChanged(bool enabled);

private:
    void scheduleNext(std::chrono::milliseconds delay, quint64 generation);
    QString readString(const QString& key) const;

    QString settingsPath_;
    QStringList machineIdFiles_;
    Transport transport_;
    // The day counted when it could not be stored.
    QString countedUnstored_;
    std::function<QDateTime()> now_;
    Sleep sleep_;
    QString version_;
    quint64 generation_ = 0;
    bool running_ = false;
};

} // namespace service
