#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

// Reads a movie file (MP4, MOV and whatever else FFmpeg opens): its length,
// whether it carries sound, and single frames as images. One reader serves one
// thread at a time; readers of different files may run on as many threads as
// there are.
class MovieReader {
public:
    // A reader of the file's best video stream; nothing when the file cannot be
    // opened, is no movie FFmpeg knows, or has no video stream it can decode.
    static std::unique_ptr<MovieReader> open(const QString& path);
    ~MovieReader();
    MovieReader(const MovieReader&) = delete;
    MovieReader& operator=(const MovieReader&) = delete;

    // The length in seconds; none when the container states none.
    std::optional<double> duration() const;
    bool hasAudio() const;
    // The picture's size as it is shown (non-square pixels made square).
    QSize frameSize() const;

    // The frame shown at `seconds` from the start (0: the first frame), scaled
    // to fit inside `box` with its aspect kept and never enlarged; an empty
    // box gives the frame at frameSize(). A null image when no frame can be
    // decoded there.
    QImage frameAt(double seconds, QSize box = QSize());

    // Decodes the movie once from its start, in order, and hands `deliver`
    // the frame shown at each of `times` (seconds from the start, ascending):
    // the last frame that starts at or before the time, or the first frame
    // for a time before it, scaled to exactly `size` (frameSize() when
    // empty). A frame serving several times is converted once. Stops when
    // deliver returns false, which counts as success. Fails when no frame can
    // be decoded or the movie breaks off before the last time is served: a
    // read or decoding error, or fewer frames than its index lists (a file
    // cut short); what was delivered until then stands.
    enum class Sampled { done, failed };
    Sampled
    sampleFrames(const std::vector<double>& times, QSize size,
                 const std::function<bool(std::size_t index, const QImage& frame)>& deliver);

private:
    struct State;
    explicit MovieReader(std::unique_ptr<State> state);
    std::unique_ptr<State> d_;
};

} // namespace platform
