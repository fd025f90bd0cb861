#include "recording/GifExport.h"

#include "platform/ColorQuantizer.h"
#include "platform/GifInfo.h"
#include "platform/GifWriter.h"
#include "platform/MovieReader.h"
#include "platform/SafeFile.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <deque>
#include <future>

// The context of this file's texts, declared where lupdate finds it.
struct GifExportText {
    Q_DECLARE_TR_FUNCTIONS(GifExportText)
};

namespace recording {

namespace {

WriterError unreadableMovie() {
    //: Error when a recording's movie cannot be opened to make a GIF of it.
    return WriterError::failed(GifExportText::tr("The recording could not be read to make a GIF."));
}

WriterError noFrameDecodes() {
    //: Error when not one picture of a recording's movie can be decoded to make a GIF of it.
    return WriterError::failed(
        GifExportText::tr("The GIF could not be created: the recording is damaged or "
                          "incomplete, and none of its pictures can be read."));
}

WriterError gifNotCreated(std::error_code error = {}) {
    if (error) {
        //: Error when the GIF file cannot be written. %1 is the system's explanation.
        return WriterError::failed(GifExportText::tr("The GIF could not be created: %1.")
                                       .arg(QString::fromStdString(error.message())));
    }
    //: Error when the GIF file cannot be made.
    return WriterError::failed(GifExportText::tr("The GIF could not be created."));
}

// One more colour is left for the pixels a frame keeps from the one before.
constexpr int gifColours = 255;

} // namespace

std::vector<double> gifSampleTimes(double start, double end, int fps) {
    const double step = 1.0 / double(std::max(fps, 1));
    std::vector<double> times;
    for (double t = start; t < end - 0.0001; t += step) {
        // On a clock of 1/600 s, so that the step added up (0.1 ten times
        // is 0.9999…) still lands on the frame that starts at 1 s.
        times.push_back(std::round(t * 600) / 600);
    }
    if (times.empty()) {
        times.push_back(start);
    }
    return times;
}

int gifDelayCentiseconds(int fps) {
    return int(std::lround(100.0 / double(std::max(fps, 1))));
}

std::vector<int> gifFrameDelays(const std::vector<double>& times, double end) {
    std::vector<int> delays;
    if (times.empty()) {
        return delays;
    }
    const double start = times.front();
    const auto tick = [start](double t) { return std::lround((t - start) * 100); };
    delays.reserve(times.size());
    for (std::size_t i = 0; i < times.size(); ++i) {
        const double until = i + 1 < times.size() ? times[i + 1] : std::max(end, times[i]);
        delays.push_back(int(std::clamp(tick(until) - tick(times[i]), 1L, 65535L)));
    }
    return delays;
}

QSize gifFrameSize(QSize movie, double maxWidth) {
    if (movie.isEmpty()) {
        return QSize(1, 1);
    }
    const double width = movie.width();
    const double height = movie.height();
    double scale = 1;
    if (std::isfinite(maxWidth) && maxWidth > 0) {
        scale = std::min({1.0, maxWidth / width, 4 * maxWidth / height});
    } else if (!(maxWidth > 0)) {
        scale = 1 / width; // no width at all: as narrow as a picture gets
    }
    return QSize(std::max(1, int(std::lround(width * scale))),
                 std::max(1, int(std::lround(height * scale))));
}

std::optional<WriterError> exportGif(const QString& moviePath, const QString& gifPath, int fps,
                                     double maxWidth, std::optional<TimeRange> range) {
    const std::unique_ptr<platform::MovieReader> movie = platform::MovieReader::open(moviePath);
    if (!movie) {
        return unreadableMovie();
    }
    if (!range) {
        const std::optional<double> duration = movie->duration();
        if (!duration) {
            return unreadableMovie();
        }
        range = TimeRange{0, *duration};
    }
    const std::vector<double> times =
        gifSampleTimes(range->start, range->start + range->duration, fps);
    const std::vector<int> delays = gifFrameDelays(times, range->start + range->duration);
    const QSize size = gifFrameSize(movie->frameSize(), maxWidth);

    std::optional<WriterError> failure;
    const auto write = [&](int fd) -> std::error_code {
        const std::unique_ptr<platform::GifWriter> gif =
            platform::GifWriter::begin(fd, size, gifDelayCentiseconds(fps));
        if (!gif) {
            failure = gifNotCreated();
            return {ECANCELED, std::generic_category()};
        }
        // A pool of the export's own, so that an export running on a thread of
        // the global pool never waits for work queued behind itself.
        QThreadPool pool;
        const int threads = std::max(1, QThread::idealThreadCount());
        pool.setMaxThreadCount(threads);
        struct Pending {
            QImage frame;
            int delay = 0;
            std::future<std::optional<platform::IndexedImage>> indexed;
        };
        std::size_t added = 0;
        std::deque<Pending> pending;
        std::error_code written;
        const auto writeOldest = [&] {
            Pending next = std::move(pending.front());
            pending.pop_front();
            const std::optional<platform::IndexedImage> indexed = next.indexed.get();
            if (failure || written) {
                return;
            }
            if (!indexed) {
                failure = gifNotCreated();
                return;
            }
            written = gif->add(next.frame, *indexed, next.delay);
            ++added;
        };
        const platform::MovieReader::Sampled sampled =
            movie->sampleFrames(times, size, [&](std::size_t index, const QImage& frame) {
                auto task =
                    std::make_shared<std::packaged_task<std::optional<platform::IndexedImage>()>>(
                        [frame] { return platform::quantizeColors(frame, gifColours); });
                pending.push_back({frame, delays[index], task->get_future()});
                pool.start([task] { (*task)(); });
                // Frames wait in memory only while the threads are busy.
                while (pending.size() > std::size_t(threads) + 2) {
                    writeOldest();
                }
                return !failure && !written;
            });
        while (!pending.empty()) {
            writeOldest();
        }
        // A movie that breaks off gives the frames before the break; one of
        // which nothing decodes gives no GIF.
        if (sampled == platform::MovieReader::Sampled::failed && added == 0 && !failure &&
            !written) {
            failure = noFrameDecodes();
        }
        if (!failure && !written) {
            written = gif->finish();
        }
        if (failure) {
            return {ECANCELED, std::generic_category()};
        }
        return written;
    };
    const std::error_code error = platform::SafeFile().replaceWith(gifPath, write);
    if (failure) {
        return failure;
    }
    if (error) {
        return gifNotCreated(error);
    }
    return std::nullopt;
}

double gifDuration(const QString& path) {
    const std::optional<platform::GifInfo> info = platform::GifInfo::read(path);
    if (!info) {
        return 0;
    }
    double seconds = 0;
    for (const std::optional<int>& delay : info->delays) {
        seconds += delay ? *delay / 100.0 : 0.1;
    }
    return seconds;
}

} // namespace recording
