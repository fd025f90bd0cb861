#include "platform/MovieWriter.h"

#include "platform/DeferredLibrary.h"
#include "platform/MediaSamples.h"
#include "platform/MovieRepair.h"
#include "platform/RecordingTrace.h"
#include "platform/Yuv420.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

// The context of this file's texts, declared where lupdate finds it.
struct MovieWriterText {
    Q_DECLARE_TR_FUNCTIONS(MovieWriterText)
};

namespace platform {

namespace {

constexpr int audioRate = 48000;
constexpr int audioBitRate = 160000;
// Pictures waiting for the video encoder before it reports itself not ready:
// half a second of them, enough for the encoder's bursts (a key frame, its
// look-ahead, a slow write) to pass without a picture lost, as far as they
// fit in this much memory, and never fewer than the least count. They wait
// already converted, at a third of the size of the screen's pixels.
constexpr std::int64_t pictureQueueBytes = std::int64_t(192) << 20;
constexpr int leastPictureQueue = 8;
constexpr std::size_t keptSparePictures = 3;
// Plain pictures a warm-up lets the video encoder work through: more than it
// holds at once (its frame threads and look-ahead), so that every buffer it
// keeps is made and touched before the recording's first picture.
constexpr int warmUpPictures = 32;
// Sound waiting for its encoder, in samples per track: a slow moment of the
// machine (a burst of large pictures, a busy disk) never costs sound.
constexpr std::int64_t audioQueueDepth = 10 * audioRate;
// The movie's video clock: fine enough for any frame rate and the timestamps
// of a paused and resumed recording, and what MPEG-4 players expect.
constexpr AVRational videoTimeBase{1, 90000};
// How far a chunk of sound may start from where the previous one ended
// before the gap is filled with silence or the overlap cut. The sound comes
// stamped by its own sample count, so chunks of a flowing source meet exactly;
// a source that went quiet, or a clock set right after a drift, moves by more.
// Within this, chunks are laid end to end: the sound stays whole and at most
// this far from the pictures.
constexpr std::int64_t audioSlack = audioRate * 40 / 1000;
// The working movie is cut into a fragment at least this often (µs), and at
// every key frame: a crash loses at most about this much.
constexpr int fragmentDuration = 1'000'000;

QString ffmpegError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

void quietenLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        // x264 reports its statistics at the end of every movie.
        if (av_log_get_level() > AV_LOG_ERROR) {
            av_log_set_level(AV_LOG_ERROR);
        }
    });
}

