#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform::deflate {

// Where the last block of a raw deflate stream begins and where it ends, in
// bits from the start of the data.
struct FinalBlock {
    std::size_t startBit = 0;
    std::size_t endBit = 0;
};

// Walks a complete raw deflate stream block by block (decoding, but not
// storing, its symbols) to find its final block. Nothing when the data is
// not a well-formed stream.
std::optional<FinalBlock> findFinalBlock(const std::uint8_t* data, std::size_t size);

// Turns a complete raw deflate stream into one that another stream can follow:
// its final block is marked as not final and an empty stored block after it
// brings the end to a byte boundary, as zlib's sync flush does. Streams
// compressed independently (libdeflate has no flush) can then be joined by
// plain concatenation, the last one left as it is. False, with the data
// unchanged, when the stream is not well-formed.
bool makeJoinable(std::vector<std::uint8_t>& stream);

} // namespace platform::deflate
