#include "desktop/PanelSurface.h"

#include <QCoreApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace desktop {
namespace {

QPainterPath roundedSquare(QRectF rect, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// How far (in points) a point lies outside the rounded rectangle: negative
// inside, from the true circle rather than any curve approximation.
qreal outside(const QRectF& rect, qreal radius, QPointF p) {
    const QRectF core = rect.adjusted(radius, radius, -radius, -radius);
    const qreal dx = std::max({core.left() - p.x(), 0.0, p.x() - core.right()});
    const qreal dy = std::max({core.top() - p.y(), 0.0, p.y() - core.bottom()});
    if (dx > 0 && dy > 0) {
        return std::hypot(dx, dy) - radius;
    }
    // Along an edge: the distance to the nearer side, signed.
    const qreal inX = std::min(p.x() - rect.left(), rect.right() - p.x());
    const qreal inY = std::min(p.y() - rect.top(), rect.bottom() - p.y());
    return -std::min(inX, inY);
}

// The mask holds exactly the device pixels whose centres lie inside the
// outline, at each scale: at 2 the corners step by one device pixel, not by
// two as a mask made in points and doubled would.
TEST(OutlineRegion, HoldsThePixelsWhoseCentresAreInside) {
    struct Case {
        QRectF rect;
        qreal radius;
        qreal scale;
    };
    const Case cases[] = {
        {QRectF(0, 0, 96, 96), 22, 1.0}, // the self-timer's square
        {QRectF(0, 0, 96, 96), 22, 2.0},
        {QRectF(12, 12, 180, 44), 22, 1.0}, // a toast's capsule, ends fully round
        {QRectF(12, 12, 180, 44), 22, 2.0},
        {QRectF(10, 10, 208, 420), 14, 1.5}, // the scrolling panel at a fractional scale
    };
    for (const Case& c : cases) {
        const QRegion region = outlineRegion(roundedSquare(c.rect, c.radius), c.scale);
        const QRect device(
            QPoint(std::floor(c.rect.left() * c.scale) - 2, std::floor(c.rect.top() * c.scale) - 2),
            QPoint(std::ceil(c.rect.right() * c.scale) + 2,
                   std::ceil(c.rect.bottom() * c.scale) + 2));
        int wrong = 0;
        int checked = 0;
        for (int y = device.top(); y <= device.bottom(); ++y) {
            for (int x = device.left(); x <= device.right(); ++x) {
                const QPointF centre((x + 0.5) / c.scale, (y + 0.5) / c.scale);
                const qreal distance = outside(c.rect, c.radius, centre);
                if (std::abs(distance * c.scale) < 0.05) {
                    // On the line within a twentieth of a pixel, where the
                    // curve's flattening decides.
                    continue;
                }
                ++checked;
                if (region.contains(QPoint(x, y)) != (distance < 0)) {
                    ++wrong;
                }
            }
        }
        EXPECT_EQ(wrong, 0) << "scale " << c.scale << ", rect width " << c.rect.width() << " ("
                            << checked << " pixels checked)";
        const QRect bounds = region.boundingRect();
        EXPECT_EQ(bounds, QRect(QPoint(std::lround(c.rect.left() * c.scale),
                                       std::lround(c.rect.top() * c.scale)),
                                QPoint(std::lround(c.rect.right() * c.scale) - 1,
                                       std::lround(c.rect.bottom() * c.scale) - 1)))
            << "scale " << c.scale;
    }
}

TEST(OutlineRegion, NothingForAnEmptyOutline) {
    EXPECT_TRUE(outlineRegion(QPainterPath(), 2.0).isEmpty());
}

class PanelSurfaceTest : public ::testing::Test {
protected:
    PanelSurfaceTest() {
        panel.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
        panel.resize(96, 96);
    }
    ~PanelSurfaceTest() override { panel.hide(); }

    QPainterPath outline() const { return roundedSquare(QRectF(panel.rect()), 22); }

    struct Fade {
        double to;
        std::chrono::milliseconds duration;
    };
    WindowFader recordingFader() {
        return [this](QWidget*, double to, std::chrono::milliseconds duration,
                      std::function<void()> done) {
            fades.push_back({to, duration});
            pendingDone = std::move(done);
        };
    }

    QWidget panel;
    std::vector<Fade> fades;
    std::function<void()> pendingDone;
};

TEST_F(PanelSurfaceTest, MaskedIsOpaqueCutToItsOutlineAndFollowsTheSize) {
    auto* surface = new PanelSurface(
        &panel, [this] { return outline(); }, PanelSurface::Kind::masked);
    EXPECT_FALSE(surface->isTranslucent());
    EXPECT_FALSE(panel.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(surface->deviceMask().isEmpty()) << "not cut before it is shown";

    panel.show();
    const qreal scale = panel.devicePixelRatioF();
    EXPECT_EQ(surface->deviceMask(), outlineRegion(outline(), scale));
    EXPECT_FALSE(surface->deviceMask().contains(QPoint(0, 0))) << "the corner is cut away";
    EXPECT_TRUE(surface->deviceMask().contains(QPoint(0, static_cast<int>(48 * scale))));

    panel.resize(200, 96);
    QCoreApplication::processEvents();
    EXPECT_EQ(surface->deviceMask().boundingRect().width(), static_cast<int>(200 * scale));
    EXPECT_EQ(surface->deviceMask(), outlineRegion(outline(), scale));
}

TEST_F(PanelSurfaceTest, MaskedNeverFades) {
    auto* surface = new PanelSurface(
        &panel, [this] { return outline(); }, PanelSurface::Kind::masked);
    surface->prepareFadeIn();
    EXPECT_EQ(panel.windowOpacity(), 1.0);
    bool done = false;
    surface->fade(
        0.0, std::chrono::milliseconds(250), [&done] { done = true; }, recordingFader());
    EXPECT_TRUE(done) << "at once";
    EXPECT_TRUE(fades.empty());
}

TEST_F(PanelSurfaceTest, TranslucentBlendsAndFadesWithoutAMask) {
    auto* surface = new PanelSurface(
        &panel, [this] { return outline(); }, PanelSurface::Kind::translucent);
    EXPECT_TRUE(panel.testAttribute(Qt::WA_TranslucentBackground));
    surface->prepareFadeIn();
    EXPECT_EQ(panel.windowOpacity(), 0.0);
    panel.show();
    EXPECT_TRUE(surface->deviceMask().isEmpty());
    EXPECT_TRUE(panel.mask().isEmpty());

    bool done = false;
    surface->fade(
        1.0, std::chrono::milliseconds(150), [&done] { done = true; }, recordingFader());
    ASSERT_EQ(fades.size(), 1U);
    EXPECT_EQ(fades[0].to, 1.0);
    EXPECT_EQ(fades[0].duration, std::chrono::milliseconds(150));
    EXPECT_FALSE(done) << "only when the fade ends";
    pendingDone();
    EXPECT_TRUE(done);
}

TEST(PanelSurface, WindowsBlendOnAnyPlatformButX11WithoutACompositor) {
    // The tests run on the offscreen platform, which composes by itself.
    EXPECT_TRUE(windowsBlend());
    EXPECT_EQ(PanelSurface::kindNow(), PanelSurface::Kind::translucent);
}

} // namespace
} // namespace desktop
