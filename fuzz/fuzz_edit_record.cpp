// Whole "edit.json" records: decoding never crashes, and what decodes
// re-encodes to bytes that decode to the same record.
#include "annotation/EditStore.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using annotation::EditStore;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<EditStore::Record> record = EditStore::decodeRecord(bytes);
    if (!record) {
        return 0;
    }
    const std::optional<QByteArray> encoded = EditStore::encodeRecord(*record);
    if (!encoded) {
        std::abort();
    }
    const std::optional<EditStore::Record> again = EditStore::decodeRecord(*encoded);
    if (!again || again->state != record->state || again->path != record->path ||
        again->version != record->version || again->scale != record->scale ||
        again->saved != record->saved || again->captured != record->captured) {
        std::abort();
    }
    return 0;
}
