#pragma once

#include "annotation/Annotation.h"
#include "annotation/EditorState.h"
#include "annotation/ImageSources.h"
#include "annotation/Tool.h"
#include "app/Capture.h"

#include <QObject>
#include <QUuid>

#include <optional>
#include <vector>

namespace annotation {

class CustomColors;

// The model of one open editor: the capture, its editable state with whole-
// state undo and redo, the current tool and style, the selection, the text
// being edited and the crop being drawn. Every observed field has its own
// change signal, emitted only when the value really changed. Main thread.
class EditorDocument : public QObject {
    Q_OBJECT

public:
    // Undo keeps at most this many steps.
    static constexpr std::size_t undoLimit = 200;

    // `colours` receives the colours of new marks and picked colours (the
    // shared list when none is given).
    EditorDocument(app::Capture capture, EditorState state, CustomColors* colours = nullptr,
                   QObject* parent = nullptr);
    ~EditorDocument() override;

    const app::Capture& capture() const { return capture_; }
    ImageSources& sources() { return sources_; }
    // The base image's size in points.
    Size imageSize() const { return sources_.imageSize(); }

    // ---- observed fields ----
    const EditorState& state() const { return state_; }
    // A plain store: recorded for undo only inside an open change.
    void setState(const EditorState& state);

    Tool tool() const { return tool_; }
    void setTool(Tool tool);
    // The tool that was active before the crop tool was chosen.
    Tool previousTool() const { return previousTool_; }

    const RGBA& color() const { return color_; }
    double size() const { return size_; }
    bool shadow() const { return shadow_; }
    TextStyle textStyle() const { return textStyle_; }
    // Store the style for new marks and apply it to the selected mark.
    void setColor(const RGBA& colour);
    void setSize(double size);
    void setShadow(bool shadow);
    void setTextStyle(TextStyle style);

    const std::optional<QUuid>& selectedID() const { return selectedID_; }
    void setSelectedID(const std::optional<QUuid>& id);
    const std::optional<QUuid>& editingTextID() const { return editingTextID_; }
    void setEditingTextID(const std::optional<QUuid>& id);
    const std::optional<Rect>& cropDraft() const { return cropDraft_; }
    void setCropDraft(const std::optional<Rect>& draft);
    bool showsBackgroundPanel() const { return showsBackgroundPanel_; }
    void setShowsBackgroundPanel(bool shown);

    const std::vector<EditorState>& undoStack() const { return undoStack_; }
    const std::vector<EditorState>& redoStack() const { return redoStack_; }
    const EditorState& exportedState() const { return exportedState_; }
    void markExported(const EditorState& state);
    // The state differs from the last export and there is something to undo.
    bool hasUnsavedChanges() const;

    bool isChangeOpen() const { return changeBase_.has_value(); }

    // ---- queries ----
    std::optional<Annotation> selectedAnnotation() const;
    std::optional<Annotation> annotation(const QUuid& id) const;
    std::optional<std::size_t> indexOfAnnotation(const QUuid& id) const;
    qint64 nextCounterNumber() const;
    // A new mark of the current tool and style at the point, not yet added;
    // none for the crop tool.
    std::optional<Annotation> newAnnotation(Point at) const;

    // ---- edits (each one undo step unless a change is open) ----
    void select(const std::optional<QUuid>& id);
    void addAnnotation(const Annotation& annotation);
    void resizeAnnotation(const QUuid& id, Handle handle, Point to);
    void moveAnnotation(const QUuid& id, double dx, double dy);
    void setText(const QString& text, const QUuid& id);
    void setColor(const RGBA& colour, const QUuid& id);
    void setSize(double size, const QUuid& id);
    void setShadow(bool shadow, const QUuid& id);
    void setTextStyle(TextStyle style, const QUuid& id);
    void removeAnnotation(const QUuid& id);
    void applyCrop();
    void setBackgroundEnabled(bool enabled);

    // A change groups every edit until it ends into one undo step; changes do
    // not nest.
    void beginChange();
    void endChange();
    void undo();
    void redo();

Q_SIGNALS:
    void stateChanged();
    void toolChanged();
    void colorChanged();
    void sizeChanged();
    void shadowChanged();
    void textStyleChanged();
    void selectedIDChanged();
    void editingTextIDChanged();
    void cropDraftChanged();
    void showsBackgroundPanelChanged();
    void undoStackChanged();
    void redoStackChanged();
    void exportedStateChanged();

private:
    template <typename Mutation> void grouped(Mutation&& mutate);
    template <typename Edit> void editAnnotation(const QUuid& id, Edit&& edit);
    void setUndoStack(std::vector<EditorState> stack);
    void setRedoStack(std::vector<EditorState> stack);
    void step(bool backwards);
    // Style copied from a selected mark: stored without applying or offering.
    void loadStyle(const Annotation& annotation);
    CustomColors& colours() const;

    app::Capture capture_;
    ImageSources sources_;
    EditorState state_;
    Tool tool_ = Tool::arrow;
    RGBA color_;
    double size_ = 5;
    bool shadow_ = true;
    TextStyle textStyle_ = TextStyle::plain;
    std::optional<QUuid> selectedID_;
    std::optional<QUuid> editingTextID_;
    std::optional<Rect> cropDraft_;
    bool showsBackgroundPanel_ = false;
    std::vector<EditorState> undoStack_;
    std::vector<EditorState> redoStack_;
    std::optional<EditorState> changeBase_;
    Tool previousTool_ = Tool::arrow;
    EditorState exportedState_;
    CustomColors* colours_;
};

} // namespace annotation
