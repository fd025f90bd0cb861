// The desktop's default application for a MIME type, from mimeapps.list
// files and mimeinfo.cache, over a folder of the test's own.
#include "platform/DefaultApplications.h"

#include "support/TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

using testsupport::writeAll;

TEST(DefaultApplications, NamesTheFirstInstalledChoice) {
    testsupport::TempDir dir;
    const QString apps = dir.file("apps");
    QDir().mkpath(apps);
    QDir().mkpath(dir.file("user"));
    QDir().mkpath(dir.file("system"));
    writeAll(apps + "/viewer.desktop",
             "[Desktop Entry]\nType=Application\nName=Picture Viewer\nExec=viewer\n");
    writeAll(apps + "/paint.desktop", "[Desktop Entry]\nType=Application\nName=Paint\nExec=p\n");
    writeAll(apps + "/player.desktop", "[Desktop Entry]\nType=Application\nName=Player\nExec=x\n");
    writeAll(dir.file("user/mimeapps.list"),
             "[Added Associations]\nimage/png=player.desktop;\n"
             "[Default Applications]\nimage/png=removed.desktop;paint.desktop\n");
    writeAll(dir.file("system/mimeapps.list"),
             "[Default Applications]\nimage/png=viewer.desktop\nimage/jpeg=viewer.desktop\n");
    writeAll(apps + "/mimeinfo.cache",
             "[MIME Cache]\nimage/png=viewer.desktop;\nvideo/mp4=gone.desktop;player.desktop;\n");
    const platform::DesktopEntries entries({apps});
    const QStringList lists{dir.file("user/mimeapps.list"), dir.file("system/mimeapps.list")};

    struct Case {
        const char* type;
        const char* expected;
    };
    const Case cases[] = {
        // The user's list before the system's; an uninstalled choice skipped;
        // associations that are not defaults do not count.
        {"image/png", "Paint"},
        {"image/jpeg", "Picture Viewer"},
        // No default anywhere: the first installed one of the cache.
        {"video/mp4", "Player"},
        {"text/plain", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(
            QString::fromUtf8(c.expected),
            platform::defaultApplicationName(QString::fromUtf8(c.type), lists, {apps}, entries));
    }
}
