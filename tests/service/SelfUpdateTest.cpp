#include "service/SelfUpdate.h"
#include "app/AlertPresenter.h"
#include "service/ReleaseUnpacker.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"
#include "support/ScratchMount.h"
#include "support/TempDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::LocalHttpServer;
using Kind = service::SelfUpdateProgress::Kind;

class RecordingAlerts : public app::AlertPresenter {
public:
    int run(const app::Alert& alert) override {
        shown.append(alert);
        return 0; // Download
    }
    QList<app::Alert> shown;
};

// A test signing key of our own: a fresh one, or the one of a given seed.
struct TestKey {
    TestKey() {
        EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
        EVP_PKEY_keygen_init(context);
        EVP_PKEY_keygen(context, &key);
        EVP_PKEY_CTX_free(context);
        readPublicKey();
    }
    explicit TestKey(const QByteArray& seed) {
        key = EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr,
                                           reinterpret_cast<const unsigned char*>(seed.constData()),
                                           size_t(seed.size()));
        readPublicKey();
    }
    void readPublicKey() {
        size_t length = 32;
        publicKey.resize(32);
        EVP_PKEY_get_raw_public_key(key, reinterpret_cast<unsigned char*>(publicKey.data()),
                                    &length);
    }
    ~TestKey() { EVP_PKEY_free(key); }
    QByteArray sign(const QByteArray& data) const {
        QByteArray signature(64, '\0');
        size_t length = 64;
        EVP_MD_CTX* context = EVP_MD_CTX_new();
        EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key);
        EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(data.constData()), data.size());
        EVP_MD_CTX_free(context);
        return signature.toBase64();
    }
    EVP_PKEY* key = nullptr;
    QByteArray publicKey;
};

// A folder's files and their contents, to compare a folder before and after.
QMap<QString, QByteArray> snapshot(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
        files.insert(name, testsupport::readAll(dir.filePath(name)));
    }
    return files;
}

struct Fixture {
    struct Options {
        // The installed folder sits on a volume of its own that can be made
        // read-only.
        bool ownVolume = false;
        bool showPanel = false;
    };

    testsupport::TempDir dir;
    // Unmounted before the folder it lies in goes.
    std::optional<testsupport::ScratchMount> volume;
    QString install;
    LocalHttpServer server;
    TestKey key;
    RecordingAlerts alerts;
    app::ScopedAlertPresenter scoped{alerts};
    QList<QPair<QString, QStringList>> started;
    bool startSucceeds = true;
    bool canQuit = true;
    int quits = 0;
    QList<QUrl> opened;
    QList<Kind> phases;
    QByteArray archive;
    QString lockedParent;
    std::unique_ptr<service::SelfUpdate> updater;

