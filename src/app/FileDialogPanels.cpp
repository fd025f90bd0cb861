#include "app/FileDialogPanels.h"

#include "app/CaptureFileName.h"
#include "app/SaveLocation.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QImageReader>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QTreeView>

#include <memory>

namespace app {

namespace {

// The application comes to the front before an application-modal panel, so
// that the panel is not hidden behind the program the user works in.
void bringApplicationForward(QWidget* dialog) {
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

// Qt's own dialog (where the desktop offers none of its own) opens too
// narrow for the names captures get: it is widened so that such a name shows
// whole in its list and its name field, with the size, kind and date beside
// it, within the screen.
void fitCaptureNames(QFileDialog* dialog) {
    // The widest digits of a capture's name and of a date.
    const QDateTime wide(QDate(2026, 12, 28), QTime(20, 28, 8));
    const QString sample = captureFileName(wide) + QStringLiteral(".png");
    const QFontMetrics metrics(dialog->font());
    const int icon = dialog->style()->pixelMetric(QStyle::PM_SmallIconSize);
    const int padding = 4 * metrics.averageCharWidth();
    const int columns[] = {
        metrics.horizontalAdvance(sample) + icon + padding,
        metrics.horizontalAdvance(QStringLiteral("999.9 MB")) + padding,
        metrics.horizontalAdvance(QStringLiteral("jpeg File")) + padding,
        metrics.horizontalAdvance(QLocale().toString(wide, QLocale::ShortFormat)) + padding,
    };
    int listWidth = 0;
    auto* list = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
    for (int column = 0; column < 4; ++column) {
        if (list) {
            list->header()->resizeSection(column, columns[column]);
        }
        listWidth += columns[column];
    }
    // The sidebar, the scroll bar and the margins beside the list.
    QSize size(listWidth + 20 * metrics.averageCharWidth() + 80, 30 * metrics.height());
    if (const QScreen* screen = dialog->screen()) {
        size = size.boundedTo(screen->availableSize() * 9 / 10);
    }
    dialog->resize(size.expandedTo(dialog->sizeHint()));
}

QString pngFilter() {
    //: File type choice in the save panel.
    return QCoreApplication::translate("FileDialogPanels", "PNG image (*.png)");
}

QString jpegFilter() {
    //: File type choice in the save panel.
    return QCoreApplication::translate("FileDialogPanels", "JPEG image (*.jpg *.jpeg)");
}

QString movieFilter() {
    //: File type choice in the save panel of a recording.
    return QCoreApplication::translate("FileDialogPanels", "MPEG-4 movie (*.mp4)");
}

QString gifFilter() {
    //: File type choice in the save panel of a GIF recording.
    return QCoreApplication::translate("FileDialogPanels", "GIF image (*.gif)");
}

} // namespace

QString folderChooserStart(const std::optional<QString>& current, const QString& pictures,
                           const QString& home,
                           const std::function<bool(const QString&)>& isFolder) {
    if (current && !current->isEmpty() && isFolder(*current)) {
        return *current;
    }
    if (!pictures.isEmpty() && isFolder(pictures)) {
        return pictures;
    }
    return home;
}

FilePanels& FilePanels::current() {
    if (FilePanels* panels = replacement()) {
        return *panels;
    }
    static FileDialogPanels dialogs;
    return dialogs;
}

FilePanels*& FilePanels::replacement() {
    static FilePanels* panels = nullptr;
    return panels;
}

void FileDialogPanels::runSavePanel(const SaveRequest& request, QWidget* window, SaveDone done) {
    auto* dialog = new QFileDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    fitCaptureNames(dialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // A name typed without an extension gets the chosen type's.
    switch (request.type) {
    case SaveType::movie:
        dialog->setNameFilters({movieFilter()});
        dialog->setDefaultSuffix(QStringLiteral("mp4"));
        break;
    case SaveType::gif:
        dialog->setNameFilters({gifFilter()});
        dialog->setDefaultSuffix(QStringLiteral("gif"));
        break;
    case SaveType::image: {
        dialog->setNameFilters({pngFilter(), jpegFilter()});
        const bool jpeg = QFileInfo(request.fileName).suffix().toLower() != QLatin1String("png");
        dialog->selectNameFilter(jpeg ? jpegFilter() : pngFilter());
        dialog->setDefaultSuffix(jpeg ? QStringLiteral("jpg") : QStringLiteral("png"));
        QObject::connect(
            dialog, &QFileDialog::filterSelected, dialog, [dialog](const QString& filter) {
                dialog->setDefaultSuffix(filter == jpegFilter() ? QStringLiteral("jpg")
                                                                : QStringLiteral("png"));
            });
        break;
    }
    }
    if (request.directory) {
        dialog->setDirectory(*request.directory);
    }
    dialog->selectFile(request.fileName);

    auto finished = std::make_shared<SaveDone>(std::move(done));
    const auto finish = [dialog, finished](int result) {
        const QStringList files = dialog->selectedFiles();
        if (result == QDialog::Accepted && !files.isEmpty() && !files.first().isEmpty()) {
            (*finished)(files.first());
        } else {
            (*finished)(std::nullopt);
        }
    };
    if (window) {
        dialog->setWindowModality(Qt::WindowModal);
        QObject::connect(dialog, &QDialog::finished, dialog, finish);
        dialog->open();
        return;
    }
    dialog->setWindowModality(Qt::ApplicationModal);
    bringApplicationForward(dialog);
    const QPointer<QFileDialog> guard(dialog);
    const int result = dialog->exec();
    if (guard) {
        finish(result);
    } else {
        (*finished)(std::nullopt);
    }
}

std::optional<QString>
FileDialogPanels::chooseFolder(const std::optional<QString>& startDirectory) {
    QFileDialog dialog;
    fitCaptureNames(&dialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    //: Folder panel button that picks the save folder
    dialog.setLabelText(QFileDialog::Accept, QCoreApplication::translate("SaveLocation", "Choose"));
    // Qt's dialog has no message line; its title carries the message.
    //: Message of the folder panel that picks the save folder
    dialog.setWindowTitle(QCoreApplication::translate(
        "SaveLocation", "Choose where Vexlin Capture saves screenshots and recordings."));
    // Left to itself the dialog would open in the working folder, which for a
    // tray program started at login is anywhere.
    dialog.setDirectory(folderChooserStart(
        startDirectory, QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
        QDir::homePath(), [](const QString& path) { return QFileInfo(path).isDir(); }));
    dialog.setWindowModality(Qt::ApplicationModal);
    bringApplicationForward(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

std::optional<QString> FileDialogPanels::chooseImageToAnnotate() {
    QFileDialog dialog;
    fitCaptureNames(&dialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Where captures are, not the working folder, which for a tray program
    // started at login is anywhere.
    std::optional<QString> saveFolder;
    if (const std::optional<SaveLocation::Resolved> resolved = SaveLocation::resolvedFolder()) {
        saveFolder = resolved->folder;
    }
    dialog.setDirectory(folderChooserStart(
        saveFolder, QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
        QDir::homePath(), [](const QString& path) { return QFileInfo(path).isDir(); }));
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    }
    //: File type choice in the panel that opens an image in the editor. %1 lists the patterns.
    dialog.setNameFilter(QCoreApplication::translate("FileDialogPanels", "Images (%1)")
                             .arg(patterns.join(QLatin1Char(' '))));
    dialog.setWindowTitle(
        QCoreApplication::translate("StatusBarController", "Choose an image to annotate."));
    dialog.setWindowModality(Qt::ApplicationModal);
    bringApplicationForward(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

void FileDialogPanels::showError(QWidget* window, const FileError& error) {
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(),
                    error.description(), QMessageBox::Ok, window);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace app