std::int64_t rescale(std::int64_t nanoseconds, AVRational base) {
    return av_rescale_q_rnd(nanoseconds, AVRational{1, 1'000'000'000}, base,
                            static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

struct Sample {
    int track = -1; // -1: video
    AVFrame* picture = nullptr;
    std::vector<float> sound;
    std::int64_t time = 0;
};

struct AudioTrack {
    AVCodecContext* encoder = nullptr;
    AVStream* stream = nullptr;
    // Sound not yet encoded, interleaved, and the position (in samples) of
    // its first sample.
    std::vector<float> pending;
    std::int64_t pendingStart = 0;
    bool started = false;
    std::int64_t waiting = 0; // samples
};

class FfmpegMovieWriter final : public MovieWriter {
public:
    explicit FfmpegMovieWriter(MovieSettings settings)
        : settings_(std::move(settings)), temporary_(workingPathFor(settings_.path)) {}

    ~FfmpegMovieWriter() override {
        if (!ended_) {
            cancel();
        }
        release();
    }

    std::optional<QString> open();

    AppendResult appendVideo(const QImage& image, std::int64_t time) override {
        if (image.size() != settings_.size) {
            return AppendResult::refused;
        }
        const std::int64_t pts = rescale(time, videoTimeBase);
        AVFrame* picture = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (failed_ || stopping_) {
                return AppendResult::refused;
            }
            if (lastVideoPts_ && pts <= *lastVideoPts_) {
                return AppendResult::refused;
            }
            if (videoWaiting_ >= pictureQueue_) {
                ++refusedPictures_;
                return AppendResult::notReady;
            }
            lastVideoPts_ = pts;
            warmUpLeft_ = 0;
            ++videoWaiting_;
            if (!sparePictures_.empty()) {
                picture = sparePictures_.back();
                sparePictures_.pop_back();
            }
        }
        // Converted here, on the caller's thread, while the encoder's thread
        // works on the pictures before it.
        if (!convert(image, picture, pts)) {
            av_frame_free(&picture);
            {
                std::lock_guard lock(mutex_);
                --videoWaiting_;
            }
            //: Recording: why the movie could not be written, shown in an alert
            fail(MovieWriterText::tr("The recording ran out of memory."));
            return AppendResult::refused;
        }
        std::lock_guard lock(mutex_);
        pictures_.push_back(Sample{-1, picture, {}, pts});
        videoWake_.notify_one();
        return AppendResult::appended;
    }

    AppendResult appendAudio(int track, const std::vector<float>& sound,
                             std::int64_t time) override {
        if (track < 0 || track >= static_cast<int>(audio_.size()) || sound.size() % 2 != 0) {
            return AppendResult::refused;
        }
        std::lock_guard lock(mutex_);
        if (failed_ || stopping_) {
            return AppendResult::refused;
        }
        const std::int64_t frames = std::int64_t(sound.size() / 2);
        if (audio_[track].waiting + frames > audioQueueDepth) {
            return AppendResult::notReady;
        }
        audio_[track].waiting += frames;
        sounds_.push_back(Sample{track, {}, sound, rescale(time, AVRational{1, audioRate})});
        audioWake_.notify_one();
        return AppendResult::appended;
    }

    bool hasFailed() const override {
        std::lock_guard lock(mutex_);
        return failed_;
    }

    VideoBacklog videoBacklog() const override {
        std::lock_guard lock(mutex_);
        return {videoWaiting_, pictureQueue_, warming_};
    }

    void warmUp() override {
        std::lock_guard lock(mutex_);
        if (lastVideoPts_ || stopping_ || failed_ || std::exchange(warmUpAsked_, true)) {
            return;
        }
        warmUpLeft_ = warmUpPictures;
        warming_ = true;
        videoWake_.notify_one();
    }

    std::optional<QString> finish(std::int64_t end) override;
    void cancel() override;

private:
    void runVideo();
    void runAudio();
    void stopThreads(bool discard);
    void fail(const QString& message);
    std::optional<QString> salvage();
    bool convert(const QImage& image, AVFrame*& picture, std::int64_t pts);
    bool encodeVideo(AVFrame* picture);
    bool encodeWarmUp();
    AVFrame* plainPicture();
    bool addSound(AudioTrack& track, const std::vector<float>& sound, std::int64_t position);
    bool encodeSound(AudioTrack& track, std::int64_t upTo, bool all);
    bool drain(AVCodecContext* encoder, AVStream* stream);
    bool writePacket(AVPacket* packet, AVStream* stream);
    bool writeHeldVideo(std::int64_t nextPts);
    void release();

    const MovieSettings settings_;
    const QString temporary_;

    AVFormatContext* format_ = nullptr;
    AVCodecContext* video_ = nullptr;
    AVStream* videoStream_ = nullptr;
    AVFrame* soundFrame_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVPacket* soundPacket_ = nullptr;
    // The last video packet waits for the next one: its duration is known
    // only then (or from the movie's end).
    AVPacket* heldVideo_ = nullptr;
    bool holding_ = false;
    std::vector<AudioTrack> audio_;
    // Sound packets from this position (in each track's time base) on lie
    // after the movie's end.
    std::optional<std::int64_t> endPts_;

    std::thread videoThread_;
    std::thread audioThread_;
    mutable std::mutex mutex_;
    std::condition_variable videoWake_;
    std::condition_variable audioWake_;
    std::deque<Sample> pictures_;
    // Converted pictures the encoder is done with, for the next ones.
    std::vector<AVFrame*> sparePictures_;
    int pictureQueue_ = leastPictureQueue;
    std::deque<Sample> sounds_;
    int videoWaiting_ = 0;
    // Warm-up pictures still to encode while no picture waits (under mutex_).
    int warmUpLeft_ = 0;
    bool warmUpAsked_ = false;
    bool warming_ = false; // until the warm-up's last picture is encoded
    // The video thread's own: warm-up pictures sent, the pictures they were
    // (they become the first spares), and whether the next real picture must
    // be a key frame that refers to none of them.
    std::int64_t warmUpSent_ = 0;
    std::vector<AVFrame*> warmUpFrames_;
    bool keyFrameDue_ = false;
    StepTimes warmingUp_;
    // For the trace: pictures turned away with the queue full (under
    // mutex_), and the video thread's own steps.
    std::int64_t refusedPictures_ = 0;
    StepTimes conversion_;
    StepTimes encoding_;
    // Both encoding threads write into the one file.
    std::mutex muxer_;
    std::int64_t packets_ = 0; // written, under muxer_
    std::optional<std::int64_t> lastVideoPts_;
    bool stopping_ = false;
    bool discard_ = false;
    bool failed_ = false;
    QString failure_;
    bool ended_ = false;
};

std::optional<QString> FfmpegMovieWriter::open() {
    quietenLibraries();
    const char* videoEncoderName = settings_.codec == VideoCodec::hevc ? "libx265" : "libx264";
    const AVCodec* videoCodec = avcodec_find_encoder_by_name(videoEncoderName);
    if (!videoCodec) {
        //: Recording: why the movie could not be written, shown in an alert
        return MovieWriterText::tr("This system's FFmpeg has no %1 encoder (%2).")
            .arg(settings_.codec == VideoCodec::hevc ? QStringLiteral("HEVC")
                                                     : QStringLiteral("H.264"),
                 QLatin1String(videoEncoderName));
    }
    const AVCodec* audioCodec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (settings_.audioTracks > 0 && !audioCodec) {
        //: Recording: why the movie could not be written, shown in an alert
        return MovieWriterText::tr("This system's FFmpeg has no AAC encoder.");
    }
    if (settings_.size.width() < 2 || settings_.size.height() < 2 ||
        settings_.size.width() % 2 != 0 || settings_.size.height() % 2 != 0 ||
        settings_.frameRate <= 0) {
        //: Recording: why the movie could not be written, shown in an alert
        return MovieWriterText::tr("The recording's size or frame rate cannot be encoded.");
    }

    const QByteArray url = "file:" + QFile::encodeName(temporary_);
    if (avformat_alloc_output_context2(&format_, nullptr, "mp4", url.constData()) < 0 || !format_) {
        //: Recording: why the movie could not be written, shown in an alert
        return MovieWriterText::tr("The movie file could not be prepared.");
    }

    video_ = avcodec_alloc_context3(videoCodec);
    video_->width = settings_.size.width();
    video_->height = settings_.size.height();
    video_->pix_fmt = AV_PIX_FMT_YUV420P;
    video_->time_base = videoTimeBase;
    video_->framerate = AVRational{settings_.frameRate, 1};
    video_->bit_rate = settings_.bitRate;
    // Held over every second as well: left to itself the encoder's average
    // settles only after many seconds, and a short recording of a busy screen
    // would come out far larger than asked.
    video_->rc_max_rate = settings_.bitRate;
    video_->rc_buffer_size = static_cast<int>(std::min<std::int64_t>(settings_.bitRate, INT_MAX));
    video_->gop_size = 2 * settings_.frameRate;
    video_->max_b_frames = 0;
    // Leave the quantiser's range to the encoder: FFmpeg's narrower default
    // would overshoot the bit rate on busy pictures.
    video_->qmin = -1;
    video_->qmax = -1;
    video_->color_primaries = AVCOL_PRI_BT709;
    video_->color_trc = AVCOL_TRC_BT709;
    video_->colorspace = AVCOL_SPC_BT709;
    video_->color_range = AVCOL_RANGE_MPEG;
    video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    // A picture asked to be a key frame (the first after a warm-up) starts
    // afresh: nothing after it refers to what came before.
    av_dict_set(&options, "forced-idr", "1", 0);
    if (settings_.codec == VideoCodec::hevc) {
        av_dict_set(&options, "profile", "main", 0);
        // x265 is several times slower than x264 at a like preset; this one
        // keeps up with the screen.
        av_dict_set(&options, "preset", "ultrafast", 0);
        av_dict_set(&options, "x265-params", "log-level=error:bframes=0", 0);
    } else {
        av_dict_set(&options, "profile", "high", 0);
        av_dict_set(&options, "preset", "veryfast", 0);
        // Left to itself x264 runs a frame thread for each two thirds of a
        // core, twelve on eight cores, each with pictures of its own. Beyond
        // six they make no recording faster: they cost CPU, memory, a slow
        // first second (a 4K movie fell behind while they all started) and a
        // little sharpness.
        video_->thread_count = std::clamp(QThread::idealThreadCount() * 3 / 2, 1, 6);
    }
    int result = avcodec_open2(video_, videoCodec, &options);
    av_dict_free(&options);
    if (result < 0) {
        //: Recording: why the movie could not be written, shown in an alert
        return MovieWriterText::tr("The video encoder could not be started: %1.")
            .arg(ffmpegError(result));
    }
    videoStream_ = avformat_new_stream(format_, nullptr);
    if (!videoStream_ || avcodec_parameters_from_context(videoStream_->codecpar, video_) < 0) {
        //: Recording: why the movie could not be written, shown in an alert
        return MovieWriterText::tr("The video track could not be created.");
    }
    videoStream_->time_base = videoTimeBase;
    videoStream_->avg_frame_rate = AVRational{settings_.frameRate, 1};
    if (settings_.codec == VideoCodec::hevc) {
        // What QuickTime and the browsers look for in an MPEG-4 HEVC track.
        videoStream_->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
    }

    audio_.resize(static_cast<std::size_t>(std::max(settings_.audioTracks, 0)));
    for (AudioTrack& track : audio_) {
        track.encoder = avcodec_alloc_context3(audioCodec);
        track.encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
        track.encoder->sample_rate = audioRate;
        const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        av_channel_layout_copy(&track.encoder->ch_layout, &stereo);
        track.encoder->bit_rate = audioBitRate;
        track.encoder->time_base = AVRational{1, audioRate};
        track.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        result = avcodec_open2(track.encoder, audioCodec, nullptr);
        if (result < 0) {
            //: Recording: why the movie could not be written, shown in an alert
            return MovieWriterText::tr("The sound encoder could not be started: %1.")
                .arg(ffmpegError(result));
        }
        track.stream = avformat_new_stream(format_, nullptr);
        if (!track.stream ||
            avcodec_parameters_from_context(track.stream->codecpar, track.encoder) < 0) {
            //: Recording: why the movie could not be written, shown in an alert
            return MovieWriterText::tr("The sound track could not be created.");
        }
        track.stream->time_base = AVRational{1, audioRate};
    }

    soundFrame_ = av_frame_alloc();
    if (!soundFrame_) {
        //: Recording: why the movie could not be written, shown in an alert
        return MovieWriterText::tr("The recording ran out of memory.");
    }
    const std::int64_t pictureBytes =
        std::int64_t(settings_.size.width()) * settings_.size.height() * 3 / 2;
    pictureQueue_ = int(std::max<std::int64_t>(
        leastPictureQueue,
        std::min<std::int64_t>((settings_.frameRate + 1) / 2, pictureQueueBytes / pictureBytes)));
    packet_ = av_packet_alloc();
    soundPacket_ = av_packet_alloc();
    heldVideo_ = av_packet_alloc();

    QFile::remove(temporary_);
    result = avio_open(&format_->pb, url.constData(), AVIO_FLAG_WRITE);
    if (result < 0) {
        //: Recording: why the movie could not be written, shown in an alert
        return MovieWriterText::tr("The recording cannot be written into “%1”: %2.")
            .arg(QDir::toNativeSeparators(QFileInfo(settings_.path).absolutePath()),
                 ffmpegError(result));
    }
    options = nullptr;
    // Fragments while recording, so that what was written before a crash
    // plays; the finished movie is written once more with its index in front.
    av_dict_set(&options, "movflags", "+frag_keyframe+empty_moov+default_base_moof", 0);
    av_dict_set_int(&options, "frag_duration", fragmentDuration, 0);
    // Each fragment reaches the file as soon as it is complete, not when a
    // buffer fills: a crash then loses only the fragment under way.
    format_->flush_packets = 1;
    result = avformat_write_header(format_, &options);
    av_dict_free(&options);
    if (result < 0) {
        avio_closep(&format_->pb);
        QFile::remove(temporary_);
        //: Recording: why the movie could not be written, shown in an alert
        return MovieWriterText::tr("The recording could not be started: %1.")
            .arg(ffmpegError(result));
    }
    videoThread_ = std::thread([this] { runVideo(); });
    if (!audio_.empty()) {
        audioThread_ = std::thread([this] { runAudio(); });
    }
    return std::nullopt;
}

void FfmpegMovieWriter::runVideo() {
    for (;;) {
        Sample sample;
        {
            std::unique_lock lock(mutex_);
            videoWake_.wait(lock, [this] {
                return !pictures_.empty() || warmUpLeft_ > 0 || stopping_ || failed_;
            });
            if (discard_ || failed_ || (pictures_.empty() && stopping_)) {
                return;
            }
            if (pictures_.empty()) {
                --warmUpLeft_;
            } else {
                sample = std::move(pictures_.front());
                pictures_.pop_front();
            }
        }
        if (sample.picture == nullptr) {
            if (!encodeWarmUp()) {
                return;
            }
            continue;
        }
        const bool fine = encodeVideo(sample.picture);
        {
            // Counted down only now: the picture occupied the encoder until it
            // was done with it.
            std::lock_guard lock(mutex_);
            --videoWaiting_;
            // A steady recording needs a spare or two; those of a burst go
            // back, rather than hold a 4K screen's worth each until the end.
            if (sparePictures_.size() < keptSparePictures) {
                sparePictures_.push_back(std::exchange(sample.picture, nullptr));
            }
        }
        av_frame_free(&sample.picture);
        if (!fine) {
            return;
        }
    }
}

void FfmpegMovieWriter::runAudio() {
    for (;;) {
        Sample sample;
        {
            std::unique_lock lock(mutex_);
            audioWake_.wait(lock, [this] { return !sounds_.empty() || stopping_ || failed_; });
            if (sounds_.empty() || discard_ || failed_) {
                return;
            }
            sample = std::move(sounds_.front());
            sounds_.pop_front();
        }
        const std::int64_t frames = std::int64_t(sample.sound.size() / 2);
        const bool fine = addSound(audio_[std::size_t(sample.track)], sample.sound, sample.time);
        {
            std::lock_guard lock(mutex_);
            audio_[std::size_t(sample.track)].waiting -= frames;
        }
        if (!fine) {
            return;
        }
    }
}

void FfmpegMovieWriter::fail(const QString& message) {
    {
        std::lock_guard lock(mutex_);
        if (failed_) {
            return;
        }
        failed_ = true;
        failure_ = message;
        // The other encoding thread stops too: nothing more can be kept.
        videoWake_.notify_all();
        audioWake_.notify_all();
    }
    if (settings_.onFailure) {
        settings_.onFailure(message);
    }
}

bool FfmpegMovieWriter::convert(const QImage& image, AVFrame*& picture, std::int64_t pts) {
    QImage source = image;
    if (source.format() != QImage::Format_RGB32 && source.format() != QImage::Format_ARGB32 &&
        source.format() != QImage::Format_ARGB32_Premultiplied) {
        source = source.convertToFormat(QImage::Format_RGB32);
    }
    if (picture == nullptr) {
        picture = av_frame_alloc();
        if (picture == nullptr) {
            return false;
        }
        picture->format = AV_PIX_FMT_YUV420P;
        picture->width = settings_.size.width();
        picture->height = settings_.size.height();
        if (av_frame_get_buffer(picture, 0) < 0) {
            return false;
        }
    } else if (av_frame_make_writable(picture) < 0) {
        // The encoder copies what it is given; a buffer it still holds is
        // replaced by a new one.
        return false;
    }
    // Full-range RGB in, video-range BT.709 out, as the track's tags say.
    const HostTime began = hostTimeNow();
    convertToYuv420(source, {picture->data[0], picture->linesize[0], picture->data[1],
                             picture->linesize[1], picture->data[2], picture->linesize[2]});
    conversion_.add(hostTimeNow() - began);
    picture->pts = pts;
    picture->color_primaries = AVCOL_PRI_BT709;
    picture->color_trc = AVCOL_TRC_BT709;
    picture->colorspace = AVCOL_SPC_BT709;
    picture->color_range = AVCOL_RANGE_MPEG;
    return true;
}

bool FfmpegMovieWriter::encodeVideo(AVFrame* picture) {
    // A spare picture keeps the type it was last sent with.
    picture->pict_type =
        std::exchange(keyFrameDue_, false) ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    const HostTime began = hostTimeNow();
    const int sent = avcodec_send_frame(video_, picture);
    if (sent < 0) {
        //: Recording: why the movie could not be written, shown in an alert
        fail(MovieWriterText::tr("The video could not be encoded: %1.").arg(ffmpegError(sent)));
        return false;
    }
    const bool drained = drain(video_, videoStream_);
    encoding_.add(hostTimeNow() - began);
    return drained;
}

// A mid-grey picture at the movie's size, its memory touched; nullptr when
// there is no memory for it.
AVFrame* FfmpegMovieWriter::plainPicture() {
    AVFrame* picture = av_frame_alloc();
    if (picture == nullptr) {
        return nullptr;
    }
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = settings_.size.width();
    picture->height = settings_.size.height();
    if (av_frame_get_buffer(picture, 0) < 0) {
        av_frame_free(&picture);
        return nullptr;
    }
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? picture->height : picture->height / 2;
        std::memset(picture->data[plane], 128, std::size_t(picture->linesize[plane]) * rows);
    }
    picture->color_primaries = AVCOL_PRI_BT709;
    picture->color_trc = AVCOL_TRC_BT709;
    picture->colorspace = AVCOL_SPC_BT709;
    picture->color_range = AVCOL_RANGE_MPEG;
    return picture;
}

// One warm-up picture, a frame's time apart from the others and all before
// the movie's start, where their packets are dropped (drain()). A plain
// picture costs the encoder's rate control next to no bits, so it leaves the
// first real seconds their share. The pictures become the first spares.
bool FfmpegMovieWriter::encodeWarmUp() {
    const HostTime began = hostTimeNow();
    const std::size_t slot = std::size_t(warmUpSent_) % keptSparePictures;
    if (slot >= warmUpFrames_.size()) {
        if (AVFrame* picture = plainPicture()) {
            warmUpFrames_.push_back(picture);
        }
    }
    bool fine = true;
    if (slot < warmUpFrames_.size()) {
        AVFrame* picture = warmUpFrames_[slot];
        picture->pict_type = AV_PICTURE_TYPE_NONE;
        picture->pts = (warmUpSent_ - warmUpPictures - 1) *
                       (videoTimeBase.den / std::max(settings_.frameRate, 1));
        const int sent = avcodec_send_frame(video_, picture);
        if (sent < 0) {
            //: Recording: why the movie could not be written, shown in an alert
            fail(MovieWriterText::tr("The video could not be encoded: %1.").arg(ffmpegError(sent)));
            return false;
        }
        ++warmUpSent_;
        keyFrameDue_ = true;
        fine = drain(video_, videoStream_);
        warmingUp_.add(hostTimeNow() - began);
    }
    std::lock_guard lock(mutex_);
    if (slot >= warmUpFrames_.size()) {
        // No memory for it: the recording does without.
        warmUpLeft_ = 0;
    }
    if (warmUpLeft_ == 0) {
        warming_ = false;
        for (AVFrame* picture : std::exchange(warmUpFrames_, {})) {
            if (sparePictures_.size() < keptSparePictures) {
                sparePictures_.push_back(picture);
            } else {
                av_frame_free(&picture);
            }
        }
    }
    return fine;
}

bool FfmpegMovieWriter::addSound(AudioTrack& track, const std::vector<float>& sound,
                                 std::int64_t position) {
    const std::int64_t frames = static_cast<std::int64_t>(sound.size() / 2);
    std::int64_t skip = 0;
    // The first chunk goes exactly where it belongs: the track starts with
    // the movie, so sound and pictures start in step.
    const std::int64_t slack = track.started ? audioSlack : 0;
    if (!track.started) {
        track.started = true;
        track.pendingStart = 0;
    }
    const std::int64_t expected = track.pendingStart + std::int64_t(track.pending.size() / 2);
    if (position > expected + slack) {
        track.pending.resize(track.pending.size() + std::size_t(position - expected) * 2, 0.0f);
    } else if (position < expected - slack) {
        skip = std::min(frames, expected - position);
    }
    track.pending.insert(track.pending.end(), sound.begin() + skip * 2, sound.end());
    return encodeSound(track, 0, false);
}

// Encodes whole frames of the pending sound (or, with `all`, the rest too,
// stopping at position `upTo` when that is positive).
bool FfmpegMovieWriter::encodeSound(AudioTrack& track, std::int64_t upTo, bool all) {
    const int frameSize = track.encoder->frame_size > 0 ? track.encoder->frame_size : 1024;
    if (all && upTo > 0) {
        // The track ends with the pictures: cut, or filled with the silence
        // of sound that had not come yet.
        const std::int64_t keep = std::max<std::int64_t>(upTo - track.pendingStart, 0);
        track.started = true;
        track.pending.resize(std::size_t(keep) * 2, 0.0f);
    }
    std::size_t used = 0;
    for (;;) {
        const std::size_t left = track.pending.size() / 2 - used;
        if (left == 0 || (left < std::size_t(frameSize) && !all)) {
            break;
        }
        const int count = static_cast<int>(std::min<std::size_t>(left, std::size_t(frameSize)));
        av_frame_unref(soundFrame_);
        soundFrame_->format = AV_SAMPLE_FMT_FLTP;
        soundFrame_->sample_rate = audioRate;
        av_channel_layout_copy(&soundFrame_->ch_layout, &track.encoder->ch_layout);
        soundFrame_->nb_samples = count;
        if (av_frame_get_buffer(soundFrame_, 0) < 0) {
            //: Recording: why the movie could not be written, shown in an alert
            fail(MovieWriterText::tr("The recording ran out of memory."));
            return false;
        }
        auto* left0 = reinterpret_cast<float*>(soundFrame_->data[0]);
        auto* right = reinterpret_cast<float*>(soundFrame_->data[1]);
        const float* from = track.pending.data() + used * 2;
        for (int i = 0; i < count; ++i) {
            left0[i] = from[2 * i];
            right[i] = from[2 * i + 1];
        }
        soundFrame_->pts = track.pendingStart + std::int64_t(used);
        used += std::size_t(count);
        const int sent = avcodec_send_frame(track.encoder, soundFrame_);
        if (sent < 0) {
            //: Recording: why the movie could not be written, shown in an alert
            fail(MovieWriterText::tr("The sound could not be encoded: %1.").arg(ffmpegError(sent)));
            return false;
        }
        if (!drain(track.encoder, track.stream)) {
            return false;
        }
    }
    track.pending.erase(track.pending.begin(), track.pending.begin() + std::ptrdiff_t(used * 2));
    track.pendingStart += std::int64_t(used);
    return true;
}

bool FfmpegMovieWriter::drain(AVCodecContext* encoder, AVStream* stream) {
    // Each encoding thread has a packet of its own.
    AVPacket* const packet = stream == videoStream_ ? packet_ : soundPacket_;
    for (;;) {
        const int received = avcodec_receive_packet(encoder, packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            return true;
        }
        if (received < 0) {
            //: Recording: why the movie could not be written, shown in an alert
            fail(MovieWriterText::tr("The recording could not be encoded: %1.")
                     .arg(ffmpegError(received)));
            return false;
        }
        av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (stream == videoStream_) {
            if (packet->pts < 0) {
                // A warm-up picture's: it never belongs to the movie.
                av_packet_unref(packet);
                continue;
            }
            if (holding_ && !writeHeldVideo(packet->pts)) {
                av_packet_unref(packet);
                return false;
            }
            av_packet_move_ref(heldVideo_, packet);
            holding_ = true;
            continue;
        }
        if (endPts_ && packet->pts >= av_rescale_q(*endPts_, videoTimeBase, stream->time_base)) {
            av_packet_unref(packet);
            continue;
        }
        if (!writePacket(packet, stream)) {
            return false;
        }
    }
}

bool FfmpegMovieWriter::writeHeldVideo(std::int64_t nextPts) {
    heldVideo_->duration = std::max<std::int64_t>(nextPts - heldVideo_->pts, 1);
    holding_ = false;
    return writePacket(heldVideo_, videoStream_);
}

bool FfmpegMovieWriter::writePacket(AVPacket* packet, AVStream*) {
    int written = 0;
    {
        std::lock_guard lock(muxer_);
        // Takes the packet's data whether or not it succeeds.
        written = av_interleaved_write_frame(format_, packet);
        if (written >= 0) {
            ++packets_;
        }
    }
    if (written < 0) {
        //: Recording: why the movie could not be written, shown in an alert; %1 is the
        //: folder, %2 the reason (No space left on device…)
        fail(MovieWriterText::tr("The recording could not be written into “%1”: %2.")
                 .arg(QDir::toNativeSeparators(QFileInfo(settings_.path).absolutePath()),
                      ffmpegError(written)));
        return false;
    }
    return true;
}

void FfmpegMovieWriter::stopThreads(bool discard) {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        discard_ = discard;
        videoWake_.notify_all();
        audioWake_.notify_all();
    }
    for (std::thread* thread : {&videoThread_, &audioThread_}) {
        if (thread->joinable()) {
            thread->join();
        }
    }
}

