#include "settings/ServiceSections.h"

#include "app/Bundle.h"
#include "service/InstallCount.h"
#include "service/ReviewWindow.h"
#include "service/Reviews.h"
#include "service/SelfUpdate.h"
#include "service/ServiceAddress.h"
#include "service/Updates.h"
#include "settings/AboutView.h"
#include "settings/FormKit.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

// The context of this file's texts, declared where lupdate finds it.
struct GeneralPaneText {
    Q_DECLARE_TR_FUNCTIONS(GeneralPaneText)
};

namespace settings {

namespace {

// The copy button reads "Copied" this long after a click.
constexpr int copiedMs = 1500;

QWidget* row(QHBoxLayout*& layout, int spacing) {
    auto* widget = new QWidget;
    layout = new QHBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return widget;
}

// A button as wide as the widest of its texts, so that a changing title does
// not move what stands beside it.
void fitWidest(QPushButton* button, const QStringList& texts) {
    const QString shown = button->text();
    int widest = 0;
    for (const QString& text : texts) {
        button->setText(text);
        widest = std::max(widest, button->sizeHint().width());
    }
    button->setText(shown);
    button->setMinimumWidth(widest);
}

void addUpdates(FormPane& pane, const ServiceSectionModels& models) {
    service::Updates* updates = models.updates;
    //: Settings › General: section header
    FormSection* section = pane.section(GeneralPaneText::tr("Updates"));

    auto* automatic = new QCheckBox(GeneralPaneText::tr("Check for updates automatically"));
    automatic->setObjectName(QStringLiteral("checkForUpdates"));
    automatic->setChecked(updates->automaticChecks());
    section->addWidget(automatic);
    QObject::connect(updates, &service::Updates::automaticChecksChanged, automatic,
                     [automatic, updates] {
                         const QSignalBlocker blocker(automatic);
                         automatic->setChecked(updates->automaticChecks());
                     });
    QObject::connect(automatic, &QCheckBox::toggled, updates, [updates](bool on) {
        if (on != updates->automaticChecks()) {
            updates->setAutomaticChecks(on);
        }
    });

    QHBoxLayout* layout = nullptr;
    QWidget* line = row(layout, 10);
    auto* available = new QLabel;
    available->setObjectName(QStringLiteral("updateAvailable"));
    available->setWordWrap(true);
    auto* status = new QLabel;
    status->setObjectName(QStringLiteral("updateStatus"));
    status->setWordWrap(true);
    styleAsSecondary(status, false);
    auto* busy = new QProgressBar;
    busy->setObjectName(QStringLiteral("checking"));
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    busy->setFixedWidth(48);
    busy->setMaximumHeight(12);
    auto* checkNow = new QPushButton(GeneralPaneText::tr("Check Now"));
    checkNow->setObjectName(QStringLiteral("checkNow"));
    //: Settings › General › Updates: installs the new version
    auto* updateNow = new QPushButton(GeneralPaneText::tr("Update Now"));
    updateNow->setObjectName(QStringLiteral("updateNow"));
    layout->addWidget(available, 1);
    layout->addWidget(status, 1);
    layout->addWidget(busy, 0, Qt::AlignVCenter);
    layout->addWidget(checkNow, 0, Qt::AlignVCenter);
    layout->addWidget(updateNow, 0, Qt::AlignVCenter);
    section->addWidget(line);

    const QString version = models.runningVersion;
    const auto refresh = [=] {
        const std::optional<service::UpdateManifest>& found = updates->available();
        available->setVisible(found.has_value());
        updateNow->setVisible(found.has_value());
        status->setVisible(!found);
        checkNow->setVisible(!found);
        busy->setVisible(!found && updates->isChecking());
        checkNow->setEnabled(!updates->isChecking());
        if (found) {
            available->setText(
                //: Settings › General › Updates
                GeneralPaneText::tr("Vexlin Capture %1 is available").arg(found->version));
        }
        if (const std::optional<QDateTime>& checked = updates->lastChecked()) {
            const QString time =
                QLocale().toString(checked->toLocalTime().time(), QLocale::ShortFormat);
            status->setText(GeneralPaneText::tr("Vexlin Capture %1 is up to date. Checked %2.")
                                .arg(version, time));
        } else {
            status->setText(
                //: Settings › General › Updates: the running version, before any check
                GeneralPaneText::tr("Vexlin Capture %1").arg(version));
        }
    };
    refresh();
    for (const auto signal :
         {&service::Updates::availableChanged, &service::Updates::checkingChanged,
          &service::Updates::lastCheckedChanged}) {
        QObject::connect(updates, signal, line, refresh);
    }
    QObject::connect(checkNow, &QPushButton::clicked, updates, [updates] {
        // After the click has ended, as the menu's check does.
        QMetaObject::invokeMethod(
            updates, [updates] { updates->check(true); }, Qt::QueuedConnection);
    });
    QObject::connect(updateNow, &QPushButton::clicked, updates,
                     [updates, install = models.install] {
                         if (updates->available() && install) {
                             install(*updates->available());
                         }
                     });

    section->setFooter(
        GeneralPaneText::tr("Vexlin Capture asks %1 once a day whether there is a new "
                            "version. The request contains nothing about you or this "
                            "computer.")
            .arg(models.host));
}

void addInstallCount(FormPane& pane, const ServiceSectionModels& models) {
    service::InstallCount* count = models.count;
    FormSection* counting = pane.section();
    auto* enabled = new QCheckBox(GeneralPaneText::tr("Count this installation"));
    enabled->setObjectName(QStringLiteral("countInstallation"));
    enabled->setChecked(count->isEnabled());
    counting->addWidget(enabled);
    QObject::connect(count, &service::InstallCount::enabledChanged, enabled, [enabled](bool on) {
        const QSignalBlocker blocker(enabled);
        enabled->setChecked(on);
    });
    QObject::connect(enabled, &QCheckBox::toggled, count, [count](bool on) {
        if (on != count->isEnabled()) {
            count->setEnabled(on);
        }
    });
    counting->setFooter(
        GeneralPaneText::tr(
            "Once a day, Vexlin Capture tells %1 that this installation is in use: a "
            "number made from this computer with a one-way code (it says nothing about "
            "the computer), the app version and the Linux version. Nothing about you or "
            "your files.")
            .arg(models.host));

    FormSection* identity = pane.section();
    const QString number = count->installationNumber();
    QHBoxLayout* layout = nullptr;
    QWidget* line = row(layout, 8);
    auto* shown = new QLabel(number);
    shown->setObjectName(QStringLiteral("installationNumber"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(shown->font().pointSizeF());
    shown->setFont(mono);
    shown->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto* copy = new QPushButton(GeneralPaneText::tr("Copy"));
    copy->setObjectName(QStringLiteral("copyInstallationNumber"));
    fitWidest(copy, {GeneralPaneText::tr("Copy"), GeneralPaneText::tr("Copied")});
    layout->addWidget(shown, 0, Qt::AlignVCenter);
    layout->addWidget(copy, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    identity->addRow(GeneralPaneText::tr("Installation ID"), line);
    QObject::connect(copy, &QPushButton::clicked, copy, [copy, number] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(number);
        copy->setText(GeneralPaneText::tr("Copied"));
        // Each click has its own timer; the first to end brings "Copy" back.
        QTimer::singleShot(copiedMs, copy, [copy] { copy->setText(GeneralPaneText::tr("Copy")); });
    });

    auto* onSite = new QPushButton(GeneralPaneText::tr("Write a Review on %1").arg(models.host));
    onSite->setObjectName(QStringLiteral("reviewOnSite"));
    onSite->setEnabled(models.siteRoot.has_value());
    identity->addWidget(hbox({onSite}));
    QObject::connect(
        onSite, &QPushButton::clicked, onSite,
        [root = models.siteRoot, number, language = models.language, open = models.openUrl] {
            if (root && open) {
                open(service::InstallCount::reviewURL(*root, number,
                                                      language ? language() : QString()));
            }
        });

    const QString use = GeneralPaneText::tr("Use it to write a review on %1. It stands for this "
                                            "installation only and says nothing about you or your "
                                            "computer.")
                            .arg(models.host);
    const auto showFooter = [identity, use](bool on) {
        identity->setFooter(
            on ? use
               : use + QLatin1Char('\n') +
                     GeneralPaneText::tr(
                         "Reviews on the website need Count this installation turned on."));
    };
    showFooter(count->isEnabled());
    QObject::connect(count, &service::InstallCount::enabledChanged, identity->footer(), showFooter);
}

void addReview(FormPane& pane, const ServiceSectionModels& models) {
    service::Reviews* reviews = models.reviews;
    //: Settings › General: section header
    FormSection* section = pane.section(GeneralPaneText::tr("Review"));
    QHBoxLayout* layout = nullptr;
    QWidget* line = row(layout, 6);
    //: Settings › General › Review, after sending
    auto* thanks = new QLabel(GeneralPaneText::tr("Thank you for your review."));
    thanks->setObjectName(QStringLiteral("reviewThanks"));
    QWidget* seal = service::makeSeal(thanks->fontMetrics().height(), line);
    auto* write = new QPushButton;
    write->setObjectName(QStringLiteral("writeReview"));
    fitWidest(write,
              {service::Reviews::menuItemTitle(false), service::Reviews::menuItemTitle(true)});
    layout->addWidget(seal, 0, Qt::AlignVCenter);
    layout->addWidget(thanks, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    layout->addWidget(write, 0, Qt::AlignVCenter);
    section->addWidget(line);
    const auto refresh = [reviews, seal, thanks, write] {
        const bool sent = reviews->reviewSent();
        seal->setVisible(sent);
        thanks->setVisible(sent);
        write->setText(service::Reviews::menuItemTitle(sent));
        write->setEnabled(!sent);
    };
    refresh();
    QObject::connect(reviews, &service::Reviews::reviewSentChanged, line, refresh);
    QObject::connect(write, &QPushButton::clicked, write, [open = models.openReviewWindow] {
        if (open) {
            open();
        }
    });
    section->setFooter(
        //: Settings › General › Review: footer
        GeneralPaneText::tr(
            "Tell others what you think of Vexlin Capture. Your review appears on %1 "
            "after it has been checked. Each installation can send one review.")
            .arg(models.host));
}

} // namespace

ServiceSectionModels sharedServiceSectionModels() {
    ServiceSectionModels models;
    models.updates = &service::Updates::shared();
    models.count = &service::InstallCount::shared();
    models.reviews = &service::Reviews::shared();
    models.runningVersion = app::Bundle::main().shortVersionString();
    models.host = service::configuredServiceBase().host();
    models.siteRoot = service::serviceEndpoint(QStringLiteral("/"));
    models.language = [] { return preferredLocalization(); };
    models.install = [](const service::UpdateManifest& manifest) {
        service::SelfUpdate::shared().install(manifest);
    };
    models.openReviewWindow = [] { service::ReviewWindowController::show(); };
    models.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return models;
}

void addServiceSections(FormPane& pane, const ServiceSectionModels& models) {
    addUpdates(pane, models);
    addInstallCount(pane, models);
    addReview(pane, models);
}

} // namespace settings