    Fixture() : Fixture(Options{}) {}
    // `deadline`: both downloads', when given.
    explicit Fixture(Options options,
                     std::optional<std::chrono::milliseconds> deadline = std::nullopt) {
        QString parent = dir.file(QStringLiteral("apps"));
        if (options.ownVolume) {
            parent = dir.file(QStringLiteral("volume"));
            if (auto made = testsupport::ScratchMount::make(parent, 1024)) {
                volume.emplace(std::move(*made));
            }
            QDir().mkpath(parent);
        }
        install = parent + QStringLiteral("/VexlinCapture");
        QDir().mkpath(install);
        testsupport::writeAll(install + QStringLiteral("/.vexlin-release"), "1.0\n");
        testsupport::writeAll(install + QStringLiteral("/vexlin-capture"), "old program");
        // The release: a marker and an executable program, packed with tar.
        const QString release = dir.file(QStringLiteral("release"));
        QDir().mkpath(release);
        testsupport::writeAll(release + QStringLiteral("/.vexlin-release"), "2.0\n");
        testsupport::writeAll(release + QStringLiteral("/vexlin-capture"), "new program");
        QFile(release + QStringLiteral("/vexlin-capture"))
            .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString packed = dir.file(QStringLiteral("release.tar.gz"));
        QProcess::execute(
            QStringLiteral("tar"),
            {QStringLiteral("-czf"), packed, QStringLiteral("-C"), release, QStringLiteral(".")});
        archive = testsupport::readAll(packed);
        updater = std::make_unique<service::SelfUpdate>(service::SelfUpdate::Environment{
            .installFolder = install,
            .executable = QStringLiteral("vexlin-capture"),
            .publicKey = key.publicKey,
            .arguments = {QStringLiteral("-VexlinInstallUpdateNow"), QStringLiteral("--x")},
            .startDetached =
                [this](const QString& program, const QStringList& arguments) {
                    started.append({program, arguments});
                    return startSucceeds;
                },
            .canQuit = [this] { return canQuit; },
            .quit = [this] { ++quits; },
            .openUrl = [this](const QUrl& url) { opened.append(url); },
            .hostName = QStringLiteral("vexlin.app"),
            .showPanel = options.showPanel,
            .archiveDeadline = deadline.value_or(service::SelfUpdate::archiveDeadline),
            .signatureDeadline = deadline.value_or(service::SelfUpdate::signatureDeadline),
        });
        QObject::connect(&updater->progress(), &service::SelfUpdateProgress::phaseChanged, [this] {
            const Kind kind = updater->progress().phase().kind;
            if (phases.isEmpty() || phases.last() != kind) {
                phases.append(kind);
            }
        });
    }
    ~Fixture() {
        updater.reset();
        if (!lockedParent.isEmpty()) {
            ::chmod(QFile::encodeName(lockedParent).constData(), 0755);
        }
    }
    // Makes the installed folder's parent refuse new entries and renames: a
    // read-only volume (which holds for root too), else the folder's
    // permissions. False when neither can hold.
    bool makeParentReadOnly() {
        if (volume) {
            return volume->makeReadOnly();
        }
        if (::geteuid() == 0) {
            return false;
        }
        lockedParent = QFileInfo(install).absolutePath();
        return ::chmod(QFile::encodeName(lockedParent).constData(), 0555) == 0;
    }
    void serveRelease() {
        server.respond("/release.tar.gz", {200, archive, {}});
        server.respond("/release.tar.gz.sig", {200, key.sign(archive), {}});
    }
    // Serves a release to a program that may not quit yet: true once the
    // update waits for it to.
    bool waitToQuit() {
        serveRelease();
        canQuit = false;
        updater->install(manifest(false));
        return testsupport::waitFor(10000, [&] { return phases.endsWith(Kind::waitingToQuit); });
    }
    service::UpdateManifest manifest(bool withFile) const {
        service::UpdateManifest m;
        m.version = QStringLiteral("2.0");
        m.build = 20;
        m.download = QUrl(server.base().toString() + "/release.tar.gz");
        if (withFile) {
            m.file = QUrl(QStringLiteral("https://vexlin.app/file"));
        }
        return m;
    }
    bool run(const service::UpdateManifest& m) {
        std::optional<bool> result;
        QObject::connect(updater.get(), &service::SelfUpdate::finished,
                         [&](bool installed) { result = installed; });
        updater->install(m);
        if (!result) {
            // A bound on a failure only: refusing an archive of 20,001 entries
            // writes 20,000 files first, which a busy machine takes a while to.
            testsupport::waitFor(60000, [&] { return result.has_value(); });
        }
        return result.value_or(false);
    }
    QStringList foldersBeside() const {
        QStringList names = QDir(QFileInfo(install).absolutePath())
                                .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
        names.sort();
        return names;
    }
};

// What every failed update leaves: the installed folder as it was, nothing
// beside it, one failure alert whose Download opens the manifest's file, else
// its download.
void expectFailureOffered(Fixture& f, const QMap<QString, QByteArray>& before, bool withFile) {
    EXPECT_EQ(snapshot(f.install), before);
    EXPECT_EQ(f.foldersBeside(), QStringList{"VexlinCapture"});
    ASSERT_EQ(f.alerts.shown.size(), 1);
    EXPECT_EQ(f.alerts.shown[0].message,
              QStringLiteral("Vexlin Capture could not install the update"));
    EXPECT_EQ(f.alerts.shown[0].escapeButton, 1);
    ASSERT_EQ(f.opened.size(), 1);
    EXPECT_EQ(f.opened[0], withFile ? QUrl("https://vexlin.app/file") : f.manifest(false).download);
}

