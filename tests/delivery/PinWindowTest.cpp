// Pinned screenshots as windows on the offscreen platform: where they open,
// what their menu, keys, pointer and button do, and their save.
#include "delivery/PinWindow.h"
#include "delivery/PinManager.h"
#include "delivery/PinView.h"

#include "app/CaptureFileName.h"
#include "app/FilePanels.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"

#include "support/Captures.h"
#include "support/EventLoop.h"
#include "support/ScratchMount.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QScreen>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <sys/stat.h>

using delivery::PinManager;
using delivery::PinWindow;
using testsupport::captureOf;
using testsupport::solidImage;

namespace {

const QDateTime captureDate(QDate(2026, 3, 4), QTime(5, 6, 7));

class RecordingPanels : public app::FilePanels {
public:
    std::optional<QString> folderAnswer;
    std::vector<app::FileError> alerts;

    void runSavePanel(const SaveRequest&, QWidget*, SaveDone done) override { done({}); }
    std::optional<QString> chooseFolder(const std::optional<QString>&) override {
        return folderAnswer;
    }
    std::optional<QString> chooseImageToAnnotate() override { return {}; }
    void showError(QWidget*, const app::FileError& error) override { alerts.push_back(error); }
};

// The menu's entries as text, a separator as "-".
QStringList texts(const QMenu& menu) {
    QStringList list;
    for (const QAction* action : menu.actions()) {
        list.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return list;
}

QAction* entry(const QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    ADD_FAILURE() << "no entry " << text.toStdString();
    return nullptr;
}

QMenu* opacityMenu(const QMenu& menu) {
    QAction* item = entry(menu, QStringLiteral("Opacity"));
    return item ? item->menu() : nullptr;
}

class PinTest : public testing::Test {
protected:
    PinTest() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        manager.onEdit = [this](const app::Capture& capture) { edited.push_back(capture); };
    }
    ~PinTest() override { QLocale::setDefault(QLocale::c()); }

    PinWindow& pin(const QImage& image, double scale = 1) {
        app::Capture capture = captureOf(image, scale);
        capture.date = captureDate;
        manager.pin(capture);
        EXPECT_FALSE(manager.pins().empty());
        return *manager.pins().back();
    }
    bool gone(const PinWindow* window) const {
        return std::find(manager.pins().begin(), manager.pins().end(), window) ==
               manager.pins().end();
    }
    QRect available() const { return QGuiApplication::primaryScreen()->availableGeometry(); }

    testsupport::TempDir dir;
    app::Preferences preferences{dir.file("config/VexlinCapture.conf")};
    app::SaveLocation::ScopedServices location{{&preferences, {}}};
    RecordingPanels panels;
    app::ScopedFilePanels usePanels{panels};
    PinManager manager;
    std::vector<app::Capture> edited;
};

TEST_F(PinTest, PinsOpenCentredAndCascadeAsFloatingWindows) {
    const QPoint centre = available().center();
    for (int i = 0; i < 8; ++i) {
        pin(solidImage(200, 100));
    }
    ASSERT_EQ(8u, manager.pins().size());
    const QRect first = manager.pins()[0]->geometry();
    EXPECT_EQ(QSize(200, 100), first.size());
    EXPECT_LE((first.center() - centre).manhattanLength(), 2);
    // 24 points right and down per pin open; six open start over.
    const int offsets[] = {0, 24, 48, 72, 96, 120, 0, 24};
    std::set<std::uint32_t> ids;
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        PinWindow* window = manager.pins()[static_cast<std::size_t>(i)];
        EXPECT_EQ(first.topLeft() + QPoint(offsets[i], offsets[i]), window->pos());
        EXPECT_TRUE(window->isVisible());
        const Qt::WindowFlags flags = window->windowFlags();
        EXPECT_EQ(Qt::Tool, flags & Qt::WindowType_Mask);
        EXPECT_TRUE(flags & Qt::FramelessWindowHint);
        EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
        EXPECT_FALSE(flags & Qt::WindowDoesNotAcceptFocus);
        EXPECT_TRUE(window->testAttribute(Qt::WA_ShowWithoutActivating));
        EXPECT_NE(window, QApplication::activeWindow());
        ids.insert(static_cast<std::uint32_t>(window->winId()));
    }
    EXPECT_EQ(ids, manager.windowNumbers());
    EXPECT_EQ(8u, ids.size());

