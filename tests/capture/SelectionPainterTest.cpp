#include "capture/selection/SelectionPainter.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace capture {
namespace {

constexpr QRgb kFrozen = 0xff'c8'b4'64; // the display as it was

const desktop::WindowInfo kEditor{
    0x100, QRectF(100, 100, 300, 200), 10, QStringLiteral("Gedit"), {}};
// In front of the editor's right half.
const desktop::WindowInfo kTerminal{
    0x200, QRectF(300, 50, 250, 300), 11, QStringLiteral("XTerm"), {}};

class SelectionPainterTest : public testing::Test {
protected:
    SelectionMachine make(std::vector<desktop::CaptureDisplay> displays, SelectionMode mode,
                          std::vector<desktop::WindowInfo> windows = {}) {
        return SelectionMachine(std::move(displays), windows, {mode, false, true, {}},
                                [windows] { return windows; });
    }

    // The view painted into an image of the display's pixels.
    QImage paint(const SelectionMachine& machine, int view,
                 std::optional<double> lightElapsed = std::nullopt) {
        const desktop::CaptureDisplay& display = machine.view(view).display;
        const QSize pixels = (display.frame.size() * display.scale).toSize();
        QImage frozen(pixels, QImage::Format_RGB32);
        frozen.fill(kFrozen);
        frozen.setDevicePixelRatio(display.scale);
        QImage target(pixels, QImage::Format_ARGB32_Premultiplied);
        target.setDevicePixelRatio(display.scale);
        target.fill(Qt::transparent);
        QPainter painter(&target);
        SelectionPaintState state;
        state.machine = &machine;
        state.view = view;
        state.frozen = &frozen;
        state.lightElapsed = lightElapsed;
        state.accent = QColor(0, 100, 255);
        paintSelection(painter, state, QRectF(QPointF(0, 0), display.frame.size()));
        painter.end();
        return target;
    }

    static QRgb dimmed() {
        QImage one(1, 1, QImage::Format_ARGB32_Premultiplied);
        one.fill(kFrozen);
        QPainter painter(&one);
        painter.fillRect(QRect(0, 0, 1, 1), selectionColors::dim());
        painter.end();
        return one.pixel(0, 0);
    }

