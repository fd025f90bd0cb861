#include "capture/text/TextRecognitionImage.h"

#include <QPainter>

#include <algorithm>
#include <vector>

namespace capture {

namespace {

// A row is ink when its lightest and darkest pixels differ by this much;
// antialiasing fringes and faint gradients stay below it.
constexpr int inkContrast = 24;
// Blank runs shorter than this may sit inside one line (an accent above its
// letter), so they are never cut.
constexpr int minimumGap = 3;

std::vector<bool> inkRows(const QImage& grey) {
    std::vector<bool> rows(static_cast<size_t>(grey.height()));
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        const auto [low, high] = std::minmax_element(row, row + grey.width());
        rows[static_cast<size_t>(y)] = grey.width() > 0 && *high - *low >= inkContrast;
    }
    return rows;
}

QImage toGrey(const QImage& picture) {
    if (picture.format() == QImage::Format_Grayscale8) {
        return picture;
    }
    if (!picture.hasAlphaChannel()) {
        return picture.convertToFormat(QImage::Format_Grayscale8);
    }
    // Transparent parts read as the white page behind them, not as black.
    QImage flat(picture.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, picture);
    painter.end();
    return flat.convertToFormat(QImage::Format_Grayscale8);
}

} // namespace

int TextRecognitionImage::typicalInkHeight(const QImage& grey) {
    std::vector<int> runs;
    int run = 0;
    for (bool ink : inkRows(grey)) {
        if (ink) {
            ++run;
        } else if (run > 0) {
            runs.push_back(run);
            run = 0;
        }
    }
    if (run > 0) {
        runs.push_back(run);
    }
    if (runs.empty()) {
        return 0;
    }
    std::nth_element(runs.begin(), runs.begin() + static_cast<long>(runs.size() / 2), runs.end());
    return runs[runs.size() / 2];
}

qreal TextRecognitionImage::enlargement(int inkHeight) {
    if (inkHeight <= 0 || inkHeight >= 13) {
        return 1;
    }
    // Text this small is barely legible to people too; twice its size gives
    // the engine strokes of at least two pixels.
    return inkHeight < 8 ? 2.0 : 1.5;
}

TextRecognitionImage TextRecognitionImage::prepare(const QImage& picture) {
    TextRecognitionImage prepared;
    prepared.grey = toGrey(picture);
    prepared.grey.setDevicePixelRatio(1);
    prepared.factor = enlargement(typicalInkHeight(prepared.grey));
    prepared.forText = prepared.factor == 1
                           ? prepared.grey
                           : prepared.grey.scaled(qRound(prepared.grey.width() * prepared.factor),
                                                  qRound(prepared.grey.height() * prepared.factor),
                                                  Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return prepared;
}

QList<int> TextRecognitionImage::bandCuts(const QImage& grey, int bands) {
    const int height = grey.height();
    QList<int> cuts{0};
    if (bands > 1 && height > 0) {
        // Middles of the blank runs long enough to cut.
        std::vector<int> middles;
        const std::vector<bool> ink = inkRows(grey);
        int start = -1;
        for (int y = 0; y <= height; ++y) {
            const bool blank = y < height && !ink[static_cast<size_t>(y)];
            if (blank && start < 0) {
                start = y;
            } else if (!blank && start >= 0) {
                if (y - start >= minimumGap && start > 0 && y < height) {
                    middles.push_back((start + y) / 2);
                }
                start = -1;
            }
        }
        const int reach = height / (2 * bands);
        for (int k = 1; k < bands; ++k) {
            const int ideal = height * k / bands;
            auto nearest = std::min_element(middles.begin(), middles.end(), [ideal](int a, int b) {
                return std::abs(a - ideal) < std::abs(b - ideal);
            });
            if (nearest != middles.end() && std::abs(*nearest - ideal) <= reach &&
                *nearest > cuts.back()) {
                cuts.append(*nearest);
            }
        }
    }
    cuts.append(height);
    return cuts;
}

} // namespace capture
