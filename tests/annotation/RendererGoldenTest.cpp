// Whole renders compared with reference pictures made by an earlier renderer:
// any change to how a mark, a shadow, a region, the background or the
// on-screen view is drawn shows up here, pixel by pixel.
//
// After a change that is meant to alter the output, look at the new pictures
// and replace the references with them:
//   VEXLIN_GOLDEN_WRITE=/some/folder build/tests/test_annotation
//       --gtest_filter='RendererGolden*'
//   cp /some/folder/*.png tests/annotation/golden/
#include "annotation/CanvasLayout.h"
#include "annotation/Renderer.h"

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>

using namespace annotation;

namespace {

// A base picture with smooth areas and hard edges, so that blur, pixelate,
// spotlight and the highlighter's multiply all change it visibly. Drawn per
// image point, so both scales show the same picture.
QImage basePicture(double scale, bool translucent) {
    const int w = static_cast<int>(std::lround(320 * scale));
    const int h = static_cast<int>(std::lround(200 * scale));
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(scale, scale);
    QLinearGradient sky(0, 0, 320, 200);
    sky.setColorAt(0, QColor(240, 244, 250, translucent ? 140 : 255));
    sky.setColorAt(1, QColor(120, 170, 210, translucent ? 200 : 255));
    p.fillRect(QRectF(0, 0, 320, 200), sky);
    for (int i = 0; i < 8; ++i) {
        p.fillRect(QRectF(12 + 40 * i, 0, 14, 200),
                   QColor::fromHsv(i * 45, 160, 200, translucent ? 180 : 255));
    }
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 10; ++x) {
            if ((x + y) % 2 == 0) {
                p.fillRect(QRectF(150 + 7 * x, 120 + 7 * y, 7, 7), Qt::black);
            }
        }
    }
    return image;
}

Annotation mark(Shape shape, RGBA colour, double size, bool shadow,
                TextStyle style = TextStyle::plain) {
    return Annotation{QUuid::createUuid(), std::move(shape), colour, size, shadow, style};
}

const QUuid kEditedText(0x7e47, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);

// Every kind of mark, with the variants that take their own way through the
// renderer: an arrow too short to draw, a line and a stroke of no length,
// negative rectangles, multi-line and line-feed-ended text in both styles,
// one- and two-digit counters, bright and dark fills.
std::vector<Annotation> everyMark(bool shadow) {
    const RGBA red{0.9, 0.1, 0.1, 1};
    const RGBA blue{0.1, 0.2, 0.8, 1};
    const RGBA yellow{1, 0.85, 0, 1};
    const RGBA green{0.1, 0.7, 0.3, 0.8};
    const RGBA navy{0, 0, 0.4, 1};
    std::vector<Annotation> marks{
        mark(Shape::area(ShapeKind::pixelate, Rect(200, 10, 60, 40)), red, 5, shadow),
        mark(Shape::area(ShapeKind::blur, Rect(300, 70, -60, 50)), red, 5, shadow),
        mark(Shape::area(ShapeKind::spotlight, Rect(10, 10, 180, 110)), red, 5, shadow),
        mark(Shape::area(ShapeKind::spotlight, Rect(240, 150, 0, 30)), red, 5, shadow),
        mark(Shape::arrow({20, 20}, {110, 55}), red, 4, shadow),
        mark(Shape::arrow({150, 20}, {150.5, 20.5}), red, 4, shadow),
        mark(Shape::line({20, 70}, {90, 95}), blue, 3, shadow),
        mark(Shape::line({120, 30}, {120, 30}), blue, 6, shadow),
        mark(Shape::area(ShapeKind::rectangle, Rect(190, 60, -50, -25)), green, 3, shadow),
        mark(Shape::area(ShapeKind::filledRectangle, Rect(205, 130, 45, 22)), blue, 3, shadow),
        mark(Shape::area(ShapeKind::ellipse, Rect(20, 110, 60, 40)), red, 2.5, shadow),
        mark(Shape::text({95, 70}, QStringLiteral("Hi\nthere")), red, 1, shadow),
        mark(Shape::text({95, 115}, QStringLiteral("Note")), yellow, 1, shadow, TextStyle::filled),
        mark(Shape::text({95, 145}, QStringLiteral("Dark\n")), navy, 1, shadow, TextStyle::filled),
        Annotation{kEditedText, Shape::text({270, 100}, QStringLiteral("edit")), blue, 1, shadow,
                   TextStyle::plain},
        mark(Shape::text({10, 180}, QString()), red, 2, shadow),
        mark(Shape::counter({290, 20}, 3), yellow, 2, shadow),
        mark(Shape::counter({290, 45}, 12), navy, 2, shadow),
        mark(Shape::pencil({{30, 160}, {45, 150}, {60, 175}, {80, 160}, {95, 185}}), green, 3,
             shadow),
        mark(Shape::pencil({{130, 180}, {130, 180}}), red, 5, shadow),
        mark(Shape::pencil({}), red, 5, shadow),
        mark(Shape::highlighter({{160, 100}, {230, 104}, {300, 98}}), yellow, 3, shadow),
        mark(Shape::highlighter({{40, 40}}), green, 2, shadow),
    };
    return marks;
}

