#include "capture/scrolling/ScrollStitcherMatch.h"

#include <algorithm>
#include <limits>

namespace capture::stitching {

namespace {

constexpr double unchangedRowLimit = 1.5;
constexpr double acceptedScore = 4.0;
constexpr double acceptedShare = 0.5;

bool unchanged(const std::uint8_t* a, const std::uint8_t* b) {
    return rowDifference(a, b) / static_cast<double>(signatureColumns) <= unchangedRowLimit;
}

// Mean difference of every row of the overlap when the content moved up by
// `shift` rows.
double overlapScore(SignatureView previous, SignatureView next, int top, int span, int shift) {
    std::uint64_t sum = 0;
    const int overlap = span - shift;
    for (int r = 0; r < overlap; ++r) {
        sum += rowDifference(previous.row(top + r + shift), next.row(top + r));
    }
    return meanDifference(sum, overlap);
}

} // namespace

double meanDifference(SignatureView a, SignatureView b, int first, int end) {
    std::uint64_t sum = 0;
    for (int y = first; y < end; ++y) {
        sum += rowDifference(a.row(y), b.row(y));
    }
    return meanDifference(sum, std::max(end - first, 0));
}

int unchangedRowsFromTop(SignatureView previous, SignatureView next, int limit) {
    int rows = 0;
    while (rows < limit && unchanged(previous.row(rows), next.row(rows))) {
        ++rows;
    }
    return rows;
}

int unchangedRowsFromBottom(SignatureView previous, SignatureView next, int limit) {
    int rows = 0;
    const int last = previous.rows - 1;
    while (rows < limit && unchanged(previous.row(last - rows), next.row(last - rows))) {
        ++rows;
    }
    return rows;
}

ShiftSearchPlan ShiftSearchPlan::forRows(int top, int end) {
    ShiftSearchPlan plan;
    plan.span = end - top;
    plan.minimumOverlap = plan.span > 31 ? plan.span / 4 : 8;
    plan.largestShift = plan.span - plan.minimumOverlap;
    plan.rowStep = plan.span <= 240 ? 1 : plan.span <= 600 ? 2 : 3;
    return plan;
}

ShiftRange fineShifts(int coarseBest, int largestShift) {
    return {std::max(coarseBest, 3) - 2, std::min(coarseBest + 2, largestShift)};
}

std::optional<int> findShift(SignatureView previous, SignatureView next, int top, int end) {
    const ShiftSearchPlan plan = ShiftSearchPlan::forRows(top, end);
    if (plan.largestShift < 1) {
        return std::nullopt;
    }
    constexpr double none = std::numeric_limits<double>::max();

    // Coarse pass over every shift, on every rowStep-th row of the overlap. A
    // shift is dropped as soon as its running sum shows it cannot beat the
    // best so far; only a strictly better score wins, so ties keep the
    // smaller shift.
    double best = none;
    int coarseBest = 0;
    const int step = plan.rowStep;
    for (int shift = 1; shift <= plan.largestShift; ++shift) {
        const int overlap = plan.span - shift;
        const int compared = (overlap + step - 1) / step;
        const double bound = best * signatureColumns * compared;
        std::uint64_t sum = 0;
        bool beaten = false;
        for (int r = 0; r < overlap; r += step) {
            sum += rowDifference(previous.row(top + r + shift), next.row(top + r));
            if (static_cast<double>(sum) > bound) {
                beaten = true;
                break;
            }
        }
        if (beaten) {
            continue;
        }
        const double score = meanDifference(sum, compared);
        if (score < best) {
            best = score;
            coarseBest = shift;
        }
    }
    if (coarseBest == 0) {
        return std::nullopt;
    }

    // Fine pass on every row, a few shifts either side of the coarse best.
    const ShiftRange range = fineShifts(coarseBest, plan.largestShift);
    best = none;
    int fineBest = 0;
    for (int shift = range.first; shift <= range.last; ++shift) {
        const double score = overlapScore(previous, next, top, plan.span, shift);
        if (score < best) {
            best = score;
            fineBest = shift;
        }
    }
    if (fineBest == 0) {
        return std::nullopt;
    }

    const double baseline = meanDifference(previous, next, top, end);
    if (best < acceptedScore && best < acceptedShare * baseline) {
        return fineBest;
    }
    return std::nullopt;
}

} // namespace capture::stitching
