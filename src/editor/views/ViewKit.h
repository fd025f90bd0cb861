#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QString>
#include <QWidget>

class QPainter;

namespace editor {

// The small kit the editor's views share: the bundled symbols drawn in any
// colour, the text colours and sizes of their labels, and dimming.

// Resource path of one of the editor's own symbols ("undo", "pin"…).
QString editorSymbol(const QString& name);

// An SVG symbol drawn at `size` points for a screen of `dpr` pixels per
// point: its black ink takes `colour`, its white and clear parts stay clear.
QImage renderSymbol(const QString& path, const QSizeF& size, qreal dpr, const QColor& colour);
// The same, drawn centred in `box` at the painter's pixel density.
void drawSymbol(QPainter& painter, const QString& path, const QRectF& box, const QSizeF& size,
                const QColor& colour);
// An icon of the symbol in one colour, sharp at scales 1 and 2.
QIcon symbolIcon(const QString& path, const QSize& size, const QColor& colour);

QColor withAlpha(QColor colour, qreal alpha);
// The accent (selection) colour of the palette.
QColor accentColor(const QPalette& palette);
// Text a step and two steps quieter than the window's text.
QColor secondaryText(const QPalette& palette);
QColor tertiaryText(const QPalette& palette);
// The widget's font scaled by `factor`, with a weight.
QFont scaledFont(const QFont& base, qreal factor, QFont::Weight weight = QFont::Normal);

// Draws the widget and its children at `opacity` (1 removes the effect).
void setOpacity(QWidget* widget, qreal opacity);
// The opacity a widget is drawn at (1 without an effect).
qreal opacityOf(const QWidget* widget);

// A thin line between items: `length` long across the layout, with `margin`
// of space on either side of it along the layout.
class LineDivider : public QWidget {
    Q_OBJECT
public:
    // `orientation` is the line's own direction.
    LineDivider(Qt::Orientation orientation, int length, int margin, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Orientation orientation_;
};

} // namespace editor
