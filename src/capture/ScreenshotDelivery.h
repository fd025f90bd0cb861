#pragma once

#include "app/Capture.h"
#include "app/FileError.h"
#include "app/SettingsEnums.h"
#include "capture/CaptureCoordinator.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>

#include <functional>
#include <optional>

namespace capture {

// The settings a delivery reads, once, when it starts.
struct DeliverySettings {
    bool playSounds = true;
    bool copyToClipboard = true;
    bool saveToDisk = false;
    bool openEditor = false;
    bool showQuickAccess = true;
    app::ImageFormat imageFormat = app::ImageFormat::png;

    // The shared settings store as it is now.
    static DeliverySettings fromPreferences();
};

// Hands a finished screenshot on, in a fixed order: the capture sound, the
// clipboard (all a copy-only action does), the file in the save folder, then
// the editor or else a Quick Access card. A failure to encode or save is
// reported as a picture taken but not saved, naming the folder, and the
// delivery goes on, so the picture is never lost for it; the report offers
// another folder, where the same bytes are saved once one is chosen.
// A picture that is both copied and saved as PNG is encoded once, before the
// copy, and the clipboard and the file share the bytes.
// The composition root makes one and hands it to every flow that ends in a
// picture, so they all deliver alike. Main thread only.
class ScreenshotDelivery {
public:
    struct Services {
        std::function<DeliverySettings()> settings;
        std::function<void()> playSound;
        // Puts the image on the clipboard (without a file reference); `png`,
        // when given, is its PNG form already made.
        std::function<void(const QImage& image, double scale, const std::optional<QByteArray>& png)>
            copyToClipboard;
        // File bytes of the image, nothing when it cannot be encoded.
        std::function<std::optional<QByteArray>(const QImage& image, app::ImageFormat format,
                                                double scale)>
            encode;
        // Writes the bytes under a new capture name into the save folder
        // (asking for the folder while none is set); the new file's path.
        std::function<app::Result<QString>(const QByteArray& bytes, const QDateTime& date,
                                           app::ImageFormat format)>
            save;
        // Shows the folder chooser and keeps the folder chosen as the save
        // folder; false when the user cancelled.
        std::function<bool()> chooseFolder;
        // The save folder the file was meant for, when one is set.
        std::function<std::optional<QString>()> saveFolder;
        // Shows the capture in an editor; set by the application shell.
        std::function<void(const app::Capture& capture)> openEditor;
        // Shows a Quick Access card for the capture; set by the application shell.
        std::function<void(const app::Capture& capture)> showQuickAccess;
    };
    // The one failure alert (silent for the user's cancellation).
    using FailureAlert = std::function<void(const CaptureFailure& failure)>;

    // The shared settings, the capture sound, the clipboard, the image
    // encoders and the save folder; no editor and no Quick Access (the
    // application shell sets those).
    static Services defaultServices();

    explicit ScreenshotDelivery(Services services) : services_(std::move(services)) {}

    // Delivers the capture as `mode` says; failures go to `fail`.
    void deliver(app::Capture capture, CaptureCoordinator::Delivery mode,
                 const FailureAlert& fail) const;
    // Delivers the capture as the coordinator's current action says; failures
    // go to its alert while it exists.
    void deliver(app::Capture capture, CaptureCoordinator& coordinator) const;

    // The failure a file error becomes: its text, silent for a cancellation.
    static CaptureFailure failureOf(const app::FileError& error);

    const Services& services() const { return services_; }

private:
    // The failure of a save that did not happen; its chooser tries `bytes`
    // again in the folder chosen and reports again if that fails too.
    CaptureFailure unsavedFailure(const app::FileError& error, bool copied,
                                  std::optional<QByteArray> bytes, const QDateTime& date,
                                  app::ImageFormat format, const FailureAlert& alert) const;

    Services services_;
};

} // namespace capture
