#include "platform/GifWriter.h"

#include "platform/DeferredLibrary.h"

#include <gif_lib.h>

#include <algorithm>
#include <cerrno>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// giflib hands over at most 256 bytes at a time.
constexpr std::size_t flushSize = std::size_t(1) << 20;

int powerOfTwoAtLeast(int count) {
    int size = 2;
    while (size < count) {
        size *= 2;
    }
    return size;
}

} // namespace

struct GifWriter::State {
    int fd = -1;
    GifFileType* gif = nullptr;
    QSize size;
    int delay = 0;
    std::vector<unsigned char> buffer;
    int writeError = 0;
    // What the frames so far show at each pixel, as the source colours that
    // were drawn there; valid once a frame was added.
    std::vector<QRgb> shown;
    bool first = true;
    bool finished = false;

    ~State() {
        if (gif) {
            EGifCloseFile(gif, nullptr);
        }
    }

    bool flush() {
        std::size_t done = 0;
        while (done < buffer.size() && writeError == 0) {
            const ssize_t written = ::write(fd, buffer.data() + done, buffer.size() - done);
            if (written < 0) {
                if (errno != EINTR) {
                    writeError = errno;
                }
                continue;
            }
            if (written == 0) {
                writeError = ENOSPC;
                break;
            }
            done += std::size_t(written);
        }
        buffer.clear();
        return writeError == 0;
    }

    static int output(GifFileType* gif, const GifByteType* bytes, int length) {
        auto* state = static_cast<State*>(gif->UserData);
        state->buffer.insert(state->buffer.end(), bytes, bytes + length);
        if (state->buffer.size() >= flushSize && !state->flush()) {
            return 0;
        }
        return length;
    }

    std::error_code error(int gifStatus) const {
        if (writeError != 0) {
            return {writeError, std::generic_category()};
        }
        return gifStatus == GIF_OK ? std::error_code{}
                                   : std::error_code(EIO, std::generic_category());
    }
};

GifWriter::GifWriter(std::unique_ptr<State> state) : d_(std::move(state)) {}

GifWriter::~GifWriter() = default;

std::unique_ptr<GifWriter> GifWriter::begin(int fd, QSize size, int delayCentiseconds) {
    if (size.isEmpty() || size.width() > 65535 || size.height() > 65535 || delayCentiseconds < 0 ||
        delayCentiseconds > 65535 || !loadDeferred(DeferredLibrary::gif)) {
        return nullptr;
    }
    auto state = std::make_unique<State>();
    state->fd = fd;
    state->size = size;
    state->delay = delayCentiseconds;
    int error = 0;
    state->gif = EGifOpen(state.get(), &State::output, &error);
    if (!state->gif) {
        return nullptr;
    }
    EGifSetGifVersion(state->gif, true);
    if (EGifPutScreenDesc(state->gif, size.width(), size.height(), 8, 0, nullptr) != GIF_OK) {
        return nullptr;
    }
    // NETSCAPE2.0 with a loop count of 0: loop forever.
    static const GifByteType application[] = "NETSCAPE2.0";
    static const GifByteType loop[] = {1, 0, 0};
    if (EGifPutExtensionLeader(state->gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
        EGifPutExtensionBlock(state->gif, 11, application) != GIF_OK ||
        EGifPutExtensionBlock(state->gif, 3, loop) != GIF_OK ||
        EGifPutExtensionTrailer(state->gif) != GIF_OK) {
        return nullptr;
    }
    state->shown.assign(std::size_t(size.width()) * std::size_t(size.height()), 0);
    return std::unique_ptr<GifWriter>(new GifWriter(std::move(state)));
}

std::error_code GifWriter::add(const QImage& source, const IndexedImage& indexed,
                               int delayCentiseconds) {
    State& d = *d_;
    const int width = d.size.width();
    const int height = d.size.height();
    if (d.finished || source.size() != d.size || indexed.size != d.size ||
        indexed.palette.empty() || indexed.palette.size() > 256 ||
        indexed.indices.size() != std::size_t(width) * std::size_t(height) ||
        source.format() != QImage::Format_RGB32 || delayCentiseconds > 65535) {
        return {EINVAL, std::generic_category()};
    }
    const int colours = int(indexed.palette.size());
    // A frame after the first leaves unchanged pixels transparent, given an
    // index to spare.
    const bool keepUnchanged = !d.first && colours < 256;
    const int transparent = keepUnchanged ? colours : -1;
    const int mapSize = powerOfTwoAtLeast(colours + (keepUnchanged ? 1 : 0));

    // The rectangle of pixels whose source colour differs from what is shown.
    int left = width;
    int right = -1;
    int top = height;
    int bottom = -1;
    std::vector<GifPixelType> pixels(indexed.indices.begin(), indexed.indices.end());
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        QRgb* shownRow = d.shown.data() + std::size_t(y) * std::size_t(width);
        GifPixelType* out = pixels.data() + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x) {
            const QRgb colour = row[x] | 0xff000000u;
            if (keepUnchanged && shownRow[x] == colour) {
                out[x] = GifPixelType(transparent);
                continue;
            }
            shownRow[x] = colour;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) {
        // Nothing changed: one transparent pixel keeps the frame's delay.
        left = right = top = bottom = 0;
    }
    const int cropWidth = right - left + 1;
    const int cropHeight = bottom - top + 1;

    ColorMapObject* map = GifMakeMapObject(mapSize, nullptr);
    if (!map) {
        return {ENOMEM, std::generic_category()};
    }
    for (int i = 0; i < mapSize; ++i) {
        const QRgb c = i < colours ? indexed.palette[std::size_t(i)] : 0;
        map->Colors[i] =
            GifColorType{GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))};
    }
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = delayCentiseconds >= 0 ? delayCentiseconds : d.delay;
    control.TransparentColor = transparent;
    GifByteType extension[4];
    const size_t extensionLength = EGifGCBToExtension(&control, extension);
    int status = EGifPutExtension(d.gif, GRAPHICS_EXT_FUNC_CODE, int(extensionLength), extension);
    if (status == GIF_OK) {
        status = EGifPutImageDesc(d.gif, left, top, cropWidth, cropHeight, false, map);
    }
    for (int y = top; y <= bottom && status == GIF_OK; ++y) {
        status = EGifPutLine(d.gif, pixels.data() + std::size_t(y) * std::size_t(width) + left,
                             cropWidth);
    }
    GifFreeMapObject(map);
    d.first = false;
    return d.error(status);
}

std::error_code GifWriter::finish() {
    State& d = *d_;
    if (d.finished) {
        return {EINVAL, std::generic_category()};
    }
    d.finished = true;
    int error = 0;
    const int status = EGifCloseFile(d.gif, &error);
    d.gif = nullptr;
    if (status != GIF_OK) {
        return d.error(status);
    }
    d.flush();
    return d.error(GIF_OK);
}

} // namespace platform
