#include "support/TempDir.h"

#include <QFile>
#include <stdexcept>

namespace testsupport {

TempPathOverride::TempPathOverride(const QString& path) {
    if (qEnvironmentVariableIsSet("TMPDIR")) {
        old_ = qgetenv("TMPDIR");
    }
    qputenv("TMPDIR", QFile::encodeName(path));
}

TempPathOverride::~TempPathOverride() {
    if (old_) {
        qputenv("TMPDIR", *old_);
    } else {
        qunsetenv("TMPDIR");
    }
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + path.toStdString());
    }
    return file.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

} // namespace testsupport
