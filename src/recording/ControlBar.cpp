#include "recording/ControlBar.h"

#include "desktop/PanelSurface.h"
#include "desktop/PillButtonStyle.h"
#include "recording/EvenDigits.h"
#include "recording/HiddenApps.h"
#include "recording/RecordingSymbols.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace recording {

using controlBar::Action;
using controlBar::Item;
using controlBar::Kind;

namespace {

constexpr int kItemWidth = 28;
constexpr int kItemHeight = 26;
constexpr int kTileRadius = 7;
constexpr int kNoteRadius = 14;

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

QColor recordingRed() {
    return QColor::fromRgb(255, 59, 48);
}

QColor pausedOrange() {
    return QColor::fromRgb(255, 149, 0);
}

QFont sizedFont(const QFont& base, int pixels, QFont::Weight weight) {
    QFont font = base;
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

QString formatName(app::Recording::Format format) {
    return format == app::Recording::Format::video
               ? QCoreApplication::translate("RecordingControlBar", "Video")
               : QCoreApplication::translate("RecordingControlBar", "GIF");
}

void call(const std::function<void()>& f) {
    if (f) {
        f();
    }
}

} // namespace

// --- one item ---

ControlBarItem::ControlBarItem(const Item& item, QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setItem(item);
}

void ControlBarItem::setItem(const Item& item) {
    const bool resized = item.kind != item_.kind || item.text != item_.text;
    item_ = item;
    setToolTip(item.toolTip);
    setEnabled(item.enabled);
    if (item.kind == Kind::spinner && spinTimer_ == 0) {
        spinTimer_ = startTimer(80);
    }
    if (resized) {
        updateGeometry();
        setFixedSize(sizeHint());
    }
    update();
}

void ControlBarItem::setFormat(app::Recording::Format format) {
    if (format_ != format) {
        format_ = format;
        update();
    }
}

QSize ControlBarItem::sizeHint() const {
    switch (item_.kind) {
    case Kind::divider:
        return {1, 20};
    case Kind::dot:
        return {10, 10};
    case Kind::formatPicker:
        return {112, 24};
    case Kind::spinner:
        return {16, 16};
    case Kind::elapsed: {
        const QFontMetricsF metrics(sizedFont(font(), 14, QFont::DemiBold));
        return {std::max(44, int(std::ceil(evenDigits::width(metrics, item_.text))) + 2), 20};
    }
    case Kind::countdownText: {
        const QFontMetricsF metrics(sizedFont(font(), 13, QFont::Medium));
        return {int(std::ceil(evenDigits::width(metrics, item_.text))) + 2, 20};
    }
    case Kind::statusText: {
        const QFontMetrics metrics(sizedFont(font(), 13, QFont::Medium));
        return {metrics.horizontalAdvance(item_.text) + 2, 20};
    }
    default:
        return {kItemWidth, kItemHeight};
    }
}

bool ControlBarItem::clickable() const {
    switch (item_.kind) {
    case Kind::toggle:
    case Kind::iconButton:
    case Kind::hiddenApps:
    case Kind::formatPicker:
        return item_.enabled;
    default:
        return false;
    }
}

void ControlBarItem::mousePressEvent(QMouseEvent* event) {
    if (!clickable() || event->button() != Qt::LeftButton) {
        // The background under a text or the dot drags the panel.
        event->ignore();
        return;
    }
    pressed_ = true;
    update();
}

void ControlBarItem::mouseReleaseEvent(QMouseEvent* event) {
    if (!pressed_) {
        event->ignore();
        return;
    }
    pressed_ = false;
    update();
    if (!rect().contains(event->position().toPoint())) {
        return;
    }
    if (item_.kind == Kind::formatPicker) {
        const auto chosen = event->position().x() < width() / 2.0 ? app::Recording::Format::video
                                                                  : app::Recording::Format::gif;
        if (onFormat) {
            onFormat(chosen);
        }
        return;
    }
    call(onClick);
}

void ControlBarItem::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        // Texts are measured in the font: a new one gives a new size.
        setFixedSize(sizeHint());
    }
}

void ControlBarItem::timerEvent(QTimerEvent* event) {
    if (event->timerId() == spinTimer_) {
        spin_ = (spin_ + 1) % 12;
        update();
    }
}

