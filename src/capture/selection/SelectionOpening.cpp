#include "capture/selection/SelectionOpening.h"

#include "app/HotKeyCenter.h"
#include "app/Preferences.h"
#include "capture/ScreenCapturer.h"
#include "capture/selection/SelectionSession.h"
#include "desktop/ScreenGeometry.h"
#include "desktop/WindowList.h"

#include <QGuiApplication>

namespace capture {

std::variant<std::unique_ptr<QObject>, desktop::CaptureError>
openCaptureSelection(SelectionMode mode, bool takesPictures, const QString& hint,
                     std::function<void(const SelectionOutcome&)> completion) {
    if (desktop::ScreenGeometry::captureDisplays().isEmpty()) {
        return desktop::CaptureError::noDisplays;
    }
    auto taken = ScreenCapturer::displaySnapshots(QGuiApplication::screens(), false,
                                                  ScreenCapturer::keepSet());
    if (const auto* error = std::get_if<desktop::CaptureError>(&taken)) {
        return *error;
    }
    std::vector<desktop::DisplaySnapshot> snapshots =
        std::move(std::get<std::vector<desktop::DisplaySnapshot>>(taken));

    SelectionSession::Sources sources;
    sources.windows = [] { return desktop::WindowList::copyWindowInfo(); };
    sources.windowPicture = [snapshots](std::uint32_t id) -> std::optional<SelectionPicture> {
        auto picture = ScreenCapturer::windowImage(id, snapshots);
        if (auto* alone = std::get_if<WindowPicture>(&picture)) {
            return SelectionPicture{alone->image, alone->scale, true};
        }
        return std::nullopt;
    };
    const app::Preferences& preferences = app::Preferences::shared();
    SelectionSession::Options options;
    options.mode = mode;
    options.showsMagnifier = preferences.showMagnifier();
    options.showsCrosshair = preferences.showCrosshair();
    options.takesPictures = takesPictures;
    options.hint = hint;

    auto session = std::make_unique<SelectionSession>(
        std::move(snapshots), desktop::WindowList::copyWindowInfo(), options, std::move(sources),
        app::HotKeyCenter::shared());
    session->begin(std::move(completion));
    return std::unique_ptr<QObject>(session.release());
}

} // namespace capture
