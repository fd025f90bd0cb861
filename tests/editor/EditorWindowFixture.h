#pragma once

#include "annotation/Annotation.h"
#include "annotation/EditStore.h"
#include "annotation/EditorDocument.h"
#include "app/FilePanels.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"
#include "app/ScopedReplacement.h"
#include "editor/EditorServices.h"
#include "editor/EditorWindowController.h"
#include "support/Captures.h"
#include "support/FakeRecentLibrary.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QMainWindow>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace editortest {

using testsupport::captureOf;

using namespace editor;
using annotation::EditorDocument;

// What the editor asked of the rest of the program.
struct Calls {
    int beeps = 0;
    int opened = 0;
    int closed = 0;
    int refreshed = 0;
    QStringList openedWithDefaultApp;
    // Whether the desktop has no program for what is opened with one.
    bool noDefaultApp = false;
    // Videos sent to the video editor, with the scale.
    std::vector<std::pair<QString, double>> openedVideos;
    // Images put on the clipboard.
    int copies = 0;
    // Alerts shown, and how often a folder was asked for.
    int alerts = 0;
    int folderQuestions = 0;
    std::optional<QString> newest;
    // Window ids front to back; unset leaves the order empty.
    std::vector<QMainWindow*> frontToBack;
};

// Panels that answer as the test says and count what they were asked.
class AnsweringPanels : public app::FilePanels {
public:
    explicit AnsweringPanels(Calls& calls) : calls_(calls) {}
    std::optional<QString> folder;
    std::optional<QString> image;

    void runSavePanel(const SaveRequest&, QWidget*, SaveDone done) override { done(std::nullopt); }
    std::optional<QString> chooseFolder(const std::optional<QString>&) override {
        ++calls_.folderQuestions;
        return folder;
    }
    std::optional<QString> chooseImageToAnnotate() override { return image; }
    void showError(QWidget*, const app::FileError&) override { ++calls_.alerts; }

private:
    Calls& calls_;
};

inline QImage solid(int width, int height, QColor colour = Qt::white) {
    return testsupport::solidImage(width, height, colour);
}

inline QByteArray encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return bytes;
}

// A PNG whose pHYs says dpi dots per inch.
inline QByteArray pngAt(double dpi, QImage image = solid(40, 30, Qt::blue)) {
    const int dpm = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    return encode(image, "PNG");
}

inline annotation::Annotation rectangleMark(double x = 5, double y = 5) {
    return annotation::Annotation{
        QUuid::createUuid(),
        annotation::Shape::area(annotation::ShapeKind::rectangle, annotation::Rect(x, y, 10, 10)),
        app::RGBA::fromBytes(255, 59, 71),
        5,
        false,
        annotation::TextStyle::plain};
}

// Editor windows with every service of the program faked: the store, the
// settings and the save folder (none chosen yet) in a temporary folder;
// beeps, the listing, the clipboard and the panels recorded. Every window is
// closed afterwards.
class EditorWindows : public testing::Test {
protected:
    EditorWindows() {
        ExportServices exports;
        exports.copyImage = [this](const QImage&, double) { ++calls.copies; };
        exports.editStore = &store;
        exports.now = [] { return QDateTime::currentDateTime(); };
        exports_.emplace(ExportServices::shared(), std::move(exports));

        EditorServices services;
        services.store = &store;
        services.recentLibrary = &recent;
        services.editorOpened = [this] { ++calls.opened; };
        services.editorClosed = [this] { ++calls.closed; };
        services.refreshRecent = [this] { ++calls.refreshed; };
        services.newestCapture = [this](std::function<void(std::optional<QString>)> done) {
            done(calls.newest);
        };
        services.beep = [this] { ++calls.beeps; };
        services.openWithDefaultApp = [this](const QString& path) {
            calls.openedWithDefaultApp << path;
            return !calls.noDefaultApp;
        };
        services.openVideo = [this](const app::RecentFile& video, double scale) {
            calls.openedVideos.emplace_back(video.path, scale);
        };
        services.windowOrder = [this] {
            std::vector<WId> ids;
            for (QMainWindow* window : calls.frontToBack) {
                ids.push_back(window->winId());
            }
            return ids;
        };
        scope_ = std::make_unique<ScopedEditorServices>(std::move(services));
    }

    ~EditorWindows() override {
        closeAll();
        scope_.reset();
    }

    // Chooses the save folder, as the settings would have it.
    QString chooseSaveFolder() {
        const QString folder = dir.file(QStringLiteral("Captures"));
        QDir().mkpath(folder);
        preferences.setSaveFolderBookmark(folder.toUtf8());
        return folder;
    }
    QStringList savedFiles() const {
        return QDir(dir.file(QStringLiteral("Captures")))
            .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    static void flush() {
        for (int i = 0; i < 4; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    static void closeAll() {
        const std::vector<EditorWindowController*> open = EditorWindowController::openEditors();
        for (EditorWindowController* controller : open) {
            controller->closeConfirmed();
        }
        flush();
    }

    static const std::vector<EditorWindowController*>& editors() {
        return EditorWindowController::openEditors();
    }

    QString writeFile(const QString& name, const QByteArray& bytes) const {
        const QString path = dir.file(name);
        testsupport::writeAll(path, bytes);
        return path;
    }

    testsupport::TempDir dir;
    const testsupport::TempPathOverride temporary{dir.path()};
    app::Preferences preferences{dir.file(QStringLiteral("settings.conf"))};
    app::SaveLocation::ScopedServices location{{&preferences, {}}};
    annotation::EditStore store{dir.file(QStringLiteral("Edits"))};
    Calls calls;
    // What the recent strip lists.
    testsupport::FakeRecentLibrary recent;
    AnsweringPanels panels{calls};
    app::ScopedFilePanels usePanels{panels};

private:
    std::optional<app::ScopedReplacement<ExportServices>> exports_;
    std::unique_ptr<ScopedEditorServices> scope_;
};

} // namespace editortest
