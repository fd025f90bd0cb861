#pragma once

#include "app/FilePanels.h"
#include "platform/PermissionProbe.h"

#include <QHash>
#include <QSet>

#include <optional>

namespace settingstest {

// Panels that count the alerts and answer the folder chooser as told.
class CountingPanels : public app::FilePanels {
public:
    void runSavePanel(const SaveRequest&, QWidget*, SaveDone done) override { done(std::nullopt); }
    std::optional<QString> chooseFolder(const std::optional<QString>&) override {
        ++chooserShown;
        return chosenFolder;
    }
    std::optional<QString> chooseImageToAnnotate() override { return std::nullopt; }
    void showError(QWidget*, const app::FileError& error) override {
        alerts.append(error.description());
    }

    std::optional<QString> chosenFolder;
    int chooserShown = 0;
    QStringList alerts;
};

// A probe whose answers the test sets.
class FakeProbe : public platform::PermissionProbe {
public:
    platform::PermissionStatus status(platform::Permission permission) override {
        ++reads;
        if (granted.contains(permission)) {
            return {true, {}};
        }
        return {false, reasons.value(permission, QStringLiteral("No camera found"))};
    }
    bool canOpenSettings(platform::Permission permission) override {
        return withSettings.contains(permission);
    }
    void openSettings(platform::Permission permission) override { opened.append(permission); }

    QSet<platform::Permission> granted;
    QHash<platform::Permission, QString> reasons;
    QSet<platform::Permission> withSettings;
    QList<platform::Permission> opened;
    int reads = 0;
};

} // namespace settingstest
