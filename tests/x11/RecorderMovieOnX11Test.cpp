// The screen recorder into a real movie: an area of the rig's screen for 3 s
// at 30 fps with a 440 Hz tone played into the system's output, read back by
// ffprobe. Built only once the movie writer is part of the tree.
#include "recording/ScreenRecorder.h"

#include "desktop/ScreenGeometry.h"

#include "support/EventLoop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace recording {
namespace {

QJsonObject probe(const QString& path) {
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"), {"-v", "error", "-count_frames", "-show_streams",
                                              "-show_format", "-of", "json", path});
    ffprobe.waitForFinished(30000);
    return QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
}

TEST(RecorderMovieOnX11, AreaWithTheSystemSoundBecomesAMovie) {
    const QList<desktop::CaptureDisplay> displays = desktop::ScreenGeometry::captureDisplays();
    ASSERT_FALSE(displays.isEmpty());
    QTemporaryDir folder;
    QProcess tone;
    tone.start(QStringLiteral("bash"),
               {"-c", "ffmpeg -loglevel error -f lavfi -i sine=frequency=440:duration=2.5 "
                      "-f f32le -ar 48000 -ac 2 - | pacat --format=float32le --rate=48000 "
                      "--channels=2 --raw"});
    RecordingOptions options;
    options.systemAudio = true;
    options.fps = 30;
    auto made = ScreenRecorder::make(displays.first().displayID, QRectF(200, 150, 800, 450),
                                     options, SinkFactory::movieWriter(), folder.path());
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<ScreenRecorder>>(made))
        << std::get<RecorderError>(made).description().toStdString();
    auto recorder = std::move(std::get<0>(made));
    testsupport::pump(3000);
    std::optional<std::variant<QString, WriterError>> result;
    recorder->finish([&](std::variant<QString, WriterError> r) { result = r; });
    ASSERT_TRUE(testsupport::waitFor(20000, [&] { return result.has_value(); }));
    tone.waitForFinished(5000);
    ASSERT_TRUE(std::holds_alternative<QString>(*result))
        << std::get<WriterError>(*result).description().toStdString();
    const QString path = std::get<QString>(*result);
    EXPECT_TRUE(path.startsWith(folder.path()));
    ASSERT_TRUE(QFile::exists(path));

    const QJsonObject info = probe(path);
    const QJsonArray streams = info["streams"].toArray();
    ASSERT_EQ(streams.size(), 2);
    const QJsonObject video = streams[0].toObject();
    EXPECT_EQ(video["codec_type"].toString(), "video");
    EXPECT_EQ(video["width"].toInt(), 800);
    EXPECT_EQ(video["height"].toInt(), 450);
    EXPECT_NEAR(video["nb_read_frames"].toString().toInt(), 90, 6);
    const QJsonObject audio = streams[1].toObject();
    EXPECT_EQ(audio["codec_type"].toString(), "audio");
    EXPECT_EQ(audio["sample_rate"].toString(), "48000");
    EXPECT_NEAR(info["format"].toObject()["duration"].toString().toDouble(), 3.0, 0.2);
}

TEST(RecorderMovieOnX11, AMovieOpenedDuringTheCountdownIsTakenOrLeftWithoutTrace) {
    const QList<desktop::CaptureDisplay> displays = desktop::ScreenGeometry::captureDisplays();
    ASSERT_FALSE(displays.isEmpty());
    const QRectF region(100, 100, 640, 360);
    for (const bool same : {true, false}) {
        SCOPED_TRACE(same ? "the movie asked for" : "another frame rate");
        QTemporaryDir folder;
        RecordingOptions options;
        options.fps = 30;
        const std::shared_ptr<ScreenRecorder::PreparedMovie> prepared =
            ScreenRecorder::prepareMovie(region, options, SinkFactory::movieWriter(),
                                         folder.path());
        ASSERT_TRUE(prepared);
        const auto entries = [&] {
            return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
        };
        const QStringList working = entries();
        ASSERT_EQ(working.size(), 1);
        // The countdown's second.
        testsupport::pump(1000);
        if (!same) {
            options.fps = 20;
        }
        auto made =
            ScreenRecorder::make(displays.first().displayID, region, options,
                                 SinkFactory::movieWriter(), folder.path(), nullptr, prepared);
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<ScreenRecorder>>(made))
            << std::get<RecorderError>(made).description().toStdString();
        auto recorder = std::move(std::get<0>(made));
        testsupport::pump(2000);
        std::optional<std::variant<QString, WriterError>> result;
        recorder->finish([&](std::variant<QString, WriterError> r) { result = r; });
        ASSERT_TRUE(testsupport::waitFor(20000, [&] { return result.has_value(); }));
        ASSERT_TRUE(std::holds_alternative<QString>(*result))
            << std::get<WriterError>(*result).description().toStdString();
        const QString name = QFileInfo(std::get<QString>(*result)).fileName();
        // Only the movie is left: the one opened ahead, or a new one with the
        // other gone.
        EXPECT_EQ(entries(), QStringList{name});
        EXPECT_EQ(working.first() == "." + name + ".part", same);

        const QJsonObject info = probe(std::get<QString>(*result));
        const QJsonObject video = info["streams"].toArray()[0].toObject();
        EXPECT_EQ(video["r_frame_rate"].toString(), QStringLiteral("%1/1").arg(options.fps));
        EXPECT_NEAR(video["nb_read_frames"].toString().toInt(), 2 * options.fps, 6);
        EXPECT_NEAR(info["format"].toObject()["duration"].toString().toDouble(), 2.0, 0.2);
        QProcess packets;
        packets.start(QStringLiteral("ffprobe"),
                      {"-v", "error", "-select_streams", "v:0", "-show_entries",
                       "packet=pts_time,flags", "-of", "csv=p=0", std::get<QString>(*result)});
        ASSERT_TRUE(packets.waitForFinished(30000));
        // The first picture is a key frame at the movie's start.
        EXPECT_TRUE(packets.readAllStandardOutput().startsWith("0.000000,K"));
    }
}

} // namespace
} // namespace recording
