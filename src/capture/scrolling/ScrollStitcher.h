#pragma once

#include "capture/scrolling/ScrollStitcherFingerprint.h"
#include "capture/scrolling/ScrollStitcherPixels.h"
#include "capture/scrolling/ScrollStitcherRows.h"

#include <QImage>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace capture {

// Joins same-sized frames of one screen region, taken while its content
// scrolls down, into one tall picture. For each frame it finds whether the
// content moved and by how many rows, appends only the rows that scrolled in,
// keeps rows that never move at the top (a header) once at the top and those
// at the bottom (a footer) once at the bottom, and stops growing at
// `maxHeight`. Frames are compared by small grey fingerprints, not by their
// pixels.
//
// One stitcher serves one capture; it has no lock and expects every call on
// the one thread that captures. After the first frame, adding frames of the
// same size allocates only when the store of rows fills a block.
class ScrollStitcher {
public:
    using PixelView = stitching::PixelView;

    static constexpr int columns = stitching::signatureColumns;
    static constexpr int maxHeight = 24000;
    static constexpr double previewWidth = 132.0;

    // What adding a frame did: appended rows (at least 1), or a code.
    class AddResult {
    public:
        enum class Code {
            started = 0,    // the frame started the capture
            nothingNew = 1, // nothing to add
            lostTrack = 2,  // the frame cannot be placed
            heightLimit = 3 // adding it would pass maxHeight
        };

        constexpr AddResult(Code code) : code_(code) {}
        static constexpr AddResult appended(int rows) { return AddResult(rows); }

        constexpr bool isAppended() const { return rows_ > 0; }
        // The rows appended; 0 for a code.
        constexpr int rows() const { return rows_; }
        constexpr std::optional<Code> code() const {
            return isAppended() ? std::nullopt : std::optional<Code>(code_);
        }

        friend constexpr bool operator==(const AddResult&, const AddResult&) = default;

    private:
        explicit constexpr AddResult(int rows) : rows_(rows) {}

        Code code_ = Code::started;
        int rows_ = 0;
    };
    using Code = AddResult::Code;

    ScrollStitcher();
    ~ScrollStitcher();
    ScrollStitcher(const ScrollStitcher&) = delete;
    ScrollStitcher& operator=(const ScrollStitcher&) = delete;

    // Adds the next frame. Its pixels are read during the call only; the
    // stitcher copies what it keeps.
    AddResult add(PixelView frame);
    // The same for a picture; formats other than 32-bit RGB are converted.
    AddResult add(const QImage& frame);

    // The stitched picture drawn at `scale` (> 0): the first frame without
    // its footer, every band that scrolled in, then the footer of the newest
    // accepted frame. Null before the first frame or when the picture cannot
    // be made.
    QImage compose(double scale) const;

    // The stitched picture at most `previewWidth` pixels wide (never
    // enlarged). Pieces already drawn for an earlier preview are reused, so
    // a preview costs about the rows added since the last one.
    QImage preview();

    // Height of the stitched picture in pixels: the first frame plus every
    // band appended.
    int height() const { return height_; }
    // Size of the first frame (every accepted frame has it); 0 before.
    int firstWidth() const { return width_; }
    int firstHeight() const { return frameHeight_; }
    // The footer fixed at the first frame that could be placed.
    std::optional<int> lockedFooter() const { return lockedFooter_; }

private:
    struct PreviewCache;
    struct Piece;

    AddResult start(PixelView frame);
    void appendRows(PixelView frame, int first, int count);
    stitching::PixelView firstFrame() const;
    stitching::PixelView lastFooter() const;
    std::vector<Piece> pieces() const;
    QImage render(double scale, PreviewCache* cache) const;

    stitching::Fingerprinter fingerprinter_;
    std::vector<std::uint8_t> lastSignature_; // of the last accepted frame
    std::vector<std::uint8_t> nextSignature_; // of the frame being added
    int width_ = 0;
    int frameHeight_ = 0;
    std::vector<stitching::Pixel> first_;
    std::optional<stitching::RowStore> rows_;
    std::vector<stitching::PixelView> slices_;
    // The bottom footer rows of the last accepted frame, once one was
    // appended; before that they are the first frame's.
    std::vector<stitching::Pixel> lastFooter_;
    std::optional<int> lockedFooter_;
    int height_ = 0;
    std::unique_ptr<PreviewCache> previewCache_;
};

} // namespace capture
