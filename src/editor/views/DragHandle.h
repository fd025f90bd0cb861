#pragma once

#include <QWidget>

#include <functional>
#include <optional>

class QMimeData;

namespace editor {

// A small dashed target from which the edited image is dragged into another
// application. A drag may start anywhere in its frame; what it carries comes
// from the item provider at the moment the drag starts.
class DragHandle : public QWidget {
    Q_OBJECT
public:
    explicit DragHandle(QWidget* parent = nullptr);

    // Makes the data a drag carries; the drag takes ownership. None, or no
    // provider, gives a drag that carries nothing.
    void setItemProvider(std::function<QMimeData*()> provider);

    QSize sizeHint() const override { return {28, 24}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Runs the drag of `data` (owned by the drag); the platform's drag and
    // drop by default.
    virtual void runDrag(QMimeData* data);

private:
    std::function<QMimeData*()> provider_;
    std::optional<QPoint> pressedAt_;
};

} // namespace editor
