#pragma once

#include "app/RecentFile.h"

#include <QAbstractItemView>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QMimeData;
class QScrollBar;

namespace delivery {

class RecentTileModel;

// The recent-captures strip's row: the model's files as 120 × 76 tiles side
// by side, 8 apart, inset 12 at the ends and 10 above and below, scrolled
// sideways with a slim bar over the bottom inset. Only the tiles in view (and
// one tile's width beyond each side) load their thumbnails and lengths. A
// click opens a tile's file, a drag carries it out as a file, and its menu
// shows, copies or trashes it. The row never takes the keyboard: the editor's
// keys stay with its canvas.
class RecentTileRow : public QAbstractItemView {
    Q_OBJECT
public:
    static constexpr int leadingInset = 12;
    static constexpr int topInset = 10;
    static constexpr int spacing = 8;

    explicit RecentTileRow(QWidget* parent = nullptr);

    // Must be a RecentTileModel; the row does not own it.
    void setModel(QAbstractItemModel* model) override;
    RecentTileModel* tileModel() const { return model_; }

    // Called with a tile's file after a single click on it.
    std::function<void(const app::RecentFile& file)> onOpen;
    // Carries a drag out (QDrag::exec by default); tests watch it instead.
    void setDragRunner(std::function<void(std::unique_ptr<QMimeData> data, const QPixmap& image)>);

    // The slim scroll bar drawn over the bottom inset.
    QScrollBar* scrollIndicator() const { return indicator_; }
    // The tile's menu: "Show in File Manager", "Copy", a separator, "Move to
    // Trash". The caller owns it.
    QMenu* makeMenu(const app::RecentFile& file);

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    void reset() override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    int contentWidth() const;
    void placeIndicator();
    void scheduleLoad();
    void loadVisible();
    void markCurrent();

    RecentTileModel* model_ = nullptr;
    QScrollBar* indicator_ = nullptr;
    QTimer loadTimer_;
    std::function<void(std::unique_ptr<QMimeData>, const QPixmap&)> runDrag_;
    std::optional<int> pressedRow_;
    QPoint pressedAt_;
};

} // namespace delivery
