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

template <> std::span<const Recording::Format> allCases<Recording::Format>();
template <> Recording::Format defaultCase<Recording::Format>();
template <> std::optional<Recording::Format> fromRawValue<Recording::Format>(const QString& raw);

} // namespace app
