#include "recording/RecordingWriter.h"

#include "platform/TickGrid.h"

#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using recording::RecordingWriter;
using recording::WriterError;
using Source = RecordingWriter::AudioSource;

constexpr platform::HostTime ms = 1'000'000;
constexpr platform::HostTime frame = 1000 * ms / 30;
constexpr platform::HostTime t0 = 7'000'000 * ms;

// A movie that notes what reaches it and answers as told.
struct FakeMovie {
    struct Append {
        int track; // -1: video
        platform::HostTime time;
        friend bool operator==(const Append&, const Append&) = default;
    };
    std::mutex mutex;
    platform::MovieSettings settings;
    std::vector<Append> appends;
    // Answers for the appends in turn; appended once they run out.
    std::vector<platform::AppendResult> answers;
    std::optional<platform::HostTime> finishedAt;
    std::optional<QString> finishError;
    bool cancelled = false;
    bool onWriterThread = true;
    // With a capacity, a video encoder that holds that many pictures and
    // turns away (counts, not notes) one more; the test encodes them.
    int capacity = 0;
    int waiting = 0;
    int turnedAway = 0;
    // While set, a picture stays in the movie's appendVideo (its conversion)
    // until it is cleared; converting tells that one is there.
    bool holdPictures = false;
    bool converting = false;
    std::condition_variable changed;

    class Writer final : public platform::MovieWriter {
    public:
        explicit Writer(std::shared_ptr<FakeMovie> movie) : movie_(std::move(movie)) {}
        platform::AppendResult appendVideo(const QImage&, std::int64_t time) override {
            return note(-1, time);
        }
        platform::AppendResult appendAudio(int track, const std::vector<float>&,
                                           std::int64_t time) override {
            return note(track, time);
        }
        bool hasFailed() const override { return false; }
        platform::VideoBacklog videoBacklog() const override {
            std::lock_guard lock(movie_->mutex);
            return {movie_->waiting, movie_->capacity};
        }
        std::optional<QString> finish(std::int64_t end) override {
            std::lock_guard lock(movie_->mutex);
            movie_->finishedAt = end;
            return movie_->finishError;
        }
        void cancel() override {
            std::lock_guard lock(movie_->mutex);
            movie_->cancelled = true;
        }

    private:
        platform::AppendResult note(int track, std::int64_t time) {
            std::lock_guard lock(movie_->mutex);
            if (QThread::currentThread()->objectName() !=
                QLatin1String("Vexlin.recording-writer")) {
                movie_->onWriterThread = false;
            }
            if (track == -1 && movie_->holdPictures) {
                std::unique_lock held(movie_->mutex, std::adopt_lock);
                movie_->converting = true;
                movie_->changed.notify_all();
                movie_->changed.wait(held, [this] { return !movie_->holdPictures; });
                movie_->converting = false;
                movie_->changed.notify_all();
                held.release();
            }
            if (track == -1 && movie_->capacity > 0) {
                if (movie_->waiting == movie_->capacity) {
                    ++movie_->turnedAway;
                    return platform::AppendResult::notReady;
                }
                ++movie_->waiting;
            }
            movie_->appends.push_back({track, time});
            if (movie_->answers.empty()) {
                return platform::AppendResult::appended;
            }
            const platform::AppendResult answer = movie_->answers.front();
            movie_->answers.erase(movie_->answers.begin());
            return answer;
        }
        std::shared_ptr<FakeMovie> movie_;
    };
};

struct Made {
    std::unique_ptr<RecordingWriter> writer;
    std::shared_ptr<FakeMovie> movie;
};

Made makeWriter(const QString& path, const std::vector<Source>& audio,
                std::optional<RecordingWriter::Codec> codec = std::nullopt,
                QSize size = {1280, 720}, int fps = 30) {
    auto movie = std::make_shared<FakeMovie>();
    auto made = RecordingWriter::make(
        path, size, fps, 0.1, codec, audio, [movie](const platform::MovieSettings& settings) {
            movie->settings = settings;
            return platform::MovieWriterResult(std::make_unique<FakeMovie::Writer>(movie));
        });
    auto* writer = std::get_if<std::unique_ptr<RecordingWriter>>(&made);
    EXPECT_TRUE(writer);
    return {writer ? std::move(*writer) : nullptr, movie};
}

