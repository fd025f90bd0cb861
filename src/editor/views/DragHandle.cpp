#include "editor/views/DragHandle.h"

#include "editor/views/ViewKit.h"
#include "platform/MainThread.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

namespace editor {

DragHandle::DragHandle(QWidget* parent) : QWidget(parent) {
    setFixedSize(sizeHint());
    setToolTip(tr("Drag the image into another app"));
    setAccessibleName(toolTip());
    setCursor(Qt::OpenHandCursor);
}

void DragHandle::setItemProvider(std::function<QMimeData*()> provider) {
    provider_ = std::move(provider);
}

void DragHandle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor secondary = secondaryText(palette());
    QPen dashes(withAlpha(secondary, 0.4), 1);
    dashes.setDashPattern({3, 2});
    painter.setPen(dashes);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    drawSymbol(painter, editorSymbol(QStringLiteral("hand")), rect(), QSizeF(16, 16),
               palette().color(QPalette::WindowText));
}

void DragHandle::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressedAt_ = event->position().toPoint();
    } else {
        event->ignore();
    }
}

void DragHandle::mouseMoveEvent(QMouseEvent* event) {
    if (!pressedAt_ || !(event->buttons() & Qt::LeftButton)) {
        return;
    }
    if ((event->position().toPoint() - *pressedAt_).manhattanLength() <
        QApplication::startDragDistance()) {
        return;
    }
    platform::assertMainThread();
    pressedAt_.reset();
    QMimeData* data = provider_ ? provider_() : nullptr;
    runDrag(data ? data : new QMimeData);
}

void DragHandle::mouseReleaseEvent(QMouseEvent*) {
    pressedAt_.reset();
}

void DragHandle::runDrag(QMimeData* data) {
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(QPixmap::fromImage(renderSymbol(editorSymbol(QStringLiteral("hand")),
                                                    QSizeF(24, 24), devicePixelRatioF(),
                                                    palette().color(QPalette::WindowText))));
    drag->exec(Qt::CopyAction);
}

} // namespace editor
