#include "capture/scrolling/ScrollingCaptureSession.h"

#include "ScrollStitcherFrames.h"
#include "support/FakeEscapeKey.h"
#include "support/ManualScheduler.h"

#include "capture/scrolling/ScrollingHud.h"
#include "desktop/RegionFrameWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QThread>

#include <numeric>

#include <gtest/gtest.h>

namespace {

using capture::ScrollingCaptureSession;
using capture::ScrollingFrameReceiver;
using capture::ScrollingStream;
using Kind = capture::ScrollingMessage::Kind;
using ms = std::chrono::milliseconds;

// Threads of this process named after the capture's queue.
int countCaptureThreads() {
    int count = 0;
    for (const QString& task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith("Vexlin.scrollin")) {
            ++count;
        }
    }
    return count;
}

// The count once it is `expected`, or after a second: a thread gets its name
// just after it starts and leaves the task list a moment after it ended.
int captureThreads(int expected = 0) {
    for (int i = 0; i < 100 && countCaptureThreads() != expected; ++i) {
        QThread::msleep(10);
    }
    return countCaptureThreads();
}

// What the session did to the stream it was given.
struct StreamLog {
    int made = 0;
    QRect pixels;
    ScrollingFrameReceiver* receiver = nullptr;
    ScrollingStream::Started started;
    int stops = 0;
    bool stopped = false;
};

class FakeStream : public ScrollingStream {
public:
    FakeStream(StreamLog& log, ScrollingFrameReceiver& receiver, const QRect& pixels) : log_(log) {
        ++log_.made;
        log_.pixels = pixels;
        log_.receiver = &receiver;
        log_.stopped = false;
    }
    ~FakeStream() override { log_.receiver = nullptr; }
    void startCapture(Started started) override { log_.started = std::move(started); }
    void stopCapture() override {
        ++log_.stops;
        log_.stopped = true;
    }

private:
    StreamLog& log_;
};

// A pointer the test moves and a wheel that turns the fake page.
class FakeScroller : public capture::Scroller {
public:
    bool preflight() override { return allowed; }
    bool request() override {
        ++requests;
        return grantOnRequest;
    }
    void openAccessibilitySettings() override { ++settingsOpened; }
    void warpPointer(QPointF global) override {
        warps.push_back(global);
        position = global;
    }
    QPointF pointer() override { return position; }
    void wheel(int clicks) override { wheels.push_back(clicks); }

    bool allowed = true;
    bool grantOnRequest = false;
    int requests = 0;
    int settingsOpened = 0;
    QPointF position;
    std::vector<QPointF> warps;
    std::vector<int> wheels;
};

class ScrollingCaptureSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        display.displayID = 1;
        display.scale = 1;
        display.frame = QRectF(0, 0, 1200, 900);
    }

    ScrollingCaptureSession::Services services() {
        ScrollingCaptureSession::Services s;
        s.scheduler = &scheduler;
        s.escapeKey = &escape;
        s.now = [this] { return scheduler.now(); };
        s.autoScrollImmediately = [this] { return autoScrollImmediately; };
        s.scroller = scroller;
        s.displayAvailable = [this](const desktop::CaptureDisplay&) { return displayAvailable; };
        s.makeStream = [this](ScrollingFrameReceiver& receiver,
                              const QRect& pixels) -> std::unique_ptr<ScrollingStream> {
            return std::make_unique<FakeStream>(log, receiver, pixels);
        };
        s.visibleFrame = [this](const desktop::CaptureDisplay&) { return display.frame; };
        return s;
    }

    void makeSession(QRectF region = QRectF(100, 100, 200, 150)) {
        session = std::make_unique<ScrollingCaptureSession>(
            region, display,
            [this](const std::optional<app::Capture>& capture) {
                ++completions;
                delivered = capture;
            },
            services());
    }

    // The session as its flow opens it: panels, Escape, start.
    void open() {
        makeSession();
        session->showPanels();
        session->setEscape(escape.holdEscape([this] { session->cancelOnce(); }));
        session->start();
    }

    void streamStarts(std::optional<QString> error = std::nullopt) {
        ASSERT_TRUE(log.started);
        log.started(error);
    }

    // A frame of the page scrolled down by `offset`, through the stream,
    // and its update on the main thread.
    void frame(int offset) {
        ASSERT_NE(log.receiver, nullptr);
        ASSERT_FALSE(log.stopped) << "a frame after the stream stopped";
        ScrollingFrameReceiver* receiver = log.receiver;
        const QImage image = stitchtest::rows(page, offset, 150);
        receiver->queue().async([receiver, image] { receiver->handle(image); });
        settle();
    }
    void settle() {
        if (log.receiver) {
            log.receiver->queue().sync([] {});
        }
        QCoreApplication::processEvents();
    }

    testsupport::ManualScheduler scheduler;
    testsupport::FakeEscapeKey escape;
    std::shared_ptr<FakeScroller> scroller = std::make_shared<FakeScroller>();
    StreamLog log;
    desktop::CaptureDisplay display;
    bool autoScrollImmediately = false;
    bool displayAvailable = true;
    QImage page = stitchtest::noise(200, 3000, 5);
    std::unique_ptr<ScrollingCaptureSession> session;
    int completions = 0;
    std::optional<app::Capture> delivered;
};

