#include "editor/EditorExport.h"

#include "app/Bundle.h"
#include "editor/EditorWindowController.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>

namespace editor {

namespace {

class UnavailableExport : public EditorExport {
public:
    explicit UnavailableExport(EditorWindowController& controller) : controller_(&controller) {}

    void copyImage() override { tell(); }
    void saveImage() override { tell(); }
    void saveImageAs() override { tell(); }
    void pinImage() override { tell(); }
    void share(QWidget*) override { tell(); }
    QMimeData* dragItem() override { return nullptr; }
    bool writeImage() override {
        tell();
        return false;
    }

private:
    void tell() {
        QWidget* window = controller_ ? controller_->window() : nullptr;
        if (window == nullptr) {
            return;
        }
        if (message_) {
            message_->raise();
            return;
        }
        message_ = new QMessageBox(
            QMessageBox::Information, app::Bundle::main().appDisplayName(),
            //: Shown when the edited image is to be copied, saved, pinned or shared in a
            //: version that cannot do it yet
            QCoreApplication::translate("EditorExport",
                                        "Copying, saving, pinning and sharing the edited image are "
                                        "not available in this version yet."),
            QMessageBox::Ok, window);
        message_->setObjectName(QStringLiteral("exportUnavailable"));
        message_->setAttribute(Qt::WA_DeleteOnClose);
        message_->setWindowModality(Qt::WindowModal);
        message_->open();
    }

    QPointer<EditorWindowController> controller_;
    QPointer<QMessageBox> message_;
};

} // namespace

std::unique_ptr<EditorExport> makeUnavailableExport(EditorWindowController& controller) {
    return std::make_unique<UnavailableExport>(controller);
}

} // namespace editor
