// The share menu on the offscreen platform: its entries for a file, what a
// choice and a dismissal do, and which menu stays current.
#include "delivery/SharePicker.h"

#include "app/Workspace.h"
#include "platform/FileManager.h"

#include "support/EventLoop.h"
#include "support/PrivateBus.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <optional>

using delivery::SharePicker;
using testsupport::readAll;
using testsupport::writeAll;

namespace {

// Sets an environment variable for the life of the object.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const QByteArray& value)
        : name_(name)
        , old_(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt) {
        qputenv(name, value);
    }
    ~EnvironmentOverride() {
        if (old_) {
            qputenv(name_, *old_);
        } else {
            qunsetenv(name_);
        }
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    const char* name_;
    std::optional<QByteArray> old_;
};

QStringList texts(const QMenu* menu) {
    QStringList list;
    for (const QAction* action : menu->actions()) {
        list.append(action->text());
    }
    return list;
}

// Chooses an entry as a click does: the menu hides, then the entry runs.
void choose(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text) {
            menu->hide();
            action->trigger();
            return;
        }
    }
    ADD_FAILURE() << "no entry " << text.toStdString();
}

class SharePickerTest : public testing::Test {
protected:
    SharePickerTest() {
        // An image viewer installed as the default for PNG; no e-mail program
        // unless a test puts one on the path.
        for (const char* folder : {"data/applications", "config", "bin", "share"}) {
            QDir().mkpath(dir.file(folder));
        }
        // The system's MIME types, without its applications.
        QFile::link(QStringLiteral("/usr/share/mime"), dir.file("share/mime"));
        writeAll(dir.file("data/applications/viewer.desktop"),
                 "[Desktop Entry]\nType=Application\nName=Picture Viewer\nExec=viewer %f\n");
        writeAll(dir.file("config/mimeapps.list"),
                 "[Default Applications]\nimage/png=viewer.desktop;\n");
        writeAll(file, "\x89PNG\r\n\x1a\n");

        window.setGeometry(100, 100, 300, 200);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(button);
        window.show();
        other.setGeometry(500, 100, 100, 100);
        other.show();
        other.activateWindow();
        testsupport::pump(20);
    }
    ~SharePickerTest() override {
        if (QMenu* menu = SharePicker::current()) {
            menu->hide();
        }
        testsupport::pump(20);
    }

