#include "platform/MoviePlayback.h"

#include "platform/DeferredLibrary.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace platform {

namespace {

constexpr double sameTime = 1e-4;
constexpr int maxBadPackets = 32;

void quietenLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (av_log_get_level() > AV_LOG_FATAL) {
            av_log_set_level(AV_LOG_FATAL);
        }
    });
}

struct SoundLane {
    int stream = -1;
    AVCodecContext* decoder = nullptr;
    SwrContext* resampler = nullptr;
    // Resampled sound, interleaved, from position `start` (samples from the
    // movie's start) on; the lane is placed by its first frame after a seek.
    std::deque<float> buffer;
    std::int64_t start = 0;
    bool placed = false;
    bool ended = false;

    ~SoundLane() {
        avcodec_free_context(&decoder);
        swr_free(&resampler);
    }
    std::int64_t end() const { return start + std::int64_t(buffer.size() / 2); }
};

} // namespace

struct MoviePlayback::State {
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    int videoStream = -1;
    std::vector<std::unique_ptr<SoundLane>> lanes;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    AVFrame* held = nullptr;
    bool haveHeld = false;
    SwsContext* scaler = nullptr;
    double origin = 0;
    double frameInterval = 1.0 / 30;
    double lastTime = -1;
    // Pictures before this time are not shown (after a seek).
    double target = 0;
    bool targetReached = true;
    // Sound is mixed and handed out from this position on.
    std::int64_t mixed = 0;
    bool ended = false;
    bool videoEnded = false;
    int badPackets = 0;
    // A picture waits while sound goes out first, and the other way round.
    std::deque<Picture> pictures;

    ~State() {
        sws_freeContext(scaler);
        av_frame_free(&held);
        av_frame_free(&frame);
        av_packet_free(&packet);
        lanes.clear();
        avcodec_free_context(&video);
        avformat_close_input(&format);
    }

    AVStream* stream(int index) const { return format->streams[index]; }

    double timeOf(int index, std::int64_t pts) const {
        return double(pts) * av_q2d(stream(index)->time_base) - origin;
    }

