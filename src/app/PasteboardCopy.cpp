#include "app/PasteboardCopy.h"

#include "app/ImageEncoding.h"
#include "platform/MainThread.h"
#include "platform/TiffEncoder.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QThreadPool>
#include <QUrl>

#include <exception>
#include <mutex>

namespace app {

namespace {

QString pngType() {
    return QStringLiteral("image/png");
}
QString tiffType() {
    return QStringLiteral("image/tiff");
}

// The copies have workers of their own, so that work queued on the global
// pool cannot hold an encoding back: room for two copies' PNG and TIFF side
// by side.
QThreadPool& encodingWorkers() {
    static QThreadPool* const pool = [] {
        auto* workers = new QThreadPool;
        workers->setMaxThreadCount(4);
        return workers;
    }();
    return *pool;
}

} // namespace

PasteboardEncoders PasteboardEncoders::standard() {
    PasteboardEncoders encoders;
    encoders.png = [](const QImage& image, double scale) {
        return encodeImage(image, ImageFormat::png, scale);
    };
    encoders.tiff = [](const QImage& image, double scale) {
        return platform::TiffEncoder::encode(image, dotsPerInch(scale));
    };
    return encoders;
}

// One form's bytes, made by whoever asks first: the worker started with the
// copy, or a paste that comes before the worker got its turn. Whoever asks
// while it is being made waits for it.
class PasteboardMimeData::Form {
public:
    using Make = std::function<std::optional<QByteArray>()>;

    explicit Form(Make make) : make_(std::move(make)) {}
    explicit Form(QByteArray bytes) : bytes_(std::move(bytes)) {}

    std::optional<QByteArray> bytes() {
        const std::lock_guard lock(mutex_);
        if (make_) {
            try {
                bytes_ = make_();
            } catch (const std::exception&) {
                bytes_.reset(); // out of memory: the form stays empty
            }
            make_ = nullptr; // lets go of the image
        }
        return bytes_;
    }

    // A form whose copy has been replaced before its worker began is not made.
    static std::shared_ptr<Form> started(Make make) {
        auto form = std::make_shared<Form>(std::move(make));
        encodingWorkers().start([weak = std::weak_ptr<Form>(form)] {
            if (const auto alive = weak.lock()) {
                alive->bytes();
            }
        });
        return form;
    }

private:
    std::mutex mutex_;
    Make make_;
    std::optional<QByteArray> bytes_;
};

PasteboardMimeData::PasteboardMimeData(const QImage& image, const std::optional<QString>& filePath,
                                       double scale, std::optional<QByteArray> png,
                                       PasteboardEncoders encoders) {
    if (filePath) {
        setUrls({QUrl::fromLocalFile(*filePath)});
    }
    if (image.isNull()) {
        return;
    }
    if (png) {
        png_ = std::make_shared<Form>(std::move(*png));
    } else {
        png_ = Form::started(
            [image, scale, encode = std::move(encoders.png)] { return encode(image, scale); });
    }
    if (copiesAsTiff(image.size())) {
        // Four bytes a pixel, which few programs on Linux ask for: made from
        // the PNG when a paste asks, so that a copy on the clipboard holds
        // the compressed picture alone.
        tiff_ = std::make_shared<Form>(
            [png = png_, scale, encode = std::move(encoders.tiff)]() -> std::optional<QByteArray> {
                const std::optional<QByteArray> bytes = png->bytes();
                const QImage decoded = bytes ? QImage::fromData(*bytes, "PNG") : QImage();
                if (decoded.isNull()) {
                    return std::nullopt;
                }
                return encode(decoded, scale);
            });
    }
}

PasteboardMimeData::~PasteboardMimeData() = default;

QStringList PasteboardMimeData::formats() const {
    QStringList formats = QMimeData::formats();
    if (png_) {
        formats << pngType();
    }
    if (tiff_) {
        formats << tiffType();
    }
    return formats;
}

QVariant PasteboardMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
    const std::shared_ptr<Form>* form = nullptr;
    if (mimeType == pngType()) {
        form = &png_;
    } else if (mimeType == tiffType()) {
        form = &tiff_;
    } else {
        return QMimeData::retrieveData(mimeType, type);
    }
    if (!*form) {
        return {};
    }
    const std::optional<QByteArray> bytes = (*form)->bytes();
    return bytes ? QVariant(*bytes) : QVariant();
}

PasteboardWriter& PasteboardWriter::shared() {
    platform::assertMainThread();
    static PasteboardWriter* const writer = new PasteboardWriter;
    return *writer;
}

void PasteboardWriter::copy(const QImage& image, const std::optional<QString>& filePath,
                            double scale, std::optional<QByteArray> png) {
    platform::assertMainThread();
    // The clipboard owns the data from here on and deletes it when a newer
    // copy replaces it.
    QGuiApplication::clipboard()->setMimeData(
        new PasteboardMimeData(image, filePath, scale, std::move(png)));
    Q_EMIT copied();
}

void copyImageToPasteboard(const QImage& image, const std::optional<QString>& filePath,
                           double scale) {
    PasteboardWriter::shared().copy(image, filePath, scale);
}

} // namespace app
