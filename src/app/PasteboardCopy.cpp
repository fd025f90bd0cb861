#include "app/PasteboardCopy.h"

#include "app/ImageEncoding.h"
#include "platform/MainThread.h"
#include "platform/TiffEncoder.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>
#include <QThreadPool>
#include <QUrl>

#include <thread>

namespace app {

PasteboardItem PasteboardItem::make(const QImage& image, const std::optional<QString>& filePath,
                                    double scale, std::optional<QByteArray> png) {
    PasteboardItem item;
    item.filePath = filePath;
    if (image.isNull()) {
        return item;
    }
    // TIFF is little more than a copy of the pixels; it runs beside the PNG
    // encoder, which itself spreads over the cores.
    const bool withTiff = copiesAsTiff(image.size());
    std::optional<QByteArray> tiff;
    {
        std::jthread tiffThread;
        if (withTiff) {
            tiffThread = std::jthread(
                [&] { tiff = platform::TiffEncoder::encode(image, dotsPerInch(scale)); });
        }
        item.png = png ? std::move(png) : encodeImage(image, ImageFormat::png, scale);
    }
    item.tiff = std::move(tiff);
    return item;
}

std::unique_ptr<QMimeData> PasteboardItem::mimeData() const {
    auto data = std::make_unique<QMimeData>();
    if (filePath) {
        data->setUrls({QUrl::fromLocalFile(*filePath)});
    }
    if (png) {
        data->setData(QStringLiteral("image/png"), *png);
    }
    if (tiff) {
        data->setData(QStringLiteral("image/tiff"), *tiff);
    }
    return data;
}

PasteboardWriter& PasteboardWriter::shared() {
    Q_ASSERT(platform::onMainThread());
    static PasteboardWriter* const writer = new PasteboardWriter;
    return *writer;
}

void PasteboardWriter::copy(const QImage& image, const std::optional<QString>& filePath,
                            double scale, std::optional<QByteArray> png) {
    Q_ASSERT(platform::onMainThread());
    const quint64 generation = ++generation_;
    QThreadPool::globalInstance()->start([this, image, filePath, scale, generation, png] {
        auto item =
            std::make_shared<PasteboardItem>(PasteboardItem::make(image, filePath, scale, png));
        QMetaObject::invokeMethod(
            this,
            [this, item, generation] {
                if (generation != generation_) {
                    return; // a newer copy replaces this one
                }
                QGuiApplication::clipboard()->setMimeData(item->mimeData().release());
                Q_EMIT copied();
            },
            Qt::QueuedConnection);
    });
}

void copyImageToPasteboard(const QImage& image, const std::optional<QString>& filePath,
                           double scale) {
    PasteboardWriter::shared().copy(image, filePath, scale);
}

} // namespace app
