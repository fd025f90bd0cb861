#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

namespace platform {

// Decodes a movie in order for playing it: its pictures at a chosen size and
// its sound, every track mixed into one, as 48 kHz interleaved stereo floats.
// One thread at a time.
class MoviePlayback {
public:
    static constexpr int soundRate = 48000;

    // Nothing when the file cannot be opened or has no picture to decode.
    static std::unique_ptr<MoviePlayback> open(const QString& path);
    ~MoviePlayback();
    MoviePlayback(const MoviePlayback&) = delete;
    MoviePlayback& operator=(const MoviePlayback&) = delete;

    // Seconds; 0 when the file states no length.
    double duration() const;
    // Whether a sound track can be decoded.
    bool hasAudio() const;
    QSize frameSize() const;

    // Goes to the key frame at or before `seconds` and decodes from there:
    // the first picture then delivered is the one shown at `seconds`, and the
    // sound starts there.
    bool seek(double seconds);

    struct Picture {
        QImage image; // RGB32
        double time = 0;
    };
    struct Sound {
        std::vector<float> samples;
        double time = 0;
    };
    enum class Next { picture, sound, end };
    // Decodes until a picture (scaled to exactly `size`, the frame size when
    // empty) or a piece of sound is ready; end at the end of the movie or
    // where it cannot be decoded further.
    Next next(QSize size, Picture& picture, Sound& sound);

private:
    struct State;
    explicit MoviePlayback(std::unique_ptr<State> state);
    std::unique_ptr<State> d_;
};

} // namespace platform
