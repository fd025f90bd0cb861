#pragma once

// A Quick Access manager on a clock the test moves, with its settings, save
// folder, panels and share menu played by the test.
#include "app/Capture.h"
#include "app/FilePanels.h"
#include "app/Preferences.h"
#include "app/Recording.h"
#include "app/SaveLocation.h"
#include "delivery/QuickAccessCard.h"
#include "delivery/QuickAccessManager.h"

#include "support/ManualScheduler.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace quickaccesstest {

// Answers each panel from a script and records the alerts. A held save panel
// waits until the test answers it.
class ScriptedPanels : public app::FilePanels {
public:
    std::optional<QString> folderAnswer;
    std::optional<QString> saveAnswer;
    bool holdSavePanel = false;
    SaveDone heldPanel;
    int saveRequests = 0;
    int folderRequests = 0;
    std::vector<app::FileError> alerts;

    void runSavePanel(const SaveRequest&, QWidget*, SaveDone done) override {
        ++saveRequests;
        if (holdSavePanel) {
            heldPanel = std::move(done);
            return;
        }
        done(saveAnswer);
    }
    std::optional<QString> chooseFolder(const std::optional<QString>&) override {
        ++folderRequests;
        return folderAnswer;
    }
    std::optional<QString> chooseImageToAnnotate() override { return std::nullopt; }
    void showError(QWidget*, const app::FileError& error) override { alerts.push_back(error); }

    void answerHeldPanel(std::optional<QString> path) {
        SaveDone done = std::move(heldPanel);
        heldPanel = {};
        done(std::move(path));
    }
};

inline QImage filled(int width, int height, QColor colour = QColor(200, 40, 40)) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

inline app::Capture capture(const QImage& image = filled(600, 400), double scale = 1) {
    app::Capture capture;
    capture.id = QUuid::createUuid();
    capture.image = image;
    capture.scale = scale;
    capture.date = QDateTime(QDate(2026, 3, 4), QTime(9, 15, 2));
    return capture;
}

class QuickAccessTest : public testing::Test {
protected:
    using seconds = std::chrono::duration<double>;

    QuickAccessTest() {
        QDir().mkpath(dir.file("tmp"));
        QDir().mkpath(saveFolder());
        preferences.setSaveFolderBookmark(saveFolder().toUtf8());
        preferences.setQuickAccessAutoClose(true);
        preferences.setQuickAccessCloseAfter(5);
    }

    delivery::QuickAccessManager::Services services() {
        delivery::QuickAccessManager::Services s;
        s.scheduler = &clock;
        s.screen = [] { return QGuiApplication::primaryScreen(); };
        s.preferences = &preferences;
        s.share = [this](const QString& file, QWidget* anchor) {
            sharedFiles.push_back(file);
            shareAnchors.push_back(anchor);
        };
        s.surfaceKind = [this] { return surfaceKind; };
        s.animate = false;
        return s;
    }

    QString saveFolder() const { return dir.file("Captures"); }

    delivery::QuickAccessCard* show(const app::QuickAccessItem& item) {
        manager.show(item);
        return manager.cards().front();
    }
    bool stacked(const QPointer<delivery::QuickAccessCard>& card) const {
        return card && manager.cards().contains(card.data());
    }
    // Moves the clock to `at` seconds after the test began.
    void at(double at) {
        const auto target = std::chrono::round<std::chrono::milliseconds>(seconds(at));
        clock.advance(target - clock.now());
    }

    app::Recording recording(app::Recording::Format format, double duration = 65.4) {
        const QString file =
            dir.file(format == app::Recording::Format::gif ? "clip.gif" : "clip.mp4");
        testsupport::writeAll(file, "movie bytes");
        app::Recording r;
        r.url = QUrl::fromLocalFile(file);
        r.format = format;
        r.duration = duration;
        r.scale = 1;
        r.thumbnail = filled(320, 180, QColor(20, 90, 200));
        r.date = QDateTime(QDate(2026, 3, 4), QTime(9, 15, 2));
        return r;
    }

    // Recordings share through links in the caches folder.
    struct CacheHome {
        explicit CacheHome(const QString& path) : old(qgetenv("XDG_CACHE_HOME")) {
            qputenv("XDG_CACHE_HOME", QFile::encodeName(path));
        }
        ~CacheHome() { qputenv("XDG_CACHE_HOME", old); }
        QByteArray old;
    };

    testsupport::TempDir dir;
    const testsupport::TempPathOverride temporary{dir.file("tmp")};
    const CacheHome cache{dir.file("cache")};
    app::Preferences preferences{dir.file("config/VexlinCapture.conf")};
    app::SaveLocation::ScopedServices location{{&preferences, {}}};
    ScriptedPanels panels;
    app::ScopedFilePanels usePanels{panels};
    testsupport::ManualScheduler clock;
    desktop::PanelSurface::Kind surfaceKind = desktop::PanelSurface::Kind::masked;
    std::vector<QString> sharedFiles;
    std::vector<QWidget*> shareAnchors;
    delivery::QuickAccessManager manager{services()};
};

} // namespace quickaccesstest
