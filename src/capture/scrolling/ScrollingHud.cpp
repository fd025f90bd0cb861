#include "capture/scrolling/ScrollingHud.h"

#include "desktop/PanelSurface.h"
#include "desktop/PillButtonStyle.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>

namespace capture {

namespace {

constexpr int kPreviewRadius = 8;
constexpr int kPanelRadius = 14;
constexpr int kStatusHeight = 98;

// Arrows up and down beside lines of text: a page that scrolls.
QPixmap titleSymbol(const QColor& color, int size, qreal ratio) {
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const double s = size;
    const double x = s * 0.22;
    painter.drawLine(QPointF(x, s * 0.12), QPointF(x, s * 0.88));
    painter.drawPolyline(
        QPolygonF({{x - s * 0.14, s * 0.26}, {x, s * 0.12}, {x + s * 0.14, s * 0.26}}));
    painter.drawPolyline(
        QPolygonF({{x - s * 0.14, s * 0.74}, {x, s * 0.88}, {x + s * 0.14, s * 0.74}}));
    for (const double y : {0.3, 0.5, 0.7}) {
        painter.drawLine(QPointF(s * 0.5, s * y), QPointF(s * 0.92, s * y));
    }
    return pixmap;
}

QColor secondaryColor(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.6f);
    return color;
}

QColor warningColor() {
    return QColor::fromRgbF(1.0f, 0.584f, 0.0f);
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

} // namespace

// --- preview ---

ScrollingHudPreview::ScrollingHudPreview(int width, QWidget* parent) : QWidget(parent) {
    setFixedSize(width, boxHeight);
}

int ScrollingHudPreview::contentHeight() const {
    if (image_.isNull() || image_.width() < 1) {
        return 0;
    }
    return static_cast<int>(
        std::lround(static_cast<double>(image_.height()) * (width() - 8) / image_.width()));
}

void ScrollingHudPreview::setPreview(const QImage& image) {
    image_ = image;
    // New rows arrive at the bottom: keep them in view.
    scrolledUp_ = 0;
    update();
}

void ScrollingHudPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath box;
    box.addRoundedRect(QRectF(rect()), kPreviewRadius, kPreviewRadius);
    painter.setClipPath(box);
    painter.fillPath(box, QColor::fromRgbF(0, 0, 0, 0.25f));
    const int content = contentHeight();
    if (content <= 0) {
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int contentWidth = width() - 8;
    // Shorter than the box: centred; taller: its bottom less what the user
    // scrolled back.
    const int top =
        content <= height() ? (height() - content) / 2 : height() - content + scrolledUp_;
    painter.drawImage(QRect(4, top, contentWidth, content), image_);
}

void ScrollingHudPreview::wheelEvent(QWheelEvent* event) {
    const int hidden = std::max(contentHeight() - height(), 0);
    scrolledUp_ = std::clamp(scrolledUp_ + event->angleDelta().y() / 4, 0, hidden);
    update();
    event->accept();
}

// --- panel ---

ScrollingHudPanel::ScrollingHudPanel(ScrollingStatus* status, std::function<void()> onAutoScroll,
                                     std::function<void()> onDone, std::function<void()> onCancel)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus)
    , status_(status)
    , translucent_(desktop::PanelSurface::kindNow() == desktop::PanelSurface::Kind::translucent) {
    // Without blending, the panel is cut to its rounded body, shadow left
    // out; the size row comes and goes, so the cut follows the size.
    new desktop::PanelSurface(
        this,
        [this] {
            QPainterPath body;
            body.addRoundedRect(
                QRectF(rect()).adjusted(outerMargin, outerMargin, -outerMargin, -outerMargin),
                kPanelRadius, kPanelRadius);
            return body;
        },
        translucent_ ? desktop::PanelSurface::Kind::translucent
                     : desktop::PanelSurface::Kind::masked);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(tr("Scrolling Capture"));

    auto* column = new QVBoxLayout(this);
    const int margin = innerMargin + outerMargin;
    column->setContentsMargins(margin, margin, margin, margin);
    column->setSpacing(10);
    column->setSizeConstraint(QLayout::SetFixedSize);

    // 1: title.
    auto* titleRow = new QWidget(this);
    titleRow->setFixedWidth(rowWidth);
    auto* titleLayout = new QHBoxLayout(titleRow);
    titleLayout->setContentsMargins(0, 0, 0, 0);
    titleLayout->setSpacing(6);
    auto* symbol = new QLabel(titleRow);
    symbol->setPixmap(titleSymbol(palette().color(QPalette::WindowText), 16, devicePixelRatioF()));
    auto* title = new QLabel(tr("Scrolling Capture"), titleRow);
    QFont headline = title->font();
    headline.setPixelSize(13);
    headline.setWeight(QFont::DemiBold);
    title->setFont(headline);
    titleLayout->addWidget(symbol, 0, Qt::AlignVCenter);
    titleLayout->addWidget(title, 1, Qt::AlignVCenter);
    column->addWidget(titleRow);

    // 2: preview.
    preview_ = new ScrollingHudPreview(rowWidth, this);
    column->addWidget(preview_);

    // 3: status line, always the same height.
    statusLine_ = new QLabel(this);
    statusLine_->setFixedSize(rowWidth, kStatusHeight);
    statusLine_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    statusLine_->setWordWrap(true);
    QFont callout = statusLine_->font();
    callout.setPixelSize(12);
    statusLine_->setFont(callout);
    column->addWidget(statusLine_);

    // 4: size.
    sizeLine_ = new QLabel(this);
    sizeLine_->setFixedWidth(rowWidth);
    QFont caption = sizeLine_->font();
    caption.setPixelSize(10);
    caption.setStyleHint(QFont::Monospace);
    sizeLine_->setFont(caption);
    setTextColor(sizeLine_, secondaryColor(palette()));
    column->addWidget(sizeLine_);

    // 5: auto-scroll.
    autoScrollButton_ = new QPushButton(this);
    autoScrollButton_->setFixedWidth(rowWidth);
    autoScrollButton_->setFocusPolicy(Qt::NoFocus);
    autoScrollButton_->setToolTip(tr("Vexlin Capture scrolls the area for you and stops at the "
                                     "end. Move the pointer to take over."));
    autoScrollButton_->installEventFilter(this);
    column->addWidget(autoScrollButton_);

    // 6: Cancel and Done.
    auto* buttons = new QWidget(this);
    buttons->setFixedWidth(rowWidth);
    auto* buttonLayout = new QHBoxLayout(buttons);
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    buttonLayout->setSpacing(6);
    cancelButton_ = new QPushButton(tr("Cancel"), buttons);
    cancelButton_->setFocusPolicy(Qt::NoFocus);
    doneButton_ = new QPushButton(tr("Done"), buttons);
    doneButton_->setFocusPolicy(Qt::NoFocus);
    desktop::PillButtonStyle::apply(doneButton_, palette().color(QPalette::Highlight));
    buttonLayout->addWidget(cancelButton_, 0, Qt::AlignVCenter);
    buttonLayout->addStretch(1);
    buttonLayout->addWidget(doneButton_, 0, Qt::AlignVCenter);
    column->addWidget(buttons);

    connect(autoScrollButton_, &QPushButton::clicked, this, [onAutoScroll] {
        if (onAutoScroll) {
            onAutoScroll();
        }
    });
    connect(doneButton_, &QPushButton::clicked, this, [onDone] {
        if (onDone) {
            onDone();
        }
    });
    connect(cancelButton_, &QPushButton::clicked, this, [onCancel] {
        if (onCancel) {
            onCancel();
        }
    });
    if (status_) {
        connect(status_, &ScrollingStatus::changed, this, &ScrollingHudPanel::refresh);
    }
    refresh();
    adjustSize();
}

