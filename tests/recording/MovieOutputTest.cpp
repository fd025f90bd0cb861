// Real movies through FFmpeg, read back with ffprobe and ffmpeg.
#include "recording/RecordingRecovery.h"
#include "recording/RecordingWriter.h"

#include "platform/MovieReader.h"
#include "platform/MovieRepair.h"

#include "support/EventLoop.h"
#include "support/ScratchMount.h"
#include "support/TempDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numbers>
#include <thread>

namespace {

using recording::RecordingWriter;
using recording::WriterError;
using Source = RecordingWriter::AudioSource;

constexpr platform::HostTime second = 1'000'000'000;
constexpr platform::HostTime t0 = 9000 * second;

// Waits for room in the encoder's queue instead of dropping: these tests are
// about what reaches the file, and the machine running them may be busy.
class PatientMovie final : public platform::MovieWriter {
public:
    explicit PatientMovie(std::unique_ptr<platform::MovieWriter> movie)
        : movie_(std::move(movie)) {}
    platform::AppendResult appendVideo(const QImage& image, std::int64_t time) override {
        return patiently([&] { return movie_->appendVideo(image, time); });
    }
    platform::AppendResult appendAudio(int track, const std::vector<float>& samples,
                                       std::int64_t time) override {
        return patiently([&] { return movie_->appendAudio(track, samples, time); });
    }
    bool hasFailed() const override { return movie_->hasFailed(); }
    platform::VideoBacklog videoBacklog() const override { return movie_->videoBacklog(); }
    void warmUp() override { movie_->warmUp(); }
    std::optional<QString> finish(std::int64_t end) override { return movie_->finish(end); }
    void cancel() override { movie_->cancel(); }

private:
    template <typename Append> platform::AppendResult patiently(Append append) {
        platform::AppendResult result;
        while ((result = append()) == platform::AppendResult::notReady) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return result;
    }
    std::unique_ptr<platform::MovieWriter> movie_;
};

platform::MovieWriterResult openPatiently(const platform::MovieSettings& settings) {
    platform::MovieWriterResult opened = platform::openMovieWriter(settings);
    if (auto* movie = std::get_if<std::unique_ptr<platform::MovieWriter>>(&opened)) {
        return std::make_unique<PatientMovie>(std::move(*movie));
    }
    return opened;
}

std::unique_ptr<RecordingWriter> make(const QString& path, QSize size, int fps,
                                      std::optional<RecordingWriter::Codec> codec,
                                      const std::vector<Source>& audio) {
    auto made = RecordingWriter::make(path, size, fps, 0.1, codec, audio, &openPatiently);
    if (auto* error = std::get_if<WriterError>(&made)) {
        ADD_FAILURE() << error->description().toStdString();
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<RecordingWriter>>(made));
}

// Blocks of random colour, new in every frame: a picture the encoder cannot
// predict, so the bit rate shows its rate control and not the content.
QImage noise(QSize size, QRandomGenerator& random) {
    QImage image(size, QImage::Format_RGB32);
    constexpr int block = 16;
    for (int y = 0; y < size.height(); y += block) {
        for (int x = 0; x < size.width(); x += block) {
            const QRgb colour = 0xff000000u | (random.generate() & 0xffffffu);
            for (int row = y; row < std::min(y + block, size.height()); ++row) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
                std::fill(line + x, line + std::min(x + block, size.width()), colour);
            }
        }
    }
    return image;
}

// 10 ms of a stereo sine at `hz`, starting `at` seconds into the tone.
std::vector<float> tone(double hz, double at) {
    std::vector<float> samples(2 * 480);
    for (int i = 0; i < 480; ++i) {
        const float value =
            0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * hz * (at + i / 48000.0)));
        samples[2 * i] = samples[2 * i + 1] = value;
    }
    return samples;
}

std::optional<WriterError> finish(RecordingWriter& writer,
                                  std::optional<platform::HostTime> endTime) {
    std::optional<std::optional<WriterError>> result;
    writer.finish(endTime, [&](std::optional<WriterError> error) { result = error; });
    EXPECT_TRUE(testsupport::waitFor(60000, [&] { return result.has_value(); }));
    return result.value_or(WriterError::failed(QStringLiteral("never finished")));
}

