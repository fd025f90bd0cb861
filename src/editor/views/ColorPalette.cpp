#include "editor/views/ColorPalette.h"

#include "annotation/CustomColors.h"
#include "annotation/EditorDocument.h"
#include "editor/views/ViewKit.h"
#include "platform/MainThread.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QToolTip>
#include <QVBoxLayout>

namespace editor {

using annotation::CustomColors;
using annotation::EditorDocument;
using app::RGBA;

namespace {

// Five columns 24 points wide and 8 apart, rows 8 apart: a cell is one column
// and its gap. The circle sits low and left in its cell so that the ring (3
// points beyond it) and the remove badge (6 points beyond its top-right
// corner) stay inside; rows overlap by one point to keep their 30-point pitch.
constexpr int kColumns = 5;
constexpr int kCellWidth = 32;
constexpr int kCellHeight = 31;
constexpr int kRowOverlap = 1;
constexpr qreal kDiameter = 22;
constexpr qreal kCircleLeft = 4;
constexpr qreal kCircleTop = 6;
constexpr qreal kBadge = 14;
constexpr qreal kBadgeOffset = 6;

QString removeText() {
    //: Color palette: removes one of the user's own colors
    return ColorSwatch::tr("Remove");
}

// A swatch presses like a button; one of the user's own colours also offers
// "Remove", as its badge and its menu do.
class SwatchAccessible : public QAccessibleWidget {
public:
    explicit SwatchAccessible(ColorSwatch* swatch)
        : QAccessibleWidget(swatch, QAccessible::Button) {}

    QStringList actionNames() const override {
        QStringList names{pressAction()};
        if (swatch()->isRemovable()) {
            names << removeText();
        }
        return names;
    }
    QString localizedActionName(const QString& name) const override {
        return name == removeText() ? name : QAccessibleWidget::localizedActionName(name);
    }
    void doAction(const QString& name) override {
        platform::assertMainThread();
        if (name == pressAction()) {
            Q_EMIT swatch()->chosen();
        } else if (name == removeText() && swatch()->isRemovable()) {
            Q_EMIT swatch()->removeRequested();
        }
    }

private:
    ColorSwatch* swatch() const { return static_cast<ColorSwatch*>(widget()); }
};

QAccessibleInterface* swatchAccessible(const QString&, QObject* object) {
    if (auto* swatch = qobject_cast<ColorSwatch*>(object)) {
        return new SwatchAccessible(swatch);
    }
    return nullptr;
}

} // namespace

// ---- ColorSwatch ----------------------------------------------------------

ColorSwatch::ColorSwatch(const RGBA& colour, bool removable, QWidget* parent)
    : QWidget(parent), colour_(colour), removable_(removable) {
    setFixedSize(kCellWidth, kCellHeight);
    setAttribute(Qt::WA_Hover);
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(swatchAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
}

QRectF ColorSwatch::circleRect() const {
    return QRectF(kCircleLeft, kCircleTop, kDiameter, kDiameter);
}

QRectF ColorSwatch::badgeRect() const {
    // The badge's top-right corner lies 6 points right of and above the
    // swatch's.
    const QRectF circle = circleRect();
    return QRectF(circle.right() + kBadgeOffset - kBadge, circle.top() - kBadgeOffset, kBadge,
                  kBadge);
}

void ColorSwatch::setSelected(bool selected) {
    if (selected == selected_) {
        return;
    }
    selected_ = selected;
    update();
}

ColorSwatch::Part ColorSwatch::partAt(const QPointF& pos) const {
    if (showsBadge() && badgeRect().contains(pos)) {
        return Part::badge;
    }
    return circleRect().adjusted(-3, -3, 3, 3).contains(pos) ? Part::swatch : Part::none;
}

void ColorSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF circle = circleRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour_.toColor());
    painter.drawEllipse(circle);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(withAlpha(pal.color(QPalette::WindowText), 0.2), 1));
    painter.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
    if (selected_) {
        const qreal width = 2.5;
        const QRectF ring = circle.adjusted(-3, -3, 3, 3);
        painter.setPen(QPen(accentColor(pal), width));
        painter.drawEllipse(ring.adjusted(width / 2, width / 2, -width / 2, -width / 2));
    }
    if (showsBadge()) {
        const QRectF badge = badgeRect();
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(0.35f, 0.35f, 0.35f));
        painter.drawEllipse(badge);
        const qreal arm = badge.width() * 0.18;
        const QPointF c = badge.center();
        painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(c + QPointF(-arm, -arm), c + QPointF(arm, arm));
        painter.drawLine(c + QPointF(-arm, arm), c + QPointF(arm, -arm));
    }
}

