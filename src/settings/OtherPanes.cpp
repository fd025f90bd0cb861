#include "settings/FormKit.h"
#include "settings/HiddenAppsSource.h"
#include "settings/SettingsPanes.h"
#include "settings/SettingsPermissions.h"
#include "settings/SettingsSymbol.h"

#include "desktop/ScreenPermission.h"
#include "desktop/SelfTimer.h"
#include "platform/PermissionProbe.h"

#include <QCameraDevice>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMediaDevices>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

// The context of this file's texts, declared where lupdate finds it.
struct SettingsPanesText {
    Q_DECLARE_TR_FUNCTIONS(SettingsPanesText)
};

namespace settings {

namespace {

template <typename E> QList<std::pair<E, QString>> casesWithTitles() {
    QList<std::pair<E, QString>> items;
    for (const E value : app::allCases<E>()) {
        items.append({value, app::title(value)});
    }
    return items;
}

// The values a setting's load rule accepts, in declaration order.
QList<qint64> allowedValues(const char* key) {
    for (const app::SettingDescriptor& descriptor : app::Preferences::declarations()) {
        if (descriptor.key == QLatin1String(key)) {
            return descriptor.rule.allowed;
        }
    }
    return {};
}

QPushButton* restartButton() {
    //: Settings: relaunches Vexlin Capture, so a change of the session applies
    auto* button = new QPushButton(SettingsPanesText::tr("Restart Vexlin Capture"));
    button->setObjectName(QStringLiteral("restart"));
    QObject::connect(button, &QPushButton::clicked, button,
                     [] { desktop::ScreenPermission::relaunch(); });
    return button;
}

// A status line with a mark: a green check when allowed, an orange warning
// triangle when not. It can be told its state again while it is shown.
class StatusLine : public QWidget {
public:
    StatusLine() {
        setObjectName(QStringLiteral("statusLine"));
        mark_ = new QLabel(this);
        mark_->setFixedSize(16, 16);
        label_ = new QLabel(this);
        label_->setWordWrap(true);
        label_->setObjectName(QStringLiteral("status"));
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(6);
        layout->addWidget(mark_, 0, Qt::AlignTop);
        layout->addWidget(label_, 1);
    }

    void set(bool allowed, const QString& text) {
        allowed_ = allowed;
        label_->setText(text);
        paintMark();
    }
    bool isAllowed() const { return allowed_; }

protected:
    void changeEvent(QEvent* event) override {
        QWidget::changeEvent(event);
        if (event->type() == QEvent::ScreenChangeInternal) {
            paintMark();
        }
    }

private:
    void paintMark() {
        mark_->setPixmap(
            settingsSymbol(allowed_ ? QStringLiteral("checkmark.circle.fill")
                                    : QStringLiteral("exclamationmark.triangle.fill"),
                           allowed_ ? QColor(0x2e, 0xa0, 0x43) : QColor(0xff, 0x95, 0x00), 16,
                           devicePixelRatioF()));
    }

    QLabel* mark_;
    QLabel* label_;
    bool allowed_ = false;
};

StatusLine* statusLine(bool allowed, const QString& text) {
    auto* line = new StatusLine;
    line->set(allowed, text);
    return line;
}

void showCameraStatus(StatusLine* line, const platform::PermissionStatus& video) {
    line->set(video.granted,
              video.granted
                  ? SettingsPanesText::tr("Camera access is allowed.")
                  : SettingsPanesText::tr("The camera cannot be shown. %1.").arg(video.reason));
}

} // namespace

int maximumFramesPerSecond() {
    double highest = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        highest = std::max(highest, screen->refreshRate());
    }
    return highest > 0 ? static_cast<int>(std::lround(highest)) : 60;
}

