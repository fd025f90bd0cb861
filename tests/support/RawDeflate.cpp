#include "support/RawDeflate.h"

#include <QRandomGenerator>

#include <zlib.h>

namespace testsupport {

std::optional<std::vector<std::uint8_t>> inflateRaw(const std::vector<std::uint8_t>& stream,
                                                    std::size_t expectedSize) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> out(expectedSize + 16);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&z, Z_FINISH);
    const bool complete = status == Z_STREAM_END && z.avail_in == 0;
    out.resize(z.total_out);
    inflateEnd(&z);
    if (!complete) {
        return std::nullopt;
    }
    return out;
}

std::vector<std::uint8_t> randomBytes(std::size_t size, std::uint32_t seed) {
    QRandomGenerator random(seed);
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random.bounded(256));
    }
    return bytes;
}

} // namespace testsupport
