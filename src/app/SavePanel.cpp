#include "app/SavePanel.h"

#include "app/CaptureFileName.h"
#include "app/FilePanels.h"
#include "app/ImageEncoding.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"
#include "platform/SafeFile.h"

#include <QFileInfo>
#include <QWidget>

namespace app {

namespace {

ImageFormat formatForChosenName(const QString& path) {
    const QString extension = QFileInfo(path).suffix().toLower();
    return extension == QLatin1String("jpg") || extension == QLatin1String("jpeg")
               ? ImageFormat::jpeg
               : ImageFormat::png;
}

} // namespace

void saveImageWithPanel(const QImage& image, const QDateTime& date, QWidget* window, double scale,
                        std::function<void(std::optional<QString>)> completion) {
    FilePanels::SaveRequest request;
    request.fileName = captureFileName(date) + QLatin1Char('.') +
                       fileExtension(SaveLocation::preferences().imageFormat());
    if (const auto folder = SaveLocation::resolvedFolder()) {
        request.directory = folder->folder;
    }
    FilePanels& panels = FilePanels::current();
    QPointer<QWidget> owner(window);
    panels.runSavePanel(request, window,
                        [image, scale, owner, &panels,
                         completion = std::move(completion)](std::optional<QString> path) {
                            if (!path) {
                                completion(std::nullopt);
                                return;
                            }
                            const std::optional<QByteArray> bytes =
                                encodeImage(image, formatForChosenName(*path), scale);
                            // The user confirmed the panel: a failure from here on is said,
                            // the encoding's as much as the write's.
                            if (!bytes) {
                                panels.showError(owner, FileError::encodingFailed(*path));
                                completion(std::nullopt);
                                return;
                            }
                            if (const std::error_code error =
                                    platform::SafeFile().replace(*path, *bytes)) {
                                panels.showError(owner, FileError::writeFailed(*path, error));
                                completion(std::nullopt);
                                return;
                            }
                            completion(path);
                        });
}

void saveQuickAccessImageWithPanel(const QImage& image, const QDateTime& date, QWidget* window,
                                   QPointer<QObject> card, double scale,
                                   std::function<void(std::optional<QString>)> finished) {
    saveImageWithPanel(image, date, window, scale,
                       [card, finished = std::move(finished)](std::optional<QString> path) {
                           if (card) {
                               finished(std::move(path));
                           }
                       });
}

} // namespace app
