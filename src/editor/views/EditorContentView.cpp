#include "editor/views/EditorContentView.h"

#include "annotation/EditorDocument.h"
#include "app/Preferences.h"
#include "editor/views/BackgroundPanel.h"
#include "editor/views/ConfirmationBadge.h"
#include "editor/views/EditorBottomBar.h"
#include "editor/views/EditorEmptyView.h"
#include "editor/views/ViewKit.h"
#include "platform/MainThread.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace editor {

using annotation::EditorDocument;
using annotation::Tool;

namespace {
constexpr int kRecentStripHeight = 96;
constexpr int kPanelSlideMilliseconds = 180;
} // namespace

// ---- SidePanelSlot --------------------------------------------------------

SidePanelSlot::SidePanelSlot(QWidget* parent) : QWidget(parent) {
    divider_ = new LineDivider(Qt::Vertical, 1, 0, this);
    setFixedWidth(0);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

int SidePanelSlot::fullWidth() const {
    return divider_->width() + BackgroundPanel::panelWidth;
}

void SidePanelSlot::setPanel(QWidget* panel) {
    if (panel_ && panel_ != panel) {
        delete panel_;
    }
    panel_ = panel;
    if (panel_) {
        panel_->setParent(this);
        panel_->show();
    }
    resizeEvent(nullptr);
}

void SidePanelSlot::resizeEvent(QResizeEvent*) {
    // Laid out from the leading edge at full width: a narrower slot shows the
    // panel's leading part, as if it came in from the trailing edge.
    divider_->setGeometry(0, 0, divider_->width(), height());
    divider_->setFixedHeight(height());
    if (panel_) {
        panel_->setGeometry(divider_->width(), 0, BackgroundPanel::panelWidth, height());
    }
}

// ---- EditorContentView ----------------------------------------------------

EditorContentView::EditorContentView(app::Preferences& preferences,
                                     annotation::CustomColors& custom, CanvasFactory makeCanvas,
                                     QWidget* parent)
    : QWidget(parent)
    , preferences_(preferences)
    , custom_(custom)
    , makeCanvas_(std::move(makeCanvas))
    , backdrop_(defaultBackdropColor(palette().color(QPalette::Window))) {
    stack_ = new QVBoxLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);
    stack_->setSpacing(0);

    area_ = new QWidget(this);
    auto* areaRow = new QHBoxLayout(area_);
    areaRow->setContentsMargins(0, 0, 0, 0);
    areaRow->setSpacing(0);
    canvasHost_ = new QWidget(area_);
    canvasHost_->setMinimumSize(420, 260);
    canvasHost_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* hostLayout = new QVBoxLayout(canvasHost_);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    badge_ = new ConfirmationBadge(canvasHost_);
    side_ = new SidePanelSlot(area_);
    areaRow->addWidget(canvasHost_, 1);
    areaRow->addWidget(side_);
    stack_->addWidget(area_, 1);

    empty_ = new EditorEmptyView(this);
    stack_->addWidget(empty_, 1);
    connect(empty_, &EditorEmptyView::openImageRequested, this,
            &EditorContentView::openImageRequested);

    recentDivider_ = new LineDivider(Qt::Horizontal, 0, 0, this);
    recentSlot_ = new QWidget(this);
    recentSlot_->setObjectName(QStringLiteral("recentCapturesStrip"));
    recentSlot_->setFixedHeight(kRecentStripHeight);
    auto* recentLayout = new QVBoxLayout(recentSlot_);
    recentLayout->setContentsMargins(0, 0, 0, 0);
    stack_->addWidget(recentDivider_);
    stack_->addWidget(recentSlot_);

    barDivider_ = new LineDivider(Qt::Horizontal, 0, 0, this);
    stack_->addWidget(barDivider_);

    panelSlide_.setDuration(kPanelSlideMilliseconds);
    panelSlide_.setEasingCurve(QEasingCurve::OutCubic);
    connect(&panelSlide_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& width) { side_->setFixedWidth(width.toInt()); });
    connect(&panelSlide_, &QVariantAnimation::finished, this, [this] {
        if (!panelWanted_) {
            side_->setPanel(nullptr);
        }
    });

    connect(&preferences_, &app::Preferences::editorShowsRecentChanged, this,
            &EditorContentView::refreshRecentStrip);
    buildDocumentViews();
}

EditorContentView::~EditorContentView() {
    // The canvas, the bar and the panel refer to the document: they go while
    // it is still there.
    dropDocumentViews();
}

void EditorContentView::setDocument(EditorDocument* document) {
    platform::assertMainThread();
    if (document == document_) {
        return;
    }
    dropDocumentViews();
    if (document_) {
        disconnect(document_, nullptr, this, nullptr);
    }
    document_ = document;
    buildDocumentViews();
}

