// What the click and keystroke overlay costs a recording: the primary display
// recorded at its full size and 60 frames a second for a while, once without
// the overlay and once with pulses and "All keys", each time with 5 clicks
// and 5 key presses a second from xdotool. Prints the CPU this process and
// the X server used in each run (in cores) and the ratio. Run it on an X
// server of its own (bench/overlay_cost.sh puts it under the test rig).
//
// Two scenes: a still desktop, where a recording costs least and anything
// that moves on it (the pulses, the label) makes the encoder work, and a page
// scrolling at 60 frames a second behind the clicks, as when someone records
// what they do. The page is drawn by a second process of this program, not
// counted; the X server's share of drawing it is in both runs alike.
//
//   overlay_cost [SECONDS]     (default 60)
//   overlay_cost --scroll      the scrolling page alone, until killed
#include "RigCpu.h"
#include "ScrollingPage.h"
#include "overlays/RecordingOverlay.h"
#include "recording/ScreenRecorder.h"

#include "desktop/ScreenGeometry.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

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

struct Run {
    double process = 0;
    double server = 0;
    double seconds = 0;
};

Run record(int seconds, bool withOverlay, const QString& folder, bool withRecorder = true) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const std::optional<desktop::CaptureDisplay> display =
        desktop::ScreenGeometry::captureDisplay(screen);
    if (!display) {
        std::fprintf(stderr, "no display\n");
        std::exit(1);
    }
    const QRectF region(QPointF(), display->frame.size());
    std::unique_ptr<overlays::RecordingOverlay> overlay;
    recording::RecordingOptions options;
    options.fps = 60;
    if (withOverlay) {
        overlays::RecordingOverlay::Options overlayOptions;
        overlayOptions.displayFrame = display->frame;
        overlayOptions.region = region;
        overlayOptions.highlightClicks = true;
        overlayOptions.keystrokeMode = app::KeystrokeMode::allKeys;
        overlay = std::make_unique<overlays::RecordingOverlay>(overlayOptions);
        options.filter.recordedWindows.insert(
            static_cast<std::uint32_t>(overlay->window()->winId()));
        runFor(300);
    }
    std::unique_ptr<recording::ScreenRecorder> recorder;
    if (withRecorder) {
        auto made = recording::ScreenRecorder::make(display->displayID, region, options,
                                                    recording::SinkFactory::movieWriter(), folder);
        if (!std::holds_alternative<std::unique_ptr<recording::ScreenRecorder>>(made)) {
            std::fprintf(stderr, "%s\n",
                         qPrintable(std::get<recording::RecorderError>(made).description()));
            std::exit(1);
        }
        recorder = std::move(std::get<0>(made));
    }
    // Five clicks and five keys a second, spread over the display.
    QProcess driver;
    driver.start(QStringLiteral("bash"),
                 {QStringLiteral("-c"),
                  QStringLiteral("end=$((SECONDS + %1)); i=0; while [ $SECONDS -lt $end ]; do "
                                 "i=$((i + 1)); xdotool mousemove $((200 + i * 37 % 1400)) "
                                 "$((150 + i * 53 % 700)) click 1 key a; sleep 0.19; done")
                      .arg(seconds)});
    const double process0 = processSeconds();
    const double server0 = serverSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    Run run;
    run.process = processSeconds() - process0;
    run.server = serverSeconds() - server0;
    run.seconds = wall.elapsed() / 1000.0;
    bool done = !recorder;
    if (recorder) {
        recorder->finish([&done](std::variant<QString, recording::WriterError>) { done = true; });
    }
    while (!done) {
        runFor(50);
    }
    driver.waitForFinished(5000);
    if (overlay) {
        overlay->stop();
    }
    return run;
}

// A full-screen window below everything scrolling a page by a few pixels
// every 60th of a second; clicks land on it.
class ScrollingWindow : public QWidget {
public:
    ScrollingWindow() : page_(QGuiApplication::primaryScreen()->size()) {
        setWindowFlag(Qt::WindowStaysOnBottomHint);
        setGeometry(QGuiApplication::primaryScreen()->geometry());
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, [this] {
            ++index_;
            update();
        });
        timer_.start(16);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, page_.frame(index_)); }

private:
    bench::ScrollingPage page_;
    QTimer timer_;
    int index_ = 0;
};

void printScene(const char* scene, const Run& off, const Run& on, const Run& alone) {
    auto print = [](const char* name, const Run& run) {
        std::printf("  %-18s process %.3f cores, X server %.3f cores, together %.3f\n", name,
                    run.process / run.seconds, run.server / run.seconds,
                    (run.process + run.server) / run.seconds);
    };
    std::printf("%s\n", scene);
    print("without overlay", off);
    print("with overlay", on);
    print("overlay alone", alone);
    const double before = (off.process + off.server) / off.seconds;
    const double after = (on.process + on.server) / on.seconds;
    std::printf("  overlay adds %+.1f %% CPU (target: at most +5 %%)\n",
                before > 0 ? (after / before - 1) * 100 : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--scroll") == 0) {
        ScrollingWindow window;
        window.show();
        return app.exec();
    }
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    QTemporaryDir folder;
    std::printf("%d s at 60 fps of %dx%d, 5 clicks and 5 keys a second\n", seconds,
                QGuiApplication::primaryScreen()->size().width(),
                QGuiApplication::primaryScreen()->size().height());
    {
        const Run off = record(seconds, false, folder.path());
        const Run on = record(seconds, true, folder.path());
        const Run alone = record(seconds, true, folder.path(), false);
        printScene("a still desktop", off, on, alone);
    }
    std::fflush(stdout);
    QProcess scroller;
    scroller.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--scroll")});
    if (!scroller.waitForStarted()) {
        std::fprintf(stderr, "could not start the scrolling page\n");
        return 1;
    }
    runFor(1000);
    const Run off = record(seconds, false, folder.path());
    const Run on = record(seconds, true, folder.path());
    const Run alone = record(seconds, true, folder.path(), false);
    scroller.kill();
    scroller.waitForFinished();
    printScene("a page scrolling behind the clicks", off, on, alone);
    return 0;
}
