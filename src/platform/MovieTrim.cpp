#include "platform/MovieTrim.h"

#include "platform/DeferredLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

// The context of this file's texts, declared where lupdate finds it.
struct MovieTrimText {
    Q_DECLARE_TR_FUNCTIONS(MovieTrimText)
};

namespace platform {

namespace {

constexpr int audioRate = 48000;
constexpr int audioBitRate = 160000;
constexpr AVRational videoTimeBase{1, 90000};
// Times closer than this are the same instant: a frame stamped a rounding
// error before the start is the frame at the start.
constexpr double sameTime = 1e-4;
// Packets in a row that may fail to decode before the movie counts as
// damaged.
constexpr int maxBadPackets = 32;

QString unreadable() {
    //: Video editor: why an export failed, shown in its alert
    return MovieTrimText::tr("The recording cannot be read.");
}

QString damaged() {
    //: Video editor: why an export failed, shown in its alert
    return MovieTrimText::tr("The recording is damaged or incomplete.");
}

QString ffmpegError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

void quietenLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (av_log_get_level() > AV_LOG_FATAL) {
            av_log_set_level(AV_LOG_FATAL);
        }
    });
}

struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

// One sound track on its way from the source to the new movie.
struct AudioLane {
    int input = -1;
    AVCodecContext* decoder = nullptr;
    SwrContext* resampler = nullptr;
    AVCodecContext* encoder = nullptr;
    AVStream* stream = nullptr;
    // Resampled sound not yet encoded, and its position in the new movie
    // (samples from its start).
    // One plane per channel of the encoder.
    std::vector<std::vector<float>> channels;
    std::int64_t pendingStart = 0;
    bool placed = false;
    // Every sample of the range is in.
    bool full = false;
    int badPackets = 0;

    std::size_t pending() const { return channels.empty() ? 0 : channels.front().size(); }
    // Every plane `samples` long, silence added at the end.
    void padTo(std::size_t samples) {
        for (std::vector<float>& plane : channels) {
            plane.resize(samples, 0.0f);
        }
    }

    ~AudioLane() {
        avcodec_free_context(&decoder);
        swr_free(&resampler);
        avcodec_free_context(&encoder);
    }
};

class Trimmer {
public:
    explicit Trimmer(const MovieTrim& trim)
        : trim_(trim), temporary_(temporaryPathFor(trim.output)) {}

    ~Trimmer() {
        stopEncoding();
        sws_freeContext(scaler_);
        avcodec_free_context(&videoDecoder_);
        avcodec_free_context(&videoEncoder_);
        lanes_.clear();
        if (output_) {
            if (output_->pb) {
                avio_closep(&output_->pb);
            }
            avformat_free_context(output_);
        }
        avformat_close_input(&input_);
        if (!finished_) {
            QFile::remove(temporary_);
        }
    }

    std::optional<QString> run();

private:
    static QString temporaryPathFor(const QString& path) {
        const QFileInfo info(path);
        return info.absolutePath() + QStringLiteral("/.") + info.fileName() +
               QStringLiteral(".part");
    }

    bool cancelled() const { return trim_.cancelled && trim_.cancelled->load(); }

    std::optional<QString> openInput();
    std::optional<QString> openOutput();
    std::optional<QString> copy();
    std::optional<QString> finish();

    double streamTime(const AVStream* stream, std::int64_t pts) const {
        return double(pts) * av_q2d(stream->time_base) - origin_;
    }

    std::optional<QString> videoFrame(AVFrame* frame);
    std::optional<QString> encodePicture(AVFrame* frame, double time);
    std::optional<QString> audioFrame(AudioLane& lane, AVFrame* frame);
    std::optional<QString> encodeSound(AudioLane& lane, bool all);
    std::optional<QString> drain(AVCodecContext* encoder, AVStream* stream, AVPacket* packet);
    // The pictures are encoded on a thread of their own while this one reads,
    // decodes and encodes the sound: the encoder, busy on its own threads,
    // never waits for the next picture.
    void startEncoding();
    std::optional<QString> queuePicture(AVFrame* picture);
    void encodePictures();
    // Ends the encoding thread after what is queued (its error, if any).
    std::optional<QString> stopEncoding();
    std::optional<QString> write(AVPacket* packet);
    std::optional<QString> writeHeldVideo(std::int64_t nextPts);
    bool done() const {
        if (!videoDone_) {
            return false;
        }
        return std::all_of(lanes_.begin(), lanes_.end(),
                           [](const std::unique_ptr<AudioLane>& lane) { return lane->full; });
    }

