#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gmock/gmock.h>

#include <optional>
#include <utility>

// Widgets and clipboards need an application object; unit tests run it on the
// offscreen platform (set by ctest), the X11 tests on the rig's Xvfb.
int main(int argc, char** argv) {
    // ctest passes the unit tests' private home in one variable (a list of
    // variables would not survive the test discovery); every folder a test
    // may write to lies below it, so the run can check that nothing is left.
    const QByteArray home = qgetenv("VEXLIN_TEST_HOME");
    if (!home.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        const std::pair<const char*, const char*> folders[] = {
            {"TMPDIR", "/tmp"},
            {"XDG_RUNTIME_DIR", "/runtime"},
            {"XDG_CONFIG_HOME", "/config"},
            {"XDG_CACHE_HOME", "/cache"},
            {"XDG_DATA_HOME", "/data"},
        };
        for (const auto& [variable, folder] : folders) {
            qputenv(variable, home + folder);
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Without a runtime folder Qt makes one in the temporary folder and leaves
    // it there (ctest lists the tests this way, and so does a run by hand);
    // this one goes away with the program.
    std::optional<QTemporaryDir> runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        runtime.emplace();
        if (runtime->isValid()) {
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime->path()));
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexlin Capture"));
    QApplication::setOrganizationName(QStringLiteral("Vexlin"));
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
