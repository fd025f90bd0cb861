#include "platform/SoundOutput.h"

#include "platform/PulseTeardown.h"

#include <pulse/pulseaudio.h>

#include <QObject>

#include <algorithm>
#include <deque>

namespace platform {

namespace {
constexpr pa_usec_t kAnswerTimeout = 3 * PA_USEC_PER_SEC;
const pa_sample_spec kSpec{PA_SAMPLE_FLOAT32LE, SoundOutput::rate, SoundOutput::channels};
constexpr std::size_t kFrameBytes = sizeof(float) * SoundOutput::channels;
} // namespace

struct SoundOutput::State {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    bool timedOut = false;
    bool broken = false;
    // The run: its number, whether it goes on, and where in the stream it
    // begins (microseconds of the stream's own clock).
    int run = 0;
    bool running = false;
    pa_usec_t origin = 0;
    std::int64_t framesWritten = 0;
    std::int64_t primeFrames = 0;
    bool corked = true;
    // When the stream last started to play: the server's account of it is
    // worth reading only from the first one measured after that (before it,
    // the interpolation runs on as if the server played at once).
    timeval uncorkedAt{};
    bool finished = false;
    // The runs whose drain the server has yet to answer, in order.
    std::deque<int> draining;
    // Everything written has gone out: the stream's clock stops short of the
    // end by the output's latency, which nothing plays any more.
    bool drained = false;
    // The highest time the run reached, so that its clock never runs back
    // (the server's interpolation may correct itself downwards).
    double heard = 0;

    static void signal(void* data) {
        auto* s = static_cast<State*>(data);
        pa_threaded_mainloop_signal(s->loop, 0);
    }
    static void contextChanged(pa_context*, void* data) { signal(data); }
    static void streamChanged(pa_stream*, void* data) { signal(data); }
    static void timeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
        static_cast<State*>(data)->timedOut = true;
        signal(data);
    }
    static void operationDone(pa_stream*, int, void* data) { signal(data); }
    static void drainDone(pa_stream*, int success, void* data) {
        auto* s = static_cast<State*>(data);
        if (s->draining.empty()) {
            return;
        }
        const int run = s->draining.front();
        s->draining.pop_front();
        if (success && run == s->run) {
            s->drained = true;
        }
    }

    // Waits (holding the lock) until `done` holds, a few seconds pass or the
    // context breaks.
    template <typename Done> bool waitFor(Done done) {
        timedOut = false;
        pa_time_event* deadline = pa_context_rttime_new(context, pa_rtclock_now() + kAnswerTimeout,
                                                        &State::timeout, this);
        bool ok = true;
        while (!done()) {
            if (timedOut || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
                ok = false;
                break;
            }
            pa_threaded_mainloop_wait(loop);
        }
        if (deadline != nullptr) {
            pa_threaded_mainloop_get_api(loop)->time_free(deadline);
        }
        return ok;
    }

