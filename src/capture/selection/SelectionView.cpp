#include "capture/selection/SelectionView.h"

#include "capture/selection/SelectionGeometry.h"
#include "capture/selection/SelectionSession.h"
#include "desktop/ScreenGeometry.h"
#include "desktop/ShimmerView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

namespace capture {

namespace {

constexpr int lightTickMs = 1000 / 30;
constexpr int magnifierTickMs = 150;

QRect damageRect(const QRectF& rect) {
    return rect.toAlignedRect().adjusted(-1, -1, 1, 1);
}

// A white camera with a dark outline, its hot spot in the middle.
QCursor makeCameraCursor() {
    QPainterPath camera;
    camera.addRoundedRect(QRectF(4.5, 8.5, 17, 12), 3, 3);
    camera.addRoundedRect(QRectF(9.5, 5.5, 7, 4), 1.5, 1.5);
    camera = camera.simplified();
    QPainterPath lens;
    lens.addEllipse(QPointF(13, 14.5), 3.6, 3.6);
    camera = camera.subtracted(lens);
    QPainterPath pupil;
    pupil.addEllipse(QPointF(13, 14.5), 2, 2);
    camera.addPath(pupil);

    QPixmap pixmap(26, 26);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const QPointF offset : {QPointF(-1, -1), QPointF(-1, 1), QPointF(1, -1), QPointF(1, 1)}) {
        painter.fillPath(camera.translated(offset), QColor(0, 0, 0, qRound(0.75 * 255)));
    }
    painter.fillPath(camera, Qt::white);
    painter.end();
    return QCursor(pixmap, 13, 13);
}

const QCursor& cameraCursor() {
    static const QCursor cursor = makeCameraCursor();
    return cursor;
}

} // namespace

