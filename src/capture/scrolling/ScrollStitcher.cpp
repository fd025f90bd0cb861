#include "capture/scrolling/ScrollStitcher.h"

#include "capture/scrolling/ScrollStitcherMatch.h"
#include "capture/scrolling/ScrollStitcherResample.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace capture {

using namespace stitching;

namespace {

// Below this mean difference per sample a frame shows what the last one
// showed.
constexpr double unchangedFrame = 0.3;
// A band between header and footer this low leaves nothing to search.
constexpr int smallestBand = 12;
// Slices to make room for at the start: one per appended frame.
constexpr std::size_t initialSlices = 256;

MutablePixelView viewOf(std::vector<Pixel>& pixels, int width, int height) {
    return {reinterpret_cast<std::uint8_t*>(pixels.data()), width, height,
            static_cast<std::ptrdiff_t>(width) * 4};
}

PixelView viewOf(const std::vector<Pixel>& pixels, int width, int height) {
    return {reinterpret_cast<const std::uint8_t*>(pixels.data()), width, height,
            static_cast<std::ptrdiff_t>(width) * 4};
}

PixelView viewOf(const QImage& image) {
    return {image.constBits(), image.width(), image.height(), image.bytesPerLine()};
}

// round(scale × length), halves away from zero, at least 1. Lengths beyond
// any picture that could be made are capped before rounding.
int scaledLength(double scale, int length) {
    constexpr double largest = 1 << 26;
    return std::max(1, static_cast<int>(std::lround(std::min(scale * length, largest))));
}

void drawPiece(PixelView piece, MutablePixelView target, double scale) {
    if (piece.width == target.width && piece.height == target.height) {
        copyPixels(piece, target);
    } else if (scale >= 1) {
        scaleNearest(piece, target);
    } else {
        scaleArea(piece, target);
    }
}

} // namespace

// The preview is always drawn at one scale, and every piece but the footer
// stays the same once drawn: the head (first frame above the footer) changes
// only when the footer is locked, slices never.
struct ScrollStitcher::PreviewCache {
    double scale = 0;
    int headFooter = -1;
    std::vector<Pixel> head;
    std::vector<std::vector<Pixel>> slices;
};

struct ScrollStitcher::Piece {
    enum class Kind { head, slice, footer };
    Kind kind;
    std::size_t slice;
    PixelView pixels;
};

ScrollStitcher::ScrollStitcher() = default;
ScrollStitcher::~ScrollStitcher() = default;

ScrollStitcher::AddResult ScrollStitcher::add(const QImage& frame) {
    switch (frame.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return add(viewOf(frame));
    default:
        if (frame.isNull()) {
            return Code::lostTrack;
        }
        return add(viewOf(frame.convertToFormat(QImage::Format_RGB32)));
    }
}

ScrollStitcher::AddResult ScrollStitcher::add(PixelView frame) {
    if (!fingerprinter_.make(frame, nextSignature_)) {
        return Code::lostTrack;
    }
    if (width_ == 0) {
        return start(frame);
    }
    if (frame.width != width_ || frame.height != frameHeight_) {
        return Code::lostTrack;
    }

    const int h = frame.height;
    const SignatureView last{lastSignature_.data(), h};
    const SignatureView next{nextSignature_.data(), h};
    if (meanDifference(last, next, 0, h) < unchangedFrame) {
        return Code::nothingNew;
    }
    const int header = unchangedRowsFromTop(last, next, h / 3);
    const int footer = unchangedRowsFromBottom(last, next, h / 3);
    if (h - footer - header < smallestBand) {
        return Code::nothingNew;
    }
    const std::optional<int> shift = findShift(last, next, header, h - footer);
    if (!shift) {
        return Code::lostTrack;
    }

    // The footer is fixed by the first frame that could be placed, before
    // the checks below: a footer seen later (a toolbar that only now stands
    // still) never moves the cut.
    if (!lockedFooter_) {
        lockedFooter_ = footer;
    }
    const int end = h - *lockedFooter_;
    const int start = std::max(end - *shift, 0);
    const int rows = end - start;
    if (rows < 1) {
        return Code::nothingNew;
    }
    if (height_ + rows > maxHeight) {
        return Code::heightLimit;
    }
    try {
        appendRows(frame, start, rows);
    } catch (const std::bad_alloc&) {
        return Code::lostTrack;
    }
    height_ += rows;
    lastSignature_.swap(nextSignature_);
    return AddResult::appended(rows);
}