TEST(SelfUpdate, InstallsASignedReleaseAndRelaunchesWithoutTheFlag) {
    for (const bool withLength : {false, true}) {
        SCOPED_TRACE(withLength);
        Fixture f;
        LocalHttpServer::Response response{200, f.archive, {}};
        response.noLength = !withLength;
        f.server.respond("/release.tar.gz", response);
        f.server.respond("/release.tar.gz.sig", {200, f.key.sign(f.archive), {}});
        std::optional<double> sawFraction;
        QObject::connect(&f.updater->progress(), &service::SelfUpdateProgress::phaseChanged, [&] {
            if (const auto fr = f.updater->progress().phase().fraction) {
                sawFraction = fr;
            }
        });
        ASSERT_TRUE(f.run(f.manifest(false)));
        // It starts out preparing, so the first change is to downloading.
        EXPECT_EQ(f.phases, (QList<Kind>{Kind::downloading, Kind::installing}));
        EXPECT_EQ(sawFraction.has_value(), withLength);
        EXPECT_EQ(testsupport::readAll(f.install + "/vexlin-capture"), "new program");
        ASSERT_EQ(f.started.size(), 1);
        EXPECT_EQ(f.started[0].first, f.install + "/vexlin-capture");
        EXPECT_EQ(f.started[0].second, QStringList{"--x"});
        EXPECT_TRUE(f.alerts.shown.isEmpty());
        EXPECT_EQ(f.quits, 1);
        // Only the new folder is left in the old place.
        EXPECT_EQ(f.foldersBeside(), QStringList{"VexlinCapture"});
    }
}

TEST(SelfUpdate, EveryFailureLeavesTheFolderAndOffersTheDownload) {
    struct Case {
        const char* name;
        std::function<void(Fixture&)> setUp;
        bool withFile;
    };
    const Case cases[] = {
        {"bad signature",
         [](Fixture& f) {
             f.server.respond("/release.tar.gz", {200, f.archive, {}});
             f.server.respond("/release.tar.gz.sig", {200, f.key.sign("other"), {}});
         },
         true},
        {"truncated",
         [](Fixture& f) {
             // The server declares the whole archive and closes halfway.
             f.server.respond("/release.tar.gz",
                              {200,
                               f.archive.left(f.archive.size() / 2),
                               {{"Content-Length", QByteArray::number(f.archive.size())}},
                               false,
                               true});
             f.server.respond("/release.tar.gz.sig", {200, f.key.sign(f.archive), {}});
         },
         false},
        {"oversized",
         [](Fixture& f) {
             // Declares more than an archive may hold; nothing is written.
             f.server.respond("/release.tar.gz",
                              {200,
                               f.archive,
                               {{"Content-Length", QByteArray::number(600LL * 1024 * 1024)}},
                               false,
                               true});
             f.server.respond("/release.tar.gz.sig", {200, f.key.sign(f.archive), {}});
         },
         false},
        {"404", [](Fixture&) {}, true},
        {"relaunch fails",
         [](Fixture& f) {
             f.startSucceeds = false;
             f.server.respond("/release.tar.gz", {200, f.archive, {}});
             f.server.respond("/release.tar.gz.sig", {200, f.key.sign(f.archive), {}});
         },
         false},
        {"not an installed release",
         [](Fixture& f) { QFile::remove(f.install + "/.vexlin-release"); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        c.setUp(f);
        const auto before = snapshot(f.install);
        EXPECT_FALSE(f.run(f.manifest(c.withFile)));
        expectFailureOffered(f, before, c.withFile);
    }
}

// The resident memory of this process, in bytes, and at its peak since the
// last reset.
qint64 residentBytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong() * 1024;
        }
    }
    return -1;
}

// Whether the program runs with AddressSanitizer (the tests' own code is
// built without it, the libraries with it).
bool sanitized() {
    return ::dlsym(RTLD_DEFAULT, "__asan_init") != nullptr;
}

// A server on a thread of its own: it sends as fast as the socket takes,
// whatever the main thread is doing, as a server elsewhere would.
class ServerThread {
public:
    ServerThread() {
        context_.moveToThread(&thread_);
        thread_.start();
        run([this] { server_ = std::make_unique<LocalHttpServer>(); });
    }
    ~ServerThread() {
        run([this] { server_.reset(); });
        thread_.quit();
        thread_.wait();
    }
    // Runs `work` on the server's thread and waits for it.
    void run(const std::function<void()>& work) {
        QMetaObject::invokeMethod(&context_, work, Qt::BlockingQueuedConnection);
    }
    LocalHttpServer& server() { return *server_; }

private:
    QThread thread_;
    QObject context_;
    std::unique_ptr<LocalHttpServer> server_;
};

