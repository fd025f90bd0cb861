#include "platform/RowDeflater.h"
#include "platform/HuffmanCode.h"
#include "support/RawDeflate.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

using namespace platform::deflate;

namespace {

using Bytes = std::vector<std::uint8_t>;
using testsupport::inflateRaw;
using testsupport::randomBytes;

// The data cut into pieces compressed one by one, as the PNG writer does
// with its strips, and joined. Each piece is copied into a buffer of its own
// size, so that the sanitizer catches any read past its end.
Bytes deflatePieces(const Bytes& data, std::size_t rowStride, std::size_t pieces) {
    Bytes joined;
    const std::size_t step = (data.size() + pieces - 1) / std::max<std::size_t>(pieces, 1);
    std::size_t begin = 0;
    do {
        const std::size_t end = std::min(data.size(), begin + std::max<std::size_t>(step, 1));
        const Bytes piece(data.begin() + static_cast<std::ptrdiff_t>(begin),
                          data.begin() + static_cast<std::ptrdiff_t>(end));
        Bytes out(RowDeflater::bound(piece.size()));
        const std::size_t written = RowDeflater(rowStride).deflate(piece.data(), piece.size(),
                                                                   end == data.size(), out.data());
        EXPECT_LE(written, out.size());
        joined.insert(joined.end(), out.begin(),
                      out.begin() + static_cast<std::ptrdiff_t>(written));
        begin = end;
    } while (begin < data.size());
    return joined;
}

// Small residuals as a filtered photograph leaves them, runs as flat areas
// do, and words repeated at random distances as text does.
Bytes screenLike(std::size_t size, std::size_t rowStride, quint32 seed) {
    Bytes bytes(size);
    QRandomGenerator random(seed);
    const Bytes word = randomBytes(23, seed + 1);
    for (std::size_t i = 0; i < size;) {
        const auto kind = random.bounded(4);
        const std::size_t n = std::min<std::size_t>(size - i, 1 + random.bounded(300));
        for (std::size_t k = 0; k < n; ++k, ++i) {
            switch (kind) {
            case 0:
                bytes[i] = static_cast<std::uint8_t>(random.bounded(9) - 4);
                break;
            case 1:
                bytes[i] = 0;
                break;
            case 2:
                bytes[i] = word[k % word.size()];
                break;
            default:
                bytes[i] = i >= rowStride ? bytes[i - rowStride] : 7;
            }
        }
    }
    return bytes;
}

// Noise, then its first `tail` bytes again at the very end: the last match
// is found within a few bytes of the end.
Bytes endingInRepeat(std::size_t tail) {
    Bytes bytes = randomBytes(64, 11);
    bytes.insert(bytes.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(tail));
    return bytes;
}

} // namespace

TEST(HuffmanCode, GivesCompleteCodesWithinTheLengthLimit) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> frequencies;
        int maxLength;
    };
    std::vector<std::uint32_t> fibonacci(40);
    fibonacci[0] = fibonacci[1] = 1;
    for (std::size_t i = 2; i < fibonacci.size(); ++i) {
        fibonacci[i] = fibonacci[i - 1] + fibonacci[i - 2]; // a code 39 bits deep unlimited
    }
    std::vector<std::uint32_t> sparse(286, 0);
    sparse[3] = 5;
    sparse[285] = 1;
    const Case cases[] = {
        {"uniform", std::vector<std::uint32_t>(256, 10), 15},
        {"fibonacci, limited to 15", fibonacci, 15},
        {"fibonacci, limited to 7",
         std::vector<std::uint32_t>(fibonacci.begin(), fibonacci.begin() + 19), 7},
        {"two used of many", sparse, 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int count = static_cast<int>(c.frequencies.size());
        std::vector<std::uint8_t> lengths(c.frequencies.size());
        buildCodeLengths(c.frequencies.data(), count, c.maxLength, lengths.data());
        double kraft = 0;
        for (int s = 0; s < count; ++s) {
            EXPECT_EQ(c.frequencies[static_cast<std::size_t>(s)] > 0,
                      lengths[static_cast<std::size_t>(s)] > 0);
            EXPECT_LE(lengths[static_cast<std::size_t>(s)], c.maxLength);
            if (lengths[static_cast<std::size_t>(s)] > 0) {
                kraft += 1.0 / (1 << lengths[static_cast<std::size_t>(s)]);
            }
        }
        EXPECT_DOUBLE_EQ(1.0, kraft);
    }
}