    const MovieTrim& trim_;
    const QString temporary_;
    bool finished_ = false;

    AVFormatContext* input_ = nullptr;
    AVFormatContext* output_ = nullptr;
    int videoInput_ = -1;
    AVCodecContext* videoDecoder_ = nullptr;
    AVCodecContext* videoEncoder_ = nullptr;
    AVStream* videoStream_ = nullptr;
    SwsContext* scaler_ = nullptr;
    std::vector<std::unique_ptr<AudioLane>> lanes_;
    // Seconds of the source that are time zero (the video's first instant).
    double origin_ = 0;
    double start_ = 0;
    double end_ = 0;
    double frameInterval_ = 1.0 / 30;
    std::int64_t totalSamples_ = 0;

    std::thread encoder_;
    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::deque<AVFrame*> queue_;
    bool queueClosed_ = false;
    std::optional<QString> encoderError_;
    // The muxer takes packets from both threads.
    std::mutex writeMutex_;

    FramePtr held_;         // the last picture before the start
    bool haveHeld_ = false; // held_ holds one
    FramePtr converted_;
    bool videoDone_ = false;
    bool videoStarted_ = false;
    std::optional<std::int64_t> lastPts_;
    double lastTime_ = -1;
    PacketPtr packet_;
    PacketPtr heldPacket_;
    bool holdingPacket_ = false;
    FramePtr soundFrame_;
    bool readDamage_ = false;
    int badVideoPackets_ = 0;
};

std::optional<QString> Trimmer::openInput() {
    if (avformat_open_input(&input_, QFile::encodeName(trim_.source).constData(), nullptr,
                            nullptr) < 0 ||
        avformat_find_stream_info(input_, nullptr) < 0) {
        return unreadable();
    }
    const AVCodec* codec = nullptr;
    videoInput_ = av_find_best_stream(input_, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (videoInput_ < 0 || !codec) {
        return unreadable();
    }
    AVStream* video = input_->streams[videoInput_];
    videoDecoder_ = avcodec_alloc_context3(codec);
    if (!videoDecoder_ || avcodec_parameters_to_context(videoDecoder_, video->codecpar) < 0) {
        return unreadable();
    }
    videoDecoder_->thread_count = 0;
    if (avcodec_open2(videoDecoder_, codec, nullptr) < 0 || videoDecoder_->width <= 0 ||
        videoDecoder_->height <= 0) {
        return unreadable();
    }
    origin_ = video->start_time == AV_NOPTS_VALUE
                  ? 0
                  : double(video->start_time) * av_q2d(video->time_base);
    AVRational rate = video->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) {
        rate = video->r_frame_rate;
    }
    if (rate.num > 0 && rate.den > 0) {
        frameInterval_ = std::clamp(av_q2d(av_inv_q(rate)), 1.0 / 1000, 10.0);
    }

    double length = 0;
    if (input_->duration != AV_NOPTS_VALUE && input_->duration > 0) {
        length = double(input_->duration) / AV_TIME_BASE;
    } else if (video->duration != AV_NOPTS_VALUE && video->duration > 0) {
        length = double(video->duration) * av_q2d(video->time_base);
    }
    start_ = std::isfinite(trim_.start) ? std::max(trim_.start, 0.0) : 0.0;
    end_ = std::isfinite(trim_.end) ? trim_.end : length;
    if (length > 0) {
        end_ = std::min(end_, length);
    }
    if (!(end_ > start_)) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("The chosen part of the recording is empty.");
    }
    totalSamples_ = std::llround((end_ - start_) * audioRate);

    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        AVStream* stream = input_->streams[i];
        const bool sound = stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
        if (int(i) != videoInput_ && !(sound && trim_.keepAudio)) {
            stream->discard = AVDISCARD_ALL;
            continue;
        }
        if (!sound) {
            continue;
        }
        auto lane = std::make_unique<AudioLane>();
        lane->input = int(i);
        const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
        if (!decoder) {
            //: Video editor: why an export failed, shown in its alert
            return MovieTrimText::tr("A sound track of the recording cannot be read.");
        }
        lane->decoder = avcodec_alloc_context3(decoder);
        if (!lane->decoder || avcodec_parameters_to_context(lane->decoder, stream->codecpar) < 0 ||
            avcodec_open2(lane->decoder, decoder, nullptr) < 0 || lane->decoder->sample_rate <= 0 ||
            lane->decoder->ch_layout.nb_channels <= 0) {
            //: Video editor: why an export failed, shown in its alert
            return MovieTrimText::tr("A sound track of the recording cannot be read.");
        }
        lanes_.push_back(std::move(lane));
    }
    return std::nullopt;
}

