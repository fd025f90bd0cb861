// Recordings end to end, with no window of ours in the way: a display, an area
// and a window alone recorded by the real movie writer into the recordings
// folder of the rig's cache, with the pointer, the system's sound and the
// microphone (both fed by with-pulse.sh's sound server), a hidden application
// and one of our own panels left out; then read back by ffprobe and FFmpeg,
// made into a looping GIF, saved, shared and saved as. And what happens when
// the recordings folder cannot take the movie, or the recorded window dies.
#include "recording/GifExport.h"
#include "recording/RecordingFiles.h"
#include "recording/ScreenRecorder.h"
#include "recording/WindowFollower.h"

#include "app/FilePanels.h"
#include "app/Recording.h"
#include "desktop/ScreenGeometry.h"
#include "platform/GifInfo.h"
#include "platform/MovieReader.h"

#include "support/EventLoop.h"
#include "support/ScratchMount.h"
#include "support/TempDir.h"

#include "SolidWindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QWidget>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sys/stat.h>

namespace recording {
namespace {

using testsupport::pump;
using testsupport::SolidWindow;
using testsupport::waitFor;

constexpr QRgb kRed = 0xffff0000, kBlue = 0xff0000ff, kGreen = 0xff00ff00, kCyan = 0xff00ffff;

// Within what a lossy movie or a GIF's palette leaves of a colour.
bool near(QRgb a, QRgb b, int tolerance = 48) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

std::string colourText(QRgb c) {
    return QStringLiteral("#%1").arg(c & 0xffffff, 6, 16, QLatin1Char('0')).toStdString();
}

QJsonObject probe(const QString& path) {
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {"-v", "error", "-show_streams", "-show_format", "-of", "json", path});
    ffprobe.waitForFinished(30000);
    return QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
}

// The names of the file's top-level MPEG-4 boxes, in order.
QStringList topLevelBoxes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList boxes;
    qint64 at = 0;
    while (at + 8 <= file.size()) {
        file.seek(at);
        const QByteArray head = file.read(16);
        quint64 size = qFromBigEndian<quint32>(head.constData());
        if (size == 1 && head.size() == 16) {
            size = qFromBigEndian<quint64>(head.constData() + 8);
        }
        boxes << QString::fromLatin1(head.mid(4, 4));
        if (size < 8) {
            break;
        }
        at += qint64(size);
    }
    return boxes;
}

// One sound track of the movie as mono samples at 48 kHz.
std::vector<float> soundTrack(const QString& path, int track) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-i", path, "-map", QStringLiteral("0:a:%1").arg(track), "-ac",
                  "1", "-ar", "48000", "-f", "f32le", "-"});
    ffmpeg.waitForFinished(30000);
    const QByteArray bytes = ffmpeg.readAllStandardOutput();
    std::vector<float> samples(std::size_t(bytes.size()) / sizeof(float));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    return samples;
}

