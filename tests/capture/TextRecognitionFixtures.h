#pragma once

// Pictures for the text recognition tests, drawn here: text in DejaVu Sans
// (fonts-dejavu-core) and codes from ZXing's own writer.

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QStringList>

#define ZX_USE_UTF8 1
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <string>

namespace textfixtures {

inline QString dejaVuSans() {
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
        return QFontDatabase::applicationFontFamilies(id).value(0);
    }();
    return family;
}

// Lines of text (black on white unless given) as a screen of `scale` pixels per point shows
// 13-point interface text (or `points`), with a margin of one line height.
inline QImage renderLines(const QStringList& lines, qreal scale, int points = 13,
                          QColor ink = Qt::black, QColor paper = Qt::white) {
    QFont font(dejaVuSans());
    font.setPixelSize(qRound(points * scale));
    const QFontMetrics metrics(font);
    const int lineHeight = qRound(metrics.height() * 1.4);
    int width = 0;
    for (const QString& line : lines) {
        width = std::max(width, metrics.horizontalAdvance(line));
    }
    QImage image(width + 2 * lineHeight, lineHeight * (static_cast<int>(lines.size()) + 2),
                 QImage::Format_RGB32);
    image.fill(paper);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(ink);
    for (int i = 0; i < lines.size(); ++i) {
        painter.drawText(lineHeight, lineHeight * (i + 1) + metrics.ascent(), lines[i]);
    }
    return image;
}

// One code as black modules on white, `modules` pixels per module.
inline QImage renderCode(ZXing::BarcodeFormat format, const std::string& payload, int width,
                         int height) {
    const ZXing::BitMatrix matrix =
        ZXing::MultiFormatWriter(format).setMargin(10).encode(payload, width, height);
    QImage image(matrix.width(), matrix.height(), QImage::Format_RGB32);
    for (int y = 0; y < matrix.height(); ++y) {
        for (int x = 0; x < matrix.width(); ++x) {
            image.setPixel(x, y, matrix.get(x, y) ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return image;
}

inline QImage qrCode(const std::string& payload, int side = 200) {
    return renderCode(ZXing::BarcodeFormat::QRCode, payload, side, side);
}

// `parts` drawn onto a white canvas at the given top-left corners.
inline QImage compose(QSize size, const std::vector<std::pair<QPoint, QImage>>& parts) {
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    for (const auto& [at, image] : parts) {
        painter.drawImage(at, image);
    }
    return canvas;
}

// Readable failure messages: Qt strings compared as standard strings.
inline std::string str(const QString& string) {
    return string.toStdString();
}
inline std::string str(const QStringList& list) {
    // Built in Qt: GCC 12 at -O3 warns falsely about "…" + std::string&&.
    return (QStringLiteral("[") + list.join(QStringLiteral("] [")) + QStringLiteral("]"))
        .toStdString();
}

} // namespace textfixtures
