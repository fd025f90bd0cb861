#include "app/FileError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace app {

namespace {

QString displayName(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? QDir::toNativeSeparators(path) : name;
}

QString folderOf(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absolutePath());
}

QString writeReason(const QString& path, std::error_code system) {
    const QString file = displayName(path);
    const QString folder = folderOf(path);
    switch (system.value()) {
    case ENOSPC:
    case EDQUOT:
        //: Alert text when saving a file failed because the disk is full. %1 is the file name.
        return QCoreApplication::translate(
                   "FileError",
                   "“%1” couldn’t be saved because there isn’t enough space on the disk.")
            .arg(file);
    case EACCES:
    case EPERM:
        //: Alert text when saving a file failed for lack of permission. %1 is the file name, %2
        //: the folder.
        return QCoreApplication::translate("FileError",
                                           "“%1” couldn’t be saved because you don’t have "
                                           "permission to write into the folder “%2”.")
            .arg(file, folder);
    case EROFS:
        //: Alert text when saving a file failed because the disk is read-only. %1 is the file
        //: name, %2 the folder.
        return QCoreApplication::translate(
                   "FileError",
                   "“%1” couldn’t be saved because the folder “%2” is on a read-only disk.")
            .arg(file, folder);
    case ENOENT:
    case ENOTDIR:
        //: Alert text when saving a file failed because its folder is gone. %1 is the file name,
        //: %2 the folder.
        return QCoreApplication::translate(
                   "FileError", "“%1” couldn’t be saved because the folder “%2” doesn’t exist.")
            .arg(file, folder);
    default:
        //: Alert text when saving a file failed for another reason. %1 is the file name, %2 the
        //: system's explanation.
        return QCoreApplication::translate("FileError", "“%1” couldn’t be saved: %2.")
            .arg(file, QString::fromStdString(system.message()));
    }
}

} // namespace

QString FileError::description() const {
    switch (code_) {
    case Code::userCancelled:
        //: Text of a cancelled file operation; normally never shown.
        return QCoreApplication::translate("FileError", "The operation was cancelled.");
    case Code::noSuchFile:
        if (path_.isEmpty()) {
            //: Alert text when the chosen save folder cannot be found.
            return QCoreApplication::translate("FileError", "The save folder doesn’t exist.");
        }
        //: Alert text when a file or the save folder does not exist. %1 is its path.
        return QCoreApplication::translate("FileError", "“%1” doesn’t exist.")
            .arg(QDir::toNativeSeparators(path_));
    case Code::encodingFailed:
        if (path_.isEmpty()) {
            //: Alert text when an image could not be encoded as PNG or JPEG.
            return QCoreApplication::translate(
                "FileError", "The image couldn’t be saved because it couldn’t be encoded.");
        }
        //: Alert text when an image could not be encoded as PNG or JPEG. %1 is the file name.
        return QCoreApplication::translate(
                   "FileError", "“%1” couldn’t be saved because the image couldn’t be encoded.")
            .arg(displayName(path_));
    case Code::writeFailed:
        return writeReason(path_, system_);
    case Code::readFailed:
        //: Alert text when a file could not be read. %1 is the file name, %2 the system's
        //: explanation.
        return QCoreApplication::translate("FileError", "“%1” couldn’t be read: %2.")
            .arg(displayName(path_), QString::fromStdString(system_.message()));
    case Code::readOnlyFile:
        //: Alert text when an edited image would be saved over a read-only file. %1 is the file
        //: name.
        return QCoreApplication::translate(
                   "FileError", "“%1” couldn’t be saved because the file is read-only. Use "
                                "Save As to save a copy.")
            .arg(displayName(path_));
    case Code::cannotOpenFolder:
        //: Alert text when no file manager could be started to show a folder. %1 is the
        //: folder's full path.
        return QCoreApplication::translate(
                   "FileError",
                   "The folder “%1” couldn’t be opened because no file manager is set up.")
            .arg(QDir::toNativeSeparators(path_));
    case Code::cannotOpenFile:
        //: Alert text when no program could be started to open a file. %1 is the file's full
        //: path.
        return QCoreApplication::translate(
                   "FileError", "“%1” couldn’t be opened because no program is set up to open it.")
            .arg(QDir::toNativeSeparators(path_));
    case Code::notAFolder:
        //: Alert text when the chosen save folder is a file, a device or a broken link. %1 is
        //: its full path.
        return QCoreApplication::translate(
                   "FileError", "The save folder “%1” isn’t a folder. Choose another save folder.")
            .arg(QDir::toNativeSeparators(path_));
    case Code::folderNotWritable:
        //: Alert text when nothing can be saved into the chosen save folder. %1 is its full
        //: path, %2 the system's explanation.
        return QCoreApplication::translate("FileError",
                                           "Nothing can be saved into the save folder “%1”: %2.")
            .arg(QDir::toNativeSeparators(path_), QString::fromStdString(system_.message()));
    case Code::settingsNotSaved:
        //: Alert text when the settings file could not be written. %1 is its full path, %2 the
        //: system's explanation.
        return QCoreApplication::translate(
                   "FileError", "Your settings couldn’t be saved to “%1”: %2. Changes stay in "
                                "effect until Vexlin Capture quits.")
            .arg(QDir::toNativeSeparators(path_), QString::fromStdString(system_.message()));
    }
    return {};
}

} // namespace app
