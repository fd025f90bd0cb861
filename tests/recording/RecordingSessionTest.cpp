#include "recording/RecordingSession.h"

#include "app/Preferences.h"
#include "platform/PermissionProbe.h"
#include "recording/GifExport.h"
#include "recording/WindowFollower.h"
#include "support/FakeEscapeKey.h"
#include "support/MovieClips.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace recording {
namespace {

using app::Recording;
using Kind = SessionPhase::Kind;

class FakeProbe : public platform::PermissionProbe {
public:
    platform::PermissionStatus status(platform::Permission permission) override {
        ++reads;
        return {granted.contains(permission), {}};
    }
    bool canOpenSettings(platform::Permission) override { return false; }
    void openSettings(platform::Permission) override {}
    QSet<platform::Permission> granted;
    int reads = 0;
};

// Everything the session asked of its windows, in order.
class FakeWindows : public SessionWindows {
public:
    explicit FakeWindows(QStringList* log) : log_(log) {}
    void present(const SessionWindowsSetup& s) override {
        setup = s;
        log_->append(QStringLiteral("present"));
    }
    void showCountdown() override { log_->append(QStringLiteral("countdown-shown")); }
    void hideCountdown() override { log_->append(QStringLiteral("countdown-hidden")); }
    void recordingStarted() override { log_->append(QStringLiteral("recording-style")); }
    void regionMoved(const QRect& r) override {
        log_->append(QStringLiteral("moved %1,%2").arg(r.x()).arg(r.y()));
    }
    void cameraChanged(bool show) override {
        log_->append(show ? QStringLiteral("camera-on") : QStringLiteral("camera-off"));
    }
    void stopOverlays() override { log_->append(QStringLiteral("overlays-stopped")); }
    QSet<std::uint32_t> recordedWindows() const override { return ownWindows; }
    void close() override { log_->append(QStringLiteral("closed")); }

    SessionWindowsSetup setup;
    QSet<std::uint32_t> ownWindows;

private:
    QStringList* log_;
};

struct RecorderLog {
    QStringList calls;
    std::vector<RecordingFilter> filters;
    int made = 0;
};

// A stream that writes a small real movie when finished.
class FakeRecorder : public SessionRecorder {
public:
    FakeRecorder(int id, RecorderLog* log, QString folder, QSize size)
        : id_(id), log_(log), folder_(std::move(folder)), size_(size) {}
    void stop() override { note(QStringLiteral("stop")); }
    void finish(std::function<void(std::variant<QString, WriterError>)> done) override {
        note(QStringLiteral("finish"));
        const QString path = QDir(folder_).filePath(QStringLiteral("take%1.mp4").arg(id_));
        testsupport::MovieClip clip;
        clip.seconds = 1;
        clip.size = QSize(64, 40);
        const bool made = finishFails ? false : testsupport::makeMovieClip(path, clip);
        QTimer::singleShot(0, [done, made, path] {
            if (made)
                done(path);
            else
                done(WriterError::failed(QStringLiteral("The disk is full.")));
        });
    }
    void pause() override { note(QStringLiteral("pause")); }
    void resume() override { note(QStringLiteral("resume")); }
    void updateFilter(const RecordingFilter& filter) override {
        note(QStringLiteral("filter"));
        log_->filters.push_back(filter);
    }
    void update(const QRectF& r) override {
        note(QStringLiteral("region %1,%2").arg(r.x()).arg(r.y()));
    }
    QSize size() const override { return size_; }
    bool finishFails = false;

private:
    void note(const QString& what) { log_->calls.append(QStringLiteral("#%1 ").arg(id_) + what); }
    int id_;
    RecorderLog* log_;
    QString folder_;
    QSize size_;
};

class RecordingSessionTest : public ::testing::Test {
protected:
    RecordingSessionTest() : preferences(dir.file(QStringLiteral("settings.conf"))) {
        QDir().mkpath(folder());
        display.displayID = 7;
        display.scale = 2;
        display.frame = QRectF(0, 0, 1280, 800);
    }

    QString folder() const { return dir.file(QStringLiteral("Recordings")); }

