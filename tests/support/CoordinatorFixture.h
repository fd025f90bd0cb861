#pragma once

// The capture coordinator with fakes all around it, for the tests of the
// coordinator and of each flow behind it. Header-only: only the test programs
// that include it link the capture library.
#include "capture/CaptureCoordinator.h"
#include "capture/CaptureFlow.h"

#include "support/FakeEscapeKey.h"
#include "support/ManualScheduler.h"

#include <QCoreApplication>
#include <QPointer>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A flow that keeps what the coordinator hands it; it can say that it is not
// available, and its full-screen shot can fail.
class FakeFlow : public capture::CaptureFlow, public capture::FullScreenFlow {
public:
    std::optional<capture::CaptureFailure> unavailable() const override { return unavailableWith; }
    void selectionEnded(capture::CaptureCoordinator&,
                        const capture::SelectionOutcome& outcome) override {
        outcomes.push_back(outcome);
    }
    std::optional<capture::CaptureFailure>
    captureFullScreen(capture::CaptureCoordinator&) override {
        ++shots;
        if (steps != nullptr) {
            steps->push_back("full-screen");
        }
        return shotFailure;
    }

    std::vector<capture::SelectionOutcome> outcomes;
    int shots = 0;
    // When set, each shot is written down as the step "full-screen".
    std::vector<std::string>* steps = nullptr;
    std::optional<capture::CaptureFailure> unavailableWith;
    std::optional<capture::CaptureFailure> shotFailure;
};

// The coordinator on a clock that moves when the test says so, with the
// global Escape, the permission, the self-timer setting, the alert, the
// welcome window and the selection overlay all faked. A test hands it its
// table of flows (makeCoordinator) and then drives it as a user would.
class CoordinatorFixture : public ::testing::Test {
protected:
    using CaptureCoordinator = capture::CaptureCoordinator;

    void TearDown() override {
        coordinator.reset();
        drainEvents();
    }

    CaptureCoordinator::Services services() {
        CaptureCoordinator::Services s;
        s.captureTimer = [this] { return captureTimer; };
        s.preflightScreenCapture = [this] { return permitted; };
        s.requestScreenCapture = [this] { ++requests; };
        s.showWelcome = [this] { ++welcomes; };
        s.alert = [this](const QString& message, const QString& detail) {
            alerts.emplace_back(message, detail);
        };
        s.openSelection = [this](const CaptureCoordinator::SelectionRequest& request,
                                 CaptureCoordinator::SelectionCompletion completion)
            -> std::variant<CaptureCoordinator::SelectionHandle, desktop::CaptureError> {
            selections.push_back(request);
            steps.push_back(describe(request));
            if (overlayError) {
                return *overlayError;
            }
            pendingSelection = std::move(completion);
            auto handle = std::make_unique<QObject>();
            overlay = handle.get();
            return handle;
        };
        s.scheduler = &clock;
        s.escapeKey = &escape;
        return s;
    }

    void makeCoordinator(capture::CaptureFlows flows) {
        coordinator = std::make_unique<CaptureCoordinator>(std::move(flows), services());
    }

    // An action by hot key, with its step run from the event loop.
    void perform(app::CaptureAction action) {
        coordinator->perform(action, false);
        settle();
    }
    // Lets the coordinator's queued step run (hot keys wait no time).
    void settle() { clock.advance(std::chrono::milliseconds(0)); }

    // The open overlay hands back its outcome, as a user's pick or Escape does.
    void endSelection(const capture::SelectionOutcome& outcome) {
        ASSERT_TRUE(pendingSelection) << "no overlay is open";
        const auto completion = std::exchange(pendingSelection, nullptr);
        completion(outcome);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The failures' own texts, in order.
    std::vector<QString> details() const {
        std::vector<QString> texts;
        for (const auto& alert : alerts) {
            texts.push_back(alert.second);
        }
        return texts;
    }

    // The purpose an overlay was opened for, told by what it was asked to show
    // and take.
    static std::optional<capture::CapturePurpose>
    purposeOf(const CaptureCoordinator::SelectionRequest& request) {
        using capture::CapturePurpose;
        for (const CapturePurpose purpose : {CapturePurpose::screenshot, CapturePurpose::scrolling,
                                             CapturePurpose::text, CapturePurpose::recording}) {
            if (request.hint == CaptureCoordinator::selectionHint(purpose) &&
                request.takesPictures == CaptureCoordinator::takesPictures(purpose)) {
                return purpose;
            }
        }
        return std::nullopt;
    }
    // "select area scrolling", "select window screenshot"…
    static std::string describe(const CaptureCoordinator::SelectionRequest& request) {
        static const char* const names[] = {"screenshot", "scrolling", "text", "recording"};
        const auto purpose = purposeOf(request);
        return std::string("select ") +
               (request.mode == capture::SelectionMode::window ? "window " : "area ") +
               (purpose ? names[static_cast<int>(*purpose)] : "unknown");
    }

    // Lets queued calls (future watchers, deferred deletes) run.
    static void drainEvents() {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    ManualScheduler clock;
    FakeEscapeKey escape;
    int captureTimer = 0;
    bool permitted = true;
    int requests = 0;
    int welcomes = 0;
    std::vector<std::pair<QString, QString>> alerts;
    // Every overlay asked for, in order.
    std::vector<CaptureCoordinator::SelectionRequest> selections;
    // The overlays as "select MODE PURPOSE", with what fake flows add.
    std::vector<std::string> steps;
    // Set: the overlay cannot open.
    std::optional<desktop::CaptureError> overlayError;
    CaptureCoordinator::SelectionCompletion pendingSelection;
    QPointer<QObject> overlay;
    std::unique_ptr<CaptureCoordinator> coordinator;
};

} // namespace testsupport
