// Compares two grabs of the root window, before and while one of our rounded
// panels is shown, around the panel:
//   x11_outline_check BEFORE.png DURING.png LEFT TOP WIDTH HEIGHT RADIUS MARGIN
// The outline is the rounded rectangle (LEFT, TOP, WIDTH, HEIGHT) with corner
// RADIUS, in root pixels. Every pixel within MARGIN of it whose centre lies
// outside the outline must be as it was before (no black corners, nothing
// drawn beyond the outline); the pixels well inside must have changed (the
// panel is there). Prints what it found; exits 1 on a difference.
#include <QImage>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// How far a point lies outside the rounded rectangle (negative inside).
double outside(const QRectF& rect, double radius, double x, double y) {
    const QRectF core = rect.adjusted(radius, radius, -radius, -radius);
    const double dx = std::max({core.left() - x, 0.0, x - core.right()});
    const double dy = std::max({core.top() - y, 0.0, y - core.bottom()});
    if (dx > 0 && dy > 0) {
        return std::hypot(dx, dy) - radius;
    }
    const double inX = std::min(x - rect.left(), rect.right() - x);
    const double inY = std::min(y - rect.top(), rect.bottom() - y);
    return -std::min(inX, inY);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 9) {
        std::fprintf(stderr, "usage: %s BEFORE DURING LEFT TOP WIDTH HEIGHT RADIUS MARGIN\n",
                     argv[0]);
        return 2;
    }
    const QImage before =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    const QImage during =
        QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB32);
    if (before.isNull() || during.isNull() || before.size() != during.size()) {
        std::fprintf(stderr, "cannot read two pictures of one size\n");
        return 2;
    }
    const QRectF outline(std::atof(argv[3]), std::atof(argv[4]), std::atof(argv[5]),
                         std::atof(argv[6]));
    const double radius = std::atof(argv[7]);
    const int margin = std::atoi(argv[8]);

    const QRect area = outline.toAlignedRect()
                           .adjusted(-margin, -margin, margin, margin)
                           .intersected(before.rect());
    long outsideChanged = 0;
    long insideSame = 0;
    long inside = 0;
    int shown = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const double distance = outside(outline, radius, x + 0.5, y + 0.5);
            const bool same = before.pixel(x, y) == during.pixel(x, y);
            // A tenth of a pixel either way is the outline's own edge.
            if (distance > 0.1 && !same) {
                ++outsideChanged;
                if (shown++ < 8) {
                    std::printf("outside (%d,%d), %.2f px out: #%06x before, #%06x now\n", x, y,
                                distance, before.pixel(x, y) & 0xffffff,
                                during.pixel(x, y) & 0xffffff);
                }
            } else if (distance < -1.5) {
                ++inside;
                insideSame += same ? 1 : 0;
            }
        }
    }
    std::printf("outside changed: %ld; inside unchanged: %ld of %ld\n", outsideChanged, insideSame,
                inside);
    // The panel's own pixels may match the background here and there, by
    // chance; most of them must not.
    const bool panelShown = inside > 0 && insideSame * 20 < inside;
    if (!panelShown) {
        std::printf("the panel does not cover its outline\n");
    }
    return outsideChanged == 0 && panelShown ? 0 : 1;
}
