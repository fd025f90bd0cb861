#include "recording/RecordingTimeline.h"
#include "recording/RecordingWriter.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using recording::RecordingTimeline;
using recording::RecordingWriter;
using Codec = RecordingWriter::Codec;

TEST(RecordingWriterRules, FittingSizeKeepsWithinLimitsWithEvenSides) {
    const struct {
        double width, height;
        QSize fitted;
    } cases[] = {
        {2880, 1800, {2880, 1800}},
        {1001, 501, {1000, 500}},
        {10000, 5000, {8192, 4096}}, // scale 0.8192
        {1, 1, {2, 2}},
        {7, 9, {6, 8}},
        {8192, 4320, {8192, 4320}},
        {16384, 4320, {8192, 2160}},
        {4000, 8640, {2000, 4320}}, // the height decides
        {1280.6, 720.4, {1280, 720}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecordingWriter::fittingSize(c.width, c.height), c.fitted)
            << c.width << " × " << c.height;
    }
}

TEST(RecordingWriterRules, CodecIsH264WithinItsLimitsAndHevcBeyond) {
    const struct {
        QSize size;
        int fps;
        Codec codec;
    } cases[] = {
        {{4096, 2304}, 30, Codec::h264}, // exactly 36864 macroblocks
        {{4112, 2304}, 1, Codec::hevc},  // one column more
        {{1920, 1080}, 254, Codec::h264},
        {{1920, 1080}, 255, Codec::hevc},
        {{3840, 2160}, 60, Codec::h264},
        {{3840, 2160}, 120, Codec::hevc},
        {{5120, 2880}, 1, Codec::hevc},
        {{1918, 1078}, 254, Codec::h264}, // partial macroblocks count whole
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecordingWriter::codecFor(c.size, c.fps), c.codec)
            << c.size.width() << " × " << c.size.height() << " at " << c.fps;
    }
}

TEST(RecordingWriterRules, AverageBitRate) {
    const struct {
        int fps, width, height;
        double factor;
        std::int64_t bitRate;
    } cases[] = {
        {30, 1920, 1080, 0.1, 6'220'800},   {60, 2880, 1800, 0.05, 15'552'000},
        {120, 1920, 1080, 0.1, 16'174'080}, // 60 + 0.3 × 60 = 78 frames' worth
        {30, 640, 360, 0.05, 1'000'000},    // the floor
        {30, 1280, 720, 0.1, 2'764'800},    {61, 1000, 1000, 0.1, 6'030'000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecordingWriter::averageBitRate(c.fps, c.width, c.height, c.factor), c.bitRate)
            << c.width << " × " << c.height << " at " << c.fps;
    }
}

// The timeline, one script of samples, pauses and resumes at a time.
constexpr platform::HostTime ms = 1'000'000;
constexpr platform::HostTime s = 1000 * ms;
constexpr platform::HostTime frame = s / 30;
constexpr platform::HostTime t0 = 5000 * s; // the host clock is anywhere

struct Step {
    enum Op { video, audio, pause, resume } op;
    platform::HostTime t = 0; // from t0
    // Where the sample lands, from the movie's start; none: dropped.
    std::optional<platform::HostTime> lands = std::nullopt;
    bool taken = true; // whether the movie took it
};

struct Script {
    const char* name;
    std::vector<Step> steps;
    std::optional<platform::HostTime> endTime; // from t0
    std::optional<platform::HostTime> end;     // from the movie's start
};

