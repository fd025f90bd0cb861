#include "videoeditor/VideoExport.h"

#include "platform/MovieReader.h"
#include "platform/MovieTrim.h"
#include "recording/GifExport.h"
#include "recording/RecordingWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QUrl>
#include <QUuid>

#include <cmath>
#include <limits>

namespace videoeditor {

namespace {

constexpr QSize posterBox{1200, 1200};

QString newFileIn(const QString& folder, app::Recording::Format format) {
    return QDir(folder).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces) +
                                 QLatin1Char('.') + app::fileExtension(format));
}

app::Recording describeVideo(const QString& path, const app::Recording& source) {
    app::Recording made;
    made.url = QUrl::fromLocalFile(path);
    made.format = app::Recording::Format::video;
    made.scale = source.scale;
    made.date = source.date;
    made.duration = 0;
    if (std::unique_ptr<platform::MovieReader> reader = platform::MovieReader::open(path)) {
        made.duration = reader->duration().value_or(0);
        made.thumbnail = reader->frameAt(posterTime(made.duration), posterBox);
    }
    return made;
}

app::Recording describeGif(const QString& path, const app::Recording& source) {
    app::Recording made;
    made.url = QUrl::fromLocalFile(path);
    made.format = app::Recording::Format::gif;
    made.scale = 1;
    made.date = source.date;
    made.duration = recording::gifDuration(path);
    QImageReader reader(path);
    made.thumbnail = reader.read();
    return made;
}

} // namespace

recording::WriterError exportFailure(const QString& reason) {
    const QString headline =
        //: Alert when a trimmed video could not be written
        QCoreApplication::translate("VideoEditorWindowController",
                                    "The video could not be exported.");
    if (reason.isEmpty() || reason == headline) {
        return recording::WriterError::failed(headline);
    }
    return recording::WriterError::failed(headline + QLatin1Char(' ') + reason);
}

ExportResult runExport(const ExportPlan& plan, const app::Recording& source, const QString& folder,
                       const std::atomic<bool>* cancelled) {
    const QString input = source.url.toLocalFile();
    if (plan.kind == ExportPlan::Kind::source) {
        return source;
    }
    if (!QDir().mkpath(folder)) {
        return exportFailure(QCoreApplication::translate("VideoEditorWindowController",
                                                         "The folder “%1” cannot be made.")
                                 .arg(QDir::toNativeSeparators(folder)));
    }
    if (plan.kind == ExportPlan::Kind::gif) {
        const QString output = newFileIn(folder, app::Recording::Format::gif);
        std::optional<recording::TimeRange> range;
        if (plan.range) {
            range = recording::TimeRange{plan.range->start, plan.range->duration};
        }
        if (std::optional<recording::WriterError> error =
                recording::exportGif(input, output, plan.gifFPS, plan.gifMaxWidth, range)) {
            QFile::remove(output);
            return *error;
        }
        return describeGif(output, source);
    }

    platform::MovieTrim trim;
    trim.source = input;
    trim.output = newFileIn(folder, app::Recording::Format::video);
    trim.start = plan.range ? plan.range->start : 0;
    trim.end = plan.range ? plan.range->end() : std::numeric_limits<double>::infinity();
    trim.keepAudio = !plan.removeAudio;
    trim.cancelled = cancelled;
    // The encoder the recording itself would have been written with.
    trim.codecFor = [](QSize size, double framesPerSecond) {
        const int rate = std::max(1, int(std::lround(framesPerSecond)));
        return recording::RecordingWriter::codecFor(size, rate) ==
                       recording::RecordingWriter::Codec::hevc
                   ? platform::VideoCodec::hevc
                   : platform::VideoCodec::h264;
    };
    if (std::optional<QString> error = platform::trimMovie(trim)) {
        return exportFailure(*error);
    }
    return describeVideo(trim.output, source);
}

} // namespace videoeditor
