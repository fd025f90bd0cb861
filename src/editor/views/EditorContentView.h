#pragma once

#include "editor/views/EditorBottomBar.h"

#include <QPointer>
#include <QUuid>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>

class QMimeData;
class QVBoxLayout;

namespace annotation {
class CustomColors;
class EditorDocument;
} // namespace annotation
namespace app {
class Preferences;
}

namespace editor {

class BackgroundPanel;
class ConfirmationBadge;
class EditorEmptyView;
class LineDivider;

// The part of the background panel's space that shows, sliding in from the
// trailing edge: the panel keeps its width and is cut by this box.
class SidePanelSlot : public QWidget {
    Q_OBJECT
public:
    explicit SidePanelSlot(QWidget* parent = nullptr);
    void setPanel(QWidget* panel);
    QWidget* panel() const { return panel_; }
    // The width with the panel fully in.
    int fullWidth() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointer<QWidget> panel_;
    LineDivider* divider_;
};

// An editor window's content under its toolbar: the canvas of the open
// document with the background panel beside it and the confirmation note
// over it (or, with no document, the empty view); the place of the recent
// captures strip; and the bottom bar. A new document gets a new canvas, bar
// and panel; the old ones go before this returns.
class EditorContentView : public QWidget {
    Q_OBJECT
public:
    // Makes the canvas for a document; the content view takes the widget and
    // deletes it when the document is replaced or the view goes.
    using CanvasFactory = std::function<QWidget*(annotation::EditorDocument&)>;

    // The preferences (editorShowsRecent) and the custom colours are not
    // owned and must outlive the view.
    EditorContentView(app::Preferences& preferences, annotation::CustomColors& custom,
                      CanvasFactory makeCanvas, QWidget* parent = nullptr);
    ~EditorContentView() override;

    // The open document, or none (not owned). Set the next document, or none,
    // before the old one is deleted.
    void setDocument(annotation::EditorDocument* document);
    annotation::EditorDocument* document() const;

    // The note over the canvas (see ConfirmationBadge).
    void showConfirmation(const QUuid& id, const QString& text);
    void clearConfirmation();

    // What the recent captures list knows: whether it has files, and whether
    // the save folder could be read.
    void setRecentLibraryState(bool hasFiles, bool isAccessible);
    // Whether the strip shows, from the setting, the document and the list.
    static bool recentStripShows(bool setting, bool hasDocument, bool hasFiles, bool isAccessible);
    bool showsRecentStrip() const;
    // The 96-point row where the recent captures strip goes; empty until the
    // strip exists. Its visibility is this view's.
    QWidget* recentStripSlot() const { return recentSlot_; }
    // Puts the strip into its row, replacing (and deleting) the one before.
    void setRecentStrip(QWidget* strip);
    QWidget* recentStrip() const { return recentStrip_; }

    // What a drag from the bottom bar's handle carries.
    void setDragItemProvider(std::function<QMimeData*()> provider);
    // The backdrop around the picture (the canvas's), for the empty view.
    void setBackdropColor(const QColor& colour);

    QWidget* canvas() const { return canvas_; }
    EditorBottomBar* bottomBar() const { return bar_; }
    EditorEmptyView* emptyView() const { return empty_; }
    ConfirmationBadge* confirmationBadge() const { return badge_; }
    // Whether the background panel is in (or coming in) now.
    bool showsBackgroundPanel() const;
    BackgroundPanel* backgroundPanel() const;
    // The panel's slide: its duration and curve, and whether it runs.
    const QVariantAnimation& panelTransition() const { return panelSlide_; }

Q_SIGNALS:
    void pinRequested();
    void shareRequested(QWidget* anchor);
    void copyRequested();
    void saveRequested();
    // The empty view's "Open Image…".
    void openImageRequested();

private:
    void buildDocumentViews();
    void dropDocumentViews();
    void refreshRecentStrip();
    void refreshSidePanel();
    bool canvasHasFocus() const;

    app::Preferences& preferences_;
    annotation::CustomColors& custom_;
    CanvasFactory makeCanvas_;
    QPointer<annotation::EditorDocument> document_;
    std::function<QMimeData*()> dragItemProvider_;
    QColor backdrop_;
    bool hasRecentFiles_ = false;
    bool recentAccessible_ = true;

    QVBoxLayout* stack_;
    QWidget* area_;
    QWidget* canvasHost_ = nullptr;
    QPointer<QWidget> canvas_;
    ConfirmationBadge* badge_;
    SidePanelSlot* side_ = nullptr;
    bool panelWanted_ = false;
    QVariantAnimation panelSlide_;
    EditorEmptyView* empty_;
    LineDivider* recentDivider_;
    QWidget* recentSlot_;
    QPointer<QWidget> recentStrip_;
    LineDivider* barDivider_;
    QPointer<EditorBottomBar> bar_;
};

} // namespace editor
