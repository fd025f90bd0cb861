#pragma once

#include "app/RGBA.h"

#include <QAbstractButton>
#include <QFrame>
#include <QPointer>
#include <QWidget>

#include <vector>

class QGridLayout;
class QVBoxLayout;

namespace annotation {
class CustomColors;
class EditorDocument;
} // namespace annotation

namespace editor {

class LineDivider;

// One colour of the palette: a 22-point circle, ringed in the accent colour
// while it is the document's colour. The user's own colours can be removed:
// a badge at the corner while the pointer is over the swatch, and the
// context menu.
class ColorSwatch : public QWidget {
    Q_OBJECT
public:
    ColorSwatch(const app::RGBA& colour, bool removable, QWidget* parent = nullptr);

    const app::RGBA& color() const { return colour_; }
    bool isRemovable() const { return removable_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    bool isHovering() const { return hovering_; }
    // Whether the remove badge shows now.
    bool showsBadge() const { return removable_ && hovering_; }

    QRectF circleRect() const;
    QRectF badgeRect() const;

Q_SIGNALS:
    void chosen();
    void removeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;

private:
    enum class Part { none, swatch, badge };
    Part partAt(const QPointF& pos) const;

    app::RGBA colour_;
    bool removable_;
    bool selected_ = false;
    bool hovering_ = false;
    Part pressed_ = Part::none;
};

// The button of the "Custom" row: a well showing the document's colour.
class ColorWell : public QAbstractButton {
    Q_OBJECT
public:
    explicit ColorWell(QWidget* parent = nullptr);
    void setColor(const QColor& colour);
    QColor color() const { return colour_; }
    QSize sizeHint() const override { return {46, 24}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_;
};

// The annotation colours: the nine built-in ones, the user's own colours
// (when there are any) under a divider, and a "Custom" row for any other
// colour. Choosing a swatch sets the document's colour; the custom row asks
// its owner to open a colour chooser.
class ColorPalette : public QWidget {
    Q_OBJECT
public:
    // Neither is owned; both must outlive the palette.
    ColorPalette(annotation::EditorDocument& document, annotation::CustomColors& custom,
                 QWidget* parent = nullptr);

    // Whether a swatch of `swatch` shows as the document's `current` colour:
    // both taken to whole 1/255 steps, alpha left out.
    static bool matches(const app::RGBA& current, const app::RGBA& swatch);

    const std::vector<ColorSwatch*>& builtInSwatches() const { return builtIn_; }
    const std::vector<ColorSwatch*>& customSwatches() const { return custom_; }
    bool showsCustomColors() const { return !custom_.empty(); }
    ColorWell* customButton() const { return well_; }

Q_SIGNALS:
    // The "Custom" row was clicked.
    void customRequested();

private:
    QWidget* makeGrid(const std::vector<app::RGBA>& colours, bool removable,
                      std::vector<ColorSwatch*>& into);
    void rebuildCustom();
    void refreshSelection();

    annotation::EditorDocument& document_;
    annotation::CustomColors& customColours_;
    QVBoxLayout* layout_;
    std::vector<ColorSwatch*> builtIn_;
    std::vector<ColorSwatch*> custom_;
    QPointer<LineDivider> customDivider_;
    QPointer<QWidget> customGrid_;
    ColorWell* well_;
};

// The palette in a pop-up panel next to the button that opened it. It goes
// away on a click elsewhere or Escape.
class ColorPopover : public QFrame {
    Q_OBJECT
public:
    ColorPopover(annotation::EditorDocument& document, annotation::CustomColors& custom,
                 QWidget* parent = nullptr);

    ColorPalette* colorPalette() const { return palette_; }
    // Shows the panel above `anchor` (below it when there is no room above),
    // centred on it.
    void popUp(QWidget* anchor);

Q_SIGNALS:
    void dismissed();

protected:
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    ColorPalette* palette_;
    QPointer<QWidget> anchor_;
};

} // namespace editor
