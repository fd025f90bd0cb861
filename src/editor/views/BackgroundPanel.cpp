#include "editor/views/BackgroundPanel.h"

#include "annotation/EditorDocument.h"
#include "desktop/DigitFont.h"
#include "editor/views/Controls.h"
#include "editor/views/ViewKit.h"
#include "platform/MainThread.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace editor {

using annotation::BackgroundAspect;
using annotation::BackgroundFill;
using annotation::BackgroundSettings;
using annotation::EditorDocument;
using annotation::EditorState;
using annotation::GradientPreset;
using app::RGBA;

namespace {

constexpr int kSwatchWidth = 48;
constexpr int kSwatchHeight = 34;
constexpr int kRing = 3; // the selection ring lies this far outside a swatch
constexpr int kGap = 8;
constexpr int kColumns = 4;
constexpr int kGridWidth = kColumns * kSwatchWidth + (kColumns - 1) * kGap + 2 * kRing;
constexpr int kMargin = 16;

// Rows other than the fill grid keep the panel's margin; the grid reaches
// into it by the width of its rings.
QWidget* inset(QWidget* widget, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(kRing, 0, kRing, 0);
    layout->addWidget(widget);
    return box;
}

} // namespace

// ---- FillSwatch -----------------------------------------------------------

FillSwatch::FillSwatch(BackgroundFill fill, QWidget* parent)
    : QAbstractButton(parent), fill_(std::move(fill)) {
    setFixedSize(sizeHint());
    setFocusPolicy(Qt::TabFocus);
}

QSize FillSwatch::sizeHint() const {
    return {kSwatchWidth + 2 * kRing, kSwatchHeight + 2 * kRing};
}

void FillSwatch::setSelected(bool selected) {
    if (selected == selected_) {
        return;
    }
    selected_ = selected;
    update();
}

void FillSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF swatch = QRectF(rect()).adjusted(kRing, kRing, -kRing, -kRing);
    QPainterPath shape;
    shape.addRoundedRect(swatch, 7, 7);
    if (const RGBA* solid = fill_.asSolid()) {
        painter.fillPath(shape, solid->toColor());
    } else {
        // Corner to corner, whatever the preset's own angle: a swatch shows
        // the colours, not the direction.
        const GradientPreset& preset = GradientPreset::clamped(fill_.asGradient()->index);
        QLinearGradient gradient(swatch.topLeft(), swatch.bottomRight());
        for (const auto& [at, colour] : preset.stops()) {
            gradient.setColorAt(at, colour.toColor());
        }
        painter.fillPath(shape, gradient);
    }
    painter.setPen(QPen(withAlpha(palette().color(QPalette::WindowText), 0.15), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(swatch.adjusted(0.5, 0.5, -0.5, -0.5), 6.5, 6.5);
    if (selected_ || hasFocus()) {
        const qreal width = selected_ ? 2.5 : 1.5;
        QColor ring = accentColor(palette());
        if (!selected_) {
            ring = withAlpha(ring, 0.6);
        }
        painter.setPen(QPen(ring, width));
        const QRectF outer = QRectF(rect()).adjusted(width / 2, width / 2, -width / 2, -width / 2);
        painter.drawRoundedRect(outer, 9 - width / 2, 9 - width / 2);
    }
    if (isDown()) {
        painter.fillPath(shape, QColor(0, 0, 0, 30));
    }
}

// ---- BackgroundPanel ------------------------------------------------------

BackgroundPanel::BackgroundPanel(EditorDocument& document, QWidget* parent)
    : QScrollArea(parent), document_(document) {
    setFixedWidth(panelWidth);
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    // The panel's one fill runs under the scroll bar too: a slim bar whose
    // rounded thumb lies on the fill, without a groove or arrows, shown
    // while the panel is taller than its room.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    const QColor thumb = withAlpha(palette().color(QPalette::WindowText), 0.3);
    verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical { background: transparent; width: 10px; margin: 2px "
                       "2px 2px 1px; }"
                       "QScrollBar::handle:vertical { background: rgba(%1, %2, %3, %4); "
                       "border-radius: 3px; min-height: 28px; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: "
                       "0px; border: none; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { "
                       "background: none; }")
            .arg(thumb.red())
            .arg(thumb.green())
            .arg(thumb.blue())
            .arg(thumb.alpha()));

    content_ = new QWidget;
    content_->setAutoFillBackground(true);
    content_->setBackgroundRole(QPalette::Window);
    auto* stack = new QVBoxLayout(content_);
    stack->setContentsMargins(kMargin - kRing, kMargin, kMargin - kRing, kMargin);
    stack->setSpacing(16);

    // The switch: never disabled.
    auto* header = new QWidget(content_);
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(0, 0, 0, 0);
    auto* title = new QLabel(tr("Background"), header);
    title->setFont(scaledFont(font(), 1.0, QFont::Bold));
    switch_ = new ToggleSwitch(header);
    switch_->setAccessibleName(title->text());
    headerRow->addWidget(title);
    headerRow->addStretch(1);
    headerRow->addWidget(switch_);
    stack->addWidget(inset(header, content_));
    connect(switch_, &QAbstractButton::clicked, this, [this](bool on) {
        platform::assertMainThread();
        document_.setBackgroundEnabled(on);
    });

    group_ = new QWidget(content_);
    auto* items = new QVBoxLayout(group_);
    items->setContentsMargins(0, 0, 0, 0);
    items->setSpacing(16);
    stack->addWidget(group_);

    // The fill grid: the twelve gradients, then the four solid colours.
    auto* grid = new QWidget(group_);
    auto* cells = new QGridLayout(grid);
    cells->setContentsMargins(0, 0, 0, 0);
    cells->setSpacing(kGap - 2 * kRing);
    std::vector<BackgroundFill> fills;
    for (std::size_t i = 0; i < GradientPreset::all().size(); ++i) {
        fills.push_back(BackgroundFill::gradient(static_cast<qint64>(i)));
    }
    for (const RGBA& colour : BackgroundSettings::solidColors()) {
        fills.push_back(BackgroundFill::solid(colour));
    }
    for (const BackgroundFill& fill : fills) {
        const int index = static_cast<int>(swatches_.size());
        auto* swatch = new FillSwatch(fill, grid);
        cells->addWidget(swatch, index / kColumns, index % kColumns, Qt::AlignCenter);
        connect(swatch, &QAbstractButton::clicked, this, [this, fill] {
            platform::assertMainThread();
            write([&](BackgroundSettings& b) { b.fill = fill; });
        });
        swatches_.push_back(swatch);
    }
    grid->setFixedWidth(kGridWidth);
    items->addWidget(grid, 0, Qt::AlignLeft);

    items->addWidget(inset(
        makeSliderRow(Slider::padding, tr("Padding"), static_cast<int>(annotation::kMaxPadding)),
        group_));
    items->addWidget(inset(makeSliderRow(Slider::cornerRadius, tr("Corner Radius"),
                                         static_cast<int>(annotation::kMaxCornerRadius)),
                           group_));

    shadow_ = new QCheckBox(tr("Shadow"), group_);
    items->addWidget(inset(shadow_, group_));
    connect(shadow_, &QCheckBox::clicked, this, [this](bool on) {
        platform::assertMainThread();
        write([&](BackgroundSettings& b) { b.shadow = on; });
    });

    // The aspect ratio.
    auto* aspectBox = new QWidget(group_);
    auto* aspectStack = new QVBoxLayout(aspectBox);
    aspectStack->setContentsMargins(0, 0, 0, 0);
    aspectStack->setSpacing(6);
    auto* aspectTitle = new QLabel(tr("Aspect Ratio"), aspectBox);
    QPalette quiet = aspectTitle->palette();
    quiet.setColor(QPalette::WindowText, secondaryText(quiet));
    aspectTitle->setPalette(quiet);
    std::vector<SegmentedControl::Segment> segments;
    for (BackgroundAspect aspect : annotation::backgroundAspects::allCases()) {
        QString text;
        switch (aspect) {
        case BackgroundAspect::automatic:
            //: Background aspect ratio: fit the screenshot
            text = tr("Auto");
            break;
        case BackgroundAspect::square:
            text = QStringLiteral("1:1");
            break;
        case BackgroundAspect::fourThree:
            text = QStringLiteral("4:3");
            break;
        case BackgroundAspect::sixteenNine:
            text = QStringLiteral("16:9");
            break;
        }
        segments.push_back({text, QString(), text});
    }
    aspect_ = new SegmentedControl(std::move(segments), aspectBox);
    aspect_->setAccessibleName(tr("Aspect Ratio"));
    aspectStack->addWidget(aspectTitle);
    aspectStack->addWidget(aspect_, 0, Qt::AlignLeft);
    items->addWidget(inset(aspectBox, group_));
    connect(aspect_, &SegmentedControl::activated, this, [this](int index) {
        platform::assertMainThread();
        const BackgroundAspect chosen =
            annotation::backgroundAspects::allCases()[static_cast<std::size_t>(index)];
        write([&](BackgroundSettings& b) { b.aspect = chosen; });
    });

    stack->addStretch(1);
    setWidget(content_);

    connect(&document_, &EditorDocument::stateChanged, this, &BackgroundPanel::refresh);
    refresh();
}

