#pragma once

#include "annotation/Annotation.h"
#include "annotation/Geometry.h"

#include <QHash>
#include <QImage>
#include <QRect>
#include <QTransform>
#include <QUuid>

#include <cstdint>
#include <deque>
#include <optional>
#include <variant>
#include <vector>

class QPaintDevice;

namespace annotation {

// Pictures the renderer keeps between draws of one document, so that a redraw
// after an edit only makes again what the edit changed: the filtered copies of
// the base image, the blurred shadows of the marks and of the framed picture,
// and the base image resampled for a view. Every picture is filed under
// everything it is made from, so a changed mark, view scale or background
// simply misses and makes a fresh one; pictures no draw has asked for in a
// few passes are let go. Main thread.
class RenderCache {
public:
    // Where a drawing lands on the device: the transform's linear part, the
    // fraction of a pixel of its translation and the device's density. The
    // same drawing shifted by whole pixels lands the same pixels shifted, so
    // a picture made once serves every such shift.
    struct Placement {
        double m11 = 1, m12 = 0, m21 = 0, m22 = 1;
        double dx = 0, dy = 0; // in [0, 1)
        int dpiX = 72, dpiY = 72;
        int hints = 0;
        friend bool operator==(const Placement&, const Placement&) = default;

        // The placement of a painter's transform on its device, and the whole
        // pixels that the transform moves beyond it.
        static Placement of(const QTransform& transform, const QPaintDevice* device, int hints,
                            QPoint* wholeShift);
        QTransform transform() const;
    };

    // The rounded frame of an opaque picture, as the caster of the frame's
    // shadow.
    struct FrameOutline {
        Rect frame;
        double radius = 0;
        friend bool operator==(const FrameOutline&, const FrameOutline&) = default;
    };

    // A blurred shadow layer: what casts it, where it lands (the layer's area
    // relative to the whole-pixel shift) and how it is blurred.
    struct ShadowKey {
        std::variant<Annotation, FrameOutline> caster;
        Placement placement;
        QRect area;
        double blur = 0;
        double alpha = 0;
        friend bool operator==(const ShadowKey&, const ShadowKey&) = default;
    };

    // The base image drawn over its rectangle by a placement, cut to `area`
    // (relative to the whole-pixel shift).
    struct ResampledKey {
        qint64 image = 0; // QImage::cacheKey()
        QRectF target;
        Placement placement;
        QRect area;
        friend bool operator==(const ResampledKey&, const ResampledKey&) = default;
    };

    enum class Filter { pixelate, blur };

    // Counts for tests and benchmarks.
    struct Stats {
        int shadows = 0;       // kept now
        int resampled = 0;     // kept now
        int shadowsMade = 0;   // since the cache was made
        int resampledMade = 0; // since the cache was made
        qint64 bytes = 0;      // of every picture kept, filtered copies included
    };

    // A kept picture, or none. Pointers stay valid until the next keep.
    const QImage* shadow(const ShadowKey& key);
    const QImage* resampled(const ResampledKey& key);
    // Whether a picture of this many bytes may be kept: one draw never holds
    // more than the budget, however large the export.
    bool hasRoomFor(qint64 bytes) const;
    const QImage& keepShadow(ShadowKey key, QImage image);
    const QImage& keepResampled(ResampledKey key, QImage image);

    // Copies of the base image by a filter and its parameter (cell or sigma
    // in pixels), filled by their owner as needed. Kept for as long as the
    // cache.
    const QImage* filtered(Filter filter, double parameter) const;
    QImage& keepFiltered(Filter filter, double parameter, QImage image);

    // A draw of the document. Passes nest (the framed picture is drawn again
    // as its own shadow's caster); when the outermost one ends, pictures that
    // no draw of the last few passes used are let go.
    class Pass {
    public:
        explicit Pass(RenderCache& cache);
        ~Pass();
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

    private:
        RenderCache& cache_;
    };

    Stats stats() const;

private:
    template <class Key> struct Entry {
        Key key;
        QImage image;
        std::uint64_t lastUsed = 0;
    };
    struct FilteredEntry {
        Filter filter;
        double parameter;
        QImage image;
    };

    void sweep();
    void dropUsedBefore(std::uint64_t pass);

    // Shadows by the id of their mark (the frame's under the null id): one
    // entry per look and placement of that mark.
    QHash<QUuid, std::vector<Entry<ShadowKey>>> shadows_;
    std::vector<Entry<ResampledKey>> resampled_;
    std::deque<FilteredEntry> filtered_; // references stay valid
    qint64 bytes_ = 0;                   // of the shadows and resampled pictures
    std::uint64_t pass_ = 0;
    int depth_ = 0;
    int shadowsMade_ = 0;
    int resampledMade_ = 0;
};

} // namespace annotation
