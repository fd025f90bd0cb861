#pragma once

#include "desktop/ToastLayout.h"

#include <QColor>
#include <QWidget>

namespace desktop {

// The toast's content: a capsule with a tinted symbol, the title and an
// optional detail of at most two lines.
class ToastView : public QWidget {
    Q_OBJECT
public:
    ToastView(const QString& title, const std::optional<QString>& detail, const QString& symbol,
              const QColor& tint, QWidget* parent = nullptr);

    const ToastLayout& toastLayout() const { return layout_; }
    QString title() const { return title_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
    ToastLayout layout_;
    QPixmap symbol_;
};

// A symbol image for the named symbol from the icon theme, in `tint`; a tinted
// dot when the theme has none of the names that stand for it.
QPixmap toastSymbol(const QString& symbol, const QColor& tint, int side, qreal devicePixelRatio);

} // namespace desktop
