#pragma once

#include "overlays/KeystrokeFormatter.h"
#include "overlays/KeystrokeMonitor.h"

#include "app/SettingsEnums.h"

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

namespace overlays {

// The pulse a click leaves: a dot that fades in 0.25 s and a ring that grows
// from 20 to 68 points across and fades in 0.45 s; both go 0.5 s after the
// click.
namespace pulse {
inline constexpr double dotSeconds = 0.25;
inline constexpr double ringSeconds = 0.45;
inline constexpr double lifeSeconds = 0.5;
inline constexpr double dotDiameter = 20;
inline constexpr double ringStartDiameter = 20;
inline constexpr double ringEndDiameter = 68;
inline constexpr double ringWidth = 3;
// Ring diameter and opacity at `seconds` after the click; opacity 0 once over.
double ringDiameter(double seconds);
double ringOpacity(double seconds);
double dotOpacity(double seconds);
// Button 1 draws in the accent colour, 2, 3 and 8 on in orange, the wheel
// (4–7) nothing.
std::optional<QColor> colorFor(int button);
QColor accentColor();
QColor orangeColor();
} // namespace pulse

// The keystroke label's place: the capsule of `size` inside `region`, 28
// points in from the edge that `position` names, centred along it.
QRectF keystrokeLabelRect(const QRectF& region, const QSizeF& size,
                          app::KeystrokePosition position);

// The window over the whole recorded display that the recording captures:
// click pulses and the keystroke label. Never takes a click or the focus.
// Where windows blend it is translucent and fades; where they do not it is
// cut by a shape mask to the label and the pulses that show, painted opaque,
// and nothing fades (the timing stays).
class RecordingOverlayWindow final : public QWidget {
    Q_OBJECT
public:
    RecordingOverlayWindow(const QRectF& displayFrame, const QRectF& region,
                           app::KeystrokePosition position, bool translucent);

    bool isTranslucent() const { return translucent_; }
    // `global` in global points; nothing outside the display or for a
    // button that draws nothing.
    void addClickPulse(QPointF global, int button);
    // The label's text; none hides it.
    void setLabelText(const std::optional<QString>& text);
    std::optional<QString> labelText() const { return text_; }
    // The recorded region moved (display-local points).
    void setRegion(const QRectF& region);
    int pulseCount() const { return static_cast<int>(pulses_.size()); }
    // The label's capsule in window points; empty while hidden.
    QRectF labelRect() const;
    // The shape mask in device pixels (opaque windows only).
    const QRegion& shapeRegion() const { return shape_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct Pulse {
        QPointF centre; // window points
        QColor color;
        QElapsedTimer age;
        // Its age at the last frame.
        double seconds = 0;
    };
    static QRegion pulsePixels(const Pulse& p, qreal scale);
    static QRectF pulseBounds(const QPointF& centre);
    QString shownText() const;
    double labelOpacity() const;
    void reshape();
    void tick();

    QRectF region_;
    app::KeystrokePosition position_;
    bool translucent_;
    std::vector<Pulse> pulses_;
    std::optional<QString> text_;
    // The text that shows while the label fades out.
    QString fadingText_;
    QElapsedTimer fade_;
    bool fadingIn_ = false;
    QBasicTimer ticker_;
    QRegion shape_;
    // Whether a shape was set at all: until then the whole window shows.
    bool shaped_ = false;
    QFont font_;
    // The label's shadow, made for the capsule's size at the screen's scale
    // and kept until either changes.
    struct LabelShadow;
    std::shared_ptr<LabelShadow> labelShadow_;
    const LabelShadow& labelShadow(const QSizeF& size, qreal scale);
};

// What a recording shows over the screen besides the screen: click pulses
// and the keys just pressed. Built when the recording starts, stopped when it
// ends. Main thread only.
class RecordingOverlay final : public QObject {
    Q_OBJECT
public:
    struct Options {
        // The recorded display in global points, the region in its own.
        QRectF displayFrame;
        QRectF region;
        bool highlightClicks = false;
        // None: no keystrokes.
        std::optional<app::KeystrokeMode> keystrokeMode;
        app::KeystrokePosition position = app::KeystrokePosition::bottom;
        // Whether the window may blend; none asks the X server.
        std::optional<bool> translucent;
    };
    static constexpr std::chrono::milliseconds labelTimeout{1200};

    explicit RecordingOverlay(const Options& options, QObject* parent = nullptr);
    ~RecordingOverlay() override;

    // Every monitor, timer and the window go; nothing restarts them.
    void stop();

    void handleKey(const KeyPress& press);
    void handleClick(QPointF global, int button);
    void setRegion(const QRectF& region);

    RecordingOverlayWindow* window() const { return window_; }
    // Whether the X server lets the overlay listen (none without RECORD).
    bool isListening() const { return monitor_ != nullptr; }

private:
    Options options_;
    QPointer<RecordingOverlayWindow> window_;
    std::optional<KeystrokeFormatter> formatter_;
    std::unique_ptr<KeystrokeMonitor> monitor_;
    QTimer fadeTimer_;
};

} // namespace overlays
