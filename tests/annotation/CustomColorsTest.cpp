#include "annotation/CustomColors.h"

#include "support/TempDir.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace annotation;

namespace {

RGBA n(int r, int g, int b) {
    return RGBA::fromBytes(r, g, b);
}

TEST(CustomColorList, AddNormalisesDeduplicatesAndKeepsTen) {
    CustomColorList list = CustomColors::add({}, 0.5, 0.2, 0.9);
    ASSERT_EQ(list.colors.size(), 1u);
    EXPECT_EQ(list.colors[0], (RGBA{128 / 255.0, 51 / 255.0, 230 / 255.0, 1}));
    list = CustomColors::add(list, 0.1, 0.1, 0.1);
    list = CustomColors::add(list, 0.5, 0.2, 0.9);
    ASSERT_EQ(list.colors.size(), 2u);
    EXPECT_EQ(list.colors[0], n(128, 51, 230));
    for (int i = 0; i < 12; ++i) {
        list = CustomColors::add(list, i / 100.0, 0.5, 0.5);
    }
    EXPECT_EQ(list.colors.size(), 10u);
    EXPECT_EQ(list.colors[0], CustomColors::normalize(0.11, 0.5, 0.5));
    // Palette colours, whatever their alpha was, change nothing.
    const CustomColorList before = list;
    EXPECT_EQ(CustomColors::add(list, 1, 1, 1), before);
    EXPECT_EQ(CustomColors::add(list, 1, 59 / 255.0, 71 / 255.0), before);
    // Out-of-range components are clamped first.
    EXPECT_EQ(CustomColors::normalize(-0.3, 1.7, 0.5), (RGBA{0, 1, 128 / 255.0, 1}));
}

TEST(CustomColorList, RemovingMatchesWithinTheStep) {
    const CustomColorList list = CustomColorList::normalized({n(10, 20, 30), n(40, 50, 60)});
    const CustomColorList removed =
        list.removing(RGBA{10 / 255.0 + 0.001, 20 / 255.0, 30 / 255.0, 0.3});
    ASSERT_EQ(removed.colors.size(), 1u);
    EXPECT_EQ(removed.colors[0], n(40, 50, 60));
}

class CustomColorsStore : public testing::Test {
protected:
    testsupport::TempDir dir;
    QSettings settings{dir.file(QStringLiteral("settings.conf")), QSettings::IniFormat};
};

TEST_F(CustomColorsStore, WritesABareJsonArrayAndReadsItBack) {
    {
        CustomColors colours(&settings);
        QSignalSpy changed(&colours, &CustomColors::listChanged);
        colours.setList(CustomColors::add({}, 0.5, 0.2, 0.9));
        EXPECT_EQ(changed.count(), 1);
        colours.setList(colours.list());
        EXPECT_EQ(changed.count(), 1) << "an equal list is not written";
    }
    EXPECT_EQ(settings.value(QLatin1String(CustomColors::settingsKey)).toByteArray(),
              QByteArray(R"([{"red":0.5019607843137255,"green":0.2,"blue":0.9019607843137255,)"
                         R"("alpha":1}])"));
    CustomColors again(&settings);
    EXPECT_EQ(again.list().colors, (std::vector{n(128, 51, 230)}));
}

TEST_F(CustomColorsStore, StoredValuesAreNormalisedOrIgnored) {
    QByteArray twelve = "[";
    for (int i = 0; i < 12; ++i) {
        const int v = i % 6;
        twelve += QByteArray(i ? "," : "") + R"({"red":)" + QByteArray::number(v / 10.0) +
                  R"(,"green":0,"blue":0,"alpha":0.5})";
    }
    twelve += "]";
    settings.setValue(QLatin1String(CustomColors::settingsKey), twelve);
    EXPECT_EQ(CustomColors(&settings).list().colors.size(), 6u);

    for (const char* bad : {R"({"red":1})", "[1,2]", "nonsense", R"([{"red":1,"green":0}])"}) {
        settings.setValue(QLatin1String(CustomColors::settingsKey), QByteArray(bad));
        CustomColors colours(&settings);
        EXPECT_TRUE(colours.list().colors.empty()) << bad;
        EXPECT_EQ(settings.value(QLatin1String(CustomColors::settingsKey)).toByteArray(),
                  QByteArray(bad))
            << "left in place";
    }
}

TEST_F(CustomColorsStore, OnlyTheLastOfQuickOffersSettlesAfterASecond) {
    CustomColors colours(&settings);
    QElapsedTimer clock;
    clock.start();
    colours.colorDidChange(n(1, 2, 3));
    colours.colorDidChange(n(4, 5, 6));
    colours.colorDidChange(n(7, 8, 9));
    QTest::qWait(700);
    EXPECT_TRUE(colours.list().colors.empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !colours.list().colors.empty(); }, 2000));
    EXPECT_GE(clock.elapsed(), 950);
    EXPECT_EQ(colours.list().colors, (std::vector{n(7, 8, 9)}));
}

TEST_F(CustomColorsStore, CommittingAddsThePendingColourAtOnce) {
    CustomColors colours(&settings);
    colours.colorDidChange(n(7, 8, 9));
    colours.commitPendingColor();
    EXPECT_FALSE(colours.hasPendingColor());
    EXPECT_EQ(colours.list().colors, (std::vector{n(7, 8, 9)}));
    QTest::qWait(1100);
    EXPECT_EQ(colours.list().colors.size(), 1u) << "the wait was stopped";
}

TEST(CustomColorsInMemory, WorksWithoutSettings) {
    CustomColors colours(nullptr);
    colours.setList(CustomColors::add({}, 0.3, 0.3, 0.3));
    EXPECT_EQ(colours.list().colors.size(), 1u);
}

} // namespace
