#include "app/HotKeySync.h"
#include "app/Preferences.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <vector>

namespace {

using app::CaptureAction;

TEST(HotKeySync, RegistersAtOnceAndOnceMoreAfterEachTurnWithChanges) {
    testsupport::TempDir dir;
    app::Preferences preferences(dir.file(QStringLiteral("VexlinCapture.conf")));
    preferences.setShortcut(CaptureAction::record, std::nullopt);
    std::vector<app::ShortcutMap> registrations;
    app::HotKeySync sync(preferences, [&](const auto& map) { registrations.push_back(map); });

    ASSERT_EQ(registrations.size(), 1u);
    EXPECT_EQ(registrations[0].value(CaptureAction::record), std::nullopt);
    EXPECT_EQ(registrations[0].value(CaptureAction::area), (app::KeyShortcut{21, 0x1A0000}));

    // Two edits before the main thread turns: one registration, with both.
    preferences.setShortcut(CaptureAction::area, app::KeyShortcut{0, 0x100000});
    preferences.setShortcut(CaptureAction::window, std::nullopt);
    EXPECT_EQ(registrations.size(), 1u);
    QCoreApplication::processEvents();
    ASSERT_EQ(registrations.size(), 2u);
    EXPECT_EQ(registrations[1].value(CaptureAction::area), (app::KeyShortcut{0, 0x100000}));
    EXPECT_EQ(registrations[1].value(CaptureAction::window), std::nullopt);

    // Setting the same map again changes nothing and registers nothing.
    preferences.setShortcuts(preferences.shortcuts());
    QCoreApplication::processEvents();
    EXPECT_EQ(registrations.size(), 2u);

    preferences.resetShortcuts();
    QCoreApplication::processEvents();
    ASSERT_EQ(registrations.size(), 3u);
    EXPECT_EQ(registrations[2], app::ShortcutMap::defaults());
}

} // namespace