void ControlBarItem::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor primary = palette().color(QPalette::WindowText);
    const QColor accent = palette().color(QPalette::Highlight);
    const QRectF box = QRectF(rect());
    switch (item_.kind) {
    case Kind::divider:
        p.fillRect(box, withAlpha(primary, 0.2));
        break;
    case Kind::dot:
        p.setPen(Qt::NoPen);
        p.setBrush(item_.on ? pausedOrange() : recordingRed());
        p.drawEllipse(box);
        break;
    case Kind::elapsed:
        p.setFont(sizedFont(font(), 14, QFont::DemiBold));
        p.setPen(primary);
        evenDigits::draw(p, box, Qt::AlignLeft, item_.text);
        break;
    case Kind::countdownText:
        p.setFont(sizedFont(font(), 13, QFont::Medium));
        p.setPen(primary);
        evenDigits::draw(p, box, Qt::AlignLeft, item_.text);
        break;
    case Kind::statusText:
        p.setFont(sizedFont(font(), 13, QFont::Medium));
        p.setPen(primary);
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, item_.text);
        break;
    case Kind::spinner:
        for (int i = 0; i < 12; ++i) {
            const double angle = (i * 30.0 - 90) * 3.14159265358979 / 180;
            const QPointF c = box.center();
            const double fade = ((i - spin_ + 12) % 12) / 12.0;
            p.setPen(QPen(withAlpha(primary, 0.2 + 0.8 * fade), 1.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(c + QPointF(std::cos(angle), std::sin(angle)) * 3.5,
                       c + QPointF(std::cos(angle), std::sin(angle)) * 7);
        }
        break;
    case Kind::formatPicker: {
        const QRectF track = box.adjusted(0.5, 0.5, -0.5, -0.5);
        p.setPen(QPen(withAlpha(primary, 0.15), 1));
        p.setBrush(withAlpha(primary, 0.06));
        p.drawRoundedRect(track, 6, 6);
        const bool video = format_ == app::Recording::Format::video;
        const QRectF left(track.left() + 2, track.top() + 2, track.width() / 2 - 2,
                          track.height() - 4);
        const QRectF right(track.center().x(), track.top() + 2, track.width() / 2 - 2,
                           track.height() - 4);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRoundedRect(video ? left : right, 5, 5);
        p.setFont(sizedFont(font(), 12, QFont::Medium));
        p.setPen(video ? palette().color(QPalette::HighlightedText) : primary);
        p.drawText(left, Qt::AlignCenter, formatName(app::Recording::Format::video));
        p.setPen(video ? primary : palette().color(QPalette::HighlightedText));
        p.drawText(right, Qt::AlignCenter, formatName(app::Recording::Format::gif));
        break;
    }
    case Kind::toggle:
    case Kind::hiddenApps:
    case Kind::iconButton: {
        if (!item_.enabled) {
            p.setOpacity(0.35);
        }
        const bool tile = item_.kind != Kind::iconButton;
        if (tile) {
            p.setPen(Qt::NoPen);
            p.setBrush(item_.on ? accent : withAlpha(primary, pressed_ ? 0.14 : 0.06));
            p.drawRoundedRect(box, kTileRadius, kTileRadius);
        } else if (pressed_) {
            p.setPen(Qt::NoPen);
            p.setBrush(withAlpha(primary, 0.1));
            p.drawRoundedRect(box, kTileRadius, kTileRadius);
        }
        const QColor tint = item_.on ? QColor(Qt::white) : primary;
        drawRecordingSymbol(p, item_.symbol, QRectF(box.center() - QPointF(8, 8), QSizeF(16, 16)),
                            tint);
        break;
    }
    case Kind::pillButton:
        break;
    }
}

// --- hidden applications ---

HiddenAppsPopup::HiddenAppsPopup(const ControlBarLinks& links, QWidget* parent)
    : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint), links_(links) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFrameShape(QFrame::StyledPanel);
    setFixedWidth(290);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(10);
    auto* title = new QLabel(tr("Hide from the Recording"), this);
    title->setFont(sizedFont(font(), 13, QFont::DemiBold));
    column->addWidget(title);
    auto* about = new QLabel(
        tr("Hidden apps keep working on your screen. The video shows what is behind them."), this);
    about->setWordWrap(true);
    column->addWidget(about);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    rows_ = new QWidget(scroll);
    new QVBoxLayout(rows_);
    rows_->layout()->setContentsMargins(0, 0, 0, 0);
    rows_->layout()->setSpacing(6);
    scroll->setWidget(rows_);
    scroll->setObjectName(QStringLiteral("rows"));
    column->addWidget(scroll);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    column->addWidget(line);
    auto* notifications = new QCheckBox(tr("Hide notifications"), this);
    notifications->setObjectName(QStringLiteral("hideNotifications"));
    notifications->setChecked(links_.hideNotifications && links_.hideNotifications());
    connect(notifications, &QCheckBox::toggled, this, [this](bool on) {
        if (links_.setHideNotifications) {
            links_.setHideNotifications(on);
        }
    });
    column->addWidget(notifications);
    running_ = new RunningApps(this);
    connect(running_, &RunningApps::changed, this, &HiddenAppsPopup::rebuild);
    rebuild();
}

