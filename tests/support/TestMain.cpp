#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gmock/gmock.h>

#include <optional>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Removes a folder that holds nothing but empty folders, so a test's file
// left behind still keeps it for the run's check to name.
void removeIfHoldsNoFile(const QString& folder) {
    QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System,
                       QDirIterator::Subdirectories);
    if (!files.hasNext()) {
        QDir(folder).removeRecursively();
    }
}

} // namespace

// Widgets and clipboards need an application object; unit tests run it on the
// offscreen platform (set by ctest), the X11 tests on the rig's Xvfb.
int main(int argc, char** argv) {
    // ctest passes the unit tests' private home in one variable (a list of
    // variables would not survive the test discovery); every folder a test
    // may write to lies below it, so the run can check that nothing is left.
    // The configuration, cache and data folders are the program's own per
    // test process: tests run side by side, and the program's fixed places
    // in them (the settings file, the kept originals) would be shared.
    const QByteArray home = qgetenv("VEXLIN_TEST_HOME");
    std::vector<QString> ownFolders;
    if (!home.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        const QByteArray process = "/" + QByteArray::number(qint64(getpid()));
        const std::pair<const char*, QByteArray> folders[] = {
            {"TMPDIR", "/tmp"},
            {"XDG_RUNTIME_DIR", "/runtime"},
            {"XDG_CONFIG_HOME", "/config" + process},
            {"XDG_CACHE_HOME", "/cache" + process},
            {"XDG_DATA_HOME", "/data" + process},
        };
        for (const auto& [variable, folder] : folders) {
            qputenv(variable, home + folder);
        }
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
            ownFolders.push_back(qEnvironmentVariable(variable));
            QDir().mkpath(ownFolders.back());
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
    const int result = RUN_ALL_TESTS();
    for (const QString& folder : ownFolders) {
        removeIfHoldsNoFile(folder);
    }
    return result;
}