TEST(SelfUpdate, HugeDownloadsAreCutAsTheyStreamAndHeldInNoBuffer) {
    struct Case {
        const char* name;
        QByteArray path;
        qint64 served;
        // What the server may get out before the cut: the socket buffers on
        // both sides, and for the archive the cap it is written to disk up to.
        qint64 mostSent;
    };
    const qint64 mib = 1024 * 1024;
    const Case cases[] = {
        {"a signature of 1.5 GB", "/release.tar.gz.sig", 1536 * mib, 32 * mib},
        {"an archive of 700 MB", "/release.tar.gz", 700 * mib,
         service::SelfUpdate::maximumArchiveSize + 32 * mib},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        ServerThread remote;
        QUrl base;
        remote.run([&] {
            remote.server().respond("/release.tar.gz", {200, f.archive, {}});
            remote.server().respond("/release.tar.gz.sig", {200, f.key.sign(f.archive), {}});
            LocalHttpServer::Response huge;
            huge.generated = c.served;
            remote.server().respond(c.path, huge);
            base = remote.server().base();
        });
        service::UpdateManifest manifest = f.manifest(false);
        manifest.download = QUrl(base.toString() + "/release.tar.gz");
        const auto before = snapshot(f.install);
        // The kernel resets the peak on this write.
        testsupport::writeAll(QStringLiteral("/proc/self/clear_refs"), "5");
        const qint64 start = residentBytes("VmRSS:");
        std::optional<bool> result;
        QObject::connect(f.updater.get(), &service::SelfUpdate::finished,
                         [&](bool installed) { result = installed; });
        f.updater->install(manifest);
        ASSERT_TRUE(testsupport::waitFor(120000, [&] { return result.has_value(); }));
        EXPECT_FALSE(*result);
        EXPECT_EQ(snapshot(f.install), before);
        EXPECT_EQ(f.foldersBeside(), QStringList{"VexlinCapture"});
        ASSERT_EQ(f.alerts.shown.size(), 1);
        EXPECT_EQ(f.alerts.shown[0].message,
                  QStringLiteral("Vexlin Capture could not install the update"));
        qint64 sent = 0;
        remote.run([&] { sent = remote.server().generatedSent(c.path); });
        EXPECT_LE(sent, c.mostSent);
        // The sanitizer keeps freed blocks in quarantine, so only a plain
        // build shows what the program holds.
        if (!sanitized()) {
            EXPECT_LT(residentBytes("VmHWM:") - start, 100 * mib);
            EXPECT_LT(residentBytes("VmRSS:") - start, 30 * mib);
        }
    }
}

TEST(SelfUpdate, ADownloadThatTricklesIsCutAtItsDeadline) {
    // A byte every 100 ms never falls silent long enough for a transfer
    // timeout; only the total time ends it.
    for (const QByteArray& path :
         {QByteArray("/release.tar.gz"), QByteArray("/release.tar.gz.sig")}) {
        SCOPED_TRACE(path.constData());
        Fixture f(Fixture::Options{}, std::chrono::milliseconds(1500));
        f.serveRelease();
        LocalHttpServer::Response trickle;
        trickle.generated = 1'000'000;
        trickle.trickleMs = 100;
        f.server.respond(path, trickle);
        const auto before = snapshot(f.install);
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(f.run(f.manifest(false)));
        EXPECT_GE(clock.elapsed(), 1500);
        expectFailureOffered(f, before, false);
    }
}

// One entry of a test archive.
struct TarEntry {
    QByteArray path;
    mode_t type = AE_IFREG;
    mode_t permissions = 0644;
    QByteArray data = {};
    // Of a symbolic or a hard link.
    QByteArray target = {};
    bool hardLink = false;
    // Zeros written after `data`, as a bomb holds.
    qint64 zeros = 0;
};

