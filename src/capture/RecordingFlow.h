#pragma once

#include "app/Recording.h"
#include "capture/CaptureFlow.h"
#include "capture/RunningSessions.h"
#include "capture/selection/SelectionTypes.h"
#include "desktop/CaptureDisplay.h"

#include <QRect>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace capture {

// The settings a recording's delivery reads when it starts.
struct RecordingDeliverySettings {
    bool copyToClipboard = true;
    bool saveToDisk = false;
    bool openEditor = false;
    bool showQuickAccess = true;

    // The shared settings store as it is now.
    static RecordingDeliverySettings fromPreferences();
};

// What a recording selection leads to: the recording session for the picked
// region, kept in the coordinator from its setup phase until it delivers,
// with the status item's elapsed time forwarded while it records; and the
// delivery of the finished recording. The busy flag is cleared as soon as the
// region is chosen, so screenshots go on working during a recording.
// Main thread only.
class RecordingFlow final : public CaptureFlow {
public:
    // A recording session as this flow starts it: what the record action
    // toggles, and the step that shows it.
    class Session : public RecordingSessionControl {
    public:
        // Shows the frame around the region and the control bar; the session
        // then waits in its setup phase.
        virtual void present() = 0;
    };

    // What the session is to record: the display, the region in whole points
    // relative to its top-left corner, and the window recorded alone, if any.
    struct Request {
        desktop::CaptureDisplay display;
        QRect region;
        std::optional<std::uint32_t> windowID;
    };
    // Called once with the recording, or nothing when it was cancelled or not kept.
    using Completion = std::function<void(const std::optional<app::Recording>& recording)>;
    // The elapsed-time text while recording, nothing when it goes away.
    using Progress = std::function<void(const std::optional<QString>& elapsed)>;

    struct Services {
        std::function<bool()> recordWindowsAlone;
        // Creates the session (it shows nothing yet); set by the application
        // shell, which owns the recording subsystem. None: recording is not
        // available and the record action says so.
        std::function<std::shared_ptr<Session>(const Request& request, Completion completion,
                                               Progress onProgress)>
            makeSession;

        std::function<RecordingDeliverySettings()> settings;
        // Replaces the clipboard's contents with a reference to the file.
        std::function<void(const QUrl& file)> copyFileReference;
        // Saves a copy into the save folder; the failure, if any (a
        // cancelled folder choice is a user cancellation).
        std::function<std::optional<CaptureFailure>(const app::Recording& recording)> saveCopy;
        // Set by the application shell.
        std::function<void(const app::Recording& recording)> openVideoEditor;
        std::function<void(const app::Recording& recording)> showQuickAccess;
    };

    // The settings and the clipboard; no session, copy, editor or Quick
    // Access (the application shell sets those).
    static Services defaultServices();

    explicit RecordingFlow(Services services = defaultServices());
    ~RecordingFlow() override;
    RecordingFlow(const RecordingFlow&) = delete;
    RecordingFlow& operator=(const RecordingFlow&) = delete;

    // Without a way to make a recording session, the record action says so
    // before anything opens.
    std::optional<CaptureFailure> unavailable() const override;

    // Takes a recording selection's outcome.
    void selectionEnded(CaptureCoordinator& coordinator, const SelectionOutcome& outcome) override;
    // The session's completion.
    // A completion from a session that is no longer the coordinator's leaves
    // the coordinator's current session alone.
    void finishRecording(CaptureCoordinator& coordinator, std::shared_ptr<Session> session,
                         const std::optional<app::Recording>& recording);
    // The session's progress, on to the status item.
    static void reportRecordingProgress(CaptureCoordinator& coordinator,
                                        const std::optional<QString>& elapsed);
    // Copies, saves and shows a finished recording as the settings say.
    void deliverRecording(CaptureCoordinator& coordinator, const app::Recording& recording);

    // Smaller regions are dropped without a word: a stray click.
    static constexpr double minimumSide = 16;

    // The failure of a recording that this build cannot make.
    static CaptureFailure cannotRecord();

private:
    Services services_;
    // Completions check it: a session may outlive the flow.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace capture
