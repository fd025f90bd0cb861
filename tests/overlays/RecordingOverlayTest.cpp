#include "overlays/RecordingOverlay.h"
#include "overlays/KeystrokeMonitor.h"

#include "platform/InputRecorder.h"
#include "platform/KeyCodeMap.h"

#include "support/EventLoop.h"

#include <QElapsedTimer>
#include <QImage>
#include <gtest/gtest.h>

namespace overlays {
namespace {

using app::KeystrokePosition;

TEST(KeystrokeLabelRect, SitsInsideTheRegion28PointsFromTheChosenEdge) {
    const QRectF region(100, 50, 800, 600);
    const QSizeF size(120, 50);
    const struct {
        KeystrokePosition position;
        QRectF rect;
    } cases[] = {
        {KeystrokePosition::bottom, {440, 50 + 600 - 28 - 50, 120, 50}},
        {KeystrokePosition::top, {440, 78, 120, 50}},
        {KeystrokePosition::left, {128, 325, 120, 50}},
        {KeystrokePosition::right, {100 + 800 - 28 - 120, 325, 120, 50}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(app::rawValue(c.position).toStdString());
        EXPECT_EQ(keystrokeLabelRect(region, size, c.position), c.rect);
    }
}

TEST(ClickPulse, ColoursByButtonAndTiming) {
    EXPECT_EQ(pulse::colorFor(1), pulse::accentColor());
    for (int button : {2, 3, 8, 9}) {
        EXPECT_EQ(pulse::colorFor(button), pulse::orangeColor()) << button;
    }
    for (int button : {0, 4, 5, 6, 7}) {
        EXPECT_FALSE(pulse::colorFor(button)) << button;
    }
    EXPECT_DOUBLE_EQ(pulse::ringDiameter(0), 20);
    EXPECT_DOUBLE_EQ(pulse::ringDiameter(0.45), 68);
    EXPECT_DOUBLE_EQ(pulse::ringOpacity(0), 0.95);
    EXPECT_EQ(pulse::ringOpacity(0.45), 0);
    EXPECT_DOUBLE_EQ(pulse::dotOpacity(0), 1);
    // The dot fades evenly.
    EXPECT_DOUBLE_EQ(pulse::dotOpacity(0.0625), 0.75);
    EXPECT_DOUBLE_EQ(pulse::dotOpacity(0.125), 0.5);
    EXPECT_EQ(pulse::dotOpacity(0.25), 0);
    // Eased out: the ring has grown past half way at a third of its time.
    EXPECT_GT(pulse::ringDiameter(0.15), 44);
}

TEST(KeystrokeMonitor, RecordedEventsBecomePresses) {
    using Input = platform::RecordedInput;
    namespace bits = platform::modifierBits;
    const std::uint8_t xA = *platform::keyCodeToX(0);
    const std::uint8_t xShift = *platform::keyCodeToX(56);
    const QString grin = QString::fromUcs4(U"\U0001F600");
    const struct {
        const char* name;
        Input input;
        std::optional<KeyPress> press;
    } cases[] = {
        {"a press", {Input::Kind::keyPress, xA, 0, false, "a", {}}, KeyPress{0, 0, "A", "a"}},
        {"a plain release gives nothing",
         {Input::Kind::keyRelease, xA, 0, false, {}, {}},
         std::nullopt},
        {"Shift down: its code and flag, no name or text",
         {Input::Kind::keyPress, xShift, bits::shift, true, {}, {}},
         KeyPress{56, bits::shift, {}, {}}},
        {"Shift up", {Input::Kind::keyRelease, xShift, 0, true, {}, {}}, KeyPress{56, 0, {}, {}}},
        {"Caps Lock and other bits are not passed on",
         {Input::Kind::keyPress, xA, bits::capsLock | bits::control, false, "\x01", {}},
         KeyPress{0, bits::control, "A", "\x01"}},
        {"long text is cut on a code-point boundary",
         {Input::Kind::keyPress, xA, 0, false, "abcdefg" + grin, {}},
         KeyPress{0, 0, "A", "abcdefg"}},
        {"a click is no key", {Input::Kind::buttonPress, 1, 0, false, {}, {10, 10}}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KeystrokeMonitor::keyPress(c.input), c.press);
    }
    // A key the stored numbering lacks gets a code outside it.
    const std::optional<KeyPress> unmapped =
        KeystrokeMonitor::keyPress({Input::Kind::keyPress, 255, 0, false, "x", {}});
    ASSERT_TRUE(unmapped);
    EXPECT_EQ(unmapped->keyCode, KeystrokeMonitor::unmappedKeyBase + 255);
    EXPECT_FALSE(unmapped->keyName.isEmpty());
}

// The label on a compositing desktop: the text of each shown press at once,
// gone 1.2 s after the last one; a press that shows nothing restarts nothing.
TEST(RecordingOverlay, LabelFollowsShownPressesOnly) {
    namespace bits = platform::modifierBits;
    RecordingOverlay::Options options;
    options.displayFrame = QRectF(0, 0, 800, 600);
    options.region = QRectF(100, 100, 600, 400);
    options.keystrokeMode = app::KeystrokeMode::allKeys;
    options.translucent = true;
    RecordingOverlay overlay(options);
    RecordingOverlayWindow* window = overlay.window();
    ASSERT_NE(window, nullptr);
    QElapsedTimer clock;
    clock.start();
    overlay.handleKey({0, 0, "A", "a"});
    EXPECT_EQ(window->labelText(), std::optional<QString>("a"));
    testsupport::pump(300);
    overlay.handleKey({6, bits::control, "Z", "\x1a"});
    EXPECT_EQ(window->labelText(), std::optional<QString>("Ctrl+Z"));
    const qint64 lastShown = clock.elapsed();
    testsupport::pump(600);
    // Shift alone shows nothing and keeps the timer.
    overlay.handleKey({56, bits::shift, {}, {}});
    EXPECT_EQ(window->labelText(), std::optional<QString>("Ctrl+Z"));
    testsupport::waitFor(3000, [&] { return !window->labelText(); });
    const qint64 gone = clock.elapsed() - lastShown;
    EXPECT_GE(gone, 1150);
    EXPECT_LT(gone, 1700);
    // It fades out, then nothing is left of it.
    testsupport::pump(400);
    EXPECT_TRUE(window->labelRect().isEmpty());

    overlay.stop();
    EXPECT_EQ(overlay.window(), nullptr);
    overlay.handleKey({0, 0, "A", "a"});
}

// The label's shadow is black at 30 %, blurred by 10 points and 3 points
// down: dark right under the capsule, still there 11 points below it, gone
// 22 points below.
TEST(RecordingOverlay, TheLabelCastsASoftShadow) {
    RecordingOverlayWindow window(QRectF(0, 0, 800, 600), QRectF(0, 0, 800, 600),
                                  KeystrokePosition::top, true);
    window.resize(800, 600);
    window.setLabelText(QStringLiteral("Ctrl+Shift+Z"));
    testsupport::pump(400); // faded in
    const QRectF label = window.labelRect();
    ASSERT_FALSE(label.isEmpty());
    const QImage picture = window.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const int x = qRound(label.center().x());
    const auto alphaBelow = [&](int points) {
        return qAlpha(picture.pixel(x, qRound(label.bottom()) + points));
    };
    EXPECT_GT(alphaBelow(1), 35);
    EXPECT_LT(alphaBelow(1), 70);
    EXPECT_GE(alphaBelow(11), 2);
    EXPECT_EQ(alphaBelow(22), 0);
    // Above the capsule it reaches less far, since it lies 3 points down.
    EXPECT_LT(qAlpha(picture.pixel(x, qRound(label.top()) - 4)), alphaBelow(4));
    const QRgb shade = picture.pixel(x, qRound(label.bottom()) + 5);
    EXPECT_EQ(qRed(shade) + qGreen(shade) + qBlue(shade), 0) << "black";
}

TEST(RecordingOverlay, PulsesOnlyOnTheDisplayAndNotForTheWheel) {
    RecordingOverlayWindow window(QRectF(1920, 0, 1280, 1024), QRectF(0, 0, 1280, 1024),
                                  KeystrokePosition::bottom, true);
    window.addClickPulse(QPointF(600, 400), 1);  // another display
    window.addClickPulse(QPointF(2200, 400), 4); // the wheel
    EXPECT_EQ(window.pulseCount(), 0);
    window.addClickPulse(QPointF(2200, 400), 1);
    window.addClickPulse(QPointF(2210, 410), 3);
    EXPECT_EQ(window.pulseCount(), 2);
    testsupport::waitFor(2000, [&] { return window.pulseCount() == 0; });
    EXPECT_EQ(window.pulseCount(), 0);
}

} // namespace
} // namespace overlays
