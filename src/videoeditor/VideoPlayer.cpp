#include "videoeditor/VideoPlayer.h"

#include "app/Recording.h"
#include "desktop/DigitFont.h"
#include "platform/MoviePlayback.h"
#include "platform/SoundOutput.h"
#include "videoeditor/DrawnIcon.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace videoeditor {

namespace {
// How far decoding runs ahead of what is shown.
constexpr std::size_t maxPictures = 8;
constexpr double maxSoundAhead = 1.5; // seconds
// The output starts once it holds this much.
constexpr double soundPrime = 0.2;
static_assert(platform::MoviePlayback::soundRate == platform::SoundOutput::rate);
constexpr int tickMs = 5;
constexpr double sliderUnit = 1000; // slider steps per second
} // namespace

// Decodes on its own thread, ahead of the clock, into two short queues.
class PlaybackWorker {
public:
    struct Picture {
        QImage image;
        double time = 0;
        int generation = 0;
    };
    struct Sound {
        std::vector<float> samples;
        double time = 0;
        int generation = 0;
    };

    // Set once the movie is open: its length (0 when unknown) and whether it
    // has sound, with the output to play it through when a sound server
    // answered; a movie that cannot be read, or whose first picture does not
    // decode (cut off or damaged), gives failed.
    struct Info {
        bool failed = false;
        double duration = 0;
        bool hasAudio = false;
        std::shared_ptr<platform::SoundOutput> output;
    };

    // `opened` is called on the worker's thread.
    PlaybackWorker(QString path, std::function<void(Info)> opened)
        : path_(std::move(path)), onOpened_(std::move(opened)) {
        thread_ = std::thread([this] { run(); });
    }
    ~PlaybackWorker() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    // A new position: everything decoded before is dropped. Gives the
    // generation that pictures and sound from there on carry.
    int seek(double seconds) {
        std::lock_guard lock(mutex_);
        seekTo_ = seconds;
        ++generation_;
        pictures_.clear();
        sounds_.clear();
        soundAhead_ = 0;
        ended_ = false;
        wake_.notify_all();
        return generation_;
    }

    void setPictureSize(QSize size) {
        std::lock_guard lock(mutex_);
        size_ = size;
    }

    // The latest picture due at `upTo` (or the first one waiting), with the
    // count of those due before it, which are passed over.
    std::optional<Picture> takePicture(int generation, double upTo, bool first, int& passed) {
        std::lock_guard lock(mutex_);
        std::optional<Picture> taken;
        passed = 0;
        while (!pictures_.empty() && pictures_.front().generation == generation &&
               (first || pictures_.front().time <= upTo)) {
            passed += taken ? 1 : 0;
            taken = std::move(pictures_.front());
            pictures_.pop_front();
            first = false;
        }
        wake_.notify_all();
        return taken;
    }

    std::optional<Sound> takeSound(int generation) {
        std::lock_guard lock(mutex_);
        if (sounds_.empty() || sounds_.front().generation != generation) {
            return std::nullopt;
        }
        Sound sound = std::move(sounds_.front());
        sounds_.pop_front();
        soundAhead_ -= double(sound.samples.size() / 2) / platform::MoviePlayback::soundRate;
        wake_.notify_all();
        return sound;
    }

    // No more sound will come for this generation.
    bool soundFinished(int generation) const {
        std::lock_guard lock(mutex_);
        return generation == generation_ && ended_ && sounds_.empty();
    }

    // Nothing more will come for this generation.
    bool drained(int generation) const {
        std::lock_guard lock(mutex_);
        return generation == generation_ && ended_ && pictures_.empty() && sounds_.empty();
    }

private:
    // A readable header says nothing of the data behind it: a movie cut off
    // after its index opens with its full length and shows nothing. The
    // first picture decides, decoded small; playing starts from the top.
    static bool decodesAPicture(platform::MoviePlayback& playback) {
        platform::MoviePlayback::Picture picture;
        platform::MoviePlayback::Sound sound;
        for (;;) {
            switch (playback.next(QSize(16, 16), picture, sound)) {
            case platform::MoviePlayback::Next::picture:
                return playback.seek(0);
            case platform::MoviePlayback::Next::sound:
                continue;
            case platform::MoviePlayback::Next::end:
                return false;
            }
        }
    }

