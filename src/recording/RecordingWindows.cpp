#include "recording/RecordingWindows.h"

#include "recording/ControlPanelPlacement.h"
#include "recording/EvenDigits.h"
#include "recording/RecordingSessionModel.h"

#include "desktop/PanelSurface.h"
#include "desktop/RegionFrameWindow.h"
#include "platform/PermissionProbe.h"
#include "platform/WindowManagerHints.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

namespace recording {

namespace {

// Kept out of the window manager's hands: a managed tool window, even one
// asking to stay on top, was stacked under an ordinary window shown before
// it; an unmanaged one stands above everything, on every desktop, and is
// never given the focus. Dragging moves it by hand.
constexpr Qt::WindowFlags kPanelFlags = Qt::Tool | Qt::FramelessWindowHint |
                                        Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                                        Qt::X11BypassWindowManagerHint;

controlBar::Row rowOf(SessionPhase::Kind kind) {
    switch (kind) {
    case SessionPhase::Kind::countdown:
        return controlBar::Row::countdown;
    case SessionPhase::Kind::finishing:
        return controlBar::Row::finishing;
    case SessionPhase::Kind::recording:
        return controlBar::Row::recording;
    case SessionPhase::Kind::setup:
        break;
    }
    return controlBar::Row::setup;
}

} // namespace

controlBar::State barState(const RecordingSessionModel& model) {
    const SessionPhase phase = model.phase();
    controlBar::State state;
    state.row = rowOf(phase.kind);
    state.secondsLeft = phase.secondsLeft;
    state.status = phase.status;
    state.format = model.format();
    state.isPaused = model.isPaused();
    state.elapsed = model.elapsed();
    state.systemAudio = model.systemAudio();
    state.microphone = model.microphone();
    state.showCursor = model.showCursor();
    state.highlightClicks = model.highlightClicks();
    state.showKeystrokes = model.showKeystrokes();
    state.showCamera = model.showCamera();
    state.recordsWindowOnly = model.recordsWindowOnly();
    state.needsInputMonitoring = model.needsInputMonitoring();
    state.cameraDenied = model.cameraDenied();
    state.soundNote = model.soundNote();
    return state;
}

// --- control panel ---

ControlPanel::ControlPanel(ControlBar* bar) : QWidget(nullptr, kPanelFlags), bar_(bar) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    // The panel never becomes the active window, and Qt shows tooltips only
    // in that one otherwise: the icon buttons would never say what they do.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(tr("Recording"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    bar_->setParent(this);
    layout->addWidget(bar_, 0, Qt::AlignTop | Qt::AlignHCenter);
    // Without blending, the panel is cut to the capsule and the notes that
    // show; it follows each change of row or note.
    surface_ =
        new desktop::PanelSurface(this, [this] { return bar_->outline().translated(bar_->pos()); });
    connect(bar_, &ControlBar::outlineChanged, this, [this] {
        adjustSize();
        this->layout()->activate();
        surface_->reshape();
    });
    adjustSize();
}

void ControlPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The bar has its final place only now that the layout ran.
    layout()->activate();
    surface_->reshape();
    platform::showOnAllDesktops(winId());
}

void ControlPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragOffset_ = event->globalPosition().toPoint() - pos();
    }
}

void ControlPanel::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_) {
        move(event->globalPosition().toPoint() - *dragOffset_);
    }
}

void ControlPanel::mouseReleaseEvent(QMouseEvent*) {
    dragOffset_.reset();
}

// --- countdown ---

CountdownPanel::CountdownPanel(RecordingSessionModel* model)
    : QWidget(nullptr, kPanelFlags | Qt::WindowTransparentForInput), model_(model), roll_(this) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(side, side);
    new desktop::PanelSurface(this, [] {
        QPainterPath circlePath;
        const double inset = (side - circle) / 2.0;
        circlePath.addEllipse(QRectF(inset, inset, circle, circle));
        return circlePath;
    });
    roll_.setStartValue(0.0);
    roll_.setEndValue(1.0);
    roll_.setDuration(int(transition.count()));
    roll_.setEasingCurve(QEasingCurve::OutCubic);
    connect(&roll_, &QVariantAnimation::valueChanged, this, qOverload<>(&CountdownPanel::update));
    shown_ = number();
    if (model_) {
        connect(model_, &RecordingSessionModel::phaseChanged, this, &CountdownPanel::follow);
    }
}

