#include "settings/ServiceSections.h"
#include "settings/FormKit.h"
#include "settings/SettingsPanes.h"

#include "app/AlertPresenter.h"
#include "app/Preferences.h"
#include "service/InstallCount.h"
#include "service/Reviews.h"
#include "service/Updates.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <gtest/gtest.h>

#include <memory>

namespace {

using testsupport::LocalHttpServer;

class RecordingAlerts : public app::AlertPresenter {
public:
    int run(const app::Alert& alert) override {
        shown.append(alert.message);
        return 0;
    }
    QStringList shown;
};

// A clock that never fires: the sections are driven by checks the test starts.
class StillClock : public service::UpdateClock {
public:
    qint64 elapsedMs() const override { return 0; }
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
    void wakeAt(qint64, std::function<void()>) override {}
    void cancelWake() override {}
};

// The General pane over models of its own, on a settings file and a local
// server of the test's.
struct Fixture {
    testsupport::TempDir dir;
    QString settingsPath = dir.file(QStringLiteral("VexlinCapture.conf"));
    LocalHttpServer server;
    StillClock clock;
    RecordingAlerts alerts;
    app::ScopedAlertPresenter scoped{alerts};
    app::Preferences preferences{settingsPath};
    QList<service::UpdateManifest> installed;
    QList<QUrl> opened;
    int reviewWindows = 0;
    std::unique_ptr<service::Updates> updates;
    std::unique_ptr<service::InstallCount> count;
    std::unique_ptr<service::Reviews> reviews;
    std::unique_ptr<QWidget> pane;

    Fixture() {
        QSettings(settingsPath, QSettings::IniFormat)
            .setValue(QStringLiteral("serviceBaseURL"), server.base().toString());
        updates = std::make_unique<service::Updates>(service::Updates::Environment{
            .settingsPath = settingsPath,
            .clock = &clock,
            .currentBuild = 10,
            .os = {6, 1, 0},
            .arguments = {},
            .install = {},
            .openUrl = {},
        });
        const QString machineId = dir.file(QStringLiteral("machine-id"));
        testsupport::writeAll(machineId, "0123456789abcdef0123456789abcdef\n");
        count = std::make_unique<service::InstallCount>(settingsPath);
        count->setMachineIdFiles({machineId});
        reviews = std::make_unique<service::Reviews>(settingsPath, count.get());
        settings::ServiceSectionModels models;
        models.updates = updates.get();
        models.count = count.get();
        models.reviews = reviews.get();
        models.runningVersion = QStringLiteral("1.2");
        models.host = QStringLiteral("vexlin.app");
        models.siteRoot = QUrl(QStringLiteral("https://vexlin.app/"));
        models.language = [] { return QStringLiteral("pt-BR"); };
        models.install = [this](const service::UpdateManifest& m) { installed.append(m); };
        models.openReviewWindow = [this] { ++reviewWindows; };
        models.openUrl = [this](const QUrl& url) { opened.append(url); };
        pane.reset(settings::makeGeneralPane(preferences, models));
    }
    ~Fixture() { pane.reset(); }