void ColorSwatch::enterEvent(QEnterEvent* event) {
    hovering_ = true;
    update();
    QWidget::enterEvent(event);
}

void ColorSwatch::leaveEvent(QEvent* event) {
    hovering_ = false;
    pressed_ = Part::none;
    update();
    QWidget::leaveEvent(event);
}

void ColorSwatch::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    pressed_ = partAt(event->position());
}

void ColorSwatch::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const Part pressed = pressed_;
    pressed_ = Part::none;
    if (pressed == Part::none || partAt(event->position()) != pressed) {
        return;
    }
    platform::assertMainThread();
    if (pressed == Part::badge) {
        Q_EMIT removeRequested();
    } else {
        Q_EMIT chosen();
    }
}

void ColorSwatch::contextMenuEvent(QContextMenuEvent* event) {
    if (!removable_) {
        event->ignore();
        return;
    }
    QMenu menu(this);
    QAction* remove = menu.addAction(removeText());
    if (menu.exec(event->globalPos()) == remove) {
        Q_EMIT removeRequested();
    }
}

bool ColorSwatch::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (showsBadge() && badgeRect().contains(help->pos())) {
            QToolTip::showText(help->globalPos(), removeText(), this, badgeRect().toRect());
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

// ---- ColorWell ------------------------------------------------------------

ColorWell::ColorWell(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(sizeHint());
}

void ColorWell::setColor(const QColor& colour) {
    if (colour == colour_) {
        return;
    }
    colour_ = colour;
    update();
}

void ColorWell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF bezel = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor face = pal.color(QPalette::Button);
    if (isDown()) {
        face = face.darker(112);
    }
    painter.setPen(QPen(withAlpha(pal.color(QPalette::WindowText), hasFocus() ? 0.5 : 0.25), 1));
    painter.setBrush(face);
    painter.drawRoundedRect(bezel, 5, 5);
    const QRectF chip = bezel.adjusted(4, 4, -4, -4);
    painter.setPen(QPen(withAlpha(pal.color(QPalette::WindowText), 0.2), 1));
    painter.setBrush(colour_);
    painter.drawRoundedRect(chip, 2.5, 2.5);
}

// ---- ColorPalette ---------------------------------------------------------

ColorPalette::ColorPalette(EditorDocument& document, CustomColors& custom, QWidget* parent)
    : QWidget(parent), document_(document), customColours_(custom) {
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(14, 14, 14, 14);
    layout_->setSpacing(10);
    layout_->setSizeConstraint(QLayout::SetFixedSize);

    const auto palette = RGBA::palette();
    layout_->addWidget(makeGrid({palette.begin(), palette.end()}, false, builtIn_));

    auto* row = new QHBoxLayout;
    row->setContentsMargins(4, 0, 4, 0);
    //: Picker for a custom annotation color
    auto* title = new QLabel(tr("Custom"), this);
    well_ = new ColorWell(this);
    well_->setAccessibleName(title->text());
    title->setBuddy(well_);
    row->addWidget(title);
    row->addStretch(1);
    row->addWidget(well_);
    layout_->addLayout(row);
    connect(well_, &QAbstractButton::clicked, this, [this] {
        platform::assertMainThread();
        Q_EMIT customRequested();
    });

    rebuildCustom();
    connect(&customColours_, &CustomColors::listChanged, this, &ColorPalette::rebuildCustom);
    connect(&document_, &EditorDocument::colorChanged, this, &ColorPalette::refreshSelection);
}