std::optional<QString> Trimmer::openOutput() {
    const QSize size(std::max(2, videoDecoder_->width & ~1),
                     std::max(2, videoDecoder_->height & ~1));
    const double fps = 1.0 / frameInterval_;
    const VideoCodec codec = trim_.codecFor ? trim_.codecFor(size, fps) : VideoCodec::h264;
    const char* name = codec == VideoCodec::hevc ? "libx265" : "libx264";
    const AVCodec* videoCodec = avcodec_find_encoder_by_name(name);
    if (!videoCodec) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("This system's FFmpeg has no %1 encoder.")
            .arg(QLatin1String(name));
    }
    const AVCodec* audioCodec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!lanes_.empty() && !audioCodec) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("This system's FFmpeg has no AAC encoder.");
    }
    const QByteArray url = "file:" + QFile::encodeName(temporary_);
    if (avformat_alloc_output_context2(&output_, nullptr, "mp4", url.constData()) < 0 || !output_) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("The video could not be exported.");
    }

    videoEncoder_ = avcodec_alloc_context3(videoCodec);
    videoEncoder_->width = size.width();
    videoEncoder_->height = size.height();
    videoEncoder_->pix_fmt = AV_PIX_FMT_YUV420P;
    videoEncoder_->time_base = videoTimeBase;
    const AVRational rate = input_->streams[videoInput_]->avg_frame_rate;
    if (rate.num > 0 && rate.den > 0) {
        videoEncoder_->framerate = rate;
    }
    videoEncoder_->sample_aspect_ratio = videoDecoder_->sample_aspect_ratio;
    // Pictures in the order they are shown: every packet's length is then
    // known from the next one, and the last ends exactly at the range's end.
    videoEncoder_->max_b_frames = 0;
    videoEncoder_->color_primaries = AVCOL_PRI_BT709;
    videoEncoder_->color_trc = AVCOL_TRC_BT709;
    videoEncoder_->colorspace = AVCOL_SPC_BT709;
    videoEncoder_->color_range = AVCOL_RANGE_MPEG;
    videoEncoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    videoEncoder_->thread_count = 0;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", trim_.preset.toLatin1().constData(), 0);
    av_dict_set_int(&options, "crf", trim_.quality, 0);
    if (codec == VideoCodec::hevc) {
        av_dict_set(&options, "x265-params", "log-level=error:bframes=0", 0);
    } else {
        av_dict_set(&options, "profile", "high", 0);
    }
    int result = avcodec_open2(videoEncoder_, videoCodec, &options);
    av_dict_free(&options);
    if (result < 0) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("The video encoder could not be started: %1.")
            .arg(ffmpegError(result));
    }
    videoStream_ = avformat_new_stream(output_, nullptr);
    if (!videoStream_ ||
        avcodec_parameters_from_context(videoStream_->codecpar, videoEncoder_) < 0) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("The video could not be exported.");
    }
    videoStream_->time_base = videoTimeBase;
    videoStream_->avg_frame_rate = videoEncoder_->framerate;
    if (codec == VideoCodec::hevc) {
        videoStream_->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
    }

    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    for (const std::unique_ptr<AudioLane>& lane : lanes_) {
        // Each track keeps its channels (a mono microphone stays mono) in
        // the standard layout of their number; one the encoder cannot take
        // becomes stereo.
        AVChannelLayout layout{};
        av_channel_layout_default(&layout, std::clamp(lane->decoder->ch_layout.nb_channels, 1, 8));
        for (const AVChannelLayout* attempt :
             {static_cast<const AVChannelLayout*>(&layout), &stereo}) {
            avcodec_free_context(&lane->encoder);
            lane->encoder = avcodec_alloc_context3(audioCodec);
            lane->encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
            lane->encoder->sample_rate = audioRate;
            av_channel_layout_copy(&lane->encoder->ch_layout, attempt);
            lane->encoder->bit_rate = audioBitRate;
            lane->encoder->time_base = AVRational{1, audioRate};
            lane->encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            result = avcodec_open2(lane->encoder, audioCodec, nullptr);
            if (result >= 0) {
                break;
            }
        }
        av_channel_layout_uninit(&layout);
        if (result < 0) {
            //: Video editor: why an export failed, shown in its alert
            return MovieTrimText::tr("The sound encoder could not be started: %1.")
                .arg(ffmpegError(result));
        }
        lane->channels.assign(std::size_t(lane->encoder->ch_layout.nb_channels), {});
        lane->stream = avformat_new_stream(output_, nullptr);
        if (!lane->stream ||
            avcodec_parameters_from_context(lane->stream->codecpar, lane->encoder) < 0) {
            //: Video editor: why an export failed, shown in its alert
            return MovieTrimText::tr("The video could not be exported.");
        }
        lane->stream->time_base = AVRational{1, audioRate};
        if (swr_alloc_set_opts2(&lane->resampler, &lane->encoder->ch_layout, AV_SAMPLE_FMT_FLTP,
                                audioRate, &lane->decoder->ch_layout, lane->decoder->sample_fmt,
                                lane->decoder->sample_rate, 0, nullptr) < 0 ||
            swr_init(lane->resampler) < 0) {
            //: Video editor: why an export failed, shown in its alert
            return MovieTrimText::tr("A sound track of the recording cannot be converted.");
        }
    }

    QFile::remove(temporary_);
    result = avio_open(&output_->pb, url.constData(), AVIO_FLAG_WRITE);
    if (result < 0) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("The video cannot be written into “%1”: %2.")
            .arg(QDir::toNativeSeparators(QFileInfo(trim_.output).absolutePath()),
                 ffmpegError(result));
    }
    options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    result = avformat_write_header(output_, &options);
    av_dict_free(&options);
    if (result < 0) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("The video could not be written: %1.").arg(ffmpegError(result));
    }
    packet_.reset(av_packet_alloc());
    heldPacket_.reset(av_packet_alloc());
    held_.reset(av_frame_alloc());
    converted_.reset(av_frame_alloc());
    soundFrame_.reset(av_frame_alloc());
    if (!packet_ || !heldPacket_ || !held_ || !converted_ || !soundFrame_) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("The video could not be exported: out of memory.");
    }
    return std::nullopt;
}

