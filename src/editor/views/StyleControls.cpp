#include "editor/views/StyleControls.h"

#include "annotation/CustomColors.h"
#include "annotation/EditorDocument.h"
#include "editor/views/ColorPalette.h"
#include "editor/views/Controls.h"
#include "editor/views/ViewKit.h"
#include "platform/MainThread.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace editor {

using annotation::Annotation;
using annotation::EditorDocument;
using annotation::ShapeKind;
using annotation::TextStyle;
using annotation::Tool;
using app::RGBA;

// ---- ColorButton ----------------------------------------------------------

ColorButton::ColorButton(QWidget* parent) : QAbstractButton(parent) {
    setFixedSize(sizeHint());
    setFocusPolicy(Qt::TabFocus);
}

void ColorButton::setColor(const QColor& colour) {
    if (colour == colour_) {
        return;
    }
    colour_ = colour;
    update();
}

void ColorButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle = rect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour_);
    painter.drawEllipse(circle);
    const qreal edge = hasFocus() ? 2 : 1;
    const QColor line = hasFocus() ? accentColor(palette())
                                   : withAlpha(palette().color(QPalette::WindowText), 0.25);
    painter.setPen(QPen(line, edge));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(circle.adjusted(edge / 2, edge / 2, -edge / 2, -edge / 2));
    if (isDown()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 40));
        painter.drawEllipse(circle);
    }
}

// ---- StyleControls --------------------------------------------------------

StyleControls::StyleControls(EditorDocument& document, annotation::CustomColors& custom,
                             QWidget* parent)
    : QWidget(parent), document_(document), custom_(custom) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    row->setSizeConstraint(QLayout::SetFixedSize);

    colorButton_ = new ColorButton(this);
    colorButton_->setToolTip(tr("Color"));
    colorButton_->setAccessibleName(tr("Color"));
    row->addWidget(colorButton_, 0, Qt::AlignVCenter);
    connect(colorButton_, &QAbstractButton::clicked, this, &StyleControls::toggleColors);

    std::vector<SegmentedControl::Segment> sizes;
    for (const char* label : sizeStepLabels) {
        sizes.push_back({QString::fromLatin1(label), QString(), QString::fromLatin1(label)});
    }
    sizePicker_ = new SegmentedControl(std::move(sizes), this);
    sizePicker_->setAccessibleName(tr("Size"));
    //: Annotation size picker (stroke width and text size)
    sizePicker_->setToolTip(tr("Size"));
    row->addWidget(sizePicker_, 0, Qt::AlignVCenter);
    connect(sizePicker_, &SegmentedControl::activated, this, [this](int index) {
        platform::assertMainThread();
        document_.setSize(sizeSteps[static_cast<std::size_t>(index)]);
    });

    shadowBox_ = new QCheckBox(tr("Shadow"), this);
    shadowBox_->setToolTip(tr("Drop shadow under annotations"));
    row->addWidget(shadowBox_, 0, Qt::AlignVCenter);
    connect(shadowBox_, &QCheckBox::clicked, this, [this](bool checked) {
        platform::assertMainThread();
        document_.setShadow(checked);
    });

    textStylePicker_ = new SegmentedControl(
        {{QString(), editorSymbol(QStringLiteral("text-plain")), tr("Plain")},
         {QString(), editorSymbol(QStringLiteral("text-filled")), tr("Filled")}},
        this);
    textStylePicker_->setAccessibleName(tr("Text Style"));
    textStylePicker_->setToolTip(tr("Text style: plain or on a filled label"));
    row->addWidget(textStylePicker_, 0, Qt::AlignVCenter);
    connect(textStylePicker_, &SegmentedControl::activated, this, [this](int index) {
        platform::assertMainThread();
        document_.setTextStyle(index == 0 ? TextStyle::plain : TextStyle::filled);
    });

    for (auto signal : {&EditorDocument::colorChanged, &EditorDocument::sizeChanged,
                        &EditorDocument::shadowChanged, &EditorDocument::textStyleChanged,
                        &EditorDocument::toolChanged, &EditorDocument::selectedIDChanged,
                        &EditorDocument::stateChanged}) {
        connect(&document_, signal, this, &StyleControls::refresh);
    }
    refresh();
}

StyleControls::~StyleControls() {
    closeDialogChange();
}