TEST_F(ScrollingCaptureSessionTest, StartsWithPanelsThenAsksToScrollOnceTheStreamRuns) {
    makeSession(QRectF(100.4, 100.6, 199.2, 149.8));
    EXPECT_EQ(session->region(), QRectF(100, 100, 200, 151)) << "made integral outward";
    session->showPanels();
    ASSERT_NE(session->hud(), nullptr);
    ASSERT_NE(session->frameWindow(), nullptr);
    EXPECT_TRUE(session->hud()->isVisible());
    EXPECT_FALSE(session->hud()->geometry().intersects(QRect(100, 100, 200, 151)))
        << "the HUD would be in the frames";
    EXPECT_EQ(session->status().message().kind, Kind::starting);
    EXPECT_EQ(session->status().line(), "Starting…");

    session->start();
    EXPECT_EQ(log.made, 1);
    EXPECT_EQ(log.pixels, QRect(100, 100, 200, 151));
    EXPECT_EQ(captureThreads(1), 1);
    EXPECT_EQ(session->status().message().kind, Kind::starting);
    streamStarts();
    EXPECT_EQ(session->status().line(), "Scroll down slowly");
}

TEST_F(ScrollingCaptureSessionTest, FramesGrowTheStatusAndDoneDeliversTheStitchedPicture) {
    open();
    streamStarts();
    frame(0);
    EXPECT_EQ(session->status().message().kind, Kind::scrollDown);
    EXPECT_EQ(session->status().pixelSize(), QSize(200, 150));
    EXPECT_FALSE(session->status().preview().isNull());
    frame(40);
    frame(90);
    EXPECT_EQ(session->status().line(), "Capturing… keep scrolling");
    EXPECT_EQ(session->status().pixelSize(), QSize(200, 240));

    session->hud()->doneButton()->click();
    EXPECT_EQ(completions, 0) << "ends from the event loop";
    scheduler.advance(ms(0));
    ASSERT_EQ(completions, 1);
    ASSERT_TRUE(delivered);
    EXPECT_TRUE(stitchtest::samePixels(delivered->image, stitchtest::rows(page, 0, 240)));
    EXPECT_EQ(delivered->scale, 1.0);
    EXPECT_FALSE(delivered->filePath);
    EXPECT_TRUE(log.stopped);
    EXPECT_EQ(captureThreads(), 0);
    EXPECT_EQ(session->hud(), nullptr);
    EXPECT_EQ(session->frameWindow(), nullptr);
    EXPECT_FALSE(escape.isHeld());
}

