#include "capture/text/TextRecognitionImage.h"

#include "TextRecognitionFixtures.h"

#include <gtest/gtest.h>

using capture::TextRecognitionImage;

namespace {

TEST(TextRecognitionImageTest, EnlargesOnlyTextTooSmallToReadReliably) {
    const std::vector<std::pair<int, qreal>> cases{{0, 1.0},  {5, 2.0},  {7, 2.0},  {8, 1.5},
                                                   {12, 1.5}, {13, 1.0}, {26, 1.0}, {90, 1.0}};
    for (const auto& [height, factor] : cases) {
        EXPECT_EQ(TextRecognitionImage::enlargement(height), factor) << height;
    }
}

TEST(TextRecognitionImageTest, SmallScreenTextIsEnlargedAndRetinaTextIsNot) {
    const QStringList lines{"Small print on a screen", "of one pixel per point"};
    const TextRecognitionImage small =
        TextRecognitionImage::prepare(textfixtures::renderLines(lines, 1, 9));
    EXPECT_EQ(small.grey.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(small.factor, 1.5);
    EXPECT_EQ(small.forText.width(), qRound(small.grey.width() * 1.5));

    const TextRecognitionImage sharp =
        TextRecognitionImage::prepare(textfixtures::renderLines(lines, 2, 9));
    EXPECT_EQ(sharp.factor, 1.0);
    EXPECT_EQ(sharp.forText.size(), sharp.grey.size());
}

TEST(TextRecognitionImageTest, TransparentPartsReadAsWhite) {
    QImage clear(20, 10, QImage::Format_ARGB32_Premultiplied);
    clear.fill(Qt::transparent);
    const TextRecognitionImage prepared = TextRecognitionImage::prepare(clear);
    EXPECT_EQ(prepared.grey.pixelColor(5, 5), QColor(Qt::white));
    EXPECT_EQ(TextRecognitionImage::typicalInkHeight(prepared.grey), 0);
}

TEST(TextRecognitionImageTest, BandsAreCutBetweenLinesOnly) {
    QStringList lines;
    for (int i = 0; i < 40; ++i) {
        lines.append(QStringLiteral("Line %1 of a long page with gjpqy descenders and ÉÀ").arg(i));
    }
    const QImage grey =
        textfixtures::renderLines(lines, 1).convertToFormat(QImage::Format_Grayscale8);
    const QList<int> cuts = TextRecognitionImage::bandCuts(grey, 4);
    ASSERT_EQ(cuts.size(), 5);
    EXPECT_EQ(cuts.front(), 0);
    EXPECT_EQ(cuts.back(), grey.height());
    for (qsizetype i = 1; i + 1 < cuts.size(); ++i) {
        EXPECT_GT(cuts[i], cuts[i - 1]);
        // Within a quarter band of the even cut.
        EXPECT_NEAR(cuts[i], grey.height() * i / 4, grey.height() / 8);
        // The cut row and its neighbours hold no ink.
        for (int y = cuts[i] - 1; y <= cuts[i] + 1; ++y) {
            const uchar* row = grey.constScanLine(y);
            EXPECT_EQ(*std::min_element(row, row + grey.width()), 255) << "row " << y;
        }
    }
    EXPECT_EQ(TextRecognitionImage::bandCuts(grey, 1), (QList<int>{0, grey.height()}));
}

TEST(TextRecognitionImageTest, APictureWithoutBlankRowsStaysWhole) {
    QImage gradient(300, 400, QImage::Format_Grayscale8);
    for (int y = 0; y < gradient.height(); ++y) {
        uchar* row = gradient.scanLine(y);
        for (int x = 0; x < gradient.width(); ++x) {
            row[x] = static_cast<uchar>(x * 255 / gradient.width());
        }
    }
    EXPECT_EQ(TextRecognitionImage::bandCuts(gradient, 4), (QList<int>{0, 400}));
}

} // namespace
