#pragma once

#include "desktop/ToastLayout.h"

#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace desktop {

// The toast's content: a capsule with a tinted symbol, the title and an
// optional detail of at most two lines. `translucent`: it floats with a soft
// shadow over what lies below; otherwise the capsule is opaque and the window
// is cut to it, so there is no shadow.
class ToastView : public QWidget {
    Q_OBJECT
public:
    ToastView(const QString& title, const std::optional<QString>& detail, const QString& symbol,
              const QColor& tint, bool translucent, QWidget* parent = nullptr);

    const ToastLayout& toastLayout() const { return layout_; }
    QString title() const { return title_; }
    // The capsule's outline, in the view's points.
    QPainterPath outline() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
    QString symbolName_;
    QColor tint_;
    bool translucent_;
    ToastLayout layout_;
    QPixmap symbol_; // at the device pixel ratio it was last painted at
};

} // namespace desktop
