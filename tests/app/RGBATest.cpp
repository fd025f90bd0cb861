#include "app/RGBA.h"
#include "app/JsonNumber.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using app::RGBA;

namespace {

QJsonValue parse(const char* json) {
    return QJsonDocument::fromJson(json).object();
}

TEST(JsonNumber, WritesTheShortestFormThatReadsBack) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {-0.0, "-0"},
        {40, "40"},
        {-40, "-40"},
        {0.5, "0.5"},
        {0.1, "0.1"},
        {59.0 / 255, "0.23137254901960785"},
        {204.0 / 255, "0.8"},
        {1237.3333333333333, "1237.3333333333333"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {1.5e-7, "1.5e-07"},
        {786000000.123, "786000000.123"},
        {9007199254740992.0, "9007199254740992"},
        {1e16, "10000000000000000"},
        {1e17, "1e+17"},
        {1.2345678901234567e20, "1.2345678901234567e+20"},
        {-2.5e-10, "-2.5e-10"},
        {1e300, "1e+300"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(app::jsonNumber(c.value), QByteArray(c.text)) << c.text;
        EXPECT_EQ(QByteArray(c.text).toDouble(), c.value) << c.text;
    }
}

TEST(RGBA, PaletteHasNineOpaqueColoursInOrder) {
    const auto palette = RGBA::palette();
    ASSERT_EQ(palette.size(), 9u);
    EXPECT_EQ(palette[0], (RGBA{1, 59.0 / 255, 71.0 / 255, 1}));
    EXPECT_EQ(palette[2], (RGBA{1, 0.8, 0, 1}));
    EXPECT_EQ(palette[8], (RGBA{1, 1, 1, 1}));
    for (const RGBA& c : palette) {
        EXPECT_EQ(c.alpha, 1);
    }
}

TEST(RGBA, EqualityAndHashTreatNegativeZeroAsZero) {
    const RGBA a{0, 0, 0, 1};
    const RGBA b{-0.0, 0, 0, 1};
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_NE((RGBA{nan, 0, 0, 1}), (RGBA{nan, 0, 0, 1}));
    EXPECT_NE((RGBA{0, 0, 0, 1}), (RGBA{0, 0, 0, 0.5}));
}

TEST(RGBA, JsonIsCompactInMemberOrder) {
    EXPECT_EQ(*RGBA::palette()[0].toJson(),
              QByteArray(R"({"red":1,"green":0.23137254901960785,"blue":0.2784313725490196,)"
                         R"("alpha":1})"));
    EXPECT_EQ(RGBA({std::numeric_limits<double>::infinity(), 0, 0, 1}).toJson(), std::nullopt);
}

TEST(RGBA, DecodingNeedsAllFourNumbersAndIgnoresOthers) {
    QString key;
    EXPECT_EQ(RGBA::fromJson(parse(R"({"red":1,"green":0,"blue":0})"), &key), std::nullopt);
    EXPECT_EQ(key, QStringLiteral("alpha"));
    EXPECT_EQ(RGBA::fromJson(parse(R"({"red":1,"green":"0","blue":0,"alpha":1})"), &key),
              std::nullopt);
    EXPECT_EQ(key, QStringLiteral("green"));
    EXPECT_EQ(RGBA::fromJson(parse(R"({"red":1,"green":0,"blue":0,"alpha":1,"name":"red"})")),
              (RGBA{1, 0, 0, 1}));
    // Components are not clamped.
    EXPECT_EQ(RGBA::fromJson(parse(R"({"red":2,"green":-1,"blue":0,"alpha":1})")),
              (RGBA{2, -1, 0, 1}));
    EXPECT_EQ(RGBA::fromJson(QJsonValue(3)), std::nullopt);
}

TEST(RGBA, FromColorConvertsToSrgbAndInvalidIsOpaqueBlack) {
    EXPECT_EQ(RGBA::fromColor(QColor()), (RGBA{0, 0, 0, 1}));
    const RGBA hsv = RGBA::fromColor(QColor::fromHsvF(0, 1, 1));
    EXPECT_DOUBLE_EQ(hsv.red, 1);
    EXPECT_DOUBLE_EQ(hsv.green, 0);
    EXPECT_DOUBLE_EQ(hsv.blue, 0);
    const RGBA halfClear = RGBA::fromColor(QColor(0, 0, 255, 0));
    EXPECT_EQ(halfClear.alpha, 0);
}

} // namespace
