#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QRectF>

class QPainter;

namespace app {

// The program's mark: four rounded corner brackets around a small rounded
// block, drawn afresh at every size instead of scaled from a bitmap.
class BrandIcon {
public:
    // The design box, in points.
    static constexpr qreal side = 18.0;

    // The mark in the given colour. Trays on X11 show icons as they are and
    // never recolour a mask, so the caller picks the colour that stands out.
    static QIcon image(const QColor& tint);

    // Draws the mark into the 18 x 18 box at the painter's origin.
    static void draw(QPainter& painter, const QColor& color);
    // Strokes the four corner brackets inset in `rect`.
    static void drawCorners(QPainter& painter, const QRectF& rect, qreal lineWidth,
                            const QColor& color);
    // A square bitmap of `pixels` on a side, transparent around the mark.
    static QImage render(int pixels, const QColor& color);
};

} // namespace app
