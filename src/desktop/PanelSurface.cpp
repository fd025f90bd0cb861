#include "desktop/PanelSurface.h"

#include "platform/WindowShape.h"

#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <vector>

namespace desktop {

bool windowsBlend() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return true;
    }
    return platform::compositingManagerRunning();
}

QRegion outlineRegion(const QPainterPath& outline, qreal scale) {
    const QPainterPath scaled = QTransform::fromScale(scale, scale).map(outline);
    const QRect box = scaled.boundingRect().toAlignedRect();
    if (box.isEmpty()) {
        return {};
    }
    // Filled without antialiasing, a pixel is either in (its centre is
    // inside) or out.
    QImage image(box.size(), QImage::Format_Alpha8);
    image.fill(0);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.translate(-box.topLeft());
    painter.fillPath(scaled, Qt::black);
    painter.end();

    // One rectangle per run of a row: sorted by y, then x, never touching,
    // which is the form QRegion takes as it is.
    std::vector<QRect> runs;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        int x = 0;
        while (x < image.width()) {
            while (x < image.width() && row[x] < 128) {
                ++x;
            }
            const int start = x;
            while (x < image.width() && row[x] >= 128) {
                ++x;
            }
            if (x > start) {
                runs.emplace_back(box.x() + start, box.y() + y, x - start, 1);
            }
        }
    }
    QRegion region;
    region.setRects(runs.data(), static_cast<int>(runs.size()));
    return region;
}

PanelSurface::Kind PanelSurface::kindNow() {
    return windowsBlend() ? Kind::translucent : Kind::masked;
}

PanelSurface::PanelSurface(QWidget* panel, std::function<QPainterPath()> outline, Kind kind)
    : QObject(panel), panel_(panel), outline_(std::move(outline)), kind_(kind) {
    if (kind_ == Kind::translucent) {
        panel_->setAttribute(Qt::WA_TranslucentBackground);
    } else {
        panel_->setAttribute(Qt::WA_TranslucentBackground, false);
        panel_->installEventFilter(this);
        if (panel_->isVisible()) {
            reshape();
        }
    }
}

void PanelSurface::reshape() {
    if (kind_ != Kind::masked || !outline_) {
        return;
    }
    const QPainterPath outline = outline_();
    deviceMask_ = outlineRegion(outline, panel_->devicePixelRatioF());
    if (!platform::setWindowShape(panel_->winId(), deviceMask_)) {
        // Another window system: Qt's own mask, in whole points.
        panel_->setMask(outlineRegion(outline, 1.0));
    }
}

bool PanelSurface::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panel_) {
        switch (event->type()) {
        // Show comes before the window is mapped, so it never shows uncut.
        case QEvent::Show:
        case QEvent::Resize:
        case QEvent::ScreenChangeInternal:
        case QEvent::WinIdChange:
            if (panel_->testAttribute(Qt::WA_WState_Created)) {
                reshape();
            }
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void PanelSurface::prepareFadeIn() {
    if (kind_ == Kind::translucent) {
        panel_->setWindowOpacity(0);
    }
}

void PanelSurface::fade(double to, std::chrono::milliseconds duration, std::function<void()> done,
                        const WindowFader& fader) {
    if (kind_ == Kind::translucent && fader) {
        fader(panel_, to, duration, std::move(done));
        return;
    }
    if (done) {
        done();
    }
}

} // namespace desktop
