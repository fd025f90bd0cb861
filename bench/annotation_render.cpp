// Flattening a 4K document of the busy desktop (BusyScreen.h): 50 marks (5 of
// them blurs), a background with shadow, text and counters; and the Gaussian
// blur alone. The CPU column counts every thread of the process.
//
//   annotation_render --write-fixture FILE.ppm   the desktop, for other tools
//   annotation_render --blur FILE.ppm SIGMA      one process: read the file and
//                                                blur it as a blur mark does
//                                                (SIGMA 0: read only);
//                                                bench/blur_vs_imagemagick.sh
//                                                sets it beside ImageMagick
#include "BusyDocument.h"
#include "BusyScreen.h"
#include "Ppm.h"

#include "annotation/ImageFilters.h"
#include "annotation/Renderer.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

using namespace annotation;

namespace {

constexpr int kWidth = 3840;
constexpr int kHeight = 2160;
constexpr double kScale = 2;

const QImage& fixture() {
    static const QImage image = bench::BusyScreen::make(kWidth, kHeight)
                                    .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return image;
}

EditorState document() {
    return bench::busyDocument(kWidth, kHeight, kScale);
}

// A whole export of a freshly opened document: the blurred copy is made too.
void BM_RenderDocument(benchmark::State& s) {
    const QImage& base = fixture();
    const EditorState state = document();
    for (auto _ : s) {
        ImageSources sources(base, kScale);
        benchmark::DoNotOptimize(renderer::render(state, sources));
    }
}
BENCHMARK(BM_RenderDocument)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// Redrawing after an edit, with the filtered copies already made.
void BM_RenderDocumentCached(benchmark::State& s) {
    const QImage& base = fixture();
    const EditorState state = document();
    ImageSources sources(base, kScale);
    renderer::render(state, sources);
    for (auto _ : s) {
        benchmark::DoNotOptimize(renderer::render(state, sources));
    }
}
BENCHMARK(BM_RenderDocumentCached)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// The blur of a pixelated region's copy: sigma 9 points at scale 2.
void BM_GaussianBlur4K(benchmark::State& s) {
    const QImage& base = fixture();
    for (auto _ : s) {
        benchmark::DoNotOptimize(imageFilters::gaussianBlur(base, 9 * kScale));
    }
}
BENCHMARK(BM_GaussianBlur4K)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

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
