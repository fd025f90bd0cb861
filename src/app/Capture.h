#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>
#include <QUuid>

#include <optional>

namespace app {

// One finished screenshot.
struct Capture {
    QUuid id;
    QImage image;
    // Pixels per point of the display it came from; decides the resolution
    // and point size of every output.
    double scale = 1.0;
    QDateTime date;
    // The file the image was read from or saved to, when there is one.
    std::optional<QString> filePath;

    // Reads the first image of a file, its scale from the horizontal
    // resolution; none when the file cannot be read or holds no image.
    static std::optional<Capture> fromFile(const QString& path);
    // The same for a file's bytes already read; the format comes from the
    // content, not the name. An image of more than maxPixels pixels (as its
    // header declares them, so nothing that large is decoded) gives none.
    static std::optional<Capture>
    fromData(const QByteArray& bytes, const std::optional<QString>& path, qint64 maxPixels = -1);

    // Dots per inch over 72, rounded half away from zero, kept within 1…8. No
    // resolution, or one that is not a finite number, counts as 72 dpi.
    static double scaleForResolution(std::optional<double> dotsPerInch);
};

} // namespace app