QByteArray run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

QJsonObject probe(const QString& path) {
    return QJsonDocument::fromJson(
               run(QStringLiteral("ffprobe"),
                   {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_streams"),
                    QStringLiteral("-show_format"), QStringLiteral("-of"), QStringLiteral("json"),
                    path}))
        .object();
}

// The key frame flags of the video packets, in order.
std::vector<bool> keyFrames(const QString& path) {
    const QByteArray out =
        run(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
             QStringLiteral("v:0"), QStringLiteral("-show_entries"), QStringLiteral("packet=flags"),
             QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    std::vector<bool> keys;
    for (const QByteArray& line : out.split('\n')) {
        if (!line.isEmpty()) {
            keys.push_back(line.startsWith('K'));
        }
    }
    return keys;
}

// The pitch of an audio track, from the zero crossings of its middle.
double pitch(const QString& path, int track) {
    const QByteArray raw = run(QStringLiteral("ffmpeg"),
                               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                                path, QStringLiteral("-map"), QStringLiteral("0:a:%1").arg(track),
                                QStringLiteral("-ac"), QStringLiteral("1"), QStringLiteral("-f"),
                                QStringLiteral("f32le"), QStringLiteral("-")});
    std::vector<float> samples(raw.size() / sizeof(float));
    std::memcpy(samples.data(), raw.constData(), samples.size() * sizeof(float));
    if (samples.size() < 48000) {
        return 0;
    }
    const std::size_t from = 12000, to = samples.size() - 12000;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        crossings += (samples[i - 1] < 0) != (samples[i] < 0);
    }
    return crossings / 2.0 / ((to - from) / 48000.0);
}

// The top-level boxes of an MPEG-4 file, in order.
QStringList boxes(const QString& path) {
    const QByteArray bytes = testsupport::readAll(path);
    QStringList names;
    qint64 at = 0;
    while (at + 8 <= bytes.size()) {
        const auto byte = [&](qint64 i) { return quint64(quint8(bytes[int(i)])); };
        quint64 size = byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3);
        names << QString::fromLatin1(bytes.mid(int(at + 4), 4));
        if (size == 1 && at + 16 <= bytes.size()) {
            size = 0;
            for (int i = 0; i < 8; ++i) {
                size = size << 8 | byte(at + 8 + i);
            }
        }
        if (size < 8) {
            break;
        }
        at += qint64(size);
    }
    return names;
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