void HiddenAppsPopup::rebuild() {
    QLayout* layout = rows_->layout();
    while (QLayoutItem* old = layout->takeAt(0)) {
        delete old->widget();
        delete old;
    }
    const QStringList hidden = links_.hiddenApps ? links_.hiddenApps() : QStringList();
    const std::vector<HideableApp> rows = HiddenApps::listed(HideableApp::candidates(), hidden);
    for (const HideableApp& app : rows) {
        auto* row = new QCheckBox(app.name, rows_);
        row->setIcon(app.icon);
        row->setIconSize(QSize(18, 18));
        row->setChecked(hidden.contains(app.bundleID));
        row->setProperty("bundleID", app.bundleID);
        connect(row, &QCheckBox::toggled, this, [this, id = app.bundleID](bool on) {
            if (links_.setApp) {
                links_.setApp(id, on);
            }
        });
        layout->addWidget(row);
    }
    rows_->parentWidget()->parentWidget()->setFixedHeight(
        HiddenApps::listHeight(static_cast<int>(rows.size())));
    adjustSize();
}

void HiddenAppsPopup::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    deleteLater();
}

// --- notes ---

PermissionNote::PermissionNote(const QString& symbol, const QString& text, const QString& button,
                               std::function<void()> action, QWidget* parent)
    : QWidget(parent), symbol_(symbol) {
    auto* row = new QHBoxLayout(this);
    // The card (14 and 10 inside), and 10 around it but above.
    row->setContentsMargins(10 + 14, 10, 10 + 14, 10 + 10);
    row->setSpacing(12);
    row->addSpacing(18);
    label_ = new QLabel(text, this);
    label_->setWordWrap(true);
    label_->setFont(sizedFont(font(), 12, QFont::Normal));
    row->addWidget(label_, 1);
    if (!button.isEmpty() && action) {
        button_ = new QPushButton(button, this);
        button_->setFocusPolicy(Qt::NoFocus);
        connect(button_, &QPushButton::clicked, this, [action] { action(); });
        row->addWidget(button_, 0, Qt::AlignVCenter);
    }
    setFixedWidth(width + 20);
    // The text wraps over as many lines as it needs in what the icon and the
    // button leave of the card.
    int textWidth = width - 2 * 14 - 18 - 12;
    int buttonHeight = 0;
    if (button_) {
        textWidth -= button_->sizeHint().width() + 12;
        buttonHeight = button_->sizeHint().height();
    }
    label_->setFixedWidth(textWidth);
    const int textHeight = label_->heightForWidth(textWidth);
    setFixedHeight(std::max({textHeight, buttonHeight, 18}) + 2 * 10 + 10);
}

QPainterPath PermissionNote::outline() const {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(10, 0, -10, -10), kNoteRadius, kNoteRadius);
    return path;
}

void PermissionNote::setShown(bool shown) {
    shown_ = shown;
    // Its place stays; only what is in it goes, and clicks fall through.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        child->setVisible(shown);
    }
    setAttribute(Qt::WA_TransparentForMouseEvents, !shown);
    update();
}

void PermissionNote::paintEvent(QPaintEvent*) {
    if (!shown_) {
        return;
    }
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath card = outline();
    QColor material = palette().color(QPalette::Window);
    p.fillPath(card, material);
    p.strokePath(card, QPen(withAlpha(Qt::white, 0.12), 1));
    const QRectF icon(24, (height() - 10) / 2.0 - 9, 18, 18);
    drawRecordingSymbol(p, symbol_, icon, pausedOrange());
}

// --- the bar ---