TEST_F(ScrollingCaptureSessionTest, EveryWayToEndTwiceCompletesOnce) {
    const std::vector<std::pair<const char*, std::function<void(ScrollingCaptureSession&)>>> ends =
        {
            {"Done, Done",
             [](auto& s) {
                 s.hud()->doneButton()->click();
                 s.hud()->doneButton()->click();
             }},
            {"Done, Escape",
             [this](auto& s) {
                 s.hud()->doneButton()->click();
                 escape.press();
             }},
            {"Escape, Cancel",
             [this](auto& s) {
                 escape.press();
                 s.hud()->cancelButton()->click();
             }},
        };
    for (const auto& [name, end] : ends) {
        completions = 0;
        log = {};
        open();
        streamStarts();
        frame(0);
        end(*session);
        scheduler.advance(ms(0));
        scheduler.advance(ms(0));
        EXPECT_EQ(completions, 1) << name;
        EXPECT_TRUE(session->hasEnded()) << name;
        EXPECT_FALSE(escape.isHeld()) << name;
        session.reset();
    }
}

TEST_F(ScrollingCaptureSessionTest, CancelAndEscapeDeliverNothing) {
    open();
    streamStarts();
    frame(0);
    frame(30);
    escape.press();
    scheduler.advance(ms(0));
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(delivered);
    EXPECT_EQ(captureThreads(), 0);
}

TEST_F(ScrollingCaptureSessionTest, DoneBeforeAnyFrameClosesThePanelsWithNothing) {
    open();
    session->endOnce(ScrollingCaptureSession::End::finish);
    scheduler.advance(ms(0));
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(delivered);
    EXPECT_EQ(session->hud(), nullptr);
}

// Ending a session while its stream is still starting stops what the start
// goes on to make: the stream is stopped at once, its late "started" changes
// nothing and starts no auto-scroll, and no capture thread is left.
TEST_F(ScrollingCaptureSessionTest, EndingWhileStartingStopsWhatTheStartMakes) {
    autoScrollImmediately = true;
    open();
    ASSERT_EQ(captureThreads(1), 1);
    escape.press();
    scheduler.advance(ms(0));
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(log.stopped);
    EXPECT_EQ(captureThreads(), 0);
    streamStarts(); // the platform answers late
    scheduler.advance(ms(1000));
    EXPECT_EQ(session->status().message().kind, Kind::starting);
    EXPECT_FALSE(session->autoScroll());
    EXPECT_TRUE(scroller->warps.empty());
    EXPECT_EQ(scheduler.pending(), 0u);
}

TEST_F(ScrollingCaptureSessionTest, EndedBeforeItsStartRanStartsNothing) {
    makeSession();
    session->showPanels();
    session->cancel();
    session->start();
    EXPECT_EQ(log.made, 0);
    EXPECT_EQ(captureThreads(), 0);
    EXPECT_EQ(completions, 1);
}

TEST_F(ScrollingCaptureSessionTest, DroppedWithoutAnEndLeavesNoThreadOrPanel) {
    open();
    streamStarts();
    frame(0);
    QPointer<QWidget> hud = session->hud();
    session.reset();
    EXPECT_EQ(captureThreads(), 0);
    EXPECT_TRUE(hud.isNull());
    EXPECT_EQ(completions, 0);
    EXPECT_FALSE(escape.isHeld());
}

TEST_F(ScrollingCaptureSessionTest, FailuresShowTheirTextAndKeepThePanels) {
    const struct {
        const char* name;
        bool displayThere;
        std::optional<QString> startError;
        QString line;
    } cases[] = {
        {"display gone", false, std::nullopt, "No display could be captured."},
        {"stream not started", true, QStringLiteral("The X server refused."),
         "The X server refused."},
    };
    for (const auto& c : cases) {
        log = {};
        displayAvailable = c.displayThere;
        open();
        if (c.displayThere) {
            streamStarts(c.startError);
        } else {
            EXPECT_EQ(log.made, 0) << c.name;
        }
        EXPECT_EQ(session->status().message().kind, Kind::failed) << c.name;
        EXPECT_EQ(session->status().line(), c.line) << c.name;
        EXPECT_NE(session->hud(), nullptr) << c.name;
        EXPECT_EQ(completions, 0) << c.name;
        session.reset();
    }
}

