#include "platform/FrameSource.h"

#include "platform/HalfSize.h"
#include "platform/RecordingTrace.h"
#include "platform/RegionGrabber.h"
#include "platform/TickGrid.h"
#include "platform/WindowComposer.h"

#include <QPainter>
#include <QTimer>

namespace platform {

class FrameSource::Ticker : public QObject {
public:
    Ticker(const Settings& settings, Deliver deliver, Failure failure, Fullness fullness)
        : settings_(settings)
        , deliver_(std::move(deliver))
        , failure_(std::move(failure))
        , fullness_(std::move(fullness))
        , grid_(hostTimeNow(), settings.fps) {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
    }

    ~Ticker() override {
        if (started_) {
            const std::int64_t due = grid_.tickAtOrBefore(hostTimeNow()) + 1;
            qCInfo(recordingTrace,
                   "frames: %lld ticks due, %lld grabbed, %lld left out while the encoder was "
                   "behind, %lld run past by a late grab, %lld grabs failed; a tick began "
                   "%.2f ms late on average (longest %.2f ms); a picture took %.2f ms on "
                   "average (longest %.2f ms)",
                   qlonglong(due), qlonglong(counts_.delivered), qlonglong(counts_.thinned),
                   qlonglong(counts_.runPast), qlonglong(counts_.failed), counts_.wake.meanMs(),
                   counts_.wake.longestMs(), counts_.picture.meanMs(), counts_.picture.longestMs());
        }
    }

    // On the source's thread.
    QString open() {
        grabber_ = RegionGrabber::open();
        composer_ = WindowComposer::open();
        if (grabber_ == nullptr || composer_ == nullptr) {
            return QObject::tr("No X server could be reached to record the screen.");
        }
        return {};
    }
    bool canCompose() const { return composer_->canCompose(); }

