#pragma once

#include <QColor>
#include <QProxyStyle>

class QAbstractButton;

namespace desktop {

// A push button drawn as a filled capsule: its label in the system font at
// 13 px, semibold and white, after its icon when it has one, 12 px from
// either end, in a frame 26 px high, on a capsule of `color` (at three
// quarters of its opacity while pressed).
class PillButtonStyle : public QProxyStyle {
    Q_OBJECT
public:
    static constexpr int height = 26;
    static constexpr int margin = 12;
    static constexpr int fontPixelSize = 13;
    static constexpr int iconSize = 13;
    static constexpr int iconSpacing = 5;

    explicit PillButtonStyle(const QColor& color);

    QColor color() const { return color_; }
    // The font of the label, from the widget's own.
    static QFont labelFont(const QWidget* widget);

    // Gives `button` this style in `color`; the style belongs to the button.
    static PillButtonStyle* apply(QAbstractButton* button, const QColor& color);

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget = nullptr) const override;

private:
    QColor color_;
};

} // namespace desktop
