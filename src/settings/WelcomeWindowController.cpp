#include "settings/WelcomeWindowController.h"

#include "app/AppPresence.h"
#include "app/BrandIcon.h"
#include "app/CaptureAction.h"
#include "app/MainMenu.h"
#include "app/Preferences.h"
#include "app/WindowFit.h"
#include "desktop/ScreenPermission.h"
#include "platform/MainThread.h"
#include "settings/SettingsWindowController.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace settings {

namespace {

constexpr int kWidth = 560;

QPointer<WelcomeWindow> shared;
WelcomeWindow::LaunchAtLogin launchAtLoginHooks;

// A step of the guide: its number in an accent circle, a title with its
// detail, and the step's control on the right, on a faint rounded card.
class StepCard final : public QWidget {
public:
    StepCard(int number, const QString& title, QWidget* parent)
        : QWidget(parent), number_(number), detail_(new QLabel(this)), controls_(new QHBoxLayout) {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(14 + 26 + 14, 14, 14, 14);
        row->setSpacing(14);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(4);
        auto* heading = new QLabel(title, this);
        heading->setTextFormat(Qt::PlainText);
        QFont headline = heading->font();
        headline.setWeight(QFont::DemiBold);
        heading->setFont(headline);
        texts->addWidget(heading);
        detail_->setTextFormat(Qt::PlainText);
        detail_->setWordWrap(true);
        QPalette palette = detail_->palette();
        QColor ink = palette.color(QPalette::WindowText);
        ink.setAlphaF(0.6);
        palette.setColor(QPalette::WindowText, ink);
        detail_->setPalette(palette);
        texts->addWidget(detail_);
        row->addLayout(texts, 1);
        controls_->setSpacing(8);
        row->addLayout(controls_);
        row->setAlignment(controls_, Qt::AlignTop);
    }

    QLabel* detail() const { return detail_; }
    QHBoxLayout* controls() const { return controls_; }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath card;
        card.addRoundedRect(QRectF(rect()), 12, 12);
        QColor fill = palette().color(QPalette::WindowText);
        fill.setAlphaF(0.05);
        painter.fillPath(card, fill);

        const QRectF circle(14, 14, 26, 26);
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Highlight));
        painter.drawEllipse(circle);
        QFont digit = font();
        digit.setPointSizeF(digit.pointSizeF() * 14.0 / 13.0);
        digit.setBold(true);
        painter.setFont(digit);
        painter.setPen(Qt::white);
        painter.drawText(circle, Qt::AlignCenter, QString::number(number_));
    }

private:
    int number_;
    QLabel* detail_;
    QHBoxLayout* controls_;
};

// The green check of a step that is done.
QPixmap doneMark(qreal scale) {
    const int side = 22;
    QPixmap pixmap(QSize(side, side) * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(52, 199, 89));
    painter.drawEllipse(QRectF(1, 1, side - 2, side - 2));
    painter.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    QPainterPath tick;
    tick.moveTo(6.5, 11.5);
    tick.lineTo(9.8, 14.8);
    tick.lineTo(15.8, 7.8);
    painter.drawPath(tick);
    return pixmap;
}

} // namespace

QString shortcutSummary(const app::ShortcutMap& shortcuts) {
    QStringList lines;
    for (app::CaptureAction action : app::captureActions::menuOrder()) {
        if (const std::optional<app::KeyShortcut> shortcut = shortcuts.value(action)) {
            lines.append(shortcut->displayText() + QStringLiteral("  ") + app::title(action));
        }
    }
    return lines.join(QLatin1Char('\n'));
}

