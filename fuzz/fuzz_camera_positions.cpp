// The stored camera positions: decoding never crashes, and what it gives
// survives a write and a read.
#include "app/CameraPositions.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const app::CameraPositions positions = app::cameraPositionsFromJson(bytes);
    const app::CameraPositions again =
        app::cameraPositionsFromJson(app::cameraPositionsToJson(positions));
    if (again.keys() != positions.keys()) {
        std::abort();
    }
    for (auto it = positions.begin(); it != positions.end(); ++it) {
        // Exact: a position is written with every digit it has.
        const QPointF back = again.value(it.key());
        if (back.x() != it.value().x() || back.y() != it.value().y()) {
            std::abort();
        }
    }
    return 0;
}
