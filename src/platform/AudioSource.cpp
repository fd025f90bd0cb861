#include "platform/AudioSource.h"

#include "platform/PulseTeardown.h"

#include <pulse/pulseaudio.h>

#include <QObject>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {
constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr pa_usec_t kConnectTimeout = 5 * PA_USEC_PER_SEC;
} // namespace

HostTime AudioClock::stamp(HostTime arrived, std::int64_t frames, std::int64_t waiting) {
    const HostTime bound = arrived - duration(counted_ + std::max(waiting, frames));
    if (!bounds_.empty() && bound - bounds_.front().anchor > quiet_) {
        if (++quietChunks_ >= kQuietChunks) {
            bounds_.clear();
            quietChunks_ = 0;
        }
    } else {
        quietChunks_ = 0;
    }
    while (!bounds_.empty() && bounds_.back().anchor >= bound) {
        bounds_.pop_back();
    }
    bounds_.push_back({arrived, bound});
    while (bounds_.front().arrived < arrived - window_) {
        bounds_.pop_front();
    }
    const HostTime time = bounds_.front().anchor + duration(counted_);
    counted_ += frames;
    return time;
}

struct AudioSource::State {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    Deliver deliver;
    Failure failure;
    AudioClock clock{kRate};
    QString device;
    bool timedOut = false;
    bool closing = false;
    bool failed = false;
    // Answers of the server's introspection, read under the loop's lock.
    bool answered = false;
    QString defaultSink;
    QString defaultSource;
    QString monitorOfSink;
    bool sourceIsMonitor = false;
    bool found = false;

    void fail(const QString& message) {
        if (closing || failed) {
            return;
        }
        failed = true;
        if (failure) {
            failure(message);
        }
    }

