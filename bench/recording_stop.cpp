// From the stop of a screen recording to the delivered recording, beside
// `ffmpeg -i rec.mp4 -c copy -movflags +faststart` on the same file.
//
// Each round a recording session records a scrolling page at 1920×1080 and
// 60 fps with a tone as its system sound, in real time, through the movie
// writer; only the screen grab is left out. Then the session is stopped and
// timed until its completion has the recording: the encoder's last frames,
// the index moved in front of the movie, the file's length and poster read
// back. "file ms" is the part until the movie was at its path; the rest is
// the reading back. The remux of the delivered file is timed after it, as a
// process. The aim: at most 1.5 times the remux.
//
//   recording_stop [SECONDS] [ROUNDS]     (default 60 3)
#include "ScrollingPage.h"

#include "Interleave.h"
#include "app/Preferences.h"
#include "platform/MediaSamples.h"
#include "platform/PermissionProbe.h"
#include "recording/RecordingSession.h"
#include "recording/RecordingSink.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

using recording::RecordingSession;

class GrantedProbe final : public platform::PermissionProbe {
public:
    platform::PermissionStatus status(platform::Permission) override { return {true, {}}; }
    bool canOpenSettings(platform::Permission) override { return false; }
    void openSettings(platform::Permission) override {}
};

// The session's recorder with the movie writer's sink, as the screen
// recorder drives it, fed by a thread of its own at the frame rate instead of
// the screen grab: pictures and 10 ms of a 440 Hz tone on the host clock.
class PageRecorder final : public recording::SessionRecorder {
public:
    PageRecorder(std::unique_ptr<recording::RecordingSink> sink, QString path, QSize size, int fps,
                 bool sound)
        : sink_(std::move(sink)), path_(std::move(path)), size_(size), page_(size) {
        feeder_ = std::thread([this, fps, sound] { feed(fps, sound); });
    }
    ~PageRecorder() override { endFeeding(); }

    void stop() override {
        endFeeding();
        sink_->cancel();
    }
    void finish(std::function<void(std::variant<QString, recording::WriterError>)> done) override {
        const platform::HostTime end = platform::hostTimeNow();
        endFeeding();
        std::shared_ptr<recording::RecordingSink> keep = sink_;
        const QString path = path_;
        sink_->finish(end, [keep, path, done = std::move(done),
                            saved = onSaved](std::optional<recording::WriterError> error) {
            QTimer::singleShot(0, qApp, [keep] {});
            if (saved) {
                saved();
            }
            if (error) {
                done(*error);
            } else {
                done(path);
            }
        });
    }
    void pause() override { sink_->pause(); }
    void resume() override { sink_->resume(); }
    void updateFilter(const recording::RecordingFilter&) override {}
    void update(const QRectF&) override {}
    QSize size() const override { return size_; }

    // The movie is at its path (or failed), on the main thread.
    std::function<void()> onSaved;

private:
    void feed(int fps, bool sound) {
        const platform::HostTime start = platform::hostTimeNow();
        const platform::HostTime period = 1'000'000'000 / fps;
        constexpr platform::HostTime soundPeriod = 10'000'000;
        constexpr int soundFrames = 480;
        platform::HostTime nextSound = start;
        std::int64_t soundPosition = 0;
        for (int index = 0;; ++index) {
            const platform::HostTime due = start + index * period;
            {
                std::unique_lock lock(mutex_);
                const auto wait = std::chrono::nanoseconds(due - platform::hostTimeNow());
                if (wake_.wait_for(lock, wait, [this] { return ending_; })) {
                    return;
                }
            }
            platform::VideoFrame frame{page_.frame(index), due};
            sink_->queue().async(
                [sink = sink_, frame = std::move(frame)] { sink->appendVideo(frame); });
            while (sound && nextSound <= due) {
                platform::AudioChunk chunk;
                chunk.time = nextSound;
                chunk.samples.resize(2 * soundFrames);
                for (int i = 0; i < soundFrames; ++i) {
                    const float value =
                        0.2f * std::sin(2 * M_PI * 440 * double(soundPosition + i) / 48000.0);
                    chunk.samples[2 * i] = chunk.samples[2 * i + 1] = value;
                }
                soundPosition += soundFrames;
                nextSound += soundPeriod;
                sink_->queue().async([sink = sink_, chunk = std::move(chunk)] {
                    sink->appendAudio(chunk, recording::AudioTrack::system);
                });
            }
        }
    }

    void endFeeding() {
        {
            std::lock_guard lock(mutex_);
            ending_ = true;
        }
        wake_.notify_all();
        if (feeder_.joinable()) {
            feeder_.join();
        }
    }

    std::shared_ptr<recording::RecordingSink> sink_;
    QString path_;
    QSize size_;
    bench::ScrollingPage page_;
    std::thread feeder_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool ending_ = false;
};

struct Round {
    double stopToDelivered = 0; // seconds
    double stopToFile = 0;      // until the movie was at its path
    double cpu = 0;             // seconds, all threads, stop to delivered
    double remux = 0;
    double remuxCpu = 0;
    qint64 bytes = 0;
    double duration = 0;
};