    RecordingSession::Services services() {
        RecordingSession::Services s;
        s.preferences = &preferences;
        s.probe = &probe;
        s.escapeKey = &escape;
        s.makeWindows = [this] {
            auto made = std::make_unique<FakeWindows>(&windowLog);
            windows = made.get();
            return made;
        };
        s.makeRecorder = [this](const desktop::CaptureDisplay&, const QRect& region,
                                const RecordingOptions& options,
                                const QString& into) -> RecordingSession::RecorderResult {
            startedWith.push_back(options);
            if (recorderError)
                return *recorderError;
            ++recorders.made;
            const QSize size = fittedSize.value_or(QSize(qRound(region.width() * options.scale),
                                                         qRound(region.height() * options.scale)));
            auto made = std::make_unique<FakeRecorder>(recorders.made, &recorders, into, size);
            lastRecorder = made.get();
            return made;
        };
        s.makeFollower = [this](std::uint32_t id) {
            auto made = std::make_unique<WindowFollower>(
                id, [](std::uint32_t) { return std::optional<QRectF>(QRectF(0, 0, 400, 300)); });
            follower = made.get();
            return made;
        };
        s.recordingsFolder = folder();
        s.exportGif = [](const QString& movie, const QString& gif, int fps, double maxWidth) {
            return exportGif(movie, gif, fps, maxWidth);
        };
        s.maximumFramesPerSecond = [](const desktop::CaptureDisplay&) { return 60; };
        s.alert = [this](const QString& message, const QString& detail) {
            alerts.append(message + QStringLiteral(": ") + detail);
        };
        s.toast = [this](const QString& title) { toasts.append(title); };
        s.now = [this] { return clock; };
        s.prepareMovie = [this](const QRect& region, const std::optional<RecordingOptions>& options,
                                const QString& into) {
            movies.append(options ? QStringLiteral("%1x%2 at %3 fps into %4")
                                        .arg(region.width())
                                        .arg(region.height())
                                        .arg(options->fps)
                                        .arg(into)
                                  : QStringLiteral("let go"));
        };
        s.prepareSound = [this](bool systemAudio, bool microphone) {
            prepared.append(QStringLiteral("%1 %2").arg(systemAudio ? "system" : "-",
                                                        microphone ? "microphone" : "-"));
        };
        return s;
    }

    std::unique_ptr<RecordingSession> make(std::optional<std::uint32_t> window = std::nullopt,
                                           QRect region = QRect(100, 100, 640, 400)) {
        auto session = std::make_unique<RecordingSession>(
            display, region, window,
            [this](const std::optional<Recording>& recording) {
                ++completions;
                delivered = recording;
            },
            services());
        session->present();
        return session;
    }

    // Runs posted steps until the recorder is there.
    void waitForRecorder(RecordingSession& session, int ms = 2000) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return session.hasRecorder(); }, ms));
    }
    void waitForEnd(RecordingSession& session) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return session.hasEnded(); }, 15000));
    }

    testsupport::TempDir dir;
    app::Preferences preferences;
    FakeProbe probe;
    testsupport::FakeEscapeKey escape;
    desktop::CaptureDisplay display;
    QStringList windowLog;
    FakeWindows* windows = nullptr;
    RecorderLog recorders;
    QStringList movies;
    FakeRecorder* lastRecorder = nullptr;
    WindowFollower* follower = nullptr;
    std::vector<RecordingOptions> startedWith;
    std::optional<QString> recorderError;
    std::optional<QSize> fittedSize;
    QStringList alerts;
    QStringList toasts;
    // The sound devices asked to be opened ahead, in turn.
    QStringList prepared;
    double clock = 100;
    int completions = 0;
    std::optional<Recording> delivered;
};