int threads() {
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

// The thread count once the threads that were told to end have ended: a
// thread leaves /proc a moment after it was joined, and a slow build (the
// sanitizers') shows that moment. The wait only guards against a hang.
int threadsSettledAt(int expected) {
    QElapsedTimer waited;
    waited.start();
    while (threads() != expected && waited.elapsed() < 5000) {
        QThread::msleep(10);
    }
    return threads();
}

TEST(MovieOutput, H264MovieWithTwoTones) {
    testsupport::TempDir dir;
    const QString path = dir.file(QStringLiteral("noise.mp4"));
    const QSize size(1280, 720);
    auto writer = make(path, size, 30, std::nullopt, {Source::system, Source::microphone});
    ASSERT_TRUE(writer);
    QRandomGenerator random(14);
    const platform::HostTime frame = second / 30;
    int chunk = 0;
    for (int i = 0; i < 90; ++i) {
        const platform::VideoFrame picture{noise(size, random), t0 + i * frame};
        writer->queue().sync([&] { writer->appendVideo(picture); });
        // The sound of this frame's stretch, in 10 ms chunks on the same clock.
        for (; chunk * second / 100 < (i + 1) * frame; ++chunk) {
            const double at = chunk / 100.0;
            const platform::HostTime time = t0 + chunk * second / 100;
            writer->queue().sync([&] {
                writer->appendAudio({tone(440, at), time}, Source::system);
                writer->appendAudio({tone(880, at), time}, Source::microphone);
            });
        }
    }
    ASSERT_FALSE(finish(*writer, t0 + 90 * frame));
    writer.reset();
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("noise.mp4")});

    const QJsonObject info = probe(path);
    const QJsonArray streams = info[QStringLiteral("streams")].toArray();
    ASSERT_EQ(streams.size(), 3);
    const QJsonObject video = streams[0].toObject();
    EXPECT_EQ(video[QStringLiteral("codec_name")].toString(), QStringLiteral("h264"));
    EXPECT_EQ(video[QStringLiteral("profile")].toString(), QStringLiteral("High"));
    EXPECT_EQ(video[QStringLiteral("pix_fmt")].toString(), QStringLiteral("yuv420p"));
    EXPECT_EQ(video[QStringLiteral("color_range")].toString(), QStringLiteral("tv"));
    for (const char* key : {"color_space", "color_transfer", "color_primaries"}) {
        EXPECT_EQ(video[QLatin1String(key)].toString(), QStringLiteral("bt709")) << key;
    }
    EXPECT_EQ(video[QStringLiteral("has_b_frames")].toInt(-1), 0);
    EXPECT_EQ(video[QStringLiteral("width")].toInt(), 1280);
    EXPECT_EQ(video[QStringLiteral("height")].toInt(), 720);
    EXPECT_EQ(video[QStringLiteral("nb_frames")].toString(), QStringLiteral("90"));
    const double bitRate = video[QStringLiteral("bit_rate")].toString().toDouble();
    EXPECT_NEAR(bitRate, 2'764'800, 0.3 * 2'764'800);
    EXPECT_NEAR(
        info[QStringLiteral("format")].toObject()[QStringLiteral("duration")].toString().toDouble(),
        3.0, 0.05);

    const std::vector<bool> keys = keyFrames(path);
    ASSERT_EQ(keys.size(), 90u);
    EXPECT_TRUE(keys.front());
    int sinceKey = 0;
    for (bool key : keys) {
        sinceKey = key ? 0 : sinceKey + 1;
        EXPECT_LT(sinceKey, 60);
    }

    const double pitches[] = {440, 880};
    for (int track = 0; track < 2; ++track) {
        const QJsonObject sound = streams[1 + track].toObject();
        EXPECT_EQ(sound[QStringLiteral("codec_name")].toString(), QStringLiteral("aac"));
        EXPECT_EQ(sound[QStringLiteral("sample_rate")].toString(), QStringLiteral("48000"));
        EXPECT_EQ(sound[QStringLiteral("channels")].toInt(), 2);
        EXPECT_NEAR(pitch(path, track), pitches[track], 5) << "track " << track;
    }
    const QStringList top = boxes(path);
    ASSERT_TRUE(top.contains(QStringLiteral("moov")) && top.contains(QStringLiteral("mdat")));
    EXPECT_LT(top.indexOf(QStringLiteral("moov")), top.indexOf(QStringLiteral("mdat")));
}

// The video packets' times (seconds) and key frame flags, in order.
std::vector<std::pair<double, bool>> videoPackets(const QString& path) {
    const QByteArray out =
        run(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
             QStringLiteral("v:0"), QStringLiteral("-show_entries"),
             QStringLiteral("packet=pts_time,flags"), QStringLiteral("-of"),
             QStringLiteral("csv=p=0"), path});
    std::vector<std::pair<double, bool>> packets;
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() >= 2) {
            packets.emplace_back(fields[0].toDouble(), fields[1].startsWith('K'));
        }
    }
    return packets;
}