Round record(const QString& folder, int seconds, QSize size, int fps) {
    app::Preferences preferences(QDir(folder).filePath(QStringLiteral("settings.conf")));
    preferences.setRecordingCountdown(0);
    preferences.setRecordingFPS(fps);
    GrantedProbe probe;

    Round round;
    PageRecorder* recorder = nullptr;
    RecordingSession::Services services;
    services.preferences = &preferences;
    services.probe = &probe;
    services.recordingsFolder = folder;
    services.maximumFramesPerSecond = [fps](const desktop::CaptureDisplay&) { return fps; };
    services.now = [] { return bench::now(); };
    services.alert = [](const QString& message, const QString& detail) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(message), qPrintable(detail));
        std::exit(1);
    };
    services.makeRecorder = [&](const desktop::CaptureDisplay&, const QRect&,
                                const recording::RecordingOptions& options,
                                const QString& into) -> RecordingSession::RecorderResult {
        const QString path = QDir(into).filePath(
            QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".mp4"));
        std::vector<recording::AudioTrack> audio;
        if (options.systemAudio) {
            audio.push_back(recording::AudioTrack::system);
        }
        auto made = recording::SinkFactory::movieWriter().make(path, size, options.fps,
                                                               options.bitsPerPixel, audio);
        if (auto* error = std::get_if<recording::WriterError>(&made)) {
            return error->description();
        }
        auto page = std::make_unique<PageRecorder>(
            std::move(std::get<std::unique_ptr<recording::RecordingSink>>(made)), path, size,
            options.fps, options.systemAudio);
        recorder = page.get();
        return page;
    };

    desktop::CaptureDisplay display;
    display.scale = 1;
    display.frame = QRectF(QPointF(0, 0), QSizeF(size));
    std::optional<app::Recording> delivered;
    bool ended = false;
    double endAt = 0;
    RecordingSession session(
        display, QRect(QPoint(0, 0), size), std::nullopt,
        [&](const std::optional<app::Recording>& recording) {
            endAt = bench::now();
            delivered = recording;
            ended = true;
        },
        std::move(services));
    session.model().setSystemAudio(true);
    session.present();
    session.start();
    // Waiting sleeps in the event loop: a spinning main thread would take a
    // core from the encoder and count in our CPU.
    while (!session.hasRecorder()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    {
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    double savedAt = 0;
    recorder->onSaved = [&savedAt] { savedAt = bench::now(); };
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const double stopAt = bench::now();
    session.stop();
    while (!ended) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    getrusage(RUSAGE_SELF, &after);
    round.stopToDelivered = endAt - stopAt;
    round.stopToFile = savedAt - stopAt;
    round.cpu = bench::cpuSeconds(after) - bench::cpuSeconds(before);
    if (!delivered) {
        std::fprintf(stderr, "bench: nothing was delivered\n");
        std::exit(1);
    }
    const QString file = delivered->url.toLocalFile();
    round.bytes = QFileInfo(file).size();
    round.duration = delivered->duration;

    const QString remuxed = QDir(folder).filePath(QStringLiteral("remuxed.mp4"));
    const bench::Sample remux = bench::runCommand(
        {"ffmpeg", "-v", "error", "-y", "-i", QFile::encodeName(file).toStdString(), "-c", "copy",
         "-movflags", "+faststart", QFile::encodeName(remuxed).toStdString()});
    round.remux = remux.wall;
    round.remuxCpu = remux.cpu;
    QFile::remove(remuxed);
    QFile::remove(file);
    return round;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const QSize size(1920, 1080);
    const int fps = 60;
    QTemporaryDir dir;
    std::printf("stop → delivered for %d s of %dx%d at %d fps, beside ffmpeg's remux with "
                "+faststart\n",
                seconds, size.width(), size.height(), fps);
    std::printf("%5s %9s %9s %8s %9s %8s %7s %7s %9s\n", "round", "ours ms", "(file ms)", "CPU s",
                "remux ms", "CPU s", "ratio", "MB", "length s");
    std::vector<double> ours, remuxes, ratios;
    for (int i = 0; i < rounds; ++i) {
        const Round r = record(dir.path(), seconds, size, fps);
        std::printf("%5d %9.1f %9.1f %8.3f %9.1f %8.3f %7.2f %7.1f %9.2f\n", i + 1,
                    r.stopToDelivered * 1e3, r.stopToFile * 1e3, r.cpu, r.remux * 1e3, r.remuxCpu,
                    r.stopToDelivered / r.remux, r.bytes / 1e6, r.duration);
        std::fflush(stdout);
        ours.push_back(r.stopToDelivered);
        remuxes.push_back(r.remux);
        ratios.push_back(r.stopToDelivered / r.remux);
    }
    std::printf("median: ours %.1f ms, remux %.1f ms, ours/remux %.2f (aim: at most 1.50)\n",
                bench::median(ours) * 1e3, bench::median(remuxes) * 1e3, bench::median(ratios));
    return 0;
}
