#include "capture/TextCaptureFlow.h"

#include "app/Preferences.h"
#include "capture/CaptureCoordinator.h"
#include "capture/CoordinatorTrace.h"

#include <QCoreApplication>
#include <QFutureWatcher>

namespace capture {

namespace {

QString kindName(TextRecognizer::Output::Kind kind) {
    switch (kind) {
    case TextRecognizer::Output::Kind::codes:
        return QStringLiteral("codes");
    case TextRecognizer::Output::Kind::text:
        return QStringLiteral("text");
    case TextRecognizer::Output::Kind::nothing:
        break;
    }
    return QStringLiteral("nothing");
}

void traceNotice(const TextCaptureNotice& notice) {
    if (!coordinatorTraceEnabled()) {
        return;
    }
    traceCoordinator(QStringLiteral("text toast title=\"%1\" detail=\"%2\" symbol=%3")
                         .arg(notice.title, notice.detail.value_or(QString()), notice.symbol));
}

TextRecognizer::Result stoppedEarly() {
    //: Failure alert text when text recognition ended without an answer
    return TextRecognizer::Failure{QCoreApplication::translate(
        "TextCapture", "Text recognition stopped before it finished. Nothing was copied.")};
}

} // namespace

TextCaptureFlow::Services TextCaptureFlow::defaultServices() {
    Services services;
    services.recognize = [](const QImage& picture, bool keepLineBreaks) {
        return TextRecognizer::recognize(picture, keepLineBreaks);
    };
    services.keepLineBreaks = [] { return app::Preferences::shared().ocrKeepLineBreaks(); };
    services.copy = &copyTextCaptureOutput;
    services.notify = [](const TextCaptureNotice& notice) { notice.show(); };
    services.scheduler = &desktop::mainScheduler();
    services.prepare = [] { TextRecognizer::warmUp(); };
    return services;
}

TextCaptureFlow::TextCaptureFlow(Services services) : services_(std::move(services)) {
    Q_ASSERT(services_.recognize && services_.scheduler != nullptr);
}

TextCaptureFlow::~TextCaptureFlow() = default;

void TextCaptureFlow::selectionOpened() {
    if (services_.prepare) {
        services_.prepare();
    }
}

void TextCaptureFlow::selectionEnded(CaptureCoordinator& coordinator,
                                     const SelectionOutcome& outcome) {
    switch (outcome.kind) {
    case SelectionOutcome::Kind::failed:
        coordinator.presentCaptureError(CaptureFailure::of(outcome));
        coordinator.clearBusy();
        return;
    case SelectionOutcome::Kind::cancelled:
        coordinator.clearBusy();
        return;
    case SelectionOutcome::Kind::area:
    case SelectionOutcome::Kind::window:
    case SelectionOutcome::Kind::display:
        break;
    }
    if (!outcome.picture || outcome.picture->image.isNull()) {
        coordinator.clearBusy();
        return;
    }

    coordinator_ = &coordinator;
    recognizingNotice_ = services_.scheduler->after(recognizingNoticeDelay, [this] {
        recognizingNotice_.reset();
        const TextCaptureNotice notice = TextCaptureNotice::recognizing();
        traceNotice(notice);
        if (services_.notify) {
            services_.notify(notice);
        }
    });

    const bool keepLineBreaks = services_.keepLineBreaks ? services_.keepLineBreaks() : true;
    traceCoordinator(QStringLiteral("text recognize keepLineBreaks=") +
                     (keepLineBreaks ? QStringLiteral("true") : QStringLiteral("false")));
    auto* watcher = new QFutureWatcher<TextRecognizer::Result>;
    pending_.reset(watcher);
    QObject::connect(watcher, &QFutureWatcher<TextRecognizer::Result>::finished, watcher,
                     [this, watcher] {
                         const QFuture<TextRecognizer::Result> future = watcher->future();
                         // A recognition that ends without a result (its task
                         // was dropped) still has to free the coordinator.
                         const TextRecognizer::Result result =
                             future.resultCount() > 0 ? future.result() : stoppedEarly();
                         finish(result);
                     });
    watcher->setFuture(services_.recognize(outcome.picture->image, keepLineBreaks));
}

void TextCaptureFlow::finish(const TextRecognizer::Result& result) {
    // The watcher goes once this call has returned.
    pending_.release()->deleteLater();
    recognizingNotice_.reset();
    const QPointer<CaptureCoordinator> coordinator = coordinator_;
    coordinator_ = nullptr;

    if (const auto* failure = std::get_if<TextRecognizer::Failure>(&result)) {
        traceCoordinator(QStringLiteral("text failed: ") + failure->description);
        if (coordinator) {
            coordinator->presentCaptureError({failure->description, false});
            coordinator->clearBusy();
        }
        return;
    }

    const auto& recognized = std::get<TextRecognizer::Recognized>(result);
    const TextRecognizer::Output output = TextRecognizer::output(recognized.codes, recognized.text);
    traceCoordinator(QStringLiteral("text output kind=") + kindName(output.kind));
    if (services_.copy) {
        services_.copy(output);
    }
    const TextCaptureNotice notice = TextCaptureNotice::forOutput(output);
    traceNotice(notice);
    if (services_.notify) {
        services_.notify(notice);
    }
    if (coordinator) {
        coordinator->clearBusy();
    }
}

} // namespace capture
