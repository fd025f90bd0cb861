#include "platform/ClientWindows.h"

#include <gtest/gtest.h>

namespace {

TEST(ClientWindows, FrameExtentsAreBelievedOnlyWithinReason) {
    const QRect client(100, 50, 400, 300);
    struct Case {
        const char* what;
        std::vector<std::uint32_t> extents; // left, right, top, bottom
        QRect expected;
    };
    const Case cases[] = {
        {"a usual frame", {1, 2, 24, 3}, QRect(99, 26, 403, 327)},
        {"no frame", {0, 0, 0, 0}, client},
        {"not announced", {}, client},
        {"too few", {1, 2, 24}, client},
        {"too many", {1, 2, 24, 3, 5}, client},
        {"a wide frame at the limit", {400, 400, 300, 300}, QRect(-300, -250, 1200, 900)},
        {"one edge above the limit", {0, 0, platform::maxFrameExtent + 1, 0}, client},
        {"wider than the window", {401, 0, 0, 0}, client},
        {"taller than the window", {0, 0, 0, 301}, client},
        {"an absurd frame",
         {4'000'000'000u, 4'000'000'000u, 4'000'000'000u, 4'000'000'000u},
         client},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::frameAroundClient(client, c.extents), c.expected) << c.what;
    }
    // A tiny window keeps only a frame it could hold.
    EXPECT_EQ(platform::frameAroundClient(QRect(0, 0, 10, 10), {1, 1, 24, 1}), QRect(0, 0, 10, 10));
}

} // namespace
