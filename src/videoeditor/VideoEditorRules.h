#pragma once

#include "app/Recording.h"

#include <QImage>
#include <QRectF>
#include <QString>

#include <optional>

// The video editor's decisions, free of windows and files: where its window
// first stands, what its length text reads, which controls can be used and
// what an export has to make.
namespace videoeditor {

// The part of the recording that trimming kept, in seconds. Before the
// player knows the recording's length the duration is not a number.
struct TrimRange {
    double start = 0;
    double duration = 0;

    double end() const { return start + duration; }
    // Whether start and length are both numbers: a range the player does not
    // know yet counts as the whole recording wherever it is used.
    bool isFinite() const;
};

// The window's first content rectangle: the recording's thumbnail at its
// size in points (800 × 500 without one), shrunk to fit 70 % of the
// visible frame's width and 65 % of its height, with 56 points below for
// the control bar, at least 640 × 420, centred on the visible frame.
QRectF firstContentRect(const QRectF& visibleFrame, const QImage& thumbnail, double scale);

// The length shown in the control bar: the range's length as "m:ss", with
// " (trimmed)" when it differs from the recording's by more than 0.05 s; the
// recording's own length for a range that is not finite.
QString trimmedText(const TrimRange& range, double recordingDuration);

// Which controls of the bar can be used. The whole bar is disabled while an
// export runs; Remove Audio needs sound and the video format; Trim needs the
// recording's length.
struct BarState {
    bool enabled = true;
    bool trimEnabled = false;
    bool removeAudioEnabled = false;
    bool showsBusy = false;
};
BarState barState(const std::optional<QString>& busyMessage, bool hasAudio,
                  app::Recording::Format format, bool lengthKnown);

// Whether a range leaves the recording as it is: it starts at exactly 0 and
// is within 0.05 s of the recording's length. A range that is not finite
// (the player is not ready) is the whole recording.
bool isUntrimmed(const TrimRange& range, double recordingDuration);

// What an export makes of the recording.
struct ExportPlan {
    enum class Kind {
        // Nothing to do: the recording itself is delivered.
        source,
        video,
        gif,
    };
    Kind kind = Kind::source;
    // The part to export; none for the whole recording.
    std::optional<TrimRange> range;
    bool removeAudio = false;
    int gifFPS = 15;
    double gifMaxWidth = 1000;
};
ExportPlan planExport(const TrimRange& range, const app::Recording& recording,
                      app::Recording::Format format, bool removeAudio, int gifFPS, int gifMaxWidth);

// A GIF's width limit in points: the thumbnail's width in points (1000
// without a thumbnail), at most gifMaxWidth.
double gifWidthLimit(const app::Recording& recording, int gifMaxWidth);

// Where an exported video's poster is taken: min(0.5 × duration, 0.1) s, and
// 0 for a length that is not known.
double posterTime(double duration);

} // namespace videoeditor
