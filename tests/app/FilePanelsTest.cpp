// Qt's own file dialogs, used where the desktop offers none of its own, show
// a capture's name whole: in the list and in the name field.
#include "app/CaptureFileName.h"
#include "app/FileDialogPanels.h"

#include "support/TempDir.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

QFileDialog* openDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible()) {
            return dialog;
        }
    }
    return nullptr;
}

// What the open dialog shows of the name: room in its list's name column and
// in its name field, minus what the name needs; negative when it is cut.
struct Room {
    int list = -1;
    int field = -1;
};

Room roomFor(QFileDialog* dialog, const QString& name) {
    Room room;
    const QFontMetrics metrics(dialog->font());
    const int icon = dialog->style()->pixelMetric(QStyle::PM_SmallIconSize);
    if (auto* list = dialog->findChild<QTreeView*>(QStringLiteral("treeView"))) {
        room.list = list->header()->sectionSize(0) - (metrics.horizontalAdvance(name) + icon);
    }
    if (auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        room.field = field->width() - metrics.horizontalAdvance(name);
    }
    return room;
}

TEST(FilePanels, QtsOwnDialogsShowACaptureNameWhole) {
    testsupport::TempDir dir;
    const QString name =
        app::captureFileName(QDateTime(QDate(2026, 12, 11), QTime(7, 13, 1))) + ".png";
    QFile file(dir.file(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    app::FileDialogPanels panels;
    std::vector<std::pair<const char*, Room>> rooms;
    const auto measureThenCancel = [&](const char* road) {
        QTimer::singleShot(0, [&, road] {
            QFileDialog* dialog = openDialog();
            ASSERT_NE(dialog, nullptr) << road;
            QApplication::processEvents();
            rooms.emplace_back(road, roomFor(dialog, name));
            dialog->reject();
        });
    };
    measureThenCancel("save");
    app::FilePanels::SaveRequest request;
    request.fileName = name;
    request.directory = dir.path();
    panels.runSavePanel(request, nullptr, [](std::optional<QString>) {});
    measureThenCancel("open");
    panels.chooseImageToAnnotate();
    measureThenCancel("folder");
    panels.chooseFolder(dir.path());

    // Qt's dialog keeps its last state in a file of its own.
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  QStringLiteral("/QtProject.conf"));
    ASSERT_EQ(rooms.size(), 3u);
    for (const auto& [road, room] : rooms) {
        EXPECT_GE(room.list, 0) << road;
    }
    // Only the save panel shows the name in its field.
    EXPECT_GE(rooms[0].second.field, 0);
}

} // namespace