TEST_F(ScrollingCaptureSessionTest, StreamThatStopsShowsItsErrorAndHidesTheSize) {
    open();
    streamStarts();
    frame(0);
    ScrollingFrameReceiver* receiver = log.receiver;
    receiver->queue().async(
        [receiver] { receiver->streamStopped("No display could be captured."); });
    settle();
    EXPECT_EQ(session->status().line(), "No display could be captured.");
    EXPECT_EQ(session->status().pixelSize(), QSize(0, 0));
    EXPECT_FALSE(session->hud()->sizeLine()->isVisible());
}

TEST_F(ScrollingCaptureSessionTest, CaptureScaleIsAtLeastOne) {
    display.scale = 0.5;
    display.frame = QRectF(0, 0, 2400, 1800);
    open();
    EXPECT_EQ(log.pixels, QRect(50, 50, 100, 75));
    streamStarts();
    const QImage image = stitchtest::rows(page, 0, 75).copy(0, 0, 100, 75);
    ScrollingFrameReceiver* receiver = log.receiver;
    receiver->queue().async([receiver, image] { receiver->handle(image); });
    settle();
    session->finish();
    ASSERT_TRUE(delivered);
    EXPECT_EQ(delivered->scale, 1.0);
}

// --- auto-scroll ---

class AutoScrollSessionTest : public ScrollingCaptureSessionTest {
protected:
    // Running: stream started, first frame in, 0.4 s waited.
    void run() {
        autoScrollImmediately = true;
        open();
        streamStarts();
        frame(0);
        scheduler.advance(ms(399));
        ASSERT_FALSE(session->autoScroll());
        scheduler.advance(ms(1));
        ASSERT_TRUE(session->autoScroll());
    }
    // One tick, and the page moved by 20 rows a click.
    void tick() {
        const size_t before = scroller->wheels.size();
        scheduler.advance(ms(80));
        for (size_t i = before; i < scroller->wheels.size(); ++i) {
            offset = std::max(offset + 20 * scroller->wheels[i], 0);
        }
        frame(offset);
    }
    int offset = 0;
};

TEST_F(AutoScrollSessionTest, StartsAfterTheStreamParksThePointerAndScrolls) {
    run();
    EXPECT_EQ(scroller->warps, std::vector<QPointF>{QPointF(200, 175)});
    EXPECT_EQ(session->autoScroll()->step, 15);
    EXPECT_TRUE(session->status().isAutoScrolling());
    EXPECT_EQ(session->status().line(), "Auto-scrolling… move the pointer to take over.");
    EXPECT_EQ(session->hud()->autoScrollButton()->text(), "Pause");
    for (int i = 0; i < 5; ++i) {
        tick();
    }
    EXPECT_EQ(session->autoScroll()->ticks, 5);
    // 15 points a tick at 20 points a click, once the first click was seen.
    EXPECT_EQ(std::accumulate(scroller->wheels.begin(), scroller->wheels.end(), 0), 4);
    EXPECT_EQ(session->status().message().kind, Kind::capturing);
    EXPECT_EQ(session->wheelClicks().pointsPerClick(), 20.0);
}

TEST_F(AutoScrollSessionTest, MovingThePointerPausesWithItsNoteAndTheButtonResumes) {
    run();
    scroller->position += QPointF(10, 10); // within the grace ticks and the radius
    tick();
    tick();
    tick();
    ASSERT_TRUE(session->autoScroll());
    scroller->position = QPointF(400, 400);
    tick();
    EXPECT_FALSE(session->autoScroll());
    EXPECT_EQ(session->status().line(), ScrollingCaptureSession::pauseNote());
    EXPECT_EQ(session->hud()->statusColor(), QColor::fromRgbF(1.0f, 0.584f, 0.0f));
    EXPECT_EQ(session->hud()->autoScrollButton()->text(), "Auto-Scroll");
    const size_t wheels = scroller->wheels.size();
    scheduler.advance(ms(800));
    EXPECT_EQ(scroller->wheels.size(), wheels) << "paused";

    session->hud()->autoScrollButton()->click();
    EXPECT_TRUE(session->autoScroll());
    EXPECT_EQ(session->autoScroll()->ticks, 0);
    EXPECT_EQ(scroller->warps.size(), 2u) << "the pointer is parked again";
    EXPECT_FALSE(session->status().note());
    session->hud()->autoScrollButton()->click();
    EXPECT_FALSE(session->autoScroll());
    EXPECT_FALSE(session->status().note()) << "Pause leaves no note";
}

