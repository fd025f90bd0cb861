#include "delivery/RecentTileRow.h"

#include "app/Workspace.h"
#include "delivery/RecentLibrary.h"
#include "delivery/RecentTileDelegate.h"
#include "delivery/RecentTileModel.h"
#include "platform/MainThread.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <vector>

namespace delivery {

namespace {

constexpr int kStep = RecentTileDelegate::tileWidth + RecentTileRow::spacing;
constexpr int kIndicatorHeight = 6;

// A thin, arrowless bar in the manner of an overlay scroll indicator.
const char* const kIndicatorStyle = R"(
QScrollBar:horizontal { background: transparent; border: none; height: 6px; margin: 0; }
QScrollBar::handle:horizontal { background: rgba(128, 128, 128, 140); border-radius: 3px;
                                min-width: 24px; }
QScrollBar::handle:horizontal:hover { background: rgba(128, 128, 128, 200); }
QScrollBar::add-line:horizontal, QScrollBar::sub-line:horizontal { width: 0; border: none;
                                                                  background: none; }
QScrollBar::add-page:horizontal, QScrollBar::sub-page:horizontal { background: none; }
)";

void execDrag(QWidget* source, std::unique_ptr<QMimeData> data, const QPixmap& image) {
    auto* drag = new QDrag(source);
    drag->setMimeData(data.release());
    if (!image.isNull()) {
        drag->setPixmap(image);
        drag->setHotSpot(QPoint(int(image.width() / image.devicePixelRatio() / 2),
                                int(image.height() / image.devicePixelRatio() / 2)));
    }
    drag->exec(Qt::CopyAction);
}

// One tile for assistive technology: a button named by its file, its value
// the video's length, selected when it is the file the host shows.
class TileAccessible : public QAccessibleInterface {
public:
    TileAccessible(RecentTileRow* row, int index) : row_(row), index_(index) {}

