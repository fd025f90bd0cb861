// What the prune pass reads of an "edit.json": the path and the save date.
// Reading never crashes, and for any record the full reader takes it agrees
// with that reader.
#include "annotation/EditStore.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using annotation::EditStore;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<EditStore::Stamp> stamp = EditStore::decodeStamp(bytes);
    if (stamp && !stamp->saved.isValid()) {
        std::abort();
    }
    if (const std::optional<EditStore::Record> record = EditStore::decodeRecord(bytes)) {
        if (!stamp || stamp->path != record->path || stamp->saved != record->saved) {
            std::abort();
        }
    }
    return 0;
}
