#include "shell/RunningHiddenApps.h"

#include "recording/HideableApp.h"

namespace shell {

namespace {

settings::HideableAppEntry entry(const recording::HideableApp& app) {
    return {app.bundleID, app.name, app.icon};
}

} // namespace

RunningHiddenApps::RunningHiddenApps(QObject* parent) : HiddenAppsSource(parent) {
    connect(&running_, &recording::RunningApps::changed, this,
            &HiddenAppsSource::candidatesChanged);
}

QList<settings::HideableAppEntry> RunningHiddenApps::candidates() const {
    QList<settings::HideableAppEntry> entries;
    for (const recording::HideableApp& app : recording::HideableApp::candidates()) {
        entries.append(entry(app));
    }
    return entries;
}

settings::HideableAppEntry RunningHiddenApps::resolve(const QString& bundleID) const {
    return entry(recording::HideableApp::make(bundleID));
}

} // namespace shell
