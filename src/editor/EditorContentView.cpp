#include "editor/EditorContentView.h"

#include "annotation/EditorDocument.h"
#include "editor/EditorWindowController.h"
#include "editor/EditorWindowModel.h"
#include "editor/canvas/CanvasView.h"
#include "platform/MainThread.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace editor {

namespace {

// The canvas and the placeholder never shrink below this.
constexpr int kMinimumCanvasWidth = 420;
constexpr int kMinimumCanvasHeight = 260;
constexpr int kBackgroundPanelWidth = 252;

QFrame* divider(Qt::Orientation orientation, QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(orientation == Qt::Horizontal ? QFrame::HLine : QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

// Shows the divider exactly while the widget it belongs to shows.
class FollowVisibility : public QObject {
public:
    FollowVisibility(QWidget* watched, QWidget* follower)
        : QObject(watched), watched_(watched), follower_(follower) {
        watched->installEventFilter(this);
    }

    bool eventFilter(QObject* object, QEvent* event) override {
        if (object == watched_ && follower_ &&
            (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)) {
            follower_->setVisible(event->type() == QEvent::ShowToParent);
        }
        return false;
    }

private:
    QWidget* watched_;
    QPointer<QWidget> follower_;
};

// The placeholder's picture: a photo in front of a tilted frame.
class PhotoSymbol : public QWidget {
public:
    explicit PhotoSymbol(QWidget* parent) : QWidget(parent) { setFixedSize(62, 50); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor ink = palette().color(QPalette::WindowText);
        ink.setAlphaF(0.3f);
        QPen pen(ink, 2.2);
        pen.setJoinStyle(Qt::RoundJoin);
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);

        // The frame behind, tilted, showing only where the photo leaves room.
        painter.save();
        painter.translate(37, 21);
        painter.rotate(-12);
        painter.drawRoundedRect(QRectF(-21, -15, 42, 30), 4, 4);
        painter.restore();

        const QRectF photo(6, 17, 42, 30);
        painter.setBrush(palette().color(QPalette::Window));
        painter.drawRoundedRect(photo, 4, 4);
        painter.setBrush(Qt::NoBrush);
        QPainterPath hills;
        hills.moveTo(photo.left() + 4, photo.bottom() - 4);
        hills.lineTo(photo.left() + 15, photo.top() + 13);
        hills.lineTo(photo.left() + 23, photo.bottom() - 10);
        hills.lineTo(photo.left() + 29, photo.top() + 17);
        hills.lineTo(photo.right() - 4, photo.bottom() - 4);
        painter.drawPath(hills);
        painter.drawEllipse(QPointF(photo.right() - 9, photo.top() + 8), 3, 3);
    }
};

// The confirmation over the canvas: a check in a circle and the text, white
// on a dark capsule with a faint rim and a soft shadow, centred at the top.
// Clicks go through it to the canvas.
class BadgeView : public QWidget {
public:
    explicit BadgeView(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setObjectName(QStringLiteral("confirmationBadge"));
        QFont bold = font();
        bold.setPixelSize(13);
        bold.setWeight(QFont::DemiBold);
        setFont(bold);
        hide();
    }

    void setText(const QString& text) {
        text_ = text;
        const QFontMetrics metrics(font());
        const int width = kPadX + kSymbol + kGap + metrics.horizontalAdvance(text_) + kPadX;
        const int height = std::max(metrics.height(), kSymbol) + 2 * kPadY;
        resize(width + 2 * kShadow, height + 2 * kShadow + kShadowDrop);
        update();
    }

    // Where the capsule's top sits below the parent's top edge.
    static constexpr int kTop = 14;
    static constexpr int kShadow = 8;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF capsule =
            QRectF(rect()).adjusted(kShadow, kShadow, -kShadow, -kShadow - kShadowDrop);
        const double radius = capsule.height() / 2;
        // A soft shadow, 3 down, fading over its 8 points.
        for (int i = kShadow; i > 0; --i) {
            const double spread = i;
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0, 0, 0, int(255 * 0.25 / kShadow)));
            painter.drawRoundedRect(capsule.translated(0, kShadowDrop)
                                        .adjusted(-spread / 2, -spread / 2, spread / 2, spread / 2),
                                    radius + spread / 2, radius + spread / 2);
        }
        painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.72f));
        painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.15f), 1));
        painter.drawRoundedRect(capsule.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);

        // The check in a filled circle, cut out of the white.
        const QRectF circle(capsule.left() + kPadX, capsule.center().y() - kSymbol / 2.0, kSymbol,
                            kSymbol);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(circle);
        QPainterPath check;
        check.moveTo(circle.left() + kSymbol * 0.28, circle.top() + kSymbol * 0.52);
        check.lineTo(circle.left() + kSymbol * 0.44, circle.top() + kSymbol * 0.68);
        check.lineTo(circle.left() + kSymbol * 0.73, circle.top() + kSymbol * 0.34);
        painter.setPen(QPen(QColor(40, 40, 40), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(check);

        painter.setPen(Qt::white);
        painter.drawText(capsule.adjusted(kPadX + kSymbol + kGap, 0, -kPadX, 0),
                         Qt::AlignVCenter | Qt::AlignLeft, text_);
    }

private:
    static constexpr int kPadX = 14;
    static constexpr int kPadY = 8;
    static constexpr int kSymbol = 15;
    static constexpr int kGap = 6;
    static constexpr int kShadowDrop = 3;
    QString text_;
};

} // namespace