    QImage convert(const AVFrame* decoded, QSize size) {
        if (size.isEmpty()) {
            size = QSize(decoded->width, decoded->height);
        }
        scaler = sws_getCachedContext(scaler, decoded->width, decoded->height,
                                      AVPixelFormat(decoded->format), size.width(), size.height(),
                                      AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!scaler) {
            return {};
        }
        const int matrix = decoded->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
        const int fullRange = decoded->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
        sws_setColorspaceDetails(scaler, sws_getCoefficients(matrix), fullRange,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        // Spare rows behind the picture: swscale's vector paths may write
        // past the last row's end.
        QImage image(size.width(), size.height() + 2, QImage::Format_RGB32);
        if (image.isNull()) {
            return {};
        }
        uint8_t* const planes[4] = {image.bits(), nullptr, nullptr, nullptr};
        const int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
        sws_scale(scaler, decoded->data, decoded->linesize, 0, decoded->height, planes, strides);
        return image.copy(0, 0, size.width(), size.height());
    }

    void addSound(SoundLane& lane, AVFrame* decoded) {
        const int capacity = swr_get_out_samples(lane.resampler, decoded->nb_samples);
        if (capacity <= 0) {
            return;
        }
        std::vector<float> samples(std::size_t(capacity) * 2);
        uint8_t* out[1] = {reinterpret_cast<uint8_t*>(samples.data())};
        const int made =
            swr_convert(lane.resampler, out, capacity,
                        const_cast<const uint8_t**>(decoded->extended_data), decoded->nb_samples);
        if (made <= 0) {
            return;
        }
        samples.resize(std::size_t(made) * 2);
        if (!lane.placed) {
            lane.placed = true;
            const std::int64_t stamp = decoded->best_effort_timestamp;
            const double time =
                stamp == AV_NOPTS_VALUE ? double(mixed) / soundRate : timeOf(lane.stream, stamp);
            lane.start = std::llround(time * soundRate);
            lane.buffer.clear();
        }
        lane.buffer.insert(lane.buffer.end(), samples.begin(), samples.end());
        // What lies before the mixing position is gone already.
        if (lane.start < mixed) {
            const std::int64_t drop =
                std::min<std::int64_t>(mixed - lane.start, std::int64_t(lane.buffer.size() / 2));
            lane.buffer.erase(lane.buffer.begin(), lane.buffer.begin() + std::ptrdiff_t(drop * 2));
            lane.start += drop;
        }
    }

    // Mixes what every lane has up to the position all of them reached.
    bool mix(Sound& sound) {
        if (lanes.empty()) {
            return false;
        }
        std::int64_t ready = std::numeric_limits<std::int64_t>::max();
        bool any = false;
        for (const auto& lane : lanes) {
            if (!lane->ended) {
                ready = std::min(ready, lane->placed ? lane->end() : mixed);
            }
            if (lane->placed && lane->end() > mixed) {
                any = true;
            }
        }
        if (ready == std::numeric_limits<std::int64_t>::max()) {
            ready = mixed;
            for (const auto& lane : lanes) {
                ready = std::max(ready, lane->end());
            }
        }
        if (!any || ready <= mixed) {
            return false;
        }
        const std::size_t count = std::size_t(ready - mixed);
        sound.samples.assign(count * 2, 0.0f);
        sound.time = double(mixed) / soundRate;
        for (const auto& lane : lanes) {
            if (!lane->placed) {
                continue;
            }
            std::size_t used = 0;
            for (std::int64_t position = std::max(mixed, lane->start);
                 position < ready && position < lane->end(); ++position) {
                const std::size_t at = std::size_t(position - mixed) * 2;
                const std::size_t from = std::size_t(position - lane->start) * 2;
                sound.samples[at] += lane->buffer[from];
                sound.samples[at + 1] += lane->buffer[from + 1];
                used = std::size_t(position - lane->start) + 1;
            }
            lane->buffer.erase(lane->buffer.begin(),
                               lane->buffer.begin() + std::ptrdiff_t(used * 2));
            lane->start += std::int64_t(used);
        }
        mixed = ready;
        for (float& sample : sound.samples) {
            sample = std::clamp(sample, -1.0f, 1.0f);
        }
        return true;
    }

    // A decoded picture: kept back while before the seek target (the last
    // one before it is shown at the target), else converted.
    void takePicture(QSize size) {
        const std::int64_t stamp = frame->best_effort_timestamp;
        const double time =
            stamp == AV_NOPTS_VALUE ? lastTime + frameInterval : timeOf(videoStream, stamp);
        lastTime = time;
        if (!targetReached) {
            if (time < target - sameTime) {
                av_frame_unref(held);
                av_frame_move_ref(held, frame);
                haveHeld = true;
                return;
            }
            targetReached = true;
            if (haveHeld && time > target + sameTime) {
                pictures.push_back(Picture{convert(held, size), target});
            }
            av_frame_unref(held);
            haveHeld = false;
        }
        pictures.push_back(Picture{convert(frame, size), time});
        av_frame_unref(frame);
    }
};

MoviePlayback::MoviePlayback(std::unique_ptr<State> state) : d_(std::move(state)) {}

MoviePlayback::~MoviePlayback() = default;

std::unique_ptr<MoviePlayback> MoviePlayback::open(const QString& path) {
    if (!loadDeferred(DeferredLibrary::movies)) {
        return nullptr;
    }
    quietenLibraries();
    auto d = std::make_unique<State>();
    if (avformat_open_input(&d->format, QFile::encodeName(path).constData(), nullptr, nullptr) <
            0 ||
        avformat_find_stream_info(d->format, nullptr) < 0) {
        return nullptr;
    }
    const AVCodec* codec = nullptr;
    d->videoStream = av_find_best_stream(d->format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (d->videoStream < 0 || !codec) {
        return nullptr;
    }
    d->video = avcodec_alloc_context3(codec);
    if (!d->video ||
        avcodec_parameters_to_context(d->video, d->stream(d->videoStream)->codecpar) < 0) {
        return nullptr;
    }
    d->video->thread_count = 0;
    d->video->thread_type = FF_THREAD_SLICE;
    if (avcodec_open2(d->video, codec, nullptr) < 0) {
        return nullptr;
    }
    const AVStream* video = d->stream(d->videoStream);
    d->origin = video->start_time == AV_NOPTS_VALUE
                    ? 0
                    : double(video->start_time) * av_q2d(video->time_base);
    if (video->avg_frame_rate.num > 0 && video->avg_frame_rate.den > 0) {
        d->frameInterval = av_q2d(av_inv_q(video->avg_frame_rate));
    }
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    for (unsigned i = 0; i < d->format->nb_streams; ++i) {
        AVStream* stream = d->stream(int(i));
        if (int(i) == d->videoStream) {
            continue;
        }
        stream->discard = AVDISCARD_ALL;
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) {
            continue;
        }
        // A sound track that cannot be decoded is left out; the picture
        // still plays.
        const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
        auto lane = std::make_unique<SoundLane>();
        lane->stream = int(i);
        if (!decoder || !(lane->decoder = avcodec_alloc_context3(decoder)) ||
            avcodec_parameters_to_context(lane->decoder, stream->codecpar) < 0 ||
            avcodec_open2(lane->decoder, decoder, nullptr) < 0 || lane->decoder->sample_rate <= 0 ||
            lane->decoder->ch_layout.nb_channels <= 0 ||
            swr_alloc_set_opts2(&lane->resampler, &stereo, AV_SAMPLE_FMT_FLT, soundRate,
                                &lane->decoder->ch_layout, lane->decoder->sample_fmt,
                                lane->decoder->sample_rate, 0, nullptr) < 0 ||
            swr_init(lane->resampler) < 0) {
            continue;
        }
        stream->discard = AVDISCARD_DEFAULT;
        d->lanes.push_back(std::move(lane));
    }
    d->packet = av_packet_alloc();
    d->frame = av_frame_alloc();
    d->held = av_frame_alloc();
    if (!d->packet || !d->frame || !d->held) {
        return nullptr;
    }
    return std::unique_ptr<MoviePlayback>(new MoviePlayback(std::move(d)));
}

double MoviePlayback::duration() const {
    if (d_->format->duration != AV_NOPTS_VALUE && d_->format->duration > 0) {
        return double(d_->format->duration) / AV_TIME_BASE;
    }
    const AVStream* video = d_->stream(d_->videoStream);
    if (video->duration != AV_NOPTS_VALUE && video->duration > 0) {
        return double(video->duration) * av_q2d(video->time_base);
    }
    return 0;
}

bool MoviePlayback::hasAudio() const {
    return !d_->lanes.empty();
}

QSize MoviePlayback::frameSize() const {
    return QSize(d_->video->width, d_->video->height);
}

bool MoviePlayback::seek(double seconds) {
    State& d = *d_;
    seconds = std::max(seconds, 0.0);
    const auto timestamp =
        std::int64_t((seconds + d.origin) / av_q2d(d.stream(d.videoStream)->time_base));
    if (av_seek_frame(d.format, d.videoStream, timestamp, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(d.format, d.videoStream, 0, AVSEEK_FLAG_BACKWARD) < 0) {
        return false;
    }
    avcodec_flush_buffers(d.video);
    for (const auto& lane : d.lanes) {
        avcodec_flush_buffers(lane->decoder);
        swr_init(lane->resampler);
        lane->buffer.clear();
        lane->placed = false;
        lane->ended = false;
    }
    av_frame_unref(d.held);
    d.haveHeld = false;
    d.pictures.clear();
    d.target = seconds;
    d.targetReached = false;
    d.mixed = std::llround(seconds * soundRate);
    d.ended = false;
    d.videoEnded = false;
    d.lastTime = seconds - d.frameInterval;
    d.badPackets = 0;
    return true;
}

MoviePlayback::Next MoviePlayback::next(QSize size, Picture& picture, Sound& sound) {
    State& d = *d_;
    for (;;) {
        // Sound first: it must never run dry while pictures are converted.
        if (d.mix(sound)) {
            return Next::sound;
        }
        if (!d.pictures.empty()) {
            picture = std::move(d.pictures.front());
            d.pictures.pop_front();
            return Next::picture;
        }
        if (d.ended) {
            if (!d.targetReached && d.haveHeld) {
                // The target lies after the last picture: that one is shown.
                d.targetReached = true;
                picture = Picture{d.convert(d.held, size), d.target};
                av_frame_unref(d.held);
                d.haveHeld = false;
                return Next::picture;
            }
            return Next::end;
        }
        const int read = av_read_frame(d.format, d.packet);
        if (read < 0) {
            // The end: what the decoders still hold.
            d.ended = true;
            avcodec_send_packet(d.video, nullptr);
            while (avcodec_receive_frame(d.video, d.frame) == 0) {
                d.takePicture(size);
            }
            for (const auto& lane : d.lanes) {
                avcodec_send_packet(lane->decoder, nullptr);
                while (avcodec_receive_frame(lane->decoder, d.frame) == 0) {
                    d.addSound(*lane, d.frame);
                    av_frame_unref(d.frame);
                }
                lane->ended = true;
            }
            continue;
        }
        if (d.packet->stream_index == d.videoStream) {
            if (avcodec_send_packet(d.video, d.packet) < 0 && ++d.badPackets > maxBadPackets) {
                d.ended = true;
            }
            while (avcodec_receive_frame(d.video, d.frame) == 0) {
                d.takePicture(size);
            }
        } else {
            for (const auto& lane : d.lanes) {
                if (lane->stream != d.packet->stream_index) {
                    continue;
                }
                if (avcodec_send_packet(lane->decoder, d.packet) >= 0) {
                    while (avcodec_receive_frame(lane->decoder, d.frame) == 0) {
                        d.addSound(*lane, d.frame);
                        av_frame_unref(d.frame);
                    }
                }
            }
        }
        av_packet_unref(d.packet);
    }
}

} // namespace platform
