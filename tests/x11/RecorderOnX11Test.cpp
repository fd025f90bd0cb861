// The screen recorder against the rig's X server and a sound server of its
// own (with-pulse.sh): frames at a steady rate with the right pixels, the
// system's sound, windows left out and a window recorded alone. The movie
// writer is played by a sink that keeps what it is given.
#include "recording/ScreenRecorder.h"

#include "desktop/ScreenGeometry.h"
#include "platform/ClientWindows.h"
#include "platform/WindowShape.h"

#include "support/EventLoop.h"

#include "SolidWindow.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <mutex>

namespace recording {
namespace {

using testsupport::pump;
using testsupport::waitFor;

// Keeps what a recorder hands over: every frame's time and size, the first
// frames' pictures, all sound, and the calls in order.
class KeepingSink final : public RecordingSink {
public:
    struct Frame {
        platform::HostTime time = 0;
        QSize size;
        QImage image; // the first kKeptPictures and every later 15th
    };
    static constexpr int kKeptPictures = 15;

    KeepingSink(std::shared_ptr<QStringList> log, int backlog)
        : calls_(std::move(log)), backlog_(backlog) {}
    desktop::SerialQueue& queue() override { return queue_; }
    // An encoder `backlog` pictures of 8 behind, however many it is given.
    platform::VideoBacklog videoBacklog() const override { return {backlog_, 8}; }
    void appendVideo(const platform::VideoFrame& frame) override {
        EXPECT_TRUE(queue_.isCurrent());
        std::lock_guard lock(mutex_);
        const bool keep = frames_.size() < kKeptPictures || frames_.size() % 15 == 0;
        frames_.push_back({frame.time, frame.image.size(), keep ? frame.image : QImage()});
        last_ = frame.image;
    }
    void appendAudio(const platform::AudioChunk& chunk, AudioTrack track) override {
        // Straight from the sound server's thread, never behind a picture.
        EXPECT_FALSE(queue_.isCurrent());
        std::lock_guard lock(mutex_);
        (track == AudioTrack::system ? system_ : microphone_).push_back(chunk);
    }
    void pause() override { record("pause"); }
    void resume() override { record("resume"); }
    void finish(std::optional<platform::HostTime> endTime,
                std::function<void(std::optional<WriterError>)> done) override {
        endTime_ = endTime;
        queue_.async([this, done] {
            record("finish");
            QMetaObject::invokeMethod(qApp, [done] { done(std::nullopt); });
        });
    }
    void cancel() override { record("cancel"); }

    std::vector<Frame> frames() {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    std::vector<platform::AudioChunk> sound(AudioTrack track) {
        std::lock_guard lock(mutex_);
        return track == AudioTrack::system ? system_ : microphone_;
    }
    QImage lastPicture() {
        std::lock_guard lock(mutex_);
        return last_;
    }
    QStringList calls() {
        std::lock_guard lock(mutex_);
        return *calls_;
    }
    std::optional<platform::HostTime> endTime_;

private:
    void record(const char* call) {
        std::lock_guard lock(mutex_);
        *calls_ << QString::fromLatin1(call);
    }
    std::mutex mutex_;
    std::vector<Frame> frames_;
    QImage last_;
    std::vector<platform::AudioChunk> system_, microphone_;
    // Outlives the sink: a recorder that fails to start lets go of it.
    std::shared_ptr<QStringList> calls_;
    const int backlog_;
    // Last, so that it ends first: its tasks touch the members above.
    desktop::SerialQueue queue_{QStringLiteral("Vexlin.recording-writer")};
};

// A factory that hands out one KeepingSink and remembers what it was asked.
struct Sinks {
    KeepingSink* sink = nullptr;
    QSize size;
    std::vector<AudioTrack> tracks;
    QString path;
    std::shared_ptr<QStringList> log = std::make_shared<QStringList>();
    int backlog = 0; // of the sinks made