    bool isValid() const override {
        return row_ && row_->tileModel() && index_ < row_->tileModel()->rowCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return row_ ? row_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return row_ ? QAccessible::queryAccessibleInterface(row_.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        if (!isValid()) {
            return {};
        }
        const QModelIndex index = row_->tileModel()->index(index_);
        switch (t) {
        case QAccessible::Name:
            return index.data(Qt::AccessibleTextRole).toString();
        case QAccessible::Value:
            return index.data(Qt::AccessibleDescriptionRole).toString();
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid()) {
            return {};
        }
        const QRect local = row_->visualRect(row_->tileModel()->index(index_));
        return QRect(row_->viewport()->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.selected = row_->tileModel()->currentRow() == index_;
        state.offscreen = !row_->viewport()->rect().intersects(
            row_->visualRect(row_->tileModel()->index(index_)));
        return state;
    }

private:
    QPointer<RecentTileRow> row_;
    int index_;
};

// The row as a list of its tiles.
class RowAccessible : public QAccessibleWidget {
public:
    explicit RowAccessible(RecentTileRow* row) : QAccessibleWidget(row, QAccessible::List) {}
    ~RowAccessible() override {
        for (const QAccessible::Id id : tiles_) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }

    int childCount() const override {
        return row()->tileModel() ? row()->tileModel()->rowCount() : 0;
    }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) {
            return nullptr;
        }
        while (int(tiles_.size()) <= index) {
            tiles_.push_back(QAccessible::registerAccessibleInterface(
                new TileAccessible(row(), int(tiles_.size()))));
        }
        return QAccessible::accessibleInterface(tiles_[std::size_t(index)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (std::size_t i = 0; i < tiles_.size(); ++i) {
            if (QAccessible::accessibleInterface(tiles_[i]) == child) {
                return int(i);
            }
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint local = row()->viewport()->mapFromGlobal(QPoint(x, y));
        const QModelIndex index = row()->indexAt(local);
        return index.isValid() ? child(index.row()) : nullptr;
    }

private:
    RecentTileRow* row() const { return static_cast<RecentTileRow*>(widget()); }
    mutable std::vector<QAccessible::Id> tiles_;
};

QAccessibleInterface* rowAccessible(const QString&, QObject* object) {
    if (auto* row = qobject_cast<RecentTileRow*>(object)) {
        return new RowAccessible(row);
    }
    return nullptr;
}

} // namespace

RecentTileRow::RecentTileRow(QWidget* parent) : QAbstractItemView(parent) {
    static const bool accessible = (QAccessible::installFactory(rowAccessible), true);
    Q_UNUSED(accessible);
    setItemDelegate(new RecentTileDelegate(this));
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setAutoScroll(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    //: Editor: what assistive technology calls the row of recent captures
    setAccessibleName(tr("Recent Captures"));

    indicator_ = new QScrollBar(Qt::Horizontal, this);
    indicator_->setStyleSheet(QLatin1String(kIndicatorStyle));
    indicator_->setFocusPolicy(Qt::NoFocus);
    indicator_->hide();
    QScrollBar* bar = horizontalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, indicator_, [this](int min, int max) {
        indicator_->setRange(min, max);
        indicator_->setVisible(max > min);
    });
    connect(bar, &QScrollBar::valueChanged, indicator_, &QScrollBar::setValue);
    connect(indicator_, &QScrollBar::valueChanged, bar, &QScrollBar::setValue);

    loadTimer_.setSingleShot(true);
    loadTimer_.setInterval(0);
    connect(&loadTimer_, &QTimer::timeout, this, &RecentTileRow::loadVisible);

    runDrag_ = [this](std::unique_ptr<QMimeData> data, const QPixmap& image) {
        execDrag(this, std::move(data), image);
    };
}

void RecentTileRow::setModel(QAbstractItemModel* model) {
    model_ = qobject_cast<RecentTileModel*>(model);
    Q_ASSERT(model_ || !model);
    QAbstractItemView::setModel(model);
    markCurrent();
    updateGeometries();
    scheduleLoad();
}

void RecentTileRow::setDragRunner(
    std::function<void(std::unique_ptr<QMimeData>, const QPixmap&)> runner) {
    runDrag_ = std::move(runner);
}

int RecentTileRow::contentWidth() const {
    const int count = model_ ? model_->rowCount() : 0;
    if (count == 0) {
        return 0;
    }
    return 2 * leadingInset + count * RecentTileDelegate::tileWidth + (count - 1) * spacing;
}

QRect RecentTileRow::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != model()) {
        return {};
    }
    return {leadingInset + index.row() * kStep - horizontalOffset(), topInset,
            RecentTileDelegate::tileWidth, RecentTileDelegate::tileHeight};
}

QModelIndex RecentTileRow::indexAt(const QPoint& point) const {
    if (!model_) {
        return {};
    }
    const int x = point.x() + horizontalOffset() - leadingInset;
    if (x < 0 || x % kStep >= RecentTileDelegate::tileWidth || point.y() < topInset ||
        point.y() >= topInset + RecentTileDelegate::tileHeight) {
        return {};
    }
    const int row = x / kStep;
    return row < model_->rowCount() ? model_->index(row) : QModelIndex();
}

void RecentTileRow::scrollTo(const QModelIndex& index, ScrollHint hint) {
    const QRect rect = visualRect(index);
    if (rect.isEmpty()) {
        return;
    }
    QScrollBar* bar = horizontalScrollBar();
    const QRect area = viewport()->rect();
    if (hint == PositionAtCenter) {
        bar->setValue(bar->value() + rect.center().x() - area.center().x());
    } else if (hint == PositionAtTop || rect.left() < leadingInset) {
        bar->setValue(bar->value() + rect.left() - leadingInset);
    } else if (hint == PositionAtBottom || rect.right() > area.right() - leadingInset) {
        bar->setValue(bar->value() + rect.right() - (area.right() - leadingInset));
    }
}

QModelIndex RecentTileRow::moveCursor(CursorAction, Qt::KeyboardModifiers) {
    return {};
}

int RecentTileRow::horizontalOffset() const {
    return horizontalScrollBar()->value();
}

int RecentTileRow::verticalOffset() const {
    return 0;
}

bool RecentTileRow::isIndexHidden(const QModelIndex&) const {
    return false;
}

void RecentTileRow::setSelection(const QRect&, QItemSelectionModel::SelectionFlags) {
    // The selection is the current file's, for assistive technology; the
    // user does not select tiles.
}

QRegion RecentTileRow::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    for (const QModelIndex& index : selection.indexes()) {
        region += visualRect(index).adjusted(
            -RecentTileDelegate::ringOutset, -RecentTileDelegate::ringOutset,
            RecentTileDelegate::ringOutset, RecentTileDelegate::ringOutset);
    }
    return region;
}

