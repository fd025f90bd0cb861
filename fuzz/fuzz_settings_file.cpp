// The settings file as the store loads it: any bytes load without a crash and
// with every repaired setting in range; setting one key changes that key's
// entry alone, and the file then reads back the value that was set.
#include "FuzzApplication.h"
#include "app/Preferences.h"
#include "app/SettingsFile.h"

#include <QFile>
#include <QMetaProperty>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

QString scratchFolder() {
    static const QString folder = [] {
        // Each input writes its file atomically, flushed to the disk; on a disk
        // that is most of an input's time, in memory (/dev/shm) next to none.
        QByteArray base = QByteArrayLiteral("/dev/shm");
        if (::access(base.constData(), W_OK) != 0) {
            base = qgetenv("TMPDIR");
            base = base.isEmpty() ? QByteArray("/tmp") : base;
        }
        QByteArray name = base + "/vexlin-fuzz-XXXXXX";
        const char* made = ::mkdtemp(name.data());
        // Every input's files are removed after it; the folder goes at exit.
        // Its name is kept in plain bytes: the handler runs after the
        // QString's destructor.
        static char kept[4096] = {};
        std::snprintf(kept, sizeof kept, "%s", made ? made : "");
        std::atexit([] { ::rmdir(kept); });
        // A write checks what the reader makes of the edited file through a
        // temporary file of its own: in memory too.
        if (made) {
            qputenv("TMPDIR", made);
        }
        return QString::fromLocal8Bit(made);
    }();
    return folder;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

#define check(c) checkAt(c, __LINE__)
void checkAt(bool condition, int line) {
    if (!condition) {
        std::fprintf(stderr, "check failed at line %d\n", line);
        std::abort();
    }
}

} // namespace

VEXLIN_FUZZ_WITH_APPLICATION

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using app::Preferences;
    const QByteArray ini(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // A new name each time: QSettings keeps parsed files by name.
    static int run = 0;
    const QString path = scratchFolder() + QStringLiteral("/%1.conf").arg(++run);
    {
        QFile file(path);
        check(file.open(QIODevice::WriteOnly) && file.write(ini) == ini.size());
    }
    {
        Preferences p(path);
        // Every number loads within its rule: one of its values, or its range.
        const QList<app::SettingDescriptor>& settings = Preferences::declarations();
        for (const app::SettingDescriptor& setting : settings) {
            if (setting.kind == app::SettingKind::integer) {
                const qint64 n = p.property(setting.key.toLatin1()).toLongLong();
                check(setting.rule.repaired(n, n + 1) == n);
            }
        }

        // One setting, picked by the input, set to another value where it has
        // one (a boolean flips) or written back as loaded.
        const app::SettingDescriptor& setting =
            settings[static_cast<qsizetype>(size % static_cast<std::size_t>(settings.size()))];
        const QByteArray name = setting.key.toLatin1();
        QVariant value = p.property(name);
        if (setting.kind == app::SettingKind::boolean) {
            value = !value.toBool();
        }
        check(p.setProperty(name, value));
        const QByteArray after = readFile(path);

        // Every other entry is as it was. A file without a General section
        // gets its header first; a last line without a line break gets one.
        using app::settingsFile::withValue;
        const QByteArray others = withValue(after, setting.key, QVariant());
        const QByteArray before = withValue(ini, setting.key, QVariant());
        check(others == before || others == before + '\n' || others == "[General]\n" + before ||
              others == "[General]\n\n" + before);
        // And the file gives the value back.
        // (Under another name: QSettings would answer from its parse of the
        // file before the change when the size and time did not change.)
        const QString moved = path + QStringLiteral(".again");
        check(QFile::rename(path, moved));
        const Preferences again(moved);
        check(again.property(name) == value);
        QFile::remove(moved);
    }
    return 0;
}