std::optional<QString> Trimmer::write(AVPacket* packet) {
    const std::lock_guard lock(writeMutex_);
    const int written = av_interleaved_write_frame(output_, packet);
    if (written < 0) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("The video could not be written: %1.").arg(ffmpegError(written));
    }
    return std::nullopt;
}

std::optional<QString> Trimmer::writeHeldVideo(std::int64_t nextPts) {
    heldPacket_->duration = std::max<std::int64_t>(nextPts - heldPacket_->pts, 1);
    holdingPacket_ = false;
    return write(heldPacket_.get());
}

void Trimmer::startEncoding() {
    encoder_ = std::thread([this] { encodePictures(); });
}

std::optional<QString> Trimmer::queuePicture(AVFrame* picture) {
    AVFrame* copy = av_frame_clone(picture);
    if (!copy) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("The video could not be exported: out of memory.");
    }
    // A few pictures ahead are enough to keep the encoder fed; more would
    // only hold memory.
    constexpr std::size_t ahead = 8;
    std::unique_lock lock(queueMutex_);
    queueChanged_.wait(lock, [this] { return queue_.size() < ahead || encoderError_; });
    if (encoderError_) {
        av_frame_free(&copy);
        return encoderError_;
    }
    queue_.push_back(copy);
    queueChanged_.notify_all();
    return std::nullopt;
}