QColor ScrollingHudPanel::statusColor() const {
    return status_ && status_->lineIsWarning() ? warningColor() : secondaryColor(palette());
}

void ScrollingHudPanel::refresh() {
    if (!status_) {
        return;
    }
    const ScrollingStatus& status = *status_;
    if (preview_->contentHeight() == 0 || !status.preview().isNull()) {
        if (!status.preview().isNull()) {
            preview_->setPreview(status.preview());
        }
    }
    statusLine_->setText(status.line());
    setTextColor(statusLine_, statusColor());
    const QSize size = status.pixelSize();
    sizeLine_->setVisible(size.height() > 0);
    sizeLine_->setText(QString::number(size.width()) + QStringLiteral(" × ") +
                       QString::number(size.height()) + QStringLiteral(" px"));
    const bool running = status.isAutoScrolling();
    autoScrollButton_->setText(running ? tr("Pause") : tr("Auto-Scroll"));
    autoScrollButton_->setIcon(
        style()->standardIcon(running ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    // The status line says why it cannot run.
    autoScrollButton_->setEnabled(!status.isAutoScrollUnavailable());
}

void ScrollingHudPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body =
        QRectF(rect()).adjusted(outerMargin, outerMargin, -outerMargin, -outerMargin);
    if (translucent_) {
        // A soft shadow, 4 down, falling into the outer margin.
        for (int i = outerMargin; i > 0; --i) {
            QPainterPath ring;
            ring.addRoundedRect(body.translated(0, 4).adjusted(-i, -i, i, i), kPanelRadius + i,
                                kPanelRadius + i);
            painter.fillPath(ring, QColor::fromRgbF(0, 0, 0, 0.3f / outerMargin));
        }
    }
    QPainterPath shape;
    shape.addRoundedRect(body, kPanelRadius, kPanelRadius);
    QColor material = palette().color(QPalette::Window);
    if (translucent_) {
        material.setAlphaF(0.94f);
    }
    painter.fillPath(shape, material);
    QPainterPath border;
    border.addRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), kPanelRadius, kPanelRadius);
    painter.strokePath(border, QPen(QColor::fromRgbF(1, 1, 1, 0.12f), 1));
}

