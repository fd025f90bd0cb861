#include "desktop/SelfTimer.h"
#include "capture/SelfTimerCountdown.h"
#include "capture/SelfTimerPanel.h"

#include "support/FakeEscapeKey.h"
#include "support/ManualScheduler.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>

using app::CaptureAction;
using capture::SelfTimerCountdown;
using desktop::SelfTimer;
using namespace std::chrono_literals;

namespace {

TEST(SelfTimer, OffersOffAndThreeDelays) {
    const std::vector<int> delays(desktop::SelfTimer::delays().begin(),
                                  desktop::SelfTimer::delays().end());
    EXPECT_EQ(delays, (std::vector<int>{0, 3, 5, 10}));
    EXPECT_EQ(desktop::SelfTimer::title(3), QStringLiteral("3 seconds"));
    EXPECT_EQ(desktop::SelfTimer::title(5), QStringLiteral("5 seconds"));
    EXPECT_EQ(desktop::SelfTimer::title(10), QStringLiteral("10 seconds"));
    EXPECT_EQ(desktop::SelfTimer::title(0), QStringLiteral("Off"));
    EXPECT_EQ(desktop::SelfTimer::title(7), QStringLiteral("Off"));
}

class SelfTimerCountdownTest : public ::testing::Test {
protected:
    void SetUp() override {
        countdown = std::make_unique<SelfTimerCountdown>(3, CaptureAction::area, clock, escape);
        countdown->onEnd = [this](bool fired) { ends.push_back(fired); };
    }
    void TearDown() override {
        countdown.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    testsupport::ManualScheduler clock;
    testsupport::FakeEscapeKey escape;
    std::vector<bool> ends;
    std::unique_ptr<SelfTimerCountdown> countdown;
};

TEST_F(SelfTimerCountdownTest, ModelNotifiesOnlyOnChange) {
    SelfTimerCountdown::Model model(3);
    QSignalSpy spy(&model, &SelfTimerCountdown::Model::remainingChanged);
    model.setRemaining(3);
    model.setRemaining(2);
    model.setRemaining(2);
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(SelfTimerCountdownTest, ShowsThreeTwoOneThenFiresAFrameAfterThePanelGoes) {
    QSignalSpy shown(&countdown->model(), &SelfTimerCountdown::Model::remainingChanged);
    countdown->start();
    ASSERT_NE(countdown->panel(), nullptr);
    EXPECT_TRUE(countdown->panel()->isVisible());
    EXPECT_EQ(countdown->panel()->remaining(), 3);
    EXPECT_TRUE(escape.isHeld());

    clock.advance(1s);
    EXPECT_EQ(countdown->panel()->remaining(), 2);
    clock.advance(1s);
    EXPECT_EQ(countdown->panel()->remaining(), 1);
    clock.advance(999ms);
    EXPECT_TRUE(ends.empty());
    clock.advance(1ms);
    EXPECT_TRUE(countdown->isEnded());
    EXPECT_EQ(countdown->panel(), nullptr);
    EXPECT_FALSE(escape.isHeld());
    EXPECT_TRUE(ends.empty()) << "fires one frame later";
    clock.advance(17ms);
    EXPECT_EQ(ends, std::vector<bool>{true});

    clock.advance(5s);
    EXPECT_EQ(ends.size(), 1U);
    ASSERT_EQ(shown.count(), 2);
    EXPECT_EQ(shown.at(0).at(0).toInt(), 2);
    EXPECT_EQ(shown.at(1).at(0).toInt(), 1);
}

TEST_F(SelfTimerCountdownTest, PanelIsASquareCentredOnTheScreenFrame) {
    countdown->start();
    const QRect frame = QGuiApplication::primaryScreen()->geometry();
    const QRect panel = countdown->panel()->geometry();
    EXPECT_EQ(panel.size(), QSize(96, 96));
    EXPECT_EQ(panel.x(), static_cast<int>(std::round(frame.x() + frame.width() / 2.0 - 48)));
    EXPECT_EQ(panel.y(), static_cast<int>(std::round(frame.y() + frame.height() / 2.0 - 48)));
    const Qt::WindowFlags flags = countdown->panel()->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(countdown->panel()->toolTip(), QStringLiteral("Click to cancel"));
}

TEST_F(SelfTimerCountdownTest, EscapeCancelsAtOnceAndOnlyOnce) {
    countdown->start();
    clock.advance(1s);
    escape.press();
    EXPECT_EQ(ends, std::vector<bool>{false});
    EXPECT_EQ(countdown->panel(), nullptr);
    EXPECT_FALSE(escape.isHeld());
    countdown->cancel();
    countdown->end(true);
    clock.advance(10s);
    EXPECT_EQ(ends, std::vector<bool>{false});
}

TEST_F(SelfTimerCountdownTest, AClickInsideTheRoundedSquareCancels) {
    countdown->start();
    auto* panel = countdown->panel();
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_TRUE(ends.empty()) << "the very corner lies outside the rounded shape";
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(48, 48));
    EXPECT_EQ(ends, std::vector<bool>{false});
    EXPECT_EQ(countdown->panel(), nullptr);
}

TEST_F(SelfTimerCountdownTest, DestroyedCountdownReleasesEscapeAndNeverFires) {
    countdown->start();
    clock.advance(3s);
    countdown.reset();
    clock.advance(1s);
    EXPECT_TRUE(ends.empty());
    EXPECT_FALSE(escape.isHeld());

    auto running = std::make_unique<SelfTimerCountdown>(5, CaptureAction::text, clock, escape);
    running->start();
    EXPECT_TRUE(escape.isHeld());
    running.reset();
    EXPECT_FALSE(escape.isHeld());
}

// Where windows cannot blend, the square is cut round at its corners and
// painted opaque, so nothing of it shows black.
TEST(SelfTimerPanel, WithoutBlendingIsAnOpaqueRoundedSquare) {
    capture::SelfTimerPanel panel(3, desktop::PanelSurface::Kind::masked);
    panel.resize(96, 96);
    panel.show();
    const qreal s = panel.devicePixelRatioF();
    const QRegion mask = panel.surface().deviceMask();
    const auto in = [&](qreal x, qreal y) {
        return mask.contains(QPointF(x * s, y * s).toPoint());
    };
    EXPECT_FALSE(in(0, 0));
    EXPECT_FALSE(in(95, 95));
    EXPECT_FALSE(in(5, 5)) << "outside the 22-point corner";
    EXPECT_TRUE(in(8, 8));
    EXPECT_TRUE(in(48, 0));
    EXPECT_TRUE(in(0, 48));

    const QImage painted = panel.grab().toImage();
    const QColor edge = painted.pixelColor(QPoint(1, 48) * s);
    EXPECT_EQ(edge.alpha(), 255);
    EXPECT_LT(edge.lightness(), 40) << "dark, with no light fringe at the cut";
    panel.hide();
}

} // namespace