QWidget* makeScreenshotsPane(app::Preferences& preferences, platform::PermissionProbe& probe,
                             QWidget* parent) {
    auto* pane = new FormPane(preferences, parent);
    pane->setObjectName(QStringLiteral("screenshotsPane"));
    FormSection* timer = pane->section();
    QList<std::pair<qint64, QString>> delays;
    for (const qint64 delay : allowedValues("captureTimer")) {
        delays.append({delay, desktop::SelfTimer::title(static_cast<int>(delay))});
    }
    //: Settings: seconds to wait before a screenshot is taken
    timer->picker<qint64>(SettingsPanesText::tr("Self-timer"), setting::captureTimer, delays,
                          ChoicePicker::Style::popUp);
    timer->help(SettingsPanesText::tr(
        "Counts down before the screen is captured, so you can open a menu or hover "
        "over something first."));

    FormSection* window = pane->section(SettingsPanesText::tr("Window capture"));
    window->toggle(SettingsPanesText::tr("Include window shadow"), setting::windowShadow);
    window->help(SettingsPanesText::tr(
        "Windows are captured on a transparent background, with rounded corners."));

    FormSection* area = pane->section(SettingsPanesText::tr("Area selection"));
    area->toggle(SettingsPanesText::tr("Show magnifier"), setting::showMagnifier);
    area->toggle(SettingsPanesText::tr("Show crosshair guides"), setting::showCrosshair);
    area->help(SettingsPanesText::tr(
        "Hold Shift for a square. Press Space to switch between area and window "
        "selection. Esc cancels."));

    FormSection* fullscreen = pane->section(SettingsPanesText::tr("Fullscreen capture"));
    fullscreen->toggle(SettingsPanesText::tr("Show the mouse pointer"), setting::showCursor);

    FormSection* scrolling = pane->section(SettingsPanesText::tr("Scrolling capture"));
    scrolling->toggle(SettingsPanesText::tr("Start auto-scroll right away"),
                      setting::autoScrollImmediately);
    scrolling->help(SettingsPanesText::tr(
        "Auto-scroll scrolls the selected area for you and stops at the end of the "
        "content. It sends scroll events through the X server's XTEST extension, "
        "because it scrolls another app. Without it, scroll by hand."));
    QList<QWidget*> buttons;
    if (probe.canOpenSettings(platform::Permission::accessibility)) {
        auto* open = new QPushButton(SettingsPanesText::tr("Open Settings"));
        QObject::connect(open, &QPushButton::clicked, open,
                         [&probe] { probe.openSettings(platform::Permission::accessibility); });
        buttons << open;
    }
    if (!probe.status(platform::Permission::accessibility).granted) {
        buttons << restartButton();
    }
    if (!buttons.isEmpty()) {
        scrolling->addWidget(hbox(buttons));
    }

    FormSection* text = pane->section(SettingsPanesText::tr("Capture Text"));
    text->toggle(SettingsPanesText::tr("Keep line breaks"), setting::ocrKeepLineBreaks);
    text->help(SettingsPanesText::tr(
        "Text is recognized on this computer and copied to the clipboard. Nothing is "
        "sent anywhere."));
    pane->finish();
    return pane;
}

