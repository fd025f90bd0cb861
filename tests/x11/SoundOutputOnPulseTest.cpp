// The sound output against with-pulse.sh's sound server, whose null sink
// plays in real time: what the server says it played is the clock.
#include "platform/SoundOutput.h"

#include "support/EventLoop.h"

#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using platform::SoundOutput;

std::vector<float> tone(double seconds) {
    const auto frames = std::size_t(std::lround(seconds * SoundOutput::rate));
    std::vector<float> samples(frames * SoundOutput::channels);
    for (std::size_t i = 0; i < frames; ++i) {
        const float value = 0.2f * float(std::sin(2 * M_PI * 440 * double(i) / SoundOutput::rate));
        samples[2 * i] = samples[2 * i + 1] = value;
    }
    return samples;
}

// Waits, without an event loop (the output needs none), for `done`.
template <typename Done> bool waitUntil(int ms, Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) {
            return false;
        }
        QThread::msleep(5);
    }
    return true;
}

class SoundOutputOnPulse : public testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
            GTEST_SKIP() << "needs with-pulse.sh's sound server";
        }
        auto opened = SoundOutput::open(QStringLiteral("Sound test"));
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<SoundOutput>>(opened))
            << std::get<QString>(opened).toStdString();
        output = std::move(std::get<std::unique_ptr<SoundOutput>>(opened));
    }

    bool write(double seconds) {
        const std::vector<float> samples = tone(seconds);
        return output->write(samples.data(), samples.size() / SoundOutput::channels);
    }

    std::unique_ptr<SoundOutput> output;
};

TEST_F(SoundOutputOnPulse, ItsClockIsWhatTheOutputPlayed) {
    // The null sink renders two seconds at a time while nothing plays to it;
    // with a stream open that long it renders in short pieces.
    QThread::msleep(2100);
    ASSERT_TRUE(output->start(0.2));
    EXPECT_TRUE(output->running());
    ASSERT_TRUE(write(0.1));
    QThread::msleep(300);
    EXPECT_EQ(0, output->played()) << "silent until primed";

    // Fed in small pieces as much as it asks for, as a player does: the
    // clock keeps pace with the wall clock.
    const auto feed = [&] {
        while (output->wanted() > 0) {
            ASSERT_TRUE(write(0.02));
        }
    };
    QElapsedTimer wall;
    wall.start();
    while (output->played() == 0 && wall.elapsed() < 2000) {
        feed();
        QThread::msleep(10);
    }
    ASSERT_GT(output->played(), 0);
    const double from = output->played();
    wall.start();
    double last = from;
    bool monotonic = true;
    while (wall.elapsed() < 1000) {
        feed();
        const double now = output->played();
        monotonic = monotonic && now >= last;
        last = now;
        QThread::msleep(10);
    }
    EXPECT_TRUE(monotonic);
    EXPECT_NEAR(double(wall.elapsed()) / 1000, output->played() - from, 0.15);
    EXPECT_LT(output->written() - output->played(), 1.0) << "asks for no more than it needs";
    EXPECT_FALSE(output->failed());
}

TEST_F(SoundOutputOnPulse, AShortRunPlaysOutWhenFinishedAndTheClockStopsAtItsEnd) {
    // Less than both the priming amount and what the server waits for.
    ASSERT_TRUE(output->start(0.2));
    ASSERT_TRUE(write(0.03));
    output->finish();
    EXPECT_TRUE(waitUntil(3000, [&] { return output->played() >= output->written(); }));
    QThread::msleep(200);
    EXPECT_DOUBLE_EQ(0.03, output->played()) << "never past what was written";

    // Nothing at all finished is over at once.
    ASSERT_TRUE(output->start(0.2));
    output->finish();
    EXPECT_EQ(0, output->played());
    EXPECT_EQ(0, output->written());
}

TEST_F(SoundOutputOnPulse, StopDropsWhatWasNotHeardAndANewRunStartsAtZero) {
    ASSERT_TRUE(output->start(0.1));
    ASSERT_TRUE(write(5));
    ASSERT_TRUE(waitUntil(3000, [&] { return output->played() > 0.2; }));
    output->stop();
    EXPECT_FALSE(output->running());
    EXPECT_EQ(0, output->played());
    EXPECT_FALSE(write(0.1)) << "no run to take it";

    // The server's stream stays, silent.
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    ASSERT_TRUE(pactl.waitForFinished(5000));
    const QByteArray inputs = pactl.readAllStandardOutput();
    EXPECT_TRUE(inputs.contains("Sound test"));
    EXPECT_TRUE(inputs.contains("Corked: yes"));

    ASSERT_TRUE(output->start(0.1));
    EXPECT_EQ(0, output->written());
    ASSERT_TRUE(write(1));
    ASSERT_TRUE(waitUntil(3000, [&] { return output->played() > 0; }));
    EXPECT_LT(output->played(), 0.5) << "the clock of the new run";
}

TEST(SoundOutputWithoutServer, OpeningSaysWhy) {
    const QByteArray saved = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/vexlin-no-server");
    auto opened = SoundOutput::open(QStringLiteral("Sound test"));
    if (saved.isNull()) {
        qunsetenv("PULSE_SERVER");
    } else {
        qputenv("PULSE_SERVER", saved);
    }
    ASSERT_TRUE(std::holds_alternative<QString>(opened));
    EXPECT_TRUE(std::get<QString>(opened).contains(QLatin1String("sound server")));
}

} // namespace