struct GoldenCase {
    const char* name;
    double scale;
    bool shadows;
    bool translucent;
    // Background: none, a gradient with its shadow, a solid colour with its
    // shadow and a crop.
    enum Frame { none, gradient, solidCropped } frame;
    // When set, drawDocument into a view of this scale (device pixels per
    // image point), shifted by a fraction of a pixel, as the editor's canvas
    // draws; the text kEditedText is left out, as while it is edited.
    std::optional<double> view;
};

void PrintTo(const GoldenCase& c, std::ostream* os) {
    *os << c.name;
}

EditorState stateFor(const GoldenCase& c) {
    EditorState state;
    state.annotations = everyMark(c.shadows);
    if (c.frame == GoldenCase::gradient) {
        state.background.isEnabled = true;
        state.background.fill = BackgroundFill::gradient(3);
        state.background.padding = 30;
        state.background.cornerRadius = 14;
    } else if (c.frame == GoldenCase::solidCropped) {
        state.background.isEnabled = true;
        state.background.fill = BackgroundFill::solid(RGBA{0.95, 0.9, 0.8, 1});
        state.background.padding = 24;
        state.background.aspect = BackgroundAspect::fourThree;
        state.crop = Rect(-20, 30, 280, 150);
    }
    return state;
}

QImage draw(const GoldenCase& c) {
    ImageSources sources(basePicture(c.scale, c.translucent), c.scale);
    const EditorState state = stateFor(c);
    if (!c.view) {
        return renderer::render(state, sources).value_or(QImage());
    }
    const CanvasLayout layout = CanvasLayout::make(state, sources.imageSize(), false);
    const double k = *c.view;
    QImage out(static_cast<int>(std::ceil(layout.canvasSize.width * k)) + 8,
               static_cast<int>(std::ceil(layout.canvasSize.height * k)) + 8,
               QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor(236, 236, 236));
    QPainter painter(&out);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                           QPainter::TextAntialiasing);
    painter.translate(3.5, 2.25);
    painter.scale(k, k);
    renderer::drawDocument(painter, state, sources, layout, kEditedText);
    painter.end();
    return out;
}

QString goldenDir() {
    return QStringLiteral(VEXLIN_ANNOTATION_GOLDEN);
}

class RendererGolden : public testing::TestWithParam<GoldenCase> {};

TEST_P(RendererGolden, MatchesTheReferencePicture) {
    const GoldenCase& c = GetParam();
    const QImage rendered = draw(c).convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(rendered.isNull());
    const QString file = QString::fromLatin1(c.name) + QStringLiteral(".png");
    if (const QByteArray out = qgetenv("VEXLIN_GOLDEN_WRITE"); !out.isEmpty()) {
        ASSERT_TRUE(rendered.save(QDir(QString::fromLocal8Bit(out)).filePath(file)));
        GTEST_SKIP() << "written, not compared";
    }
    const QImage golden =
        QImage(QDir(goldenDir()).filePath(file)).convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(golden.isNull()) << "no reference " << file.toStdString();
    ASSERT_EQ(rendered.size(), golden.size());
    // Blending rounds differently on some processors' vector units: a level
    // or two apart is the same picture; a moved or recoloured edge is not.
    constexpr int kTolerance = 2;
    int worst = 0;
    int differing = 0;
    QPoint where;
    for (int y = 0; y < golden.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(rendered.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(golden.constScanLine(y));
        for (int x = 0; x < golden.width(); ++x) {
            const int d = std::max(
                {std::abs(qRed(a[x]) - qRed(b[x])), std::abs(qGreen(a[x]) - qGreen(b[x])),
                 std::abs(qBlue(a[x]) - qBlue(b[x])), std::abs(qAlpha(a[x]) - qAlpha(b[x]))});
            if (d > kTolerance) {
                ++differing;
            }
            if (d > worst) {
                worst = d;
                where = QPoint(x, y);
            }
        }
    }
    EXPECT_EQ(differing, 0) << c.name << ": " << differing << " pixels differ, the most (" << worst
                            << " levels) at " << where.x() << "," << where.y();
}

INSTANTIATE_TEST_SUITE_P(
    Documents, RendererGolden,
    testing::Values(
        GoldenCase{"marks-1x", 1, false, false, GoldenCase::none, {}},
        GoldenCase{"marks-2x", 2, false, false, GoldenCase::none, {}},
        GoldenCase{"shadows-1x", 1, true, false, GoldenCase::none, {}},
        GoldenCase{"shadows-2x", 2, true, false, GoldenCase::none, {}},
        GoldenCase{"framed-1x", 1, true, false, GoldenCase::gradient, {}},
        GoldenCase{"framed-2x", 2, true, false, GoldenCase::gradient, {}},
        GoldenCase{"translucent-cropped-1x", 1, true, true, GoldenCase::solidCropped, {}},
        GoldenCase{"translucent-cropped-2x", 2, true, true, GoldenCase::solidCropped, {}},
        GoldenCase{"view-framed-2x", 2, true, false, GoldenCase::gradient, 0.6},
        GoldenCase{"view-translucent-1x", 1, false, true, GoldenCase::solidCropped, 1.6}),
    [](const testing::TestParamInfo<GoldenCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name) {
            if (ch == '-') {
                ch = '_';
            }
        }
        return name;
    });

} // namespace