QWidget* makeRecordingPane(app::Preferences& preferences, QWidget* parent) {
    auto* pane = new FormPane(preferences, parent);
    pane->setObjectName(QStringLiteral("recordingPane"));
    FormSection* video = pane->section(SettingsPanesText::tr("Video"));
    video->picker<qint64>(SettingsPanesText::tr("Frame rate"), setting::recordingFPS,
                          {{30, SettingsPanesText::tr("%n fps", nullptr, 30)},
                           {60, SettingsPanesText::tr("%n fps", nullptr, 60)},
                           {0, SettingsPanesText::tr("Display maximum")}},
                          ChoicePicker::Style::segmented);
    QLabel* fpsHelp = video->help(QString());
    fpsHelp->setObjectName(QStringLiteral("frameRateHelp"));
    const auto showFpsHelp = [fpsHelp, &preferences] {
        const qint64 fps = preferences.recordingFPS();
        fpsHelp->setVisible(fps == 0);
        if (fps == 0) {
            fpsHelp->setText(SettingsPanesText::tr(
                "Records at the refresh rate of the display being recorded: up to %n fps on "
                "this computer's displays. Above 60 fps, large areas are saved as HEVC "
                "(H.265); everything else stays H.264 for the widest compatibility. If a "
                "display shows less than it can do, raise its refresh rate in the display "
                "settings of your desktop.",
                nullptr, maximumFramesPerSecond()));
        }
    };
    follow<qint64>(preferences, setting::recordingFPS, fpsHelp,
                   [showFpsHelp](qint64) { showFpsHelp(); });
    // The number is the displays' too: one plugged in, taken away or set to
    // another refresh rate changes it while the pane is open.
    const auto followScreen = [fpsHelp, showFpsHelp](QScreen* screen) {
        QObject::connect(screen, &QScreen::refreshRateChanged, fpsHelp, showFpsHelp);
    };
    for (QScreen* screen : QGuiApplication::screens()) {
        followScreen(screen);
    }
    QObject::connect(qApp, &QGuiApplication::screenAdded, fpsHelp,
                     [followScreen, showFpsHelp](QScreen* screen) {
                         followScreen(screen);
                         showFpsHelp();
                     });
    QObject::connect(qApp, &QGuiApplication::screenRemoved, fpsHelp,
                     [showFpsHelp] { QTimer::singleShot(0, showFpsHelp); });
    video->picker<app::RecordingQuality>(
        SettingsPanesText::tr("Quality"), setting::recordingQuality,
        casesWithTitles<app::RecordingQuality>(), ChoicePicker::Style::segmented);
    video->toggle(SettingsPanesText::tr("Record at full pixel resolution on HiDPI displays"),
                  setting::recordingRetina);
    video->picker<qint64>(SettingsPanesText::tr("Countdown"), setting::recordingCountdown,
                          {{0, desktop::SelfTimer::title(0)},
                           {3, desktop::SelfTimer::title(3)},
                           {5, desktop::SelfTimer::title(5)}},
                          ChoicePicker::Style::popUp);

    FormSection* window = pane->section(SettingsPanesText::tr("Window recording"));
    window->toggle(SettingsPanesText::tr("Record windows on their own"),
                   setting::recordWindowsAlone);
    window->help(SettingsPanesText::tr(
        "Only the window is recorded, even when other windows cover it, and the "
        "recording follows it when it moves. Turn off to record the screen area "
        "where the window is."));

    FormSection* options = pane->section(SettingsPanesText::tr("Options"));
    options->toggle(SettingsPanesText::tr("Show the pointer"), setting::recordShowCursor);
    options->toggle(SettingsPanesText::tr("Record computer audio"), setting::recordSystemAudio);
    options->toggle(SettingsPanesText::tr("Record the microphone"), setting::recordMicrophone);
    options->setFooter(SettingsPanesText::tr(
        "These can also be switched in the control bar before each recording."));

    FormSection* gif = pane->section(SettingsPanesText::tr("GIF"));
    QList<std::pair<qint64, QString>> rates;
    for (const qint64 rate : {10, 15, 20, 25}) {
        rates.append({rate, SettingsPanesText::tr("%n fps", nullptr, static_cast<int>(rate))});
    }
    gif->picker<qint64>(SettingsPanesText::tr("Frame rate"), setting::gifFPS, rates,
                        ChoicePicker::Style::popUp)
        ->setObjectName(QStringLiteral("gifFPS"));
    QList<std::pair<qint64, QString>> widths;
    for (const qint64 width : {600, 800, 1000, 1280}) {
        widths.append({width, SettingsPanesText::tr("%n px", nullptr, static_cast<int>(width))});
    }
    gif->picker<qint64>(SettingsPanesText::tr("Maximum width"), setting::gifMaxWidth, widths,
                        ChoicePicker::Style::popUp)
        ->setObjectName(QStringLiteral("gifMaxWidth"));
    pane->finish();
    return pane;
}