void CountdownPanel::follow() {
    const std::optional<int> next = number();
    if (next == shown_) {
        return;
    }
    // The old number drops out below while the new one comes in from above.
    leaving_ = shown_;
    shown_ = next;
    roll_.stop();
    roll_.start();
    update();
}

double CountdownPanel::progress() const {
    return roll_.state() == QAbstractAnimation::Running ? roll_.currentValue().toDouble() : 1.0;
}

std::optional<int> CountdownPanel::number() const {
    if (model_ && model_->phase().is(SessionPhase::Kind::countdown)) {
        return model_->phase().secondsLeft;
    }
    return std::nullopt;
}

void CountdownPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double inset = (side - circle) / 2.0;
    const QRectF disc(inset, inset, circle, circle);
    QColor material = palette().color(QPalette::Window);
    if (desktop::windowsBlend()) {
        material.setAlphaF(0.85f);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(material);
    p.drawEllipse(disc);
    p.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.25f), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
    QFont font = p.font();
    font.setPixelSize(64);
    font.setWeight(QFont::Bold);
    p.setFont(font);
    p.setPen(palette().color(QPalette::WindowText));
    QPainterPath inside;
    inside.addEllipse(disc);
    p.setClipPath(inside);
    const double t = progress();
    const double travel = 0.45 * QFontMetricsF(font).height();
    if (leaving_ && t < 1) {
        p.setOpacity(1 - t);
        evenDigits::draw(p, disc.translated(0, t * travel), Qt::AlignHCenter,
                         QString::number(*leaving_));
    }
    if (shown_) {
        p.setOpacity(t);
        evenDigits::draw(p, disc.translated(0, -(1 - t) * travel), Qt::AlignHCenter,
                         QString::number(*shown_));
    }
}

// --- the windows ---

RecordingWindows::RecordingWindows(QObject* parent) : QObject(parent) {}

RecordingWindows::RecordingWindows(std::unique_ptr<SessionOverlays> overlays, QObject* parent)
    : QObject(parent), overlays_(std::move(overlays)) {}

RecordingWindows::~RecordingWindows() {
    close();
}

QRectF RecordingWindows::globalRegion() const {
    return QRectF(setup_.region).translated(setup_.display.frame.topLeft());
}