TEST_F(AutoScrollSessionTest, ContentThatStopsEndsTheCaptureWithThePicture) {
    run();
    while (offset < 400) {
        tick();
    }
    const ms lastMove = scheduler.now();
    // The end of the page: the wheel turns, nothing moves.
    page = stitchtest::rows(page, 0, 550);
    for (int i = 0; i < 40; ++i) {
        scheduler.advance(ms(80));
        if (completions > 0) {
            break;
        }
        frame(400);
    }
    ASSERT_EQ(completions, 1);
    EXPECT_GT(scheduler.now() - lastMove, ms(1600));
    EXPECT_LT(scheduler.now() - lastMove, ms(1600 + 3 * 80));
    ASSERT_TRUE(delivered);
    EXPECT_TRUE(stitchtest::samePixels(delivered->image, stitchtest::rows(page, 0, 550)));
    EXPECT_EQ(captureThreads(), 0);
}

TEST_F(AutoScrollSessionTest, LostTrackBacksOffUpTwiceTheStepAndHalvesIt) {
    run();
    tick();
    tick();
    frame(1500); // far beyond anything: lost
    ASSERT_EQ(session->status().message().kind, Kind::tooFast);
    EXPECT_EQ(session->status().line(), "Auto-scrolling… move the pointer to take over.");
    EXPECT_EQ(session->autoScroll()->step, 8);
    EXPECT_LT(scroller->wheels.back(), 0) << "scrolled back up";
    const size_t wheels = scroller->wheels.size();
    frame(1500); // at once again: no second back-off
    EXPECT_EQ(scroller->wheels.size(), wheels);
}

// An X server without XTEST takes no synthetic wheel turns, and no restart
// changes that: the panel says why and greys the button.
TEST_F(AutoScrollSessionTest, WithoutXTestItSaysWhyAndGreysAutoScroll) {
    scroller->allowed = false;
    autoScrollImmediately = true;
    open();
    streamStarts();
    scheduler.advance(ms(400));
    EXPECT_FALSE(session->autoScroll());
    EXPECT_EQ(scroller->requests, 1);
    EXPECT_EQ(scroller->settingsOpened, 1);
    EXPECT_TRUE(session->status().isAutoScrollUnavailable());
    EXPECT_EQ(session->status().line(), ScrollingCaptureSession::unavailableNote());
    EXPECT_TRUE(session->status().line().contains(QStringLiteral("XTEST")));
    EXPECT_FALSE(session->status().line().contains(QStringLiteral("Restart")));
    EXPECT_EQ(session->hud()->statusLine()->text(), ScrollingCaptureSession::unavailableNote());

    QPushButton* button = session->hud()->autoScrollButton();
    EXPECT_TRUE(button->isVisibleTo(session->hud()));
    EXPECT_FALSE(button->isEnabled());
    button->click();
    EXPECT_FALSE(session->autoScroll());
    EXPECT_TRUE(scroller->warps.empty());
    // Scrolling by hand still works: the capture goes on.
    frame(0);
    frame(40);
    EXPECT_EQ(session->status().message().kind, Kind::capturing);
}

TEST_F(AutoScrollSessionTest, NeverStartsOnceToldToEndOrTwice) {
    run();
    const size_t warps = scroller->warps.size();
    session->startAutoScroll();
    EXPECT_EQ(scroller->warps.size(), warps) << "already running";
    session->stopAutoScroll(std::nullopt);
    session->setFinished();
    session->startAutoScroll();
    EXPECT_FALSE(session->autoScroll());
}

TEST_F(AutoScrollSessionTest, TeardownStopsTheTimer) {
    run();
    session->hud()->cancelButton()->click();
    scheduler.advance(ms(0));
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(scheduler.pending(), 0u);
    const size_t wheels = scroller->wheels.size();
    scheduler.advance(ms(1000));
    EXPECT_EQ(scroller->wheels.size(), wheels);
}

} // namespace
