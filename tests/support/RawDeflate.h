#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace testsupport {

// A raw deflate stream inflated with zlib; none unless the stream ends
// exactly at the end of the data and inflates to at most `expectedSize` + 16
// bytes.
std::optional<std::vector<std::uint8_t>> inflateRaw(const std::vector<std::uint8_t>& stream,
                                                    std::size_t expectedSize);

// `size` bytes of noise, the same for the same seed.
std::vector<std::uint8_t> randomBytes(std::size_t size, std::uint32_t seed);

} // namespace testsupport