void Trimmer::encodePictures() {
    PacketPtr packet(av_packet_alloc());
    std::optional<QString> error;
    if (!packet) {
        //: Video editor: why an export failed, shown in its alert
        error = MovieTrimText::tr("The video could not be exported: out of memory.");
    }
    while (!error) {
        AVFrame* picture = nullptr;
        {
            std::unique_lock lock(queueMutex_);
            queueChanged_.wait(lock, [this] { return !queue_.empty() || queueClosed_; });
            if (queue_.empty()) {
                break;
            }
            picture = queue_.front();
            queue_.pop_front();
            queueChanged_.notify_all();
        }
        const int sent = avcodec_send_frame(videoEncoder_, picture);
        av_frame_free(&picture);
        if (sent < 0) {
            //: Video editor: why an export failed, shown in its alert
            error = MovieTrimText::tr("The video could not be encoded: %1.").arg(ffmpegError(sent));
            break;
        }
        error = drain(videoEncoder_, videoStream_, packet.get());
    }
    if (!error) {
        avcodec_send_frame(videoEncoder_, nullptr);
        error = drain(videoEncoder_, videoStream_, packet.get());
    }
    const std::lock_guard lock(queueMutex_);
    if (error) {
        encoderError_ = error;
        for (AVFrame* left : queue_) {
            av_frame_free(&left);
        }
        queue_.clear();
    }
    queueChanged_.notify_all();
}

std::optional<QString> Trimmer::stopEncoding() {
    if (!encoder_.joinable()) {
        return std::nullopt;
    }
    {
        const std::lock_guard lock(queueMutex_);
        queueClosed_ = true;
    }
    queueChanged_.notify_all();
    encoder_.join();
    const std::lock_guard lock(queueMutex_);
    for (AVFrame* left : queue_) {
        av_frame_free(&left);
    }
    queue_.clear();
    return encoderError_;
}

std::optional<QString> Trimmer::drain(AVCodecContext* encoder, AVStream* stream, AVPacket* packet) {
    for (;;) {
        const int received = avcodec_receive_packet(encoder, packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            return std::nullopt;
        }
        if (received < 0) {
            //: Video editor: why an export failed, shown in its alert
            return MovieTrimText::tr("The video could not be encoded: %1.")
                .arg(ffmpegError(received));
        }
        av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (stream == videoStream_) {
            // Held until the next one says how long it lasts.
            if (holdingPacket_) {
                if (auto error = writeHeldVideo(packet->pts)) {
                    av_packet_unref(packet);
                    return error;
                }
            }
            av_packet_move_ref(heldPacket_.get(), packet);
            holdingPacket_ = true;
            continue;
        }
        if (auto error = write(packet)) {
            return error;
        }
    }
}

std::optional<QString> Trimmer::encodePicture(AVFrame* frame, double time) {
    std::int64_t pts = std::llround(std::max(time - start_, 0.0) * videoTimeBase.den);
    if (!videoStarted_) {
        pts = 0;
    }
    if (lastPts_ && pts <= *lastPts_) {
        return std::nullopt; // a picture stamped out of order: dropped
    }
    videoStarted_ = true;
    lastPts_ = pts;

    AVFrame* picture = frame;
    if (frame->format != AV_PIX_FMT_YUV420P || frame->width != videoEncoder_->width ||
        frame->height != videoEncoder_->height) {
        scaler_ =
            sws_getCachedContext(scaler_, frame->width, frame->height, AVPixelFormat(frame->format),
                                 videoEncoder_->width, videoEncoder_->height, AV_PIX_FMT_YUV420P,
                                 SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!scaler_) {
            //: Video editor: why an export failed, shown in its alert
            return MovieTrimText::tr("The pictures of the recording cannot be converted.");
        }
        av_frame_unref(converted_.get());
        converted_->format = AV_PIX_FMT_YUV420P;
        converted_->width = videoEncoder_->width;
        converted_->height = videoEncoder_->height;
        if (av_frame_get_buffer(converted_.get(), 0) < 0) {
            //: Video editor: why an export failed, shown in its alert
            return MovieTrimText::tr("The video could not be exported: out of memory.");
        }
        sws_scale(scaler_, frame->data, frame->linesize, 0, frame->height, converted_->data,
                  converted_->linesize);
        picture = converted_.get();
    }
    picture->pts = pts;
    picture->pict_type = AV_PICTURE_TYPE_NONE;
    picture->color_primaries = AVCOL_PRI_BT709;
    picture->color_trc = AVCOL_TRC_BT709;
    picture->colorspace = AVCOL_SPC_BT709;
    picture->color_range = AVCOL_RANGE_MPEG;
    return queuePicture(picture);
}

