#pragma once

#include <QString>

#include <optional>
#include <system_error>
#include <utility>
#include <variant>

namespace app {

// Why a file operation did not happen, worded for the user. The user's own
// cancellation (a closed panel or folder chooser) is an error too, so that it
// travels the same way, but callers never show it.
class FileError {
public:
    enum class Code {
        userCancelled,
        // The file or folder named by path does not exist.
        noSuchFile,
        // Writing failed; system says why.
        writeFailed,
        // The image could not be turned into file bytes.
        encodingFailed,
        // Reading failed; system says why.
        readFailed,
        // The file at path is read-only, so it is not written over.
        readOnlyFile,
        // No program could be started to open the folder at path: no file
        // manager is set up.
        cannotOpenFolder,
        // No program could be started to open the file at path.
        cannotOpenFile,
        // The chosen save folder at path is something other than a folder (a
        // file, a device, a link to nothing).
        notAFolder,
        // The chosen save folder at path takes no new files; system says why.
        folderNotWritable,
        // The settings file at path could not be written; system says why.
        settingsNotSaved,
    };

    static FileError userCancelled() { return FileError(Code::userCancelled); }
    static FileError noSuchFile(const QString& path) { return FileError(Code::noSuchFile, path); }
    static FileError encodingFailed(const QString& path = QString()) {
        return FileError(Code::encodingFailed, path);
    }
    static FileError writeFailed(const QString& path, std::error_code system) {
        return FileError(Code::writeFailed, path, system);
    }
    static FileError readFailed(const QString& path, std::error_code system) {
        return FileError(Code::readFailed, path, system);
    }
    static FileError readOnlyFile(const QString& path) {
        return FileError(Code::readOnlyFile, path);
    }
    static FileError cannotOpenFolder(const QString& path) {
        return FileError(Code::cannotOpenFolder, path);
    }
    static FileError cannotOpenFile(const QString& path) {
        return FileError(Code::cannotOpenFile, path);
    }
    static FileError notAFolder(const QString& path) { return FileError(Code::notAFolder, path); }
    static FileError folderNotWritable(const QString& path, std::error_code system) {
        return FileError(Code::folderNotWritable, path, system);
    }
    static FileError settingsNotSaved(const QString& path, std::error_code system) {
        return FileError(Code::settingsNotSaved, path, system);
    }

    Code code() const { return code_; }
    // The file or folder concerned; may be empty.
    const QString& path() const { return path_; }
    std::error_code systemError() const { return system_; }

    // One sentence for an alert, naming the file and the reason.
    QString description() const;

private:
    explicit FileError(Code code, QString path = QString(), std::error_code system = {})
        : code_(code), path_(std::move(path)), system_(system) {}

    Code code_;
    QString path_;
    std::error_code system_;
};

// A value or the FileError that prevented it.
template <typename T> class Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(FileError error) : state_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<T>(state_); }
    T& value() { return std::get<T>(state_); }
    const FileError& error() const { return std::get<FileError>(state_); }

private:
    std::variant<T, FileError> state_;
};

// Success without a value.
struct Done {};

} // namespace app
