// Plays a movie from start to end in the video editor's player, shown on the
// screen, and prints how many of its frames were drawn, how many were passed
// over, and the process's CPU time beside the wall time (the target: every
// frame on at most one core). bench/video_playback.sh makes the movie and
// runs this on the test rig's X server beside a sound server of its own.
//   video_playback MOVIE FRAMES [WIDTH HEIGHT]
#include "videoeditor/VideoPlayer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs the event loop until `done` holds or `ms` pass.
template <typename Done> bool runUntil(int ms, Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: video_playback MOVIE FRAMES [WIDTH HEIGHT]\n");
        return 2;
    }
    const long long frames = std::atoll(argv[2]);
    const int width = argc == 5 ? std::atoi(argv[3]) : 1280;
    const int height = argc == 5 ? std::atoi(argv[4]) : 760;

    videoeditor::VideoPlayer player(QString::fromLocal8Bit(argv[1]));
    player.resize(width, height);
    player.show();
    if (!runUntil(20'000, [&] { return player.duration() && !player.currentFrame().isNull(); }) ||
        *player.duration() <= 0) {
        std::fprintf(stderr, "the movie did not open\n");
        return 1;
    }
    // The rig's null sink renders two seconds at a time while nothing plays
    // to it: sound started sooner than that after the player's stream opened
    // is heard in one lump (the clock leaps, and frames are passed over).
    runUntil(2500, [] { return false; });
    const videoeditor::VideoPlayer::FrameCounts before = player.frameCounts();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    player.play();
    bool sound = false;
    const int limit = int(*player.duration() * 1000) + 30'000;
    if (!runUntil(limit, [&] {
            sound = sound || player.playsSound();
            return !player.isPlaying();
        })) {
        std::fprintf(stderr, "it did not reach the end\n");
        return 1;
    }
    runUntil(100, [] { return false; }); // the last picture's paint
    const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuBefore;
    const videoeditor::VideoPlayer::FrameCounts after = player.frameCounts();
    const long long shown = after.shown - before.shown;
    const long long dropped = after.dropped - before.dropped;
    const double cores = cpu / wallSeconds;
    std::printf("movie      %.2f s, %lld frames, %dx%d player, sound %s\n", *player.duration(),
                frames, width, height, sound ? "through the sound server" : "none (steady clock)");
    std::printf("shown      %lld / %lld\n", shown, frames);
    std::printf("dropped    %lld\n", dropped);
    std::printf("cpu / wall %.2f s / %.2f s = %.2f cores\n", cpu, wallSeconds, cores);
    const bool holds = shown >= frames && dropped == 0 && cores <= 1.0;
    std::printf("target (every frame, at most one core): %s\n", holds ? "holds" : "missed");
    return holds ? 0 : 1;
}
