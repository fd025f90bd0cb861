// Editor states as stored in edit records: whatever decodes must encode, and
// read back to the same state.
#include "annotation/EditorState.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<annotation::EditorState> state = annotation::editorStateFromJson(bytes);
    if (!state) {
        return 0;
    }
    const std::optional<QByteArray> encoded = annotation::editorStateToJson(*state);
    if (!encoded || annotation::editorStateFromJson(*encoded) != state) {
        std::abort();
    }
    return 0;
}
