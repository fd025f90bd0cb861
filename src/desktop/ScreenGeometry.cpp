#include "desktop/ScreenGeometry.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace desktop::ScreenGeometry {

namespace {

int roundHalfAway(double value) {
    return static_cast<int>(std::lround(value));
}

} // namespace

bool frameContains(const QRectF& frame, const QPointF& point) {
    return point.x() >= frame.left() && point.x() < frame.left() + frame.width() &&
           point.y() >= frame.top() && point.y() < frame.top() + frame.height();
}

std::optional<qsizetype> indexOfFrameAt(const QList<QRectF>& frames, const QPointF& point,
                                        qsizetype fallback) {
    if (frames.isEmpty()) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < frames.size(); ++i) {
        if (frameContains(frames[i], point)) {
            return i;
        }
    }
    return fallback >= 0 && fallback < frames.size() ? fallback : 0;
}

QScreen* screenUnderPointer() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    QList<QRectF> frames;
    frames.reserve(screens.size());
    for (const QScreen* screen : screens) {
        frames.append(QRectF(screen->geometry()));
    }
    const auto index =
        indexOfFrameAt(frames, QCursor::pos(), screens.indexOf(QGuiApplication::primaryScreen()));
    return index ? screens[*index] : nullptr;
}

std::optional<std::uint32_t> matchMonitor(const QString& screenName, const QRect& pixelGeometry,
                                          const QList<platform::DisplayMonitor>& monitors) {
    if (!screenName.isEmpty()) {
        for (const auto& monitor : monitors) {
            if (monitor.name == screenName) {
                return monitor.id;
            }
        }
        for (const auto& monitor : monitors) {
            if (monitor.outputs.contains(screenName)) {
                return monitor.id;
            }
        }
    }
    for (const auto& monitor : monitors) {
        if (monitor.geometry == pixelGeometry) {
            return monitor.id;
        }
    }
    return std::nullopt;
}

namespace {

std::optional<std::uint32_t> displayIDIn(const QScreen* screen,
                                         const QList<platform::DisplayMonitor>& monitors) {
    if (screen == nullptr) {
        return std::nullopt;
    }
    if (monitors.isEmpty()) {
        // No RandR to ask: the screen list's order is the only stable name.
        const qsizetype index = QGuiApplication::screens().indexOf(const_cast<QScreen*>(screen));
        return index >= 0 ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(index + 1))
                          : std::nullopt;
    }
    return matchMonitor(screen->name(),
                        pixelRect(QRectF(screen->geometry()), screen->devicePixelRatio()),
                        monitors);
}

} // namespace

std::optional<std::uint32_t> displayID(const QScreen* screen) {
    return displayIDIn(screen, platform::displayMonitors());
}

std::optional<CaptureDisplay> captureDisplay(QScreen* screen) {
    const auto id = displayID(screen);
    if (!id) {
        return std::nullopt;
    }
    return CaptureDisplay{screen, *id, screen->devicePixelRatio(), QRectF(screen->geometry())};
}

QList<CaptureDisplay> captureDisplays() {
    const QList<platform::DisplayMonitor> monitors = platform::displayMonitors();
    QList<CaptureDisplay> displays;
    for (QScreen* screen : QGuiApplication::screens()) {
        if (const auto id = displayIDIn(screen, monitors)) {
            displays.append(CaptureDisplay{screen, *id, screen->devicePixelRatio(),
                                           QRectF(screen->geometry())});
        }
    }
    return displays;
}

QRect pixelRect(const QRectF& frame, double scale) {
    return QRect(roundHalfAway(frame.x()), roundHalfAway(frame.y()),
                 roundHalfAway(frame.width() * scale), roundHalfAway(frame.height() * scale));
}

QRect pixelRect(const CaptureDisplay& display) {
    return pixelRect(display.frame, display.scale);
}

QRect localPixels(const QRectF& localRect, double scale) {
    const QRectF r = localRect.normalized();
    const int left = static_cast<int>(std::floor(r.left() * scale));
    const int top = static_cast<int>(std::floor(r.top() * scale));
    const int right = static_cast<int>(std::ceil((r.left() + r.width()) * scale));
    const int bottom = static_cast<int>(std::ceil((r.top() + r.height()) * scale));
    return QRect(QPoint(left, top), QSize(right - left, bottom - top));
}

QRectF toLocal(const CaptureDisplay& display, const QRectF& globalRect) {
    return globalRect.translated(-display.frame.topLeft());
}

QRectF toGlobal(const CaptureDisplay& display, const QRectF& localRect) {
    return localRect.translated(display.frame.topLeft());
}

QRectF pixelsToPoints(const QRect& pixels, const QList<CaptureDisplay>& displays) {
    if (displays.isEmpty()) {
        return QRectF(pixels);
    }
    const CaptureDisplay* chosen = &displays.first();
    const QPointF centre = QRectF(pixels).center();
    for (const CaptureDisplay& display : displays) {
        if (frameContains(QRectF(pixelRect(display)), centre)) {
            chosen = &display;
            break;
        }
    }
    const QPointF origin = QPointF(pixelRect(*chosen).topLeft());
    const double scale = chosen->scale > 0 ? chosen->scale : 1.0;
    return QRectF(chosen->frame.topLeft() + (QPointF(pixels.topLeft()) - origin) / scale,
                  QSizeF(pixels.size()) / scale);
}

} // namespace desktop::ScreenGeometry
