// How well our tray icon stands out from the panel it sits on, in a grab of
// the root window:
//   x11_tray_contrast PICTURE LEFT TOP WIDTH HEIGHT PANEL_X PANEL_Y
// The icon is drawn in the largest square centred in its window (LEFT, TOP,
// WIDTH, HEIGHT); the panel's colour is the pixel at PANEL_X, PANEL_Y. Prints
// the share of the square's pixels whose contrast ratio with the panel is at
// least 3; exits 1 when it is below a fifth (the mark covers about a third).
#include <QColor>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

double luminance(const QColor& colour) {
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 8) {
        std::fprintf(stderr, "usage: %s PICTURE LEFT TOP WIDTH HEIGHT PANEL_X PANEL_Y\n", argv[0]);
        return 2;
    }
    const QImage picture(QString::fromLocal8Bit(argv[1]));
    if (picture.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    const int left = std::atoi(argv[2]);
    const int top = std::atoi(argv[3]);
    const int width = std::atoi(argv[4]);
    const int height = std::atoi(argv[5]);
    const QColor panel = picture.pixelColor(std::atoi(argv[6]), std::atoi(argv[7]));
    const int side = std::min(width, height);
    const int x0 = left + (width - side) / 2;
    const int y0 = top + (height - side) / 2;
    int standing = 0;
    for (int y = y0; y < y0 + side; ++y) {
        for (int x = x0; x < x0 + side; ++x) {
            standing += contrast(picture.pixelColor(x, y), panel) >= 3 ? 1 : 0;
        }
    }
    const double share = side > 0 ? double(standing) / (side * side) : 0;
    std::printf("panel %s, icon square %dx%d at %d,%d: %.3f of it stands out\n",
                qPrintable(panel.name()), side, side, x0, y0, share);
    return share >= 0.2 ? 0 : 1;
}
