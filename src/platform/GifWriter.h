#pragma once

#include "platform/IndexedImage.h"

#include <QImage>
#include <QSize>

#include <memory>
#include <system_error>

namespace platform {

// Writes an endlessly looping animated GIF frame by frame (giflib), every
// frame with its own palette and delay. Only what changed is
// stored: a frame's pixels that equal what an earlier frame drew there stay
// transparent, and the frame is cut to the rectangle that changed, so a still
// stretch of a recording costs next to nothing.
class GifWriter {
public:
    // Starts the GIF on fd (open for writing; not closed here) with frames of
    // `size` shown for delayCentiseconds each unless add() says otherwise.
    // Nothing for an empty size or a delay outside 0 to 65535.
    static std::unique_ptr<GifWriter> begin(int fd, QSize size, int delayCentiseconds);
    ~GifWriter();
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    // Adds the next frame: `indexed` is `source` (RGB32 of the GIF's size)
    // reduced to at most 255 colours, which leaves one index for
    // transparency. It shows for `delayCentiseconds` (0 to 65535), or for
    // the delay given at the start when that is negative.
    std::error_code add(const QImage& source, const IndexedImage& indexed,
                        int delayCentiseconds = -1);
    // Ends the file and writes what is buffered. Nothing is written after.
    std::error_code finish();

private:
    struct State;
    explicit GifWriter(std::unique_ptr<State> state);
    std::unique_ptr<State> d_;
};

} // namespace platform
