#pragma once

#include <cstdint>

namespace platform::deflate {

// Code lengths of a prefix code for the given symbol frequencies, none longer
// than maxLength. Symbols of frequency 0 get length 0. When fewer than two
// symbols occur, the code is made complete by giving two symbols (the one that
// occurs and symbol 0 or 1) length 1, as decoders expect of a deflate block.
void buildCodeLengths(const std::uint32_t* frequencies, int count, int maxLength,
                      std::uint8_t* lengths);

// The canonical codes deflate assigns to these lengths, with their bits
// reversed, since deflate sends codes from their most significant bit but
// packs bits from the least significant end.
void buildCodes(const std::uint8_t* lengths, int count, std::uint16_t* codes);

} // namespace platform::deflate
