#include "settings/LaunchAtLogin.h"
#include "settings/SettingsPanes.h"

#include "SettingsFixture.h"
#include "app/Preferences.h"
#include "support/ScratchMount.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using settingstest::CountingPanels;
using testsupport::TempDir;

// Splits an Exec value into its arguments the way a desktop reads it: the
// string's own escapes first, then quoting, then %% for a literal %.
QStringList parseExec(const QString& value) {
    QString unescaped;
    for (int i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value[++i];
            unescaped += next == QLatin1Char('s')   ? QChar(' ')
                         : next == QLatin1Char('n') ? QChar('\n')
                         : next == QLatin1Char('t') ? QChar('\t')
                                                    : next;
        } else {
            unescaped += value[i];
        }
    }
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool any = false;
    for (int i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < unescaped.size()) {
                current += unescaped[++i];
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            any = true;
        } else if (c == QLatin1Char(' ')) {
            if (any || !current.isEmpty()) {
                arguments << current;
            }
            current.clear();
            any = false;
        } else {
            current += c;
        }
    }
    if (any || !current.isEmpty()) {
        arguments << current;
    }
    for (QString& argument : arguments) {
        argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
    }
    return arguments;
}

QString execOf(const QString& entryPath) {
    QFile file(entryPath);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << entryPath.toStdString();
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("Exec=")) {
            return QString::fromUtf8(line.mid(5));
        }
    }
    return {};
}

// Points the autostart folder at a private folder for one test.
class PrivateConfig {
public:
    PrivateConfig() : old_(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.path()));
    }
    ~PrivateConfig() { qputenv("XDG_CONFIG_HOME", old_); }
    QString autostart() const { return dir_.path() + QStringLiteral("/autostart"); }

private:
    TempDir dir_;
    QByteArray old_;
};

// Run in a copy of this program: switches launch at login on for the binary
// that runs.
TEST(LaunchAtLoginChild, SwitchesOn) {
    if (qEnvironmentVariableIsEmpty("VEXLIN_AUTOSTART_CHILD")) {
        GTEST_SKIP() << "runs only inside LaunchAtLogin.EntryRunsTheBinaryWhereverItLies";
    }
    settings::setLaunchAtLogin(true);
}

TEST(LaunchAtLogin, EntryRunsTheBinaryWhereverItLies) {
    PrivateConfig config;
    TempDir place;
    const QString folder = place.path() + QStringLiteral("/my tools/50% \"off\" $HOME`x`\\");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString binary = folder + QStringLiteral("/vexlin capture%u");
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), binary));

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("VEXLIN_TEST_HOME"));
    environment.insert(QStringLiteral("VEXLIN_AUTOSTART_CHILD"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.start(binary, {QStringLiteral("--gtest_filter=LaunchAtLoginChild.SwitchesOn")});
    ASSERT_TRUE(child.waitForFinished(60000));
    ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().toStdString();
    QFile::remove(binary);

    const QString entry = settings::launchAtLoginEntryPath();
    ASSERT_TRUE(entry.startsWith(config.autostart()));
    EXPECT_EQ(parseExec(execOf(entry)), QStringList{binary});
    EXPECT_TRUE(settings::isLaunchAtLoginEnabled());

    settings::setLaunchAtLogin(false);
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(settings::isLaunchAtLoginEnabled());
}

TEST(LaunchAtLogin, ReadsWhatTheDesktopWouldStart) {
    struct Case {
        const char* name;
        QByteArray entry;
        bool enabled;
    };
    const QByteArray good = "[Desktop Entry]\nType=Application\nName=V\nExec=/opt/v\n";
    const Case cases[] = {
        {"plain entry", good, true},
        {"hidden", good + "Hidden=true\n", false},
        {"switched off by GNOME", good + "X-GNOME-Autostart-enabled=false\n", false},
        {"GNOME on", good + "X-GNOME-Autostart-enabled=true\n", true},
        {"key of another group", good + "[Desktop Action x]\nHidden=true\n", true},
        {"no group", "Type=Application\nExec=/opt/v\n", false},
        {"no Exec", "[Desktop Entry]\nType=Application\n", false},
        {"binary garbage", QByteArray("\x00\xff[\x01", 4), false},
    };
    PrivateConfig config;
    ASSERT_TRUE(QDir().mkpath(config.autostart()));
    for (const Case& c : cases) {
        testsupport::writeAll(settings::launchAtLoginEntryPath(), c.entry);
        EXPECT_EQ(settings::isLaunchAtLoginEnabled(), c.enabled) << c.name;
    }
    // A malformed entry is replaced by the next switch-on.
    CountingPanels panels;
    const app::ScopedFilePanels scoped(panels);
    settings::setLaunchAtLogin(true);
    EXPECT_TRUE(settings::isLaunchAtLoginEnabled());
    EXPECT_TRUE(panels.alerts.isEmpty());
    settings::setLaunchAtLogin(false);
}

TEST(LaunchAtLogin, UnwritableFolderGivesOneAlertAndTheSwitchStaysOff) {
    PrivateConfig config;
    ASSERT_TRUE(QDir().mkpath(config.autostart()));
    // Root writes through any mode bits, so a read-only volume stands in.
    std::optional<testsupport::ScratchMount> mount =
        geteuid() == 0 ? testsupport::ScratchMount::make(config.autostart(), 64) : std::nullopt;
    if (geteuid() == 0) {
        if (!mount || !mount->makeReadOnly()) {
            GTEST_SKIP() << "no read-only volume can be made here";
        }
    } else {
        QFile::setPermissions(config.autostart(), QFile::ReadOwner | QFile::ExeOwner);
    }
    CountingPanels panels;
    const app::ScopedFilePanels scoped(panels);
    TempDir store;
    app::Preferences preferences(store.file(QStringLiteral("settings.conf")));
    std::unique_ptr<QWidget> pane(settings::makeGeneralPane(preferences));
    auto* box = pane->findChild<QCheckBox*>(QStringLiteral("launchAtLogin"));
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isChecked());

    box->click();

    EXPECT_EQ(panels.alerts.size(), 1) << panels.alerts.join('\n').toStdString();
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(QFile::exists(settings::launchAtLoginEntryPath()));
    EXPECT_TRUE(QDir(config.autostart()).isEmpty());
    if (!mount) {
        QFile::setPermissions(config.autostart(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

} // namespace