    static void contextChanged(pa_context* context, void* data) {
        auto* s = static_cast<State*>(data);
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
            if (s->stream != nullptr) {
                s->fail(QObject::tr("The sound server stopped during the recording."));
            }
        }
        pa_threaded_mainloop_signal(s->loop, 0);
    }

    static void streamChanged(pa_stream* stream, void* data) {
        auto* s = static_cast<State*>(data);
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if ((state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) && s->deliver) {
            s->fail(
                QObject::tr("The sound stream of “%1” ended during the recording.").arg(s->device));
        }
        pa_threaded_mainloop_signal(s->loop, 0);
    }

    static void readable(pa_stream* stream, size_t, void* data) {
        auto* s = static_cast<State*>(data);
        const void* bytes = nullptr;
        size_t length = 0;
        // Everything waiting now was captured by now.
        const HostTime arrived = hostTimeNow();
        const size_t readable = pa_stream_readable_size(stream);
        std::int64_t waiting =
            readable == size_t(-1) ? 0 : std::int64_t(readable / (sizeof(float) * kChannels));
        while (pa_stream_readable_size(stream) > 0) {
            if (pa_stream_peek(stream, &bytes, &length) < 0 || length == 0) {
                return;
            }
            const std::int64_t frames = std::int64_t(length / (sizeof(float) * kChannels));
            if (bytes == nullptr) {
                // A hole: the server lost these samples.
                s->clock.skip(frames);
            } else if (frames > 0) {
                AudioChunk chunk;
                chunk.time = s->clock.stamp(arrived, frames, waiting);
                chunk.samples.resize(std::size_t(frames) * kChannels);
                std::memcpy(chunk.samples.data(), bytes, chunk.samples.size() * sizeof(float));
                if (s->deliver && !s->closing) {
                    s->deliver(std::move(chunk));
                }
            }
            waiting = std::max<std::int64_t>(waiting - frames, 0);
            pa_stream_drop(stream);
        }
    }

    static void timeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
        auto* s = static_cast<State*>(data);
        s->timedOut = true;
        pa_threaded_mainloop_signal(s->loop, 0);
    }

    static void serverInfo(pa_context*, const pa_server_info* info, void* data) {
        auto* s = static_cast<State*>(data);
        if (info != nullptr) {
            s->defaultSink =
                QString::fromUtf8(info->default_sink_name ? info->default_sink_name : "");
            s->defaultSource =
                QString::fromUtf8(info->default_source_name ? info->default_source_name : "");
        }
        s->answered = true;
        pa_threaded_mainloop_signal(s->loop, 0);
    }

    static void sinkInfo(pa_context*, const pa_sink_info* info, int eol, void* data) {
        auto* s = static_cast<State*>(data);
        if (eol == 0 && info != nullptr) {
            s->found = true;
            s->monitorOfSink = QString::fromUtf8(info->monitor_source_name);
        } else {
            s->answered = true;
        }
        pa_threaded_mainloop_signal(s->loop, 0);
    }

    static void sourceInfo(pa_context*, const pa_source_info* info, int eol, void* data) {
        auto* s = static_cast<State*>(data);
        if (eol == 0 && info != nullptr) {
            s->found = true;
            s->sourceIsMonitor = info->monitor_of_sink != PA_INVALID_INDEX;
        } else {
            s->answered = true;
        }
        pa_threaded_mainloop_signal(s->loop, 0);
    }

    // Waits (holding the lock) until `done` holds, the deadline passes or the
    // context breaks.
    template <typename Done> bool waitFor(Done done) {
        while (!done()) {
            if (timedOut || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
                return false;
            }
            pa_threaded_mainloop_wait(loop);
        }
        return true;
    }

    bool runOperation(pa_operation* operation) {
        if (operation == nullptr) {
            return false;
        }
        answered = false;
        const bool ok = waitFor([this] { return answered; });
        pa_operation_unref(operation);
        return ok;
    }

    QString connectAndStart(Device which) {
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop);
        context = pa_context_new(api, "Vexlin Capture");
        if (context == nullptr) {
            return QObject::tr("The sound server could not be reached.");
        }
        pa_context_set_state_callback(context, &State::contextChanged, this);
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            return QObject::tr("No sound server is running (PulseAudio or PipeWire).");
        }
        pa_context_rttime_new(context, pa_rtclock_now() + kConnectTimeout, &State::timeout, this);
        if (!waitFor([this] { return pa_context_get_state(context) == PA_CONTEXT_READY; })) {
            return QObject::tr("No sound server is running (PulseAudio or PipeWire).");
        }
        if (!runOperation(pa_context_get_server_info(context, &State::serverInfo, this))) {
            return QObject::tr("The sound server did not answer.");
        }
        QString name;
        if (which == Device::systemOutput) {
            found = false;
            if (defaultSink.isEmpty() ||
                !runOperation(pa_context_get_sink_info_by_name(
                    context, defaultSink.toUtf8().constData(), &State::sinkInfo, this)) ||
                !found || monitorOfSink.isEmpty()) {
                return QObject::tr("The sound server has no output whose sound could be recorded.");
            }
            name = monitorOfSink;
        } else {
            found = false;
            if (defaultSource.isEmpty() ||
                !runOperation(pa_context_get_source_info_by_name(
                    context, defaultSource.toUtf8().constData(), &State::sourceInfo, this)) ||
                !found || sourceIsMonitor) {
                return QObject::tr("No microphone was found.");
            }
            name = defaultSource;
        }
        device = name;
        const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, kRate, kChannels};
        pa_channel_map map;
        pa_channel_map_init_stereo(&map);
        stream = pa_stream_new(context, "Recording", &spec, &map);
        if (stream == nullptr) {
            return QObject::tr("The sound server refused a recording stream.");
        }
        pa_stream_set_state_callback(stream, &State::streamChanged, this);
        pa_stream_set_read_callback(stream, &State::readable, this);
        // Small pieces, so that sound reaches the movie about as soon as the
        // pictures do.
        pa_buffer_attr attributes;
        attributes.maxlength = std::uint32_t(-1);
        attributes.fragsize = std::uint32_t(pa_usec_to_bytes(20'000, &spec));
        attributes.tlength = attributes.prebuf = attributes.minreq = std::uint32_t(-1);
        const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
        if (pa_stream_connect_record(stream, name.toUtf8().constData(), &attributes, flags) < 0) {
            return QObject::tr("The sound server refused to record “%1”.").arg(name);
        }
        timedOut = false;
        pa_context_rttime_new(context, pa_rtclock_now() + kConnectTimeout, &State::timeout, this);
        if (!waitFor([this] { return pa_stream_get_state(stream) != PA_STREAM_CREATING; }) ||
            pa_stream_get_state(stream) != PA_STREAM_READY) {
            return QObject::tr("The sound server refused to record “%1”.").arg(name);
        }
        return {};
    }

    void close() {
        pulse::tearDown(loop, context, stream, [this] { closing = true; });
    }
};

AudioSource::AudioSource() : d(std::make_unique<State>()) {}

AudioSource::~AudioSource() {
    d->close();
}

QString AudioSource::deviceName() const {
    return d->device;
}

std::variant<std::unique_ptr<AudioSource>, QString>
AudioSource::open(Device device, Deliver deliver, Failure failure) {
    std::unique_ptr<AudioSource> source(new AudioSource());
    State& s = *source->d;
    s.loop = pa_threaded_mainloop_new();
    if (s.loop == nullptr || pa_threaded_mainloop_start(s.loop) < 0) {
        return QObject::tr("The sound server could not be reached.");
    }
    pa_threaded_mainloop_lock(s.loop);
    const QString error = s.connectAndStart(device);
    if (error.isEmpty()) {
        s.deliver = std::move(deliver);
        s.failure = std::move(failure);
    }
    pa_threaded_mainloop_unlock(s.loop);
    if (!error.isEmpty()) {
        return error;
    }
    return source;
}

} // namespace platform
