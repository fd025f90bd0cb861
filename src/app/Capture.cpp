#include "app/Capture.h"

#include "app/ImageResolution.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cmath>

namespace app {

namespace {

constexpr double kPointsPerInch = 72;
// A damaged or odd header must not blow an image up to a size nobody can use.
constexpr double kMaxScale = 8;

} // namespace

std::optional<Capture> Capture::fromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    return fromData(bytes, path);
}

std::optional<Capture> Capture::fromData(const QByteArray& bytes,
                                         const std::optional<QString>& path, qint64 maxPixels) {
    const QDateTime date = QDateTime::currentDateTime();
    QByteArray data = bytes; // shares the bytes; the buffer only reads them
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer); // the format comes from the content, not the name
    if (maxPixels >= 0) {
        const QSize declared = reader.size();
        if (declared.isValid() && qint64(declared.width()) * declared.height() > maxPixels) {
            return std::nullopt;
        }
    }
    QImage image = reader.read();
    if (image.isNull() || (maxPixels >= 0 && qint64(image.width()) * image.height() > maxPixels)) {
        return std::nullopt;
    }
    const double scale = scaleForResolution(horizontalResolution(bytes, image));
    return Capture{QUuid::createUuid(), std::move(image), scale, date, path};
}

double Capture::scaleForResolution(std::optional<double> dotsPerInch) {
    const double dpi = dotsPerInch && std::isfinite(*dotsPerInch) ? *dotsPerInch : kPointsPerInch;
    return std::clamp(std::round(dpi / kPointsPerInch), 1.0, kMaxScale);
}

} // namespace app
