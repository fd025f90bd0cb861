#include "platform/DeflateJoin.h"

#include <array>
#include <cstring>
#include <memory>

namespace platform::deflate {

namespace {

// Reads bits least significant first, as deflate packs them. Past the end of
// the data it reads zeros and remembers that it overran.
class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint32_t peek(int count) {
        refill();
        return static_cast<std::uint32_t>(buffer_ & ((std::uint64_t{1} << count) - 1));
    }
    void skip(int count) {
        buffer_ >>= count;
        available_ -= count;
        position_ += static_cast<std::size_t>(count);
    }
    std::uint32_t read(int count) {
        if (count == 0) {
            return 0;
        }
        const std::uint32_t value = peek(count);
        skip(count);
        return value;
    }
    void alignToByte() { skip(static_cast<int>((8 - position_ % 8) % 8)); }
    std::size_t position() const { return position_; }
    bool overran() const { return position_ > size_ * 8; }

    // Skips whole bytes (a stored block's contents).
    void skipBytes(std::size_t count) {
        // The position is byte-aligned here; drop the buffer and restart at
        // the new byte.
        position_ += count * 8;
        buffer_ = 0;
        available_ = 0;
        next_ = position_ / 8;
    }

private:
    void refill() {
        if (available_ > 56) {
            return;
        }
        if (next_ + 8 <= size_) {
            // Eight bytes at once; only the whole bytes that fit are counted.
            std::uint64_t word;
            std::memcpy(&word, data_ + next_, 8);
            buffer_ |= word << available_;
            const int bytes = (63 - available_) >> 3;
            next_ += static_cast<std::size_t>(bytes);
            available_ += bytes * 8;
            return;
        }
        while (available_ <= 56) {
            const std::uint64_t byte = next_ < size_ ? data_[next_] : 0;
            buffer_ |= byte << available_;
            ++next_;
            available_ += 8;
        }
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t next_ = 0;     // next byte to load into the buffer
    std::size_t position_ = 0; // bits consumed
    std::uint64_t buffer_ = 0;
    int available_ = 0;
};

constexpr int maxCodeBits = 15;

// A canonical Huffman code. Codes of up to tableBits bits are looked up in
// one small table on the next bits (each entry holds the symbol and the code
// length); the rare longer codes are decoded bit by bit. The table is rebuilt
// for every block, so it is kept small.
class HuffmanTable {
public:
    static constexpr int tableBits = 10;

    bool build(const std::uint8_t* lengths, int count) {
        counts_.fill(0);
        for (int i = 0; i < count; ++i) {
            ++counts_[lengths[i]];
        }
        counts_[0] = 0;
        // Over-subscribed codes are invalid; incomplete ones are allowed (a
        // single distance code, say) and simply match fewer bit patterns.
        int left = 1;
        for (int bits = 1; bits <= maxCodeBits; ++bits) {
            left = 2 * left - counts_[bits];
            if (left < 0) {
                return false;
            }
        }
        std::array<int, maxCodeBits + 2> offsets{};
        for (int bits = 1; bits <= maxCodeBits; ++bits) {
            offsets[bits + 1] = offsets[bits] + counts_[bits];
        }
        for (int symbol = 0; symbol < count; ++symbol) {
            if (lengths[symbol] != 0) {
                sorted_[static_cast<std::size_t>(offsets[lengths[symbol]]++)] =
                    static_cast<std::uint16_t>(symbol);
            }
        }
        entries_.fill(0);
        int code = 0;
        int index = 0;
        for (int bits = 1; bits <= tableBits; ++bits) {
            for (int n = 0; n < counts_[bits]; ++n, ++code, ++index) {
                int reversed = 0;
                for (int b = 0; b < bits; ++b) {
                    reversed |= ((code >> b) & 1) << (bits - 1 - b);
                }
                const std::uint32_t entry = static_cast<std::uint32_t>(sorted_[index] << 4 | bits);
                for (int i = reversed; i < (1 << tableBits); i += 1 << bits) {
                    entries_[static_cast<std::size_t>(i)] = entry;
                }
            }
            code <<= 1;
        }
        return true;
    }