WelcomeWindow::WelcomeWindow(app::Preferences& preferences, LaunchAtLogin launchAtLogin,
                             QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
    , preferences_(preferences)
    , launchAtLogin_(std::move(launchAtLogin))
    , granted_(desktop::ScreenPermission::preflight())
    , screenDetail_(nullptr)
    , screenDone_(new QLabel(this))
    //: Welcome window, screen capture step: button that asks for screen capture
    , continue_(new QPushButton(tr("Continue"), this))
    //: Welcome window, screen capture step: button that starts the program again
    , restart_(new QPushButton(tr("Restart Vexlin Capture"), this))
    , shortcuts_(nullptr)
    , done_(new QPushButton(this))
    , poll_(new QTimer(this)) {
    //: Title of the welcome window
    setWindowTitle(tr("Welcome to Vexlin Capture"));
    setFixedWidth(kWidth);

    // The guide scrolls above its closing button, which always shows: on a
    // screen with less room than the guide is tall the window is cut to fit.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("guide"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* body = new QWidget;
    body->setAutoFillBackground(false);
    scroll_->viewport()->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QVBoxLayout;
    header->setContentsMargins(0, 34, 0, 24);
    header->setSpacing(8);
    auto* icon = new QLabel(this);
    icon->setPixmap(
        app::BrandIcon::image(palette().color(QPalette::Highlight)).pixmap(QSize(84, 84)));
    icon->setAlignment(Qt::AlignCenter);
    header->addWidget(icon);
    //: Welcome window: the large title
    auto* title = new QLabel(tr("Welcome to Vexlin Capture"), this);
    QFont large = title->font();
    large.setPointSizeF(large.pointSizeF() * 26.0 / 13.0);
    large.setBold(true);
    title->setFont(large);
    title->setAlignment(Qt::AlignCenter);
    header->addWidget(title);
    //: Welcome window: the line under the title
    auto* subtitle = new QLabel(tr("Capture, annotate and share, right from the tray."), this);
    subtitle->setAlignment(Qt::AlignCenter);
    QPalette secondary = subtitle->palette();
    QColor ink = secondary.color(QPalette::WindowText);
    ink.setAlphaF(0.6);
    secondary.setColor(QPalette::WindowText, ink);
    subtitle->setPalette(secondary);
    header->addWidget(subtitle);
    column->addLayout(header);

    auto* steps = new QVBoxLayout;
    steps->setContentsMargins(28, 0, 28, 0);
    steps->setSpacing(12);

    //: Welcome window: title of the step about screen capture
    auto* screen = new StepCard(1, tr("Screen Access"), this);
    screenDetail_ = screen->detail();
    screenDone_->setPixmap(doneMark(devicePixelRatioF()));
    continue_->setObjectName(QStringLiteral("continue"));
    restart_->setObjectName(QStringLiteral("restart"));
    screen->controls()->addWidget(screenDone_);
    screen->controls()->addWidget(continue_);
    screen->controls()->addWidget(restart_);
    connect(continue_, &QPushButton::clicked, this, [this] {
        requested_ = true;
        desktop::ScreenPermission::request();
        granted_ = desktop::ScreenPermission::preflight();
        refreshScreenStep();
    });
    connect(restart_, &QPushButton::clicked, this, [] { desktop::ScreenPermission::relaunch(); });
    steps->addWidget(screen);

    //: Welcome window: title of the step that lists the capture shortcuts
    auto* keys = new StepCard(2, tr("Use the shortcuts"), this);
    shortcuts_ = keys->detail();
    shortcuts_->setObjectName(QStringLiteral("shortcutSummary"));
    shortcuts_->setWordWrap(false);
    //: Welcome window, shortcuts step: button that opens the Shortcuts settings
    auto* customize = new QPushButton(tr("Customize"), this);
    customize->setAutoDefault(false);
    connect(customize, &QPushButton::clicked, this,
            [] { SettingsWindowController::show(SettingsSection::shortcuts); });
    keys->controls()->addWidget(customize);
    steps->addWidget(keys);

    //: Welcome window: title of the step that says where the program lives
    auto* tray = new StepCard(3, tr("Find Vexlin Capture in the tray"), this);
    //: Welcome window, tray step: what the tray icon offers
    tray->detail()->setText(tr("Click the viewfinder icon in the tray for every capture mode, the "
                               "editor and settings."));
    if (launchAtLogin_.isEnabled && launchAtLogin_.set) {
        //: Welcome window, tray step: switch that starts the program when the user logs in
        launchSwitch_ = new QCheckBox(tr("Open at login"), this);
        launchSwitch_->setChecked(launchAtLogin_.isEnabled());
        // Only the user's click changes anything; the read-back below is no
        // change of its own.
        connect(launchSwitch_, &QCheckBox::clicked, this, &WelcomeWindow::launchAtLoginClicked);
        tray->controls()->addWidget(launchSwitch_);
    }
    steps->addWidget(tray);
    column->addLayout(steps);

    auto* closing = new QHBoxLayout;
    closing->setContentsMargins(0, 26, 0, 26);
    closing->addStretch(1);
    done_->setObjectName(QStringLiteral("done"));
    done_->setDefault(true);
    done_->setMinimumWidth(120);
    connect(done_, &QPushButton::clicked, this, &QWidget::close);
    closing->addWidget(done_);
    closing->addStretch(1);
    scroll_->setWidget(body);
    outer->addWidget(scroll_, 1);
    outer->addLayout(closing);

    connect(&preferences_, &app::Preferences::shortcutsChanged, this,
            [this](const app::ShortcutMap& map) { shortcuts_->setText(shortcutSummary(map)); });
    shortcuts_->setText(shortcutSummary(preferences_.shortcuts()));

    poll_->setInterval(1000);
    connect(poll_, &QTimer::timeout, this, [this] {
        const bool granted = desktop::ScreenPermission::preflight();
        if (granted != granted_) {
            granted_ = granted;
            refreshScreenStep();
        }
    });
    poll_->start();
    refreshScreenStep();
    app::MainMenu::installKeysIn(this);
}

void WelcomeWindow::showAndRaise() {
    if (!isVisible() && !counted_) {
        counted_ = true;
        app::appWindowDidOpen();
    }
    show();
    app::bringWindowToFront(this);
}

QString WelcomeWindow::shortcutText() const {
    return shortcuts_->text();
}

QAbstractButton* WelcomeWindow::closingButton() const {
    return done_;
}

void WelcomeWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (!event->isAccepted()) {
        return;
    }
    poll_->stop();
    preferences_.setHasCompletedOnboarding(true);
    if (counted_) {
        counted_ = false;
        app::appWindowDidClose();
    }
}

