#include "settings/ShortcutRecorder.h"

#include "app/HotKeyCenter.h"
#include "app/Preferences.h"
#include "platform/KeyCodeMap.h"
#include "platform/MainThread.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

namespace settings {

namespace {

// The outline of a shortcut another program holds.
const QColor kConflictColor(255, 149, 0);

constexpr std::uint32_t kBackspace = 51;
constexpr std::uint32_t kDelete = 117;
constexpr std::uint32_t kEscape = 53;

// The stored bit of a modifier key; 0 for the others.
std::uint64_t modifierBitOf(int key) {
    namespace bits = platform::modifierBits;
    switch (key) {
    case Qt::Key_Shift:
        return bits::shift;
    case Qt::Key_Control:
        return bits::control;
    case Qt::Key_Alt:
        return bits::option;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return bits::command;
    default:
        return 0;
    }
}

// A press of a modifier alone: the shortcut is still being formed.
bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

QColor secondary(const QPalette& palette, qreal opacity) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(opacity);
    return color;
}

// The rounded field that shows the shortcut and starts listening.
class ShortcutField final : public QAbstractButton {
public:
    ShortcutField(const ShortcutRecorder& recorder, QWidget* parent)
        : QAbstractButton(parent), recorder_(recorder) {
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
    }

    QSize sizeHint() const override {
        QFont bold = font();
        bold.setWeight(QFont::Medium);
        const QFontMetrics metrics(bold);
        // Wide enough for the longest of its texts, so it does not jump when
        // listening starts.
        int width = metrics.horizontalAdvance(recorder_.title());
        for (const QString& text :
             {ShortcutRecorder::tr("Type shortcut…"), ShortcutRecorder::tr("Record Shortcut"),
              ShortcutListener::tr("Add Ctrl, Alt or Super"),
              ShortcutListener::tr("Not a shortcut key"),
              app::KeyShortcut::modifierSymbols(platform::modifierBits::shortcutMask) +
                  QStringLiteral("…")}) {
            width = std::max(width, metrics.horizontalAdvance(text));
        }
        return {std::max(132, width + 4) + 2 * 8, metrics.height() + 2 * 3 + 2};
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool recording = recorder_.isRecording();
        const QPalette& colors = palette();
        const QColor accent = colors.color(QPalette::Highlight);
        const qreal lineWidth = recording ? 2.0 : 1.0;
        const QRectF box =
            QRectF(rect()).adjusted(lineWidth / 2, lineWidth / 2, -lineWidth / 2, -lineWidth / 2);
        QPainterPath outline;
        outline.addRoundedRect(box, 6, 6);
        painter.fillPath(outline, colors.color(QPalette::Base));
        QColor border = secondary(colors, 0.35);
        if (recording) {
            border = accent;
        } else if (recorder_.hasConflict()) {
            border = kConflictColor;
        }
        painter.setPen(QPen(border, lineWidth));
        painter.drawPath(outline);

        QFont text = font();
        text.setWeight(recording ? QFont::Normal : QFont::Medium);
        painter.setFont(text);
        QColor ink = colors.color(QPalette::WindowText);
        if (recorder_.showsRefusal()) {
            ink = kConflictColor;
        } else if (recording) {
            ink = accent;
        } else if (!recorder_.shortcut()) {
            ink = secondary(colors, 0.55);
        }
        painter.setPen(ink);
        painter.drawText(rect().adjusted(8, 3, -8, -3), Qt::AlignCenter, recorder_.title());
        if (hasFocus()) {
            painter.setPen(QPen(accent, 1, Qt::DotLine));
            painter.drawRoundedRect(box.adjusted(2, 2, -2, -2), 4, 4);
        }
    }

private:
    const ShortcutRecorder& recorder_;
};

// A filled circle with a cross: removes the shortcut.
class ClearButton final : public QAbstractButton {
public:
    explicit ClearButton(QWidget* parent) : QAbstractButton(parent) {
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
    }
    QSize sizeHint() const override { return {18, 18}; }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal side = std::min(width(), height()) - 2.0;
        const QRectF circle(QPointF((width() - side) / 2, (height() - side) / 2),
                            QSizeF(side, side));
        painter.setPen(Qt::NoPen);
        painter.setBrush(secondary(palette(), isDown() ? 0.7 : 0.45));
        painter.drawEllipse(circle);
        painter.setPen(QPen(palette().color(QPalette::Base), 1.6, Qt::SolidLine, Qt::RoundCap));
        const qreal arm = side * 0.2;
        const QPointF c = circle.center();
        painter.drawLine(c + QPointF(-arm, -arm), c + QPointF(arm, arm));
        painter.drawLine(c + QPointF(-arm, arm), c + QPointF(arm, -arm));
    }
};

} // namespace

