#pragma once

#include <QByteArray>
#include <QImage>
#include <QMimeData>
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace app {

// Images above this many pixels (tall scrolling captures) are copied without
// the TIFF form, which would be four bytes a pixel.
inline constexpr qint64 maxTiffPixels = 40'000'000;
inline bool copiesAsTiff(QSize pixels) {
    return qint64(pixels.width()) * pixels.height() <= maxTiffPixels;
}

// How the image forms of a copy are made; tests count and hold them.
struct PasteboardEncoders {
    using Encode = std::function<std::optional<QByteArray>(const QImage& image, double scale)>;
    Encode png;
    Encode tiff;

    // PNG on every core, uncompressed TIFF; both with the scale's resolution.
    static PasteboardEncoders standard();
};

// What one copy puts on the clipboard: the file URL when there is a file, PNG
// always, TIFF for images of at most maxTiffPixels, in that order. The forms
// are listed at once; the PNG is made off the main thread, starting as soon
// as the object exists, and a request for it waits for its encoding (or does
// it, if no worker has begun it yet); the TIFF is made from the PNG when it is
// first asked for. Each form is encoded at most once,
// however often and from however many threads it is asked for, and never
// needs the main thread, so a request made there (the X11 clipboard answers
// other programs from the event loop) cannot deadlock. A form that cannot be
// made comes back empty.
class PasteboardMimeData final : public QMimeData {
public:
    // `png`, when given, is the PNG form already made of the same image.
    PasteboardMimeData(const QImage& image, const std::optional<QString>& filePath, double scale,
                       std::optional<QByteArray> png = std::nullopt,
                       PasteboardEncoders encoders = PasteboardEncoders::standard());
    ~PasteboardMimeData() override;

    QStringList formats() const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    class Form;
    std::shared_ptr<Form> png_;
    std::shared_ptr<Form> tiff_;
};

// Puts images on the clipboard. The clipboard is taken at once, on the main
// thread, so a paste right after a copy gets this copy; the bytes are encoded
// meanwhile (see PasteboardMimeData) and only a paste that needs them before
// they are ready waits.
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
};

// Replaces the clipboard's contents with the image (see PasteboardWriter).
// Never fails visibly: a form that cannot be made is left empty.
void copyImageToPasteboard(const QImage& image, const std::optional<QString>& filePath,
                           double scale);

} // namespace app