TEST(MovieOutput, AWarmUpLeavesNoTraceInTheMovie) {
    const struct {
        const char* name;
        std::optional<RecordingWriter::Codec> codec;
        QSize size;
        int fps;
        std::vector<Source> audio;
        bool waitForWarmUp;
        // Whether the noise needs more than the bit rate asked for, which
        // then shows what the rate control gave.
        bool needsMoreBits;
    } cases[] = {
        {"h264 with two tracks",
         std::nullopt,
         {1280, 720},
         30,
         {Source::system, Source::microphone},
         true,
         true},
        {"hevc", RecordingWriter::Codec::hevc, {320, 180}, 10, {}, true, false},
        {"cut short by the first picture",
         std::nullopt,
         {640, 360},
         30,
         {Source::system},
         false,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        const QString path = dir.file(QStringLiteral("warm.mp4"));
        auto writer = make(path, c.size, c.fps, c.codec, c.audio);
        ASSERT_TRUE(writer);
        writer->warmUp();
        if (c.waitForWarmUp) {
            ASSERT_TRUE(
                testsupport::waitFor(60000, [&] { return !writer->videoBacklog().warmingUp; }));
        }
        // Two seconds: a black first picture, then noise, with a tone on
        // every track on the same clock.
        const int count = 2 * c.fps;
        const platform::HostTime frame = second / c.fps;
        QRandomGenerator random(3);
        QImage black(c.size, QImage::Format_RGB32);
        black.fill(Qt::black);
        int chunk = 0;
        for (int i = 0; i < count; ++i) {
            const platform::VideoFrame picture{i == 0 ? black : noise(c.size, random),
                                               t0 + i * frame};
            writer->queue().sync([&] { writer->appendVideo(picture); });
            for (; chunk * second / 100 < (i + 1) * frame; ++chunk) {
                const platform::HostTime time = t0 + chunk * second / 100;
                writer->queue().sync([&] {
                    for (Source source : c.audio) {
                        writer->appendAudio({tone(440, chunk / 100.0), time}, source);
                    }
                });
            }
        }
        ASSERT_FALSE(finish(*writer, t0 + count * frame));
        writer.reset();
        EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("warm.mp4")});

        // Every picture recorded and no other; the first a key frame at 0.
        const std::vector<std::pair<double, bool>> packets = videoPackets(path);
        ASSERT_EQ(packets.size(), std::size_t(count));
        EXPECT_EQ(packets.front().first, 0.0);
        EXPECT_TRUE(packets.front().second);
        // It decodes without a complaint, and starts with the black picture,
        // not the encoder's grey.
        QProcess decode;
        decode.start(QStringLiteral("ffmpeg"),
                     {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                      QStringLiteral("-map"), QStringLiteral("0:v"), QStringLiteral("-fps_mode"),
                      QStringLiteral("passthrough"), QStringLiteral("-vf"),
                      QStringLiteral("scale=1:1"), QStringLiteral("-f"), QStringLiteral("rawvideo"),
                      QStringLiteral("-pix_fmt"), QStringLiteral("gray"), QStringLiteral("-")});
        ASSERT_TRUE(decode.waitForFinished(60000));
        EXPECT_EQ(decode.readAllStandardError(), QByteArray());
        const QByteArray means = decode.readAllStandardOutput();
        ASSERT_EQ(means.size(), count);
        EXPECT_LT(quint8(means[0]), 20);

        const QJsonObject info = probe(path);
        const double length = info[QStringLiteral("format")]
                                  .toObject()[QStringLiteral("duration")]
                                  .toString()
                                  .toDouble();
        EXPECT_NEAR(length, 2.0, 0.05);
        const QJsonArray streams = info[QStringLiteral("streams")].toArray();
        ASSERT_EQ(streams.size(), qsizetype(1 + c.audio.size()));
        for (const QJsonValue stream : streams) {
            EXPECT_NEAR(stream[QStringLiteral("duration")].toString().toDouble(), 2.0, 0.05);
        }
        // The warm-up's pictures cost the rate control nothing it needed: the
        // first seconds get about the bit rate asked for.
        if (c.needsMoreBits) {
            const double asked =
                RecordingWriter::averageBitRate(c.fps, c.size.width(), c.size.height(), 0.1);
            EXPECT_NEAR(streams[0][QStringLiteral("bit_rate")].toString().toDouble(), asked,
                        0.3 * asked);
        }
    }
}

