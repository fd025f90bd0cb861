#include "overlays/CameraFeed.h"

#include "desktop/SerialQueue.h"
#include "platform/PermissionProbe.h"

#include <QCamera>
#include <QCoreApplication>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QPointer>
#include <QVideoFrame>
#include <QVideoSink>

#include <cmath>
#include <limits>

namespace overlays {

CameraFeed::CameraFeed() : queue_(std::make_unique<desktop::SerialQueue>("Vexlin.camera")) {}

CameraFeed::~CameraFeed() {
    // The session's objects end on their own thread.
    queue_->sync([this] {
        delete session_;
        delete camera_;
        delete sink_;
        session_ = nullptr;
        camera_ = nullptr;
        sink_ = nullptr;
    });
    queue_.reset();
}

QList<QCameraDevice> CameraFeed::availableDevices() {
    return QMediaDevices::videoInputs();
}

std::optional<qsizetype> CameraFeed::chosenIndex(const std::optional<QString>& deviceID,
                                                 const QList<QByteArray>& ids,
                                                 const QByteArray& defaultID) {
    if (deviceID) {
        const qsizetype stored = ids.indexOf(deviceID->toUtf8());
        if (stored >= 0) {
            return stored;
        }
    }
    const qsizetype fallback = defaultID.isEmpty() ? -1 : ids.indexOf(defaultID);
    if (fallback >= 0) {
        return fallback;
    }
    if (!ids.isEmpty()) {
        return 0;
    }
    return std::nullopt;
}

std::optional<QCameraDevice> CameraFeed::device(const std::optional<QString>& deviceID) {
    const QList<QCameraDevice> devices = availableDevices();
    QList<QByteArray> ids;
    for (const QCameraDevice& device : devices) {
        ids.append(device.id());
    }
    const std::optional<qsizetype> index =
        chosenIndex(deviceID, ids, QMediaDevices::defaultVideoInput().id());
    return index ? std::optional<QCameraDevice>(devices.at(*index)) : std::nullopt;
}

QCameraFormat CameraFeed::mediumFormat(const QCameraDevice& device) {
    QCameraFormat best;
    double bestScore = std::numeric_limits<double>::max();
    for (const QCameraFormat& format : device.videoFormats()) {
        const QSize size = format.resolution();
        const double sizeMiss =
            std::abs(std::log(std::max(1, size.width() * size.height()) / (640.0 * 480.0)));
        const double rateMiss = format.maxFrameRate() >= 30 ? 0 : (30 - format.maxFrameRate()) / 30;
        const double score = sizeMiss + rateMiss;
        if (score < bestScore) {
            bestScore = score;
            best = format;
        }
    }
    return best;
}

void CameraFeed::configure(const std::optional<QString>& deviceID, std::function<void()> onDone) {
    QPointer<CameraFeed> self(this);
    queue_->async([this, self, deviceID, onDone = std::move(onDone)] {
        configureOnQueue(deviceID);
        QMetaObject::invokeMethod(
            qApp,
            [self, onDone] {
                if (self && onDone)
                    onDone();
            },
            Qt::QueuedConnection);
    });
}

void CameraFeed::makeSession() {
    if (session_) {
        return;
    }
    session_ = new QMediaCaptureSession();
    sink_ = new QVideoSink();
    session_->setVideoSink(sink_);
    QPointer<CameraFeed> self(this);
    std::shared_ptr<std::atomic<bool>> pending = framePending_;
    QObject::connect(sink_, &QVideoSink::videoFrameChanged, sink_,
                     [self, pending](const QVideoFrame& frame) {
                         // The end of the stream is never dropped: the
                         // bubble would keep its last picture.
                         if (!frame.isValid()) {
                             QMetaObject::invokeMethod(
                                 qApp,
                                 [self] {
                                     if (self)
                                         Q_EMIT self->frameArrived(QImage());
                                 },
                                 Qt::QueuedConnection);
                             return;
                         }
                         if (pending->exchange(true)) {
                             return;
                         }
                         QImage image = frame.toImage();
                         QMetaObject::invokeMethod(
                             qApp,
                             [self, pending, image] {
                                 pending->store(false);
                                 if (self)
                                     Q_EMIT self->frameArrived(image);
                             },
                             Qt::QueuedConnection);
                     });
}

void CameraFeed::lost() {
    QPointer<CameraFeed> self(this);
    QMetaObject::invokeMethod(
        qApp,
        [self] {
            if (self)
                Q_EMIT self->frameArrived(QImage());
        },
        Qt::QueuedConnection);
}

void CameraFeed::configureOnQueue(const std::optional<QString>& deviceID) {
    makeSession();
    // One input at a time: the old camera goes first.
    session_->setCamera(nullptr);
    delete camera_;
    camera_ = nullptr;
    hasInput_ = false;
    const std::optional<QCameraDevice> chosen = device(deviceID);
    if (!chosen) {
        return;
    }
    camera_ = new QCamera(*chosen);
    const QCameraFormat format = mediumFormat(*chosen);
    if (!format.isNull()) {
        camera_->setCameraFormat(format);
    }
    // Unplugged or taken by another program: the picture goes grey rather
    // than keeping its last frame.
    QObject::connect(camera_, &QCamera::errorOccurred, camera_, [this] { lost(); });
    QObject::connect(camera_, &QCamera::activeChanged, camera_, [this](bool active) {
        if (!active)
            lost();
    });
    session_->setCamera(camera_);
    camera_->start();
    hasInput_ = camera_->error() == QCamera::NoError;
}

void CameraFeed::pushFrame(const QVideoFrame& frame) {
    queue_->async([this, frame] {
        makeSession();
        sink_->setVideoFrame(frame);
    });
}

void CameraFeed::stop() {
    queue_->async([this] {
        if (camera_) {
            camera_->stop();
        }
    });
}

void openCameraPrivacySettings() {
    platform::PermissionProbe& probe = platform::PermissionProbe::system();
    if (probe.canOpenSettings(platform::Permission::camera)) {
        probe.openSettings(platform::Permission::camera);
    }
}

} // namespace overlays
