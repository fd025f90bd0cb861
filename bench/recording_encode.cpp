// Encoding a recording as it happens: frames of a scrolling picture at a
// steady rate, for a while, through the movie writer at its settings; then the
// same frames piped into the ffmpeg program's libx264 at the same preset, once
// at its own rate control and once at ours. For each: frames dropped (ours:
// turned away by a full encoder queue; ffmpeg: ticks the pipe was still busy
// at) and the CPU used while encoding, in cores.
//
// With --flat-out nothing is dropped or paced: every frame is handed over as
// soon as there is room, and the table gives the frames per second each side
// sustains and its CPU per frame, a measure that a busy machine disturbs far
// less than counting drops.
//
//   recording_encode [--flat-out] [SECONDS] [WIDTHxHEIGHT] [FPS]
//   (default 60 1920x1080 60)
#include "ScrollingPage.h"
#include "recording/RecordingWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

bool flatOut = false;

double cpuSeconds(const rusage& usage) {
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

double selfCpu() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return cpuSeconds(usage);
}

// Counts what the encoder's queue turns away.
class CountingMovie final : public platform::MovieWriter {
public:
    CountingMovie(std::unique_ptr<platform::MovieWriter> movie, std::vector<double>& dropped)
        : movie_(std::move(movie)), dropped_(dropped) {}
    platform::AppendResult appendVideo(const QImage& image, std::int64_t time) override {
        auto result = movie_->appendVideo(image, time);
        while (flatOut && result == platform::AppendResult::notReady) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            result = movie_->appendVideo(image, time);
        }
        if (result == platform::AppendResult::notReady) {
            dropped_.push_back(double(time) / 1e9);
        }
        return result;
    }
    platform::AppendResult appendAudio(int track, const std::vector<float>& samples,
                                       std::int64_t time) override {
        return movie_->appendAudio(track, samples, time);
    }
    bool hasFailed() const override { return movie_->hasFailed(); }
    std::optional<QString> finish(std::int64_t end) override { return movie_->finish(end); }
    void cancel() override { movie_->cancel(); }

private:
    std::unique_ptr<platform::MovieWriter> movie_;
    // When, in seconds into the movie; filled on the writer's thread only.
    std::vector<double>& dropped_;
};

struct Result {
    int frames = 0;
    int dropped = 0;
    std::vector<double> droppedAt; // seconds in, where known
    double cpu = 0;                // seconds
    double wall = 0;               // while the frames came
    double total = 0;              // until the movie was finished
    qint64 bytes = 0;
};

void print(const char* name, const Result& r) {
    if (flatOut) {
        const int encoded = r.frames - r.dropped;
        std::printf("%-38s %6d frames %7.1f fps  %6.2f ms CPU/frame  %7.2f MB\n", name, encoded,
                    encoded / std::max(r.total, 1e-9), r.cpu * 1e3 / std::max(encoded, 1),
                    r.bytes / 1e6);
        return;
    }
    std::printf("%-38s %6d frames %5d dropped  %5.2f cores  %7.2f MB", name, r.frames, r.dropped,
                r.cpu / r.wall, r.bytes / 1e6);
    // Where the first ones fell: a burst at the start is the encoder warming
    // up, scattered ones the machine's other load.
    for (std::size_t i = 0; i < std::min<std::size_t>(r.droppedAt.size(), 6); ++i) {
        std::printf("%s%.2f s", i == 0 ? "  at " : ", ", r.droppedAt[i]);
    }
    std::printf("\n");
}

// Frames made on the writer's thread at every tick, as the recorder's grab
// does, without encoding: what making the picture costs by itself.
Result feed(const bench::ScrollingPage& picture, int frames, int fps,
            const std::function<void(const QImage&, platform::HostTime)>& take) {
    Result result;
    result.frames = frames;
    const auto period = std::chrono::nanoseconds(1'000'000'000 / fps);
    const auto start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        if (!flatOut) {
            std::this_thread::sleep_until(start + i * period);
        }
        take(picture.frame(i), platform::hostTimeNow());
    }
    result.wall = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
}

