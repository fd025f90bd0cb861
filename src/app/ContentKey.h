#pragma once

#include "platform/Sha256.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace app {

// An image is known by its bytes, not its path: its content key is the
// SHA-256 of the bytes as 64 lower-case hexadecimal digits.

// Feeds every byte of the buffer to the hasher in one pass.
void sha256UpdateWithData(platform::Sha256& hasher, QByteArrayView data);
// Two lower-case digits per byte, leading zeros kept, no separator.
QString hexString(const platform::Sha256Digest& digest);

QString contentKey(QByteArrayView bytes);
// The key of a file's bytes, read in pieces; none when it cannot be read.
std::optional<QString> contentKeyOfFile(const QString& path);

} // namespace app