// A gzip-compressed tar made by libarchive, so that entries no tar command
// of an ordinary user makes (devices, set-uid files) can be described.
QByteArray makeTarGz(const QList<TarEntry>& entries) {
    QByteArray out;
    archive* writer = archive_write_new();
    archive_write_set_format_pax_restricted(writer);
    archive_write_add_filter_gzip(writer);
    archive_write_set_filter_option(writer, "gzip", "compression-level", "1");
    archive_write_open(
        writer, &out, nullptr,
        [](archive*, void* sink, const void* buffer, size_t length) -> la_ssize_t {
            static_cast<QByteArray*>(sink)->append(static_cast<const char*>(buffer),
                                                   qsizetype(length));
            return la_ssize_t(length);
        },
        nullptr);
    static const QByteArray zeros(1 << 20, '\0');
    for (const TarEntry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.path.constData());
        if (e.hardLink) {
            archive_entry_set_hardlink(entry, e.target.constData());
        } else {
            archive_entry_set_filetype(entry, e.type);
            if (e.type == AE_IFLNK) {
                archive_entry_set_symlink(entry, e.target.constData());
            }
            if (e.type == AE_IFCHR) {
                archive_entry_set_rdevmajor(entry, 1);
                archive_entry_set_rdevminor(entry, 3);
            }
        }
        archive_entry_set_perm(entry, e.permissions);
        archive_entry_set_size(entry,
                               e.type == AE_IFREG && !e.hardLink ? e.data.size() + e.zeros : 0);
        archive_write_header(writer, entry);
        archive_write_data(writer, e.data.constData(), size_t(e.data.size()));
        for (qint64 left = e.zeros; left > 0; left -= zeros.size()) {
            archive_write_data(writer, zeros.constData(),
                               size_t(std::min<qint64>(left, zeros.size())));
        }
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    return out;
}

// A release the updater accepts, with more entries after its own.
QList<TarEntry> releaseWith(QList<TarEntry> more) {
    QList<TarEntry> entries{{"./", AE_IFDIR, 0755},
                            {"./.vexlin-release", AE_IFREG, 0644, "2.0\n"},
                            {"./vexlin-capture", AE_IFREG, 0755, "new program"}};
    entries.append(more);
    return entries;
}

TEST(SelfUpdate, AnArchiveWithAnythingButFilesFoldersAndInsideLinksIsRefusedWhole) {
    struct Case {
        const char* name;
        QList<TarEntry> entries;
    };
    testsupport::TempDir scratch;
    // Where an entry that got out would land.
    const QByteArray outside = QFile::encodeName(scratch.file(QStringLiteral("outside")));
    QList<TarEntry> crowd = releaseWith({});
    for (int i = 0; i <= service::ReleaseUnpacker::defaultMaximumEntries; ++i) {
        crowd.append({"./many/" + QByteArray::number(i)});
    }
    const Case cases[] = {
        {"a set-uid program",
         {{"./", AE_IFDIR, 0755},
          {"./.vexlin-release", AE_IFREG, 0644, "2.0\n"},
          {"./vexlin-capture", AE_IFREG, 04755, "new program"}}},
        {"a set-gid folder", releaseWith({{"./lib", AE_IFDIR, 02755}})},
        {"a device node", releaseWith({{"./null", AE_IFCHR, 0666}})},
        {"a FIFO", releaseWith({{"./pipe", AE_IFIFO, 0644}})},
        {"a link out of the folder",
         releaseWith({{"./escape", AE_IFLNK, 0777, {}, "../../../outside"}})},
        {"an absolute link", releaseWith({{"./escape", AE_IFLNK, 0777, {}, outside}})},
        {"a link out through an inside link",
         releaseWith({{"./here", AE_IFLNK, 0777, {}, "."},
                      {"./escape", AE_IFLNK, 0777, {}, "here/../../../outside"}})},
        {"a file written through an inside link",
         releaseWith({{"./up", AE_IFLNK, 0777, {}, "."}, {"./up/extra", AE_IFREG, 0644, "x"}})},
        {"a hard link out of the folder",
         releaseWith({{"./hard", AE_IFREG, 0644, {}, outside, true}})},
        // The same link made again higher up climbs further.
        {"a hard link to a link that stays inside where it stands",
         releaseWith({{"./a", AE_IFDIR, 0755},
                      {"./a/b", AE_IFDIR, 0755},
                      {"./a/b/up", AE_IFLNK, 0777, {}, "../../vexlin-capture"},
                      {"./escape", AE_IFREG, 0644, {}, "./a/b/up", true}})},
        {"a path climbing out", releaseWith({{"../../outside", AE_IFREG, 0644, "x"}})},
        {"an absolute path", releaseWith({{outside, AE_IFREG, 0644, "x"}})},
        {"a 1 GiB bomb", releaseWith({{"./bomb", AE_IFREG, 0644, {}, {}, false, 1LL << 30}})},
        {"too many entries", crowd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        const QByteArray archive = makeTarGz(c.entries);
        f.server.respond("/release.tar.gz", {200, archive, {}});
        f.server.respond("/release.tar.gz.sig", {200, f.key.sign(archive), {}});
        const auto before = snapshot(f.install);
        EXPECT_FALSE(f.run(f.manifest(false)));
        expectFailureOffered(f, before, false);
        EXPECT_TRUE(f.started.isEmpty());
        EXPECT_EQ(
            QDir(QFileInfo(f.install).absolutePath())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList{"VexlinCapture"});
        EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(outside)));
        EXPECT_FALSE(QFileInfo(QFile::decodeName(outside)).isSymLink());
    }
}