    desktop::CaptureDisplay oneX{nullptr, 1, 1.0, QRectF(0, 0, 640, 480)};
};

TEST_F(SelectionPainterTest, ADragLeavesTheSelectionClearAndDimsTheRest) {
    SelectionMachine m = make({oneX}, SelectionMode::area);
    m.begin(QPointF(100, 100));
    m.pressed(0, QPointF(100, 100), QPointF(100, 100));
    m.dragged(0, QPointF(300, 250), false);
    const QImage image = paint(m, 0);
    EXPECT_EQ(image.pixel(150, 200), kFrozen);
    EXPECT_EQ(image.pixel(50, 50), dimmed());
    EXPECT_EQ(image.pixel(600, 400), dimmed());
    // The frame lies just outside the selection, in selection blue.
    const QColor frame = image.pixelColor(99, 200);
    EXPECT_GT(frame.blue(), 200);
    EXPECT_LT(frame.red(), 100);
    EXPECT_EQ(image.pixel(100, 200), kFrozen);
}

TEST_F(SelectionPainterTest, CrosshairLinesAreWholePixelsAtEveryScale) {
    for (const double scale : {1.0, 2.0}) {
        const desktop::CaptureDisplay display{nullptr, 1, scale, QRectF(0, 0, 640, 480)};
        SelectionMachine m = make({display}, SelectionMode::area);
        m.begin(QPointF(200.3, 300.6));
        const QImage image = paint(m, 0);
        const int line = static_cast<int>(200.3 * scale);
        const int width = static_cast<int>(scale);
        const int row = 10; // far above the pointer, clear of any label
        for (int x = line; x < line + width; ++x) {
            EXPECT_NE(image.pixel(x, row), dimmed()) << scale << " " << x;
        }
        EXPECT_EQ(image.pixel(line - 1, row), dimmed()) << scale;
        EXPECT_EQ(image.pixel(line + width, row), dimmed()) << scale;
    }
}

TEST_F(SelectionPainterTest, NoCrosshairWhileThePictureIsTaken) {
    SelectionMachine m = make({oneX}, SelectionMode::area);
    m.begin(QPointF(200, 300));
    EXPECT_NE(paint(m, 0).pixel(200, 10), dimmed());
    m.startTakingPicture();
    EXPECT_EQ(paint(m, 0).pixel(200, 10), dimmed());
}

TEST_F(SelectionPainterTest, TheLightBrightensTheLinesWhileItTravels) {
    SelectionMachine m = make({oneX}, SelectionMode::area);
    m.begin(QPointF(200, 300));
    // The sample lies 290 pt above the pointer. The light's band (0.72 to
    // 1.0 of its radius) passes it at about 0.15 s and is far beyond it at 1.2 s.
    const QRgb resting = paint(m, 0, 3.0).pixel(200, 10);
    EXPECT_EQ(paint(m, 0, 1.2).pixel(200, 10), resting);
    EXPECT_EQ(paint(m, 0, 0.05).pixel(200, 10), resting);
    // The light is whiter than the blue line: its red rises.
    EXPECT_GT(qRed(paint(m, 0, 0.15).pixel(200, 10)), qRed(resting) + 40);
}

TEST_F(SelectionPainterTest, AWindowHalfHiddenIsHighlightedOnlyWhereVisible) {
    SelectionMachine m = make({oneX}, SelectionMode::window, {kTerminal, kEditor});
    m.begin(QPointF(150, 200));
    ASSERT_EQ(m.hoveredWindow(), kEditor);
    const QImage image = paint(m, 0);
    const QRgb visible = image.pixel(150, 250);
    EXPECT_NE(visible, dimmed());
    EXPECT_NE(visible, kFrozen); // tinted with the accent
    EXPECT_GT(qBlue(visible), qBlue(kFrozen));
    // Behind the terminal: dimmed again, outline included.
    EXPECT_EQ(image.pixel(350, 250), dimmed());
    EXPECT_EQ(image.pixel(350, 101), dimmed());
    EXPECT_EQ(image.pixel(600, 20), dimmed());
}

TEST_F(SelectionPainterTest, WithTwoDisplaysTheOneWithoutTheWindowIsDimmed) {
    const desktop::CaptureDisplay right{nullptr, 2, 1.0, QRectF(640, 0, 640, 480)};
    SelectionMachine m = make({oneX, right}, SelectionMode::window, {kEditor});
    m.begin(QPointF(150, 200));
    const QImage other = paint(m, 1);
    for (const QPoint p : {QPoint(0, 0), QPoint(320, 240), QPoint(639, 479), QPoint(2, 240)}) {
        EXPECT_EQ(other.pixel(p), dimmed());
    }
    // With the pointer on the desktop, that display is highlighted undimmed.
    m.pointerMoved(QPointF(900, 300));
    const QImage desktop = paint(m, 1);
    EXPECT_NE(desktop.pixel(320, 240), dimmed());
    EXPECT_EQ(paint(m, 0).pixel(320, 240), dimmed());
}

TEST_F(SelectionPainterTest, MagnifierPixelsComeFromThePictureAroundThePointer) {
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(Qt::black);
    picture.setPixel(200, 300, qRgb(255, 0, 0));
    const auto read =
        readMagnifierPixels(picture, QPointF(200.5, 300.5), QRectF(0, 0, 640, 480), 1);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->pixels, QRect(188, 288, 24, 24));
    EXPECT_EQ(read->image.pixel(12, 12), qRgb(255, 0, 0));
    EXPECT_FALSE(readMagnifierPixels(picture, QPointF(-50, -50), QRectF(0, 0, 640, 480), 1));
}

} // namespace
} // namespace capture
