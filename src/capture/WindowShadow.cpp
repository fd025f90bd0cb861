#include "capture/WindowShadow.h"

#include <QPainter>

#include <array>
#include <cmath>
#include <vector>

namespace capture::WindowShadow {

namespace {

constexpr double kSide = 40.0;
constexpr double kAbove = 26.0;
constexpr double kBelow = 54.0;

struct Pass {
    double drop;  // points downwards
    double blur;  // points
    double alpha; // of black
};
// A wide, dropped shade, then a thin rim right at the edge.
constexpr std::array<Pass, 2> kPasses{{{16.0, 38.0, 0.42}, {0.0, 1.5, 0.32}}};

int roundHalfAway(double value) {
    return static_cast<int>(std::lround(value));
}

// Widths of three box filters whose repeated use approximates a Gaussian of
// standard deviation sigma.
std::array<int, 3> boxWidths(double sigma) {
    constexpr int n = 3;
    const double ideal = std::sqrt(12.0 * sigma * sigma / n + 1.0);
    int lower = static_cast<int>(std::floor(ideal));
    if (lower % 2 == 0) {
        --lower;
    }
    const int upper = lower + 2;
    const double mIdeal = (12.0 * sigma * sigma - n * lower * lower - 4.0 * n * lower - 3.0 * n) /
                          (-4.0 * lower - 4.0);
    const int m = static_cast<int>(std::lround(mIdeal));
    std::array<int, 3> widths{};
    for (int i = 0; i < n; ++i) {
        widths[static_cast<std::size_t>(i)] = i < m ? lower : upper;
    }
    return widths;
}

// Mean over 2r+1 neighbours along each row, zero outside.
void boxRows(const std::uint8_t* in, std::uint8_t* out, int width, int height, qsizetype stride,
             int r) {
    const int span = 2 * r + 1;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = in + stride * y;
        std::uint8_t* dst = out + stride * y;
        int sum = 0;
        for (int x = 0; x <= r && x < width; ++x) {
            sum += row[x];
        }
        for (int x = 0; x < width; ++x) {
            dst[x] = static_cast<std::uint8_t>((sum + span / 2) / span);
            if (x + r + 1 < width) {
                sum += row[x + r + 1];
            }
            if (x - r >= 0) {
                sum -= row[x - r];
            }
        }
    }
}

// The same down each column, walking rows so that memory is read in order.
void boxColumns(const std::uint8_t* in, std::uint8_t* out, int width, int height, qsizetype stride,
                int r) {
    const int span = 2 * r + 1;
    std::vector<int> sums(static_cast<std::size_t>(width), 0);
    for (int y = 0; y <= r && y < height; ++y) {
        const std::uint8_t* row = in + stride * y;
        for (int x = 0; x < width; ++x) {
            sums[static_cast<std::size_t>(x)] += row[x];
        }
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* dst = out + stride * y;
        for (int x = 0; x < width; ++x) {
            dst[x] =
                static_cast<std::uint8_t>((sums[static_cast<std::size_t>(x)] + span / 2) / span);
        }
        if (y + r + 1 < height) {
            const std::uint8_t* add = in + stride * (y + r + 1);
            for (int x = 0; x < width; ++x) {
                sums[static_cast<std::size_t>(x)] += add[x];
            }
        }
        if (y - r >= 0) {
            const std::uint8_t* sub = in + stride * (y - r);
            for (int x = 0; x < width; ++x) {
                sums[static_cast<std::size_t>(x)] -= sub[x];
            }
        }
    }
}

// The window's coverage, moved by `offset`, on a mask of the canvas's size.
QImage coverage(const QImage& window, QSize canvas, QPoint offset) {
    QImage mask(canvas, QImage::Format_Alpha8);
    mask.fill(0);
    const QRect target = QRect(offset, window.size()).intersected(mask.rect());
    for (int y = target.top(); y <= target.bottom(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(window.constScanLine(y - offset.y()));
        std::uint8_t* out = mask.scanLine(y);
        for (int x = target.left(); x <= target.right(); ++x) {
            out[x] = static_cast<std::uint8_t>(qAlpha(in[x - offset.x()]));
        }
    }
    return mask;
}

QImage shade(const QImage& mask, double alpha) {
    QImage out(mask.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < mask.height(); ++y) {
        const std::uint8_t* in = mask.constScanLine(y);
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < mask.width(); ++x) {
            const int a = static_cast<int>(std::lround(in[x] * alpha));
            dst[x] = qRgba(0, 0, 0, a);
        }
    }
    return out;
}

} // namespace

QMarginsF margins(double scale) {
    return QMarginsF(kSide * scale, kAbove * scale, kSide * scale, kBelow * scale);
}

QSize canvasSize(const QSize& size, double scale) {
    const QMarginsF m = margins(scale);
    return QSize(roundHalfAway(size.width() + m.left() + m.right()),
                 roundHalfAway(size.height() + m.top() + m.bottom()));
}

void blurAlpha(QImage& mask, double sigma) {
    if (mask.isNull() || mask.format() != QImage::Format_Alpha8 || sigma < 0.3) {
        return;
    }
    QImage scratch(mask.size(), QImage::Format_Alpha8);
    const int w = mask.width();
    const int h = mask.height();
    const qsizetype stride = mask.bytesPerLine();
    for (int width : boxWidths(sigma)) {
        const int r = (width - 1) / 2;
        if (r <= 0) {
            continue;
        }
        boxRows(mask.constBits(), scratch.bits(), w, h, stride, r);
        boxColumns(scratch.constBits(), mask.bits(), w, h, stride, r);
    }
}

QImage addWindowShadow(const QImage& window, double scale) {
    if (window.isNull() || !(scale > 0)) {
        return window;
    }
    const QSize size = canvasSize(window.size(), scale);
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull()) {
        return window;
    }
    canvas.fill(Qt::transparent);
    QImage source = window.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    source.setDevicePixelRatio(1.0);
    // The window keeps whole-pixel positions so that it stays sharp: its
    // margins are 40 points at the sides, 26 above and 54 below.
    const QPoint at(roundHalfAway(kSide * scale),
                    size.height() - roundHalfAway(kBelow * scale) - window.height());

    QPainter painter(&canvas);
    for (const Pass& pass : kPasses) {
        QImage mask = coverage(source, size, at + QPoint(0, roundHalfAway(pass.drop * scale)));
        // A shadow's blur radius spans about two standard deviations.
        blurAlpha(mask, pass.blur * scale / 2.0);
        painter.drawImage(QPoint(0, 0), shade(mask, pass.alpha));
        painter.drawImage(at, source);
    }
    painter.end();
    canvas.setDevicePixelRatio(window.devicePixelRatio());
    return canvas;
}

} // namespace capture::WindowShadow
