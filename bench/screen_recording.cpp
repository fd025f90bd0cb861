// The whole road of a screen recording against a real X server: the display
// grabbed, our panels left out, the pointer drawn, the colours converted and
// H.264 encoded into the movie file, while a page scrolls at 60 frames a
// second; beside `ffmpeg -f x11grab` at the same size, rate, preset and bit
// rate. For each side: the frames in the file and per second of the time
// recorded, the frames missing and the longest gap between two frames, the
// movie's length against the time recorded, and the CPU of the recorder and
// of the X server in cores. Run it on an X server of its own
// (bench/screen_recording.sh puts it under the test rig at a chosen size).
//
//   screen_recording [SECONDS] [FPS]   (default 20 s at 60 fps)
//   BENCH_COUNTDOWN=N                  the movie opened N s ahead, as during a
//                                      session's countdown
//   screen_recording --scroll          the scrolling page alone, until killed
#include "RigCpu.h"
#include "ScrollingPage.h"
#include "recording/RecordingWriter.h"
#include "recording/ScreenRecorder.h"

#include "desktop/RegionFrameWindow.h"
#include "desktop/ScreenGeometry.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using bench::processSeconds;
using bench::runFor;
using bench::serverSeconds;

QString loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLatin1(file.readAll().split(' ').value(0));
}

// What the movie holds: its frames' times.
struct Movie {
    std::vector<double> times;
    double length = 0;
};

Movie readMovie(const QString& path) {
    Movie movie;
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {"-v", "error", "-select_streams", "v:0", "-show_entries",
                 "packet=pts_time:format=duration", "-of", "csv=p=0", path});
    probe.waitForFinished(120000);
    const QList<QByteArray> lines = probe.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines) {
        bool ok = false;
        const double value = line.trimmed().toDouble(&ok);
        if (ok) {
            movie.times.push_back(value);
        }
    }
    // The format's duration comes last.
    if (!movie.times.empty()) {
        movie.length = movie.times.back();
        movie.times.pop_back();
    }
    std::sort(movie.times.begin(), movie.times.end());
    return movie;
}

struct Run {
    double wall = 0;
    double process = 0;
    double server = 0;
    Movie movie;
};

void print(const char* name, const Run& run, int fps) {
    const std::size_t frames = run.movie.times.size();
    double gap = 0;
    for (std::size_t i = 1; i < frames; ++i) {
        gap = std::max(gap, run.movie.times[i] - run.movie.times[i - 1]);
    }
    const double expected = run.wall * fps;
    std::printf("  %-8s %5zu frames, %5.1f /s of %d (%4.1f %% missing), longest gap %4.0f ms; "
                "movie %6.2f s of %6.2f s recorded; CPU %.1f s = %.2f cores, X server %.2f "
                "cores\n",
                name, frames, frames / run.wall, fps,
                expected > 0 ? std::max(0.0, 100 * (1 - frames / expected)) : 0.0, gap * 1000,
                run.movie.length, run.wall, run.process, run.process / run.wall,
                run.server / run.wall);
}

Run recordOurs(int secondsToRecord, int fps, const QString& folder) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const std::optional<desktop::CaptureDisplay> display =
        desktop::ScreenGeometry::captureDisplay(screen);
    if (!display) {
        std::fprintf(stderr, "no display\n");
        std::exit(1);
    }
    const QRectF region(QPointF(), display->frame.size());
    // As in a recording session: our frame stands over the display, to be
    // left out of every frame.
    desktop::RegionFrameWindow frame(display->frame, region);
    frame.setStyle(desktop::RegionFrameWindow::Style::recording);
    runFor(300);
    recording::RecordingOptions options;
    options.fps = fps;
    options.showCursor = true;
    // With "Retina" recording off, a display of scale 2 is recorded at half
    // its pixels.
    options.scale = qEnvironmentVariableIsSet("BENCH_HALF") ? 1.0 : display->scale;
    // As a session with a countdown does: the movie opened while the seconds
    // are counted, its encoder warming up; outside the measured time.
    std::shared_ptr<recording::ScreenRecorder::PreparedMovie> prepared;
    if (const int countdown = qEnvironmentVariableIntValue("BENCH_COUNTDOWN"); countdown > 0) {
        prepared = recording::ScreenRecorder::prepareMovie(
            region, options, recording::SinkFactory::movieWriter(), folder);
        runFor(countdown * 1000);
    }
    const double process0 = processSeconds(RUSAGE_SELF);
    const double server0 = serverSeconds();
    auto made = recording::ScreenRecorder::make(display->displayID, region, options,
                                                recording::SinkFactory::movieWriter(), folder,
                                                nullptr, prepared);
    if (!std::holds_alternative<std::unique_ptr<recording::ScreenRecorder>>(made)) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(std::get<recording::RecorderError>(made).description()));
        std::exit(1);
    }
    auto recorder = std::move(std::get<0>(made));
    // Recording from here, as the session counts it: the recorder has
    // started (its encoder open, its first frame due).
    QElapsedTimer wall;
    wall.start();
    runFor(secondsToRecord * 1000);
    const double recorded = wall.elapsed() / 1000.0;
    QString path;
    bool done = false;
    recorder->finish([&](std::variant<QString, recording::WriterError> result) {
        if (auto* file = std::get_if<QString>(&result)) {
            path = *file;
        } else {
            std::fprintf(stderr, "%s\n",
                         qPrintable(std::get<recording::WriterError>(result).description()));
        }
        done = true;
    });
    while (!done) {
        runFor(20);
    }
    // The time recorded runs up to the stop; the CPU includes finishing the
    // file, spread over that time.
    Run run;
    run.wall = recorded;
    run.process = processSeconds(RUSAGE_SELF) - process0;
    run.server = serverSeconds() - server0;
    run.movie = readMovie(path);
    return run;
}

