#pragma once

#include <QImage>
#include <QPainterPath>
#include <QPoint>
#include <QPointer>
#include <QWidget>

class QAbstractButton;

namespace delivery {

class PinWindow;

// What a pin shows and how it answers the pointer: the image, fitted to the
// window, in rounded corners with a faint light border; a close button
// while the pointer is over it; a drag moves the pin and a drag at its
// edges resizes it (both through the window manager); a double-click
// annotates; the wheel and a pinch zoom; a right-click opens its menu.
class PinView : public QWidget {
    Q_OBJECT
public:
    explicit PinView(PinWindow* pin);

    // The visible shape in the view's points.
    QPainterPath outline() const;
    QAbstractButton* closeButton() const { return closeButton_; }

    static constexpr double cornerRadius = 6;
    // How close to an edge a press resizes instead of moving.
    static constexpr int edgeGrip = 6;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    Qt::Edges edgesAt(QPoint point) const;
    void updateCursor(QPoint point);

    PinWindow* pin_;
    QAbstractButton* closeButton_;
    // The image scaled once to the view's device pixels.
    QImage scaled_;
    // A press that may become a move: where it was, and whether the window
    // manager took the move over. Without one (other Qt platforms) the
    // window is moved by hand from pressWindowPos_.
    std::optional<QPoint> pressGlobal_;
    QPoint pressWindowPos_;
    bool movingByHand_ = false;
};

} // namespace delivery
