#pragma once

#include "app/RecentFile.h"

#include <QImage>
#include <QObject>

#include <functional>
#include <optional>
#include <vector>

namespace delivery {

// What the recent-captures strip reads and asks of the listing it shows. The
// program's one is RecentCaptures::shared(); tests give the strip their own.
// Main thread only.
class RecentLibrary : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Newest first.
    virtual const std::vector<app::RecentFile>& files() const = 0;
    // Whether the save folder could be read.
    virtual bool isAccessible() const = 0;

    // The file's thumbnail for a 120 × 76-point tile at `scale` pixels per
    // point; a null image when none can be made. `done` runs later on the
    // main thread, and not at all once `context` is gone.
    virtual void thumbnail(const app::RecentFile& file, double scale, const QObject* context,
                           std::function<void(const QImage& image)> done) = 0;
    // A video's length in seconds; none for images, GIFs and unreadable
    // videos. `done` as for thumbnail.
    virtual void duration(const app::RecentFile& file, const QObject* context,
                          std::function<void(std::optional<double> seconds)> done) = 0;

    // Moves the file to the trash (a beep when that fails) and lists again.
    virtual void moveToTrash(const app::RecentFile& file) = 0;
    // Puts the file on the clipboard: a readable image as an image with its
    // path, anything else as the file itself.
    virtual void copy(const app::RecentFile& file) = 0;

Q_SIGNALS:
    void filesChanged();
    void isAccessibleChanged();
};

} // namespace delivery
