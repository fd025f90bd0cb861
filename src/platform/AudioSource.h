#pragma once

#include "platform/MediaSamples.h"

#include <QString>

#include <functional>
#include <memory>
#include <variant>

namespace platform {

// Sound from the sound server (PulseAudio, or PipeWire's PulseAudio server)
// as 48 kHz stereo floats, stamped on the host clock like the frames of the
// screen, so both line up in a recording.
class AudioSource {
public:
    enum class Device {
        systemOutput, // what the default output plays (its monitor)
        microphone,   // the default input, unless that is only an output's monitor
    };
    // On the sound server's thread, in order.
    using Deliver = std::function<void(AudioChunk chunk)>;
    // On the sound server's thread, once, when the server or the stream went
    // away; nothing is delivered after it.
    using Failure = std::function<void(const QString& message)>;

    // Connects and starts delivering. The message says why it could not: no
    // sound server, or no such device.
    static std::variant<std::unique_ptr<AudioSource>, QString> open(Device device, Deliver deliver,
                                                                    Failure failure);
    // Disconnects; no callback runs after it returns.
    ~AudioSource();
    AudioSource(const AudioSource&) = delete;
    AudioSource& operator=(const AudioSource&) = delete;

    // The source's name on the server.
    QString deviceName() const;

private:
    AudioSource();
    struct State;
    std::unique_ptr<State> d;
};

// Where the host-clock times of a stream of samples come from: the count of
// samples since an anchor, so that consecutive chunks join without gaps or
// jitter. The anchor is the measured capture time (the arrival less the
// server's latency) of the first chunk, and again of the first chunk after a
// quiet spell (an idle output makes no samples at all, and the count knows
// nothing of the pause). The measured time is no better than that: the
// server's interpolated latency of a monitor wanders by a hundred
// milliseconds and more from chunk to chunk. So while chunks flow it moves
// the anchor only when it has stayed more than `drift` away for several
// chunks, by the smallest of those distances (the clocks of a sound card and
// of the host part slowly).
class AudioClock {
public:
    explicit AudioClock(int sampleRate, HostTime quiet = 30'000'000, HostTime drift = 250'000'000)
        : rate_(sampleRate), quiet_(quiet), drift_(drift) {}
    // The time of the first of `frames` frames that arrived at `arrived` and
    // were measured to be captured at `measured`; advances past them.
    HostTime stamp(HostTime measured, HostTime arrived, std::int64_t frames);
    // Frames the server lost: the next chunk starts this much later.
    void skip(std::int64_t frames) { counted_ += frames; }

    static constexpr int kOutliersToMove = 5;

private:
    HostTime duration(std::int64_t frames) const { return frames * 1'000'000'000 / rate_; }
    int rate_;
    HostTime quiet_;
    HostTime drift_;
    bool anchored_ = false;
    HostTime anchor_ = 0;
    std::int64_t counted_ = 0;
    HostTime lastArrival_ = 0;
    HostTime lastDuration_ = 0;
    int outliers_ = 0;
    HostTime nearestOutlier_ = 0;
};

} // namespace platform
