#pragma once

#include "capture/CaptureFlow.h"
#include "capture/selection/SelectionTypes.h"
#include "capture/text/TextCaptureNotice.h"
#include "capture/text/TextRecognizer.h"
#include "desktop/Scheduler.h"

#include <QFuture>
#include <QImage>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>

namespace capture {

// What a text capture does with its selection: recognises the text and codes
// of the picked picture off the main thread, puts what it found on the
// clipboard and says so with a toast; a toast tells that recognition is under
// way when it takes longer than half a second. The coordinator's busy flag is
// cleared when recognition ends. Main thread only.
class TextCaptureFlow final : public CaptureFlow {
public:
    struct Services {
        // Recognition of the picture; the future finishes on the main thread.
        std::function<QFuture<TextRecognizer::Result>(const QImage& picture, bool keepLineBreaks)>
            recognize;
        std::function<bool()> keepLineBreaks;
        // Puts the output on the clipboard (nothing leaves it alone).
        std::function<void(const TextRecognizer::Output& output)> copy;
        std::function<void(const TextCaptureNotice& notice)> notify;
        desktop::Scheduler* scheduler = nullptr;
        // Gets a recognition engine ready while the user selects; may be empty.
        std::function<void()> prepare;
    };

    // The shared recognition engines, the settings, the clipboard, toasts and
    // the event loop.
    static Services defaultServices();

    explicit TextCaptureFlow(Services services = defaultServices());
    ~TextCaptureFlow() override;
    TextCaptureFlow(const TextCaptureFlow&) = delete;
    TextCaptureFlow& operator=(const TextCaptureFlow&) = delete;

    // Loads an engine in the background (and with it the recognition
    // libraries, which the program does not load before), so that the
    // recognition does not wait for it.
    void selectionOpened() override;
    // Takes a text selection's outcome: a failure goes to the coordinator's
    // alert, a cancellation or an outcome without a picture ends quietly.
    void selectionEnded(CaptureCoordinator& coordinator, const SelectionOutcome& outcome) override;

    bool isRecognizing() const { return pending_ != nullptr; }

    // Recognitions that end sooner never show "Recognizing text…".
    static constexpr std::chrono::milliseconds recognizingNoticeDelay{500};

private:
    void finish(const TextRecognizer::Result& result);

    Services services_;
    QPointer<CaptureCoordinator> coordinator_;
    desktop::ScheduledCallPtr recognizingNotice_;
    // Watches the running recognition; dropping it drops the result.
    std::unique_ptr<QObject> pending_;
};

} // namespace capture
