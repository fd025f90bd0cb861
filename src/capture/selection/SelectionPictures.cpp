#include "capture/selection/SelectionPictures.h"

#include "capture/selection/SelectionGeometry.h"
#include "desktop/ScreenGeometry.h"

namespace capture {

namespace {

const desktop::DisplaySnapshot* snapshotOf(const std::vector<desktop::DisplaySnapshot>& snapshots,
                                           std::uint32_t displayID) {
    for (const desktop::DisplaySnapshot& snapshot : snapshots) {
        if (snapshot.displayID == displayID) {
            return &snapshot;
        }
    }
    return nullptr;
}

} // namespace

std::variant<SelectionPicture, desktop::CaptureError>
cropSnapshot(const desktop::DisplaySnapshot& snapshot, const QRectF& rect) {
    const QRect pixels = desktop::ScreenGeometry::localPixels(rect, snapshot.scale)
                             .intersected(snapshot.image.rect());
    if (pixels.isEmpty()) {
        return desktop::CaptureError::noDisplays;
    }
    QImage image = snapshot.image.copy(pixels);
    image.setDevicePixelRatio(snapshot.scale);
    return SelectionPicture{std::move(image), snapshot.scale, false};
}

std::variant<SelectionPicture, desktop::CaptureError>
takeSelectionPicture(const SelectionPick& pick,
                     const std::vector<desktop::DisplaySnapshot>& snapshots,
                     const WindowPictureSource& windowPicture) {
    const desktop::DisplaySnapshot* snapshot = snapshotOf(snapshots, pick.display.displayID);
    switch (pick.kind) {
    case SelectionPick::Kind::area:
        if (!snapshot) {
            return desktop::CaptureError::noDisplays;
        }
        return cropSnapshot(*snapshot, pick.rect);
    case SelectionPick::Kind::display:
        if (!snapshot || snapshot->image.isNull()) {
            return desktop::CaptureError::noDisplays;
        }
        return SelectionPicture{snapshot->image, snapshot->scale, false};
    case SelectionPick::Kind::window: {
        if (windowPicture && pick.window) {
            if (std::optional<SelectionPicture> alone = windowPicture(pick.window->id)) {
                alone->isWindowAlone = true;
                return *alone;
            }
        }
        // Whatever went wrong, the window's visible part on the clicked display
        // is still what the user pointed at.
        if (!pick.window || !snapshot) {
            return desktop::CaptureError::windowNotFound;
        }
        const QRectF visible =
            desktop::ScreenGeometry::toLocal(pick.display, QRectF(pick.window->frame))
                .intersected(QRectF(QPointF(0, 0), selection::displaySize(pick.display)));
        if (visible.isEmpty()) {
            return desktop::CaptureError::windowNotFound;
        }
        return cropSnapshot(*snapshot, visible);
    }
    }
    return desktop::CaptureError::noDisplays;
}

} // namespace capture
