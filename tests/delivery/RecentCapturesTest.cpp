#include "delivery/RecentCaptures.h"

#include "app/Preferences.h"
#include "app/Recording.h"
#include "app/SaveLocation.h"
#include "platform/MainThread.h"
#include "support/EventLoop.h"
#include "support/ManualScheduler.h"
#include "support/MovieClips.h"
#include "support/TempDir.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStorageInfo>

#include <gtest/gtest.h>

#include <atomic>

#include <unistd.h>

namespace {

using app::RecentFile;
using delivery::RecentCaptures;
using testsupport::pump;
using testsupport::waitFor;
using namespace std::chrono_literals;

// The debounce's clock, counting the requests made of it: each one is a
// folder event that arrived.
class CountingScheduler : public testsupport::ManualScheduler {
public:
    desktop::ScheduledCallPtr after(ms delay, std::function<void()> call) override {
        ++requests;
        return ManualScheduler::after(delay, std::move(call));
    }
    int requests = 0;
};

void touch(const QString& path, const QDateTime& date = QDateTime(),
           const QByteArray& bytes = "x") {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    if (date.isValid()) {
        file.flush();
        file.setFileTime(date, QFileDevice::FileModificationTime);
    }
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage filled(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image;
}

QString names(const std::vector<RecentFile>& files) {
    QStringList list;
    for (const RecentFile& file : files) {
        list << QFileInfo(file.path).fileName();
    }
    return list.join(QLatin1Char('|'));
}

class RecentCapturesTest : public ::testing::Test {
protected:
    RecentCapturesTest() {
        QDir().mkpath(folder);
        preferences.setSaveFolderBookmark(folder.toUtf8());
        recent = std::make_unique<RecentCaptures>(services());
    }
    ~RecentCapturesTest() override { recent.reset(); }

    RecentCaptures::Services services(RecentCaptures::Listing list = {}) {
        if (!list) {
            list = [](const QString& at, std::size_t limit) {
                return app::listRecentFiles(at, limit);
            };
        }
        return {&scheduler,
                [this, list](const QString& at, std::size_t limit) {
                    ++calls;
                    if (platform::onMainThread()) {
                        listedOnMainThread = true;
                    }
                    auto listed = list(at, limit);
                    ++done;
                    return listed;
                },
                [this] { ++beeps; }};
    }

    // Does `action` and waits until the listing it starts is published.
    template <typename Action> void listedAfter(Action action) {
        const int before = done;
        action();
        ASSERT_TRUE(waitFor(10'000, [&] { return done > before; }));
        pump(30);
    }
    void openEditor() {
        listedAfter([&] { recent->editorOpened(); });
    }
    void relist() {
        listedAfter([&] { recent->refresh(); });
    }

    QString file(const QString& name) const { return folder + QLatin1Char('/') + name; }
    RecentFile listed(const QString& name) const {
        for (const RecentFile& entry : recent->files()) {
            if (QFileInfo(entry.path).fileName() == name) {
                return entry;
            }
        }
        ADD_FAILURE() << name.toStdString() << " is not listed";
        return {};
    }

    QImage thumbnailOf(const RecentFile& entry, double scale) {
        std::optional<QImage> answer;
        recent->thumbnail(entry, scale, recent.get(), [&](const QImage& image) { answer = image; });
        EXPECT_TRUE(waitFor(10'000, [&] { return answer.has_value(); }));
        return answer.value_or(QImage());
    }
    std::optional<double> durationOf(const RecentFile& entry) {
        std::optional<std::optional<double>> answer;
        recent->duration(entry, recent.get(),
                         [&](std::optional<double> seconds) { answer = seconds; });
        EXPECT_TRUE(waitFor(10'000, [&] { return answer.has_value(); }));
        return answer.value_or(std::nullopt);
    }

    testsupport::TempDir dir;
    const QString folder = dir.file(QStringLiteral("Captures"));
    app::Preferences preferences{dir.file(QStringLiteral("settings.conf"))};
    app::SaveLocation::ScopedServices location{{&preferences, {}}};
    CountingScheduler scheduler;
    std::atomic<int> calls{0}, done{0};
    std::atomic<bool> listedOnMainThread{false};
    int beeps = 0;
    std::unique_ptr<RecentCaptures> recent;
};

TEST_F(RecentCapturesTest, ListsCaptureFilesOnlyNewestFirst) {
    const QDateTime noon(QDate(2025, 3, 1), QTime(12, 0));
    const struct {
        const char* name;
        int age; // seconds before noon
        std::optional<RecentFile::Kind> kind;
    } cases[] = {
        {"Shot.PNG", 0, RecentFile::Kind::image},
        {"clip.MOV", 10, RecentFile::Kind::video},
        {"loop.gif", 20, RecentFile::Kind::gif},
        {"Capture.png", 30, RecentFile::Kind::image},
        {"Capture (2).png", 30, RecentFile::Kind::image},
        {"scan.tiff", 0, std::nullopt},
        {"README", 0, std::nullopt},
        {".hidden.png", 0, std::nullopt},
    };
    for (const auto& c : cases) {
        touch(file(QLatin1String(c.name)), noon.addSecs(-c.age));
    }
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("folder.png")));
    ASSERT_TRUE(QFile::link(file(QStringLiteral("Shot.PNG")), file(QStringLiteral("link.png"))));

    openEditor();
    EXPECT_EQ(names(recent->files()).toStdString(),
              "Shot.PNG|clip.MOV|loop.gif|Capture (2).png|Capture.png");
    for (const auto& c : cases) {
        if (c.kind) {
            EXPECT_EQ(listed(QLatin1String(c.name)).kind, *c.kind) << c.name;
            EXPECT_EQ(listed(QLatin1String(c.name)).date, noon.addSecs(-c.age)) << c.name;
        }
    }
    EXPECT_TRUE(recent->isAccessible());
    EXPECT_FALSE(listedOnMainThread);
}

TEST_F(RecentCapturesTest, KeepsTheSixtyNewest) {
    const QDateTime start(QDate(2025, 3, 1), QTime(12, 0));
    for (int i = 0; i < 61; ++i) {
        touch(file(QStringLiteral("shot %1.png").arg(i)), start.addSecs(i));
    }
    openEditor();
    ASSERT_EQ(recent->files().size(), 60u);
    EXPECT_EQ(QFileInfo(recent->files().front().path).fileName(), "shot 60.png");
    EXPECT_EQ(QFileInfo(recent->files().back().path).fileName(), "shot 1.png");
}

TEST_F(RecentCapturesTest, ALaterRefreshWinsOverAnOlderListingThatFinishesLast) {
    QSemaphore gate;
    std::atomic<int> started{0};
    recent = std::make_unique<RecentCaptures>(services(
        [&](const QString& at, std::size_t limit) -> std::optional<std::vector<RecentFile>> {
            if (++started == 1) {
                gate.acquire(); // the first listing is slow
                return std::vector<RecentFile>{*RecentFile::make(at + QStringLiteral("/stale.png"),
                                                                 QDateTime::currentDateTime())};
            }
            return app::listRecentFiles(at, limit);
        }));
    touch(file(QStringLiteral("fresh.png")));

    recent->refresh();
    ASSERT_TRUE(waitFor(5000, [&] { return started == 1; }));
    relist();
    EXPECT_EQ(names(recent->files()), "fresh.png");

    gate.release();
    ASSERT_TRUE(waitFor(5000, [&] { return done == 2; }));
    pump(50);
    EXPECT_EQ(names(recent->files()), "fresh.png");
}

TEST_F(RecentCapturesTest, AFolderEventBurstListsOnce300msAfterTheLast) {
    openEditor();
    ASSERT_TRUE(recent->isWatching());
    const int before = calls;

    // Ten files within 0.2 s.
    for (int i = 0; i < 10; ++i) {
        if (i > 0) {
            scheduler.advance(20ms);
        }
        const int requests = scheduler.requests;
        touch(file(QStringLiteral("burst %1.png").arg(i)));
        ASSERT_TRUE(waitFor(2000, [&] { return scheduler.requests > requests; })) << i;
        pump(20); // the rest of this file's events
    }
    scheduler.advance(299ms);
    pump(50);
    EXPECT_EQ(calls, before);
    listedAfter([&] { scheduler.advance(1ms); });
    EXPECT_EQ(calls, before + 1);
    EXPECT_EQ(recent->files().size(), 10u);

    // A refresh for another reason while a debounced one waits replaces it.
    const int requests = scheduler.requests;
    touch(file(QStringLiteral("late.png")));
    ASSERT_TRUE(waitFor(2000, [&] { return scheduler.requests > requests; }));
    relist();
    scheduler.advance(1s);
    pump(50);
    EXPECT_EQ(calls, before + 2);
    EXPECT_EQ(recent->files().size(), 11u);
}

TEST_F(RecentCapturesTest, EditorsKeepTheFolderWatched) {
    QSignalSpy counted(recent.get(), &RecentCaptures::openEditorsChanged);
    touch(file(QStringLiteral("a.png")));
    openEditor();
    openEditor();
    EXPECT_EQ(recent->openEditors(), 2);
    EXPECT_TRUE(recent->observesFolderSetting());
    EXPECT_TRUE(recent->isWatching());
    recent->editorClosed();
    EXPECT_TRUE(recent->isWatching());
    recent->editorClosed();
    EXPECT_FALSE(recent->isWatching());
    recent->editorClosed(); // one close too many stays at 0
    EXPECT_EQ(recent->openEditors(), 0);
    EXPECT_EQ(counted.count(), 4);

    // Unwatched, a new file waits for the next editor; the access stays.
    const int requests = scheduler.requests;
    touch(file(QStringLiteral("b.png")));
    pump(100);
    EXPECT_EQ(scheduler.requests, requests);
    EXPECT_EQ(names(recent->files()), "a.png");
    ASSERT_TRUE(recent->access());
    openEditor();
    EXPECT_EQ(recent->files().size(), 2u);
    EXPECT_TRUE(recent->isWatching());
}

TEST_F(RecentCapturesTest, AFolderMovedAwayEndsTheWatchAndTheListingStaysOnItsPath) {
    touch(file(QStringLiteral("a.png")));
    openEditor();
    ASSERT_TRUE(recent->isWatching());

    ASSERT_TRUE(QDir().rename(folder, folder + QStringLiteral(" old")));
    ASSERT_TRUE(waitFor(2000, [&] { return !recent->isWatching(); }));
    // A path does not follow the folder: the setting still names the old
    // path, where nothing is left to list.
    listedAfter([&] { scheduler.advance(300ms); });
    EXPECT_TRUE(recent->files().empty());
    EXPECT_FALSE(recent->isAccessible());
    EXPECT_FALSE(recent->access());
    EXPECT_FALSE(recent->isWatching());

    // The next refresh starts over there, making the folder again.
    relist();
    ASSERT_TRUE(recent->access());
    EXPECT_EQ(recent->access()->url, folder);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(recent->isAccessible());
    EXPECT_TRUE(recent->isWatching());
}

TEST_F(RecentCapturesTest, AFolderThatCannotBeListedIsLetGoUntilTheSettingChanges) {
    const QString blocked = dir.file(QStringLiteral("Blocked"));
    const struct {
        const char* how;
        std::function<void()> make;
        bool needsPermissions;
    } cases[] = {
        {"a file in its place", [&] { touch(blocked); }, false},
        {"no permission to read it",
         [&] {
             QDir().mkpath(blocked);
             QFile::setPermissions(blocked, QFileDevice::WriteOwner);
         },
         true},
    };
    for (const auto& c : cases) {
        if (c.needsPermissions && ::geteuid() == 0) {
            continue; // permissions do not hold back the superuser
        }
        SCOPED_TRACE(c.how);
        recent = std::make_unique<RecentCaptures>(services());
        preferences.setSaveFolderBookmark(folder.toUtf8());
        touch(file(QStringLiteral("a.png")));
        openEditor();
        ASSERT_EQ(recent->files().size(), 1u);

        c.make();
        listedAfter([&] { preferences.setSaveFolderBookmark(blocked.toUtf8()); });
        EXPECT_TRUE(recent->files().empty());
        EXPECT_FALSE(recent->isAccessible());
        EXPECT_FALSE(recent->access());
        EXPECT_FALSE(recent->isWatching());

        const QString other = dir.file(QStringLiteral("Other"));
        QDir().mkpath(other);
        touch(other + QStringLiteral("/b.png"));
        listedAfter([&] { preferences.setSaveFolderBookmark(other.toUtf8()); });
        EXPECT_EQ(names(recent->files()), "b.png");
        EXPECT_TRUE(recent->isAccessible());
        EXPECT_TRUE(recent->isWatching());

        // No folder at all is no complaint.
        preferences.setSaveFolderBookmark(std::nullopt);
        pump(30);
        EXPECT_TRUE(recent->files().empty());
        EXPECT_TRUE(recent->isAccessible());
        EXPECT_FALSE(recent->access());

        QFile::setPermissions(blocked, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner);
        QFile::remove(blocked);
        QDir(blocked).removeRecursively();
    }
}

TEST_F(RecentCapturesTest, NewestCaptureIsTheNewestImage) {
    const QDateTime now = QDateTime::currentDateTime();
    const auto newest = [&] {
        std::optional<std::optional<QString>> answer;
        recent->newestCapture([&](std::optional<QString> path) { answer = path; });
        EXPECT_FALSE(answer) << "answers later";
        EXPECT_TRUE(waitFor(5000, [&] { return answer.has_value(); }));
        return answer.value_or(std::nullopt);
    };
    touch(file(QStringLiteral("clip.mp4")), now.addSecs(-10));
    touch(file(QStringLiteral("loop.gif")), now.addSecs(-5));
    EXPECT_EQ(newest(), std::nullopt);

    touch(file(QStringLiteral("older.png")), now.addSecs(-60));
    touch(file(QStringLiteral("old.jpg")), now.addSecs(-30));
    EXPECT_EQ(newest(), file(QStringLiteral("old.jpg")));
    // Without an editor nothing is watched, and the list is not touched.
    EXPECT_FALSE(recent->isWatching());
    EXPECT_TRUE(recent->files().empty());
    EXPECT_FALSE(listedOnMainThread);

    preferences.setSaveFolderBookmark(std::nullopt);
    EXPECT_EQ(newest(), std::nullopt);
}

TEST_F(RecentCapturesTest, ThumbnailsFitTheTileAtTheScale) {
    QByteArray noise(5000, '\0');
    for (int i = 0; i < noise.size(); ++i) {
        noise[i] = char(i * 131);
    }
    const QByteArray png = encoded(filled(400, 200), "PNG");
    touch(file(QStringLiteral("wide.png")), {}, png);
    touch(file(QStringLiteral("tall.jpg")), {}, encoded(filled(300, 600), "JPEG"));
    touch(file(QStringLiteral("tiny.png")), {}, encoded(filled(10, 10), "PNG"));
    // A 1×1 GIF; Qt reads GIFs but does not write them.
    touch(file(QStringLiteral("dot.gif")), {},
          QByteArray("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00,\x00\x00\x00\x00"
                     "\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                     35));
    touch(file(QStringLiteral("Shot.heic")), {}, png);
    touch(file(QStringLiteral("broken.png")), {}, png.left(60) + noise);
    touch(file(QStringLiteral("broken.mp4")), {}, noise);
    ASSERT_TRUE(testsupport::makeMovieClip(file(QStringLiteral("clip.mp4")),
                                           {.seconds = 1, .size = {320, 180}}));
    openEditor();

    const struct {
        const char* name;
        double scale;
        QSize size; // empty: no thumbnail
        Qt::GlobalColor colour = Qt::darkCyan;
    } cases[] = {
        {"wide.png", 1, {120, 60}},      {"wide.png", 2, {120, 60}}, // the one made first, kept
        {"tall.jpg", 2, {76, 152}},      {"tiny.png", 1, {10, 10}},  // never enlarged
        {"dot.gif", 1, {1, 1}, Qt::red}, {"clip.mp4", 1, {120, 67}, Qt::red}, // its first frame
        {"broken.png", 1, {}},           {"broken.mp4", 1, {}},
    };
    for (const auto& c : cases) {
        const QImage image = thumbnailOf(listed(QLatin1String(c.name)), c.scale);
        EXPECT_EQ(image.isNull() ? QSize() : image.size(), c.size) << c.name << " at " << c.scale;
        if (!image.isNull()) {
            const QColor centre = image.pixelColor(image.rect().center());
            const QColor want(c.colour);
            EXPECT_LT(std::abs(centre.red() - want.red()) +
                          std::abs(centre.green() - want.green()) +
                          std::abs(centre.blue() - want.blue()),
                      60)
                << c.name << " shows " << centre.name().toStdString();
        }
    }

    // A HEIC file: its picture where Qt reads HEIC here, else its icon in
    // the middle of a tile that lets the tile's own fill show around it.
    const QImage heic = thumbnailOf(listed(QStringLiteral("Shot.heic")), 2);
    ASSERT_FALSE(heic.isNull());
    if (QImageReader::supportedImageFormats().contains("heic")) {
        EXPECT_EQ(heic.size(), QSize(240, 120));
    } else {
        EXPECT_EQ(heic.size(), QSize(240, 152));
        EXPECT_EQ(heic.devicePixelRatio(), 2.0);
        EXPECT_EQ(heic.pixelColor(2, 2).alpha(), 0) << "transparent around the icon";
        int inked = 0;
        for (int y = 28; y < 124; ++y) {
            for (int x = 72; x < 168; ++x) {
                inked += heic.pixelColor(x, y).alpha() > 128 ? 1 : 0;
            }
        }
        EXPECT_GT(inked, 300) << "an icon in the middle";
    }

    // Kept while the file is listed; a file changed in place is made anew.
    const RecentFile wide = listed(QStringLiteral("wide.png"));
    const qint64 kept = thumbnailOf(wide, 1).cacheKey();
    EXPECT_EQ(thumbnailOf(wide, 1).cacheKey(), kept);
    touch(file(QStringLiteral("wide.png")), QDateTime::currentDateTime().addSecs(5),
          encoded(filled(200, 200), "PNG"));
    relist();
    EXPECT_NE(thumbnailOf(wide, 1).cacheKey(), kept); // the old entry was let go
    EXPECT_EQ(thumbnailOf(listed(QStringLiteral("wide.png")), 1).size(), QSize(76, 76));

    // An asker gone before the answer hears nothing.
    auto asker = std::make_unique<QObject>();
    bool answered = false;
    recent->thumbnail(listed(QStringLiteral("tall.jpg")), 3, asker.get(),
                      [&](const QImage&) { answered = true; });
    asker.reset();
    pump(200);
    EXPECT_FALSE(answered);
}

TEST_F(RecentCapturesTest, DurationsOfVideosOnly) {
    ASSERT_TRUE(testsupport::makeMovieClip(file(QStringLiteral("long.mov")),
                                           {.seconds = 65.4, .size = {32, 18}}));
    touch(file(QStringLiteral("broken.mp4")), {}, QByteArray(3000, '\x42'));
    touch(file(QStringLiteral("loop.gif")));
    touch(file(QStringLiteral("shot.png")));
    openEditor();

    const std::optional<double> length = durationOf(listed(QStringLiteral("long.mov")));
    ASSERT_TRUE(length);
    EXPECT_NEAR(*length, 65.4, 0.001);
    EXPECT_EQ(app::durationText(*length), "1:05");
    for (const char* name : {"broken.mp4", "loop.gif", "shot.png"}) {
        EXPECT_EQ(durationOf(listed(QLatin1String(name))), std::nullopt) << name;
    }
}

TEST_F(RecentCapturesTest, MoveToTrashUsesTheHomeTrashAndBeepsOnFailure) {
    // The home trash is $XDG_DATA_HOME/Trash; this test's own, so whatever it
    // trashes goes with its folder.
    const QString data = dir.file(QStringLiteral("data"));
    ASSERT_TRUE(QDir().mkpath(data));
    const std::optional<QByteArray> oldData = qEnvironmentVariableIsSet("XDG_DATA_HOME")
                                                  ? std::optional(qgetenv("XDG_DATA_HOME"))
                                                  : std::nullopt;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    const auto restore = qScopeGuard(
        [&] { oldData ? qputenv("XDG_DATA_HOME", *oldData) : qunsetenv("XDG_DATA_HOME"); });
    if (QStorageInfo(dir.path()) != QStorageInfo(QDir::home())) {
        GTEST_SKIP() << "files beside another volume than the home go to that volume's trash";
    }
    const QString trash = data + QStringLiteral("/Trash");
    touch(file(QStringLiteral("gone.png")));
    touch(file(QStringLiteral("kept.png")));
    openEditor();
    const RecentFile gone = listed(QStringLiteral("gone.png"));

    listedAfter([&] { recent->moveToTrash(gone); });
    EXPECT_FALSE(QFileInfo::exists(gone.path));
    EXPECT_TRUE(QFileInfo::exists(trash + "/files/gone.png"));
    EXPECT_EQ(names(recent->files()), "kept.png");
    EXPECT_EQ(beeps, 0);

    // Already gone: a beep, and the list is read again all the same.
    listedAfter([&] { recent->moveToTrash(gone); });
    EXPECT_EQ(beeps, 1);
}

TEST_F(RecentCapturesTest, CopyPutsAnImageOrTheFileOnTheClipboard) {
    touch(file(QStringLiteral("shot.png")), {}, encoded(filled(40, 20), "PNG"));
    touch(file(QStringLiteral("broken.png")), {}, "not a picture");
    touch(file(QStringLiteral("clip.mp4")));
    touch(file(QStringLiteral("loop.gif")));
    openEditor();

    const struct {
        const char* name;
        bool asImage;
    } cases[] = {
        {"shot.png", true},
        {"broken.png", false},
        {"clip.mp4", false},
        {"loop.gif", false},
    };
    for (const auto& c : cases) {
        const RecentFile entry = listed(QLatin1String(c.name));
        recent->copy(entry);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        ASSERT_TRUE(data) << c.name;
        const QUrl url = QUrl::fromLocalFile(entry.path);
        EXPECT_EQ(data->urls(), QList<QUrl>{url}) << c.name;
        EXPECT_EQ(data->hasFormat(QStringLiteral("image/png")), c.asImage) << c.name;
        if (c.asImage) {
            EXPECT_EQ(QImage::fromData(data->data(QStringLiteral("image/png"))).size(),
                      QSize(40, 20));
        } else {
            EXPECT_EQ(data->data(QStringLiteral("x-special/gnome-copied-files")),
                      "copy\n" + url.toEncoded())
                << c.name;
        }
    }
    QGuiApplication::clipboard()->clear();
}

TEST_F(RecentCapturesTest, TenThousandFilesAreListedOffTheMainThread) {
    const QDateTime tomorrow = QDateTime::currentDateTime().addDays(1);
    for (int i = 0; i < 10'000; ++i) {
        touch(file(QStringLiteral("f%1.png").arg(i, 5, 10, QLatin1Char('0'))),
              i == 4321 ? tomorrow : QDateTime());
    }
    bool answered = false;
    recent->editorOpened();
    recent->newestCapture([&](const std::optional<QString>& path) {
        answered = true;
        EXPECT_EQ(path.value_or(QString()).toStdString(),
                  file(QStringLiteral("f04321.png")).toStdString());
    });
    // Neither call waited for the folder.
    EXPECT_EQ(recent->files().size(), 0u);
    EXPECT_FALSE(answered);
    ASSERT_TRUE(waitFor(20'000, [&] { return answered && recent->files().size() == 60u; }));
    EXPECT_FALSE(listedOnMainThread);
}

} // namespace
