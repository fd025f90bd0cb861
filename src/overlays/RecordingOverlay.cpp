#include "overlays/RecordingOverlay.h"

#include "desktop/DropShadow.h"
#include "desktop/PanelSurface.h"
#include "platform/WindowShape.h"

#include <QEasingCurve>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPalette>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>
#include <vector>

namespace overlays {

namespace pulse {

namespace {
double progress(double seconds, double duration) {
    return std::clamp(seconds / duration, 0.0, 1.0);
}
} // namespace

double ringDiameter(double seconds) {
    const double t =
        QEasingCurve(QEasingCurve::OutQuad).valueForProgress(progress(seconds, ringSeconds));
    return ringStartDiameter + (ringEndDiameter - ringStartDiameter) * t;
}

double ringOpacity(double seconds) {
    if (seconds >= ringSeconds) {
        return 0;
    }
    const double t =
        QEasingCurve(QEasingCurve::InQuad).valueForProgress(progress(seconds, ringSeconds));
    return 0.95 * (1 - t);
}

double dotOpacity(double seconds) {
    if (seconds >= dotSeconds) {
        return 0;
    }
    // Evenly, without easing: the dot's fade keeps the default pace.
    return 1 - progress(seconds, dotSeconds);
}

QColor accentColor() {
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
}

QColor orangeColor() {
    return QColor(255, 149, 0);
}

std::optional<QColor> colorFor(int button) {
    if (button == 1) {
        return accentColor();
    }
    if (button >= 4 && button <= 7) {
        return std::nullopt;
    }
    if (button >= 2) {
        return orangeColor();
    }
    return std::nullopt;
}

} // namespace pulse

namespace {

constexpr double kLabelInset = 28;
constexpr double kPaddingX = 20;
constexpr double kPaddingY = 11;
constexpr double kFadeSeconds = 0.25;
// Pulses grow and fade 30 times a second: smooth to the eye in a 60 fps
// movie, and each step costs the X server a new shape (or a repaint), which
// at 60 steps made the overlay cost a recording a third more.
constexpr int kTickMs = 33;

QPainterPath capsule(const QRectF& rect) {
    QPainterPath path;
    const double radius = rect.height() / 2;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

QPainterPath ringPath(const QPointF& centre, double diameter) {
    QPainterPath ellipse;
    ellipse.addEllipse(centre, diameter / 2, diameter / 2);
    QPainterPathStroker stroker;
    stroker.setWidth(pulse::ringWidth);
    return stroker.createStroke(ellipse);
}

QPainterPath dotPath(const QPointF& centre) {
    QPainterPath path;
    path.addEllipse(centre, pulse::dotDiameter / 2, pulse::dotDiameter / 2);
    return path;
}

// The device pixels whose centres lie in the ring between the circles of
// radius `inner` and `outer` about `centre` (all in device pixels): at most
// two runs a row, so a pulse's mask costs next to nothing each frame.
QRegion ringPixels(QPointF centre, double outer, double inner) {
    std::vector<QRect> runs;
    const int top = static_cast<int>(std::floor(centre.y() - outer));
    const int bottom = static_cast<int>(std::ceil(centre.y() + outer));
    for (int y = top; y <= bottom; ++y) {
        const double dy = y + 0.5 - centre.y();
        if (std::abs(dy) > outer) {
            continue;
        }
        const double half = std::sqrt(outer * outer - dy * dy);
        const int left = static_cast<int>(std::ceil(centre.x() - half - 0.5));
        const int right = static_cast<int>(std::floor(centre.x() + half - 0.5));
        if (right < left) {
            continue;
        }
        if (inner <= 0 || std::abs(dy) >= inner) {
            runs.emplace_back(left, y, right - left + 1, 1);
            continue;
        }
        const double hole = std::sqrt(inner * inner - dy * dy);
        const int holeLeft = static_cast<int>(std::ceil(centre.x() - hole - 0.5));
        const int holeRight = static_cast<int>(std::floor(centre.x() + hole - 0.5));
        if (holeLeft > left) {
            runs.emplace_back(left, y, holeLeft - left, 1);
        }
        if (right > holeRight) {
            runs.emplace_back(holeRight + 1, y, right - holeRight, 1);
        }
    }
    QRegion region;
    region.setRects(runs.data(), static_cast<int>(runs.size()));
    return region;
}

} // namespace

QRectF keystrokeLabelRect(const QRectF& region, const QSizeF& size,
                          app::KeystrokePosition position) {
    const QRectF inner = region.adjusted(kLabelInset, kLabelInset, -kLabelInset, -kLabelInset);
    QRectF rect(QPointF(), size);
    switch (position) {
    case app::KeystrokePosition::bottom:
        rect.moveCenter(QPointF(inner.center().x(), 0));
        rect.moveBottom(inner.bottom());
        break;
    case app::KeystrokePosition::top:
        rect.moveCenter(QPointF(inner.center().x(), 0));
        rect.moveTop(inner.top());
        break;
    case app::KeystrokePosition::left:
        rect.moveCenter(QPointF(0, inner.center().y()));
        rect.moveLeft(inner.left());
        break;
    case app::KeystrokePosition::right:
        rect.moveCenter(QPointF(0, inner.center().y()));
        rect.moveRight(inner.right());
        break;
    }
    return rect;
}

// --- window ---

RecordingOverlayWindow::RecordingOverlayWindow(const QRectF& displayFrame, const QRectF& region,
                                               app::KeystrokePosition position, bool translucent)
    : QWidget(nullptr, Qt::Window | Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus)
    , region_(region)
    , position_(position)
    , translucent_(translucent) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    if (translucent_) {
        setAttribute(Qt::WA_TranslucentBackground);
    } else {
        // Only the shaped pixels show, and each of them is painted.
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    setFocusPolicy(Qt::NoFocus);
    //: Window title of the click and keystroke overlay of a recording (not shown)
    setWindowTitle(tr("Recording overlay"));
    setGeometry(displayFrame.toAlignedRect());
    font_ = font();
    font_.setPixelSize(22);
    font_.setWeight(QFont::DemiBold);
}

QRectF RecordingOverlayWindow::pulseBounds(const QPointF& centre) {
    const double half = pulse::ringEndDiameter / 2 + pulse::ringWidth;
    return QRectF(centre.x() - half, centre.y() - half, 2 * half, 2 * half);
}

QString RecordingOverlayWindow::shownText() const {
    return text_ ? *text_ : fadingText_;
}

double RecordingOverlayWindow::labelOpacity() const {
    if (!translucent_ || !fade_.isValid()) {
        return text_ ? 1 : 0;
    }
    const double t = QEasingCurve(QEasingCurve::OutQuad)
                         .valueForProgress(std::min(1.0, fade_.elapsed() / 1000.0 / kFadeSeconds));
    return fadingIn_ ? t : 1 - t;
}

QRectF RecordingOverlayWindow::labelRect() const {
    const QString text = shownText();
    if (text.isEmpty() || labelOpacity() <= 0) {
        return {};
    }
    const QFontMetricsF metrics(font_);
    const double widest = std::max(0.0, region_.width() - 2 * kLabelInset - 2 * kPaddingX);
    const QString shown = metrics.elidedText(text, Qt::ElideLeft, widest);
    const QSizeF size(std::ceil(metrics.horizontalAdvance(shown)) + 2 * kPaddingX,
                      std::ceil(metrics.height()) + 2 * kPaddingY);
    return keystrokeLabelRect(region_, size, position_);
}

void RecordingOverlayWindow::addClickPulse(QPointF global, int button) {
    const std::optional<QColor> color = pulse::colorFor(button);
    if (!color || !geometry().contains(global.toPoint())) {
        return;
    }
    Pulse added{global - QPointF(geometry().topLeft()), *color, {}, 0};
    added.age.start();
    pulses_.push_back(added);
    update(pulseBounds(added.centre).toAlignedRect());
    reshape();
    if (!ticker_.isActive()) {
        ticker_.start(kTickMs, Qt::PreciseTimer, this);
    }
}

void RecordingOverlayWindow::setLabelText(const std::optional<QString>& text) {
    if (text == text_) {
        return;
    }
    const QRectF before = labelRect();
    const bool appearing = !text_ && text;
    const bool disappearing = text_ && !text;
    if (disappearing) {
        fadingText_ = *text_;
    }
    text_ = text;
    if (translucent_ && (appearing || disappearing)) {
        fadingIn_ = appearing;
        fade_.start();
        if (!ticker_.isActive()) {
            ticker_.start(kTickMs, Qt::PreciseTimer, this);
        }
    }
    update(before.united(labelRect()).toAlignedRect().adjusted(-20, -20, 20, 20));
    reshape();
}

void RecordingOverlayWindow::setRegion(const QRectF& region) {
    const QRectF before = labelRect();
    region_ = region;
    update(before.united(labelRect()).toAlignedRect().adjusted(-20, -20, 20, 20));
    reshape();
}

void RecordingOverlayWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    reshape();
}

void RecordingOverlayWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() != ticker_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    tick();
}