Run recordFfmpeg(int secondsToRecord, int fps, const QString& folder) {
    const QSize size = QGuiApplication::primaryScreen()->size() *
                       QGuiApplication::primaryScreen()->devicePixelRatio();
    const QString path = folder + QStringLiteral("/ffmpeg.mp4");
    // The bit rate ours is given: that of the default quality.
    const std::int64_t bitRate = recording::RecordingWriter::averageBitRate(
        fps, size.width(), size.height(), recording::RecordingOptions().bitsPerPixel);
    const double children0 = processSeconds(RUSAGE_CHILDREN);
    const double server0 = serverSeconds();
    QElapsedTimer wall;
    wall.start();
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-v",
                  "error",
                  "-y",
                  "-f",
                  "x11grab",
                  "-framerate",
                  QString::number(fps),
                  "-video_size",
                  QStringLiteral("%1x%2").arg(size.width()).arg(size.height()),
                  "-draw_mouse",
                  "1",
                  "-i",
                  qEnvironmentVariable("DISPLAY"),
                  "-t",
                  QString::number(secondsToRecord),
                  "-fps_mode",
                  "passthrough",
                  "-c:v",
                  "libx264",
                  "-preset",
                  "veryfast",
                  "-b:v",
                  QString::number(bitRate),
                  "-pix_fmt",
                  "yuv420p",
                  path});
    ffmpeg.waitForFinished(-1);
    // ffmpeg records for the time asked and then finishes the file; its
    // CPU is spread over the time recorded as ours is.
    Run run;
    run.wall = std::min(wall.elapsed() / 1000.0, double(secondsToRecord));
    run.process = processSeconds(RUSAGE_CHILDREN) - children0;
    run.server = serverSeconds() - server0;
    run.movie = readMovie(path);
    return run;
}

// A full-screen window below everything scrolling a page by a few pixels
// each 60th of a second, on a steady grid.
class ScrollingWindow : public QWidget {
public:
    ScrollingWindow() : page_(QGuiApplication::primaryScreen()->size()) {
        setWindowFlag(Qt::WindowStaysOnBottomHint);
        setWindowFlag(Qt::FramelessWindowHint);
        setGeometry(QGuiApplication::primaryScreen()->geometry());
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, [this] {
            index_ = clock_.elapsed() * 60 / 1000;
            repaint();
            timer_.start(int((index_ + 1) * 1000 / 60 - clock_.elapsed()) + 1);
        });
        clock_.start();
        timer_.start(0);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).drawImage(0, 0, page_.frame(int(index_)));
    }

private:
    bench::ScrollingPage page_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 index_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--scroll") == 0) {
        ScrollingWindow window;
        window.show();
        return app.exec();
    }
    // The recorder's own account of its ticks and steps, beside the figures.
    QLoggingCategory::setFilterRules(QStringLiteral("vexlin.recording.info=true"));
    qSetMessagePattern(QStringLiteral("  %{message}"));
    const int secondsToRecord = argc > 1 ? std::atoi(argv[1]) : 20;
    const int fps = argc > 2 ? std::atoi(argv[2]) : 60;
    const QSize size = QGuiApplication::primaryScreen()->size();
    QTemporaryDir folder;
    QProcess scroller;
    scroller.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--scroll")});
    if (!scroller.waitForStarted()) {
        std::fprintf(stderr, "could not start the scrolling page\n");
        return 1;
    }
    runFor(1500);
    std::printf("%d s of %dx%d at %d fps, a page scrolling at 60 fps; countdown %d s; %ld cores, "
                "load %s\n",
                secondsToRecord, size.width(), size.height(), fps,
                qEnvironmentVariableIntValue("BENCH_COUNTDOWN"), sysconf(_SC_NPROCESSORS_ONLN),
                qPrintable(loadAverage()));
    std::fflush(stdout);
    const Run ours = recordOurs(secondsToRecord, fps, folder.path());
    print("ours", ours, fps);
    std::fflush(stdout);
    const Run theirs = recordFfmpeg(secondsToRecord, fps, folder.path());
    print("ffmpeg", theirs, fps);
    std::printf("  load after: %s\n", qPrintable(loadAverage()));
    scroller.kill();
    scroller.waitForFinished();
    return 0;
}