    // The next symbol, or -1 when the bits match no code.
    int decode(BitReader& reader) const {
        const std::uint32_t entry = entries_[reader.peek(tableBits)];
        const int bits = static_cast<int>(entry & 15);
        if (bits != 0) {
            reader.skip(bits);
            return static_cast<int>(entry >> 4);
        }
        return decodeSlowly(reader);
    }

private:
    // Canonical decoding one bit at a time, for codes longer than the table.
    int decodeSlowly(BitReader& reader) const {
        int code = 0;
        int first = 0;
        int index = 0;
        for (int bits = 1; bits <= maxCodeBits; ++bits) {
            code |= static_cast<int>(reader.read(1));
            const int count = counts_[bits];
            if (code - first < count) {
                return sorted_[static_cast<std::size_t>(index + code - first)];
            }
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

    std::array<int, maxCodeBits + 1> counts_{};
    std::array<std::uint16_t, 288> sorted_{};
    std::array<std::uint32_t, 1 << tableBits> entries_{};
};

constexpr std::array<std::uint8_t, 29> lengthExtraBits = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint8_t, 30> distanceExtraBits = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                            4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                            9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::array<std::uint8_t, 19> codeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

struct Tables {
    HuffmanTable literals;
    HuffmanTable distances;
    HuffmanTable codeLengths;
};

bool readDynamicTables(BitReader& reader, Tables& tables) {
    const int literalCount = static_cast<int>(reader.read(5)) + 257;
    const int distanceCount = static_cast<int>(reader.read(5)) + 1;
    const int codeLengthCount = static_cast<int>(reader.read(4)) + 4;
    if (literalCount > 286 || distanceCount > 30) {
        return false;
    }
    std::array<std::uint8_t, 19> codeLengthLengths{};
    for (int i = 0; i < codeLengthCount; ++i) {
        codeLengthLengths[codeLengthOrder[static_cast<std::size_t>(i)]] =
            static_cast<std::uint8_t>(reader.read(3));
    }
    if (!tables.codeLengths.build(codeLengthLengths.data(), 19)) {
        return false;
    }
    std::array<std::uint8_t, 286 + 30> lengths{};
    const int total = literalCount + distanceCount;
    for (int i = 0; i < total;) {
        const int symbol = tables.codeLengths.decode(reader);
        if (symbol < 0) {
            return false;
        }
        if (symbol < 16) {
            lengths[static_cast<std::size_t>(i++)] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        int repeat = 0;
        std::uint8_t value = 0;
        if (symbol == 16) {
            if (i == 0) {
                return false;
            }
            value = lengths[static_cast<std::size_t>(i - 1)];
            repeat = 3 + static_cast<int>(reader.read(2));
        } else if (symbol == 17) {
            repeat = 3 + static_cast<int>(reader.read(3));
        } else {
            repeat = 11 + static_cast<int>(reader.read(7));
        }
        if (i + repeat > total) {
            return false;
        }
        while (repeat-- > 0) {
            lengths[static_cast<std::size_t>(i++)] = value;
        }
    }
    if (lengths[256] == 0) {
        return false; // no end-of-block code
    }
    return tables.literals.build(lengths.data(), literalCount) &&
           tables.distances.build(lengths.data() + literalCount, distanceCount);
}

void buildFixedTables(Tables& tables) {
    std::array<std::uint8_t, 288> literals{};
    std::memset(literals.data(), 8, 144);
    std::memset(literals.data() + 144, 9, 112);
    std::memset(literals.data() + 256, 7, 24);
    std::memset(literals.data() + 280, 8, 8);
    tables.literals.build(literals.data(), 288);
    std::array<std::uint8_t, 30> distances{};
    distances.fill(5);
    tables.distances.build(distances.data(), 30);
}

// Decodes symbols up to and including the end-of-block code.
bool skipCompressedData(BitReader& reader, const Tables& tables) {
    for (;;) {
        const int symbol = tables.literals.decode(reader);
        if (symbol < 0 || symbol > 285) {
            return false;
        }
        if (symbol < 256) {
            continue;
        }
        if (symbol == 256) {
            return true;
        }
        reader.skip(lengthExtraBits[static_cast<std::size_t>(symbol - 257)]);
        const int distance = tables.distances.decode(reader);
        if (distance < 0 || distance > 29) {
            return false;
        }
        reader.skip(distanceExtraBits[static_cast<std::size_t>(distance)]);
        if (reader.overran()) {
            return false;
        }
    }
}

} // namespace

std::optional<FinalBlock> findFinalBlock(const std::uint8_t* data, std::size_t size) {
    BitReader reader(data, size);
    // The tables are large; one set serves every block in turn.
    auto tables = std::make_unique<Tables>();
    for (;;) {
        const std::size_t start = reader.position();
        const bool final = reader.read(1) == 1;
        const std::uint32_t type = reader.read(2);
        if (type == 0) {
            reader.alignToByte();
            const std::uint32_t length = reader.read(16);
            const std::uint32_t complement = reader.read(16);
            if ((length ^ 0xFFFFu) != complement) {
                return std::nullopt;
            }
            reader.skipBytes(length);
        } else if (type == 1) {
            buildFixedTables(*tables);
            if (!skipCompressedData(reader, *tables)) {
                return std::nullopt;
            }
        } else if (type == 2) {
            if (!readDynamicTables(reader, *tables) || !skipCompressedData(reader, *tables)) {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
        if (reader.overran()) {
            return std::nullopt;
        }
        if (final) {
            return FinalBlock{start, reader.position()};
        }
    }
}

bool makeJoinable(std::vector<std::uint8_t>& stream) {
    const std::optional<FinalBlock> block = findFinalBlock(stream.data(), stream.size());
    if (!block) {
        return false;
    }
    stream[block->startBit / 8] &= static_cast<std::uint8_t>(~(1u << (block->startBit % 8)));
    // An empty stored block: three zero header bits at the end of the last
    // block, zero bits up to the next byte, then LEN 0 and NLEN 0xFFFF. The
    // bits after the end are zero already (the compressor pads with zeros).
    const std::size_t aligned = (block->endBit + 3 + 7) / 8;
    const std::size_t keep = (block->endBit + 7) / 8;
    stream.resize(keep);
    if (keep > 0 && block->endBit % 8 != 0) {
        // Clear whatever follows the end in the last byte.
        stream[keep - 1] &= static_cast<std::uint8_t>((1u << (block->endBit % 8)) - 1);
    }
    stream.resize(aligned, 0);
    const std::uint8_t emptyStored[] = {0x00, 0x00, 0xFF, 0xFF};
    stream.insert(stream.end(), emptyStored, emptyStored + 4);
    return true;
}

} // namespace platform::deflate