EditorContentView::EditorContentView(EditorWindowModel& model, EditorActions actions,
                                     CanvasFactory makeCanvas, EditorViewFactories views,
                                     QWidget* toolsGroup, QWidget* trailingGroup, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , actions_(std::move(actions))
    , makeCanvas_(std::move(makeCanvas))
    , views_(std::move(views))
    , toolsGroup_(toolsGroup)
    , trailingGroup_(trailingGroup) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* area = new QWidget(this);
    area_ = new QHBoxLayout(area);
    area_->setContentsMargins(0, 0, 0, 0);
    area_->setSpacing(0);
    column->addWidget(area, 1);

    recentDivider_ = divider(Qt::Horizontal, this);
    recentDivider_->hide();
    column->addWidget(recentDivider_);
    if (views_.recentStrip) {
        recent_ = views_.recentStrip(model, actions_);
        if (recent_) {
            column->addWidget(recent_);
            recentDivider_->setVisible(!recent_->isHidden());
            new FollowVisibility(recent_, recentDivider_);
        }
    }

    bottomDivider_ = divider(Qt::Horizontal, this);
    bottomDivider_->hide();
    column->addWidget(bottomDivider_);
    auto* bottom = new QWidget(this);
    bottomSlot_ = new QVBoxLayout(bottom);
    bottomSlot_->setContentsMargins(0, 0, 0, 0);
    bottomSlot_->setSpacing(0);
    column->addWidget(bottom);

    panelDivider_ = divider(Qt::Vertical, area);
    panelDivider_->hide();

    badge_ = new BadgeView(area);
    model_.badge().setAnnouncer(badge_);
    connect(&model_, &EditorWindowModel::confirmationChanged, this, &EditorContentView::placeBadge);
}

void EditorContentView::placeBadge() {
    auto* badge = static_cast<BadgeView*>(badge_);
    const std::optional<EditorConfirmation>& shown = model_.confirmation();
    // No badge over the placeholder: nothing there was copied or saved.
    if (!shown || !canvas_) {
        badge->hide();
        return;
    }
    badge->setText(shown->text);
    const QRect over = canvas_->QWidget::geometry();
    badge->move(over.center().x() - badge->width() / 2,
                over.top() + BadgeView::kTop - BadgeView::kShadow);
    badge->show();
    badge->raise();
}

bool EditorContentView::eventFilter(QObject* watched, QEvent* event) {
    // The badge stays centred over the canvas as the window's size changes.
    if (watched == canvas_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        placeBadge();
    }
    return QWidget::eventFilter(watched, event);
}

void EditorContentView::placeInGroup(QWidget* group, QWidget* view) {
    if (group == nullptr || view == nullptr) {
        return;
    }
    group->layout()->addWidget(view);
    view->show();
    group->adjustSize();
}