TEST_F(RecordingSessionTest, OptionRules) {
    struct Case {
        const char* what;
        Recording::Format format;
        qint64 gifFPS;
        qint64 recordingFPS;
        int displayMaximum;
        bool retina;
        int fps;
        bool audio;
        double scale;
    };
    const Case cases[] = {
        {"gif below 15 captures at 15", Recording::Format::gif, 10, 30, 60, true, 15, false, 2},
        {"gif above 15 captures at its rate", Recording::Format::gif, 20, 30, 60, false, 20, false,
         1},
        {"video at the setting", Recording::Format::video, 10, 30, 120, true, 30, true, 2},
        {"video 0 takes the display's maximum", Recording::Format::video, 10, 0, 120, false, 120,
         true, 1},
        {"a display reporting 0 Hz records at 60", Recording::Format::video, 10, 0, 0, true, 60,
         true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        preferences.setGifFPS(c.gifFPS);
        preferences.setRecordingFPS(c.recordingFPS);
        preferences.setRecordingRetina(c.retina);
        RecordingSessionModel model(preferences, probe);
        model.setFormat(c.format);
        model.setSystemAudio(true);
        model.setMicrophone(true);
        const RecordingOptions options =
            RecordingSession::makeOptions(model, preferences, 2.0, c.displayMaximum);
        EXPECT_EQ(options.fps, c.fps);
        EXPECT_EQ(options.systemAudio, c.audio);
        // The microphone is offered on every system, for video only.
        EXPECT_EQ(options.microphone, c.audio);
        EXPECT_DOUBLE_EQ(options.scale, c.scale);
    }
    preferences.setRecordingQuality(app::RecordingQuality::standard);
    RecordingSessionModel model(preferences, probe);
    EXPECT_DOUBLE_EQ(RecordingSession::makeOptions(model, preferences, 1, 60).bitsPerPixel, 0.05);
}

TEST_F(RecordingSessionTest, RecordedScaleIsTheStartsOrTheFittedOne) {
    struct Case {
        double start;
        double regionWidth;
        int movieWidth;
        double scale;
    };
    const Case cases[] = {
        {2, 640, 1280, 2},
        {1, 640, 640, 1},
        {2, 2000, 3840, 1.92},
        {2, 641, 1282, 2},
        // An odd width rounded down to an even one is not a shrink.
        {1, 641, 640, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << " " << c.regionWidth << " " << c.movieWidth);
        EXPECT_DOUBLE_EQ(RecordingSession::recordedScale(c.start, c.regionWidth, c.movieWidth),
                         c.scale);
    }
}

TEST_F(RecordingSessionTest, CountdownThenRecordingAndTheRecordActionDuringItChangesNothing) {
    preferences.setRecordingCountdown(2);
    auto session = make();
    std::vector<SessionPhase> phases{session->model().phase()};
    QObject::connect(&session->model(), &RecordingSessionModel::phaseChanged,
                     [&](const SessionPhase& p) { phases.push_back(p); });
    ASSERT_TRUE(escape.isHeld());
    session->start();
    session->start(); // the record action during the countdown
    session->stop();
    EXPECT_EQ(phases.size(), 2u);
    waitForRecorder(*session, 4000);
    EXPECT_EQ(phases,
              (std::vector<SessionPhase>{SessionPhase::setup(), SessionPhase::countdown(2),
                                         SessionPhase::countdown(1), SessionPhase::recording()}));
    EXPECT_EQ(recorders.made, 1);
    EXPECT_FALSE(escape.isHeld()) << "Escape no longer discards once recording";
    EXPECT_EQ(windowLog,
              (QStringList{"present", "countdown-shown", "countdown-hidden", "recording-style"}));
    session->discard();
    EXPECT_EQ(completions, 1);
}

TEST_F(RecordingSessionTest, PausesAreLeftOutOfTheElapsedTime) {
    auto session = make();
    QStringList progress;
    session->onProgress = [&](const std::optional<QString>& text) {
        progress.append(text.value_or(QStringLiteral("-")));
    };
    session->start();
    waitForRecorder(*session);
    clock += 2;
    session->togglePause();
    EXPECT_TRUE(session->model().isPaused());
    clock += 5;
    QTest::qWait(300); // the ticker runs, the time stands
    EXPECT_DOUBLE_EQ(session->model().elapsed(), 2);
    session->togglePause();
    clock += 1.5;
    QTest::qWait(300);
    EXPECT_DOUBLE_EQ(session->model().elapsed(), 3.5);
    EXPECT_TRUE(progress.contains("0:03"));
    EXPECT_EQ(recorders.calls, (QStringList{"#1 pause", "#1 resume"}));
    session->discard();
    EXPECT_EQ(progress.last(), "-");
}

TEST_F(RecordingSessionTest, RestartWhilePausedStartsANewRecorderUnpausedWithoutCountdown) {
    preferences.setRecordingCountdown(0);
    auto session = make();
    session->start();
    waitForRecorder(*session);
    preferences.setRecordingCountdown(3);
    clock += 4;
    session->togglePause();
    session->restart();
    EXPECT_FALSE(session->model().isPaused());
    EXPECT_TRUE(session->model().phase().is(Kind::recording));
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorders.made == 2; }, 2000));
    EXPECT_EQ(recorders.calls, (QStringList{"#1 pause", "#1 stop"}));
    EXPECT_DOUBLE_EQ(session->model().elapsed(), 0);
    session->discard();
    EXPECT_EQ(recorders.calls.last(), "#2 stop");
}

