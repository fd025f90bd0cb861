#pragma once

#include "capture/RecordingFlow.h"
#include "desktop/EscapeKey.h"
#include "recording/RecordingSession.h"

#include <memory>

namespace shell {

// The recording session behind the record action: the coordinator toggles
// it by phase, and each phase change is traced for the X11 tests.
class RecordingSessionHandle final : public capture::RecordingFlow::Session {
public:
    explicit RecordingSessionHandle(std::unique_ptr<recording::RecordingSession> session);
    ~RecordingSessionHandle() override;

    Phase phase() const override;
    void start() override { session_->start(); }
    void stop() override { session_->stop(); }
    void present() override { session_->present(); }

    recording::RecordingSession& session() { return *session_; }

private:
    std::unique_ptr<recording::RecordingSession> session_;
};

// The session maker that the recording flow calls: the real recorder, the
// hot keys' Escape, the "Recordings" working folder and the session's windows.
std::function<std::shared_ptr<capture::RecordingFlow::Session>(
    const capture::RecordingFlow::Request& request, capture::RecordingFlow::Completion completion,
    capture::RecordingFlow::Progress onProgress)>
recordingSessionMaker(desktop::EscapeKey& escapeKey);

// Copies a finished recording into the save folder (asking for one while
// none is stored).
std::optional<capture::CaptureFailure> saveRecordingCopy(const app::Recording& recording);

// At start, off the main thread: the movies of recordings that were cut off
// (the program killed mid-recording) are made whole and saved into the save
// folder, each with a toast; nothing unplayable stays in the working folder.
void recoverCutOffRecordings();

// The phase as the trace spells it: setup, countdown(3), recording,
// finishing(Saving…).
QString phaseText(const recording::SessionPhase& phase);

} // namespace shell
