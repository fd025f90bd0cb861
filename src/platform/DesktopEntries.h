#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace platform {

// The applications installed for the desktop, read from their .desktop files,
// to name the application behind a window by its WM_CLASS. Main thread only
// for current(); an instance itself is immutable.
class DesktopEntries {
public:
    struct Entry {
        // The desktop file id: its path below the folder without ".desktop",
        // '/' written as '-'.
        QString id;
        QString name;           // Name, in the locale's language where the file has it
        QString startupWMClass; // StartupWMClass, empty when absent
        // Icon: an icon theme's name, or an absolute file path; empty when
        // absent.
        QString icon;
    };

    // The folders of .desktop files in order of precedence:
    // $XDG_DATA_HOME/applications (default ~/.local/share), then
    // <dir>/applications for each of $XDG_DATA_DIRS (default
    // /usr/local/share:/usr/share).
    static QStringList applicationFolders();

    // Reads every .desktop file below `folders`. Where two folders hold the
    // same id, the earlier folder's file counts and the later one is ignored;
    // an earlier file with Hidden=true deletes the application. Files that
    // are not applications, or have no Name, are left out. `locale` ("de_DE")
    // picks localised names (Name[de_DE], then Name[de]).
    explicit DesktopEntries(const QStringList& folders, const QString& locale = {});

    // The application of a window whose WM_CLASS is (`instanceName`,
    // `className`): the first entry whose StartupWMClass equals the class,
    // then the instance; else the first whose id equals the class, then the
    // instance. All compared ignoring case. Null when none matches.
    const Entry* forWindowClass(const QString& className, const QString& instanceName) const;

    // That entry's name, else `className` itself.
    QString applicationName(const QString& className, const QString& instanceName) const;

    const std::vector<Entry>& entries() const { return entries_; }

    // The table for the folders and locale in force now, valid until the
    // next call. Read on first use and again when the folders or any folder's
    // modification time change (an application was installed or removed).
    static const DesktopEntries& current();

private:
    std::vector<Entry> entries_;   // in order of precedence
    QHash<QString, int> byWMClass; // lower-cased StartupWMClass -> first entry
    QHash<QString, int> byId;      // lower-cased id -> first entry
};

} // namespace platform
