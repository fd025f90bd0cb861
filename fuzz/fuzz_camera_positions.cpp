// The stored camera positions in both their forms: the JSON string of earlier
// builds and the map as QSettings reads it back from its stream form. Decoding
// never crashes, and what it gives survives a write and a read in the map form,
// and in the JSON form when it came from there.
#include "FuzzApplication.h"
#include "app/CameraPositions.h"

#include <QDataStream>
#include <QIODevice>

#include <cstdint>
#include <cstdlib>

namespace {

// The value as QSettings gives back an "@Variant(…)" entry of the file.
QVariant streamed(const QByteArray& bytes) {
    QDataStream stream(bytes);
    stream.setVersion(QDataStream::Qt_4_0);
    QVariant value;
    stream >> value;
    return value;
}

QByteArray streamBytes(const QVariant& value) {
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_4_0);
    stream << value;
    return bytes;
}

// Exact: a position is written with every digit it has.
void checkSame(const app::CameraPositions& a, const app::CameraPositions& b) {
    if (a.keys() != b.keys()) {
        std::abort();
    }
    for (auto it = a.begin(); it != a.end(); ++it) {
        const QPointF back = b.value(it.key());
        if (back.x() != it.value().x() || back.y() != it.value().y()) {
            std::abort();
        }
    }
}

} // namespace

VEXLIN_FUZZ_WITH_APPLICATION

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the form.
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1,
                           static_cast<qsizetype>(size - 1));
    const bool json = data[0] == '{' || data[0] == 'j';
    const QByteArray input = data[0] == '{' ? QByteArray(1, '{') + bytes : bytes;
    const app::CameraPositions positions =
        json ? app::cameraPositionsFromStored(QString::fromUtf8(input))
             : app::cameraPositionsFromStored(streamed(input));
    // The JSON form is written back only for what was read from it.
    if (json) {
        checkSame(positions, app::cameraPositionsFromJson(app::cameraPositionsToJson(positions)));
    }
    checkSame(positions, app::cameraPositionsFromStored(
                             streamed(streamBytes(app::cameraPositionsToMap(positions)))));
    return 0;
}