// After a failure: the whole fragments written before it become the movie.
std::optional<QString> FfmpegMovieWriter::salvage() {
    std::lock_guard lock(mutex_);
    if (format_ && format_->pb) {
        // What the buffer still holds may not fit either; the cut below
        // takes care of a half-written end.
        avio_closep(&format_->pb);
    }
    const std::optional<WholeFragments> kept = keepWholeFragments(temporary_);
    if (!kept || !kept->isFragmented) {
        QFile::remove(temporary_);
        return failure_;
    }
    // With room for it, the index goes in front; without, the fragments
    // play as they are.
    if (!remuxWithIndexInFront(temporary_, settings_.path)) {
        QFile::remove(temporary_);
        return std::nullopt;
    }
    if (std::rename(QFile::encodeName(temporary_).constData(),
                    QFile::encodeName(settings_.path).constData()) != 0) {
        QFile::remove(temporary_);
        return failure_;
    }
    return std::nullopt;
}

std::optional<QString> FfmpegMovieWriter::finish(std::int64_t end) {
    if (ended_) {
        //: Recording: why the movie could not be written, shown in an alert
        return MovieWriterText::tr("The recording has already ended.");
    }
    stopThreads(false);
    ended_ = true;
    qCInfo(recordingTrace,
           "movie: %lld pictures encoded, %lld turned away with the encoder's queue full; "
           "colour conversion %.2f ms on average (longest %.2f ms), encoding %.2f ms (longest "
           "%.2f ms); warm-up %lld pictures, %.2f ms on average (longest %.2f ms)",
           qlonglong(encoding_.count), qlonglong(refusedPictures_), conversion_.meanMs(),
           conversion_.longestMs(), encoding_.meanMs(), encoding_.longestMs(),
           qlonglong(warmingUp_.count), warmingUp_.meanMs(), warmingUp_.longestMs());
    if (hasFailed()) {
        return salvage();
    }
    const std::int64_t endPts = rescale(end, videoTimeBase);
    endPts_ = endPts;
    bool fine = !hasFailed();
    // What the encoders still hold, then the last picture up to the end.
    if (fine) {
        avcodec_send_frame(video_, nullptr);
        fine = drain(video_, videoStream_);
    }
    if (fine && holding_) {
        fine = writeHeldVideo(std::max(av_rescale_q(endPts, videoTimeBase, videoStream_->time_base),
                                       heldVideo_->pts + 1));
    }
    for (AudioTrack& track : audio_) {
        if (!fine) {
            break;
        }
        fine = encodeSound(track, rescale(end, AVRational{1, audioRate}), true);
        if (fine) {
            avcodec_send_frame(track.encoder, nullptr);
            fine = drain(track.encoder, track.stream);
        }
    }
    if (fine) {
        const int trailer = av_write_trailer(format_);
        if (trailer < 0) {
            //: Recording: why the movie could not be written, shown in an alert
            fail(MovieWriterText::tr("The recording could not be saved: %1.")
                     .arg(ffmpegError(trailer)));
            fine = false;
        }
    }
    const int closed = avio_closep(&format_->pb);
    if (fine && closed < 0) {
        //: Recording: why the movie could not be written, shown in an alert
        fail(MovieWriterText::tr("The recording could not be saved: %1.").arg(ffmpegError(closed)));
        fine = false;
    }
    if (!fine) {
        return salvage();
    }
    // The whole movie written once more with its index in front. Where that
    // cannot be done (no room for a second copy) the fragmented movie is
    // the movie: it plays all the same.
    if (!remuxWithIndexInFront(temporary_, settings_.path, packets_)) {
        QFile::remove(temporary_);
        return std::nullopt;
    }
    if (std::rename(QFile::encodeName(temporary_).constData(),
                    QFile::encodeName(settings_.path).constData()) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(temporary_);
        //: Recording: why the movie could not be written, shown in an alert
        return MovieWriterText::tr("The recording could not be saved: %1.").arg(why);
    }
    return std::nullopt;
}

