#pragma once

#include "platform/ClientWindows.h"
#include "platform/DesktopEntries.h"

#include <QIcon>
#include <QList>
#include <QString>

#include <cstdint>
#include <vector>

namespace recording {

// An application the user can hide from display and area recordings. Its id
// is the class half of its windows' WM_CLASS, stored as the window gives it:
// what the recorder matches windows by, and what the settings keep.
struct HideableApp {
    QString bundleID;
    QString name;
    QIcon icon;

    // The application with this id as it is best known: running (a managed
    // window of that class) with the name and icon of its .desktop file,
    // else installed (a .desktop file claims the class), else the id itself
    // with the generic icon. Never fails. Main thread only.
    static HideableApp make(const QString& bundleID);
    static HideableApp make(const QString& bundleID, const QList<platform::ClientWindow>& windows,
                            const platform::DesktopEntries& applications);

    // The applications a user may hide now, by name in a file manager's order
    // (digit runs by value, case ignored; equal names keep the order in which
    // their programs first showed a window). Main thread only.
    static std::vector<HideableApp> candidates();
    // The same from the manager's client list in mapping order: ordinary
    // (NORMAL) windows that do not skip the task bar and belong to another
    // process than `ownPID`, one application per class, none without one.
    static std::vector<HideableApp> candidates(const QList<platform::ClientWindow>& clientList,
                                               std::int32_t ownPID,
                                               const platform::DesktopEntries& applications);

    // Whether the window stands for an application a user may hide.
    static bool isCandidate(const platform::ClientWindow& window, std::int32_t ownPID);

    // The icon of an application that says nothing of its own; the same
    // icon (one cache key) every time.
    static QIcon genericIcon();

    friend bool operator==(const HideableApp& a, const HideableApp& b) {
        return a.bundleID == b.bundleID && a.name == b.name &&
               a.icon.cacheKey() == b.icon.cacheKey();
    }
};

} // namespace recording
