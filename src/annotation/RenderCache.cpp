#include "annotation/RenderCache.h"

#include <QPaintDevice>

#include <algorithm>
#include <cmath>

namespace annotation {

namespace {

// Pictures unused for this many passes are let go: the canvas and an export
// may take turns without making each other's pictures again.
constexpr std::uint64_t kKeepPasses = 4;
// Beyond this, the least recently used pictures go first (filtered copies
// are never let go: every draw of a region needs them).
constexpr qint64 kBudgetBytes = qint64{256} << 20;

template <class Entries, class Key> auto* find(Entries& entries, const Key& key) {
    for (auto& entry : entries) {
        if (entry.key == key) {
            return &entry;
        }
    }
    return static_cast<typename Entries::value_type*>(nullptr);
}

} // namespace

RenderCache::Placement RenderCache::Placement::of(const QTransform& t, const QPaintDevice* device,
                                                  int hints, QPoint* wholeShift) {
    Placement p;
    p.m11 = t.m11();
    p.m12 = t.m12();
    p.m21 = t.m21();
    p.m22 = t.m22();
    p.dpiX = device ? device->logicalDpiX() : 72;
    p.dpiY = device ? device->logicalDpiY() : 72;
    p.hints = hints;
    // Whole pixels of the translation move the picture; its fraction changes
    // how edges fall on pixels.
    constexpr double kFar = 1 << 30;
    const double fx = std::fabs(t.dx()) < kFar ? std::floor(t.dx()) : 0;
    const double fy = std::fabs(t.dy()) < kFar ? std::floor(t.dy()) : 0;
    p.dx = t.dx() - fx;
    p.dy = t.dy() - fy;
    *wholeShift = QPoint(static_cast<int>(fx), static_cast<int>(fy));
    return p;
}

QTransform RenderCache::Placement::transform() const {
    return QTransform(m11, m12, m21, m22, dx, dy);
}

const QImage* RenderCache::shadow(const ShadowKey& key) {
    const QUuid owner = std::holds_alternative<Annotation>(key.caster)
                            ? std::get<Annotation>(key.caster).id
                            : QUuid();
    const auto bucket = shadows_.find(owner);
    if (bucket == shadows_.end()) {
        return nullptr;
    }
    Entry<ShadowKey>* entry = find(*bucket, key);
    if (!entry) {
        return nullptr;
    }
    entry->lastUsed = pass_;
    return &entry->image;
}

bool RenderCache::hasRoomFor(qint64 bytes) const {
    return bytes_ + bytes <= kBudgetBytes;
}

const QImage& RenderCache::keepShadow(ShadowKey key, QImage image) {
    const QUuid owner = std::holds_alternative<Annotation>(key.caster)
                            ? std::get<Annotation>(key.caster).id
                            : QUuid();
    ++shadowsMade_;
    bytes_ += image.sizeInBytes();
    std::vector<Entry<ShadowKey>>& bucket = shadows_[owner];
    bucket.push_back({std::move(key), std::move(image), pass_});
    return bucket.back().image;
}

const QImage* RenderCache::resampled(const ResampledKey& key) {
    Entry<ResampledKey>* entry = find(resampled_, key);
    if (!entry) {
        return nullptr;
    }
    entry->lastUsed = pass_;
    return &entry->image;
}

const QImage& RenderCache::keepResampled(ResampledKey key, QImage image) {
    ++resampledMade_;
    bytes_ += image.sizeInBytes();
    resampled_.push_back({std::move(key), std::move(image), pass_});
    return resampled_.back().image;
}

const QImage* RenderCache::filtered(Filter filter, double parameter) const {
    for (const FilteredEntry& entry : filtered_) {
        if (entry.filter == filter && entry.parameter == parameter) {
            return &entry.image;
        }
    }
    return nullptr;
}

QImage& RenderCache::keepFiltered(Filter filter, double parameter, QImage image) {
    filtered_.push_back({filter, parameter, std::move(image)});
    return filtered_.back().image;
}

RenderCache::Pass::Pass(RenderCache& cache) : cache_(cache) {
    if (cache_.depth_++ == 0) {
        ++cache_.pass_;
    }
}

RenderCache::Pass::~Pass() {
    if (--cache_.depth_ == 0) {
        cache_.sweep();
    }
}

void RenderCache::sweep() {
    dropUsedBefore(pass_ >= kKeepPasses ? pass_ - kKeepPasses + 1 : 0);
    // Over budget: the least recently used go first, but never what this
    // pass has used.
    while (bytes_ > kBudgetBytes) {
        std::uint64_t least = pass_;
        for (const auto& bucket : shadows_) {
            for (const auto& entry : bucket) {
                least = std::min(least, entry.lastUsed);
            }
        }
        for (const auto& entry : resampled_) {
            least = std::min(least, entry.lastUsed);
        }
        if (least == pass_) {
            break;
        }
        dropUsedBefore(least + 1);
    }
}

void RenderCache::dropUsedBefore(std::uint64_t pass) {
    auto stale = [&](const auto& entry) {
        if (entry.lastUsed >= pass) {
            return false;
        }
        bytes_ -= entry.image.sizeInBytes();
        return true;
    };
    for (auto it = shadows_.begin(); it != shadows_.end();) {
        std::erase_if(*it, stale);
        it = it->empty() ? shadows_.erase(it) : std::next(it);
    }
    std::erase_if(resampled_, stale);
}

RenderCache::Stats RenderCache::stats() const {
    Stats s;
    for (const auto& bucket : shadows_) {
        s.shadows += static_cast<int>(bucket.size());
    }
    s.resampled = static_cast<int>(resampled_.size());
    s.shadowsMade = shadowsMade_;
    s.resampledMade = resampledMade_;
    s.bytes = bytes_;
    for (const FilteredEntry& entry : filtered_) {
        s.bytes += entry.image.sizeInBytes();
    }
    return s;
}

} // namespace annotation
