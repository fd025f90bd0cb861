#include "videoeditor/VideoExport.h"

#include "platform/MovieReader.h"
#include "recording/GifExport.h"
#include "support/NumberedMovie.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QUrl>
#include <gtest/gtest.h>

#include <limits>
#include <memory>

namespace {

using videoeditor::ExportPlan;
using videoeditor::TrimRange;

// The kinds of the movie's streams in order ("video", "audio"), by ffprobe.
QStringList streamKinds(const QString& path) {
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_type"), QStringLiteral("-of"),
                 QStringLiteral("csv=p=0"), path});
    probe.waitForFinished(30'000);
    return QString::fromUtf8(probe.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The channel count of each sound track in order, by ffprobe.
QStringList soundChannels(const QString& path) {
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                 QStringLiteral("a"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=channels"), QStringLiteral("-of"),
                 QStringLiteral("csv=p=0"), path});
    probe.waitForFinished(30'000);
    return QString::fromUtf8(probe.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The 14 s fixture is made once for all the cases a run of the program has.
class VideoExport : public testing::Test {
protected:
    static void SetUpTestSuite() {
        fixtureDir = new testsupport::TempDir;
        fixture = new QString(fixtureDir->file(QStringLiteral("numbered.mp4")));
        if (!testsupport::makeNumberedMovie(*fixture, {})) {
            fixture->clear();
        }
    }
    static void TearDownTestSuite() {
        delete fixture;
        delete fixtureDir;
    }
    void SetUp() override {
        ASSERT_FALSE(fixture->isEmpty());
        source.url = QUrl::fromLocalFile(*fixture);
        source.duration = 14;
        source.scale = 2;
        source.date = QDateTime(QDate(2024, 5, 1), QTime(9, 30));
        folder = dir.file(QStringLiteral("Recordings"));
    }

    ExportPlan videoPlan(std::optional<TrimRange> range, bool removeAudio) const {
        ExportPlan plan;
        plan.kind = ExportPlan::Kind::video;
        plan.range = range;
        plan.removeAudio = removeAudio;
        return plan;
    }

    static testsupport::TempDir* fixtureDir;
    static QString* fixture;
    testsupport::TempDir dir;
    app::Recording source;
    QString folder;
};

testsupport::TempDir* VideoExport::fixtureDir = nullptr;
QString* VideoExport::fixture = nullptr;

TEST_F(VideoExport, TrimsTheRangeWithEveryTrack) {
    const videoeditor::ExportResult result =
        videoeditor::runExport(videoPlan(TrimRange{2, 10}, false), source, folder);
    ASSERT_TRUE(std::holds_alternative<app::Recording>(result))
        << std::get<recording::WriterError>(result).description().toStdString();
    const app::Recording& made = std::get<app::Recording>(result);

    const QStringList files = filesIn(folder);
    ASSERT_EQ(1, files.size()) << files.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(files.first().endsWith(QLatin1String(".mp4")));
    EXPECT_FALSE(QUuid::fromString(files.first().chopped(4)).isNull());
    EXPECT_EQ(QDir(folder).filePath(files.first()), made.url.toLocalFile());
    EXPECT_NE(source.id, made.id);
    EXPECT_EQ(source.date, made.date);
    EXPECT_EQ(source.scale, made.scale);
    EXPECT_EQ(app::Recording::Format::video, made.format);
    EXPECT_NEAR(10.0, made.duration, 0.05);
    EXPECT_EQ((QStringList{"video", "audio", "audio"}), streamKinds(made.url.toLocalFile()));
    // The fixture's tones are mono, as a microphone's track is: they stay so.
    ASSERT_EQ((QStringList{"1", "1"}), soundChannels(*fixture));
    EXPECT_EQ(soundChannels(*fixture), soundChannels(made.url.toLocalFile()));

    const std::unique_ptr<platform::MovieReader> reader =
        platform::MovieReader::open(made.url.toLocalFile());
    ASSERT_TRUE(reader);
    EXPECT_NEAR(10.0, reader->duration().value_or(0), 0.05);
    EXPECT_EQ(QSize(640, 360), reader->frameSize());
    // The range starts between key frames: the first frame is still the one
    // shown at 2 s, and the last the one before 12 s.
    EXPECT_EQ(60, testsupport::frameNumber(reader->frameAt(0)));
    EXPECT_EQ(61, testsupport::frameNumber(reader->frameAt(1.0 / 30 + 0.001)));
    EXPECT_EQ(359, testsupport::frameNumber(reader->frameAt(9.99)));
    // The poster is the frame at 0.1 s.
    EXPECT_EQ(63, testsupport::frameNumber(made.thumbnail));
}

TEST_F(VideoExport, RemoveAudioLeavesOnlyThePicture) {
    const videoeditor::ExportResult result =
        videoeditor::runExport(videoPlan(std::nullopt, true), source, folder);
    ASSERT_TRUE(std::holds_alternative<app::Recording>(result));
    const app::Recording& made = std::get<app::Recording>(result);
    EXPECT_EQ(QStringList{"video"}, streamKinds(made.url.toLocalFile()));
    EXPECT_NEAR(14.0, made.duration, 0.05);
    const std::unique_ptr<platform::MovieReader> reader =
        platform::MovieReader::open(made.url.toLocalFile());
    ASSERT_TRUE(reader);
    EXPECT_EQ(0, testsupport::frameNumber(reader->frameAt(0)));
}

TEST_F(VideoExport, ARangeStartingJustAfterZeroIsExported) {
    const ExportPlan plan = videoeditor::planExport(TrimRange{0.01, 13.99}, source,
                                                    app::Recording::Format::video, false, 15, 1000);
    const videoeditor::ExportResult result = videoeditor::runExport(plan, source, folder);
    ASSERT_TRUE(std::holds_alternative<app::Recording>(result));
    const app::Recording& made = std::get<app::Recording>(result);
    EXPECT_EQ(1, filesIn(folder).size());
    EXPECT_NEAR(13.99, made.duration, 0.05);
    EXPECT_EQ((QStringList{"video", "audio", "audio"}), streamKinds(made.url.toLocalFile()));
    // The frame shown at 0.01 s is the first one.
    const std::unique_ptr<platform::MovieReader> reader =
        platform::MovieReader::open(made.url.toLocalFile());
    ASSERT_TRUE(reader);
    EXPECT_EQ(0, testsupport::frameNumber(reader->frameAt(0)));
}

TEST_F(VideoExport, UntrimmedWithSoundIsTheSourceItself) {
    const ExportPlan plan = videoeditor::planExport(TrimRange{0, 14}, source,
                                                    app::Recording::Format::video, false, 15, 1000);
    const videoeditor::ExportResult result = videoeditor::runExport(plan, source, folder);
    ASSERT_TRUE(std::holds_alternative<app::Recording>(result));
    EXPECT_EQ(source.id, std::get<app::Recording>(result).id);
    EXPECT_EQ(source.url, std::get<app::Recording>(result).url);
    EXPECT_FALSE(QDir(folder).exists());
}

TEST_F(VideoExport, GifOfTheRange) {
    QImage thumbnail(1200, 676, QImage::Format_RGB32);
    thumbnail.fill(Qt::black);
    source.thumbnail = thumbnail;
    const ExportPlan plan = videoeditor::planExport(TrimRange{2, 10}, source,
                                                    app::Recording::Format::gif, false, 10, 800);
    const videoeditor::ExportResult result = videoeditor::runExport(plan, source, folder);
    ASSERT_TRUE(std::holds_alternative<app::Recording>(result))
        << std::get<recording::WriterError>(result).description().toStdString();
    const app::Recording& made = std::get<app::Recording>(result);
    EXPECT_EQ(app::Recording::Format::gif, made.format);
    EXPECT_EQ(1, made.scale);
    EXPECT_EQ(source.date, made.date);
    EXPECT_TRUE(made.url.toLocalFile().endsWith(QLatin1String(".gif")));
    EXPECT_EQ(1, filesIn(folder).size());
    QImageReader reader(made.url.toLocalFile());
    EXPECT_LE(reader.size().width(), 600);
    EXPECT_GT(reader.size().width(), 500);
    EXPECT_NEAR(10.0, made.duration, 0.2);
    EXPECT_NEAR(10.0, recording::gifDuration(made.url.toLocalFile()), 0.2);
    EXPECT_EQ(60, testsupport::frameNumber(made.thumbnail));
}

TEST_F(VideoExport, BadSourcesFailAndLeaveNothing) {
    testsupport::TempDir sources;
    const QString truncated = sources.file(QStringLiteral("truncated.mp4"));
    {
        QFile whole(*fixture);
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        const QByteArray bytes = whole.readAll();
        testsupport::writeAll(truncated, bytes.left(bytes.size() / 2));
    }
    const QString notAVideo = sources.file(QStringLiteral("notes.mp4"));
    testsupport::writeAll(notAVideo, QByteArray("these are not the frames you are looking for"));
    const QString missing = sources.file(QStringLiteral("gone.mp4"));

    for (const QString& path : {truncated, notAVideo, missing}) {
        for (const bool gif : {false, true}) {
            app::Recording bad = source;
            bad.url = QUrl::fromLocalFile(path);
            const ExportPlan plan = videoeditor::planExport(
                TrimRange{2, 10}, bad,
                gif ? app::Recording::Format::gif : app::Recording::Format::video, false, 10, 400);
            const videoeditor::ExportResult result = videoeditor::runExport(plan, bad, folder);
            if (gif && path == truncated) {
                // A GIF of the frames before the break, which plays shorter.
                ASSERT_TRUE(std::holds_alternative<app::Recording>(result));
                const app::Recording& made = std::get<app::Recording>(result);
                EXPECT_GT(made.duration, 0.5);
                EXPECT_LT(made.duration, 9.5);
                EXPECT_EQ(1, filesIn(folder).size());
                QFile::remove(made.url.toLocalFile());
                continue;
            }
            EXPECT_TRUE(std::holds_alternative<recording::WriterError>(result))
                << path.toStdString() << " gif " << gif;
            EXPECT_EQ(QStringList(), filesIn(folder)) << path.toStdString();
        }
    }
}

TEST_F(VideoExport, AFolderThatTakesNoFileFails) {
    // A file where the folder should be: nothing can be written below it.
    testsupport::writeAll(folder, QByteArray("in the way"));
    const videoeditor::ExportResult result =
        videoeditor::runExport(videoPlan(TrimRange{2, 1}, false), source, folder);
    ASSERT_TRUE(std::holds_alternative<recording::WriterError>(result));
    EXPECT_TRUE(std::get<recording::WriterError>(result).description().startsWith(
        QLatin1String("The video could not be exported.")));
}

TEST_F(VideoExport, CancelledExportLeavesNothing) {
    std::atomic<bool> cancelled{true};
    const videoeditor::ExportResult result =
        videoeditor::runExport(videoPlan(TrimRange{2, 10}, false), source, folder, &cancelled);
    EXPECT_TRUE(std::holds_alternative<recording::WriterError>(result));
    EXPECT_EQ(QStringList(), filesIn(folder));
}

} // namespace
