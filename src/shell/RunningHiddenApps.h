#pragma once

#include "recording/RunningApps.h"
#include "settings/HiddenAppsSource.h"

namespace shell {

// The applications the settings offer to hide from recordings: those running
// now, as the window manager's client list shows them, and stored ones by
// their names where their .desktop files give one. Main thread only.
class RunningHiddenApps final : public settings::HiddenAppsSource {
    Q_OBJECT
public:
    explicit RunningHiddenApps(QObject* parent = nullptr);

    QList<settings::HideableAppEntry> candidates() const override;
    settings::HideableAppEntry resolve(const QString& bundleID) const override;

private:
    recording::RunningApps running_;
};

} // namespace shell
