#include "editor/canvas/CanvasView.h"

#include "annotation/EditorDocument.h"
#include "annotation/Renderer.h"
#include "annotation/TextMetrics.h"
#include "editor/canvas/CanvasChrome.h"
#include "editor/canvas/CanvasTextField.h"
#include "editor/canvas/DisplaySources.h"
#include "platform/MainThread.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

#include <cmath>
#include <cstring>

namespace editor {

using annotation::EditorDocument;
using annotation::Point;
using annotation::Rect;

namespace {

QRectF toQt(const Rect& r) {
    return QRectF(r.x(), r.y(), r.width(), r.height());
}

Point toPoint(const QPointF& p) {
    return Point{p.x(), p.y()};
}

// The canvas's own shadow: blur 14 (a Gaussian of deviation 7) and 3 down,
// in view points, black at 30 %.
constexpr double kShadowSigma = 7;
constexpr double kShadowOffset = 3;
constexpr double kShadowAlpha = 0.3;

} // namespace

CanvasView::CanvasView(EditorDocument& document, QWidget* parent)
    : QWidget(parent)
    , document_(document)
    , controller_(document, *this)
    , display_(std::make_unique<DisplaySources>(document.sources())) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Any change that the canvas shows comes back as one refresh.
    connect(&document_, &EditorDocument::stateChanged, this, &CanvasView::scheduleRefresh);
    connect(&document_, &EditorDocument::selectedIDChanged, this, &CanvasView::scheduleRefresh);
    connect(&document_, &EditorDocument::toolChanged, this, &CanvasView::scheduleRefresh);
    connect(&document_, &EditorDocument::cropDraftChanged, this, &CanvasView::scheduleRefresh);
    connect(&document_, &EditorDocument::editingTextIDChanged, this, &CanvasView::scheduleRefresh);
}

CanvasView::~CanvasView() = default;

CanvasGeometry CanvasView::geometry() const {
    return CanvasGeometry::of(document_, viewSize());
}

void CanvasView::setOnCopyImage(std::function<void()> copy) {
    controller_.setOnCopyImage(std::move(copy));
}

QColor CanvasView::backdropColor(const QColor& windowColor) {
    const float level = windowColor.lightnessF() < 0.5f ? 0.115f : 0.9f;
    return QColor::fromRgbF(level, level, level, 1);
}

// ---- refresh --------------------------------------------------------------

void CanvasView::scheduleRefresh() {
    if (refreshPending_) {
        return;
    }
    refreshPending_ = true;
    QMetaObject::invokeMethod(this, &CanvasView::refreshFromDocument, Qt::QueuedConnection);
}

void CanvasView::refreshFromDocument() {
    platform::assertMainThread();
    refreshPending_ = false;
    update();
    controller_.syncTextEditing();
}

// ---- painting ---------------------------------------------------------------

void CanvasView::paintEvent(QPaintEvent* event) {
    platform::assertMainThread();
    QPainter painter(this);
    painter.fillRect(event->rect(), backdropColor(palette().color(QPalette::Window)));
    const CanvasGeometry g = geometry();
    paintDocument(painter, g);
    paintTextFieldFrame(painter, g);

    const QColor accent = palette().color(QPalette::Highlight);
    if (document_.tool() == annotation::Tool::crop && document_.cropDraft()) {
        chrome::drawCropChrome(painter, *document_.cropDraft(), g, accent,
                               document_.sources().scale());
    } else if (!document_.editingTextID()) {
        if (const std::optional<annotation::Annotation> selected = document_.selectedAnnotation()) {
            chrome::drawSelectionChrome(painter, *selected, g, accent);
        }
    }
}