ScrollStitcher::AddResult ScrollStitcher::start(PixelView frame) {
    try {
        first_.resize(static_cast<std::size_t>(frame.width) *
                      static_cast<std::size_t>(frame.height));
        rows_.emplace(frame.width, frame.height);
        slices_.reserve(initialSlices);
    } catch (const std::bad_alloc&) {
        first_ = {};
        rows_.reset();
        return Code::lostTrack;
    }
    copyOpaque(frame, viewOf(first_, frame.width, frame.height));
    width_ = frame.width;
    frameHeight_ = frame.height;
    height_ = frame.height;
    lastSignature_.swap(nextSignature_);
    return Code::started;
}

// Everything that can fail runs before anything changes, so a failure keeps
// the stitch as it was.
void ScrollStitcher::appendRows(PixelView frame, int first, int count) {
    const int footer = *lockedFooter_;
    if (footer > 0 && lastFooter_.empty()) {
        lastFooter_.resize(static_cast<std::size_t>(footer) * static_cast<std::size_t>(width_));
    }
    if (slices_.size() == slices_.capacity()) {
        slices_.reserve(2 * slices_.capacity() + initialSlices);
    }
    slices_.push_back(rows_->append(frame, first, count));
    if (footer > 0) {
        copyOpaque(frame.rows(frameHeight_ - footer, footer), viewOf(lastFooter_, width_, footer));
    }
}

PixelView ScrollStitcher::firstFrame() const {
    return viewOf(first_, width_, frameHeight_);
}

PixelView ScrollStitcher::lastFooter() const {
    const int footer = lockedFooter_.value_or(0);
    if (slices_.empty()) {
        return firstFrame().rows(frameHeight_ - footer, footer);
    }
    return viewOf(lastFooter_, width_, footer);
}

std::vector<ScrollStitcher::Piece> ScrollStitcher::pieces() const {
    std::vector<Piece> pieces;
    pieces.reserve(slices_.size() + 2);
    const int footer = lockedFooter_.value_or(0);
    if (frameHeight_ - footer > 0) {
        pieces.push_back({Piece::Kind::head, 0, firstFrame().rows(0, frameHeight_ - footer)});
    }
    for (std::size_t i = 0; i < slices_.size(); ++i) {
        pieces.push_back({Piece::Kind::slice, i, slices_[i]});
    }
    if (footer > 0) {
        pieces.push_back({Piece::Kind::footer, 0, lastFooter()});
    }
    return pieces;
}

QImage ScrollStitcher::compose(double scale) const {
    try {
        return render(scale, nullptr);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

QImage ScrollStitcher::preview() {
    if (width_ < 1) {
        return {};
    }
    const double scale = std::min(previewWidth / width_, 1.0);
    if (!previewCache_ || previewCache_->scale != scale) {
        previewCache_ = std::make_unique<PreviewCache>();
        previewCache_->scale = scale;
    }
    try {
        return render(scale, previewCache_.get());
    } catch (const std::bad_alloc&) {
        // A piece may have been half kept: start the cache afresh next time.
        previewCache_.reset();
        return {};
    }
}

QImage ScrollStitcher::render(double scale, PreviewCache* cache) const {
    if (width_ == 0 || !std::isfinite(scale) || scale <= 0) {
        return {};
    }
    const std::vector<Piece> parts = pieces();
    const int width = scaledLength(scale, width_);
    std::vector<int> heights;
    heights.reserve(parts.size());
    long long total = 0;
    for (const Piece& piece : parts) {
        heights.push_back(scaledLength(scale, piece.pixels.height));
        total += heights.back();
    }
    if (total < 1 || total > (1 << 26)) {
        return {};
    }
    QImage image(width, static_cast<int>(total), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return {};
    }
    const MutablePixelView canvas{image.bits(), width, image.height(), image.bytesPerLine()};

    const int footer = lockedFooter_.value_or(0);
    int y = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Piece& piece = parts[i];
        const int height = heights[i];
        const MutablePixelView target = canvas.rows(y, height);
        y += height;

        std::vector<Pixel>* kept = nullptr;
        if (cache && piece.kind == Piece::Kind::head) {
            if (cache->headFooter == footer) {
                copyPixels(viewOf(cache->head, width, height), target);
                continue;
            }
            cache->headFooter = -1;
            kept = &cache->head;
        } else if (cache && piece.kind == Piece::Kind::slice) {
            if (piece.slice < cache->slices.size()) {
                copyPixels(viewOf(cache->slices[piece.slice], width, height), target);
                continue;
            }
            cache->slices.emplace_back();
            kept = &cache->slices.back();
        }
        drawPiece(piece.pixels, target, scale);
        if (kept) {
            kept->resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
            copyPixels(target, viewOf(*kept, width, height));
            if (piece.kind == Piece::Kind::head) {
                cache->headFooter = footer;
            }
        }
    }
    return image;
}

} // namespace capture