ControlBar::ControlBar(ControlBarLinks links, bool reservesInputNote, bool reservesCameraNote,
                       std::function<void()> cameraSettings, QWidget* parent)
    : QWidget(parent), links_(std::move(links)) {
    setFocusPolicy(Qt::NoFocus);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->setSizeConstraint(QLayout::SetFixedSize);
    row_ = new QWidget(this);
    auto* rowLayout = new QHBoxLayout(row_);
    rowLayout->setContentsMargins(padding + 12, padding, padding + 12, padding);
    rowLayout->setSpacing(10);
    row_->setFixedHeight(capsuleHeight + 2 * padding);
    column->addWidget(row_, 0, Qt::AlignHCenter);
    if (reservesInputNote) {
        inputNote_ = new PermissionNote(QStringLiteral("keyboard"), controlBar::inputNoteText(), {},
                                        {}, this);
        column->addWidget(inputNote_, 0, Qt::AlignHCenter);
    }
    if (reservesCameraNote) {
        cameraNote_ = new PermissionNote(
            QStringLiteral("video.slash"), controlBar::cameraNoteText(),
            cameraSettings ? controlBar::cameraNoteButton() : QString(), cameraSettings, this);
        column->addWidget(cameraNote_, 0, Qt::AlignHCenter);
    }
    refresh();
}

QRectF ControlBar::capsule() const {
    return QRectF(row_->geometry()).adjusted(padding, padding, -padding, -padding);
}

QPainterPath ControlBar::outline() const {
    QPainterPath path;
    const QRectF bar = capsule();
    path.addRoundedRect(bar, bar.height() / 2, bar.height() / 2);
    for (PermissionNote* note : {inputNote_, cameraNote_, soundNote_}) {
        if (note && note->isShown()) {
            path.addPath(note->outline().translated(note->pos()));
        }
    }
    return path.simplified();
}

void ControlBar::refresh() {
    const controlBar::State state = links_.state ? links_.state() : controlBar::State();
    const std::vector<Item> items = controlBar::items(state);
    std::vector<Item> drawn;
    for (const Item& item : items) {
        if (item.kind != Kind::pillButton) {
            drawn.push_back(item);
        }
    }
    bool same =
        drawn.size() == items_.size() && (pill_ != nullptr) != (drawn.size() == items.size());
    for (std::size_t i = 0; same && i < drawn.size(); ++i) {
        const Item& had = items_[i]->item();
        same = had.kind == drawn[i].kind && had.action == drawn[i].action &&
               had.option == drawn[i].option && had.symbol == drawn[i].symbol;
    }
    if (!same) {
        rebuildRow(items);
    } else {
        for (std::size_t i = 0; i < drawn.size(); ++i) {
            items_[i]->setItem(drawn[i]);
            items_[i]->setFormat(state.format);
        }
        updateHiddenAppsTile(state);
    }
    const QSize before = size();
    bool notesChanged = false;
    if (inputNote_) {
        const bool show = controlBar::noteLayout(true, state.needsInputMonitoring).visible;
        notesChanged |= show != inputNote_->isShown();
        inputNote_->setShown(show);
    }
    if (cameraNote_) {
        const bool show = controlBar::noteLayout(true, state.cameraDenied).visible;
        notesChanged |= show != cameraNote_->isShown();
        cameraNote_->setShown(show);
    }
    // Known only once the recording runs: the bar grows by it then.
    if (!state.soundNote.isEmpty() &&
        (!soundNote_ || soundNote_->label()->text() != state.soundNote)) {
        delete soundNote_;
        soundNote_ =
            new PermissionNote(QStringLiteral("speaker.slash"), state.soundNote, {}, {}, this);
        // Right under the row, above the notes reserved there.
        static_cast<QVBoxLayout*>(layout())->insertWidget(1, soundNote_, 0, Qt::AlignHCenter);
        soundNote_->show();
        notesChanged = true;
    } else if (state.soundNote.isEmpty() && soundNote_) {
        delete soundNote_;
        soundNote_ = nullptr;
        notesChanged = true;
    }
    layout()->activate();
    if (!same || notesChanged || before != size()) {
        update();
        Q_EMIT outlineChanged();
    }
}

