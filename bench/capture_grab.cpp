// How long one picture of the screen takes. Needs an X server (bench/grab.sh
// starts one at 1920×1080 and 3840×2160 and shows a busy desktop on it).
//
//   capture_grab --grab-to FILE.png|FILE.raw   one process: grab the whole
//       screen as a capture does (MIT-SHM) and write it, encoded as a
//       capture's PNG or raw (the server's 32-bit pixels as they come, as xwd
//       writes them); grab.sh sets it beside other tools
//   capture_grab [benchmark flags]             in memory: a whole display
//       through MIT-SHM and through plain GetImage, an area, and the drawn
//       window shadow (CPU: every thread of the process)
#include "Ppm.h"

#include "app/ImageEncoding.h"
#include "capture/ScreenCapturer.h"
#include "capture/WindowShadow.h"
#include "desktop/ScreenGeometry.h"

#include "platform/ScreenGrabber.h"

#include <QGuiApplication>
#include <QScreen>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string_view>
#include <variant>

namespace {

void displaySnapshot(benchmark::State& state, bool sharedMemory) {
    platform::ScreenGrabber::shared()->setSharedMemoryEnabled(sharedMemory);
    QScreen* screen = QGuiApplication::primaryScreen();
    const QSet<std::uint32_t> keep = capture::ScreenCapturer::keepSet();
    for (auto _ : state) {
        auto result = capture::ScreenCapturer::displaySnapshots({screen}, false, keep);
        if (!std::holds_alternative<std::vector<desktop::DisplaySnapshot>>(result)) {
            state.SkipWithError("the display could not be read");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
    const QSize size = screen->size() * screen->devicePixelRatio();
    state.SetLabel(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()).toStdString());
    state.SetBytesProcessed(state.iterations() * size.width() * size.height() * 4);
    platform::ScreenGrabber::shared()->setSharedMemoryEnabled(true);
}

void BM_DisplaySharedMemory(benchmark::State& state) {
    displaySnapshot(state, true);
}
void BM_DisplayGetImage(benchmark::State& state) {
    displaySnapshot(state, false);
}

void BM_Area800x600(benchmark::State& state) {
    const auto display = desktop::ScreenGeometry::captureDisplay(QGuiApplication::primaryScreen());
    for (auto _ : state) {
        auto result = capture::ScreenCapturer::shot(*display, QRectF(100, 100, 800, 600), {});
        benchmark::DoNotOptimize(result);
    }
}

void BM_WindowShadow(benchmark::State& state) {
    QImage window(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                  QImage::Format_RGB32);
    window.fill(Qt::gray);
    for (auto _ : state) {
        benchmark::DoNotOptimize(capture::WindowShadow::addWindowShadow(window, 2.0));
    }
}

} // namespace

BENCHMARK(BM_DisplaySharedMemory)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_DisplayGetImage)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Area800x600)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_WindowShadow)
    ->Args({1600, 1200})
    ->Args({800, 600})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

namespace {

int grabTo(const QString& path) {
    platform::ScreenGrabber* grabber = platform::ScreenGrabber::shared();
    if (grabber == nullptr) {
        std::fputs("capture_grab: the X server cannot be reached\n", stderr);
        return 1;
    }
    const QImage image = grabber->grabRoot(QRect(QPoint(0, 0), grabber->rootSize()));
    if (image.isNull()) {
        std::fputs("capture_grab: the screen could not be read\n", stderr);
        return 1;
    }
    if (path.endsWith(QLatin1String(".raw"))) {
        return bench::writeFile(
                   path, QByteArray::fromRawData(reinterpret_cast<const char*>(image.constBits()),
                                                 static_cast<qsizetype>(image.sizeInBytes())))
                   ? 0
                   : 1;
    }
    const auto png = app::encodeImage(image, app::ImageFormat::png, 1.0);
    return png && bench::writeFile(path, *png) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::puts("capture_grab: skipped, no X server (DISPLAY is not set); run bench/grab.sh");
        return 0;
    }
    if (argc == 3 && std::string_view(argv[1]) == "--grab-to") {
        return grabTo(QString::fromLocal8Bit(argv[2]));
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    if (platform::ScreenGrabber::shared() == nullptr) {
        std::puts("capture_grab: skipped, the X server cannot be reached");
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
