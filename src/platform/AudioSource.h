#pragma once

#include "platform/MediaSamples.h"

#include <QString>

#include <deque>
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
// samples since an anchor (the time of sample 0), so that consecutive chunks
// join without gaps or jitter. The anchor comes from arrivals alone, never
// from the latency the server reports: that is far off while a stream starts
// (hundreds of milliseconds, shrinking chunk by chunk) and wanders while the
// machine is busy. The last sample waiting to be read at an arrival was
// captured at that arrival or before, so each arrival bounds the anchor from
// above, however late the reader got to it; the anchor is the tightest bound
// of the last `window` (so it follows a slow drift of the sound card's clock
// either way, a few microseconds at a time). Bounds that stay more than
// `quiet` above it for several chunks mean that nothing came for a while (an
// idle output makes no samples at all, and the count knows nothing of the
// pause): the anchor starts afresh there.
class AudioClock {
public:
    explicit AudioClock(int sampleRate, HostTime quiet = 200'000'000,
                        HostTime window = 5'000'000'000)
        : rate_(sampleRate), quiet_(quiet), window_(window) {}
    // The time of the first of `frames` frames read at `arrived`, when
    // `waiting` frames (these first among them) were there to be read;
    // advances past them.
    HostTime stamp(HostTime arrived, std::int64_t frames, std::int64_t waiting);
    // Frames the server lost: the next chunk starts this much later.
    void skip(std::int64_t frames) { counted_ += frames; }

    static constexpr int kQuietChunks = 3;

private:
    HostTime duration(std::int64_t frames) const { return frames * 1'000'000'000 / rate_; }
    struct Bound {
        HostTime arrived;
        HostTime anchor;
    };
    int rate_;
    HostTime quiet_;
    HostTime window_;
    std::int64_t counted_ = 0;
    // The bounds of the window that may still become the tightest, oldest
    // first; the first is the anchor.
    std::deque<Bound> bounds_;
    int quietChunks_ = 0;
};

} // namespace platform