TEST(MovieOutput, HevcMovieKeepsAStillEndUntilTheStop) {
    testsupport::TempDir dir;
    const QString path = dir.file(QStringLiteral("still.mp4"));
    const QSize size(320, 180);
    auto writer = make(path, size, 10, RecordingWriter::Codec::hevc, {});
    ASSERT_TRUE(writer);
    QRandomGenerator random(5);
    for (int i = 0; i < 10; ++i) {
        const platform::VideoFrame picture{noise(size, random), t0 + i * second / 10};
        writer->queue().sync([&] { writer->appendVideo(picture); });
    }
    // The screen stood still for a second before the stop.
    ASSERT_FALSE(finish(*writer, t0 + 2 * second));
    writer.reset();

    const QJsonObject info = probe(path);
    const QJsonObject video = info[QStringLiteral("streams")].toArray()[0].toObject();
    EXPECT_EQ(video[QStringLiteral("codec_name")].toString(), QStringLiteral("hevc"));
    EXPECT_EQ(video[QStringLiteral("profile")].toString(), QStringLiteral("Main"));
    EXPECT_EQ(video[QStringLiteral("codec_tag_string")].toString(), QStringLiteral("hvc1"));
    EXPECT_EQ(video[QStringLiteral("has_b_frames")].toInt(-1), 0);
    EXPECT_EQ(video[QStringLiteral("nb_frames")].toString(), QStringLiteral("10"));
    EXPECT_NEAR(
        info[QStringLiteral("format")].toObject()[QStringLiteral("duration")].toString().toDouble(),
        2.0, 0.02);
}

TEST(MovieOutput, ColoursComeBackAsRecorded) {
    testsupport::TempDir dir;
    const QString path = dir.file(QStringLiteral("colours.mp4"));
    const QSize size(320, 180);
    // Quadrants of the primaries and a grey: a swapped channel, a wrong
    // matrix or range shows in one of them.
    const QRgb colours[] = {qRgb(220, 30, 40), qRgb(40, 200, 60), qRgb(30, 50, 210),
                            qRgb(128, 128, 128)};
    QImage picture(size, QImage::Format_RGB32);
    for (int i = 0; i < 4; ++i) {
        const QRect quadrant((i % 2) * 160, (i / 2) * 90, 160, 90);
        for (int y = quadrant.top(); y <= quadrant.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
            std::fill(line + quadrant.left(), line + quadrant.right() + 1, colours[i]);
        }
    }
    auto writer = make(path, size, 10, std::nullopt, {});
    ASSERT_TRUE(writer);
    for (int i = 0; i < 10; ++i) {
        const platform::VideoFrame frame{picture.copy(), t0 + i * second / 10};
        writer->queue().sync([&] { writer->appendVideo(frame); });
    }
    ASSERT_FALSE(finish(*writer, t0 + second));
    writer.reset();

    auto reader = platform::MovieReader::open(path);
    ASSERT_TRUE(reader);
    const QImage back = reader->frameAt(0.5);
    ASSERT_EQ(back.size(), size);
    for (int i = 0; i < 4; ++i) {
        const QRgb got = back.pixel((i % 2) * 160 + 80, (i / 2) * 90 + 45);
        const QRgb want = colours[i];
        EXPECT_NEAR(qRed(got), qRed(want), 4) << "quadrant " << i;
        EXPECT_NEAR(qGreen(got), qGreen(want), 4) << "quadrant " << i;
        EXPECT_NEAR(qBlue(got), qBlue(want), 4) << "quadrant " << i;
    }
}

// Pictures handed over faster than the encoder takes them wait converted,
// in buffers used again once encoded: each must come back as it was handed
// over, none overwritten by a later one while it waited.
TEST(MovieOutput, PicturesWaitingForTheEncoderKeepTheirOwnPixels) {
    testsupport::TempDir dir;
    const QString path = dir.file(QStringLiteral("burst.mp4"));
    const QSize size(320, 180);
    constexpr int frames = 24;
    auto writer = make(path, size, 10, std::nullopt, {});
    ASSERT_TRUE(writer);
    writer->queue().sync([&] {
        for (int i = 0; i < frames; ++i) {
            QImage picture(size, QImage::Format_RGB32);
            picture.fill(qRgb(10 * i, 10 * i, 10 * i));
            writer->appendVideo({picture, t0 + i * second / 10});
        }
    });
    ASSERT_FALSE(finish(*writer, t0 + frames * second / 10));
    writer.reset();

    auto reader = platform::MovieReader::open(path);
    ASSERT_TRUE(reader);
    for (int i = 0; i < frames; ++i) {
        const QImage back = reader->frameAt(i / 10.0 + 0.05);
        ASSERT_EQ(back.size(), size);
        EXPECT_NEAR(qGreen(back.pixel(160, 90)), 10 * i, 4) << "frame " << i;
    }
}

