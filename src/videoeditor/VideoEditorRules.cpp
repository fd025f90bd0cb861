#include "videoeditor/VideoEditorRules.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace videoeditor {

namespace {
constexpr double sameLength = 0.05;
constexpr QSizeF naturalWithoutThumbnail{800, 500};
constexpr double barHeight = 56;
constexpr QSizeF minimumSize{640, 420};
} // namespace

bool TrimRange::isFinite() const {
    return std::isfinite(start) && std::isfinite(duration);
}

QRectF firstContentRect(const QRectF& visibleFrame, const QImage& thumbnail, double scale) {
    QSizeF natural = naturalWithoutThumbnail;
    if (!thumbnail.isNull()) {
        const double pixelsPerPoint = scale > 0 ? scale : 1;
        natural = QSizeF(thumbnail.width() / pixelsPerPoint, thumbnail.height() / pixelsPerPoint);
    }
    double factor = 1;
    if (natural.width() > 0 && natural.height() > 0) {
        factor = std::min({1.0, 0.7 * visibleFrame.width() / natural.width(),
                           0.65 * visibleFrame.height() / natural.height()});
    }
    const double width = std::max(natural.width() * factor, minimumSize.width());
    const double height = std::max(natural.height() * factor + barHeight, minimumSize.height());
    const QPointF centre = visibleFrame.center();
    return QRectF(centre.x() - width / 2, centre.y() - height / 2, width, height);
}

QString trimmedText(const TrimRange& range, double recordingDuration) {
    const double length = range.duration;
    if (!range.isFinite()) {
        return app::durationText(recordingDuration);
    }
    const QString text = app::durationText(length);
    if (std::abs(length - recordingDuration) > sameLength) {
        //: Length of a trimmed video, e.g. 0:12 (trimmed)
        return QCoreApplication::translate("VideoEditorWindowController", "%1 (trimmed)").arg(text);
    }
    return text;
}

BarState barState(const std::optional<QString>& busyMessage, bool hasAudio,
                  app::Recording::Format format, bool lengthKnown) {
    BarState state;
    state.showsBusy = busyMessage.has_value();
    state.enabled = !state.showsBusy;
    state.trimEnabled = state.enabled && lengthKnown;
    state.removeAudioEnabled = state.enabled && hasAudio && format == app::Recording::Format::video;
    return state;
}

bool isUntrimmed(const TrimRange& range, double recordingDuration) {
    if (!range.isFinite()) {
        return true;
    }
    return range.start == 0 && std::abs(range.duration - recordingDuration) < sameLength;
}

double gifWidthLimit(const app::Recording& recording, int gifMaxWidth) {
    double width = 1000;
    if (!recording.thumbnail.isNull()) {
        width = recording.thumbnail.width() / (recording.scale > 0 ? recording.scale : 1);
    }
    return std::min(width, double(gifMaxWidth));
}

ExportPlan planExport(const TrimRange& range, const app::Recording& recording,
                      app::Recording::Format format, bool removeAudio, int gifFPS,
                      int gifMaxWidth) {
    ExportPlan plan;
    if (range.isFinite()) {
        plan.range = range;
    }
    if (format == app::Recording::Format::gif) {
        // Always made, trimmed or not; sound plays no part in a GIF.
        plan.kind = ExportPlan::Kind::gif;
        plan.gifFPS = gifFPS;
        plan.gifMaxWidth = gifWidthLimit(recording, gifMaxWidth);
        return plan;
    }
    if (isUntrimmed(range, recording.duration)) {
        plan.range.reset();
        if (!removeAudio) {
            return plan;
        }
    }
    plan.kind = ExportPlan::Kind::video;
    plan.removeAudio = removeAudio;
    return plan;
}

double posterTime(double duration) {
    if (!std::isfinite(duration) || duration <= 0) {
        return 0;
    }
    return std::min(0.5 * duration, 0.1);
}

} // namespace videoeditor