ShortcutListener::ShortcutListener(app::Preferences& preferences, app::HotKeyCenter& hotKeys,
                                   QObject* parent)
    : QObject(parent), preferences_(preferences), hotKeys_(hotKeys) {}

ShortcutListener::~ShortcutListener() {
    stop();
}

void ShortcutListener::start(OnKey onKey) {
    platform::assertMainThread();
    stop();
    recording_ = true;
    onKey_ = std::move(onKey);
    // The first listener lets go of every hot key; the others only count.
    hotKeys_.suspend();
    qApp->installEventFilter(this);
    Q_EMIT recordingChanged(true);
}

void ShortcutListener::stop() {
    platform::assertMainThread();
    if (!recording_) {
        return;
    }
    recording_ = false;
    onKey_ = {};
    held_ = 0;
    refusal_.clear();
    qApp->removeEventFilter(this);
    if (hotKeys_.isSuspended()) {
        // While suspended this only remembers the map, so the hot keys come
        // back with what is stored now (a shortcut just recorded, a restore
        // of the defaults meanwhile), not with a map from before listening.
        hotKeys_.registerAll(preferences_.shortcuts());
        hotKeys_.resume();
    }
    Q_EMIT recordingChanged(false);
}

void ShortcutListener::handle(quint8 xKeyCode, quint16 xState) {
    platform::assertMainThread();
    if (!recording_) {
        return;
    }
    const std::optional<std::uint32_t> keyCode = platform::xToKeyCode(xKeyCode);
    const std::uint64_t modifiers =
        platform::xToModifiers(xState) & platform::modifierBits::shortcutMask;
    // Copied: stopping forgets it.
    const OnKey onKey = onKey_;
    if (keyCode && modifiers == 0) {
        if (*keyCode == kBackspace || *keyCode == kDelete) {
            if (onKey) {
                onKey(std::nullopt);
            }
            stop();
            return;
        }
        if (*keyCode == kEscape) {
            stop();
            return;
        }
    }
    const app::KeyShortcut shortcut{keyCode.value_or(0), modifiers};
    if (keyCode && shortcut.isSafeAsHotKey()) {
        if (onKey) {
            onKey(shortcut);
        }
        stop();
        return;
    }
    refusal_ = keyCode
                   //: Shown for a moment in a shortcut field when a key needs a modifier
                   ? tr("Add Ctrl, Alt or Super")
                   //: Shown for a moment in a shortcut field for a key that cannot be a shortcut
                   : tr("Not a shortcut key");
    QApplication::beep();
    Q_EMIT refused();
}

void ShortcutListener::setHeldModifiers(std::uint64_t modifiers) {
    modifiers &= platform::modifierBits::shortcutMask;
    if (!recording_ || held_ == modifiers) {
        return;
    }
    held_ = modifiers;
    Q_EMIT heldModifiersChanged();
}

