#include "app/CaptureAction.h"

#include <gtest/gtest.h>

#include <vector>

using app::CaptureAction;

namespace {

TEST(CaptureAction, RawValuesRoundTripInDeclarationOrder) {
    const char* raws[] = {"area",   "window",   "fullscreen", "scrolling",     "text",
                          "record", "areaCopy", "windowCopy", "fullscreenCopy"};
    int i = 0;
    for (CaptureAction action : app::captureActions::allCases()) {
        EXPECT_EQ(app::index(action), i);
        EXPECT_EQ(app::rawValue(action), QLatin1String(raws[i]));
        EXPECT_EQ(app::captureActionFromRawValue(QString::fromLatin1(raws[i])), action);
        EXPECT_EQ(app::captureActionFromIndex(i), action);
        ++i;
    }
    EXPECT_EQ(i, 9);
    EXPECT_EQ(app::captureActionFromIndex(9), std::nullopt);
    EXPECT_EQ(app::captureActionFromIndex(-1), std::nullopt);
}

TEST(CaptureAction, RejectsNearMisses) {
    for (const char* raw : {"Area", "area ", " area", "", "AREA", "fullscreencopy"}) {
        EXPECT_EQ(app::captureActionFromRawValue(QString::fromLatin1(raw)), std::nullopt) << raw;
    }
    EXPECT_EQ(app::index(*app::captureActionFromRawValue(QStringLiteral("fullscreenCopy"))), 8);
}

TEST(CaptureAction, MenuOrderPutsFullscreenBeforeWindowAndCopyActionsLast) {
    const std::vector<CaptureAction> menu(app::captureActions::menuOrder().begin(),
                                          app::captureActions::menuOrder().end());
    EXPECT_EQ(menu,
              (std::vector{CaptureAction::area, CaptureAction::fullscreen, CaptureAction::window,
                           CaptureAction::scrolling, CaptureAction::text, CaptureAction::record}));
    const std::vector<CaptureAction> copy(app::captureActions::copyActions().begin(),
                                          app::captureActions::copyActions().end());
    EXPECT_EQ(copy, (std::vector{CaptureAction::areaCopy, CaptureAction::windowCopy,
                                 CaptureAction::fullscreenCopy}));
    for (CaptureAction action : app::captureActions::allCases()) {
        EXPECT_EQ(app::copiesOnly(action),
                  std::find(copy.begin(), copy.end(), action) != copy.end());
    }
}

TEST(CaptureAction, EnglishTitles) {
    EXPECT_EQ(app::title(CaptureAction::text), QStringLiteral("Capture Text (OCR)"));
    EXPECT_EQ(app::title(CaptureAction::fullscreenCopy),
              QStringLiteral("Capture Fullscreen & Copy"));
}

} // namespace
