#include "settings/SettingsWindowController.h"

#include "settings/AboutView.h"
#include "settings/SettingsPanes.h"
#include "settings/SettingsPermissions.h"
#include "settings/SettingsSymbol.h"
#include "settings/ShortcutsPane.h"

#include "app/AppPresence.h"
#include "app/BrandIcon.h"
#include "app/Bundle.h"
#include "app/MainMenu.h"
#include "app/Preferences.h"
#include "app/WindowFit.h"
#include "platform/MainThread.h"
#include "platform/PermissionProbe.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cmath>

// The context of this file's texts, declared where lupdate finds it.
struct SettingsWindowText {
    Q_DECLARE_TR_FUNCTIONS(SettingsWindowText)
};

namespace settings {

namespace {

constexpr int detailWidth = 636;

const SettingsSection allSections[] = {
    SettingsSection::general,     SettingsSection::screenshots, SettingsSection::shortcuts,
    SettingsSection::quickAccess, SettingsSection::recording,   SettingsSection::recordingOverlays,
    SettingsSection::permissions, SettingsSection::about,
};

platform::PermissionProbe* chosenProbe = nullptr;

class SettingsWindow : public QWidget {
public:
    SettingsWindow(platform::PermissionProbe& probe)
        : QWidget(nullptr, Qt::Window), probe_(probe), permissions_(probe, this) {
        setObjectName(QStringLiteral("settingsWindow"));
        const int sidebar = SettingsWindowController::sidebarWidth();
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);

        auto* side = new QWidget(this);
        side->setFixedWidth(sidebar);
        auto* sideLayout = new QVBoxLayout(side);
        sideLayout->setContentsMargins(0, 0, 0, 0);
        sideLayout->setSpacing(0);
        list_ = new QListWidget(side);
        list_->setObjectName(QStringLiteral("sidebar"));
        list_->setFrameShape(QFrame::NoFrame);
        list_->setSelectionMode(QAbstractItemView::SingleSelection);
        for (const SettingsSection section : allSections) {
            auto* item = new QListWidgetItem(list_);
            item->setSizeHint(QSize(sidebar, 30));
            auto* row = new QWidget;
            auto* rowLayout = new QHBoxLayout(row);
            rowLayout->setContentsMargins(12, 0, 12, 0);
            rowLayout->setSpacing(8);
            auto* symbol = new QLabel;
            symbol->setObjectName(QStringLiteral("sectionSymbol"));
            symbol->setFixedSize(18, 18);
            symbols_.append(symbol);
            rowLayout->addWidget(symbol);
            rowLayout->addWidget(new QLabel(sectionTitle(section)));
            rowLayout->addStretch();
            if (section == SettingsSection::permissions) {
                dot_ = new QLabel;
                dot_->setObjectName(QStringLiteral("attentionDot"));
                dot_->setFixedSize(7, 7);
                dot_->setStyleSheet(QStringLiteral("background: #ff9500; border-radius: 3px;"));
                //: Settings sidebar: tooltip of the dot next to Permissions
                dot_->setToolTip(
                    SettingsWindowText::tr("Screen capture is not possible in this session."));
                dot_->setAccessibleName(dot_->toolTip());
                rowLayout->addWidget(dot_);
            }
            list_->setItemWidget(item, row);
        }
        sideLayout->addWidget(list_, 1);
        sideLayout->addWidget(footer());
        layout->addWidget(side);

        auto* rule = new QFrame(this);
        rule->setFrameShape(QFrame::VLine);
        rule->setFrameShadow(QFrame::Sunken);
        layout->addWidget(rule);
        detail_ = new QWidget(this);
        detailLayout_ = new QVBoxLayout(detail_);
        detailLayout_->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(detail_, 1);

        // The rule lies inside the detail's width, not beside it.
        const int width = sidebar + detailWidth;
        // Never taller than the screen has room for (a 1080p screen at scale
        // 2 has about 500 points): the panes scroll.
        const QSize room = app::roomOnScreen(this);
        setMinimumSize(width, std::min(420, room.height()));
        setMaximumSize(width, 2000);
        resize(app::fittedSize(this, QSize(width, 560)));
        app::MainMenu::installKeysIn(this);

        connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
            // Clearing the selection leaves the section as it was.
            if (row >= 0) {
                select(allSections[row]);
            }
        });
        connect(list_, &QListWidget::currentRowChanged, this, [this] { paintSymbols(); });
        connect(&permissions_, &SettingsPermissions::changed, this, [this] { showDot(); });
        showDot();
        select(SettingsSection::general);
    }

    SettingsPermissions& permissions() { return permissions_; }
    SettingsSection section() const { return section_; }

    // Selects the section and titles the window after it, also when it is
    // the section already shown. Its pane is built afresh when the section
    // changes or the window was hidden.
    void select(SettingsSection section) {
        const bool rebuild = section != section_ || pane_ == nullptr || !isVisible();
        section_ = section;
        setWindowTitle(sectionTitle(section));
        {
            const QSignalBlocker blocker(list_);
            list_->setCurrentRow(static_cast<int>(section));
        }
        paintSymbols();
        if (rebuild) {
            delete pane_;
            pane_ = makePane(section);
            detailLayout_->addWidget(pane_);
        }
    }

    void present() {
        if (!counted_) {
            counted_ = true;
            app::appWindowDidOpen();
        }
        permissions_.startPolling();
        if (isMinimized()) {
            showNormal();
        } else {
            show();
        }
        app::bringWindowToFront(this);
    }

protected:
    void changeEvent(QEvent* event) override {
        QWidget::changeEvent(event);
        if (event->type() == QEvent::PaletteChange) {
            paintSymbols();
        }
        if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
            permissions_.update();
        }
    }

    void closeEvent(QCloseEvent* event) override {
        QWidget::closeEvent(event);
        if (!event->isAccepted()) {
            return;
        }
        permissions_.stopPolling();
        if (counted_) {
            counted_ = false;
            app::appWindowDidClose();
        }
    }

private:
    QWidget* makePane(SettingsSection section) {
        app::Preferences& preferences = app::Preferences::shared();
        switch (section) {
        case SettingsSection::general:
            return makeGeneralPane(preferences);
        case SettingsSection::screenshots:
            return makeScreenshotsPane(preferences, probe_);
        case SettingsSection::shortcuts:
            return makeShortcutsPane(nullptr);
        case SettingsSection::quickAccess:
            return makeQuickAccessPane(preferences);
        case SettingsSection::recording:
            return makeRecordingPane(preferences);
        case SettingsSection::recordingOverlays:
            return makeRecordingOverlaysPane(preferences, probe_);
        case SettingsSection::permissions:
            return makePermissionsPane(permissions_);
        case SettingsSection::about: {
            auto* scroll = new QScrollArea;
            scroll->setWidgetResizable(true);
            scroll->setFrameShape(QFrame::NoFrame);
            scroll->setWidget(new AboutView(true));
            return scroll;
        }
        }
        return new QWidget;
    }

    QWidget* footer() {
        auto* row = new QWidget;
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(18, 12, 12, 12);
        layout->setSpacing(6);
        QFont small = row->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        auto* icon = new QLabel;
        QIcon image = QApplication::windowIcon();
        if (image.isNull()) {
            image = QIcon(QPixmap::fromImage(
                app::BrandIcon::render(32, palette().color(QPalette::WindowText))));
        }
        icon->setPixmap(image.pixmap(16, 16));
        auto* name = new QLabel(app::Bundle::main().appDisplayName());
        auto* version = new QLabel(AboutView::versionString());
        for (QLabel* label : {name, version}) {
            label->setFont(small);
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
            label->setPalette(palette);
        }
        layout->addWidget(icon);
        layout->addWidget(name);
        layout->addWidget(version);
        layout->addStretch();
        return row;
    }

    // Each section's symbol in the accent colour, and in the selection's text
    // colour on the selected row.
    void paintSymbols() {
        const qreal dpr = devicePixelRatioF();
        for (int row = 0; row < symbols_.size(); ++row) {
            const bool selected = row == list_->currentRow();
            const QColor tint =
                list_->palette().color(selected ? QPalette::HighlightedText : QPalette::Highlight);
            symbols_[row]->setPixmap(
                settingsSymbol(sectionSymbol(allSections[row]), tint, 16, dpr));
        }
    }

    void showDot() {
        dot_->setVisible(!permissions_.isGranted(PrivacyPermission::screenRecording));
    }

    platform::PermissionProbe& probe_;
    SettingsPermissions permissions_;
    QListWidget* list_ = nullptr;
    QList<QLabel*> symbols_;
    QLabel* dot_ = nullptr;
    QWidget* detail_ = nullptr;
    QVBoxLayout* detailLayout_ = nullptr;
    QWidget* pane_ = nullptr;
    SettingsSection section_ = SettingsSection::general;
    bool counted_ = false;
};

