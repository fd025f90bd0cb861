#include "platform/RowDeflater.h"

#include "platform/BitWriter.h"
#include "platform/HuffmanCode.h"
#include "platform/RowMatcher.h"

#include <algorithm>
#include <array>
#include <vector>

namespace platform::deflate {

namespace {

constexpr int endOfBlock = 256;
constexpr int literalLengthCodes = 286;
constexpr int distanceCodes = 30;
constexpr int codeLengthCodes = 19;
constexpr int maxCodeLength = 15;
// Literal and length codes kept a bit shorter than deflate allows, so that
// four of them fit between two flushes of the bit writer; it costs nothing
// measurable, codes that long being rare.
constexpr int maxLiteralCodeLength = 14;
constexpr int maxCodeLengthCodeLength = 7;
constexpr std::size_t storedMaximum = 65535;
// Each block gets tables of its own: small enough to follow the picture from
// photo to text, large enough that the tables' own cost stays near 0.1 %.
constexpr std::size_t blockBytes = 128 * 1024;

constexpr std::array<std::uint16_t, 29> lengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                      15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                      67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> lengthExtraBits = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> distanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> distanceExtraBits = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                            4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                            9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::array<std::uint8_t, codeLengthCodes> codeLengthOrder = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// A match length's symbol offset (from 257) and its extra bits' value.
struct LengthSymbol {
    std::uint8_t code = 0;
    std::uint8_t extra = 0;
};

constexpr std::array<LengthSymbol, 259> makeLengthSymbols() {
    std::array<LengthSymbol, 259> table{};
    for (int code = 0; code < 29; ++code) {
        const int first = lengthBase[static_cast<std::size_t>(code)];
        const int count = code == 28 ? 1 : 1 << lengthExtraBits[static_cast<std::size_t>(code)];
        for (int length = first; length < first + count && length <= 258; ++length) {
            table[static_cast<std::size_t>(length)] = {static_cast<std::uint8_t>(code),
                                                       static_cast<std::uint8_t>(length - first)};
        }
    }
    return table;
}
constexpr std::array<LengthSymbol, 259> lengthSymbols = makeLengthSymbols();

// A distance's code and its extra bits' value.
struct DistanceSymbol {
    int code;
    std::uint32_t extra;
};

DistanceSymbol distanceSymbol(std::uint32_t distance) {
    const std::uint32_t x = distance - 1;
    if (x < 4) {
        return {static_cast<int>(x), 0};
    }
    const int high = 31 - __builtin_clz(x);
    return {2 * high + static_cast<int>((x >> (high - 1)) & 1), x & ((1u << (high - 1)) - 1)};
}

// One of the block's two codes: lengths and bit-reversed codes per symbol.
template <int count> struct Code {
    std::array<std::uint8_t, count> lengths{};
    std::array<std::uint16_t, count> codes{};

    void build(const std::array<std::uint32_t, count>& frequencies, int maxLength) {
        buildCodeLengths(frequencies.data(), count, maxLength, lengths.data());
        buildCodes(lengths.data(), count, codes.data());
    }
    void put(BitWriter& out, int symbol) const {
        out.put(codes[static_cast<std::size_t>(symbol)], lengths[static_cast<std::size_t>(symbol)]);
    }
};

// The code lengths of both codes as the block header sends them: run-length
// coded with symbols 16 (repeat the last), 17 and 18 (runs of zeros).
struct CodeLengthSymbol {
    std::uint8_t symbol;
    std::uint8_t extra;
};

class BlockHeader {
public:
    BlockHeader(const Code<literalLengthCodes>& literals, const Code<distanceCodes>& distances) {
        literalCount_ = literalLengthCodes;
        while (literalCount_ > 257 &&
               literals.lengths[static_cast<std::size_t>(literalCount_ - 1)] == 0) {
            --literalCount_;
        }
        distanceCount_ = distanceCodes;
        while (distanceCount_ > 1 &&
               distances.lengths[static_cast<std::size_t>(distanceCount_ - 1)] == 0) {
            --distanceCount_;
        }
        std::array<std::uint8_t, literalLengthCodes + distanceCodes> all{};
        std::copy_n(literals.lengths.begin(), literalCount_, all.begin());
        std::copy_n(distances.lengths.begin(), distanceCount_, all.begin() + literalCount_);
        runLengthCode(all.data(), literalCount_ + distanceCount_);

        std::array<std::uint32_t, codeLengthCodes> frequencies{};
        for (const CodeLengthSymbol& s : symbols_) {
            ++frequencies[s.symbol];
        }
        code_.build(frequencies, maxCodeLengthCodeLength);
        codeLengthCount_ = codeLengthCodes;
        while (codeLengthCount_ > 4 &&
               code_.lengths[codeLengthOrder[static_cast<std::size_t>(codeLengthCount_ - 1)]] ==
                   0) {
            --codeLengthCount_;
        }
    }

