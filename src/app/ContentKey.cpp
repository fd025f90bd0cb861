#include "app/ContentKey.h"

#include <QFile>

namespace app {

void sha256UpdateWithData(platform::Sha256& hasher, QByteArrayView data) {
    hasher.update(data);
}

QString hexString(const platform::Sha256Digest& digest) {
    const auto bytes = QByteArrayView(reinterpret_cast<const char*>(digest.data()),
                                      static_cast<qsizetype>(digest.size()));
    return QString::fromLatin1(bytes.toByteArray().toHex());
}

QString contentKey(QByteArrayView bytes) {
    platform::Sha256 hasher;
    sha256UpdateWithData(hasher, bytes);
    return hexString(hasher.finish());
}

std::optional<QString> contentKeyOfFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    platform::Sha256 hasher;
    constexpr qint64 kPiece = 1 << 20;
    QByteArray piece(kPiece, Qt::Uninitialized);
    for (;;) {
        const qint64 read = file.read(piece.data(), kPiece);
        if (read < 0) {
            return std::nullopt;
        }
        if (read == 0) {
            break;
        }
        sha256UpdateWithData(hasher, QByteArrayView(piece.constData(), read));
    }
    return hexString(hasher.finish());
}

} // namespace app
