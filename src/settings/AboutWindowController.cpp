#include "settings/AboutWindowController.h"

#include "settings/AboutView.h"

#include "app/AppPresence.h"
#include "app/MainMenu.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QVBoxLayout>

namespace settings {

namespace {

class AboutWindow : public QWidget {
public:
    AboutWindow() : QWidget(nullptr, Qt::Window) {
        setObjectName(QStringLiteral("aboutWindow"));
        //: Title of the About window
        setWindowTitle(
            QCoreApplication::translate("AboutWindowController", "About Vexlin Capture"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(new AboutView(false, this));
        layout->setSizeConstraint(QLayout::SetFixedSize);
        app::MainMenu::installKeysIn(this);
    }

    void present() {
        if (!counted_) {
            counted_ = true;
            app::appWindowDidOpen();
        }
        if (isMinimized()) {
            showNormal();
        } else {
            show();
        }
        app::bringWindowToFront(this);
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        QWidget::closeEvent(event);
        if (event->isAccepted() && counted_) {
            counted_ = false;
            app::appWindowDidClose();
        }
    }

private:
    bool counted_ = false;
};

AboutWindow* shared = nullptr;

} // namespace

void AboutWindowController::show() {
    if (shared == nullptr) {
        shared = new AboutWindow;
    }
    shared->present();
}

bool AboutWindowController::isVisible() {
    return shared != nullptr && shared->isVisible();
}

QWidget* AboutWindowController::window() {
    return shared;
}

} // namespace settings