bool ShortcutListener::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Accepted, the press is not taken for an application key (Ctrl+W,
        // Ctrl+Q) and comes as a key press, which is swallowed below.
        event->accept();
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        // The event's state is the one before it: the key's own bit is
        // added on its press and taken away on its release.
        const std::uint64_t before =
            platform::xToModifiers(static_cast<quint16>(key->nativeModifiers()));
        const std::uint64_t own = modifierBitOf(key->key());
        const bool press = event->type() == QEvent::KeyPress;
        if (isModifierKey(key->key())) {
            setHeldModifiers(press ? (before | own) : (before & ~own));
        } else if (press) {
            handle(static_cast<quint8>(key->nativeScanCode()),
                   static_cast<quint16>(key->nativeModifiers()));
        }
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

ShortcutRecorder::ShortcutRecorder(app::Preferences& preferences, app::HotKeyCenter& hotKeys,
                                   QWidget* parent)
    : QWidget(parent)
    , listener_(preferences, hotKeys)
    , refusalTimer_(new QTimer(this))
    , field_(new ShortcutField(*this, this))
    , clear_(new ClearButton(this)) {
    refusalTimer_->setSingleShot(true);
    refusalTimer_->setInterval(refusalShownMs);
    connect(refusalTimer_, &QTimer::timeout, this, [this] {
        showsRefusal_ = false;
        refresh();
    });
    field_->setObjectName(QStringLiteral("shortcutField"));
    clear_->setObjectName(QStringLiteral("clearShortcut"));
    clear_->setToolTip(tr("Remove shortcut"));
    clear_->setAccessibleName(tr("Remove shortcut"));
    QSizePolicy keepPlace = clear_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    clear_->setSizePolicy(keepPlace);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(field_);
    row->addWidget(clear_);

    connect(field_, &QAbstractButton::clicked, this, &ShortcutRecorder::toggle);
    connect(clear_, &QAbstractButton::clicked, this,
            [this] { Q_EMIT shortcutEdited(std::nullopt); });
    connect(&listener_, &ShortcutListener::recordingChanged, this, [this] {
        showsRefusal_ = false;
        refusalTimer_->stop();
        refresh();
    });
    connect(&listener_, &ShortcutListener::heldModifiersChanged, this, [this] {
        // A new key being formed replaces the word on the last one.
        if (listener_.heldModifiers() != 0) {
            showsRefusal_ = false;
        }
        refresh();
    });
    connect(&listener_, &ShortcutListener::refused, this, [this] {
        showsRefusal_ = true;
        refusalTimer_->start();
        refresh();
    });
    refresh();
}

ShortcutRecorder::~ShortcutRecorder() {
    listener_.stop();
}

void ShortcutRecorder::setShortcut(std::optional<app::KeyShortcut> shortcut) {
    if (shortcut_ == shortcut) {
        return;
    }
    shortcut_ = shortcut;
    refresh();
}

void ShortcutRecorder::setHasConflict(bool conflict) {
    if (hasConflict_ == conflict) {
        return;
    }
    hasConflict_ = conflict;
    refresh();
}

void ShortcutRecorder::setSharedWith(const QString& action) {
    if (sharedWith_ == action) {
        return;
    }
    sharedWith_ = action;
    refresh();
}

void ShortcutRecorder::toggle() {
    if (listener_.isRecording()) {
        listener_.stop();
        return;
    }
    listener_.start(
        [this](std::optional<app::KeyShortcut> shortcut) { Q_EMIT shortcutEdited(shortcut); });
}

QString ShortcutRecorder::title() const {
    if (listener_.isRecording()) {
        if (showsRefusal_ && !listener_.refusal().isEmpty()) {
            return listener_.refusal();
        }
        if (listener_.heldModifiers() != 0) {
            return app::KeyShortcut::modifierSymbols(listener_.heldModifiers()) +
                   QStringLiteral("…");
        }
        return tr("Type shortcut…");
    }
    if (shortcut_) {
        return shortcut_->displayText();
    }
    return tr("Record Shortcut");
}

QAbstractButton* ShortcutRecorder::field() const {
    return field_;
}

QAbstractButton* ShortcutRecorder::clearButton() const {
    return clear_;
}

void ShortcutRecorder::hideEvent(QHideEvent* event) {
    listener_.stop();
    QWidget::hideEvent(event);
}

void ShortcutRecorder::refresh() {
    const bool recording = listener_.isRecording();
    if (!sharedWith_.isEmpty()) {
        //: Tip of a shortcut field whose keys another capture action has too
        field_->setToolTip(tr("%1 uses this shortcut too.").arg(sharedWith_));
    } else if (hasConflict_) {
        field_->setToolTip(tr("Another app already uses this shortcut."));
    } else {
        field_->setToolTip(
            tr("Click, then press the new shortcut. Esc cancels, Backspace clears."));
    }
    field_->setAccessibleName(title());
    field_->updateGeometry();
    field_->update();
    const bool clearable = shortcut_.has_value() && !recording;
    clear_->setEnabled(clearable);
    clear_->setVisible(clearable);
}

} // namespace settings
