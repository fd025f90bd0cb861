#include "app/AppPresence.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QWidget>
#include <gtest/gtest.h>

using app::ActivationPolicy;
using app::AppPresence;

namespace {

// Runs the deferred switch back to the tray-only state, and nothing else.
void finishTurn(AppPresence& presence) {
    QCoreApplication::sendPostedEvents(&presence, QEvent::MetaCall);
}

TEST(AppPresence, StartsTrayOnly) {
    AppPresence presence;
    EXPECT_EQ(presence.openAppWindowCount(), 0);
    EXPECT_EQ(presence.activationPolicy(), ActivationPolicy::accessory);
}

TEST(AppPresence, StaysRegularUntilTheLastWindowClosesAndOneTurnPasses) {
    AppPresence presence;
    QSignalSpy changes(&presence, &AppPresence::activationPolicyChanged);
    presence.appWindowDidOpen(); // Settings
    presence.appWindowDidOpen(); // editor
    EXPECT_EQ(presence.activationPolicy(), ActivationPolicy::regular);
    EXPECT_EQ(changes.count(), 1);

    presence.appWindowDidClose(); // Settings
    finishTurn(presence);
    EXPECT_EQ(presence.openAppWindowCount(), 1);
    EXPECT_EQ(presence.activationPolicy(), ActivationPolicy::regular);

    presence.appWindowDidClose(); // editor
    EXPECT_EQ(presence.openAppWindowCount(), 0);
    EXPECT_EQ(presence.activationPolicy(), ActivationPolicy::regular) << "only one turn later";
    finishTurn(presence);
    EXPECT_EQ(presence.activationPolicy(), ActivationPolicy::accessory);
    EXPECT_EQ(changes.count(), 2);
}

TEST(AppPresence, WindowOpenedInTheSameTurnKeepsItRegular) {
    AppPresence presence;
    presence.appWindowDidOpen();
    presence.appWindowDidClose();
    presence.appWindowDidOpen();
    finishTurn(presence);
    EXPECT_EQ(presence.openAppWindowCount(), 1);
    EXPECT_EQ(presence.activationPolicy(), ActivationPolicy::regular);
}

TEST(AppPresence, UnmatchedCloseStaysAtZeroAndStillReturnsToTheTray) {
    AppPresence presence;
    presence.activateAsRegularApp();
    EXPECT_EQ(presence.openAppWindowCount(), 0) << "activation counts no window";
    EXPECT_EQ(presence.activationPolicy(), ActivationPolicy::regular);
    presence.appWindowDidClose();
    presence.appWindowDidClose();
    EXPECT_EQ(presence.openAppWindowCount(), 0);
    finishTurn(presence);
    EXPECT_EQ(presence.activationPolicy(), ActivationPolicy::accessory);
    presence.appWindowDidOpen();
    EXPECT_EQ(presence.openAppWindowCount(), 1) << "the unmatched closes left no debt";
}

TEST(AppPresence, BringWindowToFrontShowsTheWindowAndIgnoresNone) {
    app::bringWindowToFront(nullptr);
    QWidget window;
    app::bringWindowToFront(&window);
    EXPECT_TRUE(window.isVisible());
    QCoreApplication::sendPostedEvents(&window, QEvent::MetaCall);
    EXPECT_TRUE(window.isVisible());
}

} // namespace