bool ScrollingHudPanel::moveKeepingOut(QPoint topLeft) {
    const QRectF moved{QPointF(topLeft), QSizeF(size())};
    if (!keepOut_.isEmpty() && moved.intersects(keepOut_)) {
        return false;
    }
    move(topLeft);
    return true;
}

void ScrollingHudPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragOffset_ = event->globalPosition().toPoint() - pos();
    }
}

void ScrollingHudPanel::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_) {
        moveKeepingOut(event->globalPosition().toPoint() - *dragOffset_);
    }
}

void ScrollingHudPanel::mouseReleaseEvent(QMouseEvent*) {
    dragOffset_.reset();
}

bool ScrollingHudPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && watched == autoScrollButton_) {
        const auto* help = static_cast<QHelpEvent*>(event);
        showToolTip(autoScrollButton_, help->globalPos());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool ScrollingHudPanel::showToolTip(QWidget* button, QPoint global) {
    // The tip is a window of ours too: it must not open over the region.
    const QString text = button->toolTip();
    const QFontMetrics metrics(QToolTip::font());
    const QSize tip =
        metrics.boundingRect(QRect(0, 0, 320, 1000), Qt::TextWordWrap, text).size() + QSize(16, 12);
    const QRect panel = frameGeometry();
    const QList<QPoint> candidates = {
        global + QPoint(2, 16),
        {panel.right() + 4, global.y()},
        {panel.left() - 4 - tip.width(), global.y()},
        {panel.left(), panel.bottom() + 4},
        {panel.left(), panel.top() - 4 - tip.height()},
    };
    QScreen* screen = QGuiApplication::screenAt(global);
    const QRect available = screen ? screen->availableGeometry() : QRect();
    for (const QPoint& point : candidates) {
        const QRect rect(point, tip);
        if (!keepOut_.intersects(QRectF(rect)) &&
            (available.isEmpty() || available.contains(rect))) {
            QToolTip::showText(point - QPoint(2, 16), text, button);
            return true;
        }
    }
    QToolTip::hideText();
    return false;
}

} // namespace capture
