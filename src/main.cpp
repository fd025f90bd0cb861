#include "app/BrandIcon.h"
#include "platform/DisplayServer.h"
#include "platform/MemoryRelease.h"
#include "platform/SingleInstance.h"
#include "shell/AppDelegate.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    // Before any thread: the allocator's arenas are made as threads need them.
    platform::configureAllocator();

    // Capture, hot keys and the window list all speak X11, so the xcb platform
    // is the only one that works; an explicit choice (tests use offscreen)
    // still wins.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        const platform::DisplayServer server = platform::detectDisplayServer();
        if (server != platform::DisplayServer::X11) {
            std::fprintf(stderr, "%s\n", qPrintable(platform::displayServerProblem(server)));
            return 1;
        }
        qputenv("QT_QPA_PLATFORM", "xcb");
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexlin Capture"));
    QApplication::setOrganizationName(QStringLiteral("Vexlin"));
    QApplication::setApplicationVersion(QStringLiteral(VEXLIN_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(app::BrandIcon::applicationIcon());

    // A second start only asks the running program to come forward.
    platform::SingleInstance instance(platform::SingleInstance::defaultSocketPath());
    if (instance.claim() == platform::SingleInstance::Role::Secondary) {
        return 0;
    }

    // The one delegate lives as long as the event loop.
    shell::AppDelegate delegate;
    QObject::connect(&instance, &platform::SingleInstance::reopenRequested, &delegate, [&delegate] {
        delegate.applicationShouldHandleReopen(shell::AppDelegate::hasVisibleWindows());
    });
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