QWidget* makeQuickAccessPane(app::Preferences& preferences, QWidget* parent) {
    auto* pane = new FormPane(preferences, parent);
    pane->setObjectName(QStringLiteral("quickAccessPane"));
    FormSection* section = pane->section();
    section->picker<app::ScreenCorner>(
        SettingsPanesText::tr("Position on screen"), setting::quickAccessCorner,
        casesWithTitles<app::ScreenCorner>(), ChoicePicker::Style::segmented);
    section->toggle(SettingsPanesText::tr("Close automatically"), setting::quickAccessAutoClose);
    auto* after = new QLabel;
    auto* seconds = new QSpinBox;
    seconds->setRange(3, 60);
    seconds->setObjectName(QStringLiteral("closeAfter"));
    auto* row = hbox({after, seconds});
    section->addWidget(row);
    follow<qint64>(
        preferences, setting::quickAccessCloseAfter, seconds, [after, seconds](qint64 n) {
            after->setText(SettingsPanesText::tr("After %n seconds", nullptr, static_cast<int>(n)));
            const QSignalBlocker blocker(seconds);
            seconds->setValue(static_cast<int>(n));
        });
    QObject::connect(seconds, &QSpinBox::valueChanged, seconds,
                     [&preferences](int n) { preferences.setQuickAccessCloseAfter(n); });
    follow<bool>(preferences, setting::quickAccessAutoClose, row,
                 [row](bool on) { row->setEnabled(on); });
    section->setFooter(SettingsPanesText::tr(
        "Hover a thumbnail for Copy, Save, Share, Annotate and Pin. Drag it to "
        "drop the image into any app."));
    pane->finish();
    return pane;
}

