#pragma once

#include "annotation/Annotation.h"
#include "annotation/EditStore.h"
#include "annotation/EditorDocument.h"
#include "app/Preferences.h"
#include "editor/EditorServices.h"
#include "editor/EditorWindowController.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QMainWindow>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace editortest {

using namespace editor;
using annotation::EditorDocument;

// What the editor asked of the rest of the program.
struct Calls {
    int beeps = 0;
    int opened = 0;
    int closed = 0;
    int refreshed = 0;
    QStringList openedWithDefaultApp;
    int copies = 0;
    int saves = 0;
    int writes = 0;
    // What writeImage() reports.
    bool writeSucceeds = false;
    std::optional<QString> newest;
    // Window ids front to back; unset leaves the order empty.
    std::vector<QMainWindow*> frontToBack;
};

class FakeExport : public EditorExport {
public:
    explicit FakeExport(Calls& calls) : calls_(calls) {}
    void copyImage() override { ++calls_.copies; }
    void saveImage() override { ++calls_.saves; }
    void saveImageAs() override {}
    void pinImage() override {}
    void share(QWidget*) override {}
    QMimeData* dragItem() override { return nullptr; }
    bool writeImage() override {
        ++calls_.writes;
        return calls_.writeSucceeds;
    }

private:
    Calls& calls_;
};

inline QImage solid(int width, int height, QColor colour = Qt::white) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

inline app::Capture captureOf(QImage image, double scale = 1) {
    app::Capture capture;
    capture.id = QUuid::createUuid();
    capture.image = std::move(image);
    capture.scale = scale;
    capture.date = QDateTime::currentDateTime();
    return capture;
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
// settings and the save folder in a temporary folder; beeps, the listing
// and the export recorded. Every window is closed afterwards.
class EditorWindows : public testing::Test {
protected:
    EditorWindows() {
        EditorServices services;
        services.store = &store;
        services.preferences = &preferences;
        services.editorOpened = [this] { ++calls.opened; };
        services.editorClosed = [this] { ++calls.closed; };
        services.refreshRecent = [this] { ++calls.refreshed; };
        services.newestCapture = [this](std::function<void(std::optional<QString>)> done) {
            done(calls.newest);
        };
        services.beep = [this] { ++calls.beeps; };
        services.openWithDefaultApp = [this](const QString& path) {
            calls.openedWithDefaultApp << path;
            return true;
        };
        services.windowOrder = [this] {
            std::vector<WId> ids;
            for (QMainWindow* window : calls.frontToBack) {
                ids.push_back(window->winId());
            }
            return ids;
        };
        services.makeExport = [this](EditorWindowController&) {
            return std::make_unique<FakeExport>(calls);
        };
        scope_ = std::make_unique<ScopedEditorServices>(std::move(services));
    }

    ~EditorWindows() override {
        closeAll();
        scope_.reset();
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
    app::Preferences preferences{dir.file(QStringLiteral("settings.conf"))};
    annotation::EditStore store{dir.file(QStringLiteral("Edits"))};
    Calls calls;

private:
    std::unique_ptr<ScopedEditorServices> scope_;
};

} // namespace editortest
