#pragma once

// For test programs that link the delivery library.
#include "app/RecentFile.h"
#include "delivery/RecentLibrary.h"

#include <QDateTime>
#include <QImage>
#include <QPointer>

#include <functional>
#include <optional>
#include <vector>

namespace testsupport {

// A listing whose files the test sets. Thumbnails and lengths are asked for
// and answered only when the test says, in the order asked; copies and
// trashes are recorded.
class FakeRecentLibrary : public delivery::RecentLibrary {
public:
    struct Request {
        enum class What { thumbnail, duration };
        What what;
        app::RecentFile file;
        double scale = 0; // thumbnails only
        QPointer<const QObject> context;
        std::function<void(const QImage&)> thumbnailDone;
        std::function<void(std::optional<double>)> durationDone;
        bool answered = false;
    };

    const std::vector<app::RecentFile>& files() const override { return files_; }
    bool isAccessible() const override { return accessible_; }

    void setFiles(std::vector<app::RecentFile> files) {
        files_ = std::move(files);
        Q_EMIT filesChanged();
    }
    void setAccessible(bool accessible) {
        accessible_ = accessible;
        Q_EMIT isAccessibleChanged();
    }

    void thumbnail(const app::RecentFile& file, double scale, const QObject* context,
                   std::function<void(const QImage& image)> done) override {
        requests.push_back({Request::What::thumbnail, file, scale, context, std::move(done), {}});
    }
    void duration(const app::RecentFile& file, const QObject* context,
                  std::function<void(std::optional<double> seconds)> done) override {
        requests.push_back({Request::What::duration, file, 0, context, {}, std::move(done)});
    }
    void moveToTrash(const app::RecentFile& file) override { trashed.push_back(file); }
    void copy(const app::RecentFile& file) override { copied.push_back(file); }

    // The requests of one kind, in the order they came.
    std::vector<Request*> asked(Request::What what) {
        std::vector<Request*> found;
        for (Request& request : requests) {
            if (request.what == what) {
                found.push_back(&request);
            }
        }
        return found;
    }
    // Answers the oldest open request for `path` of that kind, as the real
    // listing does: not once its context is gone. False when none is open.
    bool answerThumbnail(const QString& path, const QImage& image) {
        return answer(Request::What::thumbnail, path, [&](Request& r) { r.thumbnailDone(image); });
    }
    bool answerDuration(const QString& path, std::optional<double> seconds) {
        return answer(Request::What::duration, path, [&](Request& r) { r.durationDone(seconds); });
    }

    std::vector<Request> requests;
    std::vector<app::RecentFile> trashed;
    std::vector<app::RecentFile> copied;

private:
    bool answer(Request::What what, const QString& path,
                const std::function<void(Request&)>& call) {
        for (std::size_t i = 0; i < requests.size(); ++i) {
            Request& request = requests[i];
            if (request.what == what && request.file.path == path && !request.answered) {
                request.answered = true;
                if (request.context) {
                    // Copied: the answer may add requests and move the list.
                    Request copy = request;
                    call(copy);
                }
                return true;
            }
        }
        return false;
    }

    std::vector<app::RecentFile> files_;
    bool accessible_ = true;
};

inline app::RecentFile recentFile(const QString& path, app::RecentFile::Kind kind,
                                  QDateTime date = QDateTime(QDate(2026, 12, 10), QTime(19, 55))) {
    return app::RecentFile{path, date, kind};
}

} // namespace testsupport