TEST_F(RecordingSessionTest, TheRecordKeepsTheStartsScaleWhenTheSettingFlips) {
    struct Case {
        const char* what;
        std::optional<QSize> fitted;
        double scale;
    };
    const Case cases[] = {{"as started", std::nullopt, 2},
                          {"fitting shrank", QSize(960, 600), 1.5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        preferences.setRecordingRetina(true);
        fittedSize = c.fitted;
        delivered.reset();
        auto session = make();
        session->start();
        waitForRecorder(*session);
        preferences.setRecordingRetina(false);
        session->stop();
        EXPECT_EQ(session->model().phase(), SessionPhase::finishing("Saving…"));
        waitForEnd(*session);
        ASSERT_TRUE(delivered);
        EXPECT_DOUBLE_EQ(delivered->scale, c.scale);
        EXPECT_EQ(delivered->format, Recording::Format::video);
        EXPECT_NEAR(delivered->duration, 1.0, 0.25);
        EXPECT_FALSE(delivered->thumbnail.isNull());
        EXPECT_TRUE(QFile::exists(delivered->url.toLocalFile()));
        EXPECT_TRUE(windowLog.endsWith("closed"));
        EXPECT_TRUE(windowLog.contains("overlays-stopped"));
    }
}

TEST_F(RecordingSessionTest, AGifReplacesTheMovieAndClaimsScaleOne) {
    preferences.setGifFPS(10);
    preferences.setGifMaxWidth(320);
    auto session = make();
    session->model().setFormat(Recording::Format::gif);
    QStringList statuses;
    QObject::connect(&session->model(), &RecordingSessionModel::phaseChanged,
                     [&](const SessionPhase& p) { statuses.append(p.status); });
    session->start();
    waitForRecorder(*session);
    EXPECT_EQ(startedWith.back().fps, 15);
    session->stop();
    waitForEnd(*session);
    ASSERT_TRUE(delivered);
    EXPECT_EQ(statuses.mid(1), (QStringList{"Saving…", "Creating GIF…"}));
    EXPECT_EQ(delivered->format, Recording::Format::gif);
    EXPECT_DOUBLE_EQ(delivered->scale, 1);
    EXPECT_NEAR(delivered->duration, 1.0, 0.15);
    EXPECT_EQ(QDir(folder()).entryList({"*.mp4"}), QStringList());
    EXPECT_EQ(QDir(folder()).entryList({"*.gif"}).size(), 1);
    EXPECT_EQ(delivered->thumbnail.width(), 64) << "fitted within the recorded width";
}

TEST_F(RecordingSessionTest, FailuresEndOnceWithTheAlert) {
    {
        SCOPED_TRACE("the recorder cannot start");
        recorderError = QStringLiteral("The display is gone.");
        auto session = make();
        session->start();
        waitForEnd(*session);
        EXPECT_EQ(alerts, QStringList{"The recording stopped: The display is gone."});
        EXPECT_EQ(completions, 1);
        EXPECT_FALSE(delivered);
        EXPECT_FALSE(escape.isHeld());
    }
    recorderError.reset();
    alerts.clear();
    completions = 0;
    // A recording that stops by itself (the disk full, the X server gone)
    // keeps what it recorded: the movie is delivered, as a movie even where a
    // GIF was asked for, and the alert says why and where the movie is. Only
    // when no movie can be made of it does nothing come.
    const struct {
        const char* name;
        Recording::Format format;
        bool finishFails;
    } stopsByItself[] = {
        {"a movie", Recording::Format::video, false},
        {"a GIF", Recording::Format::gif, false},
        {"nothing to keep", Recording::Format::video, true},
    };
    for (const auto& c : stopsByItself) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        completions = 0;
        delivered.reset();
        auto session = make();
        session->model().setFormat(c.format);
        session->start();
        waitForRecorder(*session);
        FakeRecorder* recorder = lastRecorder;
        recorder->finishFails = c.finishFails;
        const auto report = recorder->onFailure;
        report(QStringLiteral("No space left in “/cache”."));
        report(QStringLiteral("again"));
        waitForEnd(*session);
        EXPECT_EQ(completions, 1);
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_TRUE(alerts[0].startsWith("The recording stopped: No space left in “/cache”."))
            << alerts[0].toStdString();
        EXPECT_TRUE(recorders.calls.contains(QStringLiteral("#%1 finish").arg(recorders.made)));
        if (c.finishFails) {
            EXPECT_FALSE(delivered);
            continue;
        }
        ASSERT_TRUE(delivered);
        EXPECT_EQ(delivered->format, Recording::Format::video);
        EXPECT_TRUE(delivered->url.toLocalFile().endsWith(".mp4"));
        EXPECT_TRUE(alerts[0].endsWith(QStringLiteral("What was recorded until then is kept: “%1”.")
                                           .arg(delivered->url.toLocalFile())))
            << alerts[0].toStdString();
    }
    alerts.clear();
    completions = 0;
    {
        SCOPED_TRACE("a failure reported while the movie is finished changes nothing");
        delivered.reset();
        auto session = make();
        session->start();
        waitForRecorder(*session);
        const auto report = lastRecorder->onFailure;
        session->stop();
        report(QStringLiteral("The X server went away."));
        waitForEnd(*session);
        EXPECT_EQ(completions, 1);
        EXPECT_TRUE(delivered);
        EXPECT_EQ(alerts, QStringList());
    }
    alerts.clear();
    completions = 0;
    {
        SCOPED_TRACE("the movie cannot be finished");
        auto session = make();
        session->start();
        waitForRecorder(*session);
        lastRecorder->finishFails = true;
        session->stop();
        waitForEnd(*session);
        EXPECT_EQ(alerts, QStringList{"The recording stopped: The disk is full."});
        EXPECT_EQ(completions, 1);
        EXPECT_FALSE(delivered);
    }
}