    SinkFactory factory() {
        SinkFactory f;
        f.fittingSize = [](double w, double h) {
            return QSize(std::max(2, int(w) & ~1), std::max(2, int(h) & ~1));
        };
        f.make = [this](const QString& p, QSize s, int, double, const std::vector<AudioTrack>& a)
            -> std::variant<std::unique_ptr<RecordingSink>, WriterError> {
            auto made = std::make_unique<KeepingSink>(log, backlog);
            sink = made.get();
            size = s;
            tracks = a;
            path = p;
            return made;
        };
        return f;
    }
};

std::uint32_t firstDisplay() {
    const QList<desktop::CaptureDisplay> displays = desktop::ScreenGeometry::captureDisplays();
    return displays.isEmpty() ? 0 : displays.first().displayID;
}

using testsupport::SolidWindow;

constexpr QRgb kRed = 0xffff0000, kBlue = 0xff0000ff, kYellow = 0xffffff00, kGreen = 0xff00ff00,
               kCyan = 0xff00ffff, kMagenta = 0xffff00ff;
const QRect kRegion(200, 150, 800, 450);

QRgb at(const QImage& image, QPoint point) {
    return image.pixel(point) | 0xff000000;
}

class RecorderOnX11 : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(firstDisplay(), 0u);
        testsupport::xdotool({"mousemove", "1900", "1060"});
    }

    // Records `region` for `milliseconds` and finishes.
    std::unique_ptr<ScreenRecorder> record(RecordingOptions options, int milliseconds,
                                           QRectF region = kRegion) {
        auto made =
            ScreenRecorder::make(firstDisplay(), region, options, sinks.factory(), folder.path());
        if (auto* error = std::get_if<RecorderError>(&made)) {
            ADD_FAILURE() << error->description().toStdString();
            return nullptr;
        }
        auto recorder = std::move(std::get<0>(made));
        pump(milliseconds);
        return recorder;
    }

    void finish(ScreenRecorder& recorder) {
        bool done = false;
        recorder.finish([&](std::variant<QString, WriterError> result) {
            EXPECT_TRUE(std::holds_alternative<QString>(result));
            done = true;
        });
        ASSERT_TRUE(waitFor(5000, [&] { return done; }));
    }

    // The kept picture of the 10th frame or later.
    QImage tenthFrame() {
        const auto frames = sinks.sink->frames();
        EXPECT_GT(frames.size(), 10u);
        return frames.size() > 10 ? frames[10].image : QImage();
    }

    QTemporaryDir folder;
    Sinks sinks;
};

// The strongest frequency of the louder half of a tone, by its zero crossings.
double toneFrequency(const std::vector<platform::AudioChunk>& chunks) {
    std::vector<float> left;
    for (const auto& chunk : chunks) {
        for (std::size_t i = 0; i + 1 < chunk.samples.size(); i += 2) {
            left.push_back(chunk.samples[i]);
        }
    }
    float peak = 0;
    for (float v : left) {
        peak = std::max(peak, std::abs(v));
    }
    if (peak < 0.01f) {
        return 0;
    }
    // Only where the tone sounds.
    std::size_t first = 0, last = 0;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (std::abs(left[i]) > peak / 2) {
            first = first == 0 ? i : first;
            last = i;
        }
    }
    int crossings = 0;
    for (std::size_t i = first + 1; i <= last; ++i) {
        crossings += (left[i - 1] < 0) != (left[i] < 0);
    }
    return crossings / 2.0 / (double(last - first) / 48000.0);
}

