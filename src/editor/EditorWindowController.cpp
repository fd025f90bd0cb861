#include "editor/EditorWindowController.h"

#include "app/AppPresence.h"
#include "app/UnavailableWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

namespace editor {

namespace {

std::vector<EditorWindowController*>& editors() {
    static std::vector<EditorWindowController*> list;
    return list;
}

QString windowTitle(const std::optional<EditorContent>& content) {
    if (content && content->capture.filePath) {
        return QFileInfo(*content->capture.filePath).fileName();
    }
    //: Title of an editor window that shows no file
    return QCoreApplication::translate("EditorWindowController", "Vexlin Capture Editor");
}

} // namespace

EditorWindowController::EditorWindowController()
    : window_(new app::UnavailableWindow(
          windowTitle(std::nullopt),
          //: Shown in the editor window while the annotation editor is not built
          QCoreApplication::translate("EditorWindowController",
                                      "The annotation editor is not available in this version "
                                      "yet."),
          app::UnavailableWindow::Role::document)) {
    window_->setAttribute(Qt::WA_DeleteOnClose);
    // The controller lives as long as its window: closing it leaves the list.
    connect(window_, &QObject::destroyed, this, [this] {
        auto& list = editors();
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        deleteLater();
    });
}

EditorWindowController::~EditorWindowController() {
    auto& list = editors();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (window_) {
        window_->disconnect(this);
        delete window_.data();
    }
}

const std::vector<EditorWindowController*>& EditorWindowController::openEditors() {
    return editors();
}

void EditorWindowController::load(EditorContent content) {
    model_.document = std::move(content);
    if (window_) {
        window_->setWindowTitle(windowTitle(model_.document));
    }
}

void EditorWindowController::showAndActivate() {
    if (window_) {
        window_->showAndRaise();
    }
}

void EditorWindowController::open(std::optional<EditorContent> content) {
    auto* controller = new EditorWindowController;
    if (content) {
        controller->load(std::move(*content));
    }
    editors().push_back(controller);
    controller->showAndActivate();
}

EditorWindowController* EditorWindowController::frontmost() {
    const auto& list = editors();
    if (list.empty()) {
        return nullptr;
    }
    // The active window is in front; otherwise the one opened last.
    for (EditorWindowController* controller : list) {
        if (controller->window_ && controller->window_->isActiveWindow()) {
            return controller;
        }
    }
    return list.back();
}

void EditorWindowController::openLatest() {
    if (EditorWindowController* front = frontmost()) {
        front->showAndActivate();
        return;
    }
    open(std::nullopt);
}

void EditorWindowController::open(const QString& imagePath) {
    std::optional<app::Capture> capture = app::Capture::fromFile(imagePath);
    if (!capture) {
        QApplication::beep();
        return;
    }
    EditorWindowController* target = frontmost();
    if (target != nullptr && !target->model().document) {
        target->load(EditorContent(std::move(*capture)));
        target->showAndActivate();
        return;
    }
    open(EditorContent(std::move(*capture)));
}

} // namespace editor
