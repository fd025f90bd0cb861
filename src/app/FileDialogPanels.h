#pragma once

#include "app/FilePanels.h"

#include <functional>

namespace app {

// Where the folder chooser opens: the current save folder, else the user's
// Pictures folder, else the home folder. A candidate counts only while it is
// a folder (isFolder), so a save folder that was deleted or a Pictures folder
// the desktop never made is passed over.
QString folderChooserStart(const std::optional<QString>& current, const QString& pictures,
                           const QString& home,
                           const std::function<bool(const QString&)>& isFolder);

// FilePanels with Qt's file dialogs and message boxes.
class FileDialogPanels : public FilePanels {
public:
    void runSavePanel(const SaveRequest& request, QWidget* window, SaveDone done) override;
    std::optional<QString> chooseFolder(const std::optional<QString>& startDirectory) override;
    std::optional<QString> chooseImageToAnnotate() override;
    void showError(QWidget* window, const FileError& error) override;
};

} // namespace app
