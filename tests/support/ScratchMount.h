#pragma once

#include <QString>

#include <optional>

namespace testsupport {

// A tiny tmpfs of its own, to act out a full disk or a read-only volume.
// Mounting needs root; without it, or where mounting is refused, make()
// gives nothing and the test skips.
class ScratchMount {
public:
    static std::optional<ScratchMount> make(const QString& at, int kilobytes);
    ScratchMount(ScratchMount&& other) noexcept;
    ScratchMount& operator=(ScratchMount&&) = delete;
    ~ScratchMount();

    QString path() const { return path_; }
    // Remounts read-only; the files on it stay.
    bool makeReadOnly();

private:
    explicit ScratchMount(QString path) : path_(std::move(path)) {}
    QString path_;
};

} // namespace testsupport
