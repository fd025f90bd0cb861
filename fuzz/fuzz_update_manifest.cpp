// The update manifest decoder: never crashes, and whatever it accepts names
// only addresses the program may open.
#include "service/UpdateManifest.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto manifest = service::decodeManifest(bytes)) {
        if (!service::isAllowedServiceAddress(manifest->download) ||
            (manifest->file && !service::isAllowedServiceAddress(*manifest->file)) ||
            (manifest->notes && !service::isAllowedServiceAddress(*manifest->notes)) ||
            bytes.size() > service::maximumManifestSize) {
            std::abort();
        }
    }
    return 0;
}
