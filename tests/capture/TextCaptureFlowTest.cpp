#include "capture/TextCaptureFlow.h"

#include "support/CoordinatorFixture.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QPromise>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using app::CaptureAction;
using capture::CaptureCoordinator;
using capture::SelectionOutcome;
using capture::TextCaptureFlow;
using capture::TextCaptureNotice;
using capture::TextRecognizer::Failure;
using capture::TextRecognizer::Recognized;
using capture::TextRecognizer::Result;
using namespace std::chrono_literals;

namespace {

SelectionOutcome areaWithPicture() {
    capture::SelectionPick pick =
        capture::SelectionPick::area(desktop::CaptureDisplay{}, QRectF(10, 10, 200, 60));
    QImage image(200, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    return SelectionOutcome::of(pick, capture::SelectionPicture{image, 1.0, false});
}

class TextCaptureFlowTest : public testsupport::CoordinatorFixture {
protected:
    void SetUp() override {
        TextCaptureFlow::Services text;
        text.recognize = [this](const QImage& picture, bool keepLineBreaks) {
            recognizedPictures.push_back(picture);
            lineBreaks.push_back(keepLineBreaks);
            promise = std::make_unique<QPromise<Result>>();
            promise->start();
            return promise->future();
        };
        text.keepLineBreaks = [this] { return keepLineBreaks; };
        text.copy = &capture::copyTextCaptureOutput;
        text.notify = [this](const TextCaptureNotice& notice) { notices.push_back(notice); };
        text.scheduler = &clock;
        text.prepare = [this] { ++preparations; };
        flow = std::make_shared<TextCaptureFlow>(text);
        capture::CaptureFlows flows;
        flows.text = flow;
        makeCoordinator(flows);

        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }
    void TearDown() override {
        flow.reset();
        CoordinatorFixture::TearDown();
    }

    // The text action up to its selection, which leaves the coordinator busy.
    void beginTextAction() {
        perform(CaptureAction::text);
        ASSERT_TRUE(coordinator->isBusy());
        ASSERT_TRUE(pendingSelection);
    }

    void answer(const Result& result) {
        ASSERT_TRUE(promise);
        promise->addResult(result);
        promise->finish();
        drainEvents();
    }

    static QString clipboardText() { return QGuiApplication::clipboard()->text(); }

    std::shared_ptr<TextCaptureFlow> flow;
    std::unique_ptr<QPromise<Result>> promise;
    std::vector<QImage> recognizedPictures;
    std::vector<bool> lineBreaks;
    bool keepLineBreaks = true;
    std::vector<TextCaptureNotice> notices;
    int preparations = 0;
};

// The engine loads while the user picks, not at launch and not after the pick.
TEST_F(TextCaptureFlowTest, GetsTheEngineReadyOnceTheOverlayIsUp) {
    EXPECT_EQ(preparations, 0);
    beginTextAction();
    EXPECT_EQ(preparations, 1);
    EXPECT_TRUE(recognizedPictures.empty());
    endSelection(areaWithPicture());
    EXPECT_EQ(preparations, 1);
    answer(Recognized{QString(), {}});
}

struct ResultCase {
    const char* name;
    QStringList codes;
    QString text;
    // What the clipboard holds afterwards ("before" when left alone).
    QString clipboard;
    QString title;
    std::optional<QString> detail;
    QString symbol;
};

TEST_F(TextCaptureFlowTest, EachResultCopiesWhatItFoundAndSaysSo) {
    const QString long120 = QString(120, QLatin1Char('x'));
    const ResultCase cases[] = {
        {"text",
         {},
         "Vexlin 2026 OCR",
         "Vexlin 2026 OCR",
         "Text copied",
         "Vexlin 2026 OCR",
         "checkmark.circle.fill"},
        {"lines shown on one line",
         {},
         "one\ntwo",
         "one\ntwo",
         "Text copied",
         "one two",
         "checkmark.circle.fill"},
        {"long text copied whole, previewed short",
         {},
         long120,
         long120,
         "Text copied",
         QString(90, QLatin1Char('x')) + QStringLiteral("…"),
         "checkmark.circle.fill"},
        {"link wins over text",
         {"https://example.org/x"},
         "some words",
         "https://example.org/x",
         "Link copied",
         "https://example.org/x",
         "link"},
        {"code that is not a link",
         {"WIFI:S:home;;"},
         "",
         "WIFI:S:home;;",
         "QR code copied",
         "WIFI:S:home;;",
         "qrcode"},
        {"two links are codes, not a link",
         {"https://a.example", "https://b.example"},
         "",
         "https://a.example\nhttps://b.example",
         "QR code copied",
         "https://a.example https://b.example",
         "qrcode"},
        {"blank text", {}, " \n ", "before", "No text found", std::nullopt, "text.magnifyingglass"},
        {"nothing at all", {}, "", "before", "No text found", std::nullopt, "text.magnifyingglass"},
    };
    for (const ResultCase& c : cases) {
        SCOPED_TRACE(c.name);
        notices.clear();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        beginTextAction();
        endSelection(areaWithPicture());
        EXPECT_TRUE(coordinator->isBusy());
        EXPECT_TRUE(flow->isRecognizing());
        answer(Recognized{c.text, c.codes});

        EXPECT_FALSE(coordinator->isBusy());
        EXPECT_FALSE(flow->isRecognizing());
        EXPECT_EQ(clipboardText(), c.clipboard);
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].title, c.title);
        EXPECT_EQ(notices[0].detail, c.detail);
        EXPECT_EQ(notices[0].symbol, c.symbol);
        EXPECT_TRUE(alerts.empty());
    }
}

