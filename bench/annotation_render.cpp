// Flattening a 4K document of the busy desktop (BusyScreen.h): 50 marks (5 of
// them blurs), a background with shadow, text and counters; the editor's
// canvas drawing a 5K document of the same kind into a 1400 × 900 view; and
// the Gaussian blur alone. "Fresh" is the first draw of a newly opened
// document (a new copy of the picture, nothing made yet), "warm" a redraw of the same state, "one
// mark moved" a redraw after an edit of one mark (a drag). The CPU column counts every thread of
// the process; main_cpu is the calling thread's alone.
//
//   annotation_render --write-fixture FILE.ppm   the desktop, for other tools
//   annotation_render --first-render FILE.ppm    one process: read the desktop,
//                                                then the first and second
//                                                fresh renders, timed
//   annotation_render --blur FILE.ppm SIGMA      one process: read the file and
//                                                blur it as a blur mark does
//                                                (SIGMA 0: read only);
//                                                bench/blur_vs_imagemagick.sh
//                                                sets it beside ImageMagick
#include "AnnotatedDocument.h"
#include "BusyScreen.h"
#include "Ppm.h"

#include "annotation/AnnotationGeometry.h"
#include "annotation/CanvasLayout.h"
#include "annotation/ImageFilters.h"
#include "annotation/Renderer.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <optional>
#include <utility>

using namespace annotation;

