#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

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

QByteArray readAll(const QString& path);
void writeAll(const QString& path, const QByteArray& bytes);

} // namespace testsupport
