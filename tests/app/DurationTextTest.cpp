#include "app/Recording.h"

#include <gtest/gtest.h>

#include <limits>

TEST(DurationText, WholeMinutesAndTwoDigitSecondsWithoutHours) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0, "0:00"},
        {59.9, "0:59"},
        {61, "1:01"},
        {65.4, "1:05"},
        {599.99, "9:59"},
        {3725, "62:05"},
        {-3, "0:00"},
        {std::numeric_limits<double>::quiet_NaN(), "0:00"},
        {std::numeric_limits<double>::infinity(), "0:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QString::fromLatin1(c.text), app::durationText(c.seconds)) << c.seconds;
    }
}