namespace {

// The hidden-apps list and its Add App… menu.
class HiddenAppsList : public QWidget {
public:
    HiddenAppsList(app::Preferences& preferences, QWidget* parent = nullptr)
        : QWidget(parent), preferences_(preferences), rows_(new QVBoxLayout) {
        setObjectName(QStringLiteral("hiddenApps"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        rows_->setContentsMargins(0, 0, 0, 0);
        layout->addLayout(rows_);
        add_ = new QPushButton(SettingsPanesText::tr("Add App…"));
        add_->setObjectName(QStringLiteral("addApp"));
        add_->setMenu(new QMenu(add_));
        layout->addWidget(hbox({add_}));
        HiddenAppsSource& source = HiddenAppsSource::current();
        connect(&source, &HiddenAppsSource::candidatesChanged, this, [this] { refresh(); });
        connect(&preferences_, &app::Preferences::recordingHiddenAppsChanged, this,
                [this] { refresh(); });
        refresh();
    }

private:
    void refresh() {
        while (QLayoutItem* item = rows_->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        const QStringList hidden = preferences_.recordingHiddenApps();
        HiddenAppsSource& source = HiddenAppsSource::current();
        if (hidden.isEmpty()) {
            auto* none = new QLabel(SettingsPanesText::tr("No apps are hidden."));
            styleAsSecondary(none, false);
            rows_->addWidget(none);
        }
        for (const QString& id : hidden) {
            const HideableAppEntry app = source.resolve(id);
            auto* icon = new QLabel;
            icon->setPixmap(app.icon.pixmap(16, 16));
            auto* name = new QLabel(app.name);
            auto* remove = new QToolButton;
            remove->setText(QStringLiteral("−"));
            remove->setAutoRaise(true);
            remove->setToolTip(SettingsPanesText::tr("Record this app again"));
            connect(remove, &QToolButton::clicked, this, [this, id] {
                QStringList list = preferences_.recordingHiddenApps();
                list.removeAll(id);
                preferences_.setRecordingHiddenApps(list);
            });
            auto* row = new QWidget;
            auto* layout = new QHBoxLayout(row);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->addWidget(icon);
            layout->addWidget(name, 1);
            layout->addWidget(remove);
            rows_->addWidget(row);
        }
        QMenu* menu = add_->menu();
        menu->clear();
        for (const HideableAppEntry& app : source.candidates()) {
            if (hidden.contains(app.bundleID)) {
                continue;
            }
            QAction* action = menu->addAction(app.icon, app.name);
            const QString id = app.bundleID;
            connect(action, &QAction::triggered, this, [this, id] {
                QStringList list = preferences_.recordingHiddenApps();
                list.append(id);
                preferences_.setRecordingHiddenApps(list);
            });
        }
        add_->setEnabled(!menu->isEmpty());
    }

    app::Preferences& preferences_;
    QVBoxLayout* rows_;
    QPushButton* add_;
};

void fillCameras(QComboBox* combo, const std::optional<QString>& stored) {
    const QSignalBlocker blocker(combo);
    combo->clear();
    //: Camera picker: the camera the system prefers
    combo->addItem(SettingsPanesText::tr("Automatic", "Camera picker"), QVariant());
    int current = 0;
    for (const QCameraDevice& device : QMediaDevices::videoInputs()) {
        const QString id = QString::fromUtf8(device.id());
        combo->addItem(device.description(), id);
        if (stored && *stored == id) {
            current = combo->count() - 1;
        }
    }
    if (stored && current == 0) {
        combo->addItem(SettingsPanesText::tr("Camera not connected"), *stored);
        current = combo->count() - 1;
    }
    combo->setCurrentIndex(current);
}

} // namespace

QWidget* makeRecordingOverlaysPane(app::Preferences& preferences, platform::PermissionProbe& probe,
                                   QWidget* parent) {
    auto* pane = new FormPane(preferences, parent);
    pane->setObjectName(QStringLiteral("recordingOverlaysPane"));
    FormSection* clicks = pane->section(SettingsPanesText::tr("Clicks"));
    clicks->toggle(SettingsPanesText::tr("Highlight clicks"), setting::recordHighlightClicks);
    clicks->setFooter(SettingsPanesText::tr(
        "A ring pulses where you click: accent color for the left button, orange "
        "for the others."));

    FormSection* keys = pane->section(SettingsPanesText::tr("Keystrokes"));
    keys->toggle(SettingsPanesText::tr("Show keystrokes"), setting::recordShowKeystrokes);
    //: Keystroke display setting: which keys are shown
    ChoicePicker* mode = keys->picker<app::KeystrokeMode>(
        SettingsPanesText::tr("Keys"), setting::keystrokeMode,
        casesWithTitles<app::KeystrokeMode>(), ChoicePicker::Style::segmented);
    //: Keystroke display setting: edge of the recorded area
    ChoicePicker* position = keys->picker<app::KeystrokePosition>(
        SettingsPanesText::tr("Position"), setting::keystrokePosition,
        casesWithTitles<app::KeystrokePosition>(), ChoicePicker::Style::segmented);
    follow<bool>(preferences, setting::recordShowKeystrokes, mode, [mode, position](bool on) {
        mode->setEnabled(on);
        position->setEnabled(on);
    });
    const platform::PermissionStatus input = probe.status(platform::Permission::inputMonitoring);
    keys->addWidget(statusLine(
        input.granted,
        input.granted
            ? SettingsPanesText::tr("The X server reports keys and clicks to Vexlin Capture.")
            : SettingsPanesText::tr("Keystrokes cannot be shown. %1.").arg(input.reason)));
    QLabel* note = keys->help(SettingsPanesText::tr(
        "Keystrokes appear on the chosen edge of the recorded area, inside the video. They are "
        "only drawn, never logged or saved. Any program on X11 can read what you type, so "
        "password fields are not hidden: with “All keys”, typed passwords show in the video."));
    note->setObjectName(QStringLiteral("keystrokeNote"));
    QList<QWidget*> inputButtons;
    if (probe.canOpenSettings(platform::Permission::inputMonitoring)) {
        auto* open = new QPushButton(SettingsPanesText::tr("Open Settings"));
        QObject::connect(open, &QPushButton::clicked, open,
                         [&probe] { probe.openSettings(platform::Permission::inputMonitoring); });
        inputButtons << open;
    }
    if (!input.granted) {
        inputButtons << restartButton();
    }
    if (!inputButtons.isEmpty()) {
        keys->addWidget(hbox(inputButtons));
    }

    FormSection* camera = pane->section(SettingsPanesText::tr("Camera"));
    camera->toggle(SettingsPanesText::tr("Show camera"), setting::recordShowCamera);
    auto* cameras = new QComboBox;
    cameras->setObjectName(QStringLiteral("cameraPicker"));
    //: Camera picker in Settings: which camera the bubble shows
    camera->addRow(SettingsPanesText::tr("Camera", "picker"), cameras);
    follow<std::optional<QString>>(
        preferences, setting::cameraDeviceID, cameras,
        [cameras](const std::optional<QString>& id) { fillCameras(cameras, id); });
    QObject::connect(cameras, &QComboBox::activated, cameras, [cameras, &preferences](int index) {
        const QVariant id = cameras->itemData(index);
        preferences.setCameraDeviceID(id.isValid() ? std::optional<QString>(id.toString())
                                                   : std::nullopt);
    });
    auto* devices = new QMediaDevices(cameras);
    QObject::connect(devices, &QMediaDevices::videoInputsChanged, cameras, [cameras, &preferences] {
        fillCameras(cameras, preferences.cameraDeviceID());
    });
    // The picker and the status line follow the same events: a camera
    // plugged in or out, and the program coming back to the front.
    QObject::connect(qApp, &QGuiApplication::applicationStateChanged, cameras,
                     [cameras, &preferences](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive) {
                             fillCameras(cameras, preferences.cameraDeviceID());
                         }
                     });
    //: Camera bubble shape picker
    camera->picker<app::CameraShape>(SettingsPanesText::tr("Shape"), setting::cameraShape,
                                     casesWithTitles<app::CameraShape>(),
                                     ChoicePicker::Style::segmented);
    //: Camera bubble size picker
    camera->picker<app::CameraSize>(SettingsPanesText::tr("Size"), setting::cameraSize,
                                    casesWithTitles<app::CameraSize>(),
                                    ChoicePicker::Style::segmented);
    //: Camera bubble: flip the picture horizontally, like a mirror
    camera->toggle(SettingsPanesText::tr("Mirror"), setting::cameraMirrored);
    StatusLine* cameraStatus = statusLine(false, QString());
    cameraStatus->setObjectName(QStringLiteral("cameraStatus"));
    showCameraStatus(cameraStatus, probe.status(platform::Permission::camera));
    camera->addWidget(cameraStatus);
    const auto refreshCameraStatus = [cameraStatus, &probe] {
        showCameraStatus(cameraStatus, probe.status(platform::Permission::camera));
    };
    QObject::connect(devices, &QMediaDevices::videoInputsChanged, cameraStatus,
                     refreshCameraStatus);
    QObject::connect(qApp, &QGuiApplication::applicationStateChanged, cameraStatus,
                     [refreshCameraStatus](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive) {
                             refreshCameraStatus();
                         }
                     });
    camera->help(SettingsPanesText::tr(
        "Drag the camera bubble anywhere on screen before or during a recording."));
    if (probe.canOpenSettings(platform::Permission::camera)) {
        auto* open = new QPushButton(SettingsPanesText::tr("Open Camera Settings"));
        QObject::connect(open, &QPushButton::clicked, open,
                         [&probe] { probe.openSettings(platform::Permission::camera); });
        camera->addWidget(hbox({open}));
    }

