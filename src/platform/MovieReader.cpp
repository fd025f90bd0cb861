#include "platform/MovieReader.h"

#include "platform/DeferredLibrary.h"

#include <QFile>

#include <cmath>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswscale/swscale.h>
}

namespace platform {

namespace {

// A damaged file is an ordinary outcome for a reader of whatever lies in a
// folder; FFmpeg would otherwise describe every broken packet on stderr.
void quietenLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

// Packets in a row that may fail to decode before the stream counts as
// unreadable, so a long damaged file is not read to its end for one frame.
constexpr int maxBadPackets = 32;

// Whether the file's header already tells what reading needs: an MPEG-4
// file's index gives each track's codec, size, length and start. Probing it
// anyway would decode the first frames once more than reading does (for
// H.264 seven of them, a tenth of a second for a 1080p recording, paid each
// time a finished recording is opened); other formats, and a header that
// leaves a video track's codec or size open, are probed.
bool headerSuffices(const AVFormatContext* format) {
    const char* name = format->iformat ? format->iformat->name : nullptr;
    if (!name || !std::strstr(name, "mp4")) {
        return false;
    }
    bool video = false;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* parameters = format->streams[i]->codecpar;
        if (parameters->codec_type != AVMEDIA_TYPE_VIDEO) {
            continue;
        }
        if (parameters->codec_id == AV_CODEC_ID_NONE || parameters->width <= 0 ||
            parameters->height <= 0) {
            return false;
        }
        video = true;
    }
    return video && format->duration != AV_NOPTS_VALUE;
}

} // namespace

struct MovieReader::State {
    AVFormatContext* format = nullptr;
    AVCodecContext* decoder = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int videoStream = -1;
    bool audio = false;
    // The end of the file was reached and the decoder is giving back what it
    // still holds.
    bool draining = false;
    // A frame was decoded since the file was opened or last sought.
    bool started = false;
    // Reading stopped on damage rather than at the end of the file.
    bool damaged = false;
    // Packets of the video stream read since the last seek from the start.
    int64_t packetsRead = 0;