bool ColorPalette::matches(const RGBA& current, const RGBA& swatch) {
    return CustomColors::normalize(current.red, current.green, current.blue) ==
           CustomColors::normalize(swatch.red, swatch.green, swatch.blue);
}

QWidget* ColorPalette::makeGrid(const std::vector<RGBA>& colours, bool removable,
                                std::vector<ColorSwatch*>& into) {
    auto* grid = new QWidget(this);
    auto* cells = new QGridLayout(grid);
    cells->setContentsMargins(0, 0, 0, 0);
    cells->setHorizontalSpacing(0);
    cells->setVerticalSpacing(-kRowOverlap);
    int index = 0;
    for (const RGBA& colour : colours) {
        auto* swatch = new ColorSwatch(colour, removable, grid);
        cells->addWidget(swatch, index / kColumns, index % kColumns);
        connect(swatch, &ColorSwatch::chosen, this, [this, colour] {
            platform::assertMainThread();
            document_.setColor(colour);
        });
        if (removable) {
            // Queued: the swatch that asks goes away with the list it is in.
            connect(
                swatch, &ColorSwatch::removeRequested, this,
                [this, colour] {
                    platform::assertMainThread();
                    customColours_.setList(customColours_.list().removing(colour));
                },
                Qt::QueuedConnection);
        }
        into.push_back(swatch);
        ++index;
    }
    // A short last row keeps the columns of a full one.
    for (int column = 0; column < kColumns; ++column) {
        cells->setColumnMinimumWidth(column, kCellWidth);
    }
    return grid;
}

void ColorPalette::rebuildCustom() {
    platform::assertMainThread();
    if (customGrid_) {
        customGrid_->hide();
        customGrid_->deleteLater();
    }
    if (customDivider_) {
        customDivider_->hide();
        customDivider_->deleteLater();
    }
    custom_.clear();
    const std::vector<RGBA>& colours = customColours_.list().colors;
    if (!colours.empty()) {
        customDivider_ = new LineDivider(Qt::Horizontal, 0, 0, this);
        customGrid_ = makeGrid(colours, true, custom_);
        layout_->insertWidget(1, customDivider_);
        layout_->insertWidget(2, customGrid_);
    }
    refreshSelection();
}

void ColorPalette::refreshSelection() {
    const RGBA current = document_.color();
    for (auto* list : {&builtIn_, &custom_}) {
        for (ColorSwatch* swatch : *list) {
            swatch->setSelected(matches(current, swatch->color()));
        }
    }
    well_->setColor(QColor::fromRgbF(static_cast<float>(current.red),
                                     static_cast<float>(current.green),
                                     static_cast<float>(current.blue)));
}

// ---- ColorPopover ---------------------------------------------------------

ColorPopover::ColorPopover(EditorDocument& document, CustomColors& custom, QWidget* parent)
    : QFrame(parent, Qt::Popup) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    palette_ = new ColorPalette(document, custom, this);
    layout->addWidget(palette_);
}

void ColorPopover::popUp(QWidget* anchor) {
    anchor_ = anchor;
    adjustSize();
    const QRect a(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    const QScreen* screen = anchor->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect(a.center(), QSize(1, 1));
    constexpr int gap = 6;
    QPoint at(a.center().x() - width() / 2, a.top() - gap - height());
    if (at.y() < area.top()) {
        at.setY(a.bottom() + 1 + gap);
    }
    at.setX(qBound(area.left(), at.x(), qMax(area.left(), area.right() + 1 - width())));
    move(at);
    show();
}

void ColorPopover::mousePressEvent(QMouseEvent* event) {
    // A click on the button that opened the panel only closes it: replayed,
    // it would open the panel again at once.
    if (anchor_ && !rect().contains(event->position().toPoint()) &&
        anchor_->rect().contains(anchor_->mapFromGlobal(event->globalPosition().toPoint()))) {
        setAttribute(Qt::WA_NoMouseReplay);
    }
    QFrame::mousePressEvent(event);
}

void ColorPopover::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    Q_EMIT dismissed();
}

void ColorPopover::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QWidget::palette().color(QPalette::Window));
    painter.setPen(withAlpha(QWidget::palette().color(QPalette::WindowText), 0.25));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace editor