void video(RecordingWriter& writer, platform::HostTime t) {
    writer.queue().sync([&] { writer.appendVideo({QImage(4, 4, QImage::Format_RGB32), t0 + t}); });
}

void audio(RecordingWriter& writer, platform::HostTime t, Source source) {
    writer.queue().sync([&] { writer.appendAudio({std::vector<float>(96, 0.f), t0 + t}, source); });
}

// Finishes and waits for `done` on the main thread.
std::optional<WriterError> finish(RecordingWriter& writer,
                                  std::optional<platform::HostTime> endTime) {
    std::optional<std::optional<WriterError>> result;
    bool onMain = false;
    writer.finish(endTime ? std::optional(t0 + *endTime) : std::nullopt,
                  [&](std::optional<WriterError> error) {
                      onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
                      result = error;
                  });
    EXPECT_TRUE(testsupport::waitFor(5000, [&] { return result.has_value(); }));
    EXPECT_TRUE(onMain);
    return result.value_or(WriterError::failed(QStringLiteral("never finished")));
}

TEST(RecordingWriter, AsksForTheMovieItsRulesGive) {
    testsupport::TempDir dir;
    const struct {
        QSize size;
        int fps;
        std::optional<RecordingWriter::Codec> codec;
        std::vector<Source> audio;
        platform::VideoCodec expectedCodec;
        std::int64_t bitRate;
        int tracks;
    } cases[] = {
        {{1920, 1080},
         30,
         std::nullopt,
         {Source::system, Source::microphone},
         platform::VideoCodec::h264,
         6'220'800,
         2},
        {{1920, 1080}, 255, std::nullopt, {}, platform::VideoCodec::hevc, 24'572'160, 0},
        {{640, 360},
         30,
         RecordingWriter::Codec::hevc,
         {Source::microphone},
         platform::VideoCodec::hevc,
         1'000'000,
         1},
        {{5120, 2880},
         30,
         RecordingWriter::Codec::h264,
         {Source::system, Source::system},
         platform::VideoCodec::h264,
         44'236'800,
         1},
    };
    for (const auto& c : cases) {
        const QString path = dir.file(QStringLiteral("a.mp4"));
        Made made = makeWriter(path, c.audio, c.codec, c.size, c.fps);
        ASSERT_TRUE(made.writer);
        const platform::MovieSettings& settings = made.movie->settings;
        EXPECT_EQ(settings.path, path);
        EXPECT_EQ(settings.size, c.size);
        EXPECT_EQ(settings.frameRate, c.fps);
        EXPECT_EQ(settings.codec, c.expectedCodec);
        EXPECT_EQ(settings.bitRate, c.bitRate);
        EXPECT_EQ(settings.audioTracks, c.tracks);
    }
}

TEST(RecordingWriter, SamplesGoToTheirTracksOnTheMoviesTimeline) {
    testsupport::TempDir dir;
    Made made = makeWriter(dir.file(QStringLiteral("a.mp4")), {Source::microphone});
    RecordingWriter& writer = *made.writer;
    audio(writer, 0, Source::microphone);       // before the first picture
    video(writer, 10 * ms);                     // the movie's start
    audio(writer, 20 * ms, Source::microphone); // the one track
    audio(writer, 20 * ms, Source::system);     // not recorded
    video(writer, 10 * ms + frame);
    EXPECT_FALSE(finish(writer, std::nullopt));

    const std::vector<FakeMovie::Append> expected = {{-1, 0}, {0, 10 * ms}, {-1, frame}};
    EXPECT_EQ(made.movie->appends, expected);
    EXPECT_EQ(made.movie->finishedAt, 2 * frame);
    EXPECT_TRUE(made.movie->onWriterThread);
}

