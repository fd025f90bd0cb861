#pragma once

#include <QByteArray>
#include <QPointer>
#include <QWidget>

namespace videoeditor {

class VideoEditorWindowController;

// The video editor's window. It carries the main menu and answers its Save,
// Save As… and Copy by handing them to its controller; closing tells the
// controller first.
class VideoEditorWindow : public QWidget {
    Q_OBJECT
public:
    VideoEditorWindow();

    VideoEditorWindowController* owner() const { return owner_; }
    void setOwner(VideoEditorWindowController* owner) { owner_ = owner; }

    // The menu asks whether it can run a command now.
    Q_INVOKABLE bool validateCommand(const QByteArray& slotSignature) const;

public Q_SLOTS:
    void saveDocument();
    void saveDocumentAs();
    void copy();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<VideoEditorWindowController> owner_;
};

} // namespace videoeditor