    // Waits for an operation on the server, so that what follows sees its
    // effect.
    bool await(pa_operation* operation) {
        if (operation == nullptr) {
            return false;
        }
        const bool ok = waitFor(
            [operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
        pa_operation_unref(operation);
        return ok;
    }

    bool good() const {
        return !broken && stream != nullptr && PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) &&
               pa_stream_get_state(stream) == PA_STREAM_READY;
    }

    // Silences the stream and drops whatever it holds.
    void halt() {
        running = false;
        drained = false;
        if (!good()) {
            return;
        }
        if (!corked) {
            corked = true;
            await(pa_stream_cork(stream, 1, &State::operationDone, this));
        }
        await(pa_stream_flush(stream, &State::operationDone, this));
    }

    void uncorkIfPrimed() {
        // Also once the server's buffer is full: it may hold less than the
        // priming amount.
        if (corked && framesWritten > 0 &&
            (framesWritten >= primeFrames || finished || pa_stream_writable_size(stream) == 0)) {
            corked = false;
            await(pa_stream_cork(stream, 0, &State::operationDone, this));
            pa_gettimeofday(&uncorkedAt);
            if (pa_operation* update = pa_stream_update_timing_info(stream, nullptr, nullptr)) {
                pa_operation_unref(update);
            }
        }
    }

    void close() {
        pulse::tearDown(loop, context, stream, [] {});
    }
};

namespace {
// Holds the loop's lock for a scope.
class Locked {
public:
    explicit Locked(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~Locked() { pa_threaded_mainloop_unlock(loop_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    pa_threaded_mainloop* loop_;
};
} // namespace

SoundOutput::SoundOutput() : d(std::make_unique<State>()) {}

SoundOutput::~SoundOutput() {
    d->close();
}

std::variant<std::unique_ptr<SoundOutput>, QString> SoundOutput::open(const QString& streamName) {
    std::unique_ptr<SoundOutput> output(new SoundOutput());
    State& s = *output->d;
    s.loop = pa_threaded_mainloop_new();
    if (s.loop == nullptr || pa_threaded_mainloop_start(s.loop) < 0) {
        return QObject::tr("The sound server could not be reached.");
    }
    Locked locked(s.loop);
    s.context = pa_context_new(pa_threaded_mainloop_get_api(s.loop), "Vexlin Capture");
    if (s.context == nullptr) {
        return QObject::tr("The sound server could not be reached.");
    }
    pa_context_set_state_callback(s.context, &State::contextChanged, &s);
    if (pa_context_connect(s.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        return QObject::tr("No sound server is running (PulseAudio or PipeWire): %1.")
            .arg(QString::fromUtf8(pa_strerror(pa_context_errno(s.context))));
    }
    if (!s.waitFor([&s] { return pa_context_get_state(s.context) == PA_CONTEXT_READY; })) {
        return QObject::tr("No sound server is running (PulseAudio or PipeWire).");
    }

    pa_channel_map map;
    pa_channel_map_init_stereo(&map);
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "video");
    s.stream = pa_stream_new_with_proplist(s.context, streamName.toUtf8().constData(), &kSpec, &map,
                                           properties);
    pa_proplist_free(properties);
    if (s.stream == nullptr) {
        return QObject::tr("The sound server refused a stream to play.");
    }
    pa_stream_set_state_callback(s.stream, &State::streamChanged, &s);
    // A short target, so that what is heard follows what is written
    // closely; the server waits for a little before it plays (also after
    // running dry), so that a late piece does not leave the clock running
    // over silence.
    pa_buffer_attr attributes;
    attributes.maxlength = std::uint32_t(-1);
    attributes.tlength = std::uint32_t(pa_usec_to_bytes(250'000, &kSpec));
    attributes.prebuf = std::uint32_t(pa_usec_to_bytes(40'000, &kSpec));
    attributes.minreq = std::uint32_t(-1);
    attributes.fragsize = std::uint32_t(-1);
    // The server's times as they are: a flush takes back what was written
    // and not heard, and a clock kept from running back across that would
    // run ahead of the next run. Each run keeps its own from running back.
    const auto flags = pa_stream_flags_t(PA_STREAM_START_CORKED | PA_STREAM_INTERPOLATE_TIMING |
                                         PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY |
                                         PA_STREAM_NOT_MONOTONIC);
    if (pa_stream_connect_playback(s.stream, nullptr, &attributes, flags, nullptr, nullptr) < 0 ||
        !s.waitFor([&s] { return pa_stream_get_state(s.stream) != PA_STREAM_CREATING; }) ||
        pa_stream_get_state(s.stream) != PA_STREAM_READY) {
        return QObject::tr("The sound server refused a stream to play.");
    }
    return output;
}

bool SoundOutput::start(double prime) {
    Locked locked(d->loop);
    d->halt();
    ++d->run;
    d->framesWritten = 0;
    d->primeFrames = std::max<std::int64_t>(1, std::int64_t(prime * rate));
    d->finished = false;
    d->heard = 0;
    if (!d->good()) {
        d->broken = true;
        return false;
    }
    // The run's first sample goes where the flush left the write index; it
    // is heard when the stream's clock gets there.
    if (!d->await(pa_stream_update_timing_info(d->stream, &State::operationDone, d.get()))) {
        d->broken = true;
        return false;
    }
    const pa_timing_info* timing = pa_stream_get_timing_info(d->stream);
    if (timing == nullptr || timing->write_index_corrupt) {
        d->broken = true;
        return false;
    }
    d->origin =
        pa_bytes_to_usec(std::uint64_t(std::max<std::int64_t>(0, timing->write_index)), &kSpec);
    d->running = true;
    return true;
}

void SoundOutput::stop() {
    Locked locked(d->loop);
    d->halt();
    d->framesWritten = 0;
    d->heard = 0;
}

bool SoundOutput::write(const float* interleaved, std::size_t frames) {
    Locked locked(d->loop);
    if (!d->running || !d->good()) {
        return false;
    }
    if (frames > 0 && pa_stream_write(d->stream, interleaved, frames * kFrameBytes, nullptr, 0,
                                      PA_SEEK_RELATIVE) < 0) {
        d->broken = true;
        return false;
    }
    d->framesWritten += std::int64_t(frames);
    d->uncorkIfPrimed();
    return true;
}

void SoundOutput::finish() {
    Locked locked(d->loop);
    if (!d->running || !d->good() || d->finished) {
        return;
    }
    d->finished = true;
    d->uncorkIfPrimed();
    if (d->framesWritten == 0) {
        d->drained = true;
        return;
    }
    // Less than the server waits for before it starts (or starts again
    // after running dry) may be left: it plays now.
    d->await(pa_stream_trigger(d->stream, &State::operationDone, d.get()));
    if (pa_operation* drain = pa_stream_drain(d->stream, &State::drainDone, d.get())) {
        d->draining.push_back(d->run);
        pa_operation_unref(drain);
    }
}

bool SoundOutput::running() const {
    Locked locked(d->loop);
    return d->running;
}

double SoundOutput::wanted() const {
    Locked locked(d->loop);
    if (!d->running || !d->good()) {
        return 0;
    }
    const std::size_t bytes = pa_stream_writable_size(d->stream);
    return bytes == std::size_t(-1) ? 0 : double(bytes / kFrameBytes) / rate;
}

double SoundOutput::written() const {
    Locked locked(d->loop);
    return double(d->framesWritten) / rate;
}

double SoundOutput::played() const {
    Locked locked(d->loop);
    const double end = double(d->framesWritten) / rate;
    if (!d->running) {
        return 0;
    }
    if (d->drained) {
        return end;
    }
    const pa_timing_info* timing =
        d->good() && !d->corked ? pa_stream_get_timing_info(d->stream) : nullptr;
    if (timing != nullptr && pa_timeval_cmp(&timing->timestamp, &d->uncorkedAt) >= 0) {
        pa_usec_t time = 0;
        if (pa_stream_get_time(d->stream, &time) == 0 && time > d->origin) {
            d->heard = std::max(d->heard, double(time - d->origin) / 1e6);
        }
    }
    return std::min(d->heard, end);
}

bool SoundOutput::failed() const {
    Locked locked(d->loop);
    return d->broken || !d->good();
}

} // namespace platform