TEST_F(RecorderOnX11, AreaGivesSteadyFramesOfItsPixelsAndTheSystemSound) {
    SolidWindow yellow(QStringLiteral("Yellowin"), kYellow, QRect(100, 100, 1100, 700));
    const QRect frame = yellow.frame();
    QProcess tone;
    tone.start(QStringLiteral("bash"),
               {"-c", "ffmpeg -loglevel error -f lavfi -i sine=frequency=440:duration=2.5 "
                      "-f f32le -ar 48000 -ac 2 - | pacat --format=float32le --rate=48000 "
                      "--channels=2 --raw"});
    RecordingOptions options;
    options.systemAudio = true;
    options.fps = 30;
    auto recorder = record(options, 3000);
    ASSERT_TRUE(recorder);
    const platform::HostTime stopped = platform::hostTimeNow();
    finish(*recorder);
    tone.waitForFinished(5000);

    EXPECT_EQ(sinks.size, QSize(800, 450));
    EXPECT_EQ(sinks.tracks, std::vector<AudioTrack>{AudioTrack::system});
    EXPECT_TRUE(sinks.path.startsWith(folder.path()) && sinks.path.endsWith(".mp4"));
    const auto frames = sinks.sink->frames();
    EXPECT_NEAR(double(frames.size()), 90, 6);
    ASSERT_GE(frames.size(), 2u);
    EXPECT_NEAR((frames.back().time - frames.front().time) / 1e9, 3.0, 0.2);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        // On the grid of 1/30 s: whole ticks apart.
        const double ticks = (frames[i].time - frames[0].time) * 30 / 1e9;
        ASSERT_LT(std::abs(ticks - std::round(ticks)), 1e-6) << "frame " << i;
        ASSERT_GT(frames[i].time, frames[i - 1].time);
        ASSERT_EQ(frames[i].size, QSize(800, 450));
    }
    ASSERT_LE(frames.back().time, stopped);
    const QPoint inside = frame.center() - kRegion.topLeft();
    for (const auto& kept : frames) {
        if (!kept.image.isNull()) {
            ASSERT_EQ(at(kept.image, inside), kYellow);
            ASSERT_EQ(at(kept.image, {0, 449}), kYellow);
        }
    }
    const auto sound = sinks.sink->sound(AudioTrack::system);
    ASSERT_FALSE(sound.empty());
    EXPECT_NEAR(toneFrequency(sound), 440, 15);
    // The sound is stamped on the frames' clock: an idle output gives no
    // sound, so it starts with the tone, inside the recording, and it ends
    // with the last picture (a frame after the stop at most); while the tone
    // sounds its pieces join one after the other.
    EXPECT_GE(sound.front().time, frames.front().time - 300'000'000);
    const platform::HostTime soundEnd =
        sound.back().time +
        platform::HostTime(sound.back().samples.size() / 2) * 1'000'000'000 / 48000;
    EXPECT_LE(soundEnd, stopped + 1'000'000'000 / 30 + 10'000'000);
    EXPECT_GE(soundEnd, stopped);
    const auto loud = [](const platform::AudioChunk& chunk) {
        float peak = 0;
        for (float v : chunk.samples) {
            peak = std::max(peak, std::abs(v));
        }
        return peak > 0.05f;
    };
    // A piece that does not join comes a little early: the clock's anchor is
    // the tightest of the arrivals seen so far, and a busy machine lets a
    // better one come after a few pieces. A piece that comes late would be
    // sound lost, which must not happen.
    int joins = 0, joined = 0;
    platform::HostTime latest = 0;
    for (std::size_t i = 1; i < sound.size(); ++i) {
        if (!loud(sound[i - 1]) || !loud(sound[i])) {
            continue;
        }
        const platform::HostTime end =
            sound[i - 1].time +
            platform::HostTime(sound[i - 1].samples.size() / 2) * 1'000'000'000 / 48000;
        ++joins;
        joined += std::abs(sound[i].time - end) < 1'000'000;
        latest = std::max(latest, sound[i].time - end);
    }
    EXPECT_GT(joins, 40);
    EXPECT_GE(joined, joins - std::max(2, joins / 10));
    EXPECT_LT(latest, 1'000'000) << "a piece of sound came after a gap";
    EXPECT_TRUE(sinks.sink->sound(AudioTrack::microphone).empty());
    EXPECT_EQ(sinks.sink->calls(), QStringList{"finish"});
    ASSERT_TRUE(sinks.sink->endTime_);
    EXPECT_LE(*sinks.sink->endTime_, stopped + 1'000'000'000);
}

// An encoder that stays far behind gets every eighth tick of the grid at
// most: the grabs are left out evenly rather than the pictures lost in runs.
TEST_F(RecorderOnX11, AnEncoderFarBehindThinsTheTicksEvenly) {
    sinks.backlog = 8;
    RecordingOptions options;
    options.fps = 30;
    auto recorder = record(options, 2500);
    ASSERT_TRUE(recorder);
    finish(*recorder);
    const auto frames = sinks.sink->frames();
    ASSERT_GE(frames.size(), 4u);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        const double ticks = (frames[i].time - frames[i - 1].time) * 30 / 1e9;
        ASSERT_LT(std::abs(ticks - std::round(ticks)), 1e-6) << "frame " << i;
        ASSERT_GE(std::round(ticks), 8) << "frame " << i;
    }
}

