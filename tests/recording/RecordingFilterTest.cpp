// What a recording filter leaves out, and when two filters are the same.
#include "recording/RecordingFilter.h"

#include <gtest/gtest.h>

namespace recording {
namespace {

TEST(RecordingFilter, EqualWhenAllFourFieldsAre) {
    RecordingFilter base;
    base.hiddenApps = {"A", "B"};
    base.recordedWindows = {1, 2};
    base.window = 7;
    struct Case {
        const char* name;
        void (*change)(RecordingFilter&);
        bool equal;
    };
    const Case cases[] = {
        {"the same", [](RecordingFilter&) {}, true},
        {"the windows in another order",
         [](RecordingFilter& f) {
             f.recordedWindows = {2, 1};
         },
         true},
        {"the apps in another order",
         [](RecordingFilter& f) {
             f.hiddenApps = {"B", "A"};
         },
         false},
        {"notifications", [](RecordingFilter& f) { f.hideNotifications = true; }, false},
        {"another window", [](RecordingFilter& f) { f.window = 8; }, false},
        {"no window", [](RecordingFilter& f) { f.window.reset(); }, false},
    };
    for (const Case& c : cases) {
        RecordingFilter other = base;
        c.change(other);
        EXPECT_EQ(other == base, c.equal) << c.name;
    }
}

TEST(RecordingFilter, ExcludedAppsAndOurWindowsThatStay) {
    struct Case {
        const char* name;
        QStringList hidden;
        bool notifications;
        QSet<QString> excluded;
    };
    const Case cases[] = {
        {"nothing", {}, false, {}},
        {"notifications alone", {}, true, {platform::notificationAppId()}},
        {"empty ids are dropped", {"", "Redwin"}, false, {"Redwin"}},
        {"both", {"Redwin", "Redwin"}, true, {"Redwin", platform::notificationAppId()}},
    };
    for (const Case& c : cases) {
        RecordingFilter filter;
        filter.hiddenApps = c.hidden;
        filter.hideNotifications = c.notifications;
        EXPECT_EQ(filter.excludedAppIds(), c.excluded) << c.name;
    }

    RecordingFilter filter;
    filter.hiddenApps = {"Redwin"};
    filter.recordedWindows = {5};
    const platform::WindowsLeftOut leftOut = filter.leftOut(123, {9});
    EXPECT_EQ(leftOut.ownPid, 123);
    // Our ordinary windows and the recorded ones stay; our panels go.
    EXPECT_EQ(leftOut.ownKept, (QSet<std::uint32_t>{5, 9}));
    EXPECT_TRUE(leftOut.leavesOut({40, 40, {}, {}, 123}));
    EXPECT_FALSE(leftOut.leavesOut({5, 5, {}, {}, 123}));

    filter.window = 8;
    EXPECT_EQ(filter.shown(), (platform::WindowsShown{8, {5}}));
}

} // namespace
} // namespace recording