int StyleControls::sizeIndex(double size) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < sizeSteps.size(); ++i) {
        if (std::abs(sizeSteps[i] - size) < std::abs(sizeSteps[best] - size)) {
            best = i;
        }
    }
    return static_cast<int>(best);
}

bool StyleControls::isStyleApplicable(const EditorDocument& document) {
    if (const std::optional<Annotation> selected = document.selectedAnnotation()) {
        const ShapeKind kind = selected->shape.kind();
        return kind != ShapeKind::pixelate && kind != ShapeKind::blur &&
               kind != ShapeKind::spotlight;
    }
    switch (document.tool()) {
    case Tool::crop:
    case Tool::pixelate:
    case Tool::blur:
    case Tool::spotlight:
        return false;
    default:
        return true;
    }
}

bool StyleControls::showsTextStyle(const EditorDocument& document) {
    const std::optional<Annotation> selected = document.selectedAnnotation();
    if (selected && selected->shape.kind() == ShapeKind::text) {
        return true;
    }
    return document.tool() == Tool::text;
}

void StyleControls::refresh() {
    const RGBA c = document_.color();
    colorButton_->setColor(c.toColor());
    sizePicker_->setCurrentIndex(sizeIndex(document_.size()));
    shadowBox_->setChecked(document_.shadow());
    textStylePicker_->setCurrentIndex(document_.textStyle() == TextStyle::plain ? 0 : 1);
    textStylePicker_->setVisible(showsTextStyle(document_));
    const bool applicable = isStyleApplicable(document_);
    setEnabled(applicable);
    setOpacity(this, applicable ? 1.0 : 0.4);
}

void StyleControls::toggleColors() {
    platform::assertMainThread();
    if (popover_) {
        popover_->close();
        return;
    }
    popover_ = new ColorPopover(document_, custom_, this);
    connect(popover_, &ColorPopover::dismissed, this, [this] {
        if (popover_) {
            popover_->deleteLater();
            popover_ = nullptr;
        }
    });
    connect(popover_->colorPalette(), &ColorPalette::customRequested, this, [this] {
        if (popover_) {
            popover_->close();
        }
        openCustomColorDialog();
    });
    popover_->popUp(colorButton_);
}

void StyleControls::openCustomColorDialog() {
    platform::assertMainThread();
    if (dialog_) {
        dialog_->raise();
        dialog_->activateWindow();
        return;
    }
    const RGBA before = document_.color();
    auto* dialog = new QColorDialog(this);
    dialog_ = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Qt's own chooser, which reports every colour as it is picked.
    dialog->setOptions(QColorDialog::DontUseNativeDialog);
    dialog->setWindowTitle(tr("Annotation Color"));
    dialog->setCurrentColor(QColor::fromRgbF(static_cast<float>(before.red),
                                             static_cast<float>(before.green),
                                             static_cast<float>(before.blue)));
    auto lastSet = std::make_shared<std::optional<RGBA>>();
    connect(dialog, &QColorDialog::currentColorChanged, this, [this, lastSet](const QColor& c) {
        platform::assertMainThread();
        const RGBA colour = RGBA::fromColor(c);
        *lastSet = colour;
        document_.setColor(colour);
    });
    // Cancel takes back what the chooser set, unless the colour changed
    // elsewhere since.
    connect(dialog, &QDialog::rejected, this, [this, before, lastSet] {
        closeDialogChange();
        if (*lastSet && document_.color() == **lastSet) {
            document_.setColor(before);
        }
    });
    connect(dialog, &QDialog::finished, this, [this] { closeDialogChange(); });
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
    dialog->show();
}

bool StyleControls::eventFilter(QObject* watched, QEvent* event) {
    // A drag across the chooser's colour field reports many colours: they
    // make one undo step together.
    if (dialog_ && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && !document_.isChangeOpen()) {
        document_.beginChange();
        dialogChangeOpen_ = true;
    } else if (event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        closeDialogChange();
    }
    return QWidget::eventFilter(watched, event);
}

void StyleControls::closeDialogChange() {
    if (dialogChangeOpen_) {
        dialogChangeOpen_ = false;
        document_.endChange();
    }
}

bool StyleControls::showsColors() const {
    return popover_ != nullptr;
}

ColorPopover* StyleControls::popover() const {
    return popover_;
}

} // namespace editor
