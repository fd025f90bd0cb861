// The editor canvas while a new rectangle is dragged out over a 5K capture
// (5120 × 2880 pixels at scale 2) with 50 marks (5 blurs, 5 pixelates, every
// mark with its shadow) on a background, in a 1400 × 900 canvas: 200 drag
// steps, each followed by the repaint it causes. Prints the paint times'
// median, 95th percentile and maximum. The filtered copies are made by one
// paint before the replay, as the first paint of an opened editor does.
//
// For comparison, the same replay drawn straight through the renderer at the
// canvas's scale from the full-size capture: the canvas without its own
// caches (its content layer and its shrunken copy of the capture).
#include "AnnotatedDocument.h"
#include "BusyScreen.h"

#include "annotation/CustomColors.h"
#include "annotation/EditorDocument.h"
#include "annotation/Renderer.h"
#include "editor/canvas/CanvasView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace annotation;

namespace {

constexpr int kWidth = 5120;
constexpr int kHeight = 2880;
constexpr double kScale = 2;
constexpr QSize kCanvas(1400, 900);
constexpr int kSteps = 200;

const QImage& capture() {
    static const QImage image = bench::BusyScreen::make(kWidth, kHeight)
                                    .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return image;
}

EditorState document() {
    return bench::annotatedDocument(kWidth / kScale, kHeight / kScale, 140);
}

app::Capture captureRecord() {
    app::Capture c;
    c.id = QUuid::createUuid();
    c.image = capture();
    c.scale = kScale;
    c.date = QDateTime::currentDateTimeUtc();
    return c;
}

// Where the drag goes at step i, in image points.
Point dragPoint(int i) {
    return Point{400.0 + 6 * i, 300.0 + 3.5 * i};
}

void report(benchmark::State& s, std::vector<double> ms, const char* what) {
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) {
        return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * ms.size()))];
    };
    s.counters["p50_ms"] = at(0.5);
    s.counters["p95_ms"] = at(0.95);
    s.counters["max_ms"] = ms.back();
    std::printf("%s: %d paints, median %.2f ms, 95th percentile %.2f ms, max %.2f ms\n", what,
                static_cast<int>(ms.size()), at(0.5), at(0.95), ms.back());
    std::fflush(stdout);
}

void BM_CanvasDragNewRectangle(benchmark::State& s) {
    CustomColors colours(nullptr);
    EditorDocument doc(captureRecord(), document(), &colours);
    doc.setTool(Tool::rectangle);
    editor::CanvasView view(doc);
    view.resize(kCanvas);
    QImage target(kCanvas, QImage::Format_ARGB32_Premultiplied);
    view.render(&target);
    std::vector<double> ms;
    for (auto _ : s) {
        ms.clear();
        const editor::CanvasGeometry g = view.geometry();
        view.controller().mouseDown(editor::PointerInput{g.toView(dragPoint(0)), false, 1});
        for (int i = 1; i <= kSteps; ++i) {
            view.controller().mouseDragged(editor::PointerInput{g.toView(dragPoint(i)), false, 1});
            QCoreApplication::processEvents();
            QElapsedTimer timer;
            timer.start();
            view.render(&target);
            ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
        view.controller().mouseUp(editor::PointerInput{g.toView(dragPoint(kSteps)), false, 1});
        doc.undo();
    }
    report(s, ms, "canvas");
}
BENCHMARK(BM_CanvasDragNewRectangle)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The renderer alone at the canvas's transform, from the full-size capture.
void BM_RendererAtCanvasScale(benchmark::State& s) {
    CustomColors colours(nullptr);
    EditorDocument doc(captureRecord(), document(), &colours);
    const editor::CanvasGeometry g = editor::CanvasGeometry::of(
        doc, Size{static_cast<double>(kCanvas.width()), static_cast<double>(kCanvas.height())});
    QImage target(kCanvas, QImage::Format_ARGB32_Premultiplied);
    const auto paint = [&](const EditorState& state) {
        target.fill(Qt::gray);
        QPainter p(&target);
        p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                         QPainter::TextAntialiasing);
        p.translate(g.origin.x, g.origin.y);
        p.scale(g.scale, g.scale);
        renderer::drawDocument(p, state, doc.sources(), g.layout);
    };
    paint(doc.state());
    std::vector<double> ms;
    for (auto _ : s) {
        ms.clear();
        EditorState state = doc.state();
        state.annotations.push_back(Annotation{QUuid::createUuid(),
                                               Shape::area(ShapeKind::rectangle, Rect()),
                                               RGBA::palette()[0], 5, true, TextStyle::plain});
        for (int i = 1; i <= kSteps; ++i) {
            const Point o = dragPoint(0);
            const Point p = dragPoint(i);
            state.annotations.back().shape =
                Shape::area(ShapeKind::rectangle, Rect(o.x, o.y, p.x - o.x, p.y - o.y));
            QElapsedTimer timer;
            timer.start();
            paint(state);
            ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
    }
    report(s, ms, "renderer alone");
}
BENCHMARK(BM_RendererAtCanvasScale)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
