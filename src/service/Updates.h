#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace service {

// An announced newer version.
struct UpdateManifest {
    QString version;
};

// Stands in for the update checker until the product web service is built: it
// never contacts a server, so it never announces an update and never claims
// the program is up to date. A check the user asked for says that checking is
// not available.
class Updates : public QObject {
    Q_OBJECT
public:
    static Updates& shared();

    // The announced update, while there is one.
    const std::optional<UpdateManifest>& available() const { return available_; }

    // Starts the periodic check; this version has none.
    void start();
    // Checks now; when the user asked, tells them the outcome.
    void check(bool userInitiated);
    // The alert for an announced update.
    void showUpdateAlert(const UpdateManifest& manifest);

    // The sentence a user-initiated check shows.
    static QString unavailableMessage();

Q_SIGNALS:
    void availableChanged();

private:
    std::optional<UpdateManifest> available_;
};

} // namespace service
