#pragma once

#include "recording/HideableApp.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace app {
class Preferences;
}

namespace recording {

// The rules of choosing applications to hide from a recording, shared by the
// recording controls and the settings. The choice is a list of application
// ids (HideableApp::bundleID) kept in Preferences' recordingHiddenApps.
namespace HiddenApps {

// The rows to offer: the running candidates in their order, then each hidden
// id (in stored order) that none of them has, described by `describe`
// (HideableApp::make by default), so that a hidden application that quit can
// still be shown again.
std::vector<HideableApp> listed(const std::vector<HideableApp>& running, const QStringList& hidden,
                                const std::function<HideableApp(const QString&)>& describe = {});

// The list after a row's toggle: hiding appends the id unless present;
// showing removes every occurrence, the others keeping their order.
QStringList withApp(const QStringList& hidden, const QString& bundleID, bool hide);

// The same choice written through to the settings. Hiding an id already
// hidden writes nothing.
void setApp(app::Preferences& preferences, const QString& bundleID, bool hide);

// The controls' button shows the choice as active when anything is hidden,
// the notifications counting as one, except in a window recording, which
// shows only the window anyway.
bool isActive(const QStringList& hidden, bool hideNotifications, bool recordsWindowOnly);

// The button's tooltip.
QString toolTip(bool recordsWindowOnly);

// The height of the list of `rows` rows in points: 28 each, scrolling beyond
// 300.
int listHeight(int rows);

} // namespace HiddenApps

} // namespace recording