namespace {

constexpr int kWidth = 3840;
constexpr int kHeight = 2160;
constexpr double kScale = 2;

const QImage& busyScreen(int width, int height) {
    static std::map<std::pair<int, int>, QImage> screens;
    QImage& image = screens[{width, height}];
    if (image.isNull()) {
        image = bench::BusyScreen::make(width, height)
                    .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    return image;
}

const QImage& fixture() {
    return busyScreen(kWidth, kHeight);
}

// 50 marks spread over an image of w × h points.
EditorState document(double w, double h) {
    return bench::annotatedDocument(w, h, 96);
}

EditorState document() {
    return document(kWidth / kScale, kHeight / kScale);
}

// The state with its arrow number `step` moved a little, as during a drag.
EditorState moved(EditorState state, int step) {
    Annotation& arrow = state.annotations[1];
    arrow = offset(arrow, step % 2 == 0 ? 3 : -3, 1);
    return state;
}

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Runs `body` per iteration and reports the calling thread's CPU per
// iteration beside the process's.
template <class Body> void timed(benchmark::State& s, Body body) {
    double mainThread = 0;
    int step = 0;
    for (auto _ : s) {
        const double before = threadSeconds();
        body(step++);
        mainThread += threadSeconds() - before;
    }
    s.counters["main_cpu_ms"] =
        benchmark::Counter(mainThread * 1e3 / static_cast<double>(s.iterations()));
}

// What the document keeps between draws: filtered copies, shadows, the
// resampled base.
void keptMegabytes(benchmark::State& s, const ImageSources& sources) {
    s.counters["kept_MB"] =
        benchmark::Counter(static_cast<double>(sources.cache().stats().bytes) / 1e6);
}

void configure(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
}

// A whole export of a freshly opened document, as the editor's Save makes
// it: a new picture (a copy of its own, so that nothing keyed to the last
// round's picture is found again) in a new document, whose filtered copies
// and shadows are all made.
void BM_RenderFresh(benchmark::State& s) {
    const EditorState state = document();
    double mainThread = 0;
    for (auto _ : s) {
        s.PauseTiming();
        QImage base = fixture().copy();
        s.ResumeTiming();
        const double before = threadSeconds();
        {
            ImageSources sources(std::move(base), kScale);
            benchmark::DoNotOptimize(renderer::render(state, sources));
        }
        mainThread += threadSeconds() - before;
    }
    s.counters["main_cpu_ms"] =
        benchmark::Counter(mainThread * 1e3 / static_cast<double>(s.iterations()));
}
BENCHMARK(BM_RenderFresh)->Apply(configure);

// The same export again.
void BM_RenderWarm(benchmark::State& s) {
    const QImage& base = fixture();
    const EditorState state = document();
    ImageSources sources(base, kScale);
    renderer::render(state, sources);
    timed(s, [&](int) { benchmark::DoNotOptimize(renderer::render(state, sources)); });
    keptMegabytes(s, sources);
}
BENCHMARK(BM_RenderWarm)->Apply(configure);

// An export after one mark moved.
void BM_RenderOneMarkMoved(benchmark::State& s) {
    const QImage& base = fixture();
    const EditorState state = document();
    ImageSources sources(base, kScale);
    renderer::render(state, sources);
    timed(s, [&](int step) {
        benchmark::DoNotOptimize(renderer::render(moved(state, step), sources));
    });
}
BENCHMARK(BM_RenderOneMarkMoved)->Apply(configure);

// The editor's canvas: a 5120 × 2880 capture at scale 2 with 50 marks, laid
// out as the canvas lays it (fitted with 28 points free around it, centred on
// whole points) in a 1400 × 900 view, drawn through drawDocument.
struct CanvasFrame {
    static constexpr int kViewWidth = 1400;
    static constexpr int kViewHeight = 900;
    QImage view{kViewWidth, kViewHeight, QImage::Format_ARGB32_Premultiplied};

    void draw(const EditorState& state, ImageSources& sources) {
        const CanvasLayout layout = CanvasLayout::make(state, sources.imageSize(), false);
        const Size canvas = layout.canvasSize;
        const double scale = std::max(
            std::min({(kViewWidth - 56) / canvas.width, (kViewHeight - 56) / canvas.height, 1.0}),
            0.02);
        view.fill(QColor(230, 230, 230));
        QPainter painter(&view);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                               QPainter::TextAntialiasing);
        painter.translate(std::round((kViewWidth - canvas.width * scale) / 2),
                          std::round((kViewHeight - canvas.height * scale) / 2));
        painter.scale(scale, scale);
        renderer::drawDocument(painter, state, sources, layout);
    }
};

const QImage& canvasBase() {
    return busyScreen(5120, 2880);
}

EditorState canvasDocument() {
    return document(5120 / kScale, 2880 / kScale);
}

void BM_CanvasFresh(benchmark::State& s) {
    const QImage& base = canvasBase();
    const EditorState state = canvasDocument();
    CanvasFrame frame;
    timed(s, [&](int) {
        ImageSources sources(base, kScale);
        frame.draw(state, sources);
    });
}
BENCHMARK(BM_CanvasFresh)->Apply(configure);

void BM_CanvasWarm(benchmark::State& s) {
    const EditorState state = canvasDocument();
    ImageSources sources(canvasBase(), kScale);
    CanvasFrame frame;
    frame.draw(state, sources);
    timed(s, [&](int) { frame.draw(state, sources); });
    keptMegabytes(s, sources);
}
BENCHMARK(BM_CanvasWarm)->Apply(configure);

void BM_CanvasDrag(benchmark::State& s) {
    const EditorState state = canvasDocument();
    ImageSources sources(canvasBase(), kScale);
    CanvasFrame frame;
    frame.draw(state, sources);
    timed(s, [&](int step) { frame.draw(moved(state, step), sources); });
}
BENCHMARK(BM_CanvasDrag)->Apply(configure);

// The blur of a blur region's copy: sigma 9 points at scale 2.
void BM_GaussianBlur4K(benchmark::State& s) {
    const QImage& base = fixture();
    timed(s, [&](int) { benchmark::DoNotOptimize(imageFilters::gaussianBlur(base, 9 * kScale)); });
}
BENCHMARK(BM_GaussianBlur4K)->Apply(configure);

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double wallSeconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The first export of a process, with nothing made before it (fonts, glyphs,
// worker threads, filtered copies): what a Save right after opening costs.
int firstRender(const QString& file) {
    const QImage base =
        bench::readPortablePixmap(file).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (base.size() != QSize(kWidth, kHeight)) {
        std::fprintf(stderr, "annotation_render: %s is not a %dx%d binary PPM\n", qPrintable(file),
                     kWidth, kHeight);
        return 1;
    }
    const EditorState state = document();
    for (const char* round : {"first", "second"}) {
        QImage picture = base.copy();
        const double wall = wallSeconds();
        const double cpu = processSeconds();
        const double thread = threadSeconds();
        ImageSources sources(std::move(picture), kScale);
        const std::optional<QImage> image = renderer::render(state, sources);
        if (!image) {
            return 1;
        }
        std::printf("%s render in this process: %.1f ms wall, %.1f ms CPU (%.1f ms on the "
                    "calling thread)\n",
                    round, (wallSeconds() - wall) * 1e3, (processSeconds() - cpu) * 1e3,
                    (threadSeconds() - thread) * 1e3);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (argc == 4 && QByteArray(argv[1]) == "--blur") {
        // The picture as the editor holds it, then the blur.
        const QImage image = bench::readPortablePixmap(QString::fromLocal8Bit(argv[2]))
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) {
            std::fprintf(stderr, "annotation_render: cannot read %s as binary PPM\n", argv[2]);
            return 1;
        }
        const QImage blurred = imageFilters::gaussianBlur(image, std::atof(argv[3]));
        return blurred.isNull() ? 1 : 0;
    }
    QGuiApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--first-render") {
        return firstRender(QString::fromLocal8Bit(argv[2]));
    }
    if (argc == 3 && QByteArray(argv[1]) == "--write-fixture") {
        return bench::writeFile(QString::fromLocal8Bit(argv[2]), bench::portablePixmap(fixture()))
                   ? 0
                   : 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
