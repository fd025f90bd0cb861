#include "capture/SelectionPictures.h"

#include "capture/ScreenGeometry.h"
#include "capture/SelectionGeometry.h"

namespace capture {

namespace {

const DisplaySnapshot* snapshotOf(const std::vector<DisplaySnapshot>& snapshots,
                                  std::uint32_t displayID) {
    for (const DisplaySnapshot& snapshot : snapshots) {
        if (snapshot.displayID == displayID) {
            return &snapshot;
        }
    }
    return nullptr;
}

} // namespace

std::variant<SelectionPicture, CaptureError> cropSnapshot(const DisplaySnapshot& snapshot,
                                                          const QRectF& rect) {
    const QRect pixels =
        ScreenGeometry::localPixels(rect, snapshot.scale).intersected(snapshot.image.rect());
    if (pixels.isEmpty()) {
        return CaptureError::noDisplays;
    }
    QImage image = snapshot.image.copy(pixels);
    image.setDevicePixelRatio(snapshot.scale);
    return SelectionPicture{std::move(image), snapshot.scale, false};
}

std::variant<SelectionPicture, CaptureError>
takeSelectionPicture(const SelectionPick& pick, const std::vector<DisplaySnapshot>& snapshots,
                     const WindowPictureSource& windowPicture) {
    const DisplaySnapshot* snapshot = snapshotOf(snapshots, pick.display.displayID);
    switch (pick.kind) {
    case SelectionPick::Kind::area:
        if (!snapshot) {
            return CaptureError::noDisplays;
        }
        return cropSnapshot(*snapshot, pick.rect);
    case SelectionPick::Kind::display:
        if (!snapshot || snapshot->image.isNull()) {
            return CaptureError::noDisplays;
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
            return CaptureError::windowNotFound;
        }
        const QRectF visible =
            ScreenGeometry::toLocal(pick.display, QRectF(pick.window->frame))
                .intersected(QRectF(QPointF(0, 0), selection::displaySize(pick.display)));
        if (visible.isEmpty()) {
            return CaptureError::windowNotFound;
        }
        return cropSnapshot(*snapshot, visible);
    }
    }
    return CaptureError::noDisplays;
}

} // namespace capture
