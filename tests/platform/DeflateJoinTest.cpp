#include "platform/DeflateJoin.h"
#include "support/RawDeflate.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>
#include <libdeflate.h>

#include <string>

using namespace platform::deflate;

namespace {

using Bytes = std::vector<std::uint8_t>;
using testsupport::inflateRaw;
using testsupport::randomBytes;

Bytes compress(const Bytes& input, int level) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    Bytes out(libdeflate_deflate_compress_bound(compressor, input.size()));
    out.resize(libdeflate_deflate_compress(compressor, input.data(), input.size(), out.data(),
                                           out.size()));
    libdeflate_free_compressor(compressor);
    return out;
}

Bytes textLike(std::size_t size, quint32 seed) {
    QRandomGenerator random(seed);
    const std::string words[] = {"screen ", "capture ", "the ", "of ", "window ", "\n", "area "};
    Bytes bytes;
    while (bytes.size() < size) {
        const std::string& w = words[random.bounded(7)];
        bytes.insert(bytes.end(), w.begin(), w.end());
    }
    bytes.resize(size);
    return bytes;
}

Bytes smallAlphabet(std::size_t size, quint32 seed) {
    QRandomGenerator random(seed);
    Bytes bytes(size);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random.bounded(4));
    }
    return bytes;
}

} // namespace

// Pieces compressed one by one, every one but the last made joinable, must
// inflate as one stream to the pieces end to end. The inputs cover stored,
// fixed and dynamic blocks, long and short, at every level.
TEST(DeflateJoin, JoinedStreamsInflateToTheJoinedInputs) {
    const std::vector<std::pair<const char*, std::vector<Bytes>>> inputs = {
        {"random (stored blocks)", {randomBytes(70000, 1), randomBytes(100, 2), randomBytes(5, 3)}},
        {"text", {textLike(300000, 4), textLike(1000, 5), textLike(64, 6)}},
        {"small alphabet",
         {smallAlphabet(200000, 7), smallAlphabet(33, 8), smallAlphabet(90000, 9)}},
        {"tiny (fixed codes)", {Bytes{'a'}, Bytes{'b', 'b', 'b', 'b'}, textLike(20, 10)}},
        {"empty pieces", {Bytes{}, textLike(5000, 11), Bytes{}}},
        {"zeros", {Bytes(1 << 20, 0), Bytes(3, 0), Bytes(100000, 0)}},
    };
    for (const auto& [name, pieces] : inputs) {
        for (int level = 0; level <= 12; ++level) {
            SCOPED_TRACE(std::string(name) + " at level " + std::to_string(level));
            Bytes joined;
            Bytes expected;
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                Bytes stream = compress(pieces[i], level);
                if (i + 1 < pieces.size()) {
                    ASSERT_TRUE(makeJoinable(stream));
                }
                joined.insert(joined.end(), stream.begin(), stream.end());
                expected.insert(expected.end(), pieces[i].begin(), pieces[i].end());
            }
            const auto inflated = inflateRaw(joined, expected.size());
            ASSERT_TRUE(inflated.has_value());
            EXPECT_EQ(expected, *inflated);
        }
    }
}

TEST(DeflateJoin, FindsTheFinalBlockOfASingleBlockStream) {
    // A short input gives one block, which is also the final one.
    const Bytes stream = compress(textLike(100, 12), 6);
    const auto block = findFinalBlock(stream.data(), stream.size());
    ASSERT_TRUE(block.has_value());
    EXPECT_EQ(0u, block->startBit);
    EXPECT_GT(block->endBit, (stream.size() - 1) * 8);
    EXPECT_LE(block->endBit, stream.size() * 8);
}

TEST(DeflateJoin, RefusesDamagedStreamsAndLeavesThemAlone) {
    const Bytes good = compress(textLike(50000, 13), 6);
    Bytes truncated(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
    Bytes reservedType = {0x07};                      // final block of the reserved type 3
    Bytes badStored = {0x01, 0x05, 0x00, 0x00, 0x00}; // LEN 5 with a wrong NLEN
    for (Bytes* damaged : {&truncated, &reservedType, &badStored}) {
        const Bytes before = *damaged;
        EXPECT_FALSE(makeJoinable(*damaged));
        EXPECT_EQ(before, *damaged);
    }
}