TEST_F(RecordingSessionTest, EscapeInSetupDiscardsAndLetsEscapeGo) {
    auto session = make();
    ASSERT_TRUE(escape.isHeld());
    escape.press();
    EXPECT_TRUE(session->hasEnded());
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(delivered);
    EXPECT_FALSE(escape.isHeld());
    EXPECT_EQ(windowLog, (QStringList{"present", "closed"}));
    // Nothing acts after the end.
    session->start();
    session->discard();
    EXPECT_EQ(completions, 1);
    QTest::qWait(20);
    EXPECT_EQ(recorders.made, 0);
}

TEST_F(RecordingSessionTest, FilterUpdatesArriveInOrderWithTheFilterOfTheirMoment) {
    auto session = make();
    windows->ownWindows = {42};
    session->start();
    waitForRecorder(*session);
    recorders.filters.clear();
    session->model().setApp(QStringLiteral("firefox"), true);
    session->model().setHideNotifications(true);
    QTest::qWait(20);
    ASSERT_EQ(recorders.filters.size(), 2u);
    EXPECT_EQ(recorders.filters[0].hiddenApps, QStringList{"firefox"});
    EXPECT_TRUE(recorders.filters[0].hideNotifications)
        << "the first update runs with the filter of its moment";
    EXPECT_EQ(recorders.filters[1].recordedWindows, QSet<std::uint32_t>{42});
    session->discard();
}