    void run() {
        std::unique_ptr<platform::MoviePlayback> playback = platform::MoviePlayback::open(path_);
        if (playback && !decodesAPicture(*playback)) {
            playback.reset();
        }
        Info info;
        info.failed = !playback;
        if (playback) {
            info.duration = playback->duration();
            info.hasAudio = playback->hasAudio();
        }
        if (info.hasAudio) {
            // Here rather than on the main thread: a server that is slow to
            // answer holds up nothing but the sound.
            auto opened = platform::SoundOutput::open(QStringLiteral("Video Editor"));
            if (auto* output = std::get_if<std::unique_ptr<platform::SoundOutput>>(&opened)) {
                info.output = std::move(*output);
            }
        }
        if (onOpened_) {
            onOpened_(info);
        }
        platform::MoviePlayback::Picture picture;
        platform::MoviePlayback::Sound sound;
        for (;;) {
            int generation = 0;
            QSize size;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] {
                    return stopping_ || seekTo_ ||
                           (!ended_ && pictures_.size() < maxPictures &&
                            soundAhead_ < maxSoundAhead);
                });
                if (stopping_) {
                    return;
                }
                if (!playback) {
                    ended_ = true;
                    seekTo_.reset();
                    continue;
                }
                if (seekTo_) {
                    const double target = *seekTo_;
                    seekTo_.reset();
                    lock.unlock();
                    const bool sought = playback->seek(target);
                    lock.lock();
                    if (!sought) {
                        ended_ = true;
                    }
                    continue;
                }
                generation = generation_;
                size = size_;
            }
            const platform::MoviePlayback::Next next = playback->next(size, picture, sound);
            std::lock_guard lock(mutex_);
            if (generation != generation_ || seekTo_) {
                continue; // sought meanwhile: this belongs to the old place
            }
            switch (next) {
            case platform::MoviePlayback::Next::picture:
                pictures_.push_back(Picture{std::move(picture.image), picture.time, generation});
                break;
            case platform::MoviePlayback::Next::sound:
                soundAhead_ +=
                    double(sound.samples.size() / 2) / platform::MoviePlayback::soundRate;
                sounds_.push_back(Sound{std::move(sound.samples), sound.time, generation});
                break;
            case platform::MoviePlayback::Next::end:
                ended_ = true;
                break;
            }
        }
    }

    const QString path_;
    const std::function<void(Info)> onOpened_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::optional<double> seekTo_ = 0.0;
    int generation_ = 0;
    QSize size_;
    std::deque<Picture> pictures_;
    std::deque<Sound> sounds_;
    double soundAhead_ = 0;
    bool ended_ = false;
};

// Where the pictures are drawn: black around the picture, which is fitted
// with its aspect kept.
class VideoSurface : public QWidget {
public:
    explicit VideoSurface(VideoPlayer* player) : QWidget(player), player_(player) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setObjectName(QStringLiteral("videoSurface"));
        setMinimumSize(160, 90);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        const QImage frame = player_->currentFrame();
        if (frame.isNull()) {
            return;
        }
        const qreal ratio = frame.devicePixelRatio();
        const QSizeF logical = QSizeF(frame.size()) / ratio;
        const QSizeF fitted = logical.scaled(QSizeF(size()), Qt::KeepAspectRatio);
        const QRectF target(
            QPointF((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, frame);
        if (!player_->framePainted_) {
            player_->framePainted_ = true;
            ++player_->framesPainted_;
        }
    }

private:
    VideoPlayer* player_;
};

namespace {

// Play and pause drawn light, to stand on the player's black.
QIcon playIcon(bool pause) {
    return drawnIcon([&](QPainter& painter) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(235, 235, 235));
        if (pause) {
            painter.drawRoundedRect(QRectF(3.5, 2.5, 3.5, 11), 1, 1);
            painter.drawRoundedRect(QRectF(9, 2.5, 3.5, 11), 1, 1);
        } else {
            const QPointF triangle[] = {{4, 2}, {14, 8}, {4, 14}};
            painter.drawPolygon(triangle, 3);
        }
    });
}

QString timeText(double seconds) {
    return app::durationText(seconds);
}

} // namespace