SelectionView::SelectionView(SelectionSession* session, int index,
                             const desktop::DisplaySnapshot& snapshot)
    : QWidget(nullptr,
              Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , session_(session)
    , index_(index)
    , snapshot_(snapshot)
    , shimmer_(new desktop::ShimmerView(this))
    , lightTimer_(new QTimer(this))
    , magnifierTimer_(new QTimer(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent, !snapshot_.image.isNull());
    setAttribute(Qt::WA_TranslucentBackground, snapshot_.image.isNull());
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    if (snapshot_.screen) {
        setScreen(snapshot_.screen);
    }
    setGeometry(snapshot_.frame.toRect());
    //: Name a screen reader gives the full-screen overlay in which the user picks what to capture
    setAccessibleName(tr("Capture selection"));
    // What the hint pill says, for those who cannot read it.
    if (session_) {
        setAccessibleDescription(session_->machine().options().hint);
    }
    lightTimer_->setInterval(lightTickMs);
    connect(lightTimer_, &QTimer::timeout, this, &SelectionView::lightTick);
    magnifierTimer_->setInterval(magnifierTickMs);
    connect(magnifierTimer_, &QTimer::timeout, this, &SelectionView::startPixelReading);
    setModeCursor();
}

SelectionView::~SelectionView() = default;

void SelectionView::takeKeyboard() {
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

bool SelectionView::isLightRunning() const {
    return lightTimer_->isActive();
}

bool SelectionView::isMagnifierRunning() const {
    return magnifierTimer_->isActive();
}

void SelectionView::sync() {
    if (!session_) {
        return;
    }
    const SelectionMachine::Damage damage = session_->takeDamage(index_);
    if (damage.whole) {
        update();
    } else {
        for (const QRectF& rect : damage.rects) {
            update(damageRect(rect));
        }
    }
    setModeCursor();
    updateTimers();
    updateShimmer();
    startPixelReading();
}

void SelectionView::setModeCursor() {
    if (!session_) {
        return;
    }
    if (session_->machine().mode() == SelectionMode::area) {
        setCursor(Qt::CrossCursor);
    } else {
        setCursor(cameraCursor());
    }
}

void SelectionView::updateTimers() {
    const SelectionMachine& machine = session_->machine();
    const bool crosshair = machine.isCrosshairShown(index_);
    if (crosshair && !lightStart_) {
        lightStart_.emplace();
        lightStart_->start();
        lightTimer_->start();
    } else if (!crosshair && lightStart_) {
        lightTimer_->stop();
        lightStart_.reset();
        wasLit_ = false;
    }
    if (machine.isMagnifierShown(index_)) {
        if (!magnifierTimer_->isActive()) {
            magnifierTimer_->start();
        }
    } else {
        magnifierTimer_->stop();
    }
}

void SelectionView::lightTick() {
    if (!session_) {
        return;
    }
    const bool lit =
        lightStart_ && selection::lightCurve(lightStart_->elapsed() / 1000.0).intensity > 0;
    if (!lit && !wasLit_) {
        return;
    }
    const SelectionViewState& state = session_->machine().view(index_);
    if (state.pointer) {
        for (const QRectF& band :
             selection::crosshairRects(*state.pointer, state.bounds(), state.display.scale)) {
            update(damageRect(band));
        }
    }
    wasLit_ = lit;
}

QRectF SelectionView::magnifierDamage() const {
    if (!magnifyAt_) {
        return {};
    }
    return selection::magnifierFrame(*magnifyAt_, session_->machine().view(index_).bounds().size())
        .adjusted(-16, -16, 16, 16);
}

void SelectionView::startPixelReading() {
    if (!session_ || !session_->machine().isMagnifierShown(index_)) {
        return;
    }
    const SelectionViewState& state = session_->machine().view(index_);
    // The picture is frozen: the same point reads the same pixels.
    if (magnifyAt_ == state.pointer && magnified_) {
        return;
    }
    const QRectF before = magnifierDamage();
    magnifyAt_ = state.pointer;
    if (std::optional<Magnified> read = readMagnifierPixels(snapshot_.image, *state.pointer,
                                                            state.bounds(), state.display.scale)) {
        magnified_ = std::move(read);
        update(damageRect(before));
        update(damageRect(magnifierDamage()));
    }
}

void SelectionView::updateShimmer() {
    const SelectionMachine& machine = session_->machine();
    const std::optional<desktop::WindowInfo>& window = machine.hoveredWindow();
    if (machine.mode() == SelectionMode::window && !machine.isTakingPicture() && window) {
        const SelectionViewState& state = machine.view(index_);
        const QRectF r = desktop::ScreenGeometry::toLocal(state.display, QRectF(window->frame));
        if (r.intersects(state.bounds())) {
            std::vector<QRectF> occluders = machine.occluders(index_);
            for (QRectF& occluder : occluders) {
                occluder.translate(-r.topLeft());
            }
            shimmer_->sweep(window->id, r, occluders);
            return;
        }
    }
    shimmer_->stop();
}

void SelectionView::stopAnimations() {
    lightTimer_->stop();
    lightStart_.reset();
    magnifierTimer_->stop();
    shimmer_->stop();
}

void SelectionView::paintEvent(QPaintEvent* event) {
    if (!session_) {
        return;
    }
    QPainter painter(this);
    SelectionPaintState state;
    state.machine = &session_->machine();
    state.view = index_;
    state.frozen = &snapshot_.image;
    state.magnified = magnified_ ? &*magnified_ : nullptr;
    if (lightStart_) {
        state.lightElapsed = lightStart_->elapsed() / 1000.0;
    }
    state.accent = palette().color(QPalette::Highlight);
    paintSelection(painter, state, QRectF(event->rect()));
}

void SelectionView::mouseMoveEvent(QMouseEvent* event) {
    if (!session_) {
        return;
    }
    if (event->buttons() & Qt::LeftButton) {
        session_->dragged(index_, event->position(),
                          event->modifiers().testFlag(Qt::ShiftModifier));
    } else {
        session_->pointerMoved(event->globalPosition().toPoint());
    }
}

void SelectionView::mousePressEvent(QMouseEvent* event) {
    if (!session_) {
        return;
    }
    if (event->button() == Qt::LeftButton) {
        session_->pressed(index_, event->position(), event->globalPosition().toPoint());
    } else if (event->button() == Qt::RightButton) {
        session_->cancel();
    }
}

void SelectionView::mouseReleaseEvent(QMouseEvent* event) {
    if (session_ && event->button() == Qt::LeftButton) {
        session_->released(index_);
    }
}

void SelectionView::keyPressEvent(QKeyEvent* event) {
    event->accept();
    if (!session_ || event->isAutoRepeat()) {
        return;
    }
    switch (event->key()) {
    case Qt::Key_Space:
        session_->keyPressed(SelectionMachine::Key::space);
        break;
    case Qt::Key_Escape:
        session_->keyPressed(SelectionMachine::Key::escape);
        break;
    default:
        break;
    }
}

void SelectionView::enterEvent(QEnterEvent*) {
    if (session_ && !session_->machine().isClosed()) {
        takeKeyboard();
    }
}

void SelectionView::leaveEvent(QEvent*) {
    if (session_) {
        session_->pointerLeft(index_);
    }
}

} // namespace capture