TEST_F(TextCaptureFlowTest, CopiedTextIsPlainTextAlone) {
    beginTextAction();
    endSelection(areaWithPicture());
    answer(Recognized{QString(), {QStringLiteral("https://example.org/x")}});
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->formats(), QStringList{QStringLiteral("text/plain")});
}

TEST_F(TextCaptureFlowTest, RecognizesThePictureWithTheLineBreakSetting) {
    for (const bool keep : {true, false}) {
        keepLineBreaks = keep;
        beginTextAction();
        const SelectionOutcome outcome = areaWithPicture();
        endSelection(outcome);
        answer(Recognized{});
        ASSERT_FALSE(lineBreaks.empty());
        EXPECT_EQ(lineBreaks.back(), keep);
        EXPECT_EQ(recognizedPictures.back(), outcome.picture->image);
    }
}

TEST_F(TextCaptureFlowTest, SlowRecognitionSaysItIsRecognizingFirst) {
    struct TimingCase {
        std::chrono::milliseconds takes;
        std::vector<QString> titles;
    };
    const TimingCase cases[] = {
        {300ms, {"Text copied"}},
        {499ms, {"Text copied"}},
        {2000ms, {"Recognizing text…", "Text copied"}},
    };
    for (const TimingCase& c : cases) {
        SCOPED_TRACE(c.takes.count());
        notices.clear();
        beginTextAction();
        endSelection(areaWithPicture());
        clock.advance(c.takes);
        answer(Recognized{QStringLiteral("words"), {}});
        // A notice that was still waiting never comes afterwards.
        clock.advance(5s);
        std::vector<QString> titles;
        for (const TextCaptureNotice& notice : notices) {
            titles.push_back(notice.title);
        }
        EXPECT_EQ(titles, c.titles);
    }
}

TEST_F(TextCaptureFlowTest, RecognitionFailureShowsTheAlertAndFreesTheCoordinator) {
    beginTextAction();
    endSelection(areaWithPicture());
    answer(Failure{QStringLiteral("No language data for text recognition is installed.")});
    clock.advance(5s);

    EXPECT_FALSE(coordinator->isBusy());
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].second, "No language data for text recognition is installed.");
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(clipboardText(), "before");
}

TEST_F(TextCaptureFlowTest, RecognitionThatEndsWithoutAnAnswerIsAFailure) {
    beginTextAction();
    endSelection(areaWithPicture());
    promise->finish();
    drainEvents();

    EXPECT_FALSE(coordinator->isBusy());
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_FALSE(alerts[0].second.isEmpty());
    EXPECT_TRUE(notices.empty());
}

TEST_F(TextCaptureFlowTest, OutcomesWithoutAPictureEndWithoutRecognition) {
    struct OutcomeCase {
        const char* name;
        SelectionOutcome outcome;
        size_t alerts;
    };
    const OutcomeCase cases[] = {
        {"cancelled", SelectionOutcome::cancelled(), 0},
        {"failed", SelectionOutcome::failed(desktop::CaptureError::windowNotFound), 1},
        {"area without picture",
         SelectionOutcome::of(capture::SelectionPick::area({}, QRectF(0, 0, 50, 50))), 0},
    };
    for (const OutcomeCase& c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        beginTextAction();
        endSelection(c.outcome);
        clock.advance(5s);
        EXPECT_FALSE(coordinator->isBusy());
        EXPECT_FALSE(flow->isRecognizing());
        EXPECT_EQ(alerts.size(), c.alerts);
        EXPECT_TRUE(recognizedPictures.empty());
        EXPECT_TRUE(notices.empty());
    }
}

TEST_F(TextCaptureFlowTest, AFlowThatGoesWhileRecognizingShowsNothingLater) {
    beginTextAction();
    endSelection(areaWithPicture());
    coordinator.reset();
    flow.reset();
    answer(Recognized{QStringLiteral("late"), {}});
    clock.advance(5s);
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(clipboardText(), "before");
}

TEST_F(TextCaptureFlowTest, ACoordinatorThatGoesWhileRecognizingStillGetsTheTextCopied) {
    beginTextAction();
    endSelection(areaWithPicture());
    coordinator.reset();
    answer(Recognized{QStringLiteral("kept"), {}});
    EXPECT_EQ(clipboardText(), "kept");
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].title, "Text copied");
}

} // namespace