TEST_F(RecorderOnX11, PointerIsDrawnOnlyWhenAskedFor) {
    SolidWindow yellow(QStringLiteral("Yellowin"), kYellow, QRect(100, 100, 1100, 700));
    testsupport::xdotool({"mousemove", "600", "400"});
    for (bool show : {true, false}) {
        SCOPED_TRACE(show);
        RecordingOptions options;
        options.showCursor = show;
        auto recorder = record(options, 500);
        ASSERT_TRUE(recorder);
        finish(*recorder);
        const QImage image = tenthFrame();
        ASSERT_FALSE(image.isNull());
        int changed = 0;
        for (int y = 250; y < 280; ++y) {
            for (int x = 400; x < 430; ++x) {
                changed += at(image, {x, y}) != kYellow;
            }
        }
        EXPECT_EQ(changed > 20, show) << changed << " pixels differ";
    }
}

TEST_F(RecorderOnX11, HiddenAppsAndOwnPanelsAreLeftOut) {
    QByteArray extensions;
    {
        QProcess xdpyinfo;
        xdpyinfo.start(QStringLiteral("xdpyinfo"), {"-queryExtensions"});
        xdpyinfo.waitForFinished(5000);
        extensions = xdpyinfo.readAllStandardOutput();
    }
    ASSERT_TRUE(extensions.contains("Composite")) << "the rig's X server has no Composite";
    SolidWindow blue(QStringLiteral("Bluewin"), kBlue, QRect(250, 200, 700, 380));
    SolidWindow red(QStringLiteral("Redwin"), kRed, QRect(450, 300, 300, 200));
    const QPoint redCentre = red.frame().center() - kRegion.topLeft();

    // One of our own tool windows (not an ordinary titled window).
    QWidget tool(nullptr, Qt::Tool);
    tool.setWindowTitle(QStringLiteral("our panel"));
    tool.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(kGreen));
    tool.setPalette(palette);
    tool.setGeometry(300, 230, 100, 80);
    tool.show();
    ASSERT_TRUE(waitFor(5000, [&] {
        auto window = platform::clientWindow(std::uint32_t(tool.winId()));
        return window && window->viewable;
    }));
    pump(300);
    const QPoint toolCentre =
        platform::clientWindow(std::uint32_t(tool.winId()))->frame.center() - kRegion.topLeft();

    struct Case {
        const char* name;
        QStringList hidden;
        bool toolRecorded;
        QRgb atRed;
        QRgb atTool;
    };
    const Case cases[] = {
        {"nothing hidden", {}, false, kRed, kBlue},
        {"Redwin hidden", {"Redwin"}, false, kBlue, kBlue},
        {"an empty id hides nothing", {""}, false, kRed, kBlue},
        {"the tool window recorded", {}, true, kRed, kGreen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingOptions options;
        options.showCursor = false;
        options.filter.hiddenApps = c.hidden;
        if (c.toolRecorded) {
            options.filter.recordedWindows = {std::uint32_t(tool.winId())};
        }
        sinks = {};
        auto recorder = record(options, 600);
        ASSERT_TRUE(recorder);
        EXPECT_TRUE(recorder->canHideWindows());
        finish(*recorder);
        const QImage image = tenthFrame();
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(at(image, redCentre), c.atRed);
        EXPECT_EQ(at(image, toolCentre), c.atTool);
    }
}

