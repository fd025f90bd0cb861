#pragma once

#include "app/SettingsEnums.h"

#include <QDateTime>
#include <QImage>
#include <QString>
#include <QUrl>
#include <QUuid>

namespace app {

// One finished recording. It lives in the lowest library so that the
// recording session, Quick Access, the video editor and the settings all
// reach it without depending on each other.
struct Recording {
    enum class Format { video, gif };

    QUuid id = QUuid::createUuid();
    QUrl url; // the recorded file in the caches folder "Recordings"
    Format format = Format::video;
    double duration = 0; // seconds
    double scale = 1;    // pixels per point of the recorded display
    QImage thumbnail;
    QDateTime date = QDateTime::currentDateTime();
};

QString rawValue(Recording::Format format);
// "mp4" or "gif".
QString fileExtension(Recording::Format format);
// "Vexlin Capture Recording 2026-03-04 at 09.15.02": the capture name of the
// recording's date, without extension; every copy of the file carries it.
QString recordingFileName(const Recording& recording);

// A length as whole minutes and two-digit seconds, with no hour field:
// 65.4 s reads "1:05", 3725 s "62:05". Negative and non-finite lengths read
// "0:00".
QString durationText(double seconds);

template <> std::span<const Recording::Format> allCases<Recording::Format>();
template <> Recording::Format defaultCase<Recording::Format>();
template <> std::optional<Recording::Format> fromRawValue<Recording::Format>(const QString& raw);

} // namespace app