TEST(RecordingWriter, ASampleTheBusyEncoderTurnsAwayIsLost) {
    testsupport::TempDir dir;
    Made made = makeWriter(dir.file(QStringLiteral("a.mp4")), {});
    made.movie->answers = {platform::AppendResult::appended, platform::AppendResult::appended,
                           platform::AppendResult::notReady};
    video(*made.writer, 0);
    video(*made.writer, frame);
    video(*made.writer, 2 * frame); // dropped: the movie ends with the one before
    EXPECT_FALSE(finish(*made.writer, std::nullopt));
    EXPECT_EQ(made.movie->appends.size(), 3u);
    EXPECT_EQ(made.movie->finishedAt, 2 * frame);
}

// The screen's ticks thinned by how far the encoder is behind, as the frame
// source does, against an encoder that manages only part of the rate: the
// pictures are spread evenly, none is turned away, and the movie lasts the
// time recorded.
TEST(RecordingWriter, ASlowEncoderGetsEvenlyThinnedPicturesAndTheMovieLastsTheTimeRecorded) {
    testsupport::TempDir dir;
    constexpr int ticks = 600; // 20 s at 30 fps
    const struct {
        const char* name;
        int cost;                  // ticks of work a picture takes
        std::pair<int, int> stall; // ticks without any work
        double share;              // of the ticks, about
        int longestGap;            // in ticks
    } cases[] = {
        {"an encoder that keeps up", 1, {}, 1.0, 1},
        // The encoder's slow start or a slow write: the queue takes the
        // burst, and not a tick is left out for it.
        {"an encoder that keeps up after a stall of seven ticks", 1, {300, 307}, 1.0, 1},
        {"half the rate", 2, {}, 0.5, 3},
        {"a third of the rate", 3, {}, 1.0 / 3, 4},
        {"a sixth of the rate", 6, {}, 1.0 / 6, 7},
        {"half the rate with a stall of a quarter second", 2, {300, 308}, 0.5, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Made made = makeWriter(dir.file(QStringLiteral("a.mp4")), {});
        // Half a second, as the movie writer holds at 30 fps.
        made.movie->capacity = 15;
        RecordingWriter& writer = *made.writer;
        platform::TickThinning thinning;
        int work = 0;
        for (int tick = 0; tick < ticks; ++tick) {
            {
                std::lock_guard lock(made.movie->mutex);
                int& waiting = made.movie->waiting;
                const bool stalled = tick >= c.stall.first && tick < c.stall.second;
                work = waiting > 0 && !stalled ? work + 1 : 0;
                for (; waiting > 0 && work >= c.cost; work -= c.cost) {
                    --waiting;
                }
            }
            const platform::VideoBacklog backlog = writer.videoBacklog();
            if (thinning.take(tick, double(backlog.waiting) / backlog.capacity)) {
                video(writer, tick * frame);
            }
        }
        EXPECT_FALSE(finish(writer, ticks * frame));

        EXPECT_EQ(made.movie->turnedAway, 0);
        const std::vector<FakeMovie::Append>& pictures = made.movie->appends;
        ASSERT_FALSE(pictures.empty());
        EXPECT_EQ(pictures.front().time, 0);
        platform::HostTime longest = 0;
        for (std::size_t i = 1; i < pictures.size(); ++i) {
            longest = std::max(longest, pictures[i].time - pictures[i - 1].time);
        }
        EXPECT_LE(longest, c.longestGap * frame);
        EXPECT_NEAR(double(pictures.size()) / ticks, c.share, 0.05);
        // The last picture lasts until the stop.
        EXPECT_EQ(made.movie->finishedAt, ticks * frame);
    }
}

TEST(RecordingWriter, APauseCountsFromItsCall) {
    testsupport::TempDir dir;
    Made made = makeWriter(dir.file(QStringLiteral("a.mp4")), {});
    RecordingWriter& writer = *made.writer;
    const auto at = [&writer](platform::HostTime t) {
        writer.queue().sync([&] { writer.appendVideo({QImage(4, 4, QImage::Format_RGB32), t}); });
    };
    const platform::HostTime start = platform::hostTimeNow() - 2000 * ms;
    at(start);
    // Then a still screen for two seconds, then the pause, asked for here and
    // carried out on the writer's thread.
    const platform::HostTime pausedAt = platform::hostTimeNow();
    writer.pause();
    writer.pause();
    at(pausedAt + 5 * ms);
    writer.resume();
    at(pausedAt + 9000 * ms);
    EXPECT_FALSE(finish(writer, std::nullopt));
    ASSERT_EQ(made.movie->appends.size(), 2u);
    // The still stretch up to the pause is kept; the pause itself is not.
    const platform::HostTime resumedAt = made.movie->appends[1].time;
    EXPECT_GE(resumedAt, pausedAt - start);
    EXPECT_LT(resumedAt, pausedAt - start + 500 * ms);
}

TEST(RecordingWriter, NothingTakenIsNothingRecorded) {
    testsupport::TempDir dir;
    const struct {
        const char* name;
        std::vector<platform::AppendResult> answers;
        int frames;
    } cases[] = {
        {"no picture at all", {}, 0},
        // The sound from before the picture goes in ahead of it.
        {"the only picture refused",
         {platform::AppendResult::appended, platform::AppendResult::refused},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Made made = makeWriter(dir.file(QStringLiteral("a.mp4")), {Source::system});
        made.movie->answers = c.answers;
        audio(*made.writer, 0, Source::system);
        for (int i = 0; i < c.frames; ++i) {
            video(*made.writer, i * frame);
        }
        const std::optional<WriterError> error = finish(*made.writer, 5 * frame);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), WriterError::Kind::nothingRecorded);
        EXPECT_EQ(error->description(), QStringLiteral("Nothing was recorded."));
        EXPECT_TRUE(made.movie->cancelled);
        EXPECT_FALSE(made.movie->finishedAt);
    }
}