// How many pictures may wait for the encoder: half a second of them, so that
// its bursts pass without one lost, within a bounded amount of memory, and
// never fewer than eight.
TEST(MovieOutput, TheEncoderHoldsHalfASecondOfPicturesWithinItsMemory) {
    const struct {
        QSize size;
        int fps;
        int capacity;
    } cases[] = {
        {{1920, 1080}, 60, 30},
        {{3840, 2160}, 30, 15},
        {{3840, 2160}, 60, 16}, // as many as fit in the memory allowed
        {{320, 180}, 10, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.size.width() << "x" << c.size.height() << "@" << c.fps);
        testsupport::TempDir dir;
        platform::MovieSettings settings;
        settings.path = dir.file(QStringLiteral("held.mp4"));
        settings.size = c.size;
        settings.frameRate = c.fps;
        settings.bitRate = 1'000'000;
        platform::MovieWriterResult opened = platform::openMovieWriter(settings);
        auto* movie = std::get_if<std::unique_ptr<platform::MovieWriter>>(&opened);
        ASSERT_TRUE(movie);
        EXPECT_EQ((*movie)->videoBacklog().capacity, c.capacity);
        EXPECT_EQ((*movie)->videoBacklog().waiting, 0);
        (*movie)->cancel();
    }
}

TEST(MovieOutput, NothingRecordedOrCancelledLeavesNoFile) {
    for (const bool frames : {false, true}) {
        SCOPED_TRACE(frames ? "cancelled" : "no frame");
        testsupport::TempDir dir;
        const QString path = dir.file(QStringLiteral("gone.mp4"));
        const int before = threads();
        auto writer = make(path, {320, 180}, 30, std::nullopt, {Source::system});
        ASSERT_TRUE(writer);
        if (frames) {
            QRandomGenerator random(1);
            for (int i = 0; i < 10; ++i) {
                const platform::VideoFrame picture{noise({320, 180}, random), t0 + i * second / 30};
                writer->queue().sync([&] { writer->appendVideo(picture); });
            }
            writer->cancel();
            writer->queue().sync([] {});
        } else {
            const std::optional<WriterError> error = finish(*writer, t0 + second);
            ASSERT_TRUE(error);
            EXPECT_EQ(error->description(), QStringLiteral("Nothing was recorded."));
        }
        EXPECT_EQ(entries(dir.path()), QStringList());
        writer.reset();
        EXPECT_EQ(threadsSettledAt(before), before);
    }
}

TEST(MovieOutput, AnUnwritableFolderSaysWhyAndLeavesNothing) {
    testsupport::TempDir dir;
    const struct {
        const char* name;
        bool readOnly;
        const char* reason;
    } cases[] = {
        {"read-only", true, "Read-only file system"},
        {"full", false, "No space left on device"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<testsupport::ScratchMount> mount =
            testsupport::ScratchMount::make(dir.file(QLatin1String(c.name)), 128);
        if (!mount) {
            GTEST_SKIP() << "needs root to mount a small file system";
        }
        if (c.readOnly) {
            ASSERT_TRUE(mount->makeReadOnly());
        }
        const QString path = mount->path() + QStringLiteral("/full.mp4");
        const int before = threads();
        auto made = RecordingWriter::make(path, {1280, 720}, 30, 0.1, std::nullopt,
                                          {Source::system}, &openPatiently);
        std::optional<WriterError> error;
        if (auto* failed = std::get_if<WriterError>(&made)) {
            error = *failed;
        } else {
            auto& writer = std::get<std::unique_ptr<RecordingWriter>>(made);
            QRandomGenerator random(3);
            for (int i = 0; i < 60; ++i) {
                const platform::VideoFrame picture{noise({1280, 720}, random),
                                                   t0 + i * second / 30};
                writer->queue().sync([&] { writer->appendVideo(picture); });
            }
            error = finish(*writer, std::nullopt);
            writer.reset();
        }
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), WriterError::Kind::failed);
        EXPECT_TRUE(error->description().contains(QLatin1String(c.reason)))
            << error->description().toStdString();
        EXPECT_EQ(entries(mount->path()), QStringList());
        EXPECT_EQ(threadsSettledAt(before), before);
    }
}

