// The badge over the canvas: how long it stays, which timer may clear it,
// and what assistive technology hears.
#include "editor/export/ConfirmationBadgeModel.h"

#include "support/ManualScheduler.h"

#include <QSignalSpy>
#include <QWidget>

#include <gtest/gtest.h>

using editor::ConfirmationBadgeModel;
using std::chrono::milliseconds;

namespace {

std::optional<QString> shownText(const ConfirmationBadgeModel& badge) {
    if (!badge.confirmation()) {
        return std::nullopt;
    }
    return badge.confirmation()->text;
}

} // namespace

TEST(ConfirmationBadgeTest, EachBadgeStaysItsFullTimeWhateverCameBefore) {
    struct Step {
        milliseconds at;
        std::optional<QString> show;
        std::optional<QString> expected;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"one badge",
         {{milliseconds(0), "Copied", "Copied"},
          {milliseconds(1399), std::nullopt, "Copied"},
          {milliseconds(1400), std::nullopt, std::nullopt}}},
        {"a second badge within the time",
         {{milliseconds(0), "Copied", "Copied"},
          {milliseconds(1000), "Saved", "Saved"},
          {milliseconds(1400), std::nullopt, "Saved"},
          {milliseconds(2399), std::nullopt, "Saved"},
          {milliseconds(2400), std::nullopt, std::nullopt}}},
        {"the same text again",
         {{milliseconds(0), "Saved", "Saved"},
          {milliseconds(700), "Saved", "Saved"},
          {milliseconds(1400), std::nullopt, "Saved"},
          {milliseconds(2100), std::nullopt, std::nullopt}}},
    };
    for (const Case& c : cases) {
        testsupport::ManualScheduler scheduler;
        ConfirmationBadgeModel badge(scheduler);
        for (const Step& step : c.steps) {
            scheduler.advance(step.at - scheduler.now());
            if (step.show) {
                badge.show(*step.show);
            }
            EXPECT_EQ(step.expected, shownText(badge)) << c.what << " at " << step.at.count();
        }
    }
}

TEST(ConfirmationBadgeTest, EveryBadgeIsNewToItsObservers) {
    testsupport::ManualScheduler scheduler;
    ConfirmationBadgeModel badge(scheduler);
    QSignalSpy changed(&badge, &ConfirmationBadgeModel::confirmationChanged);
    badge.show("Saved");
    const QUuid first = badge.confirmation()->id;
    badge.show("Saved");
    EXPECT_NE(first, badge.confirmation()->id);
    EXPECT_EQ(2, changed.count());
    // An equal value is stored silently.
    badge.setConfirmation(badge.confirmation());
    EXPECT_EQ(2, changed.count());
    scheduler.advance(ConfirmationBadgeModel::visibleFor);
    EXPECT_EQ(3, changed.count());
    EXPECT_EQ(0u, scheduler.pending());
}

TEST(ConfirmationBadgeTest, AGoneBadgeLeavesNoTimerBehind) {
    testsupport::ManualScheduler scheduler;
    {
        ConfirmationBadgeModel badge(scheduler);
        badge.show("Copied");
    }
    scheduler.advance(ConfirmationBadgeModel::visibleFor); // would touch the gone badge
    EXPECT_EQ(0u, scheduler.pending());
}

TEST(ConfirmationBadgeTest, EachBadgeIsAnnouncedThroughItsViewsName) {
    testsupport::ManualScheduler scheduler;
    ConfirmationBadgeModel badge(scheduler);
    QWidget view;
    badge.show("Copied"); // no view yet: nothing to announce through
    EXPECT_EQ(QString(), view.accessibleName());
    badge.setAnnouncer(&view);
    badge.show("Saved");
    EXPECT_EQ("Saved", view.accessibleName());
    scheduler.advance(ConfirmationBadgeModel::visibleFor);
    EXPECT_EQ(QString(), view.accessibleName());
    badge.show("Copied");
    EXPECT_EQ("Copied", view.accessibleName());
}
