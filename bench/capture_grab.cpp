// How long one picture of the screen takes: a whole display through MIT-SHM
// and through plain GetImage, an area, and the drawn window shadow. Needs an X
// server (bench/grab.sh starts one at 1920×1080 and 3840×2160).
#include "capture/ScreenCapturer.h"
#include "capture/WindowShadow.h"
#include "desktop/ScreenGeometry.h"

#include "platform/ScreenGrabber.h"

#include <QGuiApplication>
#include <QScreen>
#include <benchmark/benchmark.h>

#include <cstdio>
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

BENCHMARK(BM_DisplaySharedMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DisplayGetImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Area800x600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowShadow)->Args({1600, 1200})->Args({800, 600})->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::puts("capture_grab: skipped, no X server (DISPLAY is not set); run bench/grab.sh");
        return 0;
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
