// Blur and pixelate copies are made only over the areas marks ask for; each
// area must hold exactly the pixels of the whole-image filter, whatever its
// place (edges, corners, past the image) and whatever was made before.
#include "annotation/ImageFilters.h"
#include "annotation/ImageSources.h"

#include <QColorSpace>
#include <gtest/gtest.h>

#include <functional>

using namespace annotation;

namespace {

// Noise over stripes, translucent in one corner: every pixel differs from
// its neighbours, so a pixel taken from the wrong place shows.
QImage busyImage(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    quint32 seed = 12345;
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>(seed >> 26);
            const int alpha = (x < 40 && y < 30) ? 160 : 255;
            const QColor colour((x / 9) % 2 ? 200 : 30 + noise, (y * 3 + noise) % 256,
                                (x + y) % 256, alpha);
            line[x] = qPremultiply(colour.rgba());
        }
    }
    return image;
}

const QRgb kUntouched = qRgba(1, 2, 3, 4);

struct Filter {
    const char* name;
    std::function<QImage(const QImage&)> whole;
    std::function<bool(const QImage&, const QRect&, QImage&)> area;
};

std::vector<Filter> filters() {
    std::vector<Filter> list;
    for (double sigma : {18.0, 2.5}) {
        list.push_back({"blur",
                        [sigma](const QImage& i) { return imageFilters::gaussianBlur(i, sigma); },
                        [sigma](const QImage& i, const QRect& a, QImage& t) {
                            return imageFilters::gaussianBlurArea(i, sigma, a, t);
                        }});
    }
    for (double cell : {22.0, 7.5}) {
        list.push_back({"pixelate",
                        [cell](const QImage& i) { return imageFilters::pixellate(i, cell); },
                        [cell](const QImage& i, const QRect& a, QImage& t) {
                            return imageFilters::pixellateArea(i, cell, a, t);
                        }});
    }
    return list;
}

void expectSameInside(const QImage& made, const QImage& whole, const QRect& area,
                      const char* what) {
    const QRect inside = area & whole.rect();
    int wrong = 0;
    int leaked = 0;
    for (int y = 0; y < whole.height(); ++y) {
        for (int x = 0; x < whole.width(); ++x) {
            const QRgb got = made.pixel(x, y);
            if (inside.contains(x, y)) {
                wrong += got != whole.pixel(x, y);
            } else {
                leaked += got != kUntouched;
            }
        }
    }
    EXPECT_EQ(wrong, 0) << what << " area " << area.x() << "," << area.y() << " " << area.width()
                        << "x" << area.height();
    EXPECT_EQ(leaked, 0) << what << ": pixels written outside the area";
}

TEST(ImageFilterAreas, EachAreaHoldsTheWholeImageFiltersPixels) {
    const QImage image = busyImage(301, 203);
    const QRect areas[] = {
        {0, 0, 64, 50},      // a corner
        {120, 80, 70, 40},   // inside, farther than the blur reaches from every edge
        {250, 150, 51, 53},  // up to the far corner
        {-30, 100, 400, 20}, // past both sides
        {150, 101, 1, 1},    // one pixel
        {0, 0, 301, 203},    // the whole image
    };
    // A capture, a picture with straight alpha, an opaque file, a packed one.
    for (const QImage::Format format : {QImage::Format_ARGB32_Premultiplied, QImage::Format_ARGB32,
                                        QImage::Format_RGB32, QImage::Format_RGB888}) {
        const QImage source = image.convertToFormat(format);
        for (const Filter& filter : filters()) {
            const QImage whole = filter.whole(source);
            for (const QRect& area : areas) {
                QImage made(image.size(), QImage::Format_ARGB32_Premultiplied);
                made.fill(kUntouched);
                ASSERT_TRUE(filter.area(source, area, made)) << filter.name << " " << format;
                expectSameInside(made, whole, area, filter.name);
            }
        }
    }
}

TEST(ImageFilterAreas, ATargetOfAnotherSizeOrFormatIsRefused) {
    const QImage image = busyImage(40, 30);
    QImage smaller(39, 30, QImage::Format_ARGB32_Premultiplied);
    QImage otherFormat(40, 30, QImage::Format_RGB32);
    for (const Filter& filter : filters()) {
        EXPECT_FALSE(filter.area(image, image.rect(), smaller)) << filter.name;
        EXPECT_FALSE(filter.area(image, image.rect(), otherFormat)) << filter.name;
    }
}

// The document's copies, asked for area after area as marks are drawn and
// dragged, end up as the whole-image filter wherever they were asked for.
TEST(ImageFilterAreas, SourcesFillTheirCopiesAreaByAreaAsTheWholeFilterWould) {
    QImage base = busyImage(700, 530);
    base.setColorSpace(QColorSpace::SRgb);
    const double scale = 2;
    const QImage wholeBlur = imageFilters::gaussianBlur(base, 9 * scale);
    const QImage wholePixels = imageFilters::pixellate(base, 11 * scale);

    ImageSources sources(base, scale);
    const QRect asked[] = {{10, 10, 100, 80}, {90, 60, 300, 40}, {500, 400, 400, 400}};
    QRegion covered;
    for (const QRect& area : asked) {
        const QImage* blurred = sources.blurred(area);
        const QImage* pixelated = sources.pixelated(area);
        ASSERT_NE(blurred, nullptr);
        ASSERT_NE(pixelated, nullptr);
        covered += area & base.rect();
        for (const QRect& part : covered) {
            for (int y = part.top(); y <= part.bottom(); ++y) {
                for (int x = part.left(); x <= part.right(); ++x) {
                    ASSERT_EQ(blurred->pixel(x, y), wholeBlur.pixel(x, y)) << x << "," << y;
                    ASSERT_EQ(pixelated->pixel(x, y), wholePixels.pixel(x, y)) << x << "," << y;
                }
            }
        }
        EXPECT_EQ(blurred->colorSpace(), base.colorSpace());
    }
    // Without an area, the whole copy.
    EXPECT_EQ(*sources.blurred(), wholeBlur);
    EXPECT_EQ(*sources.pixelated(), wholePixels);
}

} // namespace
