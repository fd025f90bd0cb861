#pragma once

#include "app/RecentFile.h"

#include <QStyledItemDelegate>

#include <optional>

namespace delivery {

// Draws one tile of the recent-captures strip in the item's 120 × 76
// rectangle: a faint fill, the thumbnail fitted inside, the kind badge in the
// bottom-leading corner, a hairline border, and for the file the host shows a
// ring in the accent colour 3 points outside.
class RecentTileDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int tileWidth = 120;
    static constexpr int tileHeight = 76;
    // How far the current file's ring reaches out of the tile.
    static constexpr int ringOutset = 3;

    // What a tile's badge holds: the video symbol, and a text after it.
    struct Badge {
        bool videoSymbol = false;
        QString text;
        bool operator==(const Badge&) const = default;
    };
    // None for an image; "GIF" for a GIF; the symbol, with the length once
    // it is known, for a video.
    static std::optional<Badge> badgeFor(app::RecentFile::Kind kind, std::optional<double> seconds);

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace delivery
