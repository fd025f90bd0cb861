// Shows a recording session's windows over a patterned screen and saves the
// screen in each phase: setup, countdown, recording (paused) and finishing.
//   x11_recbar_pictures OUT_PREFIX
#include "app/Preferences.h"
#include "platform/PermissionProbe.h"
#include "recording/RecordingSessionModel.h"
#include "recording/RecordingWindows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <cstdio>

namespace {

class Probe : public platform::PermissionProbe {
public:
    platform::PermissionStatus status(platform::Permission) override { return {true, {}}; }
    bool canOpenSettings(platform::Permission) override { return false; }
    void openSettings(platform::Permission) override {}
};

void settle() {
    for (int i = 0; i < 30; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        return 2;
    }
    const QString prefix = QString::fromLocal8Bit(argv[1]);
    QScreen* screen = QGuiApplication::primaryScreen();
    QWidget backdrop(nullptr, Qt::FramelessWindowHint);
    backdrop.setGeometry(screen->geometry());
    backdrop.setStyleSheet(QStringLiteral("background: qlineargradient(x1:0, y1:0, x2:1, y2:1, "
                                          "stop:0 #3a6ea5, stop:1 #d9e4f0);"));
    if (qEnvironmentVariableIsEmpty("NO_BACKDROP")) {
        backdrop.show();
    }

    QTemporaryDir dir;
    app::Preferences preferences(dir.path() + QStringLiteral("/settings.conf"));
    Probe probe;
    recording::RecordingSessionModel model(preferences, probe);
    model.setShowCursor(true);
    model.setSystemAudio(true);
    model.setNeedsInputMonitoring(true);
    // The camera option on with no camera to open: the bar's camera note.
    model.setShowCamera(true);
    model.setCameraDenied(true);

    recording::RecordingWindows windows;
    recording::SessionWindowsSetup setup;
    setup.model = &model;
    setup.display = {screen, 0, screen->devicePixelRatio(), QRectF(screen->geometry())};
    const QSize size = screen->geometry().size();
    setup.region = QRect(size.width() / 4, size.height() / 6, size.width() / 2, size.height() / 2);
    setup.reservesInputMonitoringNote = true;
    setup.reservesCameraNote = true;
    windows.present(setup);
    settle();
    auto shoot = [&](const char* phase) {
        settle();
        screen->grabWindow(0).save(prefix + QLatin1String(phase) + QStringLiteral(".png"));
    };
    fprintf(stderr, "panel %d %d %d %d visible %d mask %d\n", windows.controlPanel()->x(),
            windows.controlPanel()->y(), windows.controlPanel()->width(),
            windows.controlPanel()->height(), windows.controlPanel()->isVisible(),
            int(windows.controlPanel()->surface()->deviceMask().rectCount()));
    shoot("setup");
    model.setPhase(recording::SessionPhase::countdown(3));
    windows.showCountdown();
    shoot("countdown");
    // Half way through the roll from 3 to 2.
    model.setPhase(recording::SessionPhase::countdown(2));
    QElapsedTimer rolling;
    rolling.start();
    while (rolling.elapsed() < 110) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    screen->grabWindow(0).save(prefix + QStringLiteral("countdown-rolling.png"));
    windows.hideCountdown();
    model.setPhase(recording::SessionPhase::recording());
    windows.recordingStarted();
    model.setElapsed(3725);
    model.setPaused(true);
    shoot("recording");
    model.setPhase(recording::SessionPhase::finishing(QStringLiteral("Saving…")));
    shoot("finishing");
    windows.close();
    return 0;
}
