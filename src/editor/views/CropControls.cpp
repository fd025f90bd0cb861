#include "editor/views/CropControls.h"

#include "annotation/EditorDocument.h"
#include "desktop/DigitFont.h"
#include "editor/views/Controls.h"
#include "editor/views/ViewKit.h"
#include "platform/MainThread.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

namespace editor {

using annotation::EditorDocument;
using annotation::Rect;
using annotation::roundHalfAway;

CropControls::CropControls(EditorDocument& document, QWidget* parent)
    : QWidget(parent), document_(document) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->setSizeConstraint(QLayout::SetFixedSize);

    sizeLabel_ = new QLabel(this);
    // Digits of one width: the label follows the drag.
    sizeLabel_->setFont(desktop::withFixedWidthDigits(sizeLabel_->font()));
    QPalette labelPalette = sizeLabel_->palette();
    labelPalette.setColor(QPalette::WindowText, secondaryText(labelPalette));
    sizeLabel_->setPalette(labelPalette);
    row->addWidget(sizeLabel_, 0, Qt::AlignVCenter);

    //: Button that resets the crop to the whole image
    reset_ = new QPushButton(tr("Reset"), this);
    cancel_ = new QPushButton(tr("Cancel"), this);
    //: Button that applies the crop
    // Return's button, shown as the default action.
    crop_ = new ProminentButton(tr("Crop"), this);
    for (QPushButton* button : {reset_, cancel_, crop_}) {
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
        row->addWidget(button, 0, Qt::AlignVCenter);
    }
    connect(reset_, &QPushButton::clicked, this, &CropControls::reset);
    connect(cancel_, &QPushButton::clicked, this, &CropControls::cancel);
    connect(crop_, &QPushButton::clicked, this, &CropControls::crop);

    auto bind = [this](const QKeySequence& keys, void (CropControls::*slot)()) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(false);
        connect(shortcut, &QShortcut::activated, this, slot);
        shortcuts_.push_back(shortcut);
    };
    bind(QKeySequence(Qt::Key_Escape), &CropControls::cancel);
    bind(QKeySequence(Qt::Key_Return), &CropControls::crop);
    bind(QKeySequence(Qt::Key_Enter), &CropControls::crop);
    // The keys follow the focus: while the canvas has it they are its own.
    connect(qApp, &QApplication::focusChanged, this, &CropControls::updateKeys);

    connect(&document_, &EditorDocument::cropDraftChanged, this, &CropControls::refresh);
    refresh();
    updateKeys();
}

std::optional<QString> CropControls::sizeText(const std::optional<Rect>& draft,
                                              double pixelsPerPoint) {
    if (!draft) {
        return std::nullopt;
    }
    const Rect r = draft->standardized();
    const auto whole = [pixelsPerPoint](double v) {
        return QString::number(static_cast<qint64>(roundHalfAway(v * pixelsPerPoint)));
    };
    return QStringLiteral("%1 × %2 px").arg(whole(r.width()), whole(r.height()));
}

void CropControls::setCanvasHasFocus(std::function<bool()> canvasHasFocus) {
    canvasHasFocus_ = std::move(canvasHasFocus);
    updateKeys();
}

bool CropControls::ownsKeys() const {
    return !(canvasHasFocus_ && canvasHasFocus_());
}

void CropControls::updateKeys() {
    const bool own = ownsKeys();
    for (QShortcut* shortcut : shortcuts_) {
        shortcut->setEnabled(own);
    }
}

void CropControls::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    updateKeys();
}

void CropControls::refresh() {
    const std::optional<QString> text =
        sizeText(document_.cropDraft(), document_.sources().scale());
    sizeLabel_->setVisible(text.has_value());
    sizeLabel_->setText(text.value_or(QString()));
}

void CropControls::reset() {
    platform::assertMainThread();
    const annotation::Size image = document_.imageSize();
    document_.setCropDraft(Rect(0, 0, image.width, image.height));
}

void CropControls::cancel() {
    platform::assertMainThread();
    document_.setTool(document_.previousTool());
}

void CropControls::crop() {
    platform::assertMainThread();
    document_.applyCrop();
}

} // namespace editor
