#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class QAudioSink;
class QIODevice;
class QLabel;
class QSlider;
class QTimer;
class QToolButton;

namespace videoeditor {

class PlaybackWorker;
class SoundFeed;

// Plays one movie: its pictures drawn at the widget's device pixels, its
// sound (every track mixed) through the default output, with inline controls
// below (play and pause, a position slider, the current and total time).
// Decoding runs on a thread of its own; the picture follows the sound's
// clock, or a steady clock when there is no sound to play. Main thread only.
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
    // Whether sound goes to an output (false: the steady clock runs).
    bool playsSound() const { return sink_ != nullptr; }

Q_SIGNALS:
    // The movie is open: its length is known (or it could not be read).
    void opened(std::optional<double> duration);
    void positionChanged(double seconds);
    void playingChanged(bool playing);

private:
    void tick();
    void startClock(double from);
    void feedSound();
    void updateControls();
    void stopSound();
    // Sound handed to the output that it has not taken yet.
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
    // Since sound last went to the output.
    QElapsedTimer soundStall_;
    QAudioSink* sink_ = nullptr;
    SoundFeed* soundFeed_ = nullptr;
    bool soundStarted_ = false;
    qint64 lastProcessed_ = -1;
    bool floatSound_ = true;
    bool hasSound_ = false;
    QImage frame_;
    double frameTime_ = 0;
    int generation_ = 0;
    bool sliderHeld_ = false;
    bool needFrame_ = true;
};

} // namespace videoeditor
