#include "recording/HiddenApps.h"

#include "app/Preferences.h"

#include <QCoreApplication>
#include <QSet>

#include <algorithm>

namespace recording::HiddenApps {

namespace {

constexpr int kRowHeight = 28;
constexpr int kMaximumListHeight = 300;

} // namespace

std::vector<HideableApp> listed(const std::vector<HideableApp>& running, const QStringList& hidden,
                                const std::function<HideableApp(const QString&)>& describe) {
    std::vector<HideableApp> rows = running;
    QSet<QString> shown;
    for (const HideableApp& app : running) {
        shown.insert(app.bundleID);
    }
    for (const QString& id : hidden) {
        if (shown.contains(id)) {
            continue;
        }
        // An id stored twice is still one row.
        shown.insert(id);
        rows.push_back(describe ? describe(id) : HideableApp::make(id));
    }
    return rows;
}

QStringList withApp(const QStringList& hidden, const QString& bundleID, bool hide) {
    QStringList result = hidden;
    if (hide) {
        if (!result.contains(bundleID)) {
            result.append(bundleID);
        }
    } else {
        result.removeAll(bundleID);
    }
    return result;
}

void setApp(app::Preferences& preferences, const QString& bundleID, bool hide) {
    const QStringList hidden = preferences.recordingHiddenApps();
    if (hide && hidden.contains(bundleID)) {
        return;
    }
    preferences.setRecordingHiddenApps(withApp(hidden, bundleID, hide));
}

bool isActive(const QStringList& hidden, bool hideNotifications, bool recordsWindowOnly) {
    return !recordsWindowOnly && hidden.size() + (hideNotifications ? 1 : 0) > 0;
}

QString toolTip(bool recordsWindowOnly) {
    return recordsWindowOnly
               //: Tooltip of the control bar's hidden-apps button in a window recording
               ? QCoreApplication::translate("RecordingControlBar",
                                             "Window recordings only show the window.")
               //: Tooltip of the control bar's hidden-apps button
               : QCoreApplication::translate("RecordingControlBar",
                                             "Hide apps from the recording. They keep working on "
                                             "your screen; the video shows what is behind them.");
}

int listHeight(int rows) {
    return std::min(kRowHeight * std::max(rows, 0), kMaximumListHeight);
}

} // namespace recording::HiddenApps