TEST(HuffmanCode, CompletesACodeOfOneSymbolOrNone) {
    for (const int used : {-1, 0, 5}) {
        std::vector<std::uint32_t> frequencies(30, 0);
        if (used >= 0) {
            frequencies[static_cast<std::size_t>(used)] = 9;
        }
        std::vector<std::uint8_t> lengths(30);
        buildCodeLengths(frequencies.data(), 30, 15, lengths.data());
        EXPECT_EQ(2, std::count(lengths.begin(), lengths.end(), 1)) << used;
        EXPECT_EQ(28, std::count(lengths.begin(), lengths.end(), 0)) << used;
    }
}

TEST(RowDeflater, InflatesBackToTheDataWhenStripsAreJoined) {
    struct Case {
        const char* name;
        Bytes data;
        std::size_t rowStride;
        std::size_t pieces;
    };
    const Case cases[] = {
        {"empty", {}, 4, 1},
        {"one byte", {42}, 4, 1},
        {"one byte of four pieces", {1, 2, 3}, 4, 3},
        {"five equal bytes", Bytes(5, 9), 4, 1},
        {"zeros past the longest match", Bytes(300'000, 0), 11'521, 3},
        {"noise, stored", randomBytes(200'000, 1), 3001, 2},
        {"screen-like, blocks of several tables", screenLike(400'000, 7681, 2), 7681, 1},
        {"screen-like, many strips", screenLike(200'000, 901, 3), 901, 9},
        {"rows beyond the window", screenLike(150'000, 40'001, 4), 40'001, 2},
        {"rows of one byte", screenLike(3000, 1, 5), 1, 2},
        {"a 5-byte repeat at the end", endingInRepeat(5), 1000, 1},
        {"a 7-byte repeat at the end", endingInRepeat(7), 1000, 1},
        {"a 9-byte repeat at the end", endingInRepeat(9), 1000, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes joined = deflatePieces(c.data, c.rowStride, c.pieces);
        const auto inflated = inflateRaw(joined, c.data.size());
        ASSERT_TRUE(inflated.has_value());
        EXPECT_TRUE(*inflated == c.data);
    }
}

TEST(RowDeflater, RandomisedDataInflatesBack) {
    QRandomGenerator random(2024);
    for (int round = 0; round < 40; ++round) {
        const std::size_t stride = 1 + random.bounded(5000);
        const std::size_t size = random.bounded(60'000);
        const auto seed = static_cast<quint32>(round);
        const Bytes data =
            round % 3 == 0 ? randomBytes(size, seed) : screenLike(size, stride, seed);
        const auto inflated =
            inflateRaw(deflatePieces(data, stride, 1 + random.bounded(4)), data.size());
        ASSERT_TRUE(inflated.has_value()) << "round " << round;
        ASSERT_TRUE(*inflated == data) << "round " << round;
    }
}

TEST(RowDeflater, EndsAStripThatIsNotTheLastWithAFlushMarker) {
    const Bytes data = screenLike(50'000, 1001, 6);
    Bytes out(RowDeflater::bound(data.size()));
    out.resize(RowDeflater(1001).deflate(data.data(), data.size(), false, out.data()));
    ASSERT_GE(out.size(), 4u);
    EXPECT_TRUE(Bytes(out.end() - 4, out.end()) == Bytes({0, 0, 0xff, 0xff}));
}

TEST(RowDeflater, CompressesRepeatsAndStoresNoise) {
    const Bytes flat(100'000, 0);
    const Bytes random = randomBytes(100'000, 7);
    Bytes out(RowDeflater::bound(random.size()));
    EXPECT_LT(RowDeflater(1000).deflate(flat.data(), flat.size(), true, out.data()), 1000u);
    EXPECT_LE(RowDeflater(1000).deflate(random.data(), random.size(), true, out.data()),
              random.size() + 20);
}
