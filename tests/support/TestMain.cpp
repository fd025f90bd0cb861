#include <QApplication>
#include <gmock/gmock.h>

// Widgets and clipboards need an application object; unit tests run it on the
// offscreen platform (set by ctest), the X11 tests on the rig's Xvfb.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexlin Capture"));
    QApplication::setOrganizationName(QStringLiteral("Vexlin"));
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