void FfmpegMovieWriter::cancel() {
    if (ended_) {
        return;
    }
    stopThreads(true);
    ended_ = true;
    if (format_ && format_->pb) {
        avio_closep(&format_->pb);
    }
    QFile::remove(temporary_);
}

void FfmpegMovieWriter::release() {
    for (Sample& sample : pictures_) {
        av_frame_free(&sample.picture);
    }
    pictures_.clear();
    for (AVFrame*& picture : sparePictures_) {
        av_frame_free(&picture);
    }
    sparePictures_.clear();
    for (AVFrame*& picture : warmUpFrames_) {
        av_frame_free(&picture);
    }
    warmUpFrames_.clear();
    av_frame_free(&soundFrame_);
    av_packet_free(&packet_);
    av_packet_free(&soundPacket_);
    av_packet_free(&heldVideo_);
    avcodec_free_context(&video_);
    for (AudioTrack& track : audio_) {
        avcodec_free_context(&track.encoder);
    }
    if (format_) {
        if (format_->pb) {
            avio_closep(&format_->pb);
        }
        avformat_free_context(format_);
        format_ = nullptr;
    }
}

} // namespace

QString workingPathFor(const QString& path) {
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".part");
}

MovieWriterResult openMovieWriter(const MovieSettings& settings) {
    if (QString error; !loadDeferred(DeferredLibrary::movies, &error)) {
        return error;
    }
    auto writer = std::make_unique<FfmpegMovieWriter>(settings);
    if (std::optional<QString> error = writer->open()) {
        // Nothing was started: the writer only has to give its pieces back.
        writer->cancel();
        return *error;
    }
    return std::unique_ptr<MovieWriter>(std::move(writer));
}

} // namespace platform
