#pragma once

#include <QString>

#include <cstddef>
#include <memory>
#include <variant>

namespace platform {

// Plays 48 kHz interleaved stereo floats through the sound server's default
// output (PulseAudio, or PipeWire's PulseAudio server), and tells how much of
// it has been heard: the server's own account of what the output played,
// less what still sits between the stream and the speaker. That is the
// clock a picture shown beside the sound keeps to.
//
// One stream for the output's life (a new stream on every seek would make
// the server settle its latency anew each time); sound goes out through it
// in runs: start() begins one (the clock at zero), stop() drops what was not
// heard yet. One thread at a time.
class SoundOutput {
public:
    static constexpr int rate = 48000;
    static constexpr int channels = 2;

    // Connects to the server and opens a stream to its default output,
    // silent until a run starts. The message says why it could not.
    static std::variant<std::unique_ptr<SoundOutput>, QString> open(const QString& streamName);
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Ends any run and begins a new one, silent until `prime` seconds have
    // been written, the server's buffer is full, or finish() says no more
    // will come. False when the server went away.
    bool start(double prime = 0.2);
    // Ends the run at once: what was written and not heard yet is dropped.
    void stop();
    // Queues `frames` frames of the run. False when no run goes on or the
    // server went away.
    bool write(const float* interleaved, std::size_t frames);
    // No more sound comes in this run: what is queued plays out even when
    // it is less than the priming amount.
    void finish();

    bool running() const;
    // Seconds of sound the output asks for now to keep its buffer full;
    // writing at least that much each time keeps it from running dry.
    double wanted() const;
    // Seconds written in this run.
    double written() const;
    // Seconds of this run heard so far; never more than written.
    double played() const;
    // The server or its stream went away: nothing plays any more.
    bool failed() const;

private:
    SoundOutput();
    struct State;
    std::unique_ptr<State> d;
};

} // namespace platform
