// The stored custom-colour list: decoding never crashes and always gives a
// normalised list of at most ten colours that survives a round trip.
#include "annotation/CustomColors.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using annotation::CustomColors;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto list = CustomColors::decode(bytes);
    if (!list) {
        return 0;
    }
    if (list->colors.size() > annotation::CustomColorList::limit ||
        CustomColors::decode(CustomColors::encode(*list)) != list) {
        std::abort();
    }
    return 0;
}
