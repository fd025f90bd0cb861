#pragma once

#include "service/ServiceAddress.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <optional>

namespace service {

// One release as the product web service describes it.
struct UpdateManifest {
    QString version;
    qint64 build = 0;
    QUrl download;
    std::optional<QUrl> file;
    std::optional<QUrl> notes;
    std::optional<QString> minimumOS;
    bool critical = false;

    bool operator==(const UpdateManifest&) const = default;

    // Newer than the running build, and the system is at least minimumOS.
    bool isApplicable(qint64 currentBuild, const OsVersion& os) const;
    // Where the release can be fetched by hand: file, else download.
    QUrl manualDownload() const { return file.value_or(download); }
};

// The largest manifest body read; a longer one fails like an undecodable one.
inline constexpr qsizetype maximumManifestSize = 64 * 1024;

// Strictly decodes a manifest: one JSON object, required keys present and of
// their type, optional ones absent, null or of their type, every URL passing
// the address rule (so a manifest cannot make the program open file: or
// another handler's scheme). Unknown keys are ignored.
std::optional<UpdateManifest> decodeManifest(const QByteArray& body);

// A build number from its text: base-10 with an optional sign, else 0.
qint64 parseBuildNumber(const QString& text);
// The running copy's build.
qint64 currentBuild();

// What has already been announced to the user, kept in the settings file.
struct UpdateAnnouncement {
    struct CriticalAlert {
        qint64 build = 0;
        QDateTime date;
        bool operator==(const CriticalAlert&) const = default;
    };
    qint64 announcedBuild = 0;
    std::optional<CriticalAlert> criticalAlert;

    bool operator==(const UpdateAnnouncement&) const = default;

    static UpdateAnnouncement load(const QString& settingsPath);
    void save(const QString& settingsPath) const;
};

} // namespace service