VideoPlayer::VideoPlayer(const QString& path, QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, Qt::black);
    setPalette(dark);

    surface_ = new VideoSurface(this);
    playButton_ = new QToolButton(this);
    playButton_->setObjectName(QStringLiteral("playButton"));
    playButton_->setAutoRaise(true);
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName(QStringLiteral("positionSlider"));
    slider_->setEnabled(false);
    timeLabel_ = new QLabel(this);
    timeLabel_->setObjectName(QStringLiteral("timeLabel"));
    QPalette light = timeLabel_->palette();
    light.setColor(QPalette::WindowText, QColor(230, 230, 230));
    timeLabel_->setPalette(light);
    timeLabel_->setFont(desktop::withFixedWidthDigits(timeLabel_->font()));

    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(8, 4, 8, 4);
    controls->setSpacing(8);
    controls->addWidget(playButton_);
    controls->addWidget(slider_, 1);
    controls->addWidget(timeLabel_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(surface_, 1);
    layout->addLayout(controls);

    connect(playButton_, &QToolButton::clicked, this, [this] { playing_ ? pause() : play(); });
    connect(slider_, &QSlider::sliderPressed, this, [this] { sliderHeld_ = true; });
    connect(slider_, &QSlider::sliderReleased, this, [this] { sliderHeld_ = false; });
    connect(slider_, &QSlider::sliderMoved, this,
            [this](int value) { seek(double(value) / sliderUnit); });
    connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
        // Clicks on the groove and the keyboard step the slider themselves.
        if (action != QAbstractSlider::SliderMove) {
            QTimer::singleShot(0, this, [this] { seek(double(slider_->value()) / sliderUnit); });
        }
    });

    timer_ = new QTimer(this);
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(tickMs);
    connect(timer_, &QTimer::timeout, this, &VideoPlayer::tick);

    const QPointer<VideoPlayer> self(this);
    worker_ = std::make_unique<PlaybackWorker>(path, [self](PlaybackWorker::Info info) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, info] {
                if (!self) {
                    return;
                }
                if (!info.failed) {
                    self->duration_ = info.duration;
                    self->hasSound_ = info.hasAudio;
                    self->output_ = info.output;
                    self->slider_->setRange(0, int(std::lround(info.duration * sliderUnit)));
                    self->slider_->setEnabled(true);
                } else {
                    self->playButton_->setEnabled(false);
                }
                self->updateControls();
                Q_EMIT self->opened(info.failed ? std::nullopt
                                                : std::optional<double>(info.duration));
            },
            Qt::QueuedConnection);
    });
    generation_ = 0;
    needFrame_ = true;
    timer_->start();
    updateControls();
}

VideoPlayer::~VideoPlayer() {
    stopSound();
    worker_.reset();
}

QSize VideoPlayer::pictureSize() const {
    // The surface in device pixels; the worker keeps the movie's aspect by
    // the size given, so the box is fitted here.
    const qreal ratio = devicePixelRatioF();
    return (QSizeF(surface_->size()) * ratio).toSize().expandedTo(QSize(2, 2));
}

double VideoPlayer::position() const {
    if (!playing_) {
        return pausedAt_;
    }
    double played = 0;
    if (soundRunning_) {
        played = output_->played();
    } else {
        played = double(steady_.nsecsElapsed()) / 1e9;
    }
    return clockBase_ + played;
}

void VideoPlayer::play() {
    if (playing_ || !duration_) {
        return;
    }
    double from = pausedAt_;
    const double end = rangeEnd_.value_or(*duration_);
    if (from < rangeStart_ || from >= end - 0.01) {
        from = rangeStart_;
    }
    seek(from);
    playing_ = true;
    startClock(from);
    updateControls();
    Q_EMIT playingChanged(true);
}

void VideoPlayer::pause() {
    if (!playing_) {
        return;
    }
    pausedAt_ = position();
    playing_ = false;
    stopSound();
    // The sound decoded ahead is dropped with the sink; playing again
    // decodes from here.
    updateControls();
    Q_EMIT playingChanged(false);
}

void VideoPlayer::seek(double seconds) {
    double target = std::max(seconds, 0.0);
    if (duration_) {
        target = std::clamp(target, rangeStart_, rangeEnd_.value_or(*duration_));
    }
    generation_ = worker_->seek(target);
    pausedAt_ = target;
    if (playing_) {
        startClock(target);
    }
    frameTime_ = target;
    // The picture at the new place shows at once, also while paused.
    needFrame_ = true;
    updateControls();
    Q_EMIT positionChanged(target);
}

void VideoPlayer::setPlayableRange(double start, double end) {
    rangeStart_ = std::max(start, 0.0);
    rangeEnd_ = end;
    const double now = position();
    if (now < rangeStart_ || now > end) {
        seek(rangeStart_);
    }
    updateControls();
}

void VideoPlayer::startClock(double from) {
    stopSound();
    clockBase_ = from;
    steady_.start();
    if (!hasSound_ || !output_) {
        return;
    }
    if (!output_->start(soundPrime)) {
        // The server went away or refused: the steady clock from now on.
        output_.reset();
        return;
    }
    soundRunning_ = true;
    lastPlayed_ = -1;
    soundStall_.start();
}

void VideoPlayer::stopSound() {
    if (soundRunning_) {
        output_->stop();
        soundRunning_ = false;
    }
}