TEST(RecordingWriter, FailuresComeBackAsTheirMessages) {
    testsupport::TempDir dir;
    const QString path = dir.file(QStringLiteral("a.mp4"));
    testsupport::writeAll(path, "an older recording");
    auto made = RecordingWriter::make(
        path, {64, 64}, 30, 0.1, std::nullopt, {}, [](const platform::MovieSettings&) {
            return platform::MovieWriterResult(QStringLiteral("The disk is on fire."));
        });
    ASSERT_TRUE(std::holds_alternative<WriterError>(made));
    EXPECT_EQ(std::get<WriterError>(made).kind(), WriterError::Kind::failed);
    EXPECT_EQ(std::get<WriterError>(made).description(), QStringLiteral("The disk is on fire."));

    Made writing = makeWriter(path, {});
    writing.movie->finishError = QStringLiteral("No space left on device.");
    video(*writing.writer, 0);
    const std::optional<WriterError> error = finish(*writing.writer, std::nullopt);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), WriterError::Kind::failed);
    EXPECT_EQ(error->description(), QStringLiteral("No space left on device."));
    // Samples after the end are not taken.
    video(*writing.writer, frame);
    EXPECT_EQ(writing.movie->appends.size(), 1u);
}

TEST(RecordingWriter, CancelRemovesTheFileAfterWhatCameBefore) {
    testsupport::TempDir dir;
    const QString path = dir.file(QStringLiteral("a.mp4"));
    Made made = makeWriter(path, {});
    video(*made.writer, 0);
    testsupport::writeAll(path, "what the movie wrote");
    made.writer->cancel();
    made.writer->queue().sync([] {});
    EXPECT_TRUE(made.movie->cancelled);
    EXPECT_FALSE(QFile::exists(path));
    video(*made.writer, frame);
    EXPECT_EQ(made.movie->appends.size(), 1u);
}

