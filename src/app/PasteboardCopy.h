#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

class QMimeData;

namespace app {

// Images above this many pixels (tall scrolling captures) are copied without
// the TIFF form, which would be four bytes a pixel.
inline constexpr qint64 maxTiffPixels = 40'000'000;
inline bool copiesAsTiff(QSize pixels) {
    return qint64(pixels.width()) * pixels.height() <= maxTiffPixels;
}

// What one copy puts on the clipboard, encoded once: the file URL when there
// is a file, PNG always, TIFF for images of at most maxTiffPixels, each
// present only when it could be made.
struct PasteboardItem {
    std::optional<QString> filePath;
    std::optional<QByteArray> png;
    std::optional<QByteArray> tiff;

    // `png`, when given, is the PNG form already made of the same image.
    static PasteboardItem make(const QImage& image, const std::optional<QString>& filePath,
                               double scale, std::optional<QByteArray> png = std::nullopt);
    // "text/uri-list" first, then "image/png", then "image/tiff".
    std::unique_ptr<QMimeData> mimeData() const;
};

// Puts images on the clipboard. The encoding runs off the main thread (PNG on
// every core, TIFF beside it), so that a large capture does not freeze the
// program; the clipboard is then set on the main thread, unless a newer copy
// was asked for meanwhile.
class PasteboardWriter : public QObject {
    Q_OBJECT

public:
    static PasteboardWriter& shared();

    // `png`, when given, is the PNG form already made of the same image (a
    // screenshot that is also saved as PNG is encoded once).
    void copy(const QImage& image, const std::optional<QString>& filePath, double scale,
              std::optional<QByteArray> png = std::nullopt);

Q_SIGNALS:
    // The clipboard holds the newest copy.
    void copied();

private:
    PasteboardWriter() = default;
    quint64 generation_ = 0;
};

// Replaces the clipboard's contents with the image (see PasteboardWriter).
// Never fails visibly: a form that cannot be made is left out.
void copyImageToPasteboard(const QImage& image, const std::optional<QString>& filePath,
                           double scale);

} // namespace app