std::optional<QString> Trimmer::videoFrame(AVFrame* frame) {
    if (videoDone_) {
        return std::nullopt;
    }
    const std::int64_t stamp = frame->best_effort_timestamp;
    // A picture without a time follows the one before it.
    const double time = stamp == AV_NOPTS_VALUE ? lastTime_ + frameInterval_
                                                : streamTime(input_->streams[videoInput_], stamp);
    lastTime_ = time;
    if (time >= end_ - sameTime) {
        videoDone_ = true;
        return std::nullopt;
    }
    if (time < start_ - sameTime) {
        // Before the range: the latest such picture is the one shown at its
        // start, unless a picture starts exactly there.
        av_frame_unref(held_.get());
        av_frame_move_ref(held_.get(), frame);
        haveHeld_ = true;
        return std::nullopt;
    }
    if (!videoStarted_ && haveHeld_ && time > start_ + sameTime) {
        if (auto error = encodePicture(held_.get(), start_)) {
            return error;
        }
    }
    haveHeld_ = false;
    av_frame_unref(held_.get());
    return encodePicture(frame, time);
}

std::optional<QString> Trimmer::encodeSound(AudioLane& lane, bool all) {
    const int frameSize = lane.encoder->frame_size > 0 ? lane.encoder->frame_size : 1024;
    std::size_t used = 0;
    for (;;) {
        const std::size_t left = lane.pending() - used;
        if (left == 0 || (left < std::size_t(frameSize) && !all)) {
            break;
        }
        const int count = int(std::min<std::size_t>(left, std::size_t(frameSize)));
        AVFrame* frame = soundFrame_.get();
        av_frame_unref(frame);
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->sample_rate = audioRate;
        av_channel_layout_copy(&frame->ch_layout, &lane.encoder->ch_layout);
        frame->nb_samples = count;
        if (av_frame_get_buffer(frame, 0) < 0) {
            //: Video editor: why an export failed, shown in its alert
            return MovieTrimText::tr("The video could not be exported: out of memory.");
        }
        for (std::size_t c = 0; c < lane.channels.size(); ++c) {
            std::memcpy(frame->extended_data[c], lane.channels[c].data() + used,
                        std::size_t(count) * sizeof(float));
        }
        frame->pts = lane.pendingStart + std::int64_t(used);
        used += std::size_t(count);
        const int sent = avcodec_send_frame(lane.encoder, frame);
        if (sent < 0) {
            //: Video editor: why an export failed, shown in its alert
            return MovieTrimText::tr("The sound could not be encoded: %1.").arg(ffmpegError(sent));
        }
        if (auto error = drain(lane.encoder, lane.stream, packet_.get())) {
            return error;
        }
    }
    for (std::vector<float>& plane : lane.channels) {
        plane.erase(plane.begin(), plane.begin() + std::ptrdiff_t(used));
    }
    lane.pendingStart += std::int64_t(used);
    return std::nullopt;
}