    FormSection* hidden = pane->section(SettingsPanesText::tr("Hidden apps"));
    hidden->addWidget(new HiddenAppsList(preferences));
    hidden->toggle(SettingsPanesText::tr("Hide notifications"),
                   setting::recordingHideNotifications);
    hidden->setFooter(SettingsPanesText::tr(
        "Hidden apps stay visible to you but are left out of recordings while the recorder "
        "composites each window on its own, which needs a compositing window manager; "
        "without one they show in the video. Pinned screenshots are left out the same way, "
        "so a pinned screenshot of your notes works as a teleprompter."));
    pane->finish();
    return pane;
}

namespace {

// The symbol, title and purpose of a permission. Where a click moves the
// permission forward, the whole label acts as a button: a click anywhere on
// it, or Space or Return while it has the focus. (A plain widget: labels
// inside a button lose their own colours to the form's style sheet.)
class PermissionLabel : public QWidget {
public:
    PermissionLabel(PrivacyPermission permission, bool clickable, std::function<void()> click)
        : clickable_(clickable), click_(std::move(click)) {
        setObjectName(QStringLiteral("permissionLabel"));
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 12, 0);
        layout->setSpacing(10);
        symbol_ = new QLabel(this);
        symbol_->setFixedWidth(24);
        symbol_->setAlignment(Qt::AlignCenter);
        layout->addWidget(symbol_);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        auto* title = new QLabel(permissionTitle(permission), this);
        auto* purpose = new QLabel(permissionPurpose(permission), this);
        purpose->setWordWrap(true);
        styleAsSecondary(purpose);
        texts->addWidget(title);
        texts->addWidget(purpose);
        layout->addLayout(texts, 1);
        symbolName_ = permissionSymbol(permission);
        paintSymbol();
        setAccessibleName(title->text() + QStringLiteral(", ") + purpose->text());
        setFocusPolicy(clickable ? Qt::TabFocus : Qt::NoFocus);
        if (clickable) {
            setCursor(Qt::PointingHandCursor);
        }
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (!clickable_ || event->button() != Qt::LeftButton) {
            event->ignore();
            return;
        }
        pressed_ = true;
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        const bool wasPressed = std::exchange(pressed_, false);
        if (wasPressed && event->button() == Qt::LeftButton &&
            rect().contains(event->position().toPoint())) {
            click_();
        }
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (clickable_ && (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
                           event->key() == Qt::Key_Enter)) {
            click_();
            return;
        }
        QWidget::keyPressEvent(event);
    }
    void focusInEvent(QFocusEvent* event) override {
        QWidget::focusInEvent(event);
        update();
    }
    void focusOutEvent(QFocusEvent* event) override {
        QWidget::focusOutEvent(event);
        update();
    }
    void paintEvent(QPaintEvent*) override {
        if (hasFocus()) {
            QPainter painter(this);
            QStyleOptionFocusRect option;
            option.initFrom(this);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
        }
    }
    void changeEvent(QEvent* event) override {
        QWidget::changeEvent(event);
        if (event->type() == QEvent::PaletteChange ||
            event->type() == QEvent::ScreenChangeInternal) {
            paintSymbol();
        }
    }

private:
    void paintSymbol() {
        symbol_->setPixmap(settingsSymbol(symbolName_, palette().color(QPalette::Highlight), 18,
                                          devicePixelRatioF()));
    }