    void installEmailProgram() {
        const QString program = dir.file("bin/xdg-email");
        writeAll(program, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\n")
                              .arg(dir.file("email-args"))
                              .toUtf8());
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    testsupport::TempDir dir;
    EnvironmentOverride data{"XDG_DATA_HOME", dir.file("data").toUtf8()};
    EnvironmentOverride dataDirs{"XDG_DATA_DIRS", dir.file("share").toUtf8()};
    EnvironmentOverride config{"XDG_CONFIG_HOME", dir.file("config").toUtf8()};
    EnvironmentOverride configDirs{"XDG_CONFIG_DIRS", dir.file("none").toUtf8()};
    const QByteArray systemPath = qgetenv("PATH");
    EnvironmentOverride path{"PATH", dir.file("bin").toUtf8()};
    const QString file = dir.file("Vexlin Capture #1.png");
    std::vector<QUrl> opened;
    app::Workspace::ScopedServices workspace{{[this](const QUrl& url) {
                                                  opened.push_back(url);
                                                  return true;
                                              },
                                              {}}};
    QWidget window;
    QPushButton* button = new QPushButton(QStringLiteral("Share"));
    QWidget other;
};

TEST_F(SharePickerTest, EntriesFollowWhatTheDesktopHas) {
    EXPECT_EQ(QStringList({"Open With Picture Viewer", "Show in File Manager"}), [&] {
        QStringList list;
        for (const SharePicker::Entry& entry : SharePicker::entries(file, &window)) {
            list.append(entry.text);
        }
        return list;
    }());

    installEmailProgram();
    writeAll(dir.file("config/mimeapps.list"), "[Default Applications]\nimage/png=gone.desktop\n");
    SharePicker::show(file, button);
    QMenu* menu = SharePicker::current();
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(QStringList({"Open With Default Application", "Email…", "Show in File Manager"}),
              texts(menu));
    EXPECT_TRUE(menu->isVisible());
    // Below the button, from its left edge.
    EXPECT_EQ(button->mapToGlobal(QPoint(0, button->height())), menu->pos());
}

TEST_F(SharePickerTest, AChoiceDoesItsWorkAndRaisesTheAnchorsWindow) {
    installEmailProgram();
    struct Case {
        const char* entry;
        std::function<bool()> done;
    };
    const Case cases[] = {
        {"Open With Picture Viewer",
         [&] { return opened == std::vector<QUrl>{QUrl::fromLocalFile(file)}; }},
        {"Email…",
         [&] {
             QFile args(dir.file("email-args"));
             return args.open(QIODevice::ReadOnly) &&
                    args.readAll() == "--attach\n" + file.toUtf8() + "\n";
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        other.activateWindow();
        testsupport::pump(20);
        ASSERT_EQ(&other, QApplication::activeWindow());
        SharePicker::show(file, button);
        choose(SharePicker::current(), c.entry);
        EXPECT_TRUE(testsupport::waitFor(5000, c.done));
        EXPECT_TRUE(testsupport::waitFor(1000, [] { return SharePicker::current() == nullptr; }));
        EXPECT_TRUE(
            testsupport::waitFor(1000, [&] { return QApplication::activeWindow() == &window; }));
    }
}

TEST_F(SharePickerTest, ADismissedMenuDoesNothing) {
    SharePicker::show(file, button);
    const QPointer<QMenu> menu = SharePicker::current();
    menu->hide();
    testsupport::pump(50);
    EXPECT_EQ(nullptr, SharePicker::current());
    EXPECT_TRUE(menu.isNull());
    EXPECT_TRUE(opened.empty());
    // The anchor's window is not brought forward.
    EXPECT_NE(&window, QApplication::activeWindow());
}

TEST_F(SharePickerTest, ALateReportFromAnOlderMenuKeepsTheNewerOne) {
    SharePicker::show(file, button);
    const QPointer<QMenu> older = SharePicker::current();
    SharePicker::show(file, button);
    const QPointer<QMenu> newer = SharePicker::current();
    ASSERT_NE(older, newer);
    EXPECT_FALSE(older->isVisible());
    testsupport::pump(50); // the older one reports now
    EXPECT_TRUE(older.isNull());
    EXPECT_EQ(newer.data(), SharePicker::current());
    ASSERT_FALSE(newer.isNull());
    EXPECT_TRUE(newer->isVisible());
}

TEST_F(SharePickerTest, WithoutAnAnchorNothingOpens) {
    delivery::ShareAnchor anchor(new QPushButton);
    delete anchor.data();
    SharePicker::show(file, anchor);
    EXPECT_EQ(nullptr, SharePicker::current());
}

TEST_F(SharePickerTest, ShowInFileManagerAsksFileManager1OnTheBus) {
    std::optional<testsupport::PrivateBus> bus;
    {
        EnvironmentOverride withDaemon{"PATH", systemPath};
        bus.emplace();
    }
    ASSERT_TRUE(bus->running());
    testsupport::FakeFileManager fileManager;
    ASSERT_TRUE(fileManager.serveOn(bus->connect(QStringLiteral("file-manager"))));
    const QDBusConnection appSide = bus->connect(QStringLiteral("app"));
    app::Workspace::ScopedServices onBus{
        {[this](const QUrl& url) {
             opened.push_back(url);
             return true;
         },
         [appSide](const QString& shown, std::function<void(bool)> done) {
             platform::showInFileManager(appSide, {shown}, std::move(done));
         }}};

    SharePicker::show(file, button);
    choose(SharePicker::current(), QStringLiteral("Show in File Manager"));
    ASSERT_TRUE(testsupport::waitFor(10000, [&] { return fileManager.calls > 0; }));
    EXPECT_EQ(QStringList{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)},
              fileManager.uris);
    testsupport::pump(50);
    EXPECT_EQ(1, fileManager.calls);
    EXPECT_TRUE(opened.empty()); // the folder was not opened instead
}

} // namespace
