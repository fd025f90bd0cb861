// Stitching throughput: frames of a region scrolling steadily under a fixed
// toolbar and status bar, fed one by one as the capture thread would. Reports
// the time per frame and frames per second; the capture runs at up to 20
// frames a second. The pages are rendered like real ones (BusyScreen.h): a
// document of text only, whose many alike rows are the hard case for the
// shift search, and a web page with photos. The CPU column counts every
// thread of the process.
#include "BusyScreen.h"

#include "capture/scrolling/ScrollStitcher.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

using capture::ScrollStitcher;
using capture::stitching::PixelView;

namespace {

enum class Content { document, webPage };

// A page `width` wide and `height` tall, laid out at the scale a screen of
// that width has (1920 pixels: 1). Rendering a tall page takes seconds, so
// the last one is kept.
const QImage& page(int width, int height, Content content) {
    static std::tuple<int, int, Content> key{0, 0, Content::document};
    static QImage image;
    if (key != std::tuple{width, height, content}) {
        image = QImage();
        image = bench::BusyScreen::page(width, height, width / 1920.0, content == Content::webPage);
        key = {width, height, content};
    }
    return image;
}

const std::uint32_t* row(const QImage& image, int y) {
    return reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
}

// Arguments: width, height, rows scrolled per frame, content.
void stitchFrames(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const int step = static_cast<int>(state.range(2));
    const auto content = static_cast<Content>(state.range(3));
    const int header = height / 12;
    const int footer = height / 30;
    const int body = height - header - footer;
    // A sequence that stays below the height limit, so that every frame
    // after the first is stitched.
    const int frames = std::min(60, (ScrollStitcher::maxHeight - height) / step + 1);
    const int pageHeight = body + step * frames;
    const QImage& source = page(width, pageHeight, content);
    std::vector<std::uint32_t> frame(static_cast<std::size_t>(width) * height);
    // Toolbar and status bar: flat grey.
    std::fill(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(header) * width,
              0xffe0e0e0u);
    std::fill(frame.end() - static_cast<std::ptrdiff_t>(footer) * width, frame.end(), 0xffd0d0d0u);
    const auto show = [&](int offset) {
        std::memcpy(frame.data() + static_cast<std::size_t>(header) * width, row(source, offset),
                    static_cast<std::size_t>(body) * width * 4);
    };
    const PixelView view{reinterpret_cast<const std::uint8_t*>(frame.data()), width, height,
                         static_cast<std::ptrdiff_t>(width) * 4};

    auto stitcher = std::make_unique<ScrollStitcher>();
    int index = 0;
    std::int64_t appended = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (index == frames) {
            stitcher = std::make_unique<ScrollStitcher>();
            index = 0;
        }
        show(index * step);
        state.ResumeTiming();
        const ScrollStitcher::AddResult result = stitcher->add(view);
        appended += result.isAppended() ? 1 : 0;
        ++index;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["appended"] =
        benchmark::Counter(static_cast<double>(appended) / static_cast<double>(state.iterations()));
}

// A 1920 × 1080 region, a 2× 1920 × 1080 region; slow and fast scrolling.
BENCHMARK(stitchFrames)
    ->ArgNames({"width", "height", "step", "photos"})
    ->Args({1920, 1080, 40, 0})
    ->Args({1920, 1080, 40, 1})
    ->Args({1920, 1080, 200, 0})
    ->Args({3840, 2160, 80, 0})
    ->Args({3840, 2160, 80, 1})
    ->Args({3840, 2160, 400, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// A preview every quarter second of a stitch that has grown tall.
void previewOfTallStitch(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = 1080;
    const int step = 300;
    const QImage& source = page(width, 24000, Content::document);
    ScrollStitcher stitcher;
    const auto at = [&](int offset) {
        return PixelView{reinterpret_cast<const std::uint8_t*>(row(source, offset)), width, height,
                         static_cast<std::ptrdiff_t>(width) * 4};
    };
    int offset = 0;
    stitcher.add(at(0));
    while (offset + step + height <= 24000 - 2 * step && stitcher.height() < 20000) {
        offset += step;
        stitcher.add(at(offset));
    }
    stitcher.preview();
    for (auto _ : state) {
        state.PauseTiming();
        // A frame one row further down, while the page lasts (the iterations
        // are fixed below so that it does).
        offset = std::min(offset + 1, source.height() - height);
        stitcher.add(at(offset));
        state.ResumeTiming();
        benchmark::DoNotOptimize(stitcher.preview());
    }
    state.counters["height"] = stitcher.height();
}
BENCHMARK(previewOfTallStitch)
    ->Arg(1920)
    ->Iterations(500)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// The final picture at full size.
void composeTallStitch(benchmark::State& state) {
    const int width = 1920;
    const int height = 1080;
    const QImage& source = page(width, 12000, Content::webPage);
    ScrollStitcher stitcher;
    for (int offset = 0; offset + height <= 12000; offset += 500) {
        stitcher.add(PixelView{reinterpret_cast<const std::uint8_t*>(row(source, offset)), width,
                               height, static_cast<std::ptrdiff_t>(width) * 4});
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(stitcher.compose(1));
    }
    state.counters["height"] = stitcher.height();
}
BENCHMARK(composeTallStitch)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv); // the pages' fonts
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
