#pragma once

// Binary PPM (P6) files: how the benchmarks hand the same pixels to our side
// and to other tools, a format every tool reads without decoding work.

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QList>
#include <QString>

namespace bench {

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline QByteArray portablePixmap(const QImage& image) {
    QByteArray bytes = "P6\n" + QByteArray::number(image.width()) + ' ' +
                       QByteArray::number(image.height()) + "\n255\n";
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < rgb.height(); ++y) {
        bytes.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);
    }
    return bytes;
}

// A PPM as written above, into RGB32 as a screen grab delivers pixels; null
// when the file is not one.
inline QImage readPortablePixmap(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // Mapped rather than read: the pixels are converted straight from the
    // file's pages, as a reader streaming the file would.
    const qint64 length = file.size();
    const uchar* mapped = file.map(0, length);
    if (mapped == nullptr) {
        return {};
    }
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(mapped),
                                                     static_cast<qsizetype>(length));
    const QList<QByteArray> header = bytes.left(64).split('\n');
    if (header.size() < 4 || header[0] != "P6" || header[2] != "255") {
        return {};
    }
    const QList<QByteArray> size = header[1].split(' ');
    const int width = size.value(0).toInt(), height = size.value(1).toInt();
    const qsizetype offset = header[0].size() + header[1].size() + header[2].size() + 3;
    if (width <= 0 || height <= 0 || bytes.size() < offset + qsizetype(width) * height * 3) {
        return {};
    }
    // Qt's own conversion, vectorised, as any reader's would be.
    const QImage packed(reinterpret_cast<const uchar*>(bytes.constData() + offset), width, height,
                        static_cast<qsizetype>(width) * 3, QImage::Format_RGB888);
    return packed.convertToFormat(QImage::Format_RGB32);
}

} // namespace bench
