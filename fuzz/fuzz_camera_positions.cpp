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

// Whether a stream holds only what a stored map of positions is made of
// (maps, lists, strings, doubles and integers), every length within the bytes
// that follow. Qt's reader of other types is not ours to fuzz, and one of
// them (a list of points) writes through the refused reservation of a huge
// length it was given.
class ShapeCheck {
public:
    explicit ShapeCheck(const QByteArray& bytes) : bytes_(bytes) {}

    bool variant(int depth = 0) {
        std::uint32_t type = 0;
        if (depth > 8 || !word(type) || !skip(1)) {
            return false;
        }
        switch (type) {
        case 2: // int
            return skip(4);
        case 6: // double
            return skip(8);
        case 10: // QString
            return string();
        case 8:   // QVariantMap
        case 9: { // QVariantList
            std::uint32_t count = 0;
            if (!word(count) || count > left() / 5) {
                return false;
            }
            for (std::uint32_t i = 0; i < count; ++i) {
                if ((type == 8 && !string()) || !variant(depth + 1)) {
                    return false;
                }
            }
            return true;
        }
        default:
            return false;
        }
    }

private:
    std::size_t left() const { return static_cast<std::size_t>(bytes_.size()) - at_; }
    bool skip(std::size_t n) {
        if (n > left()) {
            return false;
        }
        at_ += n;
        return true;
    }
    bool word(std::uint32_t& value) {
        if (left() < 4) {
            return false;
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            value = (value << 8) | static_cast<std::uint8_t>(bytes_[static_cast<qsizetype>(at_++)]);
        }
        return true;
    }
    bool string() {
        std::uint32_t length = 0;
        return word(length) && (length == 0xFFFFFFFFu || skip(length));
    }

    const QByteArray& bytes_;
    std::size_t at_ = 0;
};

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
    if (!json && !ShapeCheck(input).variant()) {
        return 0;
    }
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
