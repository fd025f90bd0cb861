#include "editor/views/EditorBottomBar.h"

#include "annotation/CanvasLayout.h"
#include "annotation/EditorDocument.h"
#include "editor/views/Controls.h"
#include "editor/views/CropControls.h"
#include "editor/views/DragHandle.h"
#include "editor/views/StyleControls.h"
#include "editor/views/ViewKit.h"
#include "platform/MainThread.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>

namespace editor {

using annotation::CanvasLayout;
using annotation::EditorDocument;
using annotation::Tool;

// ---- FittingLabel ---------------------------------------------------------

FittingLabel::FittingLabel(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

bool FittingLabel::fits() const {
    return width() >= sizeHint().width();
}

void FittingLabel::paintEvent(QPaintEvent* event) {
    if (fits()) {
        QLabel::paintEvent(event);
    }
}

// ---- EditorBottomBar ------------------------------------------------------

EditorBottomBar::EditorBottomBar(EditorDocument& document, annotation::CustomColors& custom,
                                 QWidget* parent)
    : QWidget(parent), document_(document), custom_(custom) {
    setFixedHeight(barHeight);
    setAutoFillBackground(false);
    row_ = new QHBoxLayout(this);
    row_->setContentsMargins(14, 0, 14, 0);
    row_->setSpacing(14);

    // The mode's controls go in front of this flexible space, which keeps
    // at least 12 points.
    row_->addSpacerItem(
        new QSpacerItem(12, 0, QSizePolicy::MinimumExpanding, QSizePolicy::Minimum));

    sizeLabel_ = new FittingLabel(this);
    sizeLabel_->setFont(scaledFont(font(), 0.92));
    QPalette quiet = sizeLabel_->palette();
    quiet.setColor(QPalette::WindowText, secondaryText(quiet));
    sizeLabel_->setPalette(quiet);
    sizeLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row_->addWidget(sizeLabel_);

    handle_ = new DragHandle(this);
    row_->addWidget(handle_, 0, Qt::AlignVCenter);

    pin_ = new QPushButton(this);
    pin_->setToolTip(tr("Pin to Screen"));
    pin_->setAccessibleName(tr("Pin to Screen"));
    share_ = new QPushButton(this);
    //: Button that opens the share menu for the capture
    share_->setToolTip(tr("Share"));
    share_->setAccessibleName(share_->toolTip());
    //: Button that copies the image to the clipboard
    copy_ = new QPushButton(tr("Copy"), this);
    copy_->setToolTip(tr("Copy to Clipboard (Ctrl+C)"));
    //: Button that saves the image
    save_ = new ProminentButton(tr("Save"), this);
    save_->setToolTip(tr("Save (Ctrl+S). Save As… is Ctrl+Shift+S."));
    for (QPushButton* button : {pin_, share_, copy_, save_}) {
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
        row_->addWidget(button, 0, Qt::AlignVCenter);
    }
    refreshIcons();

    connect(pin_, &QPushButton::clicked, this, [this] {
        platform::assertMainThread();
        Q_EMIT pinRequested();
    });
    connect(share_, &QPushButton::clicked, this, [this] {
        platform::assertMainThread();
        Q_EMIT shareRequested(share_);
    });
    connect(copy_, &QPushButton::clicked, this, [this] {
        platform::assertMainThread();
        Q_EMIT copyRequested();
    });
    connect(save_, &QPushButton::clicked, this, [this] {
        platform::assertMainThread();
        Q_EMIT saveRequested();
    });

    connect(&document_, &EditorDocument::toolChanged, this, &EditorBottomBar::showModeControls);
    connect(&document_, &EditorDocument::stateChanged, this, &EditorBottomBar::refreshSize);
    showModeControls();
    refreshSize();
}

QString EditorBottomBar::outputSizeText(EditorDocument& document) {
    const double scale = document.sources().scale();
    const CanvasLayout layout = CanvasLayout::make(document.state(), document.imageSize(), false);
    const auto pixels = [scale](double points) {
        return QString::number(static_cast<qint64>(annotation::roundHalfAway(points * scale)));
    };
    return QStringLiteral("%1 × %2 px")
        .arg(pixels(layout.canvasSize.width), pixels(layout.canvasSize.height));
}

void EditorBottomBar::setDragItemProvider(std::function<QMimeData*()> provider) {
    handle_->setItemProvider(std::move(provider));
}

void EditorBottomBar::setCanvasHasFocus(std::function<bool()> canvasHasFocus) {
    canvasHasFocus_ = std::move(canvasHasFocus);
    if (crop_) {
        crop_->setCanvasHasFocus(canvasHasFocus_);
    }
}

void EditorBottomBar::showModeControls() {
    const bool cropping = document_.tool() == Tool::crop;
    if (cropping == (crop_ != nullptr) && (crop_ || style_)) {
        return;
    }
    // The old controls may be the sender of what brought us here (Crop,
    // Cancel): they go once their event is over.
    for (QWidget* old : {static_cast<QWidget*>(crop_), static_cast<QWidget*>(style_)}) {
        if (old) {
            row_->removeWidget(old);
            old->hide();
            old->deleteLater();
        }
    }
    crop_ = nullptr;
    style_ = nullptr;
    QWidget* controls = nullptr;
    if (cropping) {
        crop_ = new CropControls(document_, this);
        crop_->setCanvasHasFocus(canvasHasFocus_);
        controls = crop_;
    } else {
        style_ = new StyleControls(document_, custom_, this);
        controls = style_;
    }
    row_->insertWidget(0, controls, 0, Qt::AlignVCenter);
    controls->show();
}

void EditorBottomBar::refreshSize() {
    sizeLabel_->setText(outputSizeText(document_));
}

void EditorBottomBar::refreshIcons() {
    const QColor ink = palette().color(QPalette::ButtonText);
    pin_->setIcon(symbolIcon(editorSymbol(QStringLiteral("pin")), QSize(16, 16), ink));
    share_->setIcon(symbolIcon(editorSymbol(QStringLiteral("share")), QSize(16, 16), ink));
}

void EditorBottomBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
}

void EditorBottomBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        refreshIcons();
    }
    QWidget::changeEvent(event);
}

CropControls* EditorBottomBar::cropControls() const {
    return crop_;
}

StyleControls* EditorBottomBar::styleControls() const {
    return style_;
}

} // namespace editor
