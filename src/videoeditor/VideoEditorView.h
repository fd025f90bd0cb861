#pragma once

#include "delivery/ShareAnchor.h"

#include <QWidget>

#include <functional>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QToolButton;

namespace videoeditor {

class TrimBar;
class VideoEditorModel;
class VideoPlayer;

// What the view's controls call back; each set by the controller.
struct VideoEditorActions {
    std::function<void()> trim;
    std::function<void()> copy;
    std::function<void()> save;
    // With the widget below which the share menu opens.
    std::function<void(QWidget* anchor)> share;
};

// The window's content: the player on top, the trimming bar while trimming,
// and the 52-point control bar below (Trim, Remove Audio, the length, the
// busy text, the format, Share, Copy, Save). It follows the model and keeps
// no state of its own but the share anchor.
class VideoEditorView : public QWidget {
    Q_OBJECT
public:
    VideoEditorView(VideoEditorModel& model, VideoPlayer* player, VideoEditorActions actions,
                    QWidget* parent = nullptr);

    TrimBar* trimBar() const { return trimBar_; }
    QWidget* controlBar() const { return bar_; }

    // Shows the trimming bar in place of the control bar's Trim button, or
    // takes it away again.
    void showTrimming(bool trimming);
    // A short note where the busy text stands ("Saved"), gone after 1.4 s
    // or when an export begins.
    void showConfirmation(const QString& text);

private:
    void followModel();
    // The bar's controls never squeeze below their own size: the view is at
    // least as wide as the bar needs (busy text included).
    void keepBarWhole();

    VideoEditorModel& model_;
    VideoEditorActions actions_;
    TrimBar* trimBar_ = nullptr;
    QWidget* bar_ = nullptr;
    QPushButton* trim_ = nullptr;
    QCheckBox* removeAudio_ = nullptr;
    QLabel* length_ = nullptr;
    QProgressBar* busyIndicator_ = nullptr;
    QLabel* busyText_ = nullptr;
    QToolButton* video_ = nullptr;
    QToolButton* gif_ = nullptr;
    QToolButton* share_ = nullptr;
    QTimer* confirmationTimer_ = nullptr;
    QString confirmation_;
    delivery::ShareAnchor shareAnchor_;
};

} // namespace videoeditor