void CanvasView::paintDocument(QPainter& painter, const CanvasGeometry& g) {
    const QRectF shown = toQt(g.canvasRect());
    if (!(shown.width() > 0 && shown.height() > 0) || !std::isfinite(shown.width()) ||
        !std::isfinite(shown.height())) {
        return;
    }
    const double dpr = devicePixelRatioF();
    const QRectF device(shown.topLeft() * dpr, shown.size() * dpr);
    const QRect box = device.toAlignedRect().intersected(QRect(QPoint(0, 0), size() * dpr));
    if (box.isEmpty()) {
        return;
    }
    const annotation::EditorState& state = document_.state();
    const std::optional<QUuid> leaveOut = document_.editingTextID();
    const bool editingCrop = document_.tool() == annotation::Tool::crop;
    annotation::EditorState shownState = state;
    if (leaveOut) {
        std::erase_if(shownState.annotations,
                      [&](const annotation::Annotation& a) { return a.id == *leaveOut; });
    }
    // What is drawn decides whether the kept layer still shows it.
    const bool same = layer_.valid && layer_.box == box && layer_.dpr == dpr &&
                      layer_.scale == g.scale && layer_.origin == g.origin &&
                      layer_.editingCrop == editingCrop && layer_.leaveOut == leaveOut &&
                      layer_.state == shownState;
    annotation::ImageSources& sources = display_->at(g.scale * dpr);
    if (!same) {
        if (layer_.image.size() != box.size()) {
            layer_.image = QImage(box.size(), QImage::Format_ARGB32_Premultiplied);
        }
        if (layer_.image.isNull()) {
            layer_.valid = false;
            return;
        }
        layer_.image.setDevicePixelRatio(1);
        layer_.image.fill(Qt::transparent);
        {
            QPainter lp(&layer_.image);
            lp.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                              QPainter::TextAntialiasing);
            lp.translate(-box.x(), -box.y());
            lp.scale(dpr, dpr);
            lp.translate(g.origin.x, g.origin.y);
            lp.scale(g.scale, g.scale);
            annotation::renderer::drawDocument(lp, state, sources, g.layout, leaveOut);
        }
        layer_.box = box;
        layer_.dpr = dpr;
        layer_.scale = g.scale;
        layer_.origin = g.origin;
        layer_.editingCrop = editingCrop;
        layer_.leaveOut = leaveOut;
        layer_.state = std::move(shownState);
        layer_.shadow.reset();
        layer_.valid = true;
    }

    // The whole picture casts one shadow, down the screen. An opaque picture
    // casts that of its rectangle, which is kept; any other that of what its
    // layer covers.
    const std::optional<annotation::BackgroundSettings>& background = g.layout.background;
    const bool opaque = sources.isOpaque() && (!background || !background->fill.asSolid() ||
                                               background->fill.asSolid()->alpha >= 1);
    const double sigma = kShadowSigma * dpr;
    const double offset = kShadowOffset * dpr;
    painter.save();
    if (opaque) {
        // A picture larger than the view casts, within the view, the shadow
        // of its part near the view: beyond three deviations a Gaussian
        // adds nothing.
        const double reach = 3 * sigma + offset + 2;
        const QRectF cast = device.intersected(
            QRectF(QPointF(0, 0), QSizeF(size()) * dpr).adjusted(-reach, -reach, reach, reach));
        const QPointF whole(std::floor(cast.x()), std::floor(cast.y()));
        const DropShadow& shadow =
            rectShadow(cast.size(), cast.topLeft() - whole, sigma, kShadowAlpha);
        const QRectF target = shadow.target.translated(cast.topLeft() + QPointF(0, offset));
        // Under the picture the shadow is hidden: draw only around it.
        QRegion around(target.toAlignedRect());
        const QRect inner(QPoint(static_cast<int>(std::ceil(cast.left())),
                                 static_cast<int>(std::ceil(cast.top()))),
                          QPoint(static_cast<int>(std::floor(cast.right())) - 1,
                                 static_cast<int>(std::floor(cast.bottom())) - 1));
        around -= QRegion(inner);
        painter.scale(1 / dpr, 1 / dpr);
        painter.setClipRegion(around);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, shadow.image);
    } else {
        if (!layer_.shadow) {
            layer_.shadow = dropShadow(layer_.image, sigma, kShadowAlpha);
        }
        const QRectF target = layer_.shadow->target.translated(box.topLeft() + QPointF(0, offset));
        painter.scale(1 / dpr, 1 / dpr);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, layer_.shadow->image);
    }
    painter.restore();

    painter.save();
    painter.scale(1 / dpr, 1 / dpr);
    painter.drawImage(box.topLeft(), layer_.image);
    painter.restore();
}

void CanvasView::paintTextFieldFrame(QPainter& painter, const CanvasGeometry& g) {
    if (!field_ || !document_.editingTextID()) {
        return;
    }
    const std::optional<annotation::Annotation> mark =
        document_.annotation(*document_.editingTextID());
    if (!mark || !mark->shape.textLabel()) {
        return;
    }
    const TextFieldLayout field = textFieldLayout(*mark, g);
    const QRectF frame = QRectF(field_->geometry());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (field.filled) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(field.fillColor);
        painter.drawRoundedRect(frame, field.cornerRadius, field.cornerRadius);
    } else {
        QColor border = palette().color(QPalette::Highlight);
        border.setAlphaF(0.7f);
        painter.setPen(QPen(border, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), field.cornerRadius,
                                field.cornerRadius);
    }
    painter.restore();
}

// ---- the text field (CanvasHost) --------------------------------------------

annotation::Size CanvasView::viewSize() const {
    return annotation::Size{static_cast<double>(width()), static_cast<double>(height())};
}