    manager.close(manager.pins()[3]);
    EXPECT_EQ(7u, manager.windowNumbers().size());
}

TEST_F(PinTest, ExtremeCapturesStillMakePins) {
    // A 12000 × 300 strip is held to 60 % of the width; a single pixel shows
    // at its own size.
    PinWindow& strip = pin(solidImage(12000, 300, Qt::red));
    EXPECT_EQ(qRound(available().width() * 0.6), strip.width());
    EXPECT_NEAR(strip.width() / 40.0, strip.height(), 1.0);
    PinWindow& dot = pin(solidImage(1, 1, Qt::blue));
    EXPECT_EQ(QSize(1, 1), dot.size());
    EXPECT_TRUE(dot.isVisible());
    EXPECT_FALSE(dot.view()->outline().isEmpty());
    dot.zoomBy(0.5);
    EXPECT_EQ(QSize(60, 60), dot.size());
    QTest::qWait(20); // painted once, at either size
    const std::size_t before = manager.pins().size();
    app::Capture empty = captureOf(QImage());
    manager.pin(empty);
    EXPECT_EQ(before, manager.pins().size());
}

TEST_F(PinTest, MenuEntriesAndOpacityCheckMark) {
    PinWindow& window = pin(solidImage(200, 100));
    std::unique_ptr<QMenu> menu(window.makeContextMenu());
    EXPECT_EQ(
        QStringList({"Copy", "Save", "Annotate", "-", "Opacity", "Actual Size", "-", "Close"}),
        texts(*menu));
    QMenu* opacity = opacityMenu(*menu);
    ASSERT_NE(nullptr, opacity);
    EXPECT_EQ(QStringList({"100%", "75%", "50%", "25%"}), texts(*opacity));
    EXPECT_TRUE(entry(*opacity, "100%")->isChecked());

    entry(*opacity, "75%")->trigger();
    EXPECT_DOUBLE_EQ(0.75, window.opacity());
    EXPECT_NEAR(0.75, window.windowOpacity(), 0.01);

    // The menu is made anew and reads the stored opacity.
    menu.reset(window.makeContextMenu());
    opacity = opacityMenu(*menu);
    for (const QAction* item : opacity->actions()) {
        SCOPED_TRACE(item->text().toStdString());
        EXPECT_EQ(item->text() == "75%", item->isChecked());
    }
}

TEST_F(PinTest, MenuActualSizeAfterZoomAndClose) {
    PinWindow& window = pin(solidImage(400, 200), 2); // 200 × 100 points
    const QPoint centre = window.geometry().center();
    window.zoomBy(2.0);
    EXPECT_EQ(QSize(400, 200), window.size());
    std::unique_ptr<QMenu> menu(window.makeContextMenu());
    entry(*menu, "Actual Size")->trigger();
    EXPECT_EQ(QSize(200, 100), window.size());
    EXPECT_LE((window.geometry().center() - centre).manhattanLength(), 1);

    entry(*menu, "Close")->trigger();
    EXPECT_TRUE(gone(&window));
    EXPECT_TRUE(edited.empty());
}

TEST_F(PinTest, WheelAndPinchZoomAboutTheCentre) {
    PinWindow& window = pin(solidImage(200, 100));
    const QPointF inside(50, 50);
    // One event of 30 notches doubles.
    QWheelEvent wheel(inside, window.mapToGlobal(inside), QPoint(), QPoint(0, 30 * 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window.view(), &wheel);
    EXPECT_EQ(QSize(400, 200), window.size());

    QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2,
                              inside, inside, window.mapToGlobal(inside), 0.1, {}, 0);
    QApplication::sendEvent(window.view(), &pinch);
    EXPECT_EQ(QSize(440, 220), window.size());
}