    bool clickable_;
    std::function<void()> click_;
    bool pressed_ = false;
    QLabel* symbol_;
    QString symbolName_;
};

class PermissionsPane : public QScrollArea {
public:
    PermissionsPane(SettingsPermissions& permissions, QWidget* parent)
        : QScrollArea(parent), permissions_(permissions), rows_(new QVBoxLayout) {
        setObjectName(QStringLiteral("permissionsPane"));
        setWidgetResizable(true);
        setFrameShape(QFrame::NoFrame);
        auto* column = new QWidget;
        auto* layout = new QVBoxLayout(column);
        layout->setContentsMargins(20, 20, 20, 20);
        auto* group = new QWidget;
        group->setObjectName(QStringLiteral("formGroup"));
        group->setAttribute(Qt::WA_StyledBackground);
        group->setStyleSheet(QStringLiteral("#formGroup { border: 1px solid palette(mid); "
                                            "border-radius: 6px; background: palette(base); }"));
        rows_->setContentsMargins(12, 10, 12, 10);
        rows_->setSpacing(12);
        group->setLayout(rows_);
        layout->addWidget(group);
        //: Settings › Permissions, under the list of permissions
        auto* footer = new QLabel(QCoreApplication::translate(
            "SettingsPanes",
            "Vexlin Capture reads each of these from the session while this window is open. On "
            "X11 screen capture, keystrokes and scrolling come with the X server; the camera and "
            "the microphone need a device that you may open."));
        footer->setWordWrap(true);
        footer->setContentsMargins(12, 0, 12, 0);
        styleAsSecondary(footer);
        layout->addWidget(footer);
        layout->addStretch();
        setWidget(column);
        connect(&permissions_, &SettingsPermissions::changed, this, [this] { rebuild(); });
        rebuild();
    }

private:
    void rebuild() {
        while (QLayoutItem* item = rows_->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        for (const PrivacyPermission permission : SettingsPermissions::shownPermissions()) {
            rows_->addWidget(row(permission));
        }
    }

    QWidget* row(PrivacyPermission permission) {
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("permission%1").arg(static_cast<int>(permission)));
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 2, 0, 2);
        layout->setSpacing(10);
        const PermissionRowState state = permissions_.state(permission);
        // A click on the label does what the row's button does, where there
        // is something to do: reading the state again, or opening the
        // desktop's settings on it.
        const bool clickable =
            state == PermissionRowState::notAskedYet ||
            (state != PermissionRowState::granted && permissions_.canOpenSettings(permission));
        // Queued: the click rebuilds the rows, this label among them.
        auto* label = new PermissionLabel(permission, clickable, [this, permission] {
            QMetaObject::invokeMethod(
                this, [this, permission] { click(permission); }, Qt::QueuedConnection);
        });
        layout->addWidget(label, 1);
        QWidget* trailing = nullptr;
        switch (state) {
        case PermissionRowState::granted: {
            auto* available = new QWidget;
            auto* pair = new QHBoxLayout(available);
            pair->setContentsMargins(0, 0, 0, 0);
            pair->setSpacing(4);
            auto* mark = new QLabel;
            mark->setPixmap(settingsSymbol(QStringLiteral("checkmark.circle.fill"),
                                           QColor(0x2e, 0xa0, 0x43), 14, devicePixelRatioF()));
            //: Settings › Permissions: the session or the device gives Vexlin Capture what this
            //: row names
            auto* text = new QLabel(SettingsPanesText::tr("Available"));
            text->setObjectName(QStringLiteral("availableText"));
            styleAsSecondary(text, false);
            pair->addWidget(mark);
            pair->addWidget(text);
            trailing = available;
            break;
        }
        case PermissionRowState::notAskedYet:
        case PermissionRowState::openSettings:
            if (permissions_.canOpenSettings(permission)) {
                //: Settings › Permissions: opens the desktop's settings where this is changed
                auto* open = new QPushButton(SettingsPanesText::tr("Open Settings"));
                connect(open, &QPushButton::clicked, this,
                        [this, permission] { permissions_.openSettings(permission); });
                trailing = open;
            } else {
                auto* reason = new QLabel(permissions_.reason(permission));
                reason->setWordWrap(true);
                reason->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
                reason->setMaximumWidth(260);
                reason->setMinimumWidth(
                    qMin(260, reason->fontMetrics().horizontalAdvance(reason->text()) + 2));
                styleAsSecondary(reason, false);
                trailing = reason;
            }
            break;
        case PermissionRowState::restart:
            trailing = restartButton();
            break;
        }
        trailing->setObjectName(QStringLiteral("trailing"));
        layout->addWidget(trailing, 0, Qt::AlignVCenter);
        return row;
    }

    void click(PrivacyPermission permission) {
        switch (permissions_.state(permission)) {
        case PermissionRowState::granted:
            break;
        case PermissionRowState::notAskedYet:
            permissions_.request(permission);
            break;
        case PermissionRowState::openSettings:
        case PermissionRowState::restart:
            permissions_.openSettings(permission);
            break;
        }
    }

    SettingsPermissions& permissions_;
    QVBoxLayout* rows_;
};

} // namespace

QWidget* makePermissionsPane(SettingsPermissions& permissions, QWidget* parent) {
    return new PermissionsPane(permissions, parent);
}

} // namespace settings