void EditorContentView::dropDocumentViews() {
    panelSlide_.stop();
    panelWanted_ = false;
    side_->setPanel(nullptr);
    side_->setFixedWidth(0);
    delete canvas_;
    delete bar_;
}

void EditorContentView::buildDocumentViews() {
    EditorDocument* doc = document_;
    area_->setVisible(doc != nullptr);
    empty_->setVisible(doc == nullptr);
    barDivider_->setVisible(doc != nullptr);
    if (doc) {
        if (makeCanvas_) {
            canvas_ = makeCanvas_(*doc);
        }
        if (canvas_) {
            canvas_->setParent(canvasHost_);
            canvasHost_->layout()->addWidget(canvas_);
            canvas_->show();
            badge_->raise();
        }
        bar_ = new EditorBottomBar(*doc, custom_, this);
        bar_->setDragItemProvider(dragItemProvider_);
        bar_->setCanvasHasFocus([this] { return canvasHasFocus(); });
        connect(bar_, &EditorBottomBar::pinRequested, this, &EditorContentView::pinRequested);
        connect(bar_, &EditorBottomBar::shareRequested, this, &EditorContentView::shareRequested);
        connect(bar_, &EditorBottomBar::copyRequested, this, &EditorContentView::copyRequested);
        connect(bar_, &EditorBottomBar::saveRequested, this, &EditorContentView::saveRequested);
        stack_->addWidget(bar_);
        bar_->show();

        connect(doc, &EditorDocument::showsBackgroundPanelChanged, this,
                &EditorContentView::refreshSidePanel);
        connect(doc, &EditorDocument::toolChanged, this, &EditorContentView::refreshSidePanel);
        // A document deleted while shown (the window should have set the
        // next one first): the views that refer to it go at once.
        connect(doc, &QObject::destroyed, this, [this] {
            dropDocumentViews();
            buildDocumentViews();
        });
    }
    refreshSidePanel();
    refreshRecentStrip();
}

bool EditorContentView::canvasHasFocus() const {
    if (!canvas_) {
        return false;
    }
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == canvas_ || canvas_->isAncestorOf(focus));
}

void EditorContentView::refreshSidePanel() {
    const EditorDocument* doc = document_;
    const bool wanted = doc && doc->showsBackgroundPanel() && doc->tool() != Tool::crop;
    if (wanted == panelWanted_) {
        return;
    }
    panelWanted_ = wanted;
    if (wanted && !side_->panel()) {
        side_->setPanel(new BackgroundPanel(*document_));
    }
    panelSlide_.stop();
    panelSlide_.setStartValue(side_->width());
    panelSlide_.setEndValue(wanted ? side_->fullWidth() : 0);
    panelSlide_.start();
}

bool EditorContentView::showsBackgroundPanel() const {
    return panelWanted_;
}

BackgroundPanel* EditorContentView::backgroundPanel() const {
    return qobject_cast<BackgroundPanel*>(side_->panel());
}

void EditorContentView::showConfirmation(const QUuid& id, const QString& text) {
    badge_->showConfirmation(id, text);
}

void EditorContentView::clearConfirmation() {
    badge_->clearConfirmation();
}

void EditorContentView::setRecentLibraryState(bool hasFiles, bool isAccessible) {
    hasRecentFiles_ = hasFiles;
    recentAccessible_ = isAccessible;
    refreshRecentStrip();
}

bool EditorContentView::recentStripShows(bool setting, bool hasDocument, bool hasFiles,
                                         bool isAccessible) {
    return setting && (hasDocument || hasFiles || !isAccessible);
}

bool EditorContentView::showsRecentStrip() const {
    return recentStripShows(preferences_.editorShowsRecent(), document_ != nullptr, hasRecentFiles_,
                            recentAccessible_);
}

void EditorContentView::refreshRecentStrip() {
    const bool shown = showsRecentStrip();
    recentDivider_->setVisible(shown);
    recentSlot_->setVisible(shown);
}

void EditorContentView::setRecentStrip(QWidget* strip) {
    if (recentStrip_ == strip) {
        return;
    }
    delete recentStrip_;
    recentStrip_ = strip;
    if (strip) {
        strip->setParent(recentSlot_);
        recentSlot_->layout()->addWidget(strip);
        strip->show();
    }
}

void EditorContentView::setDragItemProvider(std::function<QMimeData*()> provider) {
    dragItemProvider_ = std::move(provider);
    if (bar_) {
        bar_->setDragItemProvider(dragItemProvider_);
    }
}

void EditorContentView::setBackdropColor(const QColor& colour) {
    backdrop_ = colour;
    empty_->setBackdropColor(colour);
}

annotation::EditorDocument* EditorContentView::document() const {
    return document_;
}

} // namespace editor