void RecordingOverlayWindow::tick() {
    // One time per frame for the mask and the paint alike.
    for (Pulse& p : pulses_) {
        p.seconds = p.age.elapsed() / 1000.0;
        // Where nothing blends, the colour under a pulse was painted once;
        // each frame only moves the mask.
        if (translucent_) {
            update(pulseBounds(p.centre).toAlignedRect());
        }
    }
    std::erase_if(pulses_,
                  [](const Pulse& p) { return p.age.elapsed() >= pulse::lifeSeconds * 1000; });
    bool fading = false;
    if (fade_.isValid()) {
        update(labelRect().toAlignedRect().adjusted(-20, -20, 20, 20));
        if (fade_.elapsed() >= kFadeSeconds * 1000) {
            fade_.invalidate();
            fadingText_.clear();
        } else {
            fading = true;
        }
    }
    reshape();
    if (pulses_.empty() && !fading) {
        ticker_.stop();
    }
}

QRegion RecordingOverlayWindow::pulsePixels(const Pulse& p, qreal scale) {
    QRegion pixels;
    const QPointF centre = p.centre * scale;
    if (pulse::ringOpacity(p.seconds) > 0) {
        const double radius = pulse::ringDiameter(p.seconds) / 2;
        pixels += ringPixels(centre, (radius + pulse::ringWidth / 2) * scale,
                             (radius - pulse::ringWidth / 2) * scale);
    }
    if (pulse::dotOpacity(p.seconds) > 0) {
        pixels += ringPixels(centre, pulse::dotDiameter / 2 * scale, 0);
    }
    return pixels;
}