SettingsWindow* shared = nullptr;

} // namespace

QString sectionTitle(SettingsSection section) {
    switch (section) {
    case SettingsSection::general:
        //: Settings section
        return SettingsWindowText::tr("General");
    case SettingsSection::screenshots:
        //: Settings section
        return SettingsWindowText::tr("Screenshots");
    case SettingsSection::shortcuts:
        //: Settings section
        return SettingsWindowText::tr("Shortcuts");
    case SettingsSection::quickAccess:
        //: Settings section
        return SettingsWindowText::tr("Quick Access");
    case SettingsSection::recording:
        //: Settings section
        return SettingsWindowText::tr("Recording");
    case SettingsSection::recordingOverlays:
        //: Settings section: click highlights, keystrokes, camera and hidden apps
        return SettingsWindowText::tr("Recording Overlays");
    case SettingsSection::permissions:
        //: Settings section: what Vexlin Capture needs from the session and its devices
        return SettingsWindowText::tr("Permissions");
    case SettingsSection::about:
        //: Settings section
        return SettingsWindowText::tr("About");
    }
    return {};
}

QString sectionSymbol(SettingsSection section) {
    switch (section) {
    case SettingsSection::general:
        return QStringLiteral("gearshape");
    case SettingsSection::screenshots:
        return QStringLiteral("camera.viewfinder");
    case SettingsSection::shortcuts:
        return QStringLiteral("keyboard");
    case SettingsSection::quickAccess:
        return QStringLiteral("rectangle.stack");
    case SettingsSection::recording:
        return QStringLiteral("record.circle");
    case SettingsSection::recordingOverlays:
        return QStringLiteral("cursorarrow.click.2");
    case SettingsSection::permissions:
        return QStringLiteral("hand.raised");
    case SettingsSection::about:
        return QStringLiteral("info.circle");
    }
    return {};
}

void SettingsWindowController::show(SettingsSection section) {
    platform::assertMainThread();
    if (shared == nullptr) {
        shared = new SettingsWindow(chosenProbe != nullptr ? *chosenProbe
                                                           : platform::PermissionProbe::system());
    }
    shared->select(section);
    shared->present();
}

bool SettingsWindowController::isVisible() {
    return shared != nullptr && shared->isVisible();
}

QWidget* SettingsWindowController::window() {
    return shared;
}

SettingsPermissions* SettingsWindowController::permissions() {
    return shared != nullptr ? &shared->permissions() : nullptr;
}

SettingsSection SettingsWindowController::section() {
    return shared != nullptr ? shared->section() : SettingsSection::general;
}

void SettingsWindowController::setPermissionProbe(platform::PermissionProbe* probe) {
    chosenProbe = probe;
}

int SettingsWindowController::sidebarWidth() {
    const QFontMetricsF metrics(QApplication::font());
    qreal widest = 0;
    for (const SettingsSection section : allSections) {
        qreal width = metrics.horizontalAdvance(sectionTitle(section));
        if (section == SettingsSection::permissions) {
            width += 14;
        }
        widest = std::max(widest, width);
    }
    return std::max(160, static_cast<int>(std::ceil(66 + widest + 8)));
}

} // namespace settings
