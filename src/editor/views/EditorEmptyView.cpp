#include "editor/views/EditorEmptyView.h"

#include "editor/views/ViewKit.h"
#include "platform/MainThread.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace editor {

namespace {

// The picture symbol, drawn as a label so that the layout centres it.
class SymbolLabel : public QWidget {
public:
    SymbolLabel(QString symbol, int side, QWidget* parent)
        : QWidget(parent), symbol_(std::move(symbol)) {
        setFixedSize(side, side);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        drawSymbol(painter, symbol_, rect(), QSizeF(size()), tertiaryText(palette()));
    }

private:
    QString symbol_;
};

} // namespace

QColor defaultBackdropColor(const QColor& windowColor) {
    const float level = windowColor.lightnessF() < 0.5f ? 0.115f : 0.9f;
    return QColor::fromRgbF(level, level, level, 1);
}

EditorEmptyView::EditorEmptyView(QWidget* parent)
    : QWidget(parent), backdrop_(defaultBackdropColor(palette().color(QPalette::Window))) {
    setMinimumSize(420, 260);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(14);
    stack->addStretch(1);
    stack->addWidget(new SymbolLabel(editorSymbol(QStringLiteral("photo")), 56, this), 0,
                     Qt::AlignHCenter);
    //: Editor window with no image open
    auto* text = new QLabel(tr("Your screenshots appear here."), this);
    text->setFont(scaledFont(font(), 1.3));
    QPalette quiet = text->palette();
    quiet.setColor(QPalette::WindowText, secondaryText(quiet));
    text->setPalette(quiet);
    stack->addWidget(text, 0, Qt::AlignHCenter);
    open_ = new QPushButton(tr("Open Image…"), this);
    open_->setAutoDefault(false);
    open_->setMinimumWidth(open_->sizeHint().width() + 24);
    stack->addWidget(open_, 0, Qt::AlignHCenter);
    stack->addStretch(1);
    connect(open_, &QPushButton::clicked, this, [this] {
        platform::assertMainThread();
        Q_EMIT openImageRequested();
    });
}

void EditorEmptyView::setBackdropColor(const QColor& colour) {
    backdrop_ = colour;
    update();
}

void EditorEmptyView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), backdrop_);
}

} // namespace editor