// The desktop's colour set by xsetroot, which publishes no picture of it:
// beneath a left-out window the frames show that colour, not black. A window
// of ours that the recording keeps and that is cut by a shape (as the click
// overlay is without a compositing manager) shows in the frames only where
// its shape lets it show on the screen, also over a left-out window, and
// leaves the frames when its shape lets go of the pixels it painted.
TEST_F(RecorderOnX11, LeftOutWindowsShowTheDesktopAndKeptWindowsOnlyTheirShape) {
    const QRgb desktop = 0xff3366cc;
    ASSERT_EQ(QProcess::execute(QStringLiteral("xsetroot"), {"-solid", "#3366cc"}), 0);
    struct BlackAgain {
        ~BlackAgain() { QProcess::execute(QStringLiteral("xsetroot"), {"-solid", "black"}); }
    } blackAgain;
    SolidWindow blue(QStringLiteral("Bluewin"), kBlue, QRect(250, 200, 300, 300));
    SolidWindow red(QStringLiteral("Redwin"), kRed, QRect(450, 300, 400, 200));

    // Painted green all over, shown only through a 40-pixel square over the
    // hidden window.
    QWidget overlay(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    overlay.setAttribute(Qt::WA_ShowWithoutActivating);
    overlay.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(kGreen));
    overlay.setPalette(palette);
    overlay.setGeometry(kRegion);
    const QRect square(600, 380, 40, 40);
    overlay.show();
    ASSERT_TRUE(
        platform::setWindowShape(overlay.winId(), QRegion(square.translated(-kRegion.topLeft()))));
    ASSERT_TRUE(waitFor(5000, [&] {
        auto window = platform::clientWindow(std::uint32_t(overlay.winId()));
        return window && window->viewable;
    }));
    pump(300);

    RecordingOptions options;
    options.showCursor = false;
    options.filter.hiddenApps = {QStringLiteral("Redwin")};
    options.filter.recordedWindows = {std::uint32_t(overlay.winId())};
    auto recorder = record(options, 600);
    ASSERT_TRUE(recorder);
    const QImage before = sinks.sink->lastPicture();
    // The shape lets go of the square; the paint stays in the window. And a
    // window of the hidden application comes up meanwhile.
    platform::setWindowShape(overlay.winId(), QRegion());
    SolidWindow late(QStringLiteral("Redwin"), kRed, QRect(260, 530, 200, 50));
    pump(600);
    finish(*recorder);
    const QImage after = sinks.sink->lastPicture();
    ASSERT_FALSE(before.isNull());
    ASSERT_FALSE(after.isNull());

    const auto local = [](int x, int y) { return QPoint(x, y) - kRegion.topLeft(); };
    struct Point {
        const char* name;
        QPoint at;
        QRgb before;
        QRgb after;
    };
    const Point points[] = {
        {"hidden window over the desktop", local(800, 450), desktop, desktop},
        {"hidden window over the blue one", local(500, 350), kBlue, kBlue},
        {"the shaped square", square.center() - kRegion.topLeft(), kGreen, desktop},
        {"our window outside its shape, over the hidden one", local(700, 480), desktop, desktop},
        {"our window outside its shape, over the desktop", local(900, 200), desktop, desktop},
        {"the blue window alone", local(300, 250), kBlue, kBlue},
        {"a hidden window that came later", local(280, 555), desktop, desktop},
    };
    for (const Point& p : points) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(at(before, p.at), p.before);
        EXPECT_EQ(at(after, p.at), p.after);
    }
}