TEST_F(RecordingSessionTest, AnUpdateQueuedBeforeARestartNeverReachesTheNewRecorder) {
    auto session = make();
    session->start();
    waitForRecorder(*session);
    session->model().setApp(QStringLiteral("gimp"), true);
    session->restart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorders.made == 2; }, 2000));
    QTest::qWait(20);
    EXPECT_FALSE(recorders.calls.contains("#1 filter"));
    EXPECT_FALSE(recorders.calls.contains("#2 filter"));
    // The new recorder started with the filter of its own start.
    EXPECT_EQ(startedWith.back().filter.hiddenApps, QStringList{"gimp"});
    session->discard();
}

TEST_F(RecordingSessionTest, TheRecordedWindowClosing) {
    {
        SCOPED_TRACE("during the countdown");
        preferences.setRecordingCountdown(3);
        auto session = make(std::uint32_t(77));
        EXPECT_TRUE(session->model().recordsWindowOnly());
        session->start();
        session->recordedWindowClosed();
        EXPECT_EQ(toasts, QStringList{"The window was closed."});
        EXPECT_EQ(completions, 1);
        EXPECT_FALSE(delivered);
        QTest::qWait(1200);
        EXPECT_EQ(recorders.made, 0) << "the countdown timer went with the session";
    }
    toasts.clear();
    completions = 0;
    {
        SCOPED_TRACE("while recording");
        preferences.setRecordingCountdown(0);
        auto session = make(std::uint32_t(77));
        session->start();
        waitForRecorder(*session);
        session->recordedWindowClosed();
        EXPECT_EQ(toasts, QStringList{"The window was closed, so the recording stopped."});
        waitForEnd(*session);
        EXPECT_TRUE(delivered);
    }
    toasts.clear();
    completions = 0;
    delivered.reset();
    {
        SCOPED_TRACE("in setup");
        auto session = make(std::uint32_t(77));
        session->recordedWindowClosed();
        EXPECT_EQ(toasts, QStringList{"The window was closed."});
        EXPECT_EQ(completions, 1);
        EXPECT_FALSE(delivered);
    }
    toasts.clear();
    completions = 0;
    {
        SCOPED_TRACE("while saving");
        auto session = make(std::uint32_t(77));
        session->start();
        waitForRecorder(*session);
        session->stop();
        session->recordedWindowClosed();
        EXPECT_TRUE(toasts.isEmpty());
        waitForEnd(*session);
        EXPECT_TRUE(delivered) << "the movie being saved is kept";
    }
}

TEST_F(RecordingSessionTest, AFollowedWindowMovesTheRegionWithinTheDisplay) {
    auto session = make(std::uint32_t(5), QRect(0, 0, 400, 300));
    session->start();
    waitForRecorder(*session);
    session->layoutForRegion(QRectF(1000, 100, 400, 300)); // partly off the right edge
    EXPECT_EQ(session->region(), QRect(1000, 100, 280, 300));
    session->layoutForRegion(QRectF(1270, 100, 400, 300)); // 10 points left: ignored
    EXPECT_EQ(session->region(), QRect(1000, 100, 280, 300));
    QTest::qWait(20);
    EXPECT_TRUE(recorders.calls.contains("#1 region 1000,100"));
    EXPECT_TRUE(windowLog.contains("moved 1000,100"));
    session->discard();
}

TEST_F(RecordingSessionTest, AFollowedWindowsPartOnItsDisplayBecomesTheRegion) {
    display.frame = QRectF(1920, 0, 1280, 1024);
    const QRect current(100, 100, 400, 300);
    struct Case {
        const char* name;
        QRectF window;
        QRect region;
    };
    const Case cases[] = {
        {"moved", {1920 + 200, 150, 400, 300}, {200, 150, 400, 300}},
        {"partly off the left", {1920 - 100, 150, 400, 300}, {0, 150, 300, 300}},
        {"15 points left on the right", {1920 + 1280 - 15, 150, 400, 300}, current},
        {"16 points left on the right", {1920 + 1280 - 16, 150, 400, 300}, {1264, 150, 16, 300}},
        {"on another display", {0, 0, 400, 300}, current},
    };
    for (const Case& c : cases) {
        auto session = make(std::uint32_t(5), current);
        session->layoutForRegion(c.window);
        EXPECT_EQ(session->region(), c.region) << c.name;
        session->discard();
    }
}

