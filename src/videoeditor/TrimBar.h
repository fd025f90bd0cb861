#pragma once

#include <QWidget>

class QPushButton;

namespace videoeditor {

// The timeline with two handles that trimming shows: the part between them is
// kept. Dragging a handle reports where it is (the player shows that
// picture); Trim takes the range, Cancel leaves the previous one.
class TrimTimeline : public QWidget {
    Q_OBJECT
public:
    explicit TrimTimeline(QWidget* parent = nullptr);

    void setRange(double duration, double start, double end);
    double start() const { return start_; }
    double end() const { return end_; }

    QSize sizeHint() const override { return {400, 28}; }

Q_SIGNALS:
    // A handle moved to `seconds`.
    void handleMoved(double seconds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRectF track() const;
    double xFor(double seconds) const;
    double secondsAt(double x) const;
    QRectF handleRect(bool startHandle) const;
    void moveHandle(bool startHandle, double seconds);

    double duration_ = 0;
    double start_ = 0;
    double end_ = 0;
    // Which handle the mouse holds or the keyboard moves.
    enum class Handle { none, start, end } dragging_ = Handle::none;
    bool keyboardEnd_ = false;
};

class TrimBar : public QWidget {
    Q_OBJECT
public:
    explicit TrimBar(QWidget* parent = nullptr);

    TrimTimeline* timeline() const { return timeline_; }

Q_SIGNALS:
    void trimmed(double start, double end);
    void cancelled();

private:
    TrimTimeline* timeline_;
};

} // namespace videoeditor