// Recorded at half its pixels (a display of scale 2 at one pixel per point):
// every frame at half the size, each window's colour where it was.
TEST_F(RecorderOnX11, HalfSizeFramesKeepTheirPicture) {
    SolidWindow blue(QStringLiteral("Bluewin"), kBlue, QRect(200, 150, 400, 448));
    SolidWindow yellow(QStringLiteral("Yellowin"), kYellow, QRect(600, 150, 400, 448));
    RecordingOptions options;
    options.showCursor = false;
    options.scale = 0.5;
    auto recorder = record(options, 500, QRectF(200, 150, 800, 448));
    ASSERT_TRUE(recorder);
    finish(*recorder);
    EXPECT_EQ(sinks.size, QSize(400, 224));
    const QImage image = tenthFrame();
    ASSERT_EQ(image.size(), QSize(400, 224));
    EXPECT_EQ(at(image, {100, 112}), kBlue);
    EXPECT_EQ(at(image, {300, 112}), kYellow);
}

TEST_F(RecorderOnX11, HidingTakesEffectDuringTheRecording) {
    SolidWindow blue(QStringLiteral("Bluewin"), kBlue, QRect(250, 200, 700, 380));
    SolidWindow note(QStringLiteral("Notifier"), kRed, QRect(450, 300, 300, 200), true);
    const QPoint centre = note.frame().center() - kRegion.topLeft();
    RecordingOptions options;
    options.showCursor = false;
    auto recorder = record(options, 500);
    ASSERT_TRUE(recorder);
    RecordingFilter filter;
    filter.hideNotifications = true;
    recorder->updateFilter(filter);
    pump(500);
    finish(*recorder);
    const auto frames = sinks.sink->frames();
    ASSERT_GT(frames.size(), 20u);
    EXPECT_EQ(at(frames[5].image, centre), kRed);
    EXPECT_EQ(at(sinks.sink->lastPicture(), centre), kBlue);
}

TEST_F(RecorderOnX11, WindowAloneShowsOnlyItselfAndKeepsItsSize) {
    SolidWindow target(QStringLiteral("Target"), kCyan, QRect(500, 300, 400, 300));
    SolidWindow cover(QStringLiteral("Cover"), kMagenta, QRect(700, 250, 400, 400));
    const QRect frame = target.frame();
    // The covered half, inside the window.
    const QPoint covered(frame.width() * 3 / 4, frame.height() * 3 / 4);

    RecordingOptions options;
    options.showCursor = false;
    options.filter.window = target.id();
    auto made =
        ScreenRecorder::make(firstDisplay(), frame, options, sinks.factory(), folder.path());
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<ScreenRecorder>>(made));
    auto recorder = std::move(std::get<0>(made));
    pump(500);
    testsupport::xdotool({"windowmove", QString::number(target.id()), "900", "500"});
    ASSERT_TRUE(waitFor(3000, [&] { return target.frame().topLeft() != frame.topLeft(); }));
    const std::size_t beforeMove = sinks.sink->frames().size();
    // As the window follower does.
    recorder->update(target.frame());
    pump(600);
    finish(*recorder);

    EXPECT_EQ(sinks.size, frame.size() - QSize(frame.width() % 2, frame.height() % 2));
    const auto frames = sinks.sink->frames();
    ASSERT_GT(frames.size(), beforeMove + 10);
    for (const auto& kept : frames) {
        ASSERT_EQ(kept.size, sinks.size);
    }
    EXPECT_EQ(at(frames[10].image, covered), kCyan);
    EXPECT_EQ(at(sinks.sink->lastPicture(), covered), kCyan);
}