TEST_F(PinTest, DoubleClickAnnotatesOnce) {
    PinWindow& window = pin(solidImage(200, 100));
    const QUuid id = manager.pins().back()->capture().id;
    QTest::mouseDClick(window.view(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 50));
    ASSERT_EQ(1u, edited.size());
    EXPECT_EQ(id, edited[0].id);
    EXPECT_EQ(QSize(200, 100), edited[0].image.size());
    EXPECT_TRUE(manager.pins().empty());
    testsupport::pump(20); // the window goes once its event is over
}

TEST_F(PinTest, EscapeAndTheHoverButtonClose) {
    PinWindow& first = pin(solidImage(200, 100));
    QTest::keyClick(&first, Qt::Key_Escape);
    EXPECT_TRUE(gone(&first));

    PinWindow& second = pin(solidImage(200, 100));
    QAbstractButton* close = second.view()->closeButton();
    EXPECT_FALSE(close->isVisible());
    QEnterEvent enter(QPointF(50, 50), QPointF(50, 50), second.mapToGlobal(QPointF(50, 50)));
    QApplication::sendEvent(second.view(), &enter);
    EXPECT_TRUE(close->isVisible());
    EXPECT_EQ(QRect(6, 6, 24, 24), close->geometry());
    EXPECT_EQ(QStringLiteral("Close"), close->accessibleName());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(second.view(), &leave);
    EXPECT_FALSE(close->isVisible());

    QApplication::sendEvent(second.view(), &enter);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_TRUE(gone(&second));
    EXPECT_TRUE(edited.empty());
    testsupport::pump(20);
}

TEST_F(PinTest, CopyPutsTheImageOnTheClipboard) {
    PinWindow& window = pin(solidImage(30, 20, QColor(10, 200, 30)), 2);
    std::unique_ptr<QMenu> menu(window.makeContextMenu());
    entry(*menu, "Copy")->trigger();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(nullptr, data);
    QImage copied;
    ASSERT_TRUE(copied.loadFromData(data->data(QStringLiteral("image/png")), "PNG"));
    EXPECT_EQ(QSize(30, 20), copied.size());
    EXPECT_EQ(QColor(10, 200, 30), copied.pixelColor(5, 5));
    EXPECT_FALSE(data->hasUrls());
}

TEST_F(PinTest, SaveWritesIntoTheSaveFolder) {
    const QString folder = dir.file("Shots");
    preferences.setSaveFolderBookmark(folder.toUtf8());
    preferences.setImageFormat(app::ImageFormat::jpeg);
    PinWindow& window = pin(solidImage(30, 20));
    std::unique_ptr<QMenu> menu(window.makeContextMenu());
    entry(*menu, "Save")->trigger();
    entry(*menu, "Save")->trigger();
    const QString name = app::captureFileName(captureDate);
    EXPECT_EQ(QStringList({name + " (2).jpg", name + ".jpg"}),
              QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name));
    EXPECT_TRUE(panels.alerts.empty());
    EXPECT_FALSE(gone(&window));
}

TEST_F(PinTest, SaveFailuresAlertUnlessCancelledAndKeepThePin) {
    // No folder stored and the chooser cancelled: silence.
    PinWindow& window = pin(solidImage(30, 20));
    std::unique_ptr<QMenu> menu(window.makeContextMenu());
    entry(*menu, "Save")->trigger();
    EXPECT_TRUE(panels.alerts.empty());

    // A read-only folder: an alert, nothing written, the pin stays.
    std::optional<testsupport::ScratchMount> mount =
        testsupport::ScratchMount::make(dir.file("disk"), 256);
    QString folder;
    if (mount && mount->makeReadOnly()) {
        folder = mount->path();
    } else {
        folder = dir.file("locked");
        QDir().mkpath(folder);
        ::chmod(QFile::encodeName(folder).constData(), 0555);
        if (QFileInfo(folder).isWritable()) {
            GTEST_SKIP() << "no read-only folder to be had";
        }
    }
    preferences.setSaveFolderBookmark(folder.toUtf8());
    entry(*menu, "Save")->trigger();
    ASSERT_EQ(1u, panels.alerts.size());
    EXPECT_EQ(app::FileError::Code::writeFailed, panels.alerts[0].code());
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_FALSE(gone(&window));
    EXPECT_TRUE(window.isVisible());
}

} // namespace