// Frames of noise and a tone on one clock, as a recording hands them over.
void feed(RecordingWriter& writer, QSize size, int fps, int from, int to,
          QRandomGenerator& random) {
    for (int i = from; i < to; ++i) {
        const platform::VideoFrame picture{noise(size, random), t0 + i * second / fps};
        writer.queue().sync([&] { writer.appendVideo(picture); });
        for (int chunk = i * 100 / fps; chunk < (i + 1) * 100 / fps; ++chunk) {
            writer.appendAudio({tone(440, chunk / 100.0), t0 + chunk * second / 100},
                               Source::system);
        }
    }
}

// The working movie as a crash leaves it: 5 s handed over, the writer still
// at it (the encoder holds its last half second).
QByteArray cutOffWorkingMovie(const QString& folder) {
    const QString path = folder + QStringLiteral("/take.mp4");
    auto writer = make(path, {320, 180}, 30, std::nullopt, {Source::system});
    if (!writer) {
        return {};
    }
    QRandomGenerator random(8);
    feed(*writer, {320, 180}, 30, 0, 150, random);
    // Fragments reach the file as the encoders get through the frames.
    const QString part = platform::workingPathFor(path);
    const QString probe = folder + QStringLiteral("/probe");
    QByteArray snapshot;
    testsupport::waitFor(20000, [&] {
        snapshot = testsupport::readAll(part);
        testsupport::writeAll(probe, snapshot);
        const auto kept = platform::keepWholeFragments(probe);
        return kept && kept->fragments >= 3;
    });
    writer->cancel();
    writer.reset();
    QFile::remove(probe);
    return snapshot;
}

TEST(MovieOutput, AWorkingMovieCutOffAnywherePlaysUpToItsLastWholeFragment) {
    testsupport::TempDir dir;
    const QByteArray snapshot = cutOffWorkingMovie(dir.path());
    ASSERT_FALSE(snapshot.isEmpty());
    EXPECT_EQ(entries(dir.path()), QStringList());
    // Where the whole fragments of the snapshot end.
    testsupport::writeAll(dir.file(QStringLiteral("whole")), snapshot);
    const auto whole = platform::keepWholeFragments(dir.file(QStringLiteral("whole")));
    QFile::remove(dir.file(QStringLiteral("whole")));
    ASSERT_TRUE(whole && whole->isFragmented);
    ASSERT_GE(whole->fragments, 3);

    const struct {
        const char* name;
        qint64 length;
        int fragments; // 0: nothing to keep
    } cuts[] = {
        {"as the crash left it", snapshot.size(), whole->fragments},
        {"in the last whole fragment's data", whole->size - 100, whole->fragments - 1},
        {"three bytes into a box", whole->size + 3, whole->fragments},
        {"inside the index", 200, 0},
        {"nothing written", 0, 0},
    };
    for (const auto& cut : cuts) {
        SCOPED_TRACE(cut.name);
        testsupport::TempDir folder;
        testsupport::writeAll(folder.file(QStringLiteral(".rec.mp4.part")),
                              snapshot.left(int(cut.length)));
        // Left by a finish cut off while the movie was written again, and by
        // one cut off after its movie was in place.
        testsupport::writeAll(folder.file(QStringLiteral(".old.mp4.remux")), "half");
        testsupport::writeAll(folder.file(QStringLiteral("done.mp4")), "a finished movie");
        testsupport::writeAll(folder.file(QStringLiteral(".done.mp4.part")), "its fragments");

        // All of it left by an earlier run; the working movie of a recording
        // of this run, started meanwhile, is left alone.
        for (const QString& name : entries(folder.path())) {
            QFile file(folder.file(name));
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                             QFileDevice::FileModificationTime);
        }
        const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
        testsupport::writeAll(folder.file(QStringLiteral(".now.mp4.part")), "being written");

        const std::vector<recording::RecoveredMovie> recovered =
            recording::recoverUnfinishedRecordings(folder.path(), started);
        QStringList left = {QStringLiteral(".now.mp4.part"), QStringLiteral("done.mp4")};
        if (cut.fragments == 0) {
            EXPECT_TRUE(recovered.empty());
            EXPECT_EQ(entries(folder.path()), left);
            continue;
        }
        ASSERT_EQ(recovered.size(), 1u);
        const QString movie = folder.file(QStringLiteral("rec.mp4"));
        EXPECT_EQ(recovered[0].path, movie);
        EXPECT_TRUE(recovered[0].date.isValid());
        left.append(QStringLiteral("rec.mp4"));
        EXPECT_EQ(entries(folder.path()), left);
        EXPECT_EQ(testsupport::readAll(folder.file(QStringLiteral("done.mp4"))),
                  QByteArray("a finished movie"));

        // A whole movie, index in front, with its picture and its sound.
        const QStringList top = boxes(movie);
        EXPECT_FALSE(top.contains(QStringLiteral("moof"))) << top.join(' ').toStdString();
        ASSERT_TRUE(top.contains(QStringLiteral("moov")) && top.contains(QStringLiteral("mdat")));
        EXPECT_LT(top.indexOf(QStringLiteral("moov")), top.indexOf(QStringLiteral("mdat")));
        const QJsonObject info = probe(movie);
        ASSERT_EQ(info[QStringLiteral("streams")].toArray().size(), 2);
        const double duration = info[QStringLiteral("format")]
                                    .toObject()[QStringLiteral("duration")]
                                    .toString()
                                    .toDouble();
        // Fragments are cut at least every second.
        EXPECT_GE(duration, 0.9 * (cut.fragments - 1)) << cut.fragments << " fragments";
        EXPECT_LE(duration, 5.1);
        auto reader = platform::MovieReader::open(movie);
        ASSERT_TRUE(reader);
        EXPECT_FALSE(reader->frameAt(duration / 2).isNull());
        EXPECT_NEAR(pitch(movie, 0), 440, 5);
    }
}