    std::uint64_t bits() const {
        std::uint64_t total = 3 + 5 + 5 + 4 + 3 * static_cast<std::uint64_t>(codeLengthCount_);
        for (const CodeLengthSymbol& s : symbols_) {
            total += code_.lengths[s.symbol] + extraBits(s.symbol);
        }
        return total;
    }

    void write(BitWriter& out, bool final) const {
        out.put(final ? 1 : 0, 1);
        out.put(2, 2); // dynamic Huffman codes
        out.put(static_cast<std::uint64_t>(literalCount_ - 257), 5);
        out.put(static_cast<std::uint64_t>(distanceCount_ - 1), 5);
        out.put(static_cast<std::uint64_t>(codeLengthCount_ - 4), 4);
        out.flush();
        for (int i = 0; i < codeLengthCount_; ++i) {
            out.put(code_.lengths[codeLengthOrder[static_cast<std::size_t>(i)]], 3);
            out.flush();
        }
        for (const CodeLengthSymbol& s : symbols_) {
            code_.put(out, s.symbol);
            out.put(s.extra, extraBits(s.symbol));
            out.flush();
        }
    }

private:
    static int extraBits(int symbol) {
        return symbol == 16 ? 2 : symbol == 17 ? 3 : symbol == 18 ? 7 : 0;
    }

    void runLengthCode(const std::uint8_t* lengths, int count) {
        for (int i = 0; i < count;) {
            const std::uint8_t value = lengths[i];
            int run = 1;
            while (i + run < count && lengths[i + run] == value) {
                ++run;
            }
            i += run;
            if (value == 0) {
                while (run >= 11) {
                    const int n = std::min(run, 138);
                    symbols_.push_back({18, static_cast<std::uint8_t>(n - 11)});
                    run -= n;
                }
                if (run >= 3) {
                    symbols_.push_back({17, static_cast<std::uint8_t>(run - 3)});
                    run = 0;
                }
            } else {
                symbols_.push_back({value, 0});
                --run;
                while (run >= 3) {
                    const int n = std::min(run, 6);
                    symbols_.push_back({16, static_cast<std::uint8_t>(n - 3)});
                    run -= n;
                }
            }
            for (; run > 0; --run) {
                symbols_.push_back({value, 0});
            }
        }
    }

    int literalCount_ = 0;
    int distanceCount_ = 0;
    int codeLengthCount_ = 0;
    std::vector<CodeLengthSymbol> symbols_;
    Code<codeLengthCodes> code_;
};

// Four tables, so that repeated bytes do not wait on one counter.
using LiteralCounts = std::array<std::array<std::uint32_t, 256>, 4>;

void countLiterals(const std::uint8_t* bytes, std::size_t count, LiteralCounts& partial) {
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        ++partial[0][bytes[i]];
        ++partial[1][bytes[i + 1]];
        ++partial[2][bytes[i + 2]];
        ++partial[3][bytes[i + 3]];
    }
    for (; i < count; ++i) {
        ++partial[0][bytes[i]];
    }
}

void writeStored(BitWriter& out, const std::uint8_t* data, std::size_t size, bool final) {
    do {
        const std::size_t n = std::min(size, storedMaximum);
        const bool last = n == size;
        out.put(final && last ? 1 : 0, 1);
        out.put(0, 2);
        out.alignToByte();
        const std::uint8_t header[4] = {
            static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
            static_cast<std::uint8_t>(~n), static_cast<std::uint8_t>(~n >> 8)};
        out.putBytes(header, 4);
        out.putBytes(data, n);
        data += n;
        size -= n;
    } while (size > 0);
}

class BlockCoder {
public:
    explicit BlockCoder(std::size_t rowStride) : matcher_(rowStride) {}