// The power of one frequency in a sound (Goertzel's filter over all of it).
// A stall of the pipe the microphone tone comes through on a busy machine
// lays silence into the sound, which leaves this measure as it was.
double powerAt(const std::vector<float>& samples, double hertz) {
    const double coefficient = 2 * std::cos(2 * M_PI * hertz / 48000.0);
    double previous = 0, beforePrevious = 0;
    for (float v : samples) {
        const double current = v + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    return previous * previous + beforePrevious * beforePrevious -
           coefficient * previous * beforePrevious;
}

// Whether `hertz` stands out in a sound: ten times the power of the other
// test tone, and of the frequencies a little beside it.
bool toneIs(const std::vector<float>& samples, double hertz, double otherTone) {
    const double power = powerAt(samples, hertz);
    return power > 0 && power > 10 * powerAt(samples, otherTone) &&
           power > 10 * powerAt(samples, hertz * 1.25) &&
           power > 10 * powerAt(samples, hertz * 0.8);
}

// Plays a tone of `hertz` into the system's output, or into the microphone.
void playTone(QProcess& process, int hertz, bool microphone) {
    const QString tone =
        QStringLiteral("ffmpeg -loglevel error -re -f lavfi -i "
                       "sine=frequency=%1:duration=1.5 -f f32le -ar 48000 -ac 2 - ")
            .arg(hertz);
    process.start(QStringLiteral("bash"),
                  {"-c", tone + (microphone ? QStringLiteral("> \"$VEXLIN_MIC_FIFO\"")
                                            : QStringLiteral("| pacat --format=float32le "
                                                             "--rate=48000 --channels=2 --raw"))});
}

// The save panel answered by the test.
class AnsweringPanels : public app::FilePanels {
public:
    std::optional<QString> answer;
    std::vector<app::FileError> alerts;

    void runSavePanel(const SaveRequest&, QWidget*, SaveDone done) override { done(answer); }
    std::optional<QString> chooseFolder(const std::optional<QString>&) override {
        return std::nullopt;
    }
    std::optional<QString> chooseImageToAnnotate() override { return std::nullopt; }
    void showError(QWidget*, const app::FileError& error) override { alerts.push_back(error); }
};

std::uint32_t firstDisplay() {
    const QList<desktop::CaptureDisplay> displays = desktop::ScreenGeometry::captureDisplays();
    return displays.isEmpty() ? 0 : displays.first().displayID;
}

int threadCount() {
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

QStringList recordingsFolderEntries() {
    return QDir(recordingsFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
}

class RecordingEndToEndOnX11 : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(firstDisplay(), 0u);
        // Whoever records makes the folder.
        QDir(recordingsFolder()).removeRecursively();
        testsupport::xdotool({"mousemove", "1900", "1060"});
    }
    void TearDown() override { QDir(recordingsFolder()).removeRecursively(); }

    // Finishes and gives the movie's path or the writer's error.
    static std::variant<QString, WriterError> finish(ScreenRecorder& recorder) {
        std::optional<std::variant<QString, WriterError>> result;
        recorder.finish([&](std::variant<QString, WriterError> r) { result = std::move(r); });
        EXPECT_TRUE(waitFor(30000, [&] { return result.has_value(); }));
        return result.value_or(WriterError::failed(QStringLiteral("no answer")));
    }
};

TEST_F(RecordingEndToEndOnX11, RecordingsGoTheWholeWay) {
    // A blue window under another program's red "Redwin" and one of our own
    // green tool panels; both must stay out of every recording.
    SolidWindow blue(QStringLiteral("Bluewin"), kBlue, QRect(250, 200, 700, 380));
    SolidWindow red(QStringLiteral("Redwin"), kRed, QRect(450, 300, 300, 200));
    QWidget panel(nullptr, Qt::Tool);
    panel.setWindowTitle(QStringLiteral("our panel"));
    panel.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(kGreen));
    panel.setPalette(palette);
    panel.setGeometry(300, 230, 100, 80);
    panel.show();
    ASSERT_TRUE(waitFor(5000, [&] {
        auto window = platform::clientWindow(std::uint32_t(panel.winId()));
        return window && window->viewable;
    }));
    pump(300);
    const QRect blueFrame = blue.frame();
    const QPoint redCentre = red.frame().center();
    const QPoint panelCentre = platform::clientWindow(std::uint32_t(panel.winId()))->frame.center();
    // On the blue window, clear of the others.
    const QPoint pointer = blueFrame.bottomLeft() + QPoint(60, -60);
    testsupport::xdotool({"mousemove", QString::number(pointer.x()), QString::number(pointer.y())});
    pump(200);

    struct Case {
        const char* name;
        QRect region; // global points; the display's origin is the root's
        bool windowAlone;
        QSize movieSize;
        QSize gifSize;
    };
    const QSize windowSize(blueFrame.width() & ~1, blueFrame.height() & ~1);
    // The display first: its encoding loads the machine most just as the
    // sound server starts, when the sound's timestamps wander most.
    const Case cases[] = {
        {"display", QRect(0, 0, 1920, 1080), false, QSize(1920, 1080), QSize(320, 180)},
        {"area", QRect(200, 150, 800, 450), false, QSize(800, 450), QSize(320, 180)},
        {"window", blueFrame, true, windowSize,
         QSize(320, int(std::lround(320.0 * windowSize.height() / windowSize.width())))},
    };
    const QDateTime date(QDate(2025, 3, 4), QTime(9, 15, 2));
    const QString name = QStringLiteral("Vexlin Capture Recording 2025-03-04 at 09.15.02.mp4");
    const QRegularExpression uuidName(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\.mp4$"));

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(recordingsFolder()).removeRecursively();
        RecordingOptions options;
        options.systemAudio = true;
        options.microphone = true;
        options.showCursor = true;
        options.filter.hiddenApps = {QStringLiteral("Redwin")};
        if (c.windowAlone) {
            options.filter.window = blue.id();
        }
        auto made = ScreenRecorder::make(firstDisplay(), c.region, options);
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<ScreenRecorder>>(made))
            << std::get<RecorderError>(made).description().toStdString();
        auto recorder = std::move(std::get<0>(made));
        EXPECT_TRUE(recorder->options().microphone);
        QProcess system, microphone;
        playTone(system, 440, false);
        playTone(microphone, 880, true);
        pump(2500);
        const auto finished = finish(*recorder);
        system.waitForFinished(5000);
        microphone.waitForFinished(5000);
        ASSERT_TRUE(std::holds_alternative<QString>(finished))
            << std::get<WriterError>(finished).description().toStdString();
        const QString movie = std::get<QString>(finished);
        const QFileInfo movieInfo(movie);
        EXPECT_EQ(movieInfo.absolutePath(), QDir(recordingsFolder()).absolutePath());
        EXPECT_TRUE(uuidName.match(movieInfo.fileName()).hasMatch())
            << movieInfo.fileName().toStdString();
        // Nothing but the movie: no temporary left beside it.
        EXPECT_EQ(recordingsFolderEntries(), QStringList{movieInfo.fileName()});

        // What the movie says of itself.
        const QJsonObject info = probe(movie);
        const QJsonArray streams = info["streams"].toArray();
        ASSERT_EQ(streams.size(), 3);
        const QJsonObject video = streams[0].toObject();
        EXPECT_EQ(video["codec_name"].toString(), "h264");
        EXPECT_EQ(video["profile"].toString(), "High");
        EXPECT_EQ(video["pix_fmt"].toString(), "yuv420p");
        EXPECT_EQ(video["color_space"].toString(), "bt709");
        EXPECT_EQ(video["color_primaries"].toString(), "bt709");
        EXPECT_EQ(video["color_transfer"].toString(), "bt709");
        EXPECT_EQ(video["color_range"].toString(), "tv");
        EXPECT_EQ(video["has_b_frames"].toInt(), 0);
        EXPECT_EQ(QSize(video["width"].toInt(), video["height"].toInt()), c.movieSize);
        for (int track : {1, 2}) {
            const QJsonObject audio = streams[track].toObject();
            EXPECT_EQ(audio["codec_name"].toString(), "aac") << track;
            EXPECT_EQ(audio["sample_rate"].toString(), "48000") << track;
            EXPECT_EQ(audio["channels"].toInt(), 2) << track;
        }
        const double duration = info["format"].toObject()["duration"].toString().toDouble();
        EXPECT_NEAR(duration, 2.5, 0.3);
        const QStringList boxes = topLevelBoxes(movie);
        EXPECT_LT(boxes.indexOf("moov"), boxes.indexOf("mdat")) << boxes.join(' ').toStdString();
        // The system's sound first, then the microphone.
        EXPECT_TRUE(toneIs(soundTrack(movie, 0), 440, 880));
        EXPECT_TRUE(toneIs(soundTrack(movie, 1), 880, 440));

        // A picture from the middle: the hidden application and our panel
        // are not in it, the pointer is.
        auto reader = platform::MovieReader::open(movie);
        ASSERT_TRUE(reader);
        const QImage picture = reader->frameAt(1.2).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(picture.size(), c.movieSize);
        const auto inPicture = [&](QPoint global, QSize size) {
            return QPointF(global - c.region.topLeft()) * (double(size.width()) / c.region.width());
        };
        const auto pixel = [&](const QImage& image, QPoint global) {
            return image.pixel(inPicture(global, image.size()).toPoint());
        };
        EXPECT_TRUE(near(pixel(picture, redCentre), kBlue))
            << "where Redwin is: " << colourText(pixel(picture, redCentre));
        EXPECT_TRUE(near(pixel(picture, panelCentre), kBlue))
            << "where our panel is: " << colourText(pixel(picture, panelCentre));
        int pointerPixels = 0;
        for (int dy = -12; dy <= 12; ++dy) {
            for (int dx = -12; dx <= 12; ++dx) {
                pointerPixels += !near(pixel(picture, pointer + QPoint(dx, dy)), kBlue);
            }
        }
        EXPECT_GT(pointerPixels, 20) << "no pointer at the pointer's place";

        // A looping GIF of it: a frame every 0.1 s, each shown 10 cs.
        testsupport::TempDir out;
        const QString gif = out.file(QStringLiteral("movie.gif"));
        const auto exported = exportGif(movie, gif, 10, 320);
        ASSERT_FALSE(exported) << exported->description().toStdString();
        const auto gifInfo = platform::GifInfo::read(gif);
        ASSERT_TRUE(gifInfo);
        EXPECT_EQ(gifInfo->size, c.gifSize);
        EXPECT_EQ(gifInfo->loopCount, 0);
        EXPECT_NEAR(double(gifInfo->delays.size()), duration * 10, 1.0);
        // The last frame shows for what is left of the movie, so the GIF
        // plays as long as it.
        for (std::size_t i = 0; i + 1 < gifInfo->delays.size(); ++i) {
            ASSERT_EQ(gifInfo->delays[i], 10) << "frame " << i;
        }
        ASSERT_FALSE(gifInfo->delays.empty());
        ASSERT_TRUE(gifInfo->delays.back());
        EXPECT_GE(*gifInfo->delays.back(), 1);
        EXPECT_LE(*gifInfo->delays.back(), 10);
        EXPECT_NEAR(gifDuration(gif), duration, 0.15);
        const QImage firstGifFrame = QImage(gif).convertToFormat(QImage::Format_RGB32);
        EXPECT_TRUE(near(pixel(firstGifFrame, redCentre), kBlue))
            << "where Redwin is in the GIF: " << colourText(pixel(firstGifFrame, redCentre));
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), QStringList{"movie.gif"});

        // Saved twice into the save folder, shared, saved as.
        app::Recording recording;
        recording.url = QUrl::fromLocalFile(movie);
        recording.date = date;
        const QByteArray bytes = testsupport::readAll(movie);
        const QString saveFolder = out.file(QStringLiteral("Captures"));
        ASSERT_TRUE(QDir().mkpath(saveFolder));
        const auto firstSave = saveCopy(recording, saveFolder);
        const auto secondSave = saveCopy(recording, saveFolder);
        ASSERT_TRUE(firstSave && secondSave);
        const QString first = firstSave.value(), second = secondSave.value();
        EXPECT_EQ(first, saveFolder + '/' + name);
        EXPECT_EQ(QFileInfo(second).fileName(), QString(name).replace(".mp4", " (2).mp4"));
        EXPECT_EQ(testsupport::readAll(first), bytes);
        EXPECT_EQ(testsupport::readAll(second), bytes);

        const QString shared = shareCopy(recording);
        EXPECT_EQ(QFileInfo(shared).fileName(), name);
        EXPECT_TRUE(QFileInfo(shared).absolutePath().startsWith(recordingsFolder() + "/Share-"))
            << shared.toStdString();
        struct stat original {};
        struct stat link {};
        ASSERT_EQ(::stat(QFile::encodeName(movie).constData(), &original), 0);
        ASSERT_EQ(::stat(QFile::encodeName(shared).constData(), &link), 0);
        EXPECT_EQ(link.st_ino, original.st_ino);
        EXPECT_EQ(original.st_nlink, 2u);

        AnsweringPanels panels;
        app::ScopedFilePanels usePanels(panels);
        for (const QString& target : {saveFolder + "/chosen.mp4", first, movie}) {
            SCOPED_TRACE(target.toStdString());
            panels.answer = target;
            std::vector<std::optional<QString>> completions;
            saveAs(recording, nullptr,
                   [&](std::optional<QString> path) { completions.push_back(path); });
            ASSERT_EQ(completions.size(), 1u);
            EXPECT_EQ(completions[0], target);
            EXPECT_EQ(testsupport::readAll(target), bytes);
        }
        EXPECT_TRUE(panels.alerts.empty());
        EXPECT_EQ(QDir(saveFolder).entryList(QDir::Files).size(), 3);
    }
}

