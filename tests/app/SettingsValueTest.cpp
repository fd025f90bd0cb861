#include "app/SettingsValue.h"

#include <gtest/gtest.h>

namespace sv = app::settingsValue;

namespace {

// What reads back from the INI file arrives as text; what was set in this
// process keeps its type. Both have to read right, anything else is absent.
TEST(SettingsValue, Booleans) {
    EXPECT_EQ(sv::toBool(true), true);
    EXPECT_EQ(sv::toBool(QStringLiteral("true")), true);
    EXPECT_EQ(sv::toBool(QStringLiteral("False")), false);
    EXPECT_EQ(sv::toBool(QStringLiteral("1")), true);
    EXPECT_EQ(sv::toBool(QStringLiteral("0")), false);
    for (const QVariant& bad :
         {QVariant(QStringLiteral("abc")), QVariant(QStringLiteral("")),
          QVariant(QStringLiteral("2")), QVariant(QStringList{"true", "x"}), QVariant()}) {
        EXPECT_EQ(sv::toBool(bad), std::nullopt) << bad.toString().toStdString();
    }
}

TEST(SettingsValue, Integers) {
    EXPECT_EQ(sv::toInt(QStringLiteral("7")), 7);
    EXPECT_EQ(sv::toInt(QStringLiteral("-2")), -2);
    EXPECT_EQ(sv::toInt(QStringLiteral(" 10 ")), 10);
    EXPECT_EQ(sv::toInt(QStringLiteral("9223372036854775807")), 9223372036854775807LL);
    EXPECT_EQ(sv::toInt(qlonglong(60)), 60);
    EXPECT_EQ(sv::toInt(5), 5);
    for (const QVariant& bad :
         {QVariant(QStringLiteral("abc")), QVariant(QStringLiteral("7.5")),
          QVariant(QStringLiteral("9223372036854775808")), QVariant(QStringLiteral("")),
          QVariant(true), QVariant(qulonglong(1) << 63), QVariant(3.0), QVariant()}) {
        EXPECT_EQ(sv::toInt(bad), std::nullopt) << bad.toString().toStdString();
    }
}

TEST(SettingsValue, StringsBytesAndLists) {
    EXPECT_EQ(sv::toString(QStringLiteral("jpeg")), QStringLiteral("jpeg"));
    EXPECT_EQ(sv::toString(QStringList{"a", "b"}), std::nullopt);
    EXPECT_EQ(sv::toString(QByteArray("jpeg")), std::nullopt);
    EXPECT_EQ(sv::toString(QVariant()), std::nullopt);

    EXPECT_EQ(sv::toBytes(QByteArray("\x00\xff", 2)), QByteArray("\x00\xff", 2));
    EXPECT_EQ(sv::toBytes(QString::fromUtf8("/home/ü")), QByteArray("/home/\xc3\xbc"));
    EXPECT_EQ(sv::toBytes(QStringList{"a", "b"}), std::nullopt);
    EXPECT_EQ(sv::toBytes(QVariant()), std::nullopt);

    EXPECT_EQ(sv::toStringList(QStringList{"a", "b"}), (QStringList{"a", "b"}));
    EXPECT_EQ(sv::toStringList(QStringLiteral("a")), QStringList{"a"});
    EXPECT_EQ(sv::toStringList(QStringLiteral("")), QStringList());
    EXPECT_EQ(sv::toStringList(QVariantList{"a", 1}), std::nullopt);
    EXPECT_EQ(sv::toStringList(QVariant(5)), std::nullopt);
}

} // namespace
