#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>

namespace settings {

// An application that recordings can leave out, as the Recording overlays
// pane lists it. Its identity is the WM_CLASS class of its windows.
struct HideableAppEntry {
    QString bundleID;
    QString name;
    QIcon icon;
};

// Where the pane gets the applications that can be hidden. The recording back
// end supplies the real list (running applications, refreshed when the
// window manager's client list changes); until it is set, nothing is running
// and a stored identifier shows as itself.
class HiddenAppsSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The applications running now, other than this one, sorted by name.
    virtual QList<HideableAppEntry> candidates() const { return {}; }
    // A stored identifier as the list shows it, running or not.
    virtual HideableAppEntry resolve(const QString& bundleID) const {
        return {bundleID, bundleID, QIcon::fromTheme(QStringLiteral("application-x-executable"))};
    }

    // The source the panes read; the composition root sets the real one.
    static HiddenAppsSource& current();
    // Not owned; null puts the empty source back.
    static void setCurrent(HiddenAppsSource* source);

Q_SIGNALS:
    // The running applications changed.
    void candidatesChanged();
};

} // namespace settings