void RecentTileRow::updateGeometries() {
    if (!indicator_) {
        return; // still being made
    }
    QScrollBar* bar = horizontalScrollBar();
    const int width = viewport()->width();
    bar->setSingleStep(kStep / 4);
    bar->setPageStep(std::max(1, width));
    bar->setRange(0, std::max(0, contentWidth() - width));
    indicator_->setSingleStep(bar->singleStep());
    indicator_->setPageStep(bar->pageStep());
    placeIndicator();
    QAbstractItemView::updateGeometries();
}

void RecentTileRow::placeIndicator() {
    indicator_->setGeometry(leadingInset, height() - kIndicatorHeight - 1,
                            std::max(0, width() - 2 * leadingInset), kIndicatorHeight);
    indicator_->raise();
}

void RecentTileRow::scrollContentsBy(int dx, int dy) {
    viewport()->scroll(dx, dy);
    scheduleLoad();
}

void RecentTileRow::reset() {
    pressedRow_.reset();
    QAbstractItemView::reset();
    markCurrent();
    updateGeometries();
    viewport()->update();
    scheduleLoad();
}

void RecentTileRow::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                const QList<int>& roles) {
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
    if (roles.contains(RecentTileModel::CurrentRole)) {
        markCurrent();
    }
    // The ring reaches out of the tile's rectangle.
    const int out = RecentTileDelegate::ringOutset + 1;
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        viewport()->update(visualRect(model()->index(row, 0)).adjusted(-out, -out, out, out));
    }
}

void RecentTileRow::markCurrent() {
    if (!model_ || !selectionModel()) {
        return;
    }
    const int row = model_->currentRow();
    if (row < 0) {
        selectionModel()->clearSelection();
    } else {
        selectionModel()->select(model_->index(row), QItemSelectionModel::ClearAndSelect);
    }
}

void RecentTileRow::scheduleLoad() {
    loadTimer_.start();
}

void RecentTileRow::loadVisible() {
    if (!model_ || !isVisible() || model_->rowCount() == 0) {
        return;
    }
    // The tiles in view and those a tile's width beyond either side.
    const int from = horizontalOffset() - kStep - leadingInset;
    const int to = horizontalOffset() + viewport()->width() + kStep - leadingInset;
    const int first = std::max(0, from / kStep);
    const int last = std::min(model_->rowCount() - 1, to / kStep);
    const double scale = devicePixelRatioF();
    for (int row = first; row <= last; ++row) {
        model_->load(row, scale);
    }
}

void RecentTileRow::paintEvent(QPaintEvent* event) {
    if (!model_) {
        return;
    }
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QRect dirty = event->rect();
    const int out = RecentTileDelegate::ringOutset + 1;
    for (int row = 0; row < model_->rowCount(); ++row) {
        const QModelIndex index = model_->index(row);
        option.rect = visualRect(index);
        if (!option.rect.adjusted(-out, -out, out, out).intersects(dirty)) {
            continue;
        }
        itemDelegate()->paint(&painter, option, index);
    }
    // What came into view since the last load.
    scheduleLoad();
}

