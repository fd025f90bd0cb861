#include "capture/ScreenCapturer.h"

#include "capture/WindowShadow.h"
#include "desktop/OwnPanelsAway.h"
#include "desktop/ScreenGeometry.h"
#include "desktop/WindowList.h"

#include "platform/ClientWindows.h"
#include "platform/ScreenGrabber.h"

#include <QPainter>
#include <QScreen>

#include <optional>

namespace capture::ScreenCapturer {

namespace {

std::function<QSet<std::uint32_t>()>& pinnedSource() {
    static std::function<QSet<std::uint32_t>()> source;
    return source;
}

void drawCursor(QImage& image, const QPoint& imageOrigin) {
    platform::ScreenGrabber* grabber = platform::ScreenGrabber::shared();
    const auto cursor = grabber ? grabber->cursor() : std::nullopt;
    if (!cursor) {
        return;
    }
    if (image.format() != QImage::Format_RGB32 &&
        image.format() != QImage::Format_ARGB32_Premultiplied) {
        image = image.convertToFormat(QImage::Format_RGB32);
    }
    const double ratio = image.devicePixelRatio();
    image.setDevicePixelRatio(1.0);
    QPainter painter(&image);
    painter.drawImage(cursor->topLeft - imageOrigin, cursor->image);
    painter.end();
    image.setDevicePixelRatio(ratio);
}

const desktop::CaptureDisplay* displayHolding(const QPointF& pixel,
                                              const QList<desktop::CaptureDisplay>& displays) {
    for (const desktop::CaptureDisplay& display : displays) {
        if (desktop::ScreenGeometry::frameContains(
                QRectF(desktop::ScreenGeometry::pixelRect(display)), pixel)) {
            return &display;
        }
    }
    return displays.isEmpty() ? nullptr : &displays.first();
}

} // namespace

void setPinnedWindowNumbers(std::function<QSet<std::uint32_t>()> source) {
    pinnedSource() = std::move(source);
}

QSet<std::uint32_t> keepSet() {
    QSet<std::uint32_t> keep = desktop::WindowList::ownCapturableWindowIDs();
    if (pinnedSource()) {
        keep.unite(pinnedSource()());
    }
    return keep;
}

std::variant<std::vector<desktop::DisplaySnapshot>, desktop::CaptureError>
displaySnapshots(const QList<QScreen*>& screens, bool showsCursor,
                 const QSet<std::uint32_t>& keeping) {
    platform::ScreenGrabber* grabber = platform::ScreenGrabber::shared();
    if (grabber == nullptr) {
        return desktop::CaptureError::noDisplays;
    }
    std::vector<desktop::CaptureDisplay> displays;
    QRectF everything;
    for (QScreen* screen : screens) {
        if (auto display = desktop::ScreenGeometry::captureDisplay(screen)) {
            everything = everything.united(display->frame);
            displays.push_back(*display);
        }
    }
    if (displays.empty()) {
        return desktop::CaptureError::noDisplays;
    }
    std::vector<desktop::DisplaySnapshot> snapshots;
    snapshots.reserve(displays.size());
    {
        const desktop::OwnPanelsAway away(everything, keeping);
        for (const desktop::CaptureDisplay& display : displays) {
            const QRect pixels = desktop::ScreenGeometry::pixelRect(display);
            QImage image = grabber->grabRoot(pixels);
            if (image.isNull()) {
                return desktop::CaptureError::noDisplays;
            }
            image.setDevicePixelRatio(display.scale);
            snapshots.push_back(desktop::DisplaySnapshot{display.screen, display.displayID, image,
                                                         display.scale, display.frame});
        }
    }
    if (showsCursor) {
        for (desktop::DisplaySnapshot& snapshot : snapshots) {
            drawCursor(snapshot.image,
                       desktop::ScreenGeometry::pixelRect(snapshot.display()).topLeft());
        }
    }
    return snapshots;
}

std::variant<QImage, desktop::CaptureError> shot(const desktop::CaptureDisplay& display,
                                                 const QRectF& rect,
                                                 const QSet<std::uint32_t>& keeping) {
    platform::ScreenGrabber* grabber = platform::ScreenGrabber::shared();
    const QRect full = desktop::ScreenGeometry::pixelRect(display);
    const QRect crop = desktop::ScreenGeometry::localPixels(rect, display.scale)
                           .intersected(QRect(QPoint(0, 0), full.size()));
    if (grabber == nullptr || crop.isEmpty()) {
        return desktop::CaptureError::noDisplays;
    }
    QImage image;
    {
        const desktop::OwnPanelsAway away(desktop::ScreenGeometry::toGlobal(display, rect),
                                          keeping);
        image = grabber->grabRoot(crop.translated(full.topLeft()));
    }
    if (image.isNull()) {
        return desktop::CaptureError::noDisplays;
    }
    image.setDevicePixelRatio(display.scale);
    return image;
}

std::variant<WindowPicture, desktop::CaptureError>
windowImage(std::uint32_t id, const std::vector<desktop::DisplaySnapshot>& frozen) {
    const auto window = platform::clientWindow(id);
    platform::ScreenGrabber* grabber = platform::ScreenGrabber::shared();
    if (!window || grabber == nullptr || !window->viewable ||
        window->states.contains(QStringLiteral("_NET_WM_STATE_HIDDEN"))) {
        return desktop::CaptureError::windowNotFound;
    }
    const QRect frame = window->frame;
    const QList<desktop::CaptureDisplay> displays = desktop::ScreenGeometry::captureDisplays();
    const desktop::CaptureDisplay* home = displayHolding(QRectF(frame).center(), displays);
    const double scale = home ? home->scale : 1.0;
    const auto picture = [scale](QImage image) {
        image.setDevicePixelRatio(scale);
        return WindowPicture{std::move(image), scale};
    };

    if (grabber->compositorRunning()) {
        if (auto image = grabber->grabRedirectedWindow(window->topLevel, frame)) {
            return picture(std::move(*image));
        }
    }
    for (const desktop::DisplaySnapshot& snapshot : frozen) {
        const QRect pixels = desktop::ScreenGeometry::pixelRect(snapshot.display());
        if (pixels.contains(frame) && !snapshot.image.isNull()) {
            return picture(snapshot.image.copy(frame.translated(-pixels.topLeft())));
        }
    }
    QImage image;
    {
        const desktop::OwnPanelsAway away(desktop::ScreenGeometry::pixelsToPoints(frame, displays),
                                          keepSet());
        image = grabber->grabRoot(frame);
    }
    if (image.isNull()) {
        // Wholly off the screen, or gone while we read it.
        return desktop::CaptureError::windowNotFound;
    }
    return picture(std::move(image));
}

QImage addWindowShadow(const QImage& image, double scale) {
    return WindowShadow::addWindowShadow(image, scale);
}

} // namespace capture::ScreenCapturer
