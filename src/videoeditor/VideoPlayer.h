#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

namespace platform {
class SoundOutput;
}

class QLabel;
class QSlider;
class QTimer;
class QToolButton;

namespace videoeditor {

class PlaybackWorker;

// Plays one movie: its pictures drawn at the widget's device pixels, its
// sound (every track mixed) through the sound server's default output, with
// inline controls below (play and pause, a position slider, the current and
// total time). Decoding runs on a thread of its own; the picture follows what
// the output has played, or a steady clock when there is no sound to play
// (no track, no sound server, or an output that stopped). Main thread only.
class VideoPlayer : public QWidget {
    Q_OBJECT
public:
    explicit VideoPlayer(const QString& path, QWidget* parent = nullptr);
    ~VideoPlayer() override;

    // Seconds; none until the movie is open (or when it cannot be).
    std::optional<double> duration() const { return duration_; }
    double position() const;
    bool isPlaying() const { return playing_; }

    void play();
    void pause();
    // Shows the picture at `seconds` (kept within the playable range).
    void seek(double seconds);

    // Playing keeps within [start, end]: it starts at start when outside and
    // stops at end. Before the length is known the whole movie plays.
    void setPlayableRange(double start, double end);

    // The picture shown now (null before the first one).
    QImage currentFrame() const { return frame_; }
    // Pictures drawn on the screen, and pictures decoded that never were
    // (passed over because they came too late), since the player opened.
    struct FrameCounts {
        long long shown = 0;
        long long dropped = 0;
    };
    FrameCounts frameCounts() const;
    // Whether sound goes to an output and its clock is the one the
    // pictures follow (false: the steady clock runs).
    bool playsSound() const { return soundRunning_; }

Q_SIGNALS:
    // The movie is open: its length is known (or it could not be read).
    void opened(std::optional<double> duration);
    void positionChanged(double seconds);
    void playingChanged(bool playing);

private:
    friend class VideoSurface;
    void tick();
    void startClock(double from);
    void feedSound();
    void updateControls();
    void stopSound();
    // The steady clock from where the sound got to.
    void soundToSteadyClock();
    // Sound handed to the output that has not been heard yet.
    bool soundWaiting() const;
    QSize pictureSize() const;
    void showFrame(const QImage& image, double time);

    std::unique_ptr<PlaybackWorker> worker_;
    QWidget* surface_ = nullptr;
    QToolButton* playButton_ = nullptr;
    QSlider* slider_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    QTimer* timer_ = nullptr;

    std::optional<double> duration_;
    double rangeStart_ = 0;
    std::optional<double> rangeEnd_;
    bool playing_ = false;
    // The clock: position = clockBase_ + what played since it started.
    double clockBase_ = 0;
    double pausedAt_ = 0;
    QElapsedTimer steady_;
    // Since the output's clock last moved.
    QElapsedTimer soundStall_;
    // Connected once the movie is open, when it has sound and a sound server
    // answers; dropped when the server goes away.
    std::shared_ptr<platform::SoundOutput> output_;
    bool soundRunning_ = false;
    double lastPlayed_ = -1;
    bool hasSound_ = false;
    QImage frame_;
    double frameTime_ = 0;
    long long framesTaken_ = 0;
    long long framesPainted_ = 0;
    bool framePainted_ = true;
    int generation_ = 0;
    bool sliderHeld_ = false;
    bool needFrame_ = true;
};

} // namespace videoeditor
