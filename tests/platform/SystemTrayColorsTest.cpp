#include "platform/SystemTrayColors.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemTrayColors, ForegroundIsTheFirstThreeSixteenBitChannels) {
    struct Case {
        std::vector<std::uint32_t> words;
        std::optional<QColor> foreground;
    };
    const Case cases[] = {
        // foreground, then error, warning and success
        {{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0xFFFF, 0x8000, 0, 0, 0xFFFF, 0},
         QColor(255, 255, 255)},
        {{0x1010, 0x2020, 0x3030, 0, 0, 0, 0, 0, 0, 0, 0, 0}, QColor(0x10, 0x20, 0x30)},
        // the foreground alone is enough
        {{0, 0, 0}, QColor(0, 0, 0)},
        // channels beyond 16 bits are clamped, not wrapped
        {{0x1FFFF, 0, 0}, QColor(255, 0, 0)},
        {{0xFFFF, 0xFFFF}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<QColor> got = platform::trayForegroundFrom(c.words);
        ASSERT_EQ(got.has_value(), c.foreground.has_value()) << c.words.size();
        if (got) {
            EXPECT_EQ(got->toRgb().rgba(), c.foreground->rgba());
        }
    }
}

} // namespace