std::optional<QString> Trimmer::audioFrame(AudioLane& lane, AVFrame* frame) {
    if (lane.full) {
        return std::nullopt;
    }
    const int capacity = swr_get_out_samples(lane.resampler, frame->nb_samples);
    if (capacity <= 0) {
        return std::nullopt;
    }
    const std::size_t channelCount = lane.channels.size();
    std::vector<std::vector<float>> converted(channelCount,
                                              std::vector<float>(std::size_t(capacity)));
    std::vector<uint8_t*> planes;
    for (std::vector<float>& plane : converted) {
        planes.push_back(reinterpret_cast<uint8_t*>(plane.data()));
    }
    const int made =
        swr_convert(lane.resampler, planes.data(), capacity,
                    const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (made < 0) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("A sound track of the recording cannot be converted.");
    }
    std::size_t skip = 0;
    if (!lane.placed) {
        // The first sound decoded after the seek says where the track stands;
        // from then on it is laid end to end.
        lane.placed = true;
        const std::int64_t stamp = frame->best_effort_timestamp;
        const double time =
            stamp == AV_NOPTS_VALUE ? start_ : streamTime(input_->streams[lane.input], stamp);
        const std::int64_t position = std::llround((time - start_) * audioRate);
        if (position > 0) {
            for (std::vector<float>& plane : lane.channels) {
                plane.assign(std::size_t(std::min(position, totalSamples_)), 0.0f);
            }
        } else {
            skip = std::size_t(std::min<std::int64_t>(-position, made));
            // Sound wholly before the range places the track at the next frame.
            if (skip == std::size_t(made)) {
                lane.placed = false;
            }
        }
    }
    const std::int64_t have = lane.pendingStart + std::int64_t(lane.pending());
    const std::int64_t room = std::max<std::int64_t>(totalSamples_ - have, 0);
    const std::size_t take = std::min<std::size_t>(std::size_t(made) - skip, std::size_t(room));
    for (std::size_t c = 0; c < channelCount; ++c) {
        lane.channels[c].insert(lane.channels[c].end(), converted[c].begin() + std::ptrdiff_t(skip),
                                converted[c].begin() + std::ptrdiff_t(skip + take));
    }
    if (lane.pendingStart + std::int64_t(lane.pending()) >= totalSamples_) {
        lane.full = true;
    }
    return encodeSound(lane, false);
}

std::optional<QString> Trimmer::copy() {
    // From the key frame at or before the start.
    AVStream* video = input_->streams[videoInput_];
    const auto target = std::int64_t((start_ + origin_) / av_q2d(video->time_base));
    if (start_ > 0 && av_seek_frame(input_, videoInput_, target, AVSEEK_FLAG_BACKWARD) < 0) {
        // A file that cannot seek is read from its start.
        av_seek_frame(input_, videoInput_, 0, AVSEEK_FLAG_BACKWARD);
    }
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("The video could not be exported: out of memory.");
    }
    const auto receiveVideo = [&]() -> std::optional<QString> {
        for (;;) {
            const int received = avcodec_receive_frame(videoDecoder_, frame.get());
            if (received < 0) {
                return std::nullopt;
            }
            auto error = videoFrame(frame.get());
            av_frame_unref(frame.get());
            if (error) {
                return error;
            }
        }
    };
    const auto receiveSound = [&](AudioLane& lane) -> std::optional<QString> {
        for (;;) {
            const int received = avcodec_receive_frame(lane.decoder, frame.get());
            if (received < 0) {
                return std::nullopt;
            }
            auto error = audioFrame(lane, frame.get());
            av_frame_unref(frame.get());
            if (error) {
                return error;
            }
        }
    };

    while (!done()) {
        if (cancelled()) {
            //: Video editor: why an export failed, shown in its alert
            return MovieTrimText::tr("The export was cancelled.");
        }
        const int read = av_read_frame(input_, packet.get());
        if (read < 0) {
            if (read != AVERROR_EOF) {
                readDamage_ = true;
            }
            break;
        }
        const bool corrupt = (packet->flags & AV_PKT_FLAG_CORRUPT) != 0;
        if (corrupt) {
            readDamage_ = true;
        }
        if (packet->stream_index == videoInput_) {
            if (!videoDone_) {
                const int sent = avcodec_send_packet(videoDecoder_, packet.get());
                if (sent < 0 && sent != AVERROR(EAGAIN) && ++badVideoPackets_ > maxBadPackets) {
                    av_packet_unref(packet.get());
                    return damaged();
                }
                if (auto error = receiveVideo()) {
                    av_packet_unref(packet.get());
                    return error;
                }
            }
        } else {
            for (const std::unique_ptr<AudioLane>& lane : lanes_) {
                if (lane->input != packet->stream_index || lane->full) {
                    continue;
                }
                const int sent = avcodec_send_packet(lane->decoder, packet.get());
                if (sent < 0 && sent != AVERROR(EAGAIN) && ++lane->badPackets > maxBadPackets) {
                    av_packet_unref(packet.get());
                    //: Video editor: why an export failed, shown in its alert
                    return MovieTrimText::tr("A sound track of the recording cannot be read.");
                }
                if (auto error = receiveSound(*lane)) {
                    av_packet_unref(packet.get());
                    return error;
                }
            }
        }
        av_packet_unref(packet.get());
    }
    // What the decoders still hold.
    if (!videoDone_) {
        avcodec_send_packet(videoDecoder_, nullptr);
        if (auto error = receiveVideo()) {
            return error;
        }
    }
    for (const std::unique_ptr<AudioLane>& lane : lanes_) {
        if (!lane->full) {
            avcodec_send_packet(lane->decoder, nullptr);
            if (auto error = receiveSound(*lane)) {
                return error;
            }
        }
    }
    if (!videoStarted_ && haveHeld_) {
        // The range begins after the last picture: that picture is shown.
        if (auto error = encodePicture(held_.get(), start_)) {
            return error;
        }
    }
    if (!videoStarted_) {
        return damaged();
    }
    // The movie broke off well before the end of the range: a file cut short
    // or damaged, not a movie whose last picture simply lasts.
    if (!videoDone_ && (readDamage_ || lastTime_ + 2 * frameInterval_ < end_)) {
        return damaged();
    }
    return std::nullopt;
}

