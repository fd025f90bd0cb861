#pragma once

#include "editor/EditorActions.h"
#include "editor/EditorViews.h"
#include "editor/canvas/CanvasView.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class QBoxLayout;
class QFrame;

namespace annotation {
class EditorDocument;
}

namespace editor {

class EditorWindowModel;

// What an editor window shows below its toolbar, top to bottom: the canvas
// (with the background panel beside it while that is open) or, with no
// document, the placeholder; the recent strip; the bottom bar. It also fills
// the toolbar's two groups. The views come from the factories; an empty
// factory leaves its place empty.
class EditorContentView : public QWidget {
    Q_OBJECT
public:
    using CanvasFactory = std::function<CanvasView*(annotation::EditorDocument&)>;

    EditorContentView(EditorWindowModel& model, EditorActions actions, CanvasFactory makeCanvas,
                      EditorViewFactories views, QWidget* toolsGroup, QWidget* trailingGroup,
                      QWidget* parent = nullptr);

    // Shows the document (none: the placeholder). The widgets that showed the
    // previous one are taken out at once and handed back, to be deleted; they
    // still refer to that document until they are.
    QList<QPointer<QWidget>> showDocument(annotation::EditorDocument* document);

    // The placeholder, while no document is shown.
    QWidget* emptyView() const { return empty_; }
    // The badge over the canvas after a copy or a save.
    QWidget* badgeView() const { return badge_; }
    QWidget* backgroundPanel() const { return panel_; }
    QWidget* bottomBar() const { return bottomBar_; }

private:
    void placeInGroup(QWidget* group, QWidget* view);
    void updateBackgroundPanel();
    void placeBadge();
    bool eventFilter(QObject* watched, QEvent* event) override;

    EditorWindowModel& model_;
    EditorActions actions_;
    CanvasFactory makeCanvas_;
    EditorViewFactories views_;
    QPointer<QWidget> toolsGroup_;
    QPointer<QWidget> trailingGroup_;

    QBoxLayout* area_ = nullptr;
    QWidget* badge_ = nullptr;
    QFrame* panelDivider_ = nullptr;
    QFrame* recentDivider_ = nullptr;
    QFrame* bottomDivider_ = nullptr;
    QBoxLayout* bottomSlot_ = nullptr;

    annotation::EditorDocument* document_ = nullptr;
    // The widgets of the document shown.
    QPointer<CanvasView> canvas_;
    QPointer<QWidget> panel_;
    QPointer<QWidget> bottomBar_;
    QPointer<QWidget> tools_;
    QPointer<QWidget> trailing_;
    QPointer<QWidget> empty_;
    QPointer<QWidget> recent_;
};

// The placeholder of the empty editor: a picture symbol, "Your screenshots
// appear here." and a button that opens the open panel.
class EditorEmptyView : public QWidget {
    Q_OBJECT
public:
    explicit EditorEmptyView(std::function<void()> openImage, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace editor
