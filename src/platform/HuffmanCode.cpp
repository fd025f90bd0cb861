#include "platform/HuffmanCode.h"

#include <algorithm>
#include <array>
#include <vector>

namespace platform::deflate {

namespace {

constexpr int maxSymbols = 288;

struct Leaf {
    std::uint32_t frequency;
    int symbol;
};

// Huffman's code lengths by the two-queue method over leaves sorted by
// frequency: internal nodes are made in order of weight, so the smallest
// two are always at the heads of the two queues. Returns the longest length.
int huffmanLengths(const std::vector<Leaf>& leaves, std::uint8_t* lengths) {
    const int n = static_cast<int>(leaves.size());
    std::array<std::uint64_t, 2 * maxSymbols> weight{};
    std::array<int, 2 * maxSymbols> parent{};
    for (int i = 0; i < n; ++i) {
        weight[static_cast<std::size_t>(i)] = leaves[static_cast<std::size_t>(i)].frequency;
    }
    int nextLeaf = 0;
    int nextInternal = n;
    const auto takeSmallest = [&](int made) {
        if (nextLeaf < n &&
            (nextInternal >= made || weight[static_cast<std::size_t>(nextLeaf)] <=
                                         weight[static_cast<std::size_t>(nextInternal)])) {
            return nextLeaf++;
        }
        return nextInternal++;
    };
    for (int made = n; made < 2 * n - 1; ++made) {
        const int a = takeSmallest(made);
        const int b = takeSmallest(made);
        weight[static_cast<std::size_t>(made)] =
            weight[static_cast<std::size_t>(a)] + weight[static_cast<std::size_t>(b)];
        parent[static_cast<std::size_t>(a)] = made;
        parent[static_cast<std::size_t>(b)] = made;
    }
    // Depths from the root down: every node was made after its children.
    std::array<std::uint8_t, 2 * maxSymbols> depth{};
    int longest = 0;
    for (int i = 2 * n - 3; i >= 0; --i) {
        const auto index = static_cast<std::size_t>(i);
        depth[index] =
            static_cast<std::uint8_t>(depth[static_cast<std::size_t>(parent[index])] + 1);
        if (i < n) {
            lengths[leaves[index].symbol] = depth[index];
            longest = std::max<int>(longest, depth[index]);
        }
    }
    return longest;
}

} // namespace

void buildCodeLengths(const std::uint32_t* frequencies, int count, int maxLength,
                      std::uint8_t* lengths) {
    std::vector<Leaf> leaves;
    leaves.reserve(static_cast<std::size_t>(count));
    for (int s = 0; s < count; ++s) {
        lengths[s] = 0;
        if (frequencies[s] > 0) {
            leaves.push_back({frequencies[s], s});
        }
    }
    if (leaves.size() < 2) {
        const int used = leaves.empty() ? 0 : leaves.front().symbol;
        lengths[used] = 1;
        lengths[used == 0 ? 1 : 0] = 1;
        return;
    }
    std::stable_sort(leaves.begin(), leaves.end(),
                     [](const Leaf& a, const Leaf& b) { return a.frequency < b.frequency; });
    // Too long a code is rare (it needs frequencies spread over thousands
    // to one); flattening the frequencies until the code fits costs little.
    while (huffmanLengths(leaves, lengths) > maxLength) {
        for (Leaf& leaf : leaves) {
            leaf.frequency = (leaf.frequency >> 1) | 1;
        }
    }
}

void buildCodes(const std::uint8_t* lengths, int count, std::uint16_t* codes) {
    std::array<std::uint16_t, 17> perLength{};
    for (int s = 0; s < count; ++s) {
        ++perLength[lengths[s]];
    }
    perLength[0] = 0;
    std::array<std::uint16_t, 17> next{};
    std::uint32_t code = 0;
    for (int length = 1; length <= 16; ++length) {
        code = (code + perLength[static_cast<std::size_t>(length - 1)]) << 1;
        next[static_cast<std::size_t>(length)] = static_cast<std::uint16_t>(code);
    }
    for (int s = 0; s < count; ++s) {
        const int length = lengths[s];
        codes[s] = 0;
        if (length == 0) {
            continue;
        }
        std::uint32_t forward = next[static_cast<std::size_t>(length)]++;
        std::uint32_t reversed = 0;
        for (int bit = 0; bit < length; ++bit) {
            reversed = (reversed << 1) | (forward & 1);
            forward >>= 1;
        }
        codes[s] = static_cast<std::uint16_t>(reversed);
    }
}

} // namespace platform::deflate
