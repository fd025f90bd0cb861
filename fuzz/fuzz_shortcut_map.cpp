// The stored shortcut map: decoding never crashes, never gives a shortcut
// that would grab a plain key, and what it gives survives a write and a read.
#include "app/ShortcutMap.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using app::ShortcutMap;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ShortcutMap map = ShortcutMap::fromJson(bytes);
    for (app::CaptureAction action : app::captureActions::allCases()) {
        if (const auto shortcut = map.value(action); shortcut && !shortcut->isSafeAsHotKey()) {
            std::abort();
        }
    }
    if (ShortcutMap::fromJson(map.toJson()) != map) {
        std::abort();
    }
    return 0;
}