QList<QPointer<QWidget>> EditorContentView::showDocument(annotation::EditorDocument* document) {
    platform::assertMainThread();
    QList<QPointer<QWidget>> old{
        QPointer<QWidget>(canvas_.data()), panel_, bottomBar_, tools_, trailing_, empty_};
    for (const QPointer<QWidget>& widget : old) {
        if (widget) {
            widget->hide();
            widget->setParent(nullptr);
        }
    }
    canvas_ = nullptr;
    panel_ = nullptr;
    bottomBar_ = nullptr;
    tools_ = nullptr;
    trailing_ = nullptr;
    empty_ = nullptr;
    panelDivider_->hide();
    bottomDivider_->hide();
    document_ = document;

    if (views_.tools) {
        tools_ = views_.tools(document);
        placeInGroup(toolsGroup_, tools_);
    }
    if (views_.trailing) {
        trailing_ = views_.trailing(document);
        placeInGroup(trailingGroup_, trailing_);
    }

    QWidget* area = area_->parentWidget();
    if (document == nullptr) {
        empty_ = new EditorEmptyView([] { EditorWindowController::chooseImageToAnnotate(); }, area);
        area_->addWidget(empty_, 1);
        empty_->show();
        return old;
    }

    // Canvas, divider, panel, in this order.
    area_->removeWidget(panelDivider_);
    canvas_ = makeCanvas_(*document);
    canvas_->setParent(area);
    canvas_->setMinimumSize(kMinimumCanvasWidth, kMinimumCanvasHeight);
    canvas_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    area_->addWidget(canvas_, 1);
    canvas_->installEventFilter(this);
    canvas_->show();

    area_->addWidget(panelDivider_);
    if (views_.backgroundPanel) {
        panel_ = views_.backgroundPanel(*document);
    }
    if (panel_) {
        panel_->setParent(area);
        panel_->setFixedWidth(kBackgroundPanelWidth);
        area_->addWidget(panel_);
        // The panel follows its document, and stops with it.
        connect(document, &annotation::EditorDocument::showsBackgroundPanelChanged, panel_,
                [this] { updateBackgroundPanel(); });
        connect(document, &annotation::EditorDocument::toolChanged, panel_,
                [this] { updateBackgroundPanel(); });
    }
    updateBackgroundPanel();
    placeBadge();

    if (views_.bottomBar) {
        bottomBar_ = views_.bottomBar(*document, actions_);
    }
    if (bottomBar_) {
        bottomSlot_->addWidget(bottomBar_);
        bottomBar_->show();
        bottomDivider_->show();
    }
    return old;
}

void EditorContentView::updateBackgroundPanel() {
    // The panel steps aside while the crop tool is active and comes back after.
    const bool shown = document_ != nullptr && panel_ != nullptr &&
                       document_->showsBackgroundPanel() &&
                       document_->tool() != annotation::Tool::crop;
    if (panel_) {
        panel_->setVisible(shown);
    }
    panelDivider_->setVisible(shown);
}

EditorEmptyView::EditorEmptyView(std::function<void()> openImage, QWidget* parent)
    : QWidget(parent) {
    setMinimumSize(kMinimumCanvasWidth, kMinimumCanvasHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* column = new QVBoxLayout(this);
    column->setSpacing(14);
    column->addStretch(1);
    auto* symbol = new PhotoSymbol(this);
    column->addWidget(symbol, 0, Qt::AlignHCenter);

    auto* label =
        //: Editor window with no image open
        new QLabel(QCoreApplication::translate("EditorEmptyView", "Your screenshots appear here."),
                   this);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.35);
    label->setFont(font);
    QPalette secondary = label->palette();
    QColor text = secondary.color(QPalette::WindowText);
    text.setAlphaF(0.6f);
    secondary.setColor(QPalette::WindowText, text);
    label->setPalette(secondary);
    column->addWidget(label, 0, Qt::AlignHCenter);

    //: Button of the empty editor that opens an image file
    auto* button =
        new QPushButton(QCoreApplication::translate("EditorEmptyView", "Open Image…"), this);
    button->setObjectName(QStringLiteral("openImage"));
    // After the click has finished: the panel's choice replaces this view.
    connect(
        button, &QPushButton::clicked, this, [openImage = std::move(openImage)] { openImage(); },
        Qt::QueuedConnection);
    column->addWidget(button, 0, Qt::AlignHCenter);
    column->addStretch(1);
}

void EditorEmptyView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), CanvasView::backdropColor(palette().color(QPalette::Window)));
}

} // namespace editor
