#include "platform/DesktopEntries.h"

#include "support/TempDir.h"

#include <QDir>
#include <gtest/gtest.h>

#include <optional>

namespace platform {
namespace {

// Two applications folders, as $XDG_DATA_HOME and one of $XDG_DATA_DIRS hold
// them, filled with small .desktop files.
class DesktopEntriesTest : public ::testing::Test {
protected:
    QString home() const { return dir.path() + QStringLiteral("/home/applications"); }
    QString system() const { return dir.path() + QStringLiteral("/system/applications"); }
    QStringList folders() const { return {home(), system()}; }

    void write(const QString& folder, const QString& file, const QByteArray& text) {
        const QString path = folder + u'/' + file;
        QDir().mkpath(QFileInfo(path).absolutePath());
        testsupport::writeAll(path, text);
    }
    // A plain application entry, with more keys appended.
    void app(const QString& folder, const QString& file, const QByteArray& name,
             const QByteArray& more = {}) {
        write(folder, file,
              "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\n" + more);
    }

    testsupport::TempDir dir;
};

TEST_F(DesktopEntriesTest, NamesAWindowByItsClass) {
    app(system(), QStringLiteral("org.example.Painter.desktop"), "Painter",
        "StartupWMClass=PaintMe\n");
    app(system(), QStringLiteral("display-im6.q16.desktop"), "ImageMagick (color depth=q16)");
    app(system(), QStringLiteral("gimp.desktop"), "GNU Image Manipulation Program");
    // Matches by file name, yet another file claims the class outright.
    app(system(), QStringLiteral("term.desktop"), "Not This One");
    app(system(), QStringLiteral("xterm-wrapper.desktop"), "Terminal", "StartupWMClass=Term\n");
    app(system(), QStringLiteral("kde/kwrite.desktop"), "KWrite");
    app(system(), QStringLiteral("Nameless.desktop"), "");
    write(system(), QStringLiteral("site.desktop"),
          "[Desktop Entry]\nType=Link\nName=A Web Site\nURL=https://example.org\n");
    const DesktopEntries entries(folders());

    struct Case {
        const char* what;
        QString className, instanceName;
        QString name;
    };
    const Case cases[] = {
        {"StartupWMClass equals the class", "PaintMe", "painter-bin", "Painter"},
        {"StartupWMClass equals the instance", "Other", "PaintMe", "Painter"},
        {"StartupWMClass ignores case", "paintme", "x", "Painter"},
        {"the class is the file's name, in another case", "Display-im6.q16", "display-im6.q16",
         "ImageMagick (color depth=q16)"},
        {"the instance is the file's name", "Gimp-2.10", "gimp", "GNU Image Manipulation Program"},
        {"StartupWMClass wins over a file name", "Term", "term", "Terminal"},
        {"a file in a subfolder has the folder in its id", "kde-kwrite", "", "KWrite"},
        {"no file: the class", "Xclock", "xclock", "Xclock"},
        {"no Name: not an application", "Nameless", "nameless", "Nameless"},
        {"a link is not an application", "site", "site", "site"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(entries.applicationName(c.className, c.instanceName), c.name) << c.what;
    }
    EXPECT_EQ(entries.forWindowClass(QStringLiteral("Xclock"), QStringLiteral("xclock")), nullptr);
    EXPECT_EQ(entries.applicationName({}, {}), QString()) << "no WM_CLASS at all";
}

TEST_F(DesktopEntriesTest, TheUsersFolderWinsAndHiddenDeletes) {
    app(home(), QStringLiteral("editor.desktop"), "My Editor");
    app(system(), QStringLiteral("editor.desktop"), "Editor");
    // A hidden copy in the user's folder deletes the system's application.
    write(home(), QStringLiteral("viewer.desktop"),
          "[Desktop Entry]\nType=Application\nName=Viewer\nHidden=true\n");
    app(system(), QStringLiteral("viewer.desktop"), "Viewer");
    // Hidden alone, with a claim on a class.
    app(system(), QStringLiteral("gone.desktop"), "Gone", "StartupWMClass=Ghost\nHidden=true\n");
    // The same class claimed in both folders.
    app(home(), QStringLiteral("mine.desktop"), "Mine", "StartupWMClass=Shared\n");
    app(system(), QStringLiteral("theirs.desktop"), "Theirs", "StartupWMClass=Shared\n");
    const DesktopEntries entries(folders());

    EXPECT_EQ(entries.applicationName(QStringLiteral("Editor"), QStringLiteral("editor")),
              QStringLiteral("My Editor"));
    EXPECT_EQ(entries.applicationName(QStringLiteral("Viewer"), QStringLiteral("viewer")),
              QStringLiteral("Viewer"))
        << "the class itself, not the deleted file's Name";
    EXPECT_EQ(entries.forWindowClass(QStringLiteral("Viewer"), QStringLiteral("viewer")), nullptr);
    EXPECT_EQ(entries.forWindowClass(QStringLiteral("Ghost"), QStringLiteral("ghost")), nullptr);
    EXPECT_EQ(entries.applicationName(QStringLiteral("Shared"), {}), QStringLiteral("Mine"));

    // The other way round, the system's file counts.
    const DesktopEntries reversed({system(), home()});
    EXPECT_EQ(reversed.applicationName(QStringLiteral("Editor"), {}), QStringLiteral("Editor"));
    EXPECT_EQ(reversed.applicationName(QStringLiteral("Shared"), {}), QStringLiteral("Theirs"));
}

TEST_F(DesktopEntriesTest, ReadsOnlyTheEntryGroupWithItsEscapesAndLanguages) {
    write(system(), QStringLiteral("notes.desktop"),
          "# comment\n"
          "[Desktop Entry]\n"
          "Type = Application\n"
          "Name = Quick\\sNotes\n"
          "Name[de] = Schnelle Notizen\n"
          "Name[de_AT] = Notizerl\n"
          "StartupWMClass=QuickNotes\n"
          "\n"
          "[Desktop Action new]\n"
          "Name=New Note\n"
          "StartupWMClass=Elsewhere\n");
    EXPECT_EQ(DesktopEntries(folders()).applicationName(QStringLiteral("QuickNotes"), {}),
              QStringLiteral("Quick Notes"));
    EXPECT_EQ(DesktopEntries(folders()).forWindowClass(QStringLiteral("Elsewhere"), {}), nullptr);
    EXPECT_EQ(DesktopEntries(folders(), QStringLiteral("de_DE"))
                  .applicationName(QStringLiteral("QuickNotes"), {}),
              QStringLiteral("Schnelle Notizen"));
    EXPECT_EQ(DesktopEntries(folders(), QStringLiteral("de_AT"))
                  .applicationName(QStringLiteral("QuickNotes"), {}),
              QStringLiteral("Notizerl"));
    EXPECT_EQ(DesktopEntries(folders(), QStringLiteral("fr_FR"))
                  .applicationName(QStringLiteral("QuickNotes"), {}),
              QStringLiteral("Quick Notes"));
}

// Sets environment variables for one test and puts them back after it.
class Environment {
public:
    void set(const char* name, const std::optional<QByteArray>& value) {
        saved_.push_back({name, qEnvironmentVariableIsSet(name)
                                    ? std::optional<QByteArray>(qgetenv(name))
                                    : std::nullopt});
        value ? qputenv(name, *value) : qunsetenv(name);
    }
    ~Environment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            it->second ? qputenv(it->first, *it->second) : qunsetenv(it->first);
        }
    }

private:
    std::vector<std::pair<const char*, std::optional<QByteArray>>> saved_;
};

TEST_F(DesktopEntriesTest, FoldersComeFromTheXdgVariables) {
    Environment environment;
    environment.set("XDG_DATA_HOME", QByteArray("/data/home"));
    environment.set("XDG_DATA_DIRS", QByteArray("/one:/two/:/one:relative"));
    EXPECT_EQ(DesktopEntries::applicationFolders(),
              (QStringList{"/data/home/applications", "/one/applications", "/two/applications"}));

    environment.set("XDG_DATA_HOME", std::nullopt);
    environment.set("XDG_DATA_DIRS", std::nullopt);
    EXPECT_EQ(DesktopEntries::applicationFolders(),
              (QStringList{QDir::homePath() + "/.local/share/applications",
                           "/usr/local/share/applications", "/usr/share/applications"}));
}

TEST_F(DesktopEntriesTest, TheCurrentTableFollowsTheFolders) {
    Environment environment;
    environment.set("XDG_DATA_HOME", (dir.path() + QStringLiteral("/home")).toUtf8());
    environment.set("XDG_DATA_DIRS", (dir.path() + QStringLiteral("/system")).toUtf8());
    app(system(), QStringLiteral("first.desktop"), "First");
    EXPECT_EQ(DesktopEntries::current().applicationName(QStringLiteral("First"), {}),
              QStringLiteral("First"));

    // Another folder list: read again.
    app(dir.path() + QStringLiteral("/other/applications"), QStringLiteral("first.desktop"),
        "First Elsewhere");
    environment.set("XDG_DATA_DIRS", (dir.path() + QStringLiteral("/other")).toUtf8());
    EXPECT_EQ(DesktopEntries::current().applicationName(QStringLiteral("First"), {}),
              QStringLiteral("First Elsewhere"));
}

} // namespace
} // namespace platform