void CanvasView::openTextField(const QString& text) {
    auto* field = new CanvasTextField(this);
    field->setPlainText(text);
    field_ = field;
    connect(field, &QPlainTextEdit::textChanged, this,
            [this, field] { controller_.textChanged(field->text()); });
    connect(field, &CanvasTextField::escapePressed, this,
            [this] { controller_.commitTextEditing(); });
    layoutTextField();
    field->show();
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

void CanvasView::closeTextField() {
    CanvasTextField* field = field_;
    field_ = nullptr;
    if (field != nullptr) {
        field->disconnect(this);
        field->hide();
        // The field may be in the middle of handling the key that ended it.
        field->deleteLater();
    }
}

void CanvasView::layoutTextField() {
    if (!field_ || !document_.editingTextID()) {
        return;
    }
    const std::optional<annotation::Annotation> mark =
        document_.annotation(*document_.editingTextID());
    if (!mark || !mark->shape.textLabel()) {
        return;
    }
    const TextFieldLayout layout = textFieldLayout(*mark, geometry());
    // The renderer's label font at the view's size of it.
    const QFont font = annotation::textMetrics::labelFont(layout.fontPixelSize, field_);
    if (field_->font() != font) {
        field_->setFont(font);
    }
    QPalette palette = field_->palette();
    palette.setColor(QPalette::Text, layout.textColor);
    palette.setColor(QPalette::Base, Qt::transparent);
    field_->setPalette(palette);
    field_->setInsets(layout.insetX, layout.insetY);
    const QRectF frame = toQt(layout.frame);
    const QRect placed(QPoint(static_cast<int>(std::lround(frame.left())),
                              static_cast<int>(std::lround(frame.top()))),
                       QSize(std::max(1, static_cast<int>(std::ceil(frame.width()))),
                             std::max(1, static_cast<int>(std::ceil(frame.height())))));
    if (field_->geometry() != placed) {
        field_->setGeometry(placed);
    }
    field_->horizontalScrollBar()->setValue(0);
    field_->verticalScrollBar()->setValue(0);
}

void CanvasView::focusCanvas() {
    setFocus(Qt::OtherFocusReason);
}

// ---- events -------------------------------------------------------------------

void CanvasView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutTextField();
    update();
}

void CanvasView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!field_) {
        setFocus(Qt::OtherFocusReason);
    }
}

void CanvasView::press(QMouseEvent* event, int clickCount) {
    platform::assertMainThread();
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const PointerInput input{toPoint(event->position()),
                             event->modifiers().testFlag(Qt::ShiftModifier), clickCount};
    if (const std::optional<CanvasCursor> cursor = controller_.mouseDown(input)) {
        showCursor(*cursor);
    }
}

void CanvasView::mousePressEvent(QMouseEvent* event) {
    press(event, 1);
}

void CanvasView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt sends press, release, double click, release: the double click is
    // the second press.
    press(event, 2);
}

void CanvasView::mouseMoveEvent(QMouseEvent* event) {
    platform::assertMainThread();
    const Point v = toPoint(event->position());
    if (event->buttons().testFlag(Qt::LeftButton)) {
        controller_.mouseDragged(
            PointerInput{v, event->modifiers().testFlag(Qt::ShiftModifier), 1});
        return;
    }
    showCursor(controller_.cursorAt(v));
}

void CanvasView::mouseReleaseEvent(QMouseEvent* event) {
    platform::assertMainThread();
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    showCursor(controller_.mouseUp(PointerInput{
        toPoint(event->position()), event->modifiers().testFlag(Qt::ShiftModifier), 1}));
}

void CanvasView::showCursor(CanvasCursor cursor) {
    switch (cursor) {
    case CanvasCursor::arrow:
        setCursor(Qt::ArrowCursor);
        break;
    case CanvasCursor::crosshair:
        setCursor(Qt::CrossCursor);
        break;
    case CanvasCursor::openHand:
        setCursor(Qt::OpenHandCursor);
        break;
    case CanvasCursor::closedHand:
        setCursor(Qt::ClosedHandCursor);
        break;
    case CanvasCursor::iBeam:
        setCursor(Qt::IBeamCursor);
        break;
    }
}

void CanvasView::keyPressEvent(QKeyEvent* event) {
    platform::assertMainThread();
    if (controller_.keyPress(KeyInput{event->key(), event->modifiers(), event->text()})) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

// ---- commands -------------------------------------------------------------------

void CanvasView::undo() {
    controller_.perform(CanvasCommand::undo);
}
void CanvasView::redo() {
    controller_.perform(CanvasCommand::redo);
}
void CanvasView::copy() {
    controller_.perform(CanvasCommand::copy);
}
void CanvasView::deleteSelection() {
    controller_.perform(CanvasCommand::deleteSelection);
}

bool CanvasView::validateCommand(const QByteArray& slot) const {
    if (slot == "undo()") {
        return controller_.isEnabled(CanvasCommand::undo);
    }
    if (slot == "redo()") {
        return controller_.isEnabled(CanvasCommand::redo);
    }
    if (slot == "deleteSelection()") {
        return controller_.isEnabled(CanvasCommand::deleteSelection);
    }
    return true;
}

} // namespace editor
