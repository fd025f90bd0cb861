#include "platform/MovieRepair.h"

#include "platform/DeferredLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace platform {

namespace {

struct Box {
    char type[5] = {};
    std::int64_t start = 0;
    std::int64_t end = 0; // past its last byte; may lie beyond the file
};

// The top-level box at `at`, or nothing when not even its header is there.
std::optional<Box> boxAt(QFile& file, std::int64_t at, std::int64_t fileSize) {
    if (at + 8 > fileSize || !file.seek(at)) {
        return std::nullopt;
    }
    unsigned char header[16] = {};
    if (file.read(reinterpret_cast<char*>(header), 8) != 8) {
        return std::nullopt;
    }
    std::uint64_t size = std::uint64_t(header[0]) << 24 | std::uint64_t(header[1]) << 16 |
                         std::uint64_t(header[2]) << 8 | std::uint64_t(header[3]);
    Box box;
    std::memcpy(box.type, header + 4, 4);
    box.start = at;
    if (size == 1) {
        if (at + 16 > fileSize || file.read(reinterpret_cast<char*>(header + 8), 8) != 8) {
            return std::nullopt;
        }
        size = 0;
        for (int i = 8; i < 16; ++i) {
            size = size << 8 | header[i];
        }
        if (size < 16) {
            return std::nullopt;
        }
    } else if (size == 0) {
        // Runs to the end of the file: whole only as far as it was written.
        size = std::uint64_t(fileSize - at);
    } else if (size < 8) {
        return std::nullopt;
    }
    if (size > std::uint64_t(INT64_MAX - at)) {
        return std::nullopt;
    }
    box.end = at + std::int64_t(size);
    return box;
}

bool is(const Box& box, const char* type) {
    return std::memcmp(box.type, type, 4) == 0;
}

QString ffmpegError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

QString hiddenBeside(const QString& path, const char* suffix) {
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1String(suffix);
}

// One pass of the remux into `temporary`; `reserve` bytes for the index at
// the start, or none to move the data once more at the end.
std::optional<QString> remuxOnce(const QString& from, const QString& temporary,
                                 std::int64_t reserve) {
    AVFormatContext* input = nullptr;
    AVFormatContext* output = nullptr;
    AVPacket* packet = av_packet_alloc();
    std::optional<QString> failure;
    const auto done = [&] {
        if (output) {
            if (output->pb) {
                avio_closep(&output->pb);
            }
            avformat_free_context(output);
        }
        avformat_close_input(&input);
        av_packet_free(&packet);
        if (failure) {
            QFile::remove(temporary);
        }
        return failure;
    };
    if (!packet) {
        failure = QStringLiteral("Out of memory.");
        return done();
    }
    int result = avformat_open_input(&input, QFile::encodeName(from).constData(), nullptr, nullptr);
    if (result < 0) {
        failure = QStringLiteral("The movie could not be read: %1.").arg(ffmpegError(result));
        return done();
    }
    const QByteArray url = "file:" + QFile::encodeName(temporary);
    if (avformat_alloc_output_context2(&output, nullptr, "mp4", url.constData()) < 0 || !output) {
        failure = QStringLiteral("The movie could not be prepared.");
        return done();
    }
    std::vector<int> mapped(input->nb_streams, -1);
    int streams = 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* in = input->streams[i];
        const AVMediaType type = in->codecpar->codec_type;
        if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO) {
            continue;
        }
        AVStream* out = avformat_new_stream(output, nullptr);
        if (!out || avcodec_parameters_copy(out->codecpar, in->codecpar) < 0) {
            failure = QStringLiteral("The movie's tracks could not be copied.");
            return done();
        }
        // The tag HEVC needs in MPEG-4 stays; others are the muxer's choice.
        if (out->codecpar->codec_tag != MKTAG('h', 'v', 'c', '1')) {
            out->codecpar->codec_tag = 0;
        }
        out->time_base = in->time_base;
        out->avg_frame_rate = in->avg_frame_rate;
        mapped[i] = streams++;
    }
    if (streams == 0) {
        failure = QStringLiteral("The movie has no tracks.");
        return done();
    }
    result = avio_open(&output->pb, url.constData(), AVIO_FLAG_WRITE);
    if (result < 0) {
        failure = QStringLiteral("“%1” cannot be written: %2.")
                      .arg(QDir::toNativeSeparators(QFileInfo(temporary).absolutePath()),
                           ffmpegError(result));
        return done();
    }
    AVDictionary* options = nullptr;
    if (reserve > 0) {
        av_dict_set_int(&options, "moov_size", reserve, 0);
    } else {
        av_dict_set(&options, "movflags", "+faststart", 0);
    }
    result = avformat_write_header(output, &options);
    av_dict_free(&options);
    if (result < 0) {
        failure = QStringLiteral("The movie could not be written: %1.").arg(ffmpegError(result));
        return done();
    }
    std::int64_t copied = 0;
    // The last picture of each video track waits for the end: a fragmented
    // movie keeps the length of its last picture (a still screen until the
    // stop) in the track's length rather than in the picture's own.
    std::vector<AVPacket*> last(input->nb_streams, nullptr);
    const auto releaseLast = [&last] {
        for (AVPacket*& held : last) {
            av_packet_free(&held);
        }
    };
    const auto write = [&](AVPacket* written, int from) {
        AVStream* out = output->streams[mapped[std::size_t(from)]];
        av_packet_rescale_ts(written, input->streams[from]->time_base, out->time_base);
        written->stream_index = out->index;
        written->pos = -1;
        const int wrote = av_interleaved_write_frame(output, written);
        if (wrote < 0) {
            failure = QStringLiteral("The movie could not be written: %1.").arg(ffmpegError(wrote));
            return false;
        }
        ++copied;
        return true;
    };
    for (;;) {
        result = av_read_frame(input, packet);
        if (result == AVERROR_EOF) {
            break;
        }
        if (result < 0) {
            // A fragment cut short at the end of a broken-off movie: what
            // came before it is the movie.
            if (copied > 0) {
                break;
            }
            releaseLast();
            failure = QStringLiteral("The movie could not be read: %1.").arg(ffmpegError(result));
            return done();
        }
        const int index = packet->stream_index;
        if (index < 0 || index >= int(mapped.size()) || mapped[std::size_t(index)] < 0) {
            av_packet_unref(packet);
            continue;
        }
        if (input->streams[index]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
            if (!write(packet, index)) {
                releaseLast();
                return done();
            }
            continue;
        }
        AVPacket*& held = last[std::size_t(index)];
        if (held && !write(held, index)) {
            releaseLast();
            return done();
        }
        if (!held) {
            held = av_packet_alloc();
        }
        av_packet_move_ref(held, packet);
        ++copied;
    }
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        AVPacket* held = last[i];
        if (!held) {
            continue;
        }
        --copied;
        const AVStream* in = input->streams[i];
        if (in->duration > 0 && held->pts != AV_NOPTS_VALUE) {
            const std::int64_t start = in->start_time != AV_NOPTS_VALUE ? in->start_time : 0;
            held->duration = std::max(held->duration, start + in->duration - held->pts);
        }
        if (!write(held, int(i))) {
            releaseLast();
            return done();
        }
    }
    releaseLast();
    if (copied == 0) {
        failure = QStringLiteral("The movie holds nothing.");
        return done();
    }
    result = av_write_trailer(output);
    if (result < 0) {
        failure = QStringLiteral("The movie could not be written: %1.").arg(ffmpegError(result));
        return done();
    }
    result = avio_closep(&output->pb);
    if (result < 0) {
        failure = QStringLiteral("The movie could not be written: %1.").arg(ffmpegError(result));
    }
    return done();
}

} // namespace