TEST(RecordingWriter, SoundBeforeTheFirstPictureKeepsWhatBelongsAfterIt) {
    testsupport::TempDir dir;
    Made made = makeWriter(dir.file(QStringLiteral("a.mp4")), {Source::system});
    RecordingWriter& writer = *made.writer;
    // Sound comes straight from the sound server's thread, ahead of the
    // picture taken at the same moment.
    std::thread server([&writer] {
        writer.appendAudio({std::vector<float>(2 * 48, 0.f), t0}, Source::system); // 0-1 ms
        writer.appendAudio({std::vector<float>(2 * 960, 0.f), t0 + 5 * ms}, Source::system); // 5-25
    });
    server.join();
    video(writer, 10 * ms);
    audio(writer, 25 * ms, Source::system);
    EXPECT_FALSE(finish(writer, std::nullopt));
    // The first chunk ended before the picture; the second starts 5 ms before
    // it, so its first 5 ms are cut where it lands.
    const std::vector<FakeMovie::Append> expected = {{0, -5 * ms}, {-1, 0}, {0, 15 * ms}};
    EXPECT_EQ(made.movie->appends, expected);
}

TEST(RecordingWriter, SoundIsTakenWhileAPictureIsConverted) {
    testsupport::TempDir dir;
    Made made = makeWriter(dir.file(QStringLiteral("a.mp4")), {Source::system});
    RecordingWriter& writer = *made.writer;
    FakeMovie& movie = *made.movie;
    const auto converting = [&movie](bool is) {
        std::unique_lock lock(movie.mutex);
        return movie.changed.wait_for(lock, std::chrono::seconds(10),
                                      [&] { return movie.converting == is; });
    };
    const auto release = [&movie] {
        std::lock_guard lock(movie.mutex);
        movie.holdPictures = false;
        movie.changed.notify_all();
    };
    // Sound from before the first picture, then the first picture and a
    // later one, each held in its conversion while the sound goes on.
    writer.appendAudio({std::vector<float>(2 * 480, 0.f), t0}, Source::system); // 0-10 ms
    for (const platform::HostTime at : {5 * ms, 5 * ms + frame}) {
        {
            std::lock_guard lock(movie.mutex);
            movie.holdPictures = true;
        }
        writer.queue().async([&writer, at] {
            writer.appendVideo({QImage(4, 4, QImage::Format_RGB32), t0 + at});
        });
        ASSERT_TRUE(converting(true));
        // From the sound server's thread: it must not wait for the picture.
        std::atomic<bool> taken = false;
        std::thread server([&writer, &taken, at] {
            writer.appendAudio({std::vector<float>(2 * 480, 0.f), t0 + at + 5 * ms},
                               Source::system);
            taken = true;
        });
        EXPECT_TRUE(testsupport::waitFor(10000, [&] { return taken.load(); }))
            << "the sound waited for the picture";
        release();
        server.join();
        ASSERT_TRUE(converting(false));
    }
    EXPECT_FALSE(finish(writer, std::nullopt));
    // The sound from before the picture went ahead of the sound that came
    // while it was converted; each picture reached the movie after it.
    const std::vector<FakeMovie::Append> expected = {
        {0, -5 * ms}, {0, 5 * ms}, {-1, 0}, {0, frame + 5 * ms}, {-1, frame}};
    EXPECT_EQ(movie.appends, expected);
    EXPECT_EQ(movie.finishedAt, 2 * frame + 5 * ms);
}

TEST(RecordingWriter, AFailureWhileRecordingIsReportedOnce) {
    testsupport::TempDir dir;
    Made made = makeWriter(dir.file(QStringLiteral("a.mp4")), {});
    const auto report = made.movie->settings.onFailure;
    ASSERT_TRUE(report);
    // Reported before anyone listens: the listener hears it when it comes.
    report(QStringLiteral("No space left on device."));
    std::vector<WriterError> heard;
    made.writer->setOnFailure([&heard](const WriterError& error) { heard.push_back(error); });
    report(QStringLiteral("again"));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0], WriterError::failed(QStringLiteral("No space left on device.")));
}

} // namespace
