#pragma once

#include <QWidget>

class QPushButton;

namespace editor {

// What an editor window shows while no image is open: a picture symbol, a
// line of text and a button to open an image.
class EditorEmptyView : public QWidget {
    Q_OBJECT
public:
    explicit EditorEmptyView(QWidget* parent = nullptr);

    // The colour around the picture on the canvas, which this view shares.
    void setBackdropColor(const QColor& colour);
    QPushButton* openButton() const { return open_; }

Q_SIGNALS:
    // "Open Image…" was clicked: the window asks for an image file.
    void openImageRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor backdrop_;
    QPushButton* open_;
};

// The backdrop colour for a window colour, until the window sets the
// canvas's own.
QColor defaultBackdropColor(const QColor& windowColor);

} // namespace editor
