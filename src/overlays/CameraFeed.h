#pragma once

#include <QCameraDevice>
#include <QCameraFormat>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QCamera;
class QMediaCaptureSession;
class QVideoFrame;
class QVideoSink;

namespace desktop {
class SerialQueue;
}

namespace overlays {

// The camera picture the bubble shows: a capture session, set up, started
// and stopped on the "Vexlin.camera" thread, whose frames reach the main
// thread as images. It never records: the bubble draws the picture on screen
// and the recording captures it there. A camera that is missing, busy or
// refused gives no frames and no report; the bubble stays grey.
class CameraFeed final : public QObject {
    Q_OBJECT
public:
    CameraFeed();
    ~CameraFeed() override;

    // Uses the camera `deviceID` names (else the default one) at a medium
    // format, replacing the one before, and starts it; `onDone` runs on the
    // main thread once that is done.
    void configure(const std::optional<QString>& deviceID, std::function<void()> onDone = {});
    // Stops the picture; a later configure() starts it again.
    void stop();

    static QList<QCameraDevice> availableDevices();
    // The camera for a stored id: that one while it is plugged in, else the
    // default camera; none when there is no camera at all.
    static std::optional<QCameraDevice> device(const std::optional<QString>& deviceID);
    // The same choice over the cameras' ids: the index of the stored one,
    // else of the default one, else the first; none without cameras.
    static std::optional<qsizetype> chosenIndex(const std::optional<QString>& deviceID,
                                                const QList<QByteArray>& ids,
                                                const QByteArray& defaultID);
    // About 640 × 480 at 30 frames a second, or the nearest the camera has.
    static QCameraFormat mediumFormat(const QCameraDevice& device);

    // Whether a camera was opened at the last configure() (tests).
    bool hasInput() const { return hasInput_; }
    // Hands `frame` to the picture's sink on the camera thread, as a camera
    // does (tests: the test machines have none). An invalid frame is what
    // the sink gets when the camera's stream ends.
    void pushFrame(const QVideoFrame& frame);

Q_SIGNALS:
    // A new picture, on the main thread; a null image when the camera went.
    void frameArrived(const QImage& frame);

private:
    void configureOnQueue(const std::optional<QString>& deviceID);
    void makeSession();
    // The camera stopped giving pictures (unplugged, taken, failed).
    void lost();

    std::unique_ptr<desktop::SerialQueue> queue_;
    // Owned by the queue's thread.
    QMediaCaptureSession* session_ = nullptr;
    QCamera* camera_ = nullptr;
    QVideoSink* sink_ = nullptr;
    // A frame is on its way to the main thread; newer ones wait for it.
    std::shared_ptr<std::atomic<bool>> framePending_ = std::make_shared<std::atomic<bool>>(false);
    std::atomic<bool> hasInput_ = false;
};

// Opens the desktop's camera settings where the desktop has them; nothing
// otherwise.
void openCameraPrivacySettings();

} // namespace overlays
