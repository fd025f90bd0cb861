#include "capture/ScreenshotDelivery.h"

#include "app/CaptureSound.h"
#include "app/ImageEncoding.h"
#include "app/ImageFiles.h"
#include "app/PasteboardCopy.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"

#include "capture/CoordinatorTrace.h"

#include "platform/MemoryRelease.h"

#include <QPointer>
#include <QScopeGuard>

namespace capture {

DeliverySettings DeliverySettings::fromPreferences() {
    const app::Preferences& preferences = app::Preferences::shared();
    DeliverySettings settings;
    settings.playSounds = preferences.playSounds();
    settings.copyToClipboard = preferences.copyToClipboard();
    settings.saveToDisk = preferences.saveToDisk();
    settings.openEditor = preferences.openEditor();
    settings.showQuickAccess = preferences.showQuickAccess();
    settings.imageFormat = preferences.imageFormat();
    return settings;
}

ScreenshotDelivery::Services ScreenshotDelivery::defaultServices() {
    Services services;
    services.settings = &DeliverySettings::fromPreferences;
    services.playSound = [] { app::captureSound().play(); };
    services.copyToClipboard = [](const QImage& image, double scale,
                                  const std::optional<QByteArray>& png) {
        app::PasteboardWriter::shared().copy(image, std::nullopt, scale, png);
        traceCoordinator(QStringLiteral("clipboard taken"));
    };
    services.encode = [](const QImage& image, app::ImageFormat format, double scale) {
        return app::encodeImage(image, format, scale);
    };
    services.chooseFolder = [] { return app::SaveLocation::chooseFolder(); };
    services.saveFolder = []() -> std::optional<QString> {
        if (const auto resolved = app::SaveLocation::resolvedFolder()) {
            return resolved->folder;
        }
        return std::nullopt;
    };
    services.save = [](const QByteArray& bytes, const QDateTime& date, app::ImageFormat format) {
        return app::SaveLocation::withFolder([&](const QString& folder) {
            return app::writeUniqueFile(bytes, folder, date, format);
        });
    };
    return services;
}

CaptureFailure ScreenshotDelivery::failureOf(const app::FileError& error) {
    return {error.description(), app::SaveLocation::isUserCancellation(error)};
}

CaptureFailure ScreenshotDelivery::unsavedFailure(const app::FileError& error, bool copied,
                                                  std::optional<QByteArray> bytes,
                                                  const QDateTime& date, app::ImageFormat format,
                                                  const FailureAlert& alert) const {
    CaptureFailure failure = failureOf(error);
    if (failure.isUserCancellation) {
        return failure;
    }
    CaptureFailure::Unsaved unsaved;
    unsaved.copied = copied;
    if (services_.saveFolder) {
        unsaved.folder = services_.saveFolder().value_or(QString());
    }
    if (bytes && services_.chooseFolder && services_.save) {
        // A copy of the services: the delivery may be long gone when the
        // user answers.
        unsaved.chooseAnotherFolder = [delivery = *this, bytes = *std::move(bytes), date, format,
                                       copied, alert] {
            if (!delivery.services_.chooseFolder()) {
                return;
            }
            const app::Result<QString> saved = delivery.services_.save(bytes, date, format);
            if (!saved && alert) {
                alert(delivery.unsavedFailure(saved.error(), copied, bytes, date, format, alert));
            }
        };
    }
    failure.unsaved = std::make_shared<const CaptureFailure::Unsaved>(std::move(unsaved));
    return failure;
}

void ScreenshotDelivery::deliver(app::Capture capture, CaptureCoordinator& coordinator) const {
    const QPointer<CaptureCoordinator> owner(&coordinator);
    deliver(std::move(capture), coordinator.delivery(), [owner](const CaptureFailure& failure) {
        if (owner) {
            owner->presentCaptureError(failure);
        }
    });
}

void ScreenshotDelivery::deliver(app::Capture capture, CaptureCoordinator::Delivery mode,
                                 const FailureAlert& alert) const {
    // The picture and its encodings are freed over the next moments; what
    // they took goes back to the system once the workers are done.
    const auto release = qScopeGuard([] { platform::returnFreeMemorySoon(); });
    const DeliverySettings settings =
        services_.settings ? services_.settings() : DeliverySettings();
    const auto fail = [&alert](const CaptureFailure& failure) {
        if (alert) {
            alert(failure);
        }
    };

    if (settings.playSounds && services_.playSound) {
        services_.playSound();
    }
    if (mode == CaptureCoordinator::Delivery::copyOnly) {
        if (services_.copyToClipboard) {
            services_.copyToClipboard(capture.image, capture.scale, std::nullopt);
        }
        return;
    }

    // The file's bytes; made before the copy when the clipboard can use them.
    std::optional<QByteArray> bytes;
    bool encoded = false;
    const auto encode = [&] {
        if (!encoded) {
            encoded = true;
            if (services_.encode) {
                bytes = services_.encode(capture.image, settings.imageFormat, capture.scale);
            }
        }
    };
    const bool copied = settings.copyToClipboard && services_.copyToClipboard;
    if (copied) {
        const bool sharesPng = settings.saveToDisk && settings.imageFormat == app::ImageFormat::png;
        if (sharesPng) {
            encode();
        }
        services_.copyToClipboard(capture.image, capture.scale,
                                  sharesPng ? bytes : std::optional<QByteArray>());
    }
    if (settings.saveToDisk) {
        encode();
        if (!bytes) {
            fail(unsavedFailure(app::FileError::encodingFailed(), copied, std::nullopt,
                                capture.date, settings.imageFormat, alert));
        } else if (services_.save) {
            const app::Result<QString> saved =
                services_.save(*bytes, capture.date, settings.imageFormat);
            if (saved) {
                capture.filePath = saved.value();
            } else {
                fail(unsavedFailure(saved.error(), copied, bytes, capture.date,
                                    settings.imageFormat, alert));
            }
        }
    }
    if (settings.openEditor) {
        if (services_.openEditor) {
            services_.openEditor(capture);
        }
        return;
    }
    if (settings.showQuickAccess && services_.showQuickAccess) {
        services_.showQuickAccess(capture);
    }
}

} // namespace capture