BackgroundPanel::~BackgroundPanel() {
    endSliderChange();
}

QWidget* BackgroundPanel::makeSliderRow(Slider which, const QString& title, int maximum) {
    auto* row = new QWidget(group_);
    auto* stack = new QVBoxLayout(row);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(4);
    auto* line = new QHBoxLayout;
    auto* name = new QLabel(title, row);
    QPalette quiet = name->palette();
    quiet.setColor(QPalette::WindowText, secondaryText(quiet));
    name->setPalette(quiet);
    auto* value = new QLabel(row);
    value->setFont(desktop::withFixedWidthDigits(scaledFont(font(), 0.9)));
    QPalette quieter = value->palette();
    quieter.setColor(QPalette::WindowText, tertiaryText(quieter));
    value->setPalette(quieter);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    line->addWidget(name);
    line->addStretch(1);
    line->addWidget(value);
    stack->addLayout(line);

    auto* slider = new QSlider(Qt::Horizontal, row);
    slider->setRange(0, maximum);
    slider->setTickPosition(QSlider::NoTicks);
    slider->setAccessibleName(title);
    stack->addWidget(slider);
    connect(slider, &QSlider::valueChanged, this,
            [this, which](int reported) { sliderReported(which, reported); });
    connect(slider, &QSlider::sliderPressed, this, [this] {
        platform::assertMainThread();
        if (!document_.isChangeOpen()) {
            document_.beginChange();
            sliderChangeOpen_ = true;
        }
    });
    connect(slider, &QSlider::sliderReleased, this, &BackgroundPanel::endSliderChange);

    (which == Slider::padding ? padding_ : cornerRadius_) = SliderRow{slider, value};
    return row;
}

QSlider* BackgroundPanel::slider(Slider which) const {
    return which == Slider::padding ? padding_.slider : cornerRadius_.slider;
}

QLabel* BackgroundPanel::valueLabel(Slider which) const {
    return which == Slider::padding ? padding_.value : cornerRadius_.value;
}

void BackgroundPanel::sliderReported(Slider which, double value) {
    platform::assertMainThread();
    const double whole = annotation::roundHalfAway(value);
    write([&](BackgroundSettings& b) {
        (which == Slider::padding ? b.padding : b.cornerRadius) = whole;
    });
}

QString BackgroundPanel::valueText(double value) {
    if (!std::isfinite(value)) {
        return QStringLiteral("0");
    }
    return QString::number(static_cast<qint64>(std::trunc(value)));
}

void BackgroundPanel::write(const std::function<void(BackgroundSettings&)>& edit) {
    const bool wasOpen = document_.isChangeOpen();
    if (!wasOpen) {
        document_.beginChange();
    }
    EditorState next = document_.state();
    edit(next.background);
    document_.setState(next);
    if (!wasOpen) {
        document_.endChange();
    }
}

void BackgroundPanel::endSliderChange() {
    if (sliderChangeOpen_) {
        sliderChangeOpen_ = false;
        document_.endChange();
    }
}

void BackgroundPanel::refresh() {
    const BackgroundSettings& b = document_.state().background;
    switch_->setChecked(b.isEnabled);
    group_->setEnabled(b.isEnabled);
    setOpacity(group_, b.isEnabled ? 1.0 : 0.45);
    for (FillSwatch* swatch : swatches_) {
        swatch->setSelected(swatch->fill() == b.fill);
    }
    for (const auto& [row, value] :
         {std::pair{padding_, b.padding}, std::pair{cornerRadius_, b.cornerRadius}}) {
        const QSignalBlocker quiet(row.slider);
        const double shown = std::isfinite(value) ? annotation::roundHalfAway(value) : 0;
        row.slider->setValue(static_cast<int>(
            std::clamp(shown, double(row.slider->minimum()), double(row.slider->maximum()))));
        row.value->setText(valueText(value));
    }
    shadow_->setChecked(b.shadow);
    const auto aspects = annotation::backgroundAspects::allCases();
    aspect_->setCurrentIndex(
        static_cast<int>(std::find(aspects.begin(), aspects.end(), b.aspect) - aspects.begin()));
}

void BackgroundPanel::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    fitContent();
}

void BackgroundPanel::fitContent() {
    // A vertical scroll bar takes its width from the right margin, so the
    // fill grid keeps its size.
    auto* stack = content_->layout();
    const int available = viewport()->width();
    const int right = std::clamp(available - (kMargin - kRing) - kGridWidth, 0, kMargin - kRing);
    const QMargins m = stack->contentsMargins();
    if (m.right() != right) {
        stack->setContentsMargins(m.left(), m.top(), right, m.bottom());
    }
}

} // namespace editor
