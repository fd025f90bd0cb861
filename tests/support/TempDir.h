#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <optional>

namespace testsupport {

// A temporary folder that lives as long as the test that made it.
class TempDir {
public:
    TempDir() : dir_(QDir::tempPath() + QStringLiteral("/vexlin-test-XXXXXX")) {}
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

// Points the temporary folder (TMPDIR, and so QDir::tempPath()) at `path` for
// the life of the object, so that what code writes there can be inspected and
// goes away with the test's own folder.
class TempPathOverride {
public:
    explicit TempPathOverride(const QString& path);
    ~TempPathOverride();
    TempPathOverride(const TempPathOverride&) = delete;
    TempPathOverride& operator=(const TempPathOverride&) = delete;

private:
    std::optional<QByteArray> old_;
};

QByteArray readAll(const QString& path);
void writeAll(const QString& path, const QByteArray& bytes);

} // namespace testsupport
