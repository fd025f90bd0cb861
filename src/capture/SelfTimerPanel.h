#pragma once

#include <QVariantAnimation>
#include <QWidget>

#include <functional>

namespace capture {

// The self-timer's square: a large white number on a dark rounded square that
// floats above everything, never takes the keyboard, and cancels on a click.
class SelfTimerPanel : public QWidget {
    Q_OBJECT
public:
    explicit SelfTimerPanel(int remaining);

    int remaining() const { return remaining_; }
    // Animates the change of the number.
    void setRemaining(int remaining);

    std::function<void()> onCancel;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPainterPath shape() const;

    int remaining_;
    int previous_;
    QVariantAnimation change_;
};

} // namespace capture