    template <typename T> T* find(const char* name) const {
        T* found = pane->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    bool shown(const char* name) const { return !find<QWidget>(name)->isHidden(); }
    QString text(const char* name) const {
        if (auto* label = pane->findChild<QLabel*>(QLatin1String(name))) {
            return label->text();
        }
        return find<QAbstractButton>(name)->text();
    }
    // The footer of the section a control sits in.
    QString footerOf(const char* name) const {
        for (QWidget* at = find<QWidget>(name); at != nullptr; at = at->parentWidget()) {
            if (auto* section = dynamic_cast<settings::FormSection*>(at)) {
                return section->footer() ? section->footer()->text() : QString();
            }
        }
        return {};
    }
    void serve(int build) {
        server.respond(service::Updates::primaryPath,
                       {200,
                        QStringLiteral(R"({"version":"%1.0","build":%2,)"
                                       R"("download":"https://vexlin.app/d.tar.gz"})")
                            .arg(build / 10)
                            .arg(build)
                            .toUtf8(),
                        {}});
    }
    // Clicks Check Now and waits for the check to end. While it runs the
    // indicator shows and the button waits.
    void checkNow() {
        auto* button = find<QPushButton>("checkNow");
        bool ended = false;
        const QMetaObject::Connection watch =
            QObject::connect(updates.get(), &service::Updates::checkingChanged, [&] {
                if (updates->isChecking()) {
                    EXPECT_TRUE(shown("checking"));
                    EXPECT_FALSE(button->isEnabled());
                } else {
                    ended = true;
                }
            });
        button->click();
        EXPECT_TRUE(testsupport::waitFor(10000, [&] { return ended; }));
        QObject::disconnect(watch);
    }
};

TEST(ServiceSections, UpdatesShowTheVersionTheLastCheckAndAKnownRelease) {
    Fixture f;
    EXPECT_EQ(f.text("updateStatus"), QStringLiteral("Vexlin Capture 1.2"));
    EXPECT_TRUE(f.shown("checkNow"));
    EXPECT_FALSE(f.shown("checking"));
    EXPECT_FALSE(f.shown("updateNow"));
    EXPECT_EQ(f.footerOf("checkNow"),
              QStringLiteral("Vexlin Capture asks vexlin.app once a day whether there is a new "
                             "version. The request contains nothing about you or this computer."));

    // Nothing newer: the status names the time of the check.
    f.serve(10);
    f.checkNow();
    ASSERT_TRUE(f.updates->lastChecked());
    const QString time =
        QLocale().toString(f.updates->lastChecked()->toLocalTime().time(), QLocale::ShortFormat);
    EXPECT_EQ(f.text("updateStatus"),
              QStringLiteral("Vexlin Capture 1.2 is up to date. Checked %1.").arg(time));
    EXPECT_FALSE(f.shown("checking"));
    EXPECT_TRUE(f.find<QPushButton>("checkNow")->isEnabled());
    EXPECT_EQ(f.alerts.shown, QStringList{"Vexlin Capture is up to date"});

    // A newer release: its version and Update Now, which hands it over.
    f.serve(20);
    f.checkNow();
    EXPECT_TRUE(f.shown("updateAvailable"));
    EXPECT_EQ(f.text("updateAvailable"), QStringLiteral("Vexlin Capture 2.0 is available"));
    EXPECT_TRUE(f.shown("updateNow"));
    EXPECT_FALSE(f.shown("updateStatus"));
    EXPECT_FALSE(f.shown("checkNow"));
    f.find<QPushButton>("updateNow")->click();
    ASSERT_EQ(f.installed.size(), 1);
    EXPECT_EQ(f.installed[0].build, 20);

    // A later check (from the menu) that finds none brings the status row back.
    f.serve(10);
    f.updates->check(true);
    ASSERT_TRUE(testsupport::waitFor(10000, [&] { return !f.updates->isChecking(); }));
    EXPECT_TRUE(f.shown("updateStatus"));
    EXPECT_FALSE(f.shown("updateNow"));
}

TEST(ServiceSections, TheSwitchesWriteTheirSettingsAndFollowThem) {
    Fixture f;
    auto* automatic = f.find<QCheckBox>("checkForUpdates");
    auto* counting = f.find<QCheckBox>("countInstallation");
    EXPECT_TRUE(automatic->isChecked());
    EXPECT_TRUE(counting->isChecked());
    const QString use = QStringLiteral("Use it to write a review on vexlin.app. It stands for this "
                                       "installation only and says nothing about you or your "
                                       "computer.");
    EXPECT_EQ(f.footerOf("installationNumber"), use);

    automatic->click();
    counting->click();
    const QSettings file(f.settingsPath, QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("checkForUpdates")).toString(), QStringLiteral("false"));
    EXPECT_EQ(file.value(QStringLiteral("countInstallation")).toString(), QStringLiteral("false"));
    EXPECT_FALSE(f.updates->automaticChecks());
    EXPECT_FALSE(f.count->isEnabled());
    EXPECT_EQ(f.footerOf("installationNumber"),
              use + "\nReviews on the website need Count this installation turned on.");
    // The number and the review link stay available with counting off.
    EXPECT_TRUE(f.find<QPushButton>("reviewOnSite")->isEnabled());
    EXPECT_TRUE(f.find<QPushButton>("copyInstallationNumber")->isEnabled());

    // Changed elsewhere, the boxes follow.
    f.updates->setAutomaticChecks(true);
    f.count->setEnabled(true);
    EXPECT_TRUE(automatic->isChecked());
    EXPECT_TRUE(counting->isChecked());
    EXPECT_EQ(f.footerOf("installationNumber"), use);
}

TEST(ServiceSections, TheInstallationIdIsCopiedAndNamedInTheReviewLink) {
    Fixture f;
    const QString number = QStringLiteral("3f491692-b592-4e76-afb0-7600cf7edf4c");
    EXPECT_EQ(f.text("installationNumber"), number);
    EXPECT_TRUE(f.find<QLabel>("installationNumber")->textInteractionFlags() &
                Qt::TextSelectableByMouse);

    auto* copy = f.find<QPushButton>("copyInstallationNumber");
    copy->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), number);
    EXPECT_EQ(copy->text(), QStringLiteral("Copied"));
    EXPECT_TRUE(testsupport::waitFor(5000, [&] { return copy->text() == QLatin1String("Copy"); }));

    auto* onSite = f.find<QPushButton>("reviewOnSite");
    EXPECT_EQ(onSite->text(), QStringLiteral("Write a Review on vexlin.app"));
    onSite->click();
    ASSERT_EQ(f.opened.size(), 1);
    EXPECT_EQ(f.opened[0].toString(),
              QStringLiteral("https://vexlin.app/pt-br/vexlin/review#install=") + number);
}

TEST(ServiceSections, TheReviewSectionFollowsWhetherAReviewWasSent) {
    Fixture f;
    auto* write = f.find<QPushButton>("writeReview");
    EXPECT_EQ(write->text(), QStringLiteral("Write a Review…"));
    EXPECT_TRUE(write->isEnabled());
    EXPECT_FALSE(f.shown("reviewThanks"));
    EXPECT_EQ(f.footerOf("writeReview"),
              QStringLiteral("Tell others what you think of Vexlin Capture. Your review appears "
                             "on vexlin.app after it has been checked. Each installation can "
                             "send one review."));
    write->click();
    EXPECT_EQ(f.reviewWindows, 1);

    f.reviews->markReviewSent();
    EXPECT_EQ(write->text(), QStringLiteral("Review Sent"));
    EXPECT_FALSE(write->isEnabled());
    EXPECT_TRUE(f.shown("reviewThanks"));
    EXPECT_EQ(f.text("reviewThanks"), QStringLiteral("Thank you for your review."));
}

} // namespace
