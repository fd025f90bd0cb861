#include "delivery/QuickAccessCardView.h"

#include "delivery/QuickAccessCardAccessible.h"
#include "delivery/QuickAccessCardModel.h"
#include "delivery/QuickAccessSymbol.h"
#include "desktop/ToastSymbol.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDrag>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

namespace delivery {

namespace {

constexpr qreal cornerRadius = 12;
constexpr int roundSide = 28;
constexpr int labelledHeight = 28;
constexpr int labelledMinWidth = 68;
constexpr int labelledPadding = 14;
constexpr int edgeInset = 6;
constexpr int rowSpacing = 6;
constexpr int middleSpacing = 8;

const QColor backdrop(33, 33, 33);
const QColor border(128, 128, 128, 72);
const QColor plainButton(32, 32, 32, 224);

QString copyTitle() {
    //: Quick Access button: copy the capture to the clipboard
    return QCoreApplication::translate("QuickAccess", "Copy");
}
QString saveTitle() {
    //: Quick Access button: save the capture
    return QCoreApplication::translate("QuickAccess", "Save");
}
QString closeHelp() {
    //: Quick Access button: dismiss the thumbnail
    return QCoreApplication::translate("QuickAccess", "Close");
}
QString shareHelp() {
    //: Button that opens the share menu for the capture
    return QCoreApplication::translate("QuickAccess", "Share");
}
QString saveAsHelp() {
    return QCoreApplication::translate("QuickAccess", "Save As…");
}

QFont semibold(int pixels) {
    QFont font = QApplication::font();
    font.setPixelSize(pixels);
    font.setWeight(QFont::DemiBold);
    return font;
}

QPainterPath capsule(const QRectF& rect) {
    QPainterPath path;
    const qreal radius = std::min(rect.width(), rect.height()) / 2;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

QColor withAlpha(QColor color, qreal alpha) {
    color.setAlphaF(static_cast<float>(color.alphaF() * alpha));
    return color;
}

// Separable box blur, three passes, over the alpha of a premultiplied image:
// close to a Gaussian of the given standard deviation.
void blurAlpha(QImage& image, qreal sigma) {
    const int radius = std::max(1, static_cast<int>(std::round(sigma * 0.95)));
    const int w = image.width();
    const int h = image.height();
    std::vector<int> line(static_cast<size_t>(std::max(w, h)));
    auto pass = [&](bool horizontal) {
        const int outer = horizontal ? h : w;
        const int length = horizontal ? w : h;
        for (int o = 0; o < outer; ++o) {
            auto at = [&](int i) -> QRgb& {
                const int x = horizontal ? i : o;
                const int y = horizontal ? o : i;
                return reinterpret_cast<QRgb*>(image.scanLine(y))[x];
            };
            for (int i = 0; i < length; ++i) {
                line[static_cast<size_t>(i)] = qAlpha(at(i));
            }
            int sum = 0;
            for (int i = -radius; i <= radius; ++i) {
                sum += (i >= 0 && i < length) ? line[static_cast<size_t>(i)] : 0;
            }
            for (int i = 0; i < length; ++i) {
                const int alpha = sum / (2 * radius + 1);
                at(i) = qRgba(0, 0, 0, alpha);
                const int leaving = i - radius;
                const int entering = i + radius + 1;
                sum -= (leaving >= 0) ? line[static_cast<size_t>(leaving)] : 0;
                sum += (entering < length) ? line[static_cast<size_t>(entering)] : 0;
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(true);
        pass(false);
    }
}

} // namespace

QuickAccessCardView::QuickAccessCardView(const QImage& image, QSize tileSize,
                                         std::optional<Badge> badge, QuickAccessCardModel* model,
                                         QuickAccessActions actions, bool translucent,
                                         QWidget* parent)
    : QWidget(parent)
    , image_(image)
    , tileSize_(tileSize)
    , badge_(std::move(badge))
    , model_(model)
    , actions_(std::move(actions))
    , translucent_(translucent)
    , shareAnchor_(new QWidget(this))
    , hoverFade_(new QVariantAnimation(this)) {
    installQuickAccessCardAccessibility();
    setAttribute(Qt::WA_TranslucentBackground, translucent_);
    setMouseTracking(true);
    setFixedSize(tileSize_ + QSize(2 * padding, 2 * padding));

    // Draws nothing and takes no clicks: it only gives the share menu its place.
    shareAnchor_->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (const ButtonInfo& info : allButtons()) {
        if (info.button == Button::share) {
            shareAnchor_->setGeometry(info.rect);
        }
    }

    hoverFade_->setDuration(120);
    hoverFade_->setEasingCurve(QEasingCurve::OutQuad);
    connect(hoverFade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        hoverShown_ = value.toReal();
        update();
    });
    if (model_) {
        hoverShown_ = model_->isHovering() ? 1 : 0;
        connect(model_, &QuickAccessCardModel::isHoveringChanged, this,
                &QuickAccessCardView::followHover);
        connect(model_, &QuickAccessCardModel::noteChanged, this, [this] {
            pressed_.reset();
            update();
        });
    }
}

QuickAccessCardView::~QuickAccessCardView() = default;

QRect QuickAccessCardView::tileRect() const {
    return QRect(QPoint(padding, padding), tileSize_);
}

QList<QuickAccessCardView::ButtonInfo> QuickAccessCardView::allButtons() const {
    const QRect tile = tileRect();
    const int left = tile.x() + edgeInset;
    const int top = tile.y() + edgeInset;
    const int right = tile.x() + tile.width() - edgeInset;
    const int bottom = tile.y() + tile.height() - edgeInset;

    QList<ButtonInfo> buttons;
    const QFontMetricsF metrics(semibold(12));
    const auto width = [&](const QString& title) {
        return std::max(labelledMinWidth,
                        static_cast<int>(std::ceil(metrics.horizontalAdvance(title))) +
                            2 * labelledPadding);
    };
    const int copyWidth = width(copyTitle());
    const int saveWidth = width(saveTitle());
    const int rowWidth = copyWidth + middleSpacing + saveWidth;
    const int rowLeft = tile.x() + (tile.width() - rowWidth) / 2;
    const int rowTop = tile.y() + (tile.height() - labelledHeight) / 2;
    buttons.append(
        {Button::copy, copyTitle(), {}, QRect(rowLeft, rowTop, copyWidth, labelledHeight)});
    buttons.append({Button::save,
                    saveTitle(),
                    {},
                    QRect(rowLeft + copyWidth + middleSpacing, rowTop, saveWidth, labelledHeight)});

    const QSize round(roundSide, roundSide);
    buttons.append(
        {Button::close, closeHelp(), QStringLiteral("xmark"), QRect(QPoint(left, top), round)});
    if (actions_.edit) {
        buttons.append({Button::edit, actions_.edit->help, actions_.edit->symbol,
                        QRect(QPoint(right - roundSide, top), round)});
    }
    buttons.append({Button::secondary, actions_.secondary.help, actions_.secondary.symbol,
                    QRect(QPoint(left, bottom - roundSide), round)});
    buttons.append({Button::share, shareHelp(), QStringLiteral("square.and.arrow.up"),
                    QRect(QPoint(right - 2 * roundSide - rowSpacing, bottom - roundSide), round)});
    buttons.append({Button::saveAs, saveAsHelp(), QStringLiteral("square.and.arrow.down"),
                    QRect(QPoint(right - roundSide, bottom - roundSide), round)});
    return buttons;
}

void QuickAccessCardView::press(Button button) {
    trigger(button);
}

QList<QuickAccessCardView::ButtonInfo> QuickAccessCardView::visibleButtons() const {
    if (!model_ || !model_->isHovering() || model_->note()) {
        return {};
    }
    return allButtons();
}

bool QuickAccessCardView::badgeShown() const {
    return badge_.has_value() && model_ && !model_->isHovering();
}

QString QuickAccessCardView::badgeText() const {
    if (!badge_) {
        return {};
    }
    return badge_->kind == Badge::Kind::gif ? QStringLiteral("GIF") : badge_->duration;
}

bool QuickAccessCardView::noteShown() const {
    return model_ && model_->note().has_value();
}

std::optional<QuickAccessCardView::ButtonInfo>
QuickAccessCardView::buttonAt(const QPoint& point) const {
    for (const ButtonInfo& info : visibleButtons()) {
        // The capsule is the hit area.
        if (capsule(info.rect).contains(QPointF(point) + QPointF(0.5, 0.5))) {
            return info;
        }
    }
    return std::nullopt;
}

void QuickAccessCardView::followHover(bool hovering) {
    if (!hovering) {
        hovered_.reset();
        pressed_.reset();
    }
    hoverFade_->stop();
    hoverFade_->setStartValue(hoverShown_);
    hoverFade_->setEndValue(hovering ? 1.0 : 0.0);
    if (isVisible()) {
        hoverFade_->start();
    } else {
        hoverShown_ = hovering ? 1 : 0;
    }
    update();
}

void QuickAccessCardView::runBusy(const std::function<void()>& work) {
    QPointer<QuickAccessCardView> self(this);
    ++busy_;
    work();
    if (self && --busy_ == 0) {
        Q_EMIT becameIdle();
    }
}

void QuickAccessCardView::trigger(Button button) {
    std::function<void()> action;
    switch (button) {
    case Button::copy:
        action = actions_.copy;
        break;
    case Button::save:
        action = actions_.save;
        break;
    case Button::saveAs:
        action = actions_.saveAs;
        break;
    case Button::close:
        action = actions_.close;
        break;
    case Button::edit:
        if (actions_.edit) {
            action = actions_.edit->action;
        }
        break;
    case Button::secondary:
        action = actions_.secondary.action;
        break;
    case Button::share:
        if (actions_.share && shareAnchor_) {
            action = [share = actions_.share, anchor = shareAnchor_] { share(anchor); };
        }
        break;
    }
    if (action) {
        runBusy(action);
    }
}

void QuickAccessCardView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    if (!tileRect().contains(point)) {
        event->ignore();
        return;
    }
    pressPoint_ = point;
    if (const auto info = buttonAt(point)) {
        pressed_ = info->button;
    }
    update();
}

void QuickAccessCardView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const auto over = buttonAt(point);
    std::optional<Button> now;
    if (over) {
        now = over->button;
    }
    if (now != hovered_) {
        hovered_ = now;
        update();
    }
    if (pressPoint_ && (event->buttons() & Qt::LeftButton) &&
        (point - *pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
        pressPoint_.reset();
        pressed_.reset();
        update();
        startDrag();
    }
}

void QuickAccessCardView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const std::optional<Button> pressed = pressed_;
    pressed_.reset();
    pressPoint_.reset();
    update();
    const auto over = buttonAt(event->position().toPoint());
    if (pressed && over && over->button == *pressed) {
        trigger(*pressed);
    }
}

void QuickAccessCardView::leaveEvent(QEvent* event) {
    hovered_.reset();
    update();
    QWidget::leaveEvent(event);
}

bool QuickAccessCardView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const auto info = buttonAt(help->pos());
        if (info && !info->symbol.isEmpty()) {
            QToolTip::showText(help->globalPos(), info->text, this, info->rect);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void QuickAccessCardView::startDrag() {
    if (!actions_.dragItem) {
        return;
    }
    std::unique_ptr<QMimeData> data = actions_.dragItem();
    if (!data || data->formats().isEmpty()) {
        return;
    }
    // Owned by the view, so that it goes with it whatever happens meanwhile.
    QPointer<QDrag> drag = new QDrag(this);
    drag->setMimeData(data.release());
    runBusy([drag] { drag->exec(Qt::CopyAction, Qt::CopyAction); });
    if (drag) {
        drag->deleteLater();
    }
}

void QuickAccessCardView::prepareThumbnail(qreal ratio) {
    if (image_.isNull()) {
        thumbnail_ = QImage();
        return;
    }
    if (!thumbnail_.isNull() && thumbnail_.devicePixelRatio() == ratio) {
        return;
    }
    // Fitted into the tile keeping its shape, on whole device pixels, and
    // scaled once, so every paint copies pixel for pixel.
    const QSizeF device = QSizeF(tileSize_) * ratio;
    const qreal scale =
        std::min(device.width() / image_.width(), device.height() / image_.height());
    const int width = std::max(1, static_cast<int>(std::round(image_.width() * scale)));
    const int height = std::max(1, static_cast<int>(std::round(image_.height() * scale)));
    thumbnail_ = image_.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    thumbnail_.setDevicePixelRatio(ratio);
    thumbnailOrigin_ = QPointF(std::round((device.width() - width) / 2) / ratio,
                               std::round((device.height() - height) / 2) / ratio);
}

void QuickAccessCardView::prepareShadow(qreal ratio) {
    if (!shadow_.isNull() && shadow_.devicePixelRatio() == ratio) {
        return;
    }
    // Black at 35 %, blurred by 10, 4 points down.
    shadow_ = QImage((QSizeF(size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    shadow_.fill(Qt::transparent);
    {
        QPainter painter(&shadow_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(ratio, ratio);
        QPainterPath tile;
        tile.addRoundedRect(QRectF(tileRect()).translated(0, 4), cornerRadius, cornerRadius);
        painter.fillPath(tile, QColor(0, 0, 0, 89));
    }
    blurAlpha(shadow_, 5 * ratio);
    shadow_.setDevicePixelRatio(ratio);
}

void QuickAccessCardView::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    prepareThumbnail(ratio);

    QPainter painter(this);
    if (translucent_) {
        prepareShadow(ratio);
        painter.drawImage(QPointF(0, 0), shadow_);
    } else {
        // The window is cut to the tile: every pixel left is painted opaque.
        painter.fillRect(rect(), backdrop);
    }
    paintTile(painter, ratio);

    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath edge;
    edge.addRoundedRect(QRectF(tileRect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5,
                        cornerRadius - 0.5);
    painter.strokePath(edge, QPen(border, 1));
}

void QuickAccessCardView::paintTile(QPainter& painter, qreal ratio) {
    // The layers are put together apart and then cut to the rounded tile, so
    // that the cut edge is smooth.
    QImage layer((QSizeF(tileSize_) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(backdrop);
    {
        QPainter tile(&layer);
        if (!thumbnail_.isNull()) {
            tile.drawImage(thumbnailOrigin_, thumbnail_);
        }
        tile.setRenderHint(QPainter::Antialiasing);
        tile.setRenderHint(QPainter::TextAntialiasing);
        tile.translate(-padding, -padding);
        const bool noted = noteShown();
        if (badge_ && hoverShown_ < 1) {
            tile.setOpacity(1 - hoverShown_);
            paintBadge(tile);
        }
        if (!noted && hoverShown_ > 0) {
            tile.setOpacity(hoverShown_);
            paintButtons(tile);
        }
        tile.setOpacity(1);
        if (noted) {
            paintNote(tile);
        }
        if (translucent_) {
            // Everything outside the rounded tile is taken away again.
            tile.resetTransform();
            const QRectF whole(QPointF(0, 0), QSizeF(tileSize_));
            QPainterPath rounded;
            rounded.addRoundedRect(whole, cornerRadius, cornerRadius);
            QPainterPath corners;
            corners.addRect(whole);
            tile.setCompositionMode(QPainter::CompositionMode_DestinationOut);
            tile.fillPath(corners.subtracted(rounded), Qt::black);
        }
    }
    painter.drawImage(tileRect().topLeft(), layer);
}

void QuickAccessCardView::paintBadge(QPainter& painter) {
    const QFont font = semibold(11);
    const QFontMetricsF metrics(font);
    const QString text = badgeText();
    const bool withIcon = badge_->kind == Badge::Kind::video;
    const qreal iconWidth = withIcon ? 14 : 0;
    const qreal iconGap = withIcon ? 4 : 0;
    const qreal height = std::ceil(metrics.height()) + 6;
    const qreal width = 7 + iconWidth + iconGap + std::ceil(metrics.horizontalAdvance(text)) + 7;
    const QRect tile = tileRect();
    const QRectF box(tile.x() + 8, tile.y() + tile.height() - 8 - height, width, height);
    painter.fillPath(capsule(box), QColor(0, 0, 0, 153));
    qreal x = box.x() + 7;
    if (withIcon) {
        const qreal side = 11;
        drawQuickAccessSymbol(painter, QStringLiteral("video.fill"),
                              QRectF(x, box.center().y() - side / 2, iconWidth, side), Qt::white);
        x += iconWidth + iconGap;
    }
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(x, box.y(), box.right() - x, box.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

void QuickAccessCardView::paintButtons(QPainter& painter) {
    painter.fillRect(tileRect(), QColor(0, 0, 0, 115));
    const QFont font = semibold(12);
    for (const ButtonInfo& info : allButtons()) {
        const bool accent = info.button == Button::copy;
        const bool isPressed = pressed_ == info.button && hovered_ == info.button;
        const QRectF rect(info.rect);
        const QPainterPath shape = capsule(rect);
        painter.fillPath(shape, accent ? palette().color(QPalette::Highlight) : plainButton);
        if (isPressed) {
            painter.fillPath(shape, QColor(0, 0, 0, 46));
        } else if (hovered_ == info.button) {
            painter.fillPath(shape, QColor(255, 255, 255, 36));
        }
        painter.strokePath(capsule(rect.adjusted(0.5, 0.5, -0.5, -0.5)),
                           QPen(QColor(255, 255, 255, accent ? 38 : 64), 1));
        const QColor label = withAlpha(Qt::white, isPressed ? 0.85 : 1);
        if (info.symbol.isEmpty()) {
            painter.setFont(font);
            painter.setPen(label);
            painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, info.text);
        } else {
            const qreal side = 13;
            drawQuickAccessSymbol(
                painter, info.symbol,
                QRectF(rect.center() - QPointF(side / 2, side / 2), QSizeF(side, side)), label);
        }
    }
}

void QuickAccessCardView::paintNote(QPainter& painter) {
    const QRect tile = tileRect();
    painter.fillRect(tile, QColor(0, 0, 0, 128));
    const QFont font = semibold(14);
    const QFontMetricsF metrics(font);
    const QString text = *model_->note();
    const int side = 17;
    const qreal gap = 6;
    const qreal width = side + gap + metrics.horizontalAdvance(text);
    const qreal ratio = devicePixelRatioF();
    // On whole device pixels, so the symbol stays sharp.
    const qreal left = std::round((tile.center().x() + 0.5 - width / 2) * ratio) / ratio;
    const qreal top = std::round((tile.center().y() + 0.5 - side / 2.0) * ratio) / ratio;
    painter.drawPixmap(
        QPointF(left, top),
        desktop::toastSymbol(QStringLiteral("checkmark.circle.fill"), Qt::white, side, ratio));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(left + side + gap, tile.y(), tile.width(), tile.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

} // namespace delivery
