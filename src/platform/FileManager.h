#pragma once

#include <QDBusConnection>
#include <QStringList>

#include <functional>

namespace platform {

// Asks the desktop's file manager, through org.freedesktop.FileManager1 on the
// bus, to show the files selected in their folders. done runs once, always
// after this call has returned, with true when a file manager took the
// request and false when there is no bus, no file manager answers, or it
// refused. Main thread only.
void showInFileManager(const QStringList& paths, std::function<void(bool shown)> done);
// The same on a given bus connection; the one above uses the session bus.
void showInFileManager(const QDBusConnection& bus, const QStringList& paths,
                       std::function<void(bool shown)> done);

} // namespace platform