TEST_F(RecorderOnX11, MakeRefusesAndCleansUp) {
    RecordingOptions options;
    // No such display, no such window: nothing is made.
    auto noDisplay = ScreenRecorder::make(firstDisplay() + 1000, kRegion, options, sinks.factory(),
                                          folder.path());
    ASSERT_TRUE(std::holds_alternative<RecorderError>(noDisplay));
    EXPECT_EQ(std::get<RecorderError>(noDisplay).captureError(), desktop::CaptureError::noDisplays);
    RecordingOptions gone = options;
    gone.filter.window = 0x7ffffff0;
    auto noWindow =
        ScreenRecorder::make(firstDisplay(), kRegion, gone, sinks.factory(), folder.path());
    ASSERT_TRUE(std::holds_alternative<RecorderError>(noWindow));
    EXPECT_EQ(std::get<RecorderError>(noWindow).captureError(),
              desktop::CaptureError::windowNotFound);
    EXPECT_EQ(sinks.sink, nullptr);

    // A failure once the sink exists cancels it.
    auto empty = ScreenRecorder::make(firstDisplay(), QRectF(10, 10, 0, 0), options,
                                      sinks.factory(), folder.path());
    ASSERT_TRUE(std::holds_alternative<RecorderError>(empty));
    EXPECT_EQ(std::get<RecorderError>(empty).kind(), RecorderError::Kind::screen);
    EXPECT_EQ(*sinks.log, QStringList{"cancel"});
}

TEST_F(RecorderOnX11, SoundSourcesFollowTheServer) {
    // The default input is only the output's monitor: no microphone, and the
    // recording goes on with the system's sound alone.
    QProcess::execute(QStringLiteral("pactl"), {"set-default-source", "speakers.monitor"});
    RecordingOptions options;
    options.systemAudio = true;
    options.microphone = true;
    QString recorderNote;
    {
        auto recorder = record(options, 300);
        ASSERT_TRUE(recorder);
        EXPECT_FALSE(recorder->options().microphone);
        EXPECT_TRUE(recorder->soundNote().startsWith(
            QLatin1String("Recording without the microphone: no microphone was found.")))
            << recorder->soundNote().toStdString();
        EXPECT_EQ(sinks.tracks, std::vector<AudioTrack>{AudioTrack::system});
        recorder->stop();
        EXPECT_EQ(sinks.sink->calls(), QStringList{"cancel"});
    }
    QProcess::execute(QStringLiteral("pactl"), {"set-default-source", "mic"});
    {
        sinks = {};
        auto recorder = record(options, 300);
        ASSERT_TRUE(recorder);
        EXPECT_TRUE(recorder->options().microphone);
        EXPECT_EQ(sinks.tracks,
                  (std::vector<AudioTrack>{AudioTrack::system, AudioTrack::microphone}));
        recorder->pause();
        recorder->resume();
        recorderNote = recorder->soundNote();
        finish(*recorder);
        EXPECT_EQ(sinks.sink->calls(), (QStringList{"pause", "resume", "finish"}));
    }
    EXPECT_EQ(recorderNote, QString());
    // No sound server at all: the pictures are recorded without sound, and
    // the note says why.
    const QByteArray server = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/vexlin-native");
    sinks = {};
    auto silent =
        ScreenRecorder::make(firstDisplay(), kRegion, options, sinks.factory(), folder.path());
    qputenv("PULSE_SERVER", server);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<ScreenRecorder>>(silent))
        << std::get<RecorderError>(silent).description().toStdString();
    auto& recorder = std::get<std::unique_ptr<ScreenRecorder>>(silent);
    EXPECT_FALSE(recorder->options().systemAudio);
    EXPECT_FALSE(recorder->options().microphone);
    EXPECT_EQ(sinks.tracks, std::vector<AudioTrack>{});
    EXPECT_TRUE(recorder->soundNote().startsWith(QLatin1String("Recording without sound: ")))
        << recorder->soundNote().toStdString();
    EXPECT_TRUE(recorder->soundNote().contains(QLatin1String("sound server")))
        << recorder->soundNote().toStdString();
    ASSERT_TRUE(testsupport::waitFor(5000, [&] { return !sinks.sink->frames().empty(); }));
    finish(*recorder);
}

} // namespace
} // namespace recording