// The recordings folder on a volume that takes no movie: the recording is
// refused with a clear text, or its finish fails; either way no file is left.
TEST_F(RecordingEndToEndOnX11, ARecordingsFolderThatCannotTakeTheMovieKeepsNothing) {
    struct Case {
        const char* name;
        bool readOnly;
        const char* reason; // what the error text says
    };
    const Case cases[] = {
        {"read-only", true, "Read-only file system"},
        {"full", false, "No space left on device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto mount = testsupport::ScratchMount::make(recordingsFolder(), 256);
        if (!mount) {
            GTEST_SKIP() << "no scratch volume can be mounted here";
        }
        if (c.readOnly) {
            ASSERT_TRUE(mount->makeReadOnly());
        } else {
            // Every block taken.
            QFile filler(recordingsFolder() + "/filler");
            ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        }
        const QStringList before = recordingsFolderEntries();
        RecordingOptions options;
        options.systemAudio = true;
        auto made = ScreenRecorder::make(firstDisplay(), QRectF(200, 150, 800, 450), options);
        QString error;
        if (auto* refused = std::get_if<RecorderError>(&made)) {
            EXPECT_EQ(refused->kind(), RecorderError::Kind::writer);
            error = refused->description();
        } else {
            EXPECT_FALSE(c.readOnly) << "a read-only folder was taken";
            auto recorder = std::move(std::get<0>(made));
            pump(1500);
            const auto finished = finish(*recorder);
            ASSERT_TRUE(std::holds_alternative<WriterError>(finished));
            EXPECT_EQ(std::get<WriterError>(finished).kind(), WriterError::Kind::failed);
            error = std::get<WriterError>(finished).description();
        }
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        EXPECT_EQ(recordingsFolderEntries(), before);
    }
}

// The recorded window dies while it is recorded: the follower says so at once
// and the recording ends with what it has, with every thread it started gone.
TEST_F(RecordingEndToEndOnX11, TheRecordedWindowKilledEndsTheRecording) {
    std::optional<SolidWindow> target;
    target.emplace(QStringLiteral("Target"), kCyan, QRect(500, 300, 400, 300));
    const std::uint32_t id = target->id();
    const int threadsBefore = threadCount();
    {
        RecordingOptions options;
        options.systemAudio = true;
        options.filter.window = id;
        auto made = ScreenRecorder::make(firstDisplay(), target->frame(), options);
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<ScreenRecorder>>(made))
            << std::get<RecorderError>(made).description().toStdString();
        auto recorder = std::move(std::get<0>(made));
        QString failure;
        recorder->onFailure = [&](const QString& message) { failure = message; };
        WindowFollower follower(id);
        std::optional<std::variant<QString, WriterError>> result;
        int closes = 0;
        follower.onMove = [&](const QRectF& bounds) { recorder->update(bounds); };
        follower.onClose = [&] {
            ++closes;
            // As the recording session does: stop and keep what was recorded.
            recorder->finish([&](std::variant<QString, WriterError> r) { result = std::move(r); });
        };
        follower.start();
        pump(1000);
        target->kill();
        QElapsedTimer sinceKill;
        sinceKill.start();
        ASSERT_TRUE(waitFor(3000, [&] { return closes > 0; }));
        EXPECT_LT(sinceKill.elapsed(), 400);
        ASSERT_TRUE(waitFor(30000, [&] { return result.has_value(); }));
        pump(300);
        EXPECT_EQ(closes, 1);
        EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
        ASSERT_TRUE(std::holds_alternative<QString>(*result))
            << std::get<WriterError>(*result).description().toStdString();
        const QString movie = std::get<QString>(*result);
        auto reader = platform::MovieReader::open(movie);
        ASSERT_TRUE(reader);
        EXPECT_NEAR(reader->duration().value_or(0), 1.0, 0.4);
        EXPECT_TRUE(near(reader->frameAt(0.5).pixel(200, 150), kCyan));
        // A filter for the gone window changes nothing and does no harm.
        RecordingFilter filter = recorder->options().filter;
        recorder->updateFilter(filter);
    }
    EXPECT_TRUE(waitFor(3000, [&] { return threadCount() == threadsBefore; }))
        << threadCount() << " threads, " << threadsBefore << " before";
}

} // namespace
} // namespace recording