void VideoPlayer::soundToSteadyClock() {
    const double reached = position();
    stopSound();
    clockBase_ = reached;
    steady_.start();
}

bool VideoPlayer::soundWaiting() const {
    return soundRunning_ && output_->played() < output_->written();
}

void VideoPlayer::feedSound() {
    if (!soundRunning_) {
        // No output: the sound decoded is dropped as the clock passes it.
        while (worker_->takeSound(generation_)) {
        }
        return;
    }
    const double played = output_->played();
    // The output's clock moving is what counts: an output that takes sound
    // but stops playing it would stop the pictures too.
    if (played != lastPlayed_) {
        lastPlayed_ = played;
        soundStall_.start();
    }
    while (output_->wanted() > 0) {
        std::optional<PlaybackWorker::Sound> sound = worker_->takeSound(generation_);
        if (!sound) {
            break;
        }
        if (!output_->write(sound->samples.data(), sound->samples.size() / 2)) {
            break;
        }
    }
    if (worker_->soundFinished(generation_)) {
        output_->finish();
    }
}

VideoPlayer::FrameCounts VideoPlayer::frameCounts() const {
    return FrameCounts{framesPainted_, framesTaken_ - framesPainted_ - (framePainted_ ? 0 : 1)};
}

void VideoPlayer::showFrame(const QImage& image, double time) {
    ++framesTaken_;
    framePainted_ = false;
    frame_ = image;
    frame_.setDevicePixelRatio(devicePixelRatioF());
    frameTime_ = time;
    surface_->update();
}

void VideoPlayer::tick() {
    if (!worker_) {
        return;
    }
    // The pictures come at the surface's device pixels, fitted to the
    // movie's aspect once its first picture told it.
    QSize box = pictureSize();
    if (!frame_.isNull()) {
        box = (QSizeF(frame_.size()) / frame_.devicePixelRatio() * devicePixelRatioF())
                  .toSize()
                  .scaled(box, Qt::KeepAspectRatio)
                  .expandedTo(QSize(2, 2));
    } else {
        box = QSize(); // the first picture at its own size tells the aspect
    }
    worker_->setPictureSize(box);

    if (playing_) {
        feedSound();
        const bool soundEnded =
            soundRunning_ && !soundWaiting() && worker_->soundFinished(generation_);
        // Neither may sound that stops coming (a track that cannot be
        // decoded) nor an output whose clock stands still hold the pictures;
        // the first sound may take a little longer, decoded from a key frame.
        const bool soundStalled =
            soundRunning_ && soundStall_.elapsed() > (lastPlayed_ > 0 ? 1000 : 2000);
        const bool soundBroken = soundRunning_ && output_->failed();
        if (soundEnded || soundStalled || soundBroken) {
            // The pictures go on by the steady clock from where the sound
            // stopped.
            soundToSteadyClock();
            if (soundBroken) {
                output_.reset();
            }
        }
    }
    const double now = position();
    int passed = 0;
    if (std::optional<PlaybackWorker::Picture> picture =
            worker_->takePicture(generation_, now, needFrame_, passed)) {
        framesTaken_ += passed;
        needFrame_ = false;
        showFrame(picture->image, picture->time);
    }
    if (playing_) {
        const double end = rangeEnd_.value_or(duration_.value_or(0));
        if ((duration_ && now >= end) || (worker_->drained(generation_) && !soundWaiting())) {
            pause();
            pausedAt_ = std::min(now, end);
        }
        if (!sliderHeld_) {
            updateControls();
        }
        Q_EMIT positionChanged(now);
    }
}

void VideoPlayer::updateControls() {
    playButton_->setIcon(playIcon(playing_));
    //: Tooltip of the video editor's play/pause button
    playButton_->setToolTip(playing_ ? tr("Pause") : tr("Play"));
    const double now = position();
    // The slider and the times span the playable part alone: after a trim
    // they read as the trimmed movie, from 0:00 to its length.
    const double start = duration_ ? std::min(rangeStart_, *duration_) : 0;
    const double end = duration_ ? std::max(start, rangeEnd_.value_or(*duration_)) : 0;
    if (!sliderHeld_) {
        const QSignalBlocker quiet(slider_);
        if (duration_) {
            slider_->setRange(int(std::lround(start * sliderUnit)),
                              int(std::lround(end * sliderUnit)));
        }
        slider_->setValue(int(std::lround(now * sliderUnit)));
    }
    timeLabel_->setText(duration_ ? timeText(std::clamp(now, start, end) - start) +
                                        QStringLiteral(" / ") + timeText(end - start)
                                  : QStringLiteral("–:–– / –:––"));
}

} // namespace videoeditor
