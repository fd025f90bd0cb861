#pragma once

#include "recording/ControlBarItems.h"
#include "recording/PreviousApp.h"
#include "recording/RunningApps.h"

#include <QFrame>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QPushButton;
class QLabel;

namespace recording {

// What the bar reads from the session and how it changes it; the session
// wires these to its model and to itself.
struct ControlBarLinks {
    std::function<controlBar::State()> state;
    std::function<void(controlBar::Option, bool)> setOption;
    std::function<void(app::Recording::Format)> setFormat;
    // The hidden-applications button.
    std::function<QStringList()> hiddenApps;
    std::function<bool()> hideNotifications;
    std::function<void(const QString&, bool)> setApp;
    std::function<void(bool)> setHideNotifications;
    // The five actions, called on a click, never by the bar itself.
    std::function<void()> onRecord;
    std::function<void()> onCancel;
    std::function<void()> onPause;
    std::function<void()> onRestart;
    std::function<void()> onStop;
};

// One item of the row: a toggle, an icon button, the dot, a text, the
// spinner, the format picker or the hidden-applications button, painted from
// its controlBar::Item.
class ControlBarItem : public QWidget {
    Q_OBJECT
public:
    ControlBarItem(const controlBar::Item& item, QWidget* parent);
    const controlBar::Item& item() const { return item_; }
    void setItem(const controlBar::Item& item);
    // The format picker's selection.
    void setFormat(app::Recording::Format format);
    app::Recording::Format format() const { return format_; }

    std::function<void()> onClick;
    std::function<void(app::Recording::Format)> onFormat;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool clickable() const;
    controlBar::Item item_;
    app::Recording::Format format_ = app::Recording::Format::video;
    bool pressed_ = false;
    int spin_ = 0;
    int spinTimer_ = 0;
};

// The list of applications to hide, opened from the bar's eye button; it
// follows applications that start or quit while it is open.
class HiddenAppsPopup : public QFrame {
    Q_OBJECT
public:
    HiddenAppsPopup(const ControlBarLinks& links, QWidget* parent = nullptr);
    void rebuild();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    ControlBarLinks links_;
    QWidget* rows_;
    RunningApps* running_;
};

// A note under the bar: why keystrokes or the camera are missing, with a
// button when there is somewhere to go.
class PermissionNote : public QWidget {
    Q_OBJECT
public:
    static constexpr int width = 440;
    PermissionNote(const QString& symbol, const QString& text, const QString& button,
                   std::function<void()> action, QWidget* parent);
    QPushButton* button() const { return button_; }
    QLabel* label() const { return label_; }
    // The card's shape in the note's points.
    QPainterPath outline() const;
    void setShown(bool shown);
    bool isShown() const { return shown_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    QLabel* label_;
    QPushButton* button_ = nullptr;
    bool shown_ = true;
};

// The strip of recording controls with its notes below: one row per phase,
// redrawn from the session's state on refresh().
class ControlBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int capsuleHeight = 44;
    static constexpr int padding = 10;

    // The notes are reserved once, here: a reserved note keeps its place
    // while it hides; one not reserved never shows. `cameraSettings` opens
    // the desktop's camera settings; empty when there is none to open.
    ControlBar(ControlBarLinks links, bool reservesInputNote, bool reservesCameraNote,
               std::function<void()> cameraSettings, QWidget* parent = nullptr);

    // Reads the state again.
    void refresh();

    const std::vector<ControlBarItem*>& rowItems() const { return items_; }
    QPushButton* pillButton() const { return pill_; }
    PermissionNote* inputNote() const { return inputNote_; }
    PermissionNote* cameraNote() const { return cameraNote_; }
    // The note of sound that cannot be recorded; made when there first is one.
    PermissionNote* soundNote() const { return soundNote_; }
    HiddenAppsPopup* hiddenAppsPopup() const { return popup_; }
    // The capsule in the bar's points.
    QRectF capsule() const;
    // What is drawn: the capsule and the notes that show.
    QPainterPath outline() const;
    // Opens the list of applications to hide under the eye button.
    void openHiddenApps(ControlBarItem* anchor);

Q_SIGNALS:
    // The outline changed (a row of another length, a note shown or hidden).
    void outlineChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuildRow(const std::vector<controlBar::Item>& items);
    void updateHiddenAppsTile(const controlBar::State& state);
    void act(controlBar::Action action);

    ControlBarLinks links_;
    QWidget* row_;
    std::vector<ControlBarItem*> items_;
    QPushButton* pill_ = nullptr;
    PermissionNote* inputNote_ = nullptr;
    PermissionNote* cameraNote_ = nullptr;
    PermissionNote* soundNote_ = nullptr;
    QPointer<HiddenAppsPopup> popup_;
    PreviousApp previousApp_;
};

} // namespace recording