std::optional<QString> Trimmer::finish() {
    if (auto error = stopEncoding()) {
        return error;
    }
    const std::int64_t endPts = av_rescale_q(std::llround((end_ - start_) * videoTimeBase.den),
                                             videoTimeBase, videoStream_->time_base);
    if (holdingPacket_) {
        if (auto error = writeHeldVideo(std::max(endPts, heldPacket_->pts + 1))) {
            return error;
        }
    }
    for (const std::unique_ptr<AudioLane>& lane : lanes_) {
        // A track that ends early is filled with silence to the range's end.
        const std::int64_t have = lane->pendingStart + std::int64_t(lane->pending());
        if (have < totalSamples_) {
            lane->padTo(lane->pending() + std::size_t(totalSamples_ - have));
        }
        if (auto error = encodeSound(*lane, true)) {
            return error;
        }
        avcodec_send_frame(lane->encoder, nullptr);
        if (auto error = drain(lane->encoder, lane->stream, packet_.get())) {
            return error;
        }
    }
    const int trailer = av_write_trailer(output_);
    if (trailer < 0) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("The video could not be written: %1.").arg(ffmpegError(trailer));
    }
    const int closed = avio_closep(&output_->pb);
    if (closed < 0) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("The video could not be written: %1.").arg(ffmpegError(closed));
    }
    if (std::rename(QFile::encodeName(temporary_).constData(),
                    QFile::encodeName(trim_.output).constData()) != 0) {
        //: Video editor: why an export failed, shown in its alert
        return MovieTrimText::tr("The video could not be saved: %1.")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    finished_ = true;
    return std::nullopt;
}

std::optional<QString> Trimmer::run() {
    quietenLibraries();
    if (auto error = openInput()) {
        return error;
    }
    if (auto error = openOutput()) {
        return error;
    }
    startEncoding();
    if (auto error = copy()) {
        return error;
    }
    return finish();
}

} // namespace

std::optional<QString> trimMovie(const MovieTrim& trim) {
    if (QString error; !loadDeferred(DeferredLibrary::movies, &error)) {
        return error;
    }
    Trimmer trimmer(trim);
    return trimmer.run();
}

} // namespace platform
