#pragma once

#include <QAbstractButton>

namespace editor {

// The editor toolbar's square button: a symbol in a 30 × 26 frame with no
// bezel, on the accent colour in white while selected. Disabled, it is drawn
// at 35 % and takes no clicks.
class ToolbarIconButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int width = 30;
    static constexpr int height = 26;

    // `symbol` is the resource path of an SVG symbol, drawn `symbolSize`
    // points square.
    ToolbarIconButton(const QString& symbol, qreal symbolSize, QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

    QSize sizeHint() const override { return {width, height}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    qreal symbolSize_;
    bool selected_ = false;
};

} // namespace editor