TEST(SelfUpdate, FoldersAndLinksThatStayInsideAreInstalled) {
    Fixture f;
    const QByteArray archive = makeTarGz(releaseWith({
        {"./lib", AE_IFDIR, 0755},
        {"./lib/plugin.so", AE_IFREG, 0644, "plugin"},
        {"./lib/current.so", AE_IFLNK, 0777, {}, "plugin.so"},
        {"./bin", AE_IFDIR, 0755},
        {"./bin/plugin.so", AE_IFLNK, 0777, {}, "../lib/plugin.so"},
        {"./same.so", AE_IFREG, 0644, {}, "./lib/plugin.so", true},
    }));
    f.server.respond("/release.tar.gz", {200, archive, {}});
    f.server.respond("/release.tar.gz.sig", {200, f.key.sign(archive), {}});
    ASSERT_TRUE(f.run(f.manifest(false)));
    EXPECT_EQ(testsupport::readAll(f.install + "/vexlin-capture"), "new program");
    EXPECT_TRUE(QFileInfo(f.install + "/vexlin-capture").isExecutable());
    for (const char* path : {"/lib/plugin.so", "/lib/current.so", "/bin/plugin.so", "/same.so"}) {
        EXPECT_EQ(testsupport::readAll(f.install + path), "plugin") << path;
    }
    EXPECT_EQ(QFileInfo(f.install + "/bin/plugin.so").symLinkTarget(),
              f.install + "/lib/plugin.so");
}

TEST(SelfUpdate, AReadOnlyParentLeavesTheFolderAndOffersTheDownload) {
    for (const bool withFile : {true, false}) {
        SCOPED_TRACE(withFile);
        Fixture f({.ownVolume = true});
        if (!f.makeParentReadOnly()) {
            GTEST_SKIP() << "as root the parent can be made read-only only on a volume of its "
                            "own, and mounting one was refused";
        }
        f.serveRelease();
        const auto before = snapshot(f.install);
        EXPECT_FALSE(f.run(f.manifest(withFile)));
        expectFailureOffered(f, before, withFile);
        EXPECT_EQ(f.server.requests().size(), 0)
            << "nothing is fetched for a folder it cannot swap";
    }
}

