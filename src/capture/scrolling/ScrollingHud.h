#pragma once

#include "capture/scrolling/ScrollingStatus.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace capture {

// The live preview of the stitched image: a dark rounded box with the
// preview at its width, scrolled so that its newest (bottom) rows are in view
// until the user scrolls it with the wheel.
class ScrollingHudPreview : public QWidget {
    Q_OBJECT
public:
    static constexpr int boxHeight = 220;

    explicit ScrollingHudPreview(int width, QWidget* parent = nullptr);
    void setPreview(const QImage& image);
    // Rows of the scaled preview hidden below the box (0: bottom in view).
    int scrolledUp() const { return scrolledUp_; }
    // Height of the preview drawn at the box's width less 8.
    int contentHeight() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QImage image_;
    int scrolledUp_ = 0;
};

// The floating panel of a scrolling capture: title, preview, status line,
// size, the Auto-Scroll / Pause button (greyed where the X server cannot
// auto-scroll), Cancel and Done. It
// follows a ScrollingStatus. It never takes the focus, acts on the first
// click, and can be dragged by its background anywhere but into the region it
// must keep out of (it would show in the frames).
class ScrollingHudPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int rowWidth = 160;
    static constexpr int innerMargin = 14;
    static constexpr int outerMargin = 10;

    ScrollingHudPanel(ScrollingStatus* status, std::function<void()> onAutoScroll,
                      std::function<void()> onDone, std::function<void()> onCancel);

    // The captured region in global points.
    void setKeepOut(const QRectF& region) { keepOut_ = region; }
    const QRectF& keepOut() const { return keepOut_; }

    // Moves the panel unless that would put any of it into the region.
    bool moveKeepingOut(QPoint topLeft);

    // The parts, for tests.
    ScrollingHudPreview* preview() const { return preview_; }
    QLabel* statusLine() const { return statusLine_; }
    QLabel* sizeLine() const { return sizeLine_; }
    QPushButton* autoScrollButton() const { return autoScrollButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* doneButton() const { return doneButton_; }

    // The colour of the status line now.
    QColor statusColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    bool showToolTip(QWidget* button, QPoint global);

    QPointer<ScrollingStatus> status_;
    QRectF keepOut_;
    bool translucent_;
    ScrollingHudPreview* preview_;
    QLabel* statusLine_;
    QLabel* sizeLine_;
    QPushButton* autoScrollButton_;
    QPushButton* cancelButton_;
    QPushButton* doneButton_;
    std::optional<QPoint> dragOffset_;
};

} // namespace capture
