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
    // The mark in `tint` ringed by `outline`: a light mark with a dark ring
    // reads on a panel of any colour, for trays that do not say theirs.
    static QIcon outlinedImage(const QColor& tint, const QColor& outline);
    // The program's own icon, for every window of it (task bars, window
    // switchers, the About and review windows): the mark in the brand blue,
    // as bitmaps of the sizes those places ask for.
    static QIcon applicationIcon();

    // Draws the mark into the 18 x 18 box at the painter's origin.
    static void draw(QPainter& painter, const QColor& color);
    // Draws the mark's outline, `width` points wide around every stroke, and
    // the mark over it.
    static void drawOutlined(QPainter& painter, const QColor& color, const QColor& outline,
                             qreal width);
    // Strokes the four corner brackets inset in `rect`.
    static void drawCorners(QPainter& painter, const QRectF& rect, qreal lineWidth,
                            const QColor& color);
    // A square bitmap of `pixels` on a side, transparent around the mark.
    static QImage render(int pixels, const QColor& color);

    // How far the ring of an outlined mark reaches beyond its strokes.
    static constexpr qreal outlineWidth = 0.9;
};

} // namespace app