TEST(SelfUpdate, WaitsToQuitWhileWorkIsUnsavedAndFinishesOnRestart) {
    Fixture f({.showPanel = true});
    f.serveRelease();
    f.canQuit = false;
    const auto before = snapshot(f.install);
    std::optional<bool> result;
    QObject::connect(f.updater.get(), &service::SelfUpdate::finished,
                     [&](bool installed) { result = installed; });
    f.updater->install(f.manifest(false));
    ASSERT_TRUE(
        testsupport::waitFor(10000, [&] { return f.phases.endsWith(Kind::waitingToQuit); }));
    EXPECT_EQ(f.phases, (QList<Kind>{Kind::downloading, Kind::installing, Kind::waitingToQuit}));

    // Nothing is swapped or started while the program may not quit.
    EXPECT_EQ(snapshot(f.install), before);
    EXPECT_TRUE(f.started.isEmpty());
    EXPECT_EQ(f.quits, 0);
    EXPECT_FALSE(result.has_value());
    QWidget* panel = f.updater->panel();
    ASSERT_NE(panel, nullptr);
    auto* restart = panel->findChild<QPushButton*>(QStringLiteral("restart"));
    ASSERT_NE(restart, nullptr);
    EXPECT_TRUE(restart->isVisible());
    EXPECT_EQ(restart->text(), QStringLiteral("Restart Vexlin Capture"));
    EXPECT_FALSE(panel->findChild<QPushButton*>(QStringLiteral("cancel"))->isVisible());
    EXPECT_FALSE(panel->findChild<QProgressBar*>()->isVisible());
    EXPECT_EQ(panel->findChild<QLabel*>(QStringLiteral("status"))->text(),
              service::SelfUpdate::statusText(Kind::waitingToQuit));

    // Escape no longer cancels; Return while work is still unsaved keeps waiting.
    QTest::keyClick(panel, Qt::Key_Escape);
    QTest::keyClick(panel, Qt::Key_Return);
    EXPECT_EQ(f.updater->progress().phase().kind, Kind::waitingToQuit);
    EXPECT_TRUE(f.started.isEmpty());

    // A closed panel comes back when the update is asked for again.
    f.updater->close();
    f.updater->install(f.manifest(false));
    ASSERT_NE(f.updater->panel(), nullptr);
    EXPECT_EQ(f.updater->progress().phase().kind, Kind::waitingToQuit);
    EXPECT_EQ(f.server.requests().size(), 2) << "the release is not fetched again";

    // Saved: Return restarts into the new copy.
    f.canQuit = true;
    QTest::keyClick(f.updater->panel(), Qt::Key_Return);
    ASSERT_EQ(result, std::optional<bool>(true));
    EXPECT_EQ(testsupport::readAll(f.install + "/vexlin-capture"), "new program");
    ASSERT_EQ(f.started.size(), 1);
    EXPECT_EQ(f.started[0].second, QStringList{"--x"});
    EXPECT_EQ(f.quits, 1);
    EXPECT_EQ(f.foldersBeside(), QStringList{"VexlinCapture"});
    EXPECT_TRUE(f.alerts.shown.isEmpty());
    EXPECT_FALSE(f.updater->isPanelOpen());
}

// The panel's rows: the program's icon beside the title and the status (in
// the secondary colour), then the bar and the one button of each phase; its
// size stays while the phases change.
TEST(SelfUpdate, ThePanelShowsTheIconTitleStatusBarAndButtonOfEachPhase) {
    Fixture f({.showPanel = true});
    ASSERT_TRUE(f.waitToQuit());
    QWidget* panel = f.updater->panel();
    ASSERT_NE(panel, nullptr);
    const QSize size = panel->size();
    EXPECT_EQ(size.width(), 380);
    EXPECT_GE(size.height(), 150);

    auto* icon = panel->findChild<QLabel*>(QStringLiteral("appIcon"));
    auto* title = panel->findChild<QLabel*>(QStringLiteral("title"));
    auto* status = panel->findChild<QLabel*>(QStringLiteral("status"));
    ASSERT_TRUE(icon && title && status);
    EXPECT_EQ(icon->size(), QSize(52, 52));
    EXPECT_FALSE(icon->pixmap().isNull());
    EXPECT_LT(icon->geometry().right(), title->geometry().left());
    EXPECT_LT(icon->geometry().right(), status->geometry().left());
    EXPECT_LT(title->geometry().bottom(), status->geometry().top());
    EXPECT_NE(status->palette().color(QPalette::WindowText),
              title->palette().color(QPalette::WindowText));

    struct Case {
        service::SelfUpdateProgress::Phase phase;
        bool bar;
        int barMaximum; // 0: running without an end
        bool cancel;
        bool restart;
    };
    const Case cases[] = {
        {{Kind::downloading, 0.25}, true, 1000, true, false},
        {{Kind::downloading, std::nullopt}, true, 0, true, false},
        {{Kind::preparing, std::nullopt}, true, 0, true, false},
        {{Kind::installing, std::nullopt}, true, 0, false, false},
        {{Kind::waitingToQuit, std::nullopt}, false, 0, false, true},
    };
    for (const Case& c : cases) {
        f.updater->progress().setPhase(c.phase);
        SCOPED_TRACE(static_cast<int>(c.phase.kind));
        auto* bar = panel->findChild<QProgressBar*>();
        EXPECT_EQ(bar->isVisible(), c.bar);
        EXPECT_EQ(bar->maximum(), c.barMaximum);
        EXPECT_EQ(panel->findChild<QPushButton*>(QStringLiteral("cancel"))->isVisible(), c.cancel);
        EXPECT_EQ(panel->findChild<QPushButton*>(QStringLiteral("restart"))->isVisible(),
                  c.restart);
        EXPECT_EQ(status->text(), service::SelfUpdate::statusText(c.phase.kind));
        EXPECT_EQ(panel->size(), size);
    }
}