    void begin() {
        grid_ = TickGrid(hostTimeNow(), settings_.fps);
        started_ = true;
        schedule(0);
    }
    void setRegion(const QRect& region) { settings_.region = region; }
    void setWindows(const std::variant<WindowsLeftOut, WindowsShown>& windows) {
        settings_.windows = windows;
    }

private:
    void schedule(std::int64_t tick) {
        pending_ = tick;
        const HostTime wait = grid_.timeOf(tick) - hostTimeNow();
        // Timers count whole milliseconds; rounding up never fires early.
        timer_.start(wait <= 0 ? 0 : int((wait + 999'999) / 1'000'000));
    }

    void tick() {
        if (grabber_->isBroken() || composer_->isBroken()) {
            if (failure_) {
                failure_(QObject::tr("The connection to the X server was lost."));
            }
            return;
        }
        const std::int64_t tick = pending_;
        const HostTime began = hostTimeNow();
        counts_.wake.add(began - grid_.timeOf(tick));
        // A tick left out costs no grab: the time goes to what is behind.
        if (!fullness_ || thinning_.take(tick, fullness_())) {
            QImage image = picture();
            counts_.picture.add(hostTimeNow() - began);
            if (!image.isNull()) {
                ++counts_.delivered;
                deliver_(VideoFrame{std::move(image), grid_.timeOf(tick)});
            } else {
                ++counts_.failed;
            }
        } else {
            ++counts_.thinned;
        }
        const std::int64_t next = grid_.nextTick(tick, hostTimeNow());
        counts_.runPast += next - tick - 1;
        schedule(next);
    }

    QImage picture() {
        const QRect region = settings_.region;
        const auto* shown = std::get_if<WindowsShown>(&settings_.windows);
        QImage image;
        if (shown != nullptr && composer_->canCompose()) {
            image = composer_->composeShown(region, *shown, windowBackground());
        } else {
            image = grabber_->grab(region);
            const auto* leftOut = std::get_if<WindowsLeftOut>(&settings_.windows);
            if (!image.isNull() && leftOut != nullptr) {
                composer_->leaveOut(image, region, *leftOut);
            }
        }
        if (image.isNull()) {
            return image;
        }
        if (settings_.showCursor) {
            if (auto pointer = composer_->pointer()) {
                const QRect at(pointer->topLeft - region.topLeft(), pointer->image.size());
                if (at.intersects(image.rect())) {
                    QPainter painter(&image);
                    painter.drawImage(at.topLeft(), pointer->image);
                }
            }
        }
        return fitted(std::move(image), shown != nullptr);
    }

    QImage fitted(QImage image, bool keepAspect) const {
        const QSize size = settings_.outputSize;
        if (image.size() == size) {
            return image.format() == QImage::Format_RGB32
                       ? image
                       : image.convertToFormat(QImage::Format_RGB32);
        }
        if (!keepAspect) {
            // A display of scale 2 recorded at one pixel per point: each
            // pixel the average of its 2×2 block, fast enough for every tick.
            if (image.size() == 2 * size && image.format() == QImage::Format_RGB32) {
                if (QImage half = halfSize(image); !half.isNull()) {
                    return half;
                }
            }
            return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_RGB32);
        }
        QImage canvas(size, QImage::Format_RGB32);
        canvas.fill(windowBackground());
        const QImage scaled = image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPainter painter(&canvas);
        painter.drawImage((size.width() - scaled.width()) / 2,
                          (size.height() - scaled.height()) / 2, scaled);
        return canvas;
    }

    Settings settings_;
    Deliver deliver_;
    Failure failure_;
    Fullness fullness_;
    TickGrid grid_;
    TickThinning thinning_;
    std::int64_t pending_ = 0;
    bool started_ = false;
    // What became of the ticks, for the trace.
    struct Counts {
        std::int64_t delivered = 0;
        std::int64_t thinned = 0;
        std::int64_t runPast = 0;
        std::int64_t failed = 0;
        StepTimes wake;
        StepTimes picture;
    } counts_;
    QTimer timer_;
    std::unique_ptr<RegionGrabber> grabber_;
    std::unique_ptr<WindowComposer> composer_;
};

std::variant<std::unique_ptr<FrameSource>, QString>
FrameSource::start(QObject* thread, const Settings& settings, Deliver deliver, Failure failure,
                   Fullness fullness) {
    if (settings.outputSize.isEmpty() || settings.region.isEmpty() || settings.fps <= 0) {
        return QObject::tr("Nothing to record: the area is empty.");
    }
    std::unique_ptr<FrameSource> source(new FrameSource());
    QString error;
    QMetaObject::invokeMethod(
        thread,
        [&] {
            auto* ticker =
                new Ticker(settings, std::move(deliver), std::move(failure), std::move(fullness));
            error = ticker->open();
            if (!error.isEmpty()) {
                delete ticker;
                return;
            }
            source->canCompose_ = ticker->canCompose();
            source->ticker_ = ticker;
            ticker->begin();
        },
        Qt::BlockingQueuedConnection);
    if (source->ticker_ == nullptr) {
        return error;
    }
    return source;
}

FrameSource::~FrameSource() {
    stop();
}

void FrameSource::stop() {
    if (ticker_ == nullptr) {
        return;
    }
    Ticker* ticker = ticker_;
    ticker_ = nullptr;
    QMetaObject::invokeMethod(
        ticker, [ticker] { delete ticker; }, Qt::BlockingQueuedConnection);
}

void FrameSource::setRegion(const QRect& region) {
    if (ticker_ != nullptr) {
        Ticker* ticker = ticker_;
        QMetaObject::invokeMethod(ticker, [ticker, region] { ticker->setRegion(region); });
    }
}

void FrameSource::setWindows(const std::variant<WindowsLeftOut, WindowsShown>& windows) {
    if (ticker_ != nullptr) {
        Ticker* ticker = ticker_;
        QMetaObject::invokeMethod(ticker, [ticker, windows] { ticker->setWindows(windows); });
    }
}

} // namespace platform