void ControlBar::rebuildRow(const std::vector<Item>& items) {
    auto* rowLayout = static_cast<QHBoxLayout*>(row_->layout());
    while (QLayoutItem* old = rowLayout->takeAt(0)) {
        if (old->widget()) {
            old->widget()->deleteLater();
            old->widget()->hide();
        }
        delete old;
    }
    items_.clear();
    pill_ = nullptr;
    const controlBar::State state = links_.state ? links_.state() : controlBar::State();
    for (const Item& item : items) {
        if (item.kind == Kind::pillButton) {
            pill_ = new QPushButton(item.text, row_);
            pill_->setObjectName(QStringLiteral("pill"));
            pill_->setFocusPolicy(Qt::NoFocus);
            pill_->setToolTip(item.toolTip);
            desktop::PillButtonStyle::apply(pill_, recordingRed());
            pill_->setIcon(recordingSymbolIcon(item.symbol, Qt::white));
            pill_->setIconSize(
                QSize(desktop::PillButtonStyle::iconSize, desktop::PillButtonStyle::iconSize));
            // Its label whole: the row gives way elsewhere.
            pill_->setMinimumWidth(pill_->sizeHint().width());
            connect(pill_, &QPushButton::clicked, this,
                    [this, action = item.action] { act(action); });
            rowLayout->addWidget(pill_, 0, Qt::AlignVCenter);
            continue;
        }
        auto* widget = new ControlBarItem(item, row_);
        widget->setFormat(state.format);
        if (item.kind == Kind::hiddenApps) {
            widget->setToolTip(HiddenApps::toolTip(state.recordsWindowOnly));
            widget->onClick = [this, widget] { openHiddenApps(widget); };
        } else if (item.kind == Kind::toggle) {
            widget->onClick = [this, widget] {
                if (links_.setOption && links_.state) {
                    const controlBar::Option option = widget->item().option;
                    links_.setOption(option, !controlBar::optionValue(links_.state(), option));
                }
            };
        } else if (item.action != Action::none) {
            widget->onClick = [this, action = item.action] { act(action); };
        }
        widget->onFormat = [this](app::Recording::Format format) {
            if (links_.setFormat) {
                links_.setFormat(format);
            }
        };
        rowLayout->addWidget(widget, 0, Qt::AlignVCenter);
        items_.push_back(widget);
    }
    // Made while the row may show: shown now, so that they count at once.
    for (ControlBarItem* widget : items_) {
        widget->show();
    }
    if (pill_) {
        pill_->show();
    }
    updateHiddenAppsTile(state);
    row_->adjustSize();
}

void ControlBar::updateHiddenAppsTile(const controlBar::State& state) {
    // The hidden-applications tile follows the choice.
    for (ControlBarItem* widget : items_) {
        if (widget->item().kind == Kind::hiddenApps) {
            Item item = widget->item();
            item.on = HiddenApps::isActive(links_.hiddenApps ? links_.hiddenApps() : QStringList(),
                                           links_.hideNotifications && links_.hideNotifications(),
                                           state.recordsWindowOnly);
            widget->setItem(item);
            widget->setToolTip(HiddenApps::toolTip(state.recordsWindowOnly));
        }
    }
}

void ControlBar::openHiddenApps(ControlBarItem* anchor) {
    if (popup_) {
        popup_->close();
    }
    previousApp_.remember();
    popup_ = new HiddenAppsPopup(links_, nullptr);
    connect(popup_, &QObject::destroyed, this, [this] {
        previousApp_.restore();
        refresh();
    });
    popup_->move(anchor->mapToGlobal(
        QPoint(anchor->width() / 2 - popup_->width() / 2, anchor->height() + 4)));
    popup_->show();
}

void ControlBar::act(Action action) {
    switch (action) {
    case Action::record:
        call(links_.onRecord);
        break;
    case Action::cancel:
        call(links_.onCancel);
        break;
    case Action::pause:
        call(links_.onPause);
        break;
    case Action::restart:
        call(links_.onRestart);
        break;
    case Action::stop:
        call(links_.onStop);
        break;
    case Action::none:
        break;
    }
}

void ControlBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bar = capsule();
    const double radius = bar.height() / 2;
    const bool translucent = desktop::windowsBlend();
    if (translucent) {
        for (int i = padding; i > 0; --i) {
            QPainterPath ring;
            ring.addRoundedRect(bar.translated(0, 4).adjusted(-i, -i, i, i), radius + i,
                                radius + i);
            p.fillPath(ring, QColor::fromRgbF(0, 0, 0, 0.3f / padding));
        }
    }
    QPainterPath shape;
    shape.addRoundedRect(bar, radius, radius);
    QColor material = palette().color(QPalette::Window);
    if (translucent) {
        material.setAlphaF(0.94f);
    }
    p.fillPath(shape, material);
    QPainterPath border;
    border.addRoundedRect(bar.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    p.strokePath(border, QPen(withAlpha(Qt::white, 0.12), 1));
}

} // namespace recording
