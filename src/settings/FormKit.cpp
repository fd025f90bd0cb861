#include "settings/FormKit.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace settings {

ChoicePicker::ChoicePicker(const QStringList& labels, Style style, QWidget* parent)
    : QWidget(parent), labels_(labels) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (style == Style::popUp) {
        combo_ = new QComboBox(this);
        combo_->addItems(labels);
        layout->addWidget(combo_);
        layout->addStretch();
        connect(combo_, &QComboBox::activated, this, &ChoicePicker::chosen);
        return;
    }
    layout->setSpacing(0);
    group_ = new QButtonGroup(this);
    for (int i = 0; i < labels.size(); ++i) {
        auto* button = new QPushButton(labels[i], this);
        button->setCheckable(true);
        button->setAutoDefault(false);
        // Room around the label, so that no style cuts it at the edges.
        button->setMinimumWidth(button->fontMetrics().horizontalAdvance(labels[i]) + 28);
        group_->addButton(button, i);
        layout->addWidget(button);
    }
    layout->addStretch();
    connect(group_, &QButtonGroup::idClicked, this, &ChoicePicker::chosen);
}

int ChoicePicker::currentIndex() const {
    return combo_ != nullptr ? combo_->currentIndex() : group_->checkedId();
}

void ChoicePicker::setCurrentIndex(int index) {
    if (combo_ != nullptr) {
        combo_->setCurrentIndex(index);
        return;
    }
    // An exclusive group keeps one button down; none may be down here.
    group_->setExclusive(false);
    for (QAbstractButton* button : group_->buttons()) {
        button->setChecked(group_->id(button) == index);
    }
    group_->setExclusive(true);
}

void ChoicePicker::choose(int index) {
    if (combo_ != nullptr) {
        combo_->setCurrentIndex(index);
        Q_EMIT combo_->activated(index);
    } else if (QAbstractButton* button = group_->button(index)) {
        button->click();
    }
}

void ElidedLabel::setFullText(const QString& text) {
    full_ = text;
    setToolTip(text);
    refit();
}

QSize ElidedLabel::minimumSizeHint() const {
    return {40, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    refit();
}

void ElidedLabel::refit() {
    setText(fontMetrics().elidedText(full_, Qt::ElideMiddle, qMax(0, width())));
}

void styleAsSecondary(QLabel* label, bool smaller) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    label->setPalette(palette);
    if (smaller) {
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * 0.92);
        label->setFont(font);
    }
}

QWidget* hbox(const QList<QWidget*>& widgets, bool stretchBetween) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < widgets.size(); ++i) {
        if (stretchBetween && i > 0) {
            layout->addStretch();
        }
        layout->addWidget(widgets[i]);
    }
    if (!stretchBetween) {
        layout->addStretch();
    }
    return row;
}

FormSection::FormSection(app::Preferences& preferences, const QString& header, QWidget* parent)
    : QWidget(parent)
    , preferences_(preferences)
    , group_(new QWidget(this))
    , rows_(new QGridLayout(group_))
    , layout_(new QVBoxLayout(this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(6);
    if (!header.isEmpty()) {
        auto* title = new QLabel(header, this);
        QFont font = title->font();
        font.setBold(true);
        title->setFont(font);
        layout_->addWidget(title);
    }
    group_->setObjectName(QStringLiteral("formGroup"));
    group_->setAttribute(Qt::WA_StyledBackground);
    group_->setStyleSheet(QStringLiteral("#formGroup { border: 1px solid palette(mid); "
                                         "border-radius: 6px; background: palette(base); }"));
    rows_->setContentsMargins(12, 10, 12, 10);
    rows_->setHorizontalSpacing(12);
    rows_->setVerticalSpacing(8);
    rows_->setColumnStretch(1, 1);
    layout_->addWidget(group_);
}

QCheckBox* FormSection::toggle(const QString& text, Setting<bool> binding) {
    auto* box = new QCheckBox(text);
    addRow(QString(), box);
    follow<bool>(preferences_, binding, box, [box](bool on) {
        if (box->isChecked() != on) {
            box->setChecked(on);
        }
    });
    QObject::connect(box, &QCheckBox::toggled, box,
                     [store = &preferences_, binding](bool on) { (store->*binding.set)(on); });
    return box;
}

void FormSection::addRow(const QString& label, QWidget* control) {
    const int row = rows_->rowCount();
    if (label.isEmpty()) {
        rows_->addWidget(control, row, 0, 1, 2);
        return;
    }
    auto* text = new QLabel(label);
    text->setBuddy(control);
    rows_->addWidget(text, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    rows_->addWidget(control, row, 1);
}

void FormSection::addWidget(QWidget* widget) {
    addRow(QString(), widget);
}

QLabel* FormSection::help(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    styleAsSecondary(label);
    addRow(QString(), label);
    return label;
}

void FormSection::setFooter(const QString& text) {
    if (footer_ == nullptr) {
        footer_ = new QLabel(this);
        footer_->setWordWrap(true);
        footer_->setContentsMargins(12, 0, 12, 0);
        styleAsSecondary(footer_);
        layout_->addWidget(footer_);
    }
    footer_->setText(text);
}

FormPane::FormPane(app::Preferences& preferences, QWidget* parent)
    : QScrollArea(parent)
    , preferences_(preferences)
    , column_(new QWidget)
    , layout_(new QVBoxLayout(column_)) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    layout_->setContentsMargins(20, 20, 20, 20);
    layout_->setSpacing(18);
    setWidget(column_);
}

FormSection* FormPane::section(const QString& header) {
    auto* section = new FormSection(preferences_, header, column_);
    layout_->addWidget(section);
    return section;
}

void FormPane::finish() {
    layout_->addStretch();
}

} // namespace settings