Result ours(const bench::ScrollingPage& picture, QSize size, int frames, int fps,
            const QString& path) {
    std::vector<double> dropped;
    auto made = recording::RecordingWriter::make(
        path, size, fps, 0.1, std::nullopt, {},
        [&dropped](const platform::MovieSettings& settings) -> platform::MovieWriterResult {
            auto opened = platform::openMovieWriter(settings);
            if (auto* movie = std::get_if<std::unique_ptr<platform::MovieWriter>>(&opened)) {
                return std::make_unique<CountingMovie>(std::move(*movie), dropped);
            }
            return opened;
        });
    if (auto* error = std::get_if<recording::WriterError>(&made)) {
        std::fprintf(stderr, "%s\n", qPrintable(error->description()));
        std::exit(1);
    }
    auto writer = std::move(std::get<std::unique_ptr<recording::RecordingWriter>>(made));
    const double cpuBefore = selfCpu();
    const auto started = Clock::now();
    Result result = feed(picture, frames, fps, [&](const QImage& image, platform::HostTime time) {
        const auto append = [&writer, image, time] { writer->appendVideo({image, time}); };
        if (flatOut) {
            // Handed over only once there is room, so frames never pile up.
            writer->queue().sync(append);
        } else {
            writer->queue().async(append);
        }
    });
    std::atomic<bool> done{false};
    writer->finish(std::nullopt, [&done](std::optional<recording::WriterError> error) {
        if (error) {
            std::fprintf(stderr, "%s\n", qPrintable(error->description()));
        }
        done = true;
    });
    while (!done) {
        // Sleeps until the answer is posted: a spinning wait would count.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    writer.reset();
    result.total = std::chrono::duration<double>(Clock::now() - started).count();
    result.cpu = selfCpu() - cpuBefore;
    result.dropped = int(dropped.size());
    result.droppedAt = dropped;
    result.bytes = QFileInfo(path).size();
    return result;
}

Result ffmpeg(const bench::ScrollingPage& picture, QSize size, int frames, int fps,
              const QString& path, bool ourRate) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        std::exit(1);
    }
    const std::string sizeText = std::to_string(size.width()) + "x" + std::to_string(size.height());
    const std::string rate = std::to_string(fps);
    const std::string keys = std::to_string(2 * fps);
    const std::string bitRate = std::to_string(
        recording::RecordingWriter::averageBitRate(fps, size.width(), size.height(), 0.1));
    const std::string out = QFile::encodeName(path).toStdString();
    std::vector<std::string> args = {"ffmpeg",   "-v",       "error",    "-y",       "-f",
                                     "rawvideo", "-pix_fmt", "bgr0",     "-s",       sizeText,
                                     "-r",       rate,       "-i",       "pipe:0",   "-c:v",
                                     "libx264",  "-preset",  "veryfast", "-pix_fmt", "yuv420p"};
    if (ourRate) {
        for (const std::string& a :
             {std::string("-b:v"), bitRate, std::string("-bf"), std::string("0"), std::string("-g"),
              keys, std::string("-profile:v"), std::string("high")}) {
            args.push_back(a);
        }
    }
    args.push_back("-movflags");
    args.push_back("+faststart");
    args.push_back(out);
    const auto started = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[0], 0);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execvp("ffmpeg", argv.data());
        _exit(127);
    }
    close(pipeFds[0]);
    const auto period = std::chrono::nanoseconds(1'000'000'000 / fps);
    int dropped = 0;
    std::optional<Clock::time_point> start;
    int tick = 0;
    // As x11grab would: a frame whose tick passed a whole period ago while
    // the pipe was still busy with the one before is missed.
    Result result = feed(picture, frames, fps, [&](const QImage& image, platform::HostTime) {
        if (!start) {
            start = Clock::now();
        }
        if (!flatOut && Clock::now() > *start + (tick++ + 1) * period) {
            ++dropped;
            return;
        }
        const char* bytes = reinterpret_cast<const char*>(image.constBits());
        std::size_t left = std::size_t(image.sizeInBytes());
        while (left > 0) {
            const ssize_t written = write(pipeFds[1], bytes, left);
            if (written <= 0) {
                std::exit(1);
            }
            bytes += written;
            left -= std::size_t(written);
        }
    });
    close(pipeFds[1]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    result.total = std::chrono::duration<double>(Clock::now() - started).count();
    result.cpu = cpuSeconds(usage);
    result.dropped = dropped;
    result.bytes = QFileInfo(path).size();
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--flat-out") == 0) {
        flatOut = true;
        --argc;
        ++argv;
    }
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    QSize size(1920, 1080);
    if (argc > 2) {
        const QStringList sides = QString::fromLatin1(argv[2]).split(QLatin1Char('x'));
        size = QSize(sides.value(0).toInt(), sides.value(1).toInt());
    }
    const int fps = argc > 3 ? std::atoi(argv[3]) : 60;
    const int frames = seconds * fps;
    QTemporaryDir dir;
    const bench::ScrollingPage picture(size);

    std::printf("%d s of %dx%d at %d fps of a scrolling page, %d cores here\n", seconds,
                size.width(), size.height(), fps, int(std::thread::hardware_concurrency()));
    const double cpuBefore = selfCpu();
    Result alone = feed(picture, frames, fps, [](const QImage&, platform::HostTime) {});
    alone.cpu = selfCpu() - cpuBefore;
    alone.total = alone.wall;
    print("making the frames alone (ours includes it)", alone);
    print("ours (veryfast, average bit rate)",
          ours(picture, size, frames, fps, dir.filePath("ours.mp4")));
    print("ffmpeg libx264 veryfast (its CRF 23)",
          ffmpeg(picture, size, frames, fps, dir.filePath("crf.mp4"), false));
    print("ffmpeg libx264 veryfast (our rate)",
          ffmpeg(picture, size, frames, fps, dir.filePath("abr.mp4"), true));
    return 0;
}