std::optional<WholeFragments> keepWholeFragments(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        return std::nullopt;
    }
    const std::int64_t fileSize = file.size();
    WholeFragments kept;
    bool index = false;
    std::int64_t wholeTo = 0;
    std::int64_t at = 0;
    while (const std::optional<Box> box = boxAt(file, at, fileSize)) {
        if (box->end > fileSize) {
            break;
        }
        if (is(*box, "moof")) {
            // A fragment is its index and the data right after it.
            const std::optional<Box> data = boxAt(file, box->end, fileSize);
            if (!data || !is(*data, "mdat") || data->end > fileSize) {
                break;
            }
            ++kept.fragments;
            wholeTo = data->end;
            at = data->end;
            continue;
        }
        if (is(*box, "moov")) {
            index = true;
        }
        wholeTo = box->end;
        at = box->end;
    }
    kept.isFragmented = index && kept.fragments > 0;
    if (wholeTo < fileSize && !file.resize(wholeTo)) {
        return std::nullopt;
    }
    kept.size = wholeTo;
    return kept;
}

std::optional<QString> remuxWithIndexInFront(const QString& from, const QString& to,
                                             std::int64_t packets) {
    if (QString error; !loadDeferred(DeferredLibrary::movies, &error)) {
        return error;
    }
    const QString temporary = hiddenBeside(to, ".remux");
    std::optional<QString> failure;
    if (packets > 0) {
        // The index takes at most this much a sample (sizes, times, chunk
        // offsets, key frames); a guess too small fails cleanly and the
        // slower road follows.
        failure = remuxOnce(from, temporary, 64 * 1024 + 48 * packets);
    }
    if (packets <= 0 || failure) {
        failure = remuxOnce(from, temporary, 0);
    }
    if (failure) {
        return failure;
    }
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(to).constData()) !=
        0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(temporary);
        return QStringLiteral("The movie could not be saved: %1.").arg(why);
    }
    return std::nullopt;
}

} // namespace platform