void RecordingOverlayWindow::reshape() {
    if (translucent_ || !testAttribute(Qt::WA_WState_Created)) {
        return;
    }
    const qreal scale = devicePixelRatioF();
    QRegion shape;
    if (const QRectF label = labelRect(); !label.isEmpty()) {
        shape += desktop::outlineRegion(capsule(label), scale);
    }
    for (const Pulse& p : pulses_) {
        shape += pulsePixels(p, scale);
    }
    if (shaped_ && shape == shape_) {
        return;
    }
    shaped_ = true;
    shape_ = shape;
    if (!platform::setWindowShape(winId(), shape_)) {
        setMask(shape_.isEmpty() ? QRegion(-1, -1, 1, 1) : shape_);
    }
}

struct RecordingOverlayWindow::LabelShadow {
    QSizeF size;
    qreal scale = 0;
    desktop::DropShadow shadow;
};

const RecordingOverlayWindow::LabelShadow& RecordingOverlayWindow::labelShadow(const QSizeF& size,
                                                                               qreal scale) {
    if (!labelShadow_ || labelShadow_->size != size || labelShadow_->scale != scale) {
        labelShadow_ = std::make_shared<LabelShadow>(LabelShadow{
            size, scale, desktop::shapeShadow(capsule(QRectF(QPointF(), size)), scale, 5, 0.3)});
    }
    return *labelShadow_;
}

void RecordingOverlayWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (translucent_) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(event->rect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    painter.setRenderHint(QPainter::Antialiasing, translucent_);
    for (const Pulse& p : pulses_) {
        const double seconds = p.seconds;
        if (!translucent_) {
            // The whole square the pulse can reach, in its colour: the mask
            // cuts the ring and the dot out of it frame by frame.
            painter.fillRect(pulseBounds(p.centre), p.color);
            continue;
        }
        if (const double dot = pulse::dotOpacity(seconds); dot > 0) {
            QColor fill = p.color;
            fill.setAlphaF(static_cast<float>(0.35 * dot));
            painter.fillPath(dotPath(p.centre), fill);
        }
        if (const double ring = pulse::ringOpacity(seconds); ring > 0) {
            QColor stroke = p.color;
            stroke.setAlphaF(static_cast<float>(ring));
            painter.fillPath(ringPath(p.centre, pulse::ringDiameter(seconds)), stroke);
        }
    }
    const QRectF label = labelRect();
    if (label.isEmpty()) {
        return;
    }
    const double opacity = labelOpacity();
    painter.setOpacity(opacity);
    const QPainterPath outline = capsule(label);
    if (translucent_) {
        // Black at 30 %, blurred by 10 points (a Gaussian of half that
        // deviation), 3 points down.
        const qreal scale = devicePixelRatioF();
        desktop::drawShadow(painter, labelShadow(label.size(), scale).shadow,
                            label.topLeft() + QPointF(0, 3), scale);
        painter.fillPath(outline, QColor(0, 0, 0, static_cast<int>(0.75 * 255)));
    } else {
        painter.fillPath(outline, Qt::black);
    }
    painter.setFont(font_);
    painter.setPen(Qt::white);
    const QFontMetricsF metrics(font_);
    const QString shown =
        metrics.elidedText(shownText(), Qt::ElideLeft, label.width() - 2 * kPaddingX + 1);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.drawText(label, Qt::AlignCenter | Qt::TextSingleLine, shown);
}

// --- overlay ---

RecordingOverlay::RecordingOverlay(const Options& options, QObject* parent)
    : QObject(parent), options_(options) {
    const bool translucent = options_.translucent.value_or(desktop::windowsBlend());
    window_ = new RecordingOverlayWindow(options_.displayFrame, options_.region, options_.position,
                                         translucent);
    window_->show();
    window_->raise();

    fadeTimer_.setSingleShot(true);
    // A coarse timer may end 5 % early: the label would go before its time.
    fadeTimer_.setTimerType(Qt::PreciseTimer);
    fadeTimer_.setInterval(labelTimeout);
    connect(&fadeTimer_, &QTimer::timeout, this, [this] {
        if (window_) {
            window_->setLabelText(std::nullopt);
        }
    });

    if (options_.keystrokeMode) {
        formatter_.emplace(*options_.keystrokeMode);
    }
    if (options_.highlightClicks || formatter_) {
        KeystrokeMonitor::Handlers handlers;
        QPointer<RecordingOverlay> self(this);
        if (formatter_) {
            handlers.onKey = [self](const KeyPress& press) {
                if (self)
                    self->handleKey(press);
            };
        }
        if (options_.highlightClicks) {
            handlers.onClick = [self](QPointF global, int button) {
                if (self)
                    self->handleClick(global, button);
            };
        }
        // Without RECORD the recording goes on without either.
        monitor_ = KeystrokeMonitor::start(std::move(handlers));
    }
}

RecordingOverlay::~RecordingOverlay() {
    stop();
}

void RecordingOverlay::stop() {
    if (monitor_) {
        monitor_->stop();
        monitor_.reset();
    }
    fadeTimer_.stop();
    if (window_) {
        window_->hide();
        window_->deleteLater();
        window_ = nullptr;
    }
}

void RecordingOverlay::handleKey(const KeyPress& press) {
    if (!formatter_ || !window_) {
        return;
    }
    const std::optional<QString> text = formatter_->format(press, KeystrokeFormatter::Clock::now());
    if (!text) {
        return;
    }
    window_->setLabelText(text);
    fadeTimer_.start();
}

void RecordingOverlay::handleClick(QPointF global, int button) {
    if (options_.highlightClicks && window_) {
        window_->addClickPulse(global, button);
    }
}

void RecordingOverlay::setRegion(const QRectF& region) {
    options_.region = region;
    if (window_) {
        window_->setRegion(region);
    }
}

} // namespace overlays
