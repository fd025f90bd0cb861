#include "platform/RowMatcher.h"

#include <algorithm>
#include <cstring>

namespace platform::deflate {

namespace {

constexpr std::size_t hashMinimum = 5;
// A copy of the row above costs a long distance's extra bits: at 4 or 5 bytes
// in a photograph it saves less than the literals after it lose.
constexpr std::size_t rowMinimum = 6;

std::uint32_t load32(const std::uint8_t* p) {
    std::uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

[[gnu::noinline]] std::uint64_t loadShort(const std::uint8_t* p, std::size_t available) {
    std::uint64_t value = 0;
    std::memcpy(&value, p, available);
    return value;
}

// The next 8 bytes, or those before end followed by zeros.
[[gnu::always_inline]] inline std::uint64_t loadAhead(const std::uint8_t* p,
                                                      std::size_t available) {
    return available >= 8 ? load64(p) : loadShort(p, available);
}

// A hash of the first 5 of these bytes: as many as a match found through the
// table must have in common, so that positions sharing only 4 do not push
// out the ones that would match.
[[gnu::always_inline]] inline std::size_t hashOfFive(std::uint64_t ahead, int bits) {
    return static_cast<std::size_t>(((ahead << 24) * 0x9e3779b97f4a7c15ull) >> (64 - bits));
}

// How many bytes from a equal those from b, up to limit; b may overlap a.
std::size_t commonLength(const std::uint8_t* a, const std::uint8_t* b, std::size_t limit) {
    std::size_t n = 0;
    while (n + 8 <= limit) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) {
            return n + static_cast<std::size_t>(__builtin_ctzll(x ^ y) >> 3);
        }
        n += 8;
    }
    while (n < limit && a[n] == b[n]) {
        ++n;
    }
    return n;
}

} // namespace

RowMatcher::RowMatcher(std::size_t rowStride)
    : rowDistance_(rowStride <= window ? rowStride : 0)
    , recent_(std::size_t{ways} << hashBits, 0) {}

[[gnu::always_inline]] inline void RowMatcher::remember(std::uint64_t ahead, std::size_t at) {
    std::uint32_t* bucket = recent_.data() + ways * hashOfFive(ahead, hashBits);
    bucket[1] = bucket[0];
    bucket[0] = static_cast<std::uint32_t>(at);
}

// The longest match at `at` (at least 1, at most end - 4), and `at` remembered.
[[gnu::always_inline]] inline RowMatcher::Found
RowMatcher::longest(const std::uint8_t* data, std::size_t at, std::size_t end) {
    const std::size_t limit = std::min(end - at, maximum);
    const std::uint32_t here = load32(data + at);
    Found best;
    const auto consider = [&](std::size_t distance, std::size_t atLeast) {
        if (distance - 1 < std::min(at, window) && here == load32(data + at - distance)) {
            const std::size_t length = commonLength(data + at, data + at - distance, limit);
            if (length > best.length && length >= atLeast) {
                best = {length, distance};
            }
        }
    };
    consider(1, minimum);
    if (best.length < limit && rowDistance_ != 0) {
        consider(rowDistance_, rowMinimum);
    }
    std::uint32_t* bucket =
        recent_.data() + ways * hashOfFive(loadAhead(data + at, end - at), hashBits);
    for (int way = 0; way < ways && best.length < limit; ++way) {
        consider(at - bucket[way], hashMinimum);
    }
    bucket[1] = bucket[0];
    bucket[0] = static_cast<std::uint32_t>(at);
    return best;
}

void RowMatcher::match(const std::uint8_t* data, std::size_t begin, std::size_t end,
                       std::vector<Sequence>& out) {
    std::size_t literalStart = begin;
    // A match needs an earlier byte and 4 bytes to compare.
    std::size_t at = std::max<std::size_t>(begin, 1);
    const std::size_t lastStart = end >= minimum ? end - minimum : 0;
    // Positions that can be tested without bounds: the row above exists,
    // every remembered position is an earlier one of this strip, and 8
    // bytes can be read.
    const std::size_t uncheckedFrom = rowDistance_;
    const std::size_t uncheckedEnd = std::min(lastStart + 1, end >= 8 ? end - 7 : 0);
    const std::size_t upDistance = rowDistance_ != 0 ? rowDistance_ : 1;
    std::uint32_t* const table = recent_.data();
    while (at <= lastStart) {
        if (at >= uncheckedFrom) {
            // Most positions of a photograph start no match: test the
            // candidates' first bytes at once (the hashed ones' first 5, and
            // whatever their distance: longest() checks it) and move on.
            for (; at < uncheckedEnd; ++at) {
                const std::uint64_t ahead = load64(data + at);
                const auto here = static_cast<std::uint32_t>(ahead);
                std::uint32_t* bucket = table + ways * hashOfFive(ahead, hashBits);
                const std::uint32_t first = bucket[0];
                const std::uint32_t second = bucket[1];
                constexpr std::uint64_t fiveBytes = 0xff'ffff'ffffu;
                const bool any = (here == load32(data + at - 1)) |
                                 (here == load32(data + at - upDistance)) |
                                 (((ahead ^ load64(data + first)) & fiveBytes) == 0) |
                                 (((ahead ^ load64(data + second)) & fiveBytes) == 0);
                if (any) {
                    break;
                }
                bucket[1] = first;
                bucket[0] = static_cast<std::uint32_t>(at);
            }
            if (at > lastStart) {
                break;
            }
        }
        Found found = longest(data, at, end);
        if (found.length == 0) {
            ++at;
            continue;
        }
        // Lazy matching: while the match one byte further is longer, that
        // byte goes out as a literal and the later match is taken. Positions
        // the look-ahead took in are remembered already.
        std::size_t unseen = at + 1;
        while (found.length < maximum && at + 1 <= lastStart) {
            const Found next = longest(data, at + 1, end);
            unseen = at + 2;
            if (next.length <= found.length) {
                break;
            }
            found = next;
            ++at;
        }
        out.push_back({static_cast<std::uint32_t>(at - literalStart),
                       static_cast<std::uint16_t>(found.length),
                       static_cast<std::uint16_t>(found.distance)});
        // Runs of one byte leave nothing new to find inside them.
        const std::size_t stop = std::min(at + found.length, lastStart + 1);
        if (found.distance > 1) {
            std::size_t inside = unseen;
            for (const std::size_t whole = std::min(stop, uncheckedEnd); inside < whole; ++inside) {
                remember(load64(data + inside), inside);
            }
            for (; inside < stop; ++inside) {
                remember(loadAhead(data + inside, end - inside), inside);
            }
        }
        at += found.length;
        literalStart = at;
    }
    out.push_back({static_cast<std::uint32_t>(end - literalStart), 0, 0});
}

} // namespace platform::deflate
