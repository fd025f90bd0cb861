#pragma once

#include <QAbstractButton>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <vector>

namespace editor {

// A row of joined segments of which at most one is chosen, each showing a
// text or a symbol. Every click on a segment reports it, even the chosen one;
// the owner decides what choosing means and sets the shown index back.
class SegmentedControl : public QWidget {
    Q_OBJECT
public:
    struct Segment {
        QString text;   // shown when there is no symbol
        QString symbol; // resource path of an SVG symbol, or empty
        QString accessibleName;
    };

    explicit SegmentedControl(std::vector<Segment> segments, QWidget* parent = nullptr);

    int count() const { return static_cast<int>(segments_.size()); }
    const Segment& segment(int index) const { return segments_.at(index); }
    // -1 when none is chosen.
    int currentIndex() const { return current_; }
    // Shows the index as chosen without reporting it.
    void setCurrentIndex(int index);
    // Where segment `index` lies in the control.
    QRect segmentRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

Q_SIGNALS:
    // The user chose the segment (by click, or by the arrow keys).
    void activated(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int segmentAt(const QPoint& pos) const;
    int segmentWidth() const;

    std::vector<Segment> segments_;
    int current_ = -1;
    int pressed_ = -1;
    bool pressInside_ = false;
};

// A push button filled with the accent colour: the one action of its group
// that the user most likely wants.
class ProminentButton : public QPushButton {
    Q_OBJECT
public:
    explicit ProminentButton(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// An on/off switch: a rounded track with a knob, on at the trailing end in
// the accent colour.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {38, 22}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace editor
