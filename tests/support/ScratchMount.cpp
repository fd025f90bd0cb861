#include "support/ScratchMount.h"

#include <QDir>
#include <QFile>

#include <sys/mount.h>
#include <unistd.h>

namespace testsupport {

std::optional<ScratchMount> ScratchMount::make(const QString& at, int kilobytes) {
    if (::geteuid() != 0 || !QDir().mkpath(at)) {
        return std::nullopt;
    }
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k";
    if (::mount("tmpfs", QFile::encodeName(at).constData(), "tmpfs", 0, options.constData()) != 0) {
        return std::nullopt;
    }
    return ScratchMount(at);
}

ScratchMount::ScratchMount(ScratchMount&& other) noexcept : path_(std::move(other.path_)) {
    other.path_.clear();
}

ScratchMount::~ScratchMount() {
    if (!path_.isEmpty()) {
        ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
    }
}

bool ScratchMount::makeReadOnly() {
    return ::mount(nullptr, QFile::encodeName(path_).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                   nullptr) == 0;
}

} // namespace testsupport