TEST(RecordingTimeline, Scripts) {
    using S = Step;
    const Script scripts[] = {
        {"a 5 s pause while frames flow leaves no hole",
         {{S::video, 0, 0},
          {S::video, frame, frame},
          {S::video, 2 * frame, 2 * frame},
          {S::pause, 2 * frame + 10 * ms},
          {S::video, 3 * frame},
          {S::audio, 3 * frame},
          {S::resume},
          {S::video, 2 * frame + 5 * s, 3 * frame}, // one frame after the last before
          {S::audio, 2 * frame + 5 * s + 10 * ms, 3 * frame + 10 * ms},
          {S::video, 3 * frame + 5 * s, 4 * frame}},
         std::nullopt,
         5 * frame},
        {"a still stretch before the pause stays in the movie",
         {{S::video, 0, 0},
          {S::video, frame, frame},
          {S::pause, 2 * s},
          {S::resume},
          {S::video, 7 * s, 2 * s},
          {S::video, 7 * s + frame, 2 * s + frame}},
         8 * s,
         3 * s},
        {"the stop 3 s after the last frame ends the movie there",
         {{S::video, 0, 0}, {S::video, frame, frame}, {S::video, 2 * frame, 2 * frame}},
         3 * frame + 3 * s,
         3 * frame + 3 * s},
        {"a stop 12 s after the last frame ends the movie with that frame",
         {{S::video, 0, 0}, {S::video, frame, frame}, {S::video, 2 * frame, 2 * frame}},
         3 * frame + 12 * s,
         3 * frame},
        {"a stop before the last frame ended changes nothing",
         {{S::video, 0, 0}, {S::video, frame, frame}},
         frame + 5 * ms,
         2 * frame},
        {"finishing while paused ignores the stop",
         {{S::video, 0, 0}, {S::video, frame, frame}, {S::pause, frame + 5 * ms}},
         3 * s,
         2 * frame},
        {"sound before the first picture is dropped; the movie starts at the picture",
         {{S::audio, 0},
          {S::video, 100 * ms, 0},
          {S::audio, 90 * ms},
          {S::audio, 110 * ms, 10 * ms},
          {S::video, 100 * ms + frame, frame}},
         std::nullopt,
         2 * frame},
        {"sound that a pause would shift before the movie's start is dropped",
         {{S::video, 0, 0},
          {S::pause, 10 * ms},
          {S::resume},
          {S::video, 2 * s, frame},
          {S::audio, 500 * ms}},
         std::nullopt,
         2 * frame},
        {"a resume without a pause, or before anything was taken, adds nothing",
         {{S::resume},
          {S::pause, 0},
          {S::video, 1 * s},
          {S::resume},
          {S::video, 3 * s, 0},
          {S::resume},
          {S::video, 3 * s + frame, frame}},
         std::nullopt,
         2 * frame},
        {"a frame the movie did not take is not the last one",
         {{S::video, 0, 0}, {S::video, frame, frame}, {S::video, 2 * frame, 2 * frame, false}},
         std::nullopt,
         2 * frame},
        {"nothing taken: no movie",
         {{S::video, 0, 0, false}, {S::audio, 5 * ms, 5 * ms, false}},
         1 * s,
         std::nullopt},
        {"sound alone moves the end",
         {{S::video, 0, 0}, {S::audio, 500 * ms, 500 * ms}},
         std::nullopt,
         500 * ms + frame},
        {"sound stamped after the stop does not lengthen the movie",
         {{S::video, 0, 0}, {S::video, frame, frame}, {S::audio, 900 * ms, 900 * ms}},
         300 * ms,
         300 * ms},
        {"nor cut the last picture short",
         {{S::video, 0, 0}, {S::video, frame, frame}, {S::audio, 900 * ms, 900 * ms}},
         frame + 5 * ms,
         2 * frame},
    };
    for (const Script& script : scripts) {
        SCOPED_TRACE(script.name);
        RecordingTimeline timeline(frame);
        int index = 0;
        for (const Step& step : script.steps) {
            SCOPED_TRACE(index++);
            const platform::HostTime at = t0 + step.t;
            std::optional<platform::HostTime> lands;
            switch (step.op) {
            case Step::pause:
                timeline.pause(at);
                continue;
            case Step::resume:
                timeline.resume();
                continue;
            case Step::video:
                lands = timeline.video(at);
                break;
            case Step::audio:
                lands = timeline.audio(at);
                break;
            }
            EXPECT_EQ(lands, step.lands);
            if (lands && step.taken) {
                timeline.appended(at, step.op == Step::video);
            }
        }
        const auto endTime = script.endTime ? std::optional(t0 + *script.endTime) : std::nullopt;
        EXPECT_EQ(timeline.end(endTime), script.end);
    }
}

} // namespace