void RecordingWindows::present(const SessionWindowsSetup& setup) {
    setup_ = setup;
    closed_ = false;
    frame_ = new desktop::RegionFrameWindow(setup_.display.frame, QRectF(setup_.region));

    RecordingSessionModel* model = setup_.model;
    QPointer<RecordingSessionModel> weakModel(model);
    ControlBarLinks links;
    links.state = [weakModel] { return weakModel ? barState(*weakModel) : controlBar::State(); };
    links.setOption = [weakModel](controlBar::Option option, bool on) {
        if (!weakModel) {
            return;
        }
        switch (option) {
        case controlBar::Option::systemAudio:
            weakModel->setSystemAudio(on);
            break;
        case controlBar::Option::microphone:
            weakModel->setMicrophone(on);
            break;
        case controlBar::Option::showCursor:
            weakModel->setShowCursor(on);
            break;
        case controlBar::Option::highlightClicks:
            weakModel->setHighlightClicks(on);
            break;
        case controlBar::Option::showKeystrokes:
            weakModel->setShowKeystrokes(on);
            break;
        case controlBar::Option::showCamera:
            weakModel->setShowCamera(on);
            break;
        case controlBar::Option::none:
            break;
        }
    };
    links.setFormat = [weakModel](app::Recording::Format format) {
        if (weakModel) {
            weakModel->setFormat(format);
        }
    };
    links.hiddenApps = [weakModel] { return weakModel ? weakModel->hiddenApps() : QStringList(); };
    links.hideNotifications = [weakModel] { return weakModel && weakModel->hideNotifications(); };
    links.setApp = [weakModel](const QString& id, bool hide) {
        if (weakModel) {
            weakModel->setApp(id, hide);
        }
    };
    links.setHideNotifications = [weakModel](bool on) {
        if (weakModel) {
            weakModel->setHideNotifications(on);
        }
    };
    links.onRecord = setup_.actions.onRecord;
    links.onCancel = setup_.actions.onCancel;
    links.onPause = setup_.actions.onPause;
    links.onRestart = setup_.actions.onRestart;
    links.onStop = setup_.actions.onStop;

    platform::PermissionProbe& probe = platform::PermissionProbe::system();
    std::function<void()> cameraSettings;
    if (setup_.reservesCameraNote && probe.canOpenSettings(platform::Permission::camera)) {
        cameraSettings = [] {
            platform::PermissionProbe::system().openSettings(platform::Permission::camera);
        };
    }
    auto* bar = new ControlBar(std::move(links), setup_.reservesInputMonitoringNote,
                               setup_.reservesCameraNote, std::move(cameraSettings));
    panel_ = new ControlPanel(bar);
    if (model) {
        for (auto signal :
             {&RecordingSessionModel::isPausedChanged,
              &RecordingSessionModel::needsInputMonitoringChanged,
              &RecordingSessionModel::cameraDeniedChanged,
              &RecordingSessionModel::recordsWindowOnlyChanged,
              &RecordingSessionModel::systemAudioChanged, &RecordingSessionModel::microphoneChanged,
              &RecordingSessionModel::showCursorChanged,
              &RecordingSessionModel::highlightClicksChanged,
              &RecordingSessionModel::showKeystrokesChanged,
              &RecordingSessionModel::showCameraChanged,
              &RecordingSessionModel::hideNotificationsChanged}) {
            connect(model, signal, bar, &ControlBar::refresh);
        }
        connect(model, &RecordingSessionModel::phaseChanged, bar, &ControlBar::refresh);
        connect(model, &RecordingSessionModel::elapsedChanged, bar, &ControlBar::refresh);
        connect(model, &RecordingSessionModel::formatChanged, bar, &ControlBar::refresh);
        connect(model, &RecordingSessionModel::hiddenAppsChanged, bar, &ControlBar::refresh);
        connect(model, &RecordingSessionModel::soundNoteChanged, bar, &ControlBar::refresh);
    }
    bar->refresh();
    panel_->adjustSize();

    QRectF visible = setup_.display.frame;
    if (setup_.display.screen) {
        visible = setup_.display.screen->availableGeometry();
    }
    const QPointF origin = controlPanelOrigin(QSizeF(panel_->size()), globalRegion(), visible);
    panel_->move(origin.toPoint());
    panel_->show();
    if (overlays_) {
        overlays_->present(setup_);
    }
}

void RecordingWindows::showCountdown() {
    if (closed_ || countdown_) {
        return;
    }
    countdown_ = new CountdownPanel(setup_.model);
    const QPointF centre = globalRegion().center();
    countdown_->move(QPoint(qRound(centre.x() - CountdownPanel::side / 2.0),
                            qRound(centre.y() - CountdownPanel::side / 2.0)));
    countdown_->show();
}

void RecordingWindows::hideCountdown() {
    if (countdown_) {
        countdown_->hide();
        countdown_->deleteLater();
        countdown_ = nullptr;
    }
}

void RecordingWindows::recordingStarted() {
    if (frame_) {
        frame_->setStyle(desktop::RegionFrameStyle::recording);
    }
    if (overlays_ && !closed_) {
        overlays_->recordingStarted();
    }
}

void RecordingWindows::regionMoved(const QRect& region) {
    setup_.region = region;
    if (frame_) {
        frame_->setRegion(QRectF(region));
    }
    if (overlays_ && !closed_) {
        overlays_->regionMoved(region);
    }
}

void RecordingWindows::cameraChanged(bool show) {
    if (overlays_ && !closed_) {
        overlays_->cameraChanged(show);
    }
}

void RecordingWindows::stopOverlays() {
    if (overlays_) {
        overlays_->stop();
    }
}

QSet<std::uint32_t> RecordingWindows::recordedWindows() const {
    return overlays_ ? overlays_->windows() : QSet<std::uint32_t>();
}

void RecordingWindows::close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    stopOverlays();
    for (QWidget* window :
         {static_cast<QWidget*>(frame_.data()), static_cast<QWidget*>(panel_.data()),
          static_cast<QWidget*>(countdown_.data())}) {
        if (window) {
            window->hide();
            window->deleteLater();
        }
    }
    frame_ = nullptr;
    panel_ = nullptr;
    countdown_ = nullptr;
}

} // namespace recording
