#include "delivery/SharePicker.h"

#include "app/Workspace.h"
#include "platform/DefaultApplications.h"
#include "platform/MainThread.h"
#include "platform/WindowManagerRequests.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMimeDatabase>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>

#include <memory>

namespace delivery {

namespace {

void raiseWindowOf(QWidget* anchor) {
    QWidget* window = anchor ? anchor->window() : nullptr;
    if (window == nullptr) {
        return;
    }
    window->raise();
    if (!platform::requestWindowActivation(window->windowHandle())) {
        window->activateWindow();
    }
}

} // namespace

QPointer<QMenu>& SharePicker::currentPicker() {
    static QPointer<QMenu> picker;
    return picker;
}

QMenu* SharePicker::current() {
    return currentPicker().data();
}

std::vector<SharePicker::Entry> SharePicker::entries(const QString& file, QWidget* window) {
    const QPointer<QWidget> guard(window);
    std::vector<Entry> list;

    const QString type = QMimeDatabase().mimeTypeForFile(file).name();
    const QString application = platform::defaultApplicationName(type);
    list.push_back(
        {application.isEmpty()
             //: Share menu item: open the file with the program the desktop opens its type with
             ? QCoreApplication::translate("SharePicker", "Open With Default Application")
             //: Share menu item; %1 is the program the desktop opens the file's type with
             : QCoreApplication::translate("SharePicker", "Open With %1").arg(application),
         [file, guard] { app::Workspace::openFile(file, guard.data()); }});

    const QString email = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (!email.isEmpty()) {
        //: Share menu item: a new e-mail in the user's mail program, with the file attached
        list.push_back({QCoreApplication::translate("SharePicker", "Email…"), [email, file] {
                            QProcess::startDetached(email, {QStringLiteral("--attach"), file});
                        }});
    }

    //: Share menu item: the file manager opens the file's folder with the file selected
    list.push_back({QCoreApplication::translate("SharePicker", "Show in File Manager"),
                    [file, guard] { app::Workspace::reveal(file, guard.data()); }});
    return list;
}

void SharePicker::show(const QString& file, QWidget* anchor) {
    platform::assertMainThread();
    if (anchor == nullptr) {
        return;
    }
    QPointer<QMenu>& current = currentPicker();
    if (current) {
        // Its report follows; it no longer concerns the picker on screen.
        current->hide();
    }
    auto* menu = new QMenu;
    const ShareAnchor guard(anchor);
    // Set once an entry is chosen; the menu hides before its entry runs.
    auto chosen = std::make_shared<bool>(false);
    for (Entry& entry : entries(file, anchor->window())) {
        QAction* action = menu->addAction(entry.text);
        QObject::connect(action, &QAction::triggered, menu,
                         [chosen, choose = std::move(entry.choose)] {
                             *chosen = true;
                             choose();
                         });
    }
    QObject::connect(menu, &QMenu::aboutToHide, menu, [menu, chosen, guard] {
        // After the entry, which Qt triggers once the menu is hidden.
        QMetaObject::invokeMethod(
            menu, [menu, chosen, guard] { report(menu, *chosen, guard); }, Qt::QueuedConnection);
    });
    current = menu;
    // Below the button; above it where the screen ends first (a button at
    // the bottom of a window at the bottom of the screen), never over it.
    QPoint at = anchor->mapToGlobal(QPoint(0, anchor->height()));
    const QScreen* screen = anchor->screen();
    const int height = menu->sizeHint().height();
    if (screen != nullptr && at.y() + height > screen->availableGeometry().bottom() + 1) {
        at = anchor->mapToGlobal(QPoint(0, -height));
    }
    menu->popup(at);
}

void SharePicker::report(QMenu* picker, bool chosen, const ShareAnchor& anchor) {
    if (chosen) {
        raiseWindowOf(anchor.data());
    }
    // A picker replaced by a newer one reports late; the newer one stays.
    QPointer<QMenu>& current = currentPicker();
    if (current == picker) {
        current = nullptr;
    }
    picker->deleteLater();
}

} // namespace delivery