    ~State() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&decoder);
        avformat_close_input(&format);
    }

    AVStream* stream() const { return format->streams[videoStream]; }

    // The next frame in decoding output order into `frame`; false at the end
    // of the stream or when it cannot be decoded further.
    bool decodeNext() {
        int badPackets = 0;
        for (;;) {
            const int received = avcodec_receive_frame(decoder, frame);
            if (received == 0) {
                started = true;
                return true;
            }
            if (received != AVERROR(EAGAIN) || draining) {
                return false;
            }
            // The decoder wants input: the next packet of the video stream.
            for (;;) {
                if (const int read = av_read_frame(format, packet); read < 0) {
                    if (read != AVERROR_EOF) {
                        damaged = true;
                    }
                    draining = true;
                    avcodec_send_packet(decoder, nullptr);
                    break;
                }
                if (packet->stream_index != videoStream) {
                    av_packet_unref(packet);
                    continue;
                }
                ++packetsRead;
                const bool corrupt = (packet->flags & AV_PKT_FLAG_CORRUPT) != 0;
                const int sent = avcodec_send_packet(decoder, packet);
                av_packet_unref(packet);
                if (corrupt) {
                    damaged = true;
                }
                if (sent < 0 && sent != AVERROR(EAGAIN)) {
                    damaged = true;
                    if (++badPackets > maxBadPackets) {
                        return false;
                    }
                    continue;
                }
                break;
            }
        }
    }

    // Back to the start of the stream (or to the key frame at or before
    // `timestamp`, in the stream's time base).
    bool seek(int64_t timestamp) {
        if (av_seek_frame(format, videoStream, timestamp, AVSEEK_FLAG_BACKWARD) < 0) {
            return false;
        }
        avcodec_flush_buffers(decoder);
        draining = false;
        started = false;
        damaged = false;
        packetsRead = 0;
        return true;
    }

    // The whole stream was read and its end is sound: no error on the way and
    // as many packets as the container's index lists.
    bool endIsSound() const {
        const int64_t listed = stream()->nb_frames;
        return !damaged && (listed <= 0 || packetsRead >= listed);
    }

    int64_t startTime() const {
        return stream()->start_time == AV_NOPTS_VALUE ? 0 : stream()->start_time;
    }

    // Seconds from the start of the stream to `frame`; none when it carries no
    // time.
    std::optional<double> frameTime(const AVFrame* decoded) const {
        const int64_t pts = decoded->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE) {
            return std::nullopt;
        }
        return double(pts - startTime()) * av_q2d(stream()->time_base);
    }

    QSize displaySize() const {
        const AVRational aspect =
            av_guess_sample_aspect_ratio(format, stream(), started ? frame : nullptr);
        int width = decoder->width;
        if (aspect.num > 0 && aspect.den > 0 && aspect.num != aspect.den) {
            width = int(std::lround(double(width) * aspect.num / aspect.den));
        }
        return QSize(std::max(width, 1), std::max(decoder->height, 1));
    }

    QImage convert(const AVFrame* decoded, QSize box) const {
        QSize size = displaySize();
        if (box.isValid() && !box.isEmpty() &&
            (size.width() > box.width() || size.height() > box.height())) {
            size = size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        }
        return convertTo(decoded, size);
    }

    QImage convertTo(const AVFrame* decoded, QSize size) const {
        if (decoded->width <= 0 || decoded->height <= 0 || size.isEmpty()) {
            return {};
        }
        SwsContext* scaler = sws_getContext(
            decoded->width, decoded->height, AVPixelFormat(decoded->format), size.width(),
            size.height(), AV_PIX_FMT_RGB32, SWS_AREA, nullptr, nullptr, nullptr);
        if (!scaler) {
            return {};
        }
        // Recordings of screens are BT.709; without the frame saying so,
        // swscale would take the older standard-definition matrix.
        const int matrix = decoded->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
        const int fullRange = decoded->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
        sws_setColorspaceDetails(scaler, sws_getCoefficients(matrix), fullRange,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        // AV_PIX_FMT_RGB32 is QImage's RGB32 on either byte order. swscale's
        // vector paths write whole blocks and may run past the end of the
        // last row, so the picture gets aligned rows and spare bytes behind.
        const qsizetype stride = (qsizetype(size.width()) * 4 + 63) & ~qsizetype(63);
        auto* pixels = static_cast<uchar*>(av_malloc(size_t(stride) * size_t(size.height()) + 256));
        if (!pixels) {
            sws_freeContext(scaler);
            return {};
        }
        QImage image(pixels, size.width(), size.height(), stride, QImage::Format_RGB32, av_free,
                     pixels);
        if (image.isNull()) {
            av_free(pixels);
            sws_freeContext(scaler);
            return {};
        }
        uint8_t* const planes[4] = {pixels, nullptr, nullptr, nullptr};
        const int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
        const int rows = sws_scale(scaler, decoded->data, decoded->linesize, 0, decoded->height,
                                   planes, strides);
        sws_freeContext(scaler);
        return rows > 0 ? image : QImage();
    }
};

MovieReader::MovieReader(std::unique_ptr<State> state) : d_(std::move(state)) {}

MovieReader::~MovieReader() = default;

std::unique_ptr<MovieReader> MovieReader::open(const QString& path) {
    if (!loadDeferred(DeferredLibrary::movies)) {
        return nullptr;
    }
    quietenLibraries();
    auto state = std::make_unique<State>();
    if (avformat_open_input(&state->format, QFile::encodeName(path).constData(), nullptr, nullptr) <
        0) {
        return nullptr;
    }
    if (!headerSuffices(state->format) && avformat_find_stream_info(state->format, nullptr) < 0) {
        return nullptr;
    }
    const AVCodec* codec = nullptr;
    state->videoStream = av_find_best_stream(state->format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (state->videoStream < 0 || !codec) {
        return nullptr;
    }
    for (unsigned i = 0; i < state->format->nb_streams; ++i) {
        AVStream* stream = state->format->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            state->audio = true;
        }
        // Packets of other streams are skipped without being read in full.
        if (int(i) != state->videoStream) {
            stream->discard = AVDISCARD_ALL;
        }
    }
    state->decoder = avcodec_alloc_context3(codec);
    if (!state->decoder ||
        avcodec_parameters_to_context(state->decoder, state->stream()->codecpar) < 0) {
        return nullptr;
    }
    // Slices rather than frames in parallel: frame threads hold back the
    // first picture until each of them has one.
    state->decoder->thread_count = 0;
    state->decoder->thread_type = FF_THREAD_SLICE;
    if (avcodec_open2(state->decoder, codec, nullptr) < 0) {
        return nullptr;
    }
    state->packet = av_packet_alloc();
    state->frame = av_frame_alloc();
    if (!state->packet || !state->frame) {
        return nullptr;
    }
    return std::unique_ptr<MovieReader>(new MovieReader(std::move(state)));
}