TEST_F(RecordingSessionTest, TheStreamMovesOnlyToARegionItIsNotAt) {
    auto session = make(std::uint32_t(5), QRect(0, 0, 400, 300));
    session->start();
    waitForRecorder(*session);
    // Moved and moved back before the stream followed: nothing to do.
    session->layoutForRegion(QRectF(200, 100, 400, 300));
    session->layoutForRegion(QRectF(0, 0, 400, 300));
    QTest::qWait(20);
    EXPECT_TRUE(recorders.calls.filter("region").isEmpty());
    // Two quick moves: the stream goes to the last place, once.
    session->layoutForRegion(QRectF(200, 100, 400, 300));
    session->layoutForRegion(QRectF(300, 100, 400, 300));
    QTest::qWait(20);
    EXPECT_EQ(recorders.calls.filter("region"), QStringList{"#1 region 300,100"});
    session->discard();
}

TEST_F(RecordingSessionTest, SoundThatGoesAwayWhileRecordingIsANoteNotAnEnd) {
    auto session = make();
    session->start();
    waitForRecorder(*session);
    ASSERT_TRUE(lastRecorder->onSoundNote);
    lastRecorder->onSoundNote(QStringLiteral("Sound is no longer recorded: the server stopped."));
    EXPECT_EQ(session->model().soundNote(),
              QStringLiteral("Sound is no longer recorded: the server stopped."));
    EXPECT_TRUE(session->model().phase().is(Kind::recording));
    EXPECT_TRUE(alerts.isEmpty());
    session->stop();
    waitForEnd(*session);
    EXPECT_TRUE(delivered);
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(RecordingSessionTest, SoundDevicesOpenAheadWhileTheRecordingIsSetUp) {
    // What the bar chooses while the recording is set up and counted down
    // opens the devices ahead; the recorder takes them, and the end lets any
    // still open go.
    preferences.setRecordSystemAudio(true);
    preferences.setRecordingCountdown(1);
    auto session = make();
    session->model().setMicrophone(true);
    session->model().setFormat(Recording::Format::gif);
    session->model().setFormat(Recording::Format::video);
    session->start();
    ASSERT_TRUE(session->model().phase().is(Kind::countdown));
    session->model().setSystemAudio(false);
    waitForRecorder(*session, 4000);
    const QStringList beforeRecording = prepared;
    session->model().setSystemAudio(true);
    EXPECT_EQ(beforeRecording, (QStringList{"system -", "system microphone", "- -",
                                            "system microphone", "- microphone"}));
    EXPECT_EQ(prepared, beforeRecording) << "asked again while recording";
    session->stop();
    waitForEnd(*session);
    EXPECT_EQ(prepared.last(), "- -");
}

TEST_F(RecordingSessionTest, TheMovieOpensAheadDuringACountdownOnly) {
    // With a countdown the movie is opened while it runs, for the recorder
    // to take; without one nothing may hold up the first picture. The end
    // lets go of one not taken.
    for (const int countdown : {2, 0}) {
        SCOPED_TRACE(countdown);
        movies.clear();
        recorders.made = 0;
        preferences.setRecordingCountdown(countdown);
        auto session = make();
        session->start();
        const QStringList during = movies;
        EXPECT_EQ(recorders.made, 0);
        waitForRecorder(*session, 4000);
        if (countdown > 0) {
            // What the recorder is then asked for.
            EXPECT_EQ(during, QStringList{QStringLiteral("640x400 at %1 fps into %2")
                                              .arg(startedWith.back().fps)
                                              .arg(folder())});
        } else {
            EXPECT_EQ(during, QStringList());
        }
        session->stop();
        waitForEnd(*session);
        EXPECT_EQ(movies.size(), during.size() + 1);
        EXPECT_EQ(movies.last(), "let go");
    }
}

} // namespace
} // namespace recording