TEST(MovieOutput, AFullDiskEndsTheRecordingAndKeepsWhatWasWritten) {
    testsupport::TempDir dir;
    std::optional<testsupport::ScratchMount> mount =
        testsupport::ScratchMount::make(dir.file(QStringLiteral("small")), 1024);
    if (!mount) {
        GTEST_SKIP() << "needs root to mount a small file system";
    }
    const QString path = mount->path() + QStringLiteral("/full.mp4");
    auto writer = make(path, {1280, 720}, 30, std::nullopt, {Source::system});
    ASSERT_TRUE(writer);
    std::mutex mutex;
    std::vector<QString> failures;
    writer->setOnFailure([&](const WriterError& error) {
        std::lock_guard lock(mutex);
        failures.push_back(error.description());
    });
    const auto failed = [&] {
        std::lock_guard lock(mutex);
        return !failures.empty();
    };
    QRandomGenerator random(21);
    int frames = 0;
    // About 3 s of this fill the megabyte; the failure comes while recording.
    while (!failed() && frames < 900) {
        feed(*writer, {1280, 720}, 30, frames, frames + 30, random);
        frames += 30;
    }
    ASSERT_TRUE(testsupport::waitFor(10000, failed));
    EXPECT_LT(frames, 900);
    ASSERT_FALSE(finish(*writer, std::nullopt));
    writer.reset();
    {
        std::lock_guard lock(mutex);
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_TRUE(failures[0].contains(QLatin1String("No space left on device")))
            << failures[0].toStdString();
        EXPECT_TRUE(failures[0].contains(mount->path())) << failures[0].toStdString();
    }
    // The movie is what was written before the disk was full; without room
    // for a second copy its fragments are the movie.
    EXPECT_EQ(entries(mount->path()), QStringList{QStringLiteral("full.mp4")});
    const QJsonObject info = probe(path);
    EXPECT_EQ(info[QStringLiteral("streams")].toArray().size(), 2);
    const double duration =
        info[QStringLiteral("format")].toObject()[QStringLiteral("duration")].toString().toDouble();
    EXPECT_GE(duration, 1.0);
    auto reader = platform::MovieReader::open(path);
    ASSERT_TRUE(reader);
    EXPECT_FALSE(reader->frameAt(0.5).isNull());
}

} // namespace
