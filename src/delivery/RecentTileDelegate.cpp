#include "delivery/RecentTileDelegate.h"

#include "app/Recording.h"
#include "delivery/RecentTileModel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace delivery {

namespace {

constexpr qreal kCornerRadius = 6;
constexpr qreal kRingRadius = 8;
constexpr qreal kRingWidth = 2.5;
constexpr qreal kBadgeHeight = 17;
constexpr qreal kBadgeInset = 5;
constexpr qreal kBadgePadding = 6;
constexpr qreal kBadgeSpacing = 3;
constexpr QSizeF kSymbolSize(14, 9);

QColor withAlpha(QColor colour, qreal alpha) {
    colour.setAlphaF(float(colour.alphaF() * alpha));
    return colour;
}

QPainterPath roundedRect(const QRectF& rect, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

QFont badgeFont(const QFont& base) {
    QFont font = base;
    font.setPixelSize(10);
    font.setWeight(QFont::DemiBold);
    return font;
}

// A film camera: a rounded body with the lens cone on its trailing side.
void drawVideoSymbol(QPainter& painter, const QRectF& box) {
    const qreal h = box.height();
    const QRectF body(box.left(), box.top(), box.width() * 0.68, h);
    painter.drawPath(roundedRect(body, 2));
    const qreal lensLeft = body.right() + box.width() * 0.06;
    const QPointF lens[] = {
        {lensLeft, box.top() + h * 0.36},
        {box.right(), box.top()},
        {box.right(), box.bottom()},
        {lensLeft, box.bottom() - h * 0.36},
    };
    painter.drawPolygon(lens, 4);
}

void drawBadge(QPainter& painter, const QRectF& tile, const RecentTileDelegate::Badge& badge,
               const QFont& base) {
    const QFont font = badgeFont(base);
    const QFontMetricsF metrics(font);
    qreal content = 0;
    if (badge.videoSymbol) {
        content += kSymbolSize.width();
    }
    if (!badge.text.isEmpty()) {
        content += (badge.videoSymbol ? kBadgeSpacing : 0) + metrics.horizontalAdvance(badge.text);
    }
    const QRectF capsule(tile.left() + kBadgeInset, tile.bottom() - kBadgeInset - kBadgeHeight,
                         std::ceil(content) + 2 * kBadgePadding, kBadgeHeight);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 153));
    painter.drawRoundedRect(capsule, kBadgeHeight / 2, kBadgeHeight / 2);

    painter.setBrush(Qt::white);
    qreal x = capsule.left() + kBadgePadding;
    if (badge.videoSymbol) {
        drawVideoSymbol(painter, QRectF(QPointF(x, capsule.center().y() - kSymbolSize.height() / 2),
                                        kSymbolSize));
        x += kSymbolSize.width() + kBadgeSpacing;
    }
    if (!badge.text.isEmpty()) {
        painter.setPen(Qt::white);
        painter.setFont(font);
        painter.drawText(QRectF(x, capsule.top(), capsule.right() - x, capsule.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, badge.text);
    }
}

} // namespace

std::optional<RecentTileDelegate::Badge>
RecentTileDelegate::badgeFor(app::RecentFile::Kind kind, std::optional<double> seconds) {
    switch (kind) {
    case app::RecentFile::Kind::image:
        return std::nullopt;
    case app::RecentFile::Kind::gif:
        return Badge{false, QStringLiteral("GIF")};
    case app::RecentFile::Kind::video:
        return Badge{true, seconds ? app::durationText(*seconds) : QString()};
    }
    return std::nullopt;
}

QSize RecentTileDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return {tileWidth, tileHeight};
}

void RecentTileDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const QRectF tile = QRectF(option.rect.topLeft(), QSizeF(tileWidth, tileHeight));
    const QColor primary = option.palette.color(QPalette::WindowText);
    const auto file = index.data(RecentTileModel::FileRole).value<app::RecentFile>();
    const QVariant seconds = index.data(RecentTileModel::DurationRole);
    const QImage image = index.data(RecentTileModel::ImageRole).value<QImage>();

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);

    // Inside the tile's rounded outline: the fill, the picture and the badge.
    painter->save();
    painter->setClipPath(roundedRect(tile, kCornerRadius), Qt::IntersectClip);
    painter->fillRect(tile, withAlpha(primary, 0.06));
    if (!image.isNull()) {
        QSizeF fitted = image.size();
        fitted.scale(tile.size(), Qt::KeepAspectRatio);
        const QRectF target(tile.center().x() - fitted.width() / 2,
                            tile.center().y() - fitted.height() / 2, fitted.width(),
                            fitted.height());
        painter->drawImage(target, image);
    }
    if (const std::optional<Badge> badge = badgeFor(
            file.kind, seconds.isValid() ? std::optional(seconds.toDouble()) : std::nullopt)) {
        drawBadge(*painter, tile, *badge, option.font);
    }
    painter->restore();

    // The border, stroked inside the outline.
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(withAlpha(primary, 0.10), 1));
    painter->drawPath(roundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5));

    if (index.data(RecentTileModel::CurrentRole).toBool()) {
        // Stroked inward from an outline 3 points out.
        const qreal half = kRingWidth / 2;
        const QRectF ring = tile.adjusted(-ringOutset + half, -ringOutset + half, ringOutset - half,
                                          ringOutset - half);
        painter->setPen(
            QPen(option.palette.color(QPalette::Active, QPalette::Highlight), kRingWidth));
        painter->drawPath(roundedRect(ring, kRingRadius - half));
    }
    painter->restore();
}

} // namespace delivery