    void code(const std::uint8_t* data, std::size_t begin, std::size_t end, bool final,
              BitWriter& out) {
        sequences_.clear();
        matcher_.match(data, begin, end, sequences_);

        std::array<std::uint32_t, literalLengthCodes> literalFrequencies{};
        std::array<std::uint32_t, distanceCodes> distanceFrequencies{};
        LiteralCounts literalCounts{};
        std::size_t position = begin;
        for (const Sequence& s : sequences_) {
            countLiterals(data + position, s.literals, literalCounts);
            position += s.literals + s.length;
            if (s.length != 0) {
                ++literalFrequencies[257 + lengthSymbols[s.length].code];
                ++distanceFrequencies[static_cast<std::size_t>(distanceSymbol(s.distance).code)];
            }
        }
        for (std::size_t b = 0; b < 256; ++b) {
            literalFrequencies[b] = literalCounts[0][b] + literalCounts[1][b] +
                                    literalCounts[2][b] + literalCounts[3][b];
        }
        literalFrequencies[endOfBlock] = 1;
        literals_.build(literalFrequencies, maxLiteralCodeLength);
        distances_.build(distanceFrequencies, maxCodeLength);
        const BlockHeader header(literals_, distances_);

        std::uint64_t bits = header.bits();
        for (int s = 0; s < literalLengthCodes; ++s) {
            const auto index = static_cast<std::size_t>(s);
            bits += static_cast<std::uint64_t>(literalFrequencies[index]) *
                    (literals_.lengths[index] + (s > 256 ? lengthExtraBits[index - 257] : 0));
        }
        for (std::size_t d = 0; d < distanceCodes; ++d) {
            bits += static_cast<std::uint64_t>(distanceFrequencies[d]) *
                    (distances_.lengths[d] + distanceExtraBits[d]);
        }
        const std::size_t size = end - begin;
        if (bits > 8 * (size + 5 * (size / storedMaximum + 1))) {
            writeStored(out, data + begin, size, final);
            return;
        }
        header.write(out, final);
        writeSymbols(data + begin, out);
        literals_.put(out, endOfBlock);
        out.flush();
    }

private:
    void writeSymbols(const std::uint8_t* bytes, BitWriter& out) const {
        for (const Sequence& s : sequences_) {
            std::uint32_t n = s.literals;
            for (; n >= 4; n -= 4, bytes += 4) {
                literals_.put(out, bytes[0]);
                literals_.put(out, bytes[1]);
                literals_.put(out, bytes[2]);
                literals_.put(out, bytes[3]);
                out.flush();
            }
            for (; n > 0; --n, ++bytes) {
                literals_.put(out, bytes[0]);
            }
            out.flush();
            if (s.length == 0) {
                continue;
            }
            const LengthSymbol length = lengthSymbols[s.length];
            literals_.put(out, 257 + length.code);
            out.put(length.extra, lengthExtraBits[length.code]);
            const DistanceSymbol distance = distanceSymbol(s.distance);
            distances_.put(out, distance.code);
            out.put(distance.extra, distanceExtraBits[static_cast<std::size_t>(distance.code)]);
            out.flush();
            bytes += s.length;
        }
    }

    RowMatcher matcher_;
    std::vector<Sequence> sequences_;
    Code<literalLengthCodes> literals_;
    Code<distanceCodes> distances_;
};

} // namespace

RowDeflater::RowDeflater(std::size_t rowStride) : rowStride_(rowStride) {}

std::size_t RowDeflater::bound(std::size_t size) {
    // A block is never larger than its bytes stored, and the stored blocks'
    // headers, the end of a strip and the writer's 8-byte stores fit in the rest.
    return size + 6 * (size / storedMaximum + size / blockBytes + 2) + 32;
}

std::size_t RowDeflater::deflate(const std::uint8_t* data, std::size_t size, bool final,
                                 std::uint8_t* out) const {
    BitWriter writer(out);
    BlockCoder coder(rowStride_);
    std::size_t begin = 0;
    do {
        const std::size_t end = std::min(size, begin + blockBytes);
        coder.code(data, begin, end, final && end == size, writer);
        begin = end;
    } while (begin < size);
    if (!final) {
        // An empty stored block brings the stream to a byte boundary.
        writer.put(0, 3);
        writer.alignToByte();
        const std::uint8_t empty[4] = {0, 0, 0xff, 0xff};
        writer.putBytes(empty, 4);
    } else {
        writer.alignToByte();
    }
    return static_cast<std::size_t>(writer.position() - out);
}

} // namespace platform::deflate
