#include "settings/FormKit.h"
#include "settings/SettingsPanes.h"

#include "SettingsFixture.h"
#include "annotation/EditStore.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMediaDevices>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <gtest/gtest.h>

#include <memory>

namespace {

using settingstest::CountingPanels;
using testsupport::TempDir;

TEST(DisplayPath, AbbreviatesOnlyTheHomeFolderAndWhatLiesBelowIt) {
    struct Case {
        const char* folder;
        const char* home;
        const char* shown;
    };
    const Case cases[] = {
        {"/home/al", "/home/al", "~"},
        {"/home/al/Desktop", "/home/al", "~/Desktop"},
        {"/home/al/Desktop", "/home/al/", "~/Desktop"},
        {"/home/alex/x", "/home/al", "/home/alex/x"},
        {"/srv/shots", "/home/al", "/srv/shots"},
        {"/srv/shots", "/", "/srv/shots"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(settings::displayPath(QString::fromUtf8(c.folder), QString::fromUtf8(c.home)),
                  QString::fromUtf8(c.shown))
            << c.folder << " with home " << c.home;
    }
}

class GeneralPaneTest : public ::testing::Test {
protected:
    GeneralPaneTest()
        : preferences_(store_.file(QStringLiteral("settings.conf")))
        , scopedPanels_(panels_)
        , services_(
              app::SaveLocation::Services{&preferences_, [](const QString&) { return true; }}) {}

    std::unique_ptr<QWidget> pane() {
        return std::unique_ptr<QWidget>(settings::makeGeneralPane(preferences_));
    }

    QString shownPath(QWidget* pane) {
        return pane->findChild<settings::ElidedLabel*>(QStringLiteral("folderPath"))->fullText();
    }

    TempDir store_;
    app::Preferences preferences_;
    CountingPanels panels_;
    app::ScopedFilePanels scopedPanels_;
    app::SaveLocation::ScopedServices services_;
};

TEST_F(GeneralPaneTest, SavingOnWithoutAFolderAsksAndACancelSwitchesItOffAgain) {
    auto shown = pane();
    auto* save = shown->findChild<QCheckBox*>(QStringLiteral("saveToDisk"));
    ASSERT_NE(save, nullptr);

    save->click();
    EXPECT_EQ(panels_.chooserShown, 1);
    EXPECT_FALSE(preferences_.saveToDisk());
    EXPECT_FALSE(save->isChecked());
    EXPECT_EQ(shownPath(shown.get()), QStringLiteral("Not chosen"));

    // Chosen: saving stays on and the folder shows; with a folder known, the
    // next switch-on asks nothing.
    TempDir folder;
    panels_.chosenFolder = folder.path();
    save->click();
    EXPECT_TRUE(preferences_.saveToDisk());
    EXPECT_EQ(shownPath(shown.get()), settings::displayPath(folder.path(), settings::homeFolder()));
    EXPECT_TRUE(
        shown->findChild<QPushButton*>(QStringLiteral("showInFiles"))->isVisibleTo(shown.get()));
    save->click();
    save->click();
    EXPECT_EQ(panels_.chooserShown, 2);
    EXPECT_TRUE(preferences_.saveToDisk());
}

TEST_F(GeneralPaneTest, AVanishedSaveFolderShowsNotChosen) {
    {
        TempDir gone;
        app::SaveLocation::remember(gone.path());
    }
    auto shown = pane();
    EXPECT_EQ(shownPath(shown.get()), QStringLiteral("Not chosen"));
    EXPECT_FALSE(
        shown->findChild<QPushButton*>(QStringLiteral("showInFiles"))->isVisibleTo(shown.get()));
}

TEST_F(GeneralPaneTest, TurningEditableOffDeletesTheKeptOriginalsOnlyAfterTurnOff) {
    const QString edits = annotation::EditStore::shared().folder();
    ASSERT_TRUE(QDir().mkpath(edits + QStringLiteral("/key")));
    testsupport::writeAll(edits + QStringLiteral("/key/original"), "png");
    auto shown = pane();
    shown->show();
    auto* editable = shown->findChild<QCheckBox*>(QStringLiteral("keepAnnotationsEditable"));
    ASSERT_TRUE(editable->isChecked());

    for (const char* answer : {"cancel", "turnOff"}) {
        editable->click();
        auto* alert = shown->findChild<QMessageBox*>(QStringLiteral("stopEditableAlert"));
        ASSERT_NE(alert, nullptr) << answer;
        EXPECT_TRUE(editable->isChecked()) << "the box stays on while the alert asks";
        EXPECT_TRUE(preferences_.keepAnnotationsEditable());
        alert->findChild<QAbstractButton*>(QString::fromUtf8(answer))->click();
        testsupport::pump(50);
    }
    EXPECT_FALSE(preferences_.keepAnnotationsEditable());
    EXPECT_FALSE(editable->isChecked());
    EXPECT_FALSE(QFile::exists(edits));
    QDir().rmdir(QFileInfo(edits).path());

    // Back on needs no question.
    editable->click();
    EXPECT_TRUE(preferences_.keepAnnotationsEditable());
    EXPECT_EQ(shown->findChild<QMessageBox*>(QStringLiteral("stopEditableAlert")), nullptr);
}

TEST_F(GeneralPaneTest, CancelKeepsTheOriginals) {
    const QString edits = annotation::EditStore::shared().folder();
    ASSERT_TRUE(QDir().mkpath(edits + QStringLiteral("/key")));
    auto shown = pane();
    shown->show();
    shown->findChild<QCheckBox*>(QStringLiteral("keepAnnotationsEditable"))->click();
    shown->findChild<QMessageBox*>(QStringLiteral("stopEditableAlert"))
        ->findChild<QAbstractButton*>(QStringLiteral("cancel"))
        ->click();
    EXPECT_TRUE(preferences_.keepAnnotationsEditable());
    EXPECT_TRUE(QFile::exists(edits + QStringLiteral("/key")));
    QDir(edits).removeRecursively();
    QDir().rmdir(QFileInfo(edits).path());
}

TEST(RecordingPane, PickersFollowTheStoreAndAValueOutsideThemSelectsNothing) {
    TempDir store;
    testsupport::writeAll(store.file(QStringLiteral("settings.conf")),
                          "[General]\ngifFPS=5\ngifMaxWidth=800\nrecordingFPS=30\n");
    app::Preferences preferences(store.file(QStringLiteral("settings.conf")));
    std::unique_ptr<QWidget> pane(settings::makeRecordingPane(preferences));
    auto* fps = pane->findChild<settings::ChoicePicker*>(QStringLiteral("gifFPS"));
    auto* width = pane->findChild<settings::ChoicePicker*>(QStringLiteral("gifMaxWidth"));
    EXPECT_EQ(fps->currentIndex(), -1);
    EXPECT_EQ(width->currentIndex(), 1);

    fps->choose(2);
    EXPECT_EQ(preferences.gifFPS(), 20);
    preferences.setGifMaxWidth(200);
    EXPECT_EQ(width->currentIndex(), -1);

    // The frame-rate help shows only for the display maximum, with the
    // fastest screen's rate.
    auto* help = pane->findChild<QLabel*>(QStringLiteral("frameRateHelp"));
    EXPECT_FALSE(help->isVisibleTo(pane.get()));
    preferences.setRecordingFPS(0);
    EXPECT_TRUE(help->isVisibleTo(pane.get()));
    EXPECT_TRUE(help->text().contains(
        QStringLiteral("up to %1 fps").arg(settings::maximumFramesPerSecond())));
    // A display that changes its rate has the text read again.
    help->setText(QString());
    Q_EMIT QGuiApplication::primaryScreen()->refreshRateChanged(120);
    EXPECT_TRUE(help->text().contains(
        QStringLiteral("up to %1 fps").arg(settings::maximumFramesPerSecond())));
}

TEST(RecordingOverlaysPane, TheKeystrokeNoteWarnsThatTypedPasswordsShow) {
    TempDir store;
    // The camera list starts the media back end, which leaves a registry and
    // a sound-server folder behind; they go with this test's own folder.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(store.path()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(store.path()));
    app::Preferences preferences(store.file(QStringLiteral("settings.conf")));
    settingstest::FakeProbe probe;
    std::unique_ptr<QWidget> pane(settings::makeRecordingOverlaysPane(preferences, probe));
    const QString note = pane->findChild<QLabel*>(QStringLiteral("keystrokeNote"))->text();
    EXPECT_TRUE(note.contains(QStringLiteral("passwords show"))) << note.toStdString();
    // Nothing opens settings on this desktop, so no such button is offered.
    for (const QPushButton* button : pane->findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->text().startsWith(QStringLiteral("Open ")))
            << button->text().toStdString();
    }
}

TEST(RecordingOverlaysPane, TheCameraStatusFollowsCamerasPluggedInAndOut) {
    TempDir store;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(store.path()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(store.path()));
    app::Preferences preferences(store.file(QStringLiteral("settings.conf")));
    settingstest::FakeProbe probe;
    std::unique_ptr<QWidget> pane(settings::makeRecordingOverlaysPane(preferences, probe));
    auto* status = pane->findChild<QWidget*>(QStringLiteral("cameraStatus"));
    ASSERT_TRUE(status);
    const auto text = [status] {
        return status->findChild<QLabel*>(QStringLiteral("status"))->text();
    };
    EXPECT_TRUE(text().contains(QStringLiteral("No camera found"))) << text().toStdString();

    // The media back end says the cameras changed, as it does when one is
    // plugged in or out: the line reads the state again, like the picker.
    auto* devices = pane->findChild<QMediaDevices*>();
    ASSERT_TRUE(devices);
    probe.granted.insert(platform::Permission::camera);
    Q_EMIT devices->videoInputsChanged();
    EXPECT_EQ(text(), QStringLiteral("Camera access is allowed."));

    probe.granted.remove(platform::Permission::camera);
    probe.reasons.insert(platform::Permission::camera, QStringLiteral("No camera found"));
    Q_EMIT devices->videoInputsChanged();
    EXPECT_EQ(text(), QStringLiteral("The camera cannot be shown. No camera found."));
}

} // namespace
