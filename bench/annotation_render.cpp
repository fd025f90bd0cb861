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
    EditorState state;
    state.background.isEnabled = true;
    state.background.padding = 96;
    const double w = kWidth / kScale;
    const double h = kHeight / kScale;
    for (int i = 0; i < 50; ++i) {
        const double x = 40 + (i * 137) % static_cast<int>(w - 300);
        const double y = 40 + (i * 71) % static_cast<int>(h - 200);
        const RGBA colour = RGBA::palette()[static_cast<std::size_t>(i) % 9];
        Shape shape = Shape::line({x, y}, {x + 120, y + 40});
        switch (i % 10) {
        case 0:
            shape = Shape::area(ShapeKind::blur, Rect(x, y, 240, 120));
            break;
        case 1:
            shape = Shape::arrow({x, y}, {x + 200, y + 90});
            break;
        case 2:
            shape = Shape::area(ShapeKind::rectangle, Rect(x, y, 220, 110));
            break;
        case 3:
            shape = Shape::text({x, y}, QStringLiteral("Step %1: look here").arg(i));
            break;
        case 4:
            shape = Shape::counter({x, y}, i);
            break;
        case 5:
            shape = Shape::area(ShapeKind::ellipse, Rect(x, y, 160, 90));
            break;
        case 6:
            shape = Shape::pencil({{x, y}, {x + 20, y + 30}, {x + 50, y + 10}, {x + 90, y + 40}});
            break;
        case 7:
            shape = Shape::highlighter({{x, y}, {x + 260, y}});
            break;
        case 8:
            shape = Shape::area(ShapeKind::filledRectangle, Rect(x, y, 120, 60));
            break;
        default:
            break;
        }
        state.annotations.push_back(
            Annotation{QUuid::createUuid(), shape, colour, 5, true, TextStyle::plain});
    }
    return state;
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