std::optional<double> MovieReader::duration() const {
    if (d_->format->duration != AV_NOPTS_VALUE && d_->format->duration >= 0) {
        return double(d_->format->duration) / AV_TIME_BASE;
    }
    const AVStream* stream = d_->stream();
    if (stream->duration != AV_NOPTS_VALUE && stream->duration >= 0) {
        return double(stream->duration) * av_q2d(stream->time_base);
    }
    return std::nullopt;
}

bool MovieReader::hasAudio() const {
    return d_->audio;
}

QSize MovieReader::frameSize() const {
    return d_->displaySize();
}

QImage MovieReader::frameAt(double seconds, QSize box) {
    State& d = *d_;
    const bool fromStart = !(seconds > 0);
    if (fromStart) {
        if (d.started && !d.seek(d.startTime())) {
            return {};
        }
        return d.decodeNext() ? d.convert(d.frame, box) : QImage();
    }
    const auto target = int64_t(seconds / av_q2d(d.stream()->time_base)) + d.startTime();
    if (!d.seek(target)) {
        return {};
    }
    // The frame shown at the time is the last one that starts at or before it.
    AVFrame* shown = av_frame_alloc();
    if (!shown) {
        return {};
    }
    bool have = false;
    while (d.decodeNext()) {
        const std::optional<double> time = d.frameTime(d.frame);
        if (have && time && *time > seconds) {
            break;
        }
        av_frame_unref(shown);
        av_frame_move_ref(shown, d.frame);
        have = true;
        if (time && *time > seconds) {
            break; // the time lies before the first frame
        }
    }
    QImage image = have ? d.convert(shown, box) : QImage();
    av_frame_free(&shown);
    return image;
}

MovieReader::Sampled
MovieReader::sampleFrames(const std::vector<double>& times, QSize size,
                          const std::function<bool(std::size_t, const QImage&)>& deliver) {
    State& d = *d_;
    // Sound would only be skipped, and a seek back to the start of a fresh
    // reader is a needless reset; everything else starts over.
    if ((d.started || d.draining || d.packetsRead > 0) && !d.seek(d.startTime())) {
        return Sampled::failed;
    }
    if (size.isEmpty()) {
        size = frameSize();
    }
    struct FrameRef {
        AVFrame* frame = av_frame_alloc();
        ~FrameRef() { av_frame_free(&frame); }
    };
    FrameRef held;
    FrameRef next;
    if (!held.frame || !next.frame) {
        return Sampled::failed;
    }
    bool haveHeld = false;
    bool haveNext = false;
    bool ended = false;
    double nextTime = 0;
    double lastTime = 0;
    QImage image; // held, converted
    for (std::size_t index = 0; index < times.size(); ++index) {
        const double time = times[index];
        for (;;) {
            if (!haveNext && !ended) {
                if (d.decodeNext()) {
                    av_frame_unref(next.frame);
                    av_frame_move_ref(next.frame, d.frame);
                    haveNext = true;
                    // A frame without a time follows the one before it.
                    nextTime = d.frameTime(next.frame).value_or(lastTime);
                } else {
                    ended = true;
                    if (!d.endIsSound()) {
                        return Sampled::failed;
                    }
                }
            }
            if (!haveNext || (haveHeld && nextTime > time)) {
                break;
            }
            av_frame_unref(held.frame);
            av_frame_move_ref(held.frame, next.frame);
            haveHeld = true;
            haveNext = false;
            lastTime = nextTime;
            image = QImage();
        }
        if (!haveHeld) {
            return Sampled::failed;
        }
        if (image.isNull()) {
            image = d.convertTo(held.frame, size);
            if (image.isNull()) {
                return Sampled::failed;
            }
        }
        if (!deliver(index, image)) {
            return Sampled::done;
        }
    }
    return Sampled::done;
}

} // namespace platform