TEST(SelfUpdate, EveryPhaseShowsItsWholeStatusInTheFixedPanel) {
    // In the test's font and in one half as large again, as a desktop or a
    // translation may have it: the panel is as high as its longest status.
    const QFont font = QApplication::font();
    const std::shared_ptr<void> restore(nullptr, [font](void*) { QApplication::setFont(font); });
    for (const double scale : {1.0, 1.5}) {
        SCOPED_TRACE(scale);
        QFont larger = font;
        larger.setPointSizeF(font.pointSizeF() * scale);
        QApplication::setFont(larger);
        Fixture f({.showPanel = true});
        ASSERT_TRUE(f.waitToQuit());
        QWidget* panel = f.updater->panel();
        ASSERT_NE(panel, nullptr);
        auto* status = panel->findChild<QLabel*>(QStringLiteral("status"));
        ASSERT_NE(status, nullptr);
        for (const Kind kind :
             {Kind::downloading, Kind::preparing, Kind::installing, Kind::waitingToQuit}) {
            SCOPED_TRACE(static_cast<int>(kind));
            f.updater->progress().setPhase({kind, std::nullopt});
            panel->layout()->activate();
            EXPECT_GE(status->height(), status->heightForWidth(status->width()));
        }
    }
}

TEST(SelfUpdate, QuittingWhileItWaitsLeavesNothingBesideTheFolder) {
    Fixture f;
    const auto before = snapshot(f.install);
    ASSERT_TRUE(f.waitToQuit());
    EXPECT_EQ(f.foldersBeside().size(), 2) << "the unpacked release waits beside the folder";
    f.updater->abandon();
    EXPECT_EQ(snapshot(f.install), before);
    EXPECT_EQ(f.foldersBeside(), QStringList{"VexlinCapture"});
    // A restart after that has nothing to finish.
    f.canQuit = true;
    f.updater->restart();
    EXPECT_TRUE(f.started.isEmpty());
    EXPECT_EQ(f.quits, 0);
}

TEST(SelfUpdate, TheBuiltInKeyIsARealKeyThatNoKnownPrivateKeyMatches) {
    const QByteArray builtIn = service::SelfUpdate::builtInPublicKey();
    ASSERT_EQ(builtIn.size(), 32);
    EVP_PKEY* parsed = EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(builtIn.constData()),
        size_t(builtIn.size()));
    EXPECT_NE(parsed, nullptr);
    EVP_PKEY_free(parsed);
    // Keys anyone can make: a fresh one, and those of the seeds test vectors use.
    const QByteArray data = "release archive";
    const TestKey known[] = {TestKey(), TestKey(QByteArray(32, '\0')),
                             TestKey(QByteArray(32, '\x01'))};
    for (const TestKey& key : known) {
        EXPECT_NE(key.publicKey, builtIn);
        EXPECT_FALSE(service::SelfUpdate::verifySignature(
            builtIn, reinterpret_cast<const uchar*>(data.constData()), data.size(),
            QByteArray::fromBase64(key.sign(data))));
    }
}

// Pictures of the panel for a person to look at; runs only when asked.
TEST(SelfUpdatePictures, ThePanelWhileItWaitsToQuit) {
    const QString folder = qEnvironmentVariable("VEXLIN_SERVICE_PICTURES");
    if (folder.isEmpty() || QGuiApplication::platformName() != QLatin1String("xcb")) {
        GTEST_SKIP() << "set VEXLIN_SERVICE_PICTURES and run on the rig";
    }
    Fixture f({.showPanel = true});
    ASSERT_TRUE(f.waitToQuit());
    testsupport::pump(500);
    QWidget* panel = f.updater->panel();
    const int scale = qRound(panel->devicePixelRatioF());
    EXPECT_TRUE(
        panel->screen()
            ->grabWindow(panel->winId())
            .save(QStringLiteral("%1/update-panel-waiting@%2x.png").arg(folder).arg(scale)));
}

} // namespace
