#pragma once

#include "app/FilePanels.h"

namespace app {

// FilePanels with Qt's file dialogs and message boxes.
class FileDialogPanels : public FilePanels {
public:
    void runSavePanel(const SaveRequest& request, QWidget* window, SaveDone done) override;
    std::optional<QString> chooseFolder(const std::optional<QString>& startDirectory) override;
    std::optional<QString> chooseImageToAnnotate() override;
    void showError(QWidget* window, const FileError& error) override;
};

} // namespace app