void WelcomeWindow::refreshScreenStep() {
    screenDone_->setVisible(granted_);
    continue_->setVisible(!granted_ && !requested_);
    restart_->setVisible(!granted_ && requested_);
    continue_->setDefault(false);
    if (granted_) {
        //: Welcome window, screen capture step, once the screen can be captured
        screenDetail_->setText(tr("Done. Vexlin Capture can capture your screen."));
        //: Welcome window: the closing button once everything is ready
        done_->setText(tr("Get Started"));
    } else {
        screenDetail_->setText(
            requested_
                //: Welcome window, screen capture step, after Continue without success
                ? tr("Vexlin Capture captures the screen of an X11 session. Log in to an X11 "
                     "session (not Wayland), then restart Vexlin Capture.")
                //: Welcome window, screen capture step, before anything was asked
                : tr("Vexlin Capture needs an X11 session to capture the screen."));
        //: Welcome window: the closing button while the screen cannot be captured yet
        done_->setText(tr("Later"));
    }
    fitHeight();
}

void WelcomeWindow::fitHeight() {
    QWidget* body = scroll_->widget();
    const int guide = body->layout()->totalHeightForWidth(kWidth);
    // The closing row below the guide.
    const int whole = guide + layout()->itemAt(1)->sizeHint().height();
    setFixedHeight(std::min(whole, app::roomOnScreen(this).height()));
}

void WelcomeWindow::launchAtLoginClicked(bool on) {
    if (on != launchAtLogin_.isEnabled()) {
        launchAtLogin_.set(on);
    }
    const QSignalBlocker quiet(launchSwitch_);
    launchSwitch_->setChecked(launchAtLogin_.isEnabled());
}

void WelcomeWindowController::show() {
    platform::assertMainThread();
    if (shared.isNull()) {
        shared = new WelcomeWindow(app::Preferences::shared(), launchAtLoginHooks);
        shared->setAttribute(Qt::WA_DeleteOnClose);
    }
    shared->showAndRaise();
}

bool WelcomeWindowController::isVisible() {
    return shared && shared->isVisible();
}

WelcomeWindow* WelcomeWindowController::window() {
    return shared.data();
}

void WelcomeWindowController::setLaunchAtLogin(WelcomeWindow::LaunchAtLogin launchAtLogin) {
    launchAtLoginHooks = std::move(launchAtLogin);
}

} // namespace settings