void RecentTileRow::resizeEvent(QResizeEvent* event) {
    QAbstractItemView::resizeEvent(event);
    updateGeometries();
    scheduleLoad();
}

void RecentTileRow::showEvent(QShowEvent* event) {
    QAbstractItemView::showEvent(event);
    updateGeometries();
    scheduleLoad();
}

void RecentTileRow::mousePressEvent(QMouseEvent* event) {
    pressedRow_.reset();
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid()) {
        pressedRow_ = index.row();
        pressedAt_ = event->position().toPoint();
    }
}

void RecentTileRow::mouseMoveEvent(QMouseEvent* event) {
    if (!pressedRow_ || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - pressedAt_).manhattanLength() <
            QApplication::startDragDistance()) {
        return;
    }
    platform::assertMainThread();
    const QModelIndex index = model_->index(*pressedRow_);
    pressedRow_.reset();
    std::unique_ptr<QMimeData> data(model_->mimeData({index}));
    QPixmap image;
    const QImage thumbnail = index.data(RecentTileModel::ImageRole).value<QImage>();
    if (!thumbnail.isNull()) {
        const qreal dpr = devicePixelRatioF();
        image = QPixmap::fromImage(thumbnail.scaled(
            QSize(RecentTileDelegate::tileWidth, RecentTileDelegate::tileHeight) * dpr,
            Qt::KeepAspectRatio, Qt::SmoothTransformation));
        image.setDevicePixelRatio(dpr);
    }
    if (runDrag_) {
        runDrag_(std::move(data), image);
    }
}

void RecentTileRow::mouseReleaseEvent(QMouseEvent* event) {
    const std::optional<int> pressed = pressedRow_;
    pressedRow_.reset();
    if (event->button() != Qt::LeftButton || !pressed || !model_) {
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && index.row() == *pressed && onOpen) {
        platform::assertMainThread();
        // A copy: the handler may change the list under it.
        const app::RecentFile file = model_->file(index.row());
        onOpen(file);
    }
}

void RecentTileRow::mouseDoubleClickEvent(QMouseEvent* event) {
    // The first click of the two has opened the file already.
    event->accept();
}

void RecentTileRow::wheelEvent(QWheelEvent* event) {
    // A row that only scrolls sideways takes either direction of the wheel.
    const QPoint pixels = event->pixelDelta();
    const QPoint angle = event->angleDelta();
    int delta = 0;
    if (!pixels.isNull()) {
        delta = std::abs(pixels.x()) > std::abs(pixels.y()) ? pixels.x() : pixels.y();
    } else {
        const int notches = std::abs(angle.x()) > std::abs(angle.y()) ? angle.x() : angle.y();
        delta = notches * horizontalScrollBar()->singleStep() * 3 / 120;
    }
    QScrollBar* bar = horizontalScrollBar();
    const int before = bar->value();
    bar->setValue(before - delta);
    event->setAccepted(bar->value() != before);
}

QMenu* RecentTileRow::makeMenu(const app::RecentFile& file) {
    auto* menu = new QMenu(this);
    RecentLibrary* library = model_ ? &model_->library() : nullptr;
    const QString path = file.path;
    //: Recent captures context menu: show the file selected in the file manager
    menu->addAction(tr("Show in File Manager"), this,
                    [this, path] { app::Workspace::reveal(path, window()); });
    //: Recent captures context menu: copy the file to the clipboard
    menu->addAction(tr("Copy"), this, [library, file] {
        if (library) {
            library->copy(file);
        }
    });
    menu->addSeparator();
    //: Recent captures context menu: move the file to the Trash
    menu->addAction(tr("Move to Trash"), this, [library, file] {
        if (library) {
            library->moveToTrash(file);
        }
    });
    return menu;
}

void RecentTileRow::contextMenuEvent(QContextMenuEvent* event) {
    // The viewport covers the row: its points are the row's.
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid() || !model_) {
        event->ignore();
        return;
    }
    QMenu* menu = makeMenu(model_->file(index.row()));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

} // namespace delivery
